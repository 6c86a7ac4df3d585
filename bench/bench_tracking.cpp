// Benchmarks for the follow-up windows and the yearly copy, on the large sample database (made
// once in $VARDIMO_BENCH_DB, default: bench-data beside the program, shared with vardimo-bench).
// Each figure is printed with the target it is held to.

#include "BenchData.h"
#include "Sample.h"
#include "controls/DataGrid.h"
#include "controls/DatePicker.h"
#include "controls/Desktop.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/MonthCalendar.h"
#include "controls/RadioGroup.h"
#include "controls/ScriptedDialogs.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/GoalCopy.h"
#include "data/Logon.h"
#include "data/Progress.h"
#include "engine/Database.h"
#include "planning/OverdueWindow.h"
#include "reports/OverviewWindow.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <sqlite3.h>
#include <vector>

namespace {

QString databaseFolder() {
    return bench::largeSampleFolder();
}

// The administrator sees every user's strategies.
struct Fixture : bench::Module {
    Fixture() : bench::Module(databaseFolder()) {
        if (!data::logOn(*dm, QStringLiteral("JSMITH"), QStringLiteral("smith"), true)) std::abort();
    }
};

std::unique_ptr<Fixture> fixture;
Fixture& fx() {
    if (!fixture) fixture = std::make_unique<Fixture>();
    return *fixture;
}

void target(benchmark::State& state, double ms) {
    state.counters["target_ms"] = ms;
}

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// What a piece of work took: CPU milliseconds of this thread, and wall milliseconds.
struct Took {
    double cpuMs = 0, wallMs = 0;
};

// The overdue items read by SQLite itself on a connection of its own, every column of every
// row stepped through once: the late strategies with their goal, and with multiple measurements
// the late items with their strategy and goal (in that order: the items are read in turn, each
// strategy and goal found by its key; the table in order rather than through an index on the
// dates, which would visit nearly every strategy at random). The anchor of the overdue window.
Took overdueSql(bool multiple) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return {};
    for (const char* file : {"Strategys.db", "goals.db", "Measure.db"}) {
        const QByteArray path =
            engine::Database::findFile(databaseFolder(), QString::fromLatin1(file)).toLocal8Bit();
        sqlite3_stmt* st = nullptr;
        const QByteArray name = QByteArray(file).toLower().replace(".db", "");
        sqlite3_prepare_v2(db, "ATTACH DATABASE ? AS " + name, -1, &st, nullptr);
        sqlite3_bind_text(st, 1, path.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_finalize(st);
    }
    const QByteArray today = QDate::currentDate().toString(Qt::ISODate).toLatin1();
    QList<QByteArray> statements{
        "SELECT S.StrategyID, S.StrategyNumber, S.UserNumber, S.GoalID, S.CompleationDate, G.GoalDescription "
        "FROM strategys.strategys S, goals.goals G WHERE S.GoalID = G.GoalID AND S.UserNumber IS NOT NULL "
        "AND "
        "S.CompleationDate < ?1 AND (S.Compleated IS NULL OR S.Compleated = 0)"};
    if (multiple)
        statements
            << "SELECT M.MeasurementID, M.MeasurementNumber, M.CompleationDate, S.StrategyID, "
               "S.StrategyNumber, S.UserNumber, S.GoalID, G.GoalDescription "
               "FROM measure.measure M NOT INDEXED CROSS JOIN strategys.strategys S ON S.StrategyID = "
               "M.StrategyID CROSS JOIN goals.goals G ON G.GoalID = S.GoalID WHERE +M.CompleationDate < ?1 "
               "AND (M.Compleated IS NULL OR M.Compleated = 0) AND S.UserNumber IS NOT NULL";
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuMs();
    qint64 sum = 0;
    for (const QByteArray& sql : statements) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        sqlite3_bind_text(st, 1, today.constData(), -1, SQLITE_TRANSIENT);
        const int columns = sqlite3_column_count(st);
        while (sqlite3_step(st) == SQLITE_ROW)
            for (int c = 0; c < columns; ++c)
                sum += sqlite3_column_type(st, c) == SQLITE_INTEGER ? sqlite3_column_int64(st, c)
                                                                    : sqlite3_column_bytes(st, c);
        sqlite3_finalize(st);
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const Took took{threadCpuMs() - cpuStart, ms};
    benchmark::DoNotOptimize(sum);
    sqlite3_close(db);
    return took;
}

// The window opened, and SQLite reading the same items, in turns: on a loaded machine both meet
// the same load. CPU time of this thread, the median of the runs; wall time beside it.
void BM_OverdueWindow(benchmark::State& state) {
    data::DataModule& dm = *fx().dm;
    const bool multiple = state.range(0) != 0;
    dm.user().settings.multipleMeasures = multiple;
    int rows = 0;
    std::vector<double> cpu, wall, sqlCpu, sqlWall;
    controls::ScriptedDialogs dialogs;
    controls::Desktop desktop{dialogs};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = threadCpuMs();
        {
            planning::OverdueWindow form(dm, desktop);
            rows = form.model()->rowCount();
        }
        cpu.push_back(threadCpuMs() - cpuStart);
        wall.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        state.PauseTiming();
        const Took sql = overdueSql(multiple);
        sqlCpu.push_back(sql.cpuMs);
        sqlWall.push_back(sql.wallMs);
        state.ResumeTiming();
    }
    dm.user().settings.multipleMeasures = false;
    const double ms = median(cpu), anchor = median(sqlCpu);
    state.counters["rows"] = rows;
    state.counters["cpu_ms"] = ms;
    state.counters["plain_sql_cpu_ms"] = anchor;
    state.counters["x_plain_sql"] = anchor > 0 ? ms / anchor : 0;
    target(state, 300);
    std::printf(
        "Overdue window%s, %d items: %.0f ms CPU (%.0f ms wall; target %d ms); SQLite reading the same "
        "items: %.0f ms CPU (%.0f ms wall); %.2f times\n",
        multiple ? " with multiple measurements" : "", rows, ms, median(wall), 300, anchor, median(sqlWall),
        anchor > 0 ? ms / anchor : 0);
    std::fflush(stdout);
}

// The reading part of the overdue window alone, to tell the data from the list widget.
void BM_ListOverdue(benchmark::State& state) {
    data::DataModule& dm = *fx().dm;
    dm.user().settings.multipleMeasures = state.range(0) != 0;
    int rows = 0;
    for (auto _ : state)
        rows = data::listOverdue(dm).size();
    dm.user().settings.multipleMeasures = false;
    state.counters["rows"] = rows;
}

void BM_OverviewWindow(benchmark::State& state) {
    data::DataModule& dm = *fx().dm;
    int users = 0;
    controls::ScriptedDialogs dialogs;
    controls::Desktop desktop{dialogs};
    for (auto _ : state) {
        reports::OverviewWindow form(dm, desktop);
        users = form.overview().users.size();
    }
    state.counters["users"] = users;
    target(state, 300);
}

// Copies the goals of the sample's last year, with their strategies, into the year after; the
// copy is rolled back so that every run starts from the same database.
void BM_CopyGoalsToNextYear(benchmark::State& state) {
    data::DataModule& dm = *fx().dm;
    const int year = QDate::currentDate().year() + 2;
    int goals = 0, strategies = 0;
    for (auto _ : state) {
        auto undo = std::make_unique<engine::Transaction>(dm.goalDatabase);
        const data::GoalCopyPlan plan = data::planGoalCopy(dm, year);
        const data::GoalCopyResult r = data::copyGoalsToNextYear(dm, plan, true);
        goals = r.goals;
        strategies = r.strategies;
        state.PauseTiming();
        undo.reset(); // rolls the copy back
        state.ResumeTiming();
    }
    state.counters["goals"] = goals;
    state.counters["strategies"] = strategies;
    target(state, 2000);
}

} // namespace

BENCHMARK(BM_OverdueWindow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ListOverdue)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OverviewWindow)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CopyGoalsToNextYear)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    fx();
    benchmark::RunSpecifiedBenchmarks();
    fixture.reset();
    benchmark::Shutdown();
    return 0;
}

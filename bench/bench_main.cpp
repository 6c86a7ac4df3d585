// Benchmarks for the performance targets, on the large sample database. The database is made
// once in $VARDIMO_BENCH_DB (default: bench-data beside the program) and reused afterwards.
// Each figure is printed with the target it is held to.

#include "BenchData.h"
#include "Sample.h"
#include "app/LogonWindow.h"
#include "app/MainWindow.h"
#include "app/Program.h"
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
#include "engine/Database.h"
#include "engine/Query.h"
#include "planning/GoalsWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <sqlite3.h>

namespace {

QString databaseFolder() {
    return bench::largeSampleFolder();
}

enum class Store { Folder, Server };

using Fixture = bench::Module;
using bench::residentKb;

// The data module of a store, made current (the screens and the logon use the current one) with
// JSMITH logged on. Null for the server when there is none.
// Released before the application object ends (data modules own widgets and connections).
std::unique_ptr<Fixture> folder, server;

// The server's large sample; empty when there is none (asked once).
QString serverSample() {
    static bool tried = false;
    static QString uri;
    if (!tried) {
        tried = true;
        uri = bench::largeSampleServer();
    }
    return uri;
}

Fixture* fixtureOf(Store store) {
    Fixture* f = nullptr;
    if (store == Store::Folder) {
        if (!folder) folder = std::make_unique<Fixture>(databaseFolder());
        f = folder.get();
    } else {
        // Made again after a benchmark let go of it (a copy of the database needs it closed).
        if (!server && !serverSample().isEmpty()) server = std::make_unique<Fixture>(serverSample());
        f = server.get();
    }
    static data::DataModule* loggedOn = nullptr;
    if (f && loggedOn != f->dm.get()) {
        data::logOn(*f->dm, QStringLiteral("JSMITH"), QStringLiteral("smith"), true);
        loggedOn = f->dm.get();
    }
    return f;
}

Fixture& fx() {
    return *fixtureOf(Store::Folder);
}

// The data module of the store a benchmark runs on; null (the run skipped, saying why) when the
// server is missing.
data::DataModule* moduleFor(benchmark::State& state, Store store) {
    Fixture* f = fixtureOf(store);
    if (!f) state.SkipWithError("no PostgreSQL server (set VARDIMO_BENCH_PG or VARDIMO_TEST_PG)");
    return f ? f->dm.get() : nullptr;
}

void target(benchmark::State& state, double ms) {
    state.counters["target_ms"] = ms;
}

// A post, then a move to the next row, on the unfiltered strategy table.
void BM_PostThenMove(benchmark::State& state, Store store) {
    data::DataModule* module = moduleFor(state, store);
    if (!module) return;
    data::DataModule& dm = *module;
    engine::Table& t = dm.strategyTable;
    t.setFiltered(false);
    const int start = t.recordCount() / 2;
    const auto toggle = [&t] {
        t.edit();
        t.field(QStringLiteral("Compleated")).setValue(!t.field(QStringLiteral("Compleated")).asBoolean());
        t.post();
        t.next();
        if (t.eof()) t.first();
    };
    t.moveTo(start);
    for (auto _ : state)
        toggle();
    // The sample is shared with the other benchmark programs (the overdue window counts the
    // unfinished strategies): the same rows are toggled back, untimed, in one batch.
    t.moveTo(start);
    engine::BatchScope batch(dm.goalDatabase);
    for (benchmark::IterationCount i = 0; i < state.iterations(); ++i)
        toggle();
    batch.commit();
    target(state, 1);
}

// Walking every strategy through the table object, reading two fields of each row, against
// SQLite's own scan of the table (every column of every row), in the same run.
double sqliteScanMs = 0;
void BM_SQLiteScanStrategies(benchmark::State& state) {
    const QByteArray file =
        engine::Database::findFile(databaseFolder(), QStringLiteral("Strategys.db")).toLocal8Bit();
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM strategys", -1, &st, nullptr);
    const int columns = sqlite3_column_count(st);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        qint64 sum = 0;
        // Every column of every row, as a table object reads whole rows.
        while (sqlite3_step(st) == SQLITE_ROW)
            for (int c = 0; c < columns; ++c)
                sum += sqlite3_column_type(st, c) == SQLITE_INTEGER ? sqlite3_column_int64(st, c)
                                                                    : sqlite3_column_bytes(st, c);
        sqlite3_reset(st);
        benchmark::DoNotOptimize(sum);
        sqliteScanMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
}
void BM_WalkStrategies(benchmark::State& state) {
    data::DataModule& dm = *fx().dm;
    engine::Table& t = dm.strategyTable;
    t.setFiltered(false);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        qint64 sum = 0;
        for (t.first(); !t.eof(); t.next()) {
            sum += t.field(QStringLiteral("StrategyDescription")).asString().size();
            sum += t.field(QStringLiteral("GoalID")).asInteger();
        }
        benchmark::DoNotOptimize(sum);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (sqliteScanMs > 0) state.counters["x_sqlite_scan"] = ms / sqliteScanMs;
    }
    state.counters["target_x"] = 3;
}

// A forward-only query over every strategy, memos included: the resident memory it adds.
void BM_ForwardOnlyQueryMemory(benchmark::State& state) {
    data::DataModule& dm = *fx().dm;
    for (auto _ : state) {
        const long before = residentKb();
        long peak = before;
        engine::Query q(dm.goalDatabase);
        q.setUniDirectional(true);
        q.add("Select * From \"Strategys.db\"");
        q.open();
        qint64 sum = 0;
        for (int n = 0; !q.eof(); q.next(), ++n) {
            sum += q.field(QStringLiteral("StrategyDescription")).asString().size();
            if (n % 10000 == 0) peak = std::max(peak, residentKb());
        }
        peak = std::max(peak, residentKb());
        state.counters["rows"] = double(q.recordCount());
        q.close();
        benchmark::DoNotOptimize(sum);
        state.counters["extra_MB"] = double(peak - before) / 1024.0;
    }
    state.counters["target_MB"] = 20;
}

// The time the server takes to answer the least statement on a connection of its own: what
// each round trip of a screen costs at the least.
double roundTripMs(data::DataModule& dm) {
    const QString conn = QStringLiteral("vardimo-bench-round-trip");
    double ms = -1;
    {
        QSqlDatabase db = QSqlDatabase::cloneDatabase(dm.goalDatabase.connection(), conn);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT 1"));
            constexpr int kRuns = 200;
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < kRuns; ++i)
                q.exec(QStringLiteral("SELECT 1"));
            ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() /
                 kRuns;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(conn);
    return ms;
}

// Opens the goals screen as the program does (every screen opening first reads the lookup lists
// again where someone wrote to them) and closes it again untimed, as a person closes it (the tables
// go back to all their rows): every opening starts where the program's openings start. Adds the
// statements sent while opening and while closing.
void openGoalsScreen(benchmark::State& state, data::DataModule& dm, controls::Desktop& desktop,
                     qint64& opening, qint64& closing) {
    const engine::Backend& backend = dm.goalDatabase.backend();
    const qint64 before = backend.statementsSent();
    dm.refreshLookupLists(); // what the program's desktop runs before each screen
    auto form = std::make_unique<planning::GoalsWindow>(dm, desktop);
    form->show();
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(form.get());
    opening += backend.statementsSent() - before;
    state.PauseTiming();
    const qint64 open = backend.statementsSent();
    form->reject();
    form.reset();
    closing += backend.statementsSent() - open;
    state.ResumeTiming();
}

// On the server each statement is a round trip; the store's own figure is one of them.
void roundTrips(benchmark::State& state, Store store, data::DataModule& dm, qint64 opening, qint64 closing) {
    if (store != Store::Server) return;
    const double runs = double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["round_trips"] = double(opening) / runs;
    state.counters["closing_round_trips"] = double(closing) / runs;
    state.counters["one_round_trip_ms"] = roundTripMs(dm);
}

// Opening the goals screen on the large sample, as the administrator, again and again.
void BM_OpenGoalsScreen(benchmark::State& state, Store store) {
    data::DataModule* dm = moduleFor(state, store);
    if (!dm) return;
    controls::ScriptedDialogs dialogs;
    controls::Desktop desktop{dialogs};
    qint64 opening = 0, closing = 0;
    for (auto _ : state)
        openGoalsScreen(state, *dm, desktop, opening, closing);
    roundTrips(state, store, *dm, opening, closing);
    target(state, 60);
}

// The first opening after the logon, which finds no list read by an earlier screen: each run
// opens the database and logs on afresh, untimed.
void BM_OpenGoalsScreenFirst(benchmark::State& state, Store store) {
    const QString location = store == Store::Folder ? databaseFolder() : serverSample();
    if (location.isEmpty()) {
        state.SkipWithError("no PostgreSQL server (set VARDIMO_BENCH_PG or VARDIMO_TEST_PG)");
        return;
    }
    controls::ScriptedDialogs dialogs;
    controls::Desktop desktop{dialogs};
    qint64 opening = 0, closing = 0;
    std::unique_ptr<Fixture> fresh;
    for (auto _ : state) {
        state.PauseTiming();
        fresh.reset();
        fresh = std::make_unique<Fixture>(location);
        data::logOn(*fresh->dm, QStringLiteral("JSMITH"), QStringLiteral("smith"), true);
        state.ResumeTiming();
        openGoalsScreen(state, *fresh->dm, desktop, opening, closing);
    }
    if (fresh) roundTrips(state, store, *fresh->dm, opening, closing);
    fresh.reset();
    target(state, 60);
}

void BM_Logon(benchmark::State& state, Store store) {
    data::DataModule* dm = moduleFor(state, store);
    if (!dm) return;
    for (auto _ : state)
        benchmark::DoNotOptimize(data::logOn(*dm, QStringLiteral("USER0500"), QStringLiteral("pw500"), true));
    target(state, 10);
}

void BM_OpenStrategyTable(benchmark::State& state) {
    data::DataModule& dm = *fx().dm;
    for (auto _ : state) {
        dm.strategyTable.close();
        dm.strategyTable.open();
    }
    target(state, 100);
}

void switchGoals(benchmark::State& state, bool preSelection, Store store = Store::Folder) {
    data::DataModule* module = moduleFor(state, store);
    if (!module) return;
    data::DataModule& dm = *module;
    data::GoalFilter goals{.year = 2024, .type = 2, .byUser = true, .user = 40};
    int year = 2024;
    if (!preSelection)
        dm.goalsTable.setOnFilterRecord([&dm](const engine::Record& r) { return dm.acceptsGoal(r); });
    for (auto _ : state) {
        goals.year = 2023 + (year++ % 5);
        dm.setGoalFilter(goals);
        dm.goalsTable.setFiltered(false);
        dm.goalsTable.setFiltered(true);
        benchmark::DoNotOptimize(dm.goalsTable.recordCount());
    }
    target(state, 20);
}
void BM_SwitchGoalFilter(benchmark::State& state, Store store) {
    switchGoals(state, true, store);
}
void BM_SwitchGoalFilterWithoutPreSelection(benchmark::State& state) {
    switchGoals(state, false);
}

void BM_SwitchStrategyFilter(benchmark::State& state, Store store) {
    data::DataModule* module = moduleFor(state, store);
    if (!module) return;
    data::DataModule& dm = *module;
    int goal = 1;
    for (auto _ : state) {
        dm.setStrategySelection({1 + (goal++ * 7919) % 20000, 41});
        dm.strategyTable.setFiltered(false);
        dm.strategyTable.setFiltered(true);
        benchmark::DoNotOptimize(dm.strategyTable.recordCount());
    }
    target(state, 5);
}

void BM_FetchRows(benchmark::State& state) {
    data::DataModule& dm = *fx().dm;
    dm.strategyTable.setFiltered(false);
    const int n = dm.strategyTable.recordCount();
    int start = 0;
    for (auto _ : state) {
        start = (start + 997) % (n - 100);
        for (int r = start; r < start + 100; ++r)
            benchmark::DoNotOptimize(dm.strategyTable.valueAt(r, QStringLiteral("StrategyDescription")));
    }
    state.SetItemsProcessed(state.iterations() * 100);
}

// Program start to the main window: the whole start-up sequence with a typed logon.
void BM_ProgramStart(benchmark::State& state) {
    const QString folder = databaseFolder();
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    controls::ScriptedDialogs dialogs;
    dialogs.onModal = [](QDialog& d) {
        if (auto* logon = dynamic_cast<app::LogonWindow*>(&d)) {
            logon->userIdEdit->setText(QStringLiteral("jsmith"));
            logon->passwordEdit->setText(QStringLiteral("smith"));
            logon->logOn();
        }
        return d.result();
    };
    app::StartupHooks hooks;
    hooks.dialogs = &dialogs;
    bool shown = false;
    hooks.runLoop = [&](app::Program& program) {
        shown = program.mainWindow() && program.mainWindow()->isVisible();
        return 0;
    };
    for (auto _ : state) {
        app::programBody({QStringLiteral("vardimo"), QStringLiteral("-s")}, hooks);
        if (!shown) state.SkipWithError("the main window did not show");
    }
    QDir::setCurrent(previous);
    target(state, 500);
}

} // namespace

// The screen figures and the engine's record work, on the folder and on the server side by side.
BENCHMARK_CAPTURE(BM_Logon, folder, Store::Folder)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Logon, server, Store::Server)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SwitchGoalFilter, folder, Store::Folder)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SwitchGoalFilter, server, Store::Server)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SwitchStrategyFilter, folder, Store::Folder)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SwitchStrategyFilter, server, Store::Server)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenGoalsScreen, folder, Store::Folder)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenGoalsScreen, server, Store::Server)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenGoalsScreenFirst, folder, Store::Folder)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_OpenGoalsScreenFirst, server, Store::Server)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_PostThenMove, folder, Store::Folder)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PostThenMove, server, Store::Server)->Unit(benchmark::kMillisecond);

// The folder alone.
BENCHMARK(BM_OpenStrategyTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitchGoalFilterWithoutPreSelection)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FetchRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgramStart)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SQLiteScanStrategies)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WalkStrategies)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ForwardOnlyQueryMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

void releaseConversionCopy();

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    fx();
    benchmark::RunSpecifiedBenchmarks();
    std::printf("Resident memory with the large data set open: %ld MB (target under 200 MB)\n",
                residentKb() / 1024);
    std::fflush(stdout);
    releaseConversionCopy();
    server.reset();
    folder.reset();
    benchmark::Shutdown();
    return 0;
}

// ---- Administration: the measurement conversions and the user setup screen -----------------

#include "admin/MeasureConversion.h"
#include "admin/UserSetupWindow.h"

#include <QDateTime>
#include <QTemporaryDir>

namespace {

// A database folder's files, without the locks of the workstations that have it open.
void copyDatabaseFiles(const QString& from, const QString& to) {
    for (const QString& name : QDir(from).entryList(QDir::Files))
        if (!name.endsWith(QLatin1String(".lck")))
            QFile::copy(QDir(from).filePath(name), QDir(to).filePath(name));
}

// The conversions change every strategy and measurement: they run on a copy of the sample.
// VARDIMO_BENCH_CONVERT_STRATEGIES keeps only that many strategies in the copy.
struct ConversionCopy {
    QTemporaryDir dir;
    engine::Session session;
    std::unique_ptr<data::DataModule> dm;
    explicit ConversionCopy(const QString& from = databaseFolder()) {
        copyDatabaseFiles(from, dir.path());
        session.addAlias(QStringLiteral("Goal"), dir.path());
        dm = std::make_unique<data::DataModule>(session);
        try {
            dm->open();
        } catch (...) {
            std::abort();
        }
        bool limited = false;
        const int keep = qEnvironmentVariableIntValue("VARDIMO_BENCH_CONVERT_STRATEGIES", &limited);
        if (limited) {
            engine::Query q(dm->goalDatabase);
            q.add("Delete From \"Strategys.db\" Where StrategyID > ", engine::sql::Int{keep});
            q.execSql();
            q.clear();
            q.add("Delete From \"Measure.db\" Where StrategyID > ", engine::sql::Int{keep});
            q.execSql();
            q.clear();
            dm->strategyTable.refresh();
        }
    }
    ~ConversionCopy() { dm.reset(); }
};

// Runs a conversion with the screen's way of repainting: the label's text at every record, a
// repaint at most every 50 ms. Reports the repaints and the longest time between two.
// The one copy both conversions work on: to single measurement first, then back.
std::unique_ptr<ConversionCopy> copy;
std::unique_ptr<ConversionCopy>& conversionCopy() {
    if (!copy) {
        fx();
        copy = std::make_unique<ConversionCopy>();
        data::logOn(*copy->dm, QStringLiteral("JSMITH"), QStringLiteral("smith"), true);
    }
    return copy;
}

// The same work as a conversion written as plain SQL, run by SQLite on its own connection in the
// same run, with its commit: the conversion's anchor. A conversion is not done until it is
// stored, and SQLite writes most of it at the commit, so the anchor is timed to the end of its
// commit too, on a copy of its own made from the conversion's copy just before (and thrown away).
const char* const kConvertToSingleSql = R"(
UPDATE strategys.strategys SET
 Deliverable = (SELECT group_concat(t, '') FROM (SELECT CAST(coalesce(CAST(m.MeasurementNumber AS INTEGER), 0) AS TEXT)
   || '#. ' || coalesce(m.Deliverable, '') || char(13) || CASE WHEN m.CompleationDate IS NULL THEN ''
   ELSE 'Compleation Date: ' || substr(m.CompleationDate, 6, 2) || '/' || substr(m.CompleationDate, 9, 2) || '/'
   || substr(m.CompleationDate, 1, 4) END || CASE WHEN m.Compleated <> 0 THEN ' Compleated' ELSE '' END || char(13) AS t
   FROM measure.measure m WHERE m.StrategyID = strategys.StrategyID ORDER BY m.MeasurementNumber, m.MeasurementID)),
 Measurement = (SELECT group_concat(t, '') FROM (SELECT CAST(coalesce(CAST(m.MeasurementNumber AS INTEGER), 0) AS TEXT)
   || '#. ' || coalesce(m.Measurement, '') || char(13) AS t
   FROM measure.measure m WHERE m.StrategyID = strategys.StrategyID ORDER BY m.MeasurementNumber, m.MeasurementID)),
 ModifiedBy = 1, ModifiedDate = '2026-01-01 00:00:00';
DELETE FROM measure.measure;
UPDATE settings.settings SET MultipulMeasure = 0;)";
const char* const kConvertToMultipleSql = R"(
DELETE FROM measure.measure;
INSERT INTO measure.measure (StrategyID, MeasurementNumber, Compleated, Measurement, Deliverable, ModifiedBy, ModifiedDate)
 SELECT StrategyID, 1, 0, Measurement, Deliverable, 1, '2026-01-01 00:00:00' FROM strategys.strategys ORDER BY StrategyID;
UPDATE settings.settings SET MultipulMeasure = 1;)";

double plainSqlMs(const QString& folder, const char* sql) {
    // SQLite alone works on it: the files are all it needs, not the program's connection.
    const QTemporaryDir scratch;
    const QString at = scratch.path();
    copyDatabaseFiles(folder, at);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return -1;
    const auto attach = [&](const char* name, const char* file) {
        const QByteArray path = engine::Database::findFile(at, QString::fromLatin1(file)).toLocal8Bit();
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, (QByteArray("ATTACH DATABASE ? AS ") + name).constData(), -1, &st, nullptr);
        sqlite3_bind_text(st, 1, path.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_finalize(st);
    };
    attach("strategys", "Strategys.db");
    attach("measure", "Measure.db");
    attach("settings", "Settings.db");
    const auto start = std::chrono::steady_clock::now();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    const bool ok = sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK &&
                    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    sqlite3_close(db);
    return ok ? ms : -1;
}

// The same statements through the program's own connection (to a copy of its own, as above), where
// the store keeps every changed and deleted row as a version as it does for the conversion, to the
// end of the commit. SQLite on a connection of its own keeps none: beside the conversion, which
// keeps them all, it is the cost of the rows alone.
double sameWorkMs(const QString& folder, const char* sql) {
    ConversionCopy scratch(folder);
    data::DataModule& dm = *scratch.dm;
    data::logOn(dm, QStringLiteral("JSMITH"), QStringLiteral("smith"), true);
    double ms = -1;
    try {
        const auto start = std::chrono::steady_clock::now();
        engine::Transaction tx(dm.goalDatabase);
        for (const QString& statement : QString::fromUtf8(sql).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            if (!statement.trimmed().isEmpty()) dm.goalDatabase.exec(statement);
        tx.commit();
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    } catch (const engine::Error& e) {
        std::printf("The plain SQL keeping versions failed: %s\n", qPrintable(e.message()));
    }
    return ms;
}

template <typename Convert>
void convertMeasuresOn(benchmark::State& state, data::DataModule& dm, Convert convert, double anchor,
                       double sameWork = -1);

template <typename Convert>
void convertMeasures(benchmark::State& state, Convert convert, const char* anchorSql) {
    ConversionCopy& copy = *conversionCopy();
    const double plain = plainSqlMs(copy.dir.path(), anchorSql);
    convertMeasuresOn(state, *copy.dm, convert, plain, sameWorkMs(copy.dir.path(), anchorSql));
}

template <typename Convert>
void convertMeasuresOn(benchmark::State& state, data::DataModule& dm, Convert convert, double anchor,
                       double sameWork) {
    const int strategies = dm.strategyTable.recordCount();
    QString label;
    int repaints = 0;
    qint64 longestGap = 0;
    for (auto _ : state) {
        // The window is shown as the conversion begins and closed as it returns: the gaps count
        // from the one to the other. It paints every "storing" call, and records 50 ms apart.
        qint64 last = QDateTime::currentMSecsSinceEpoch();
        const auto start = std::chrono::steady_clock::now();
        const auto painted = [&] {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            longestGap = std::max(longestGap, now - last);
            ++repaints;
            last = now;
        };
        convert(dm, [&](int record) {
            label = QString::number(record);
            if (record == 0 || record == admin::kStoringConversion ||
                QDateTime::currentMSecsSinceEpoch() - last >= 50)
                painted();
        });
        painted();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        state.counters["vardimo_ms"] = ms;
        if (anchor > 0) state.counters["x_plain_sql"] = ms / anchor;
        if (sameWork > 0) state.counters["x_same_work"] = ms / sameWork;
        std::printf("conversion: %.0f ms = %.2fx the plain SQL (%.0f ms)", ms, ms / anchor, anchor);
        if (sameWork > 0)
            std::printf(", %.2fx the plain SQL keeping the same versions (%.0f ms)", ms / sameWork, sameWork);
        std::printf("; target 1.5x\n");
        std::fflush(stdout);
    }
    state.counters["plain_sql_ms"] = anchor;
    if (sameWork > 0) state.counters["same_work_ms"] = sameWork;
    state.counters["strategies"] = strategies;
    state.counters["repaints"] = repaints;
    state.counters["longest_gap_ms"] = double(longestGap);
    state.counters["target_x"] = 1.5;
    state.counters["target_gap_ms"] = 200;
    // What the program holds once the conversion is over (target under 200 MB).
    state.counters["resident_mb_after"] = double(residentKb()) / 1024;
}

// To single first, on the sample's five items per strategy; then back to multiple.
void BM_ConvertToSingleMeasure(benchmark::State& state) {
    convertMeasures(
        state,
        [](data::DataModule& dm, const admin::ConversionProgress& p) {
            admin::convertToSingleMeasure(dm, p);
        },
        kConvertToSingleSql);
}

void BM_ConvertToMultipleMeasures(benchmark::State& state) {
    convertMeasures(
        state,
        [](data::DataModule& dm, const admin::ConversionProgress& p) {
            admin::convertToMultipleMeasures(dm, p);
        },
        kConvertToMultipleSql);
    conversionCopy().reset();
}

// The same on the server: a copy of the server's sample made by the server itself (a database
// made from it as a template, which needs every connection to it closed), converted to single
// and back, each beside the same work written as plain SQL on a connection of its own to the
// copy, rolled back. The server's own triggers keep the versions of what that SQL changes and
// deletes, as they do for the conversion: the anchor does the same work. The server writes its log
// as the statements run, so that a commit adds little but the log's flush; the anchor leaves
// it out and the copy as it was for the conversion.
const char* const kServerToSingleSql[] = {
    "UPDATE strategys s SET deliverable = (SELECT string_agg(coalesce(m.measurementnumber, 0)::bigint::text "
    "|| '#. ' || coalesce(m.deliverable, '') || chr(13) || CASE WHEN m.compleationdate IS NULL THEN '' ELSE "
    "'Compleation Date: ' || to_char(m.compleationdate, 'MM/DD/YYYY') END || CASE WHEN m.compleated <> 0 "
    "THEN ' Compleated' ELSE '' END || chr(13), '' ORDER BY m.measurementnumber, m.measurementid) FROM "
    "measure m WHERE m.strategyid = s.strategyid), measurement = (SELECT "
    "string_agg(coalesce(m.measurementnumber, 0)::bigint::text || '#. ' || coalesce(m.measurement, '') || "
    "chr(13), '' ORDER BY m.measurementnumber, m.measurementid) FROM measure m WHERE m.strategyid = "
    "s.strategyid), modifiedby = 1, modifieddate = '2026-01-01 00:00:00'",
    "DELETE FROM measure", "UPDATE settings SET multipulmeasure = 0", nullptr};
const char* const kServerToMultipleSql[] = {
    "DELETE FROM measure",
    "INSERT INTO measure (strategyid, measurementnumber, compleated, measurement, deliverable, modifiedby, "
    "modifieddate) SELECT strategyid, 1, 0, measurement, deliverable, 1, '2026-01-01 00:00:00' FROM "
    "strategys "
    "ORDER BY strategyid",
    "UPDATE settings SET multipulmeasure = 1", nullptr};

double serverPlainSqlMs(data::DataModule& dm, const char* const* statements) {
    const QString conn = QStringLiteral("vardimo-bench-convert-anchor");
    double ms = -1;
    {
        QSqlDatabase db = QSqlDatabase::cloneDatabase(dm.goalDatabase.connection(), conn);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("BEGIN"));
            bool ok = true;
            const auto start = std::chrono::steady_clock::now();
            for (const char* const* st = statements; *st && ok; ++st)
                ok = q.exec(QString::fromUtf8(*st));
            const double took =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            if (!ok) std::printf("The plain SQL failed: %s\n", qPrintable(q.lastError().text()));
            q.exec(QStringLiteral("ROLLBACK"));
            if (ok) ms = took;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(conn);
    return ms;
}

struct ServerConversionCopy {
    engine::Session session;
    std::unique_ptr<data::DataModule> dm;
    explicit ServerConversionCopy(const QString& uri) {
        session.addAlias(QStringLiteral("Goal"), uri);
        dm = std::make_unique<data::DataModule>(session);
        dm->open();
        data::logOn(*dm, QStringLiteral("JSMITH"), QStringLiteral("smith"), true);
    }
};
std::unique_ptr<ServerConversionCopy> serverCopy;

ServerConversionCopy* serverConversionCopy(benchmark::State& state) {
    if (serverCopy) return serverCopy.get();
    const QString sample = serverSample();
    if (sample.isEmpty()) {
        state.SkipWithError("no PostgreSQL server (set VARDIMO_BENCH_PG or VARDIMO_TEST_PG)");
        return nullptr;
    }
    server.reset(); // the template must have no connection
    const QString copy = bench::serverDatabaseCopy(sample, QStringLiteral("vardimo_bench_convert"));
    if (copy.isEmpty()) {
        state.SkipWithError("the server could not copy its sample");
        return nullptr;
    }
    try {
        serverCopy = std::make_unique<ServerConversionCopy>(copy);
    } catch (const engine::Error& e) {
        state.SkipWithError(qPrintable(e.message()));
        return nullptr;
    }
    return serverCopy.get();
}

void BM_ServerConvertToSingleMeasure(benchmark::State& state) {
    ServerConversionCopy* copy = serverConversionCopy(state);
    if (!copy) return;
    convertMeasuresOn(
        state, *copy->dm,
        [](data::DataModule& dm, const admin::ConversionProgress& p) {
            admin::convertToSingleMeasure(dm, p);
        },
        serverPlainSqlMs(*copy->dm, kServerToSingleSql));
}

void BM_ServerConvertToMultipleMeasures(benchmark::State& state) {
    ServerConversionCopy* copy = serverConversionCopy(state);
    if (!copy) return;
    convertMeasuresOn(
        state, *copy->dm,
        [](data::DataModule& dm, const admin::ConversionProgress& p) {
            admin::convertToMultipleMeasures(dm, p);
        },
        serverPlainSqlMs(*copy->dm, kServerToMultipleSql));
    serverCopy.reset();
}

// Opening the user setup screen on the 2,000 users, as an administrator outside profile 0:
// made, shown, laid out and painted once, then closed.
void BM_OpenUserSetup(benchmark::State& state) {
    data::DataModule& dm = *fx().dm;
    controls::ScriptedDialogs dialogs;
    controls::Desktop desktop{dialogs};
    for (auto _ : state) {
        admin::UserSetupWindow form(dm, desktop);
        form.show();
        QCoreApplication::processEvents();
        form.reject();
    }
    state.counters["users"] = dm.userSettingsTable.recordCount();
    target(state, 100);
}

} // namespace

void releaseConversionCopy() {
    copy.reset();
    serverCopy.reset();
}

BENCHMARK(BM_OpenUserSetup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertToSingleMeasure)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ConvertToMultipleMeasures)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ServerConvertToSingleMeasure)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ServerConvertToMultipleMeasures)->Unit(benchmark::kMillisecond)->Iterations(1);
// ---- The strategy list and the strategy editor ----------------------------------------------
// These run on a data module of their own, so that what the engine benchmarks change on the
// shared one (filter callbacks, the logged-on user) does not reach them.

#include "engine/Query.h"
#include "planning/StrategyEditor.h"
#include "planning/StrategyListWindow.h"

#include <QDate>

namespace {

struct StrategyScreens {
    engine::Session session;
    std::unique_ptr<data::DataModule> dm;
    int busiestType = -1;
    explicit StrategyScreens(const QString& folder = databaseFolder()) {
        session.addAlias(QStringLiteral("Goal"), folder);
        dm = std::make_unique<data::DataModule>(session);
        try {
            dm->open();
        } catch (...) {
            std::abort();
        }
        logOn();
        // The screen opens on the goal type the goal type table stands on: take the one under
        // which the administrator sees the most goals this year.
        data::GoalFilter goals{
            .year = QDate::currentDate().year(), .byUser = true, .user = dm->user().number};
        int most = -1;
        for (int r = 0; r < dm->goalTypeTable.recordCount(); ++r) {
            dm->goalsTable.setFiltered(false);
            goals.type = dm->goalTypeTable.valueAt(r, QStringLiteral("GoalTypeID")).toInt();
            dm->setGoalFilter(goals);
            dm->goalsTable.setFiltered(true);
            if (dm->goalsTable.recordCount() > most) {
                most = dm->goalsTable.recordCount();
                busiestType = goals.type;
            }
        }
        dm->goalsTable.setFiltered(false);
    }
    void logOn() { data::logOn(*dm, QStringLiteral("JSMITH"), QStringLiteral("smith"), true); }
    // The sample's administrator: every user in the user box, every user's strategies.
    data::DataModule& use() {
        if (dm->user().id != QStringLiteral("JSMITH")) logOn();
        dm->goalTypeTable.locate(QStringLiteral("GoalTypeID"), busiestType);
        return *dm;
    }
};

StrategyScreens& screens() {
    static StrategyScreens s;
    return s;
}

// Chooses, in the user box, the writer of a strategy under a listed goal and selects that goal,
// so that strategies are listed; false when no listed goal has any.
bool listSomeStrategies(planning::StrategyListWindow& form, data::DataModule& dm) {
    for (int r = 0; r < dm.goalsTable.recordCount(); ++r) {
        const QVariant goal = dm.goalsTable.valueAt(r, QStringLiteral("GoalID"));
        engine::Query q(dm.goalDatabase);
        q.add("Select UserNumber From \"Strategys.db\" Where GoalID = ", engine::sql::Int{goal.toLongLong()});
        q.open();
        if (q.isEmpty()) continue;
        form.userBox->setKeyValue(q.field(QStringLiteral("UserNumber")).value());
        form.userChosen();
        dm.goalsTable.locate(QStringLiteral("GoalID"), goal);
        return !dm.strategyTable.isEmpty();
    }
    return false;
}

// Opening the screen: the user box over every user, the goals of this year and type for the
// user, and the first goal's strategies.
void BM_OpenStrategyList(benchmark::State& state) {
    data::DataModule& dm = screens().use();
    int goals = 0;
    controls::ScriptedDialogs dialogs;
    controls::Desktop desktop{dialogs};
    for (auto _ : state) {
        planning::StrategyListWindow form(dm, desktop);
        goals = dm.goalsTable.recordCount();
    }
    state.counters["goals_listed"] = goals;
    target(state, 100);
}

// Switching the goal filter from the screen: year, goal type and user in turn, each followed
// by the strategies of the goal that becomes selected.
void BM_StrategyListSwitchGoalFilter(benchmark::State& state) {
    data::DataModule& dm = screens().use();
    controls::ScriptedDialogs dialogs;
    controls::Desktop desktop{dialogs};
    planning::StrategyListWindow form(dm, desktop);
    const int year = form.yearSpin->value();
    const int types = dm.goalTypeTable.recordCount();
    int i = 0;
    for (auto _ : state) {
        switch (i % 3) {
        case 0:
            form.yearSpin->setValue(year - 1 + (i / 3) % 3);
            break;
        case 1:
            form.goalTypeBox->setKeyValue(
                dm.goalTypeTable.valueAt((i / 3) % types, QStringLiteral("GoalTypeID")));
            form.goalTypeChosen();
            break;
        default:
            form.userBox->setKeyValue(40 + (i / 3) % 50);
            form.userChosen();
        }
        ++i;
        benchmark::DoNotOptimize(dm.strategyTable.recordCount());
    }
    target(state, 20);
}

// Following the selected goal: another goal row becomes current and its strategies are listed.
void BM_StrategyListFollowSelectedGoal(benchmark::State& state) {
    data::DataModule& dm = screens().use();
    controls::ScriptedDialogs dialogs;
    controls::Desktop desktop{dialogs};
    planning::StrategyListWindow form(dm, desktop);
    listSomeStrategies(form, dm);
    const int n = dm.goalsTable.recordCount();
    if (n < 2) {
        state.SkipWithError("fewer than two goals listed");
        return;
    }
    int row = 0;
    for (auto _ : state) {
        row = (row + 7) % n;
        form.goalGrid->selectRow(row);
        benchmark::DoNotOptimize(dm.strategyTable.recordCount());
    }
    state.counters["goals_listed"] = n;
    target(state, 5);
}

// Opening the editor on a listed strategy: every control bound, the owner and modifier boxes
// over every user, the department line and the rights check.
void BM_OpenStrategyEditor(benchmark::State& state) {
    data::DataModule& dm = screens().use();
    controls::ScriptedDialogs dialogs;
    controls::Desktop desktop{dialogs};
    planning::StrategyListWindow form(dm, desktop);
    if (!listSomeStrategies(form, dm)) {
        state.SkipWithError("no strategy listed");
        return;
    }
    for (auto _ : state) {
        planning::StrategyEditor editor(dm, desktop, &form);
        editor.onActivate();
        benchmark::DoNotOptimize(editor.isReadOnly());
    }
    target(state, 50);
}

} // namespace

BENCHMARK(BM_OpenStrategyList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StrategyListSwitchGoalFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StrategyListFollowSelectedGoal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenStrategyEditor)->Unit(benchmark::kMillisecond);

// ---- How the screens grow with the data ----------------------------------------------------
// The goals year switch and the strategy list's switches on the large sample and on five times
// it (made once beside it), each beside SQLite doing the same reads on the same files, all of
// them in turns. CPU time of this thread, so that the other programs on a loaded machine count
// less.

#include <algorithm>
#include <ctime>
#include <vector>

namespace {

constexpr int kScale = 5;
constexpr double kScaleTargetRatio = 6;

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Milliseconds of CPU per call of each step: rounds of n calls of every step in turn, after a few
// untimed calls of each, and the median of each step's rounds. Taken in turns, the sides of a
// ratio meet the same load of a shared machine, and a round another program disturbed counts
// little. Each step counts its own calls.
std::vector<double> cpuMsPerCall(int n, const std::vector<std::function<void(int)>>& steps) {
    constexpr int kRounds = 9;
    for (const auto& step : steps)
        for (int i = 0; i < 3; ++i)
            step(i);
    std::vector<std::vector<double>> rounds(steps.size());
    int call = 0;
    for (int r = 0; r < kRounds; ++r, call += n)
        for (size_t s = 0; s < steps.size(); ++s) {
            const double start = threadCpuMs();
            for (int i = 0; i < n; ++i)
                steps[s](call + i);
            rounds[s].push_back((threadCpuMs() - start) / n);
        }
    std::vector<double> medians;
    for (std::vector<double>& r : rounds) {
        std::sort(r.begin(), r.end());
        medians.push_back(r[r.size() / 2]);
    }
    return medians;
}

// The goals and strategy files of a sample folder, opened read-only by SQLite itself: with its
// default page cache, as a program of its own would, or with one that holds the goals file.
struct RawSample {
    sqlite3* db = nullptr;
    sqlite3_stmt* goals = nullptr;
    sqlite3_stmt* strategies = nullptr;
    RawSample(const QString& folder, bool wholeGoalsCached) {
        const QByteArray goalsFile =
            engine::Database::findFile(folder, QStringLiteral("goals.db")).toLocal8Bit();
        const QByteArray strategyFile =
            engine::Database::findFile(folder, QStringLiteral("Strategys.db")).toLocal8Bit();
        sqlite3_open_v2(goalsFile.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* attach = nullptr;
        sqlite3_prepare_v2(db, "ATTACH DATABASE ? AS s", -1, &attach, nullptr);
        sqlite3_bind_text(attach, 1, strategyFile.constData(), int(strategyFile.size()), SQLITE_TRANSIENT);
        sqlite3_step(attach);
        sqlite3_finalize(attach);
        if (wholeGoalsCached) {
            const QByteArray pragma = QByteArray("PRAGMA main.cache_size=-") +
                                      QByteArray::number(QFileInfo(goalsFile).size() / 1024 * 2);
            sqlite3_exec(db, pragma.constData(), nullptr, nullptr, nullptr);
        }
        // The conditions the screens select with.
        sqlite3_prepare_v2(db,
                           "SELECT * FROM main.goals WHERE (GoalYear IS NULL OR (GoalYear = ?1 AND "
                           "GoalTypeID = ?2)) AND (UserNumber IS NULL OR UserNumber = ?3) ORDER BY GoalID",
                           -1, &goals, nullptr);
        sqlite3_prepare_v2(db, "SELECT * FROM s.Strategys WHERE GoalID = ?1 AND UserNumber = ?2", -1,
                           &strategies, nullptr);
    }
    ~RawSample() {
        sqlite3_finalize(goals);
        sqlite3_finalize(strategies);
        sqlite3_close(db);
    }
    RawSample(const RawSample&) = delete;
    RawSample& operator=(const RawSample&) = delete;
    // Every column of every row, as a table object reads whole rows; the first row's key.
    static qint64 readAll(sqlite3_stmt* st) {
        qint64 first = -1, sum = 0;
        const int columns = sqlite3_column_count(st);
        while (sqlite3_step(st) == SQLITE_ROW) {
            if (first < 0) first = sqlite3_column_int64(st, 0);
            for (int c = 0; c < columns; ++c)
                sum += sqlite3_column_type(st, c) == SQLITE_INTEGER ? sqlite3_column_int64(st, c)
                                                                    : sqlite3_column_bytes(st, c);
        }
        sqlite3_reset(st);
        benchmark::DoNotOptimize(sum);
        return first;
    }
    // The goals of a year and type for a user, then the strategies of the first of them.
    void switchGoals(int year, int type, int user, bool withStrategies) {
        sqlite3_bind_int(goals, 1, year);
        sqlite3_bind_int(goals, 2, type);
        sqlite3_bind_int(goals, 3, user);
        const qint64 goal = readAll(goals);
        if (!withStrategies || goal < 0) return;
        sqlite3_bind_int64(strategies, 1, goal);
        sqlite3_bind_int(strategies, 2, user);
        readAll(strategies);
    }
};

struct ScaleFigure {
    double vardimoMs = 0;
    double sqliteMs = 0;       // SQLite's default page cache
    double sqliteCachedMs = 0; // a page cache holding the goals file
};

// The year switch of the goals screen's filter on a sample folder: the goal filter of a user,
// another year each time; and SQLite reading the same goals.
struct GoalsYearSwitch {
    bench::Module m;
    RawSample raw, cached;
    const int thisYear = QDate::currentDate().year();
    data::GoalFilter goals{.year = thisYear, .type = 2, .byUser = true, .user = 40};
    explicit GoalsYearSwitch(const QString& folder) : m(folder), raw(folder, false), cached(folder, true) {
        data::logOn(*m.dm, QStringLiteral("JSMITH"), QStringLiteral("smith"), true);
    }
    int year(int call) const { return thisYear - 2 + call % 5; }
    void onScreen(int call) {
        data::DataModule& dm = *m.dm;
        goals.year = year(call);
        dm.setGoalFilter(goals);
        dm.goalsTable.setFiltered(false);
        dm.goalsTable.setFiltered(true);
        benchmark::DoNotOptimize(dm.goalsTable.recordCount());
    }
    void bySqlite(RawSample& s, int call) const { s.switchGoals(year(call), 2, 40, false); }
};

// The strategy list's switches on a sample folder: year, goal type and user in turn, each listing
// the goals and the strategies of the goal that becomes selected; and SQLite reading the same.
struct StrategyListSwitches {
    StrategyScreens screens;
    data::DataModule& dm;
    controls::ScriptedDialogs dialogs;
    controls::Desktop desktop{dialogs};
    planning::StrategyListWindow form;
    RawSample raw, cached;
    const int year, types;
    // What is chosen: on the screen, and for SQLite's own reads.
    struct Choice {
        int year, type, user;
    } shown, read;
    explicit StrategyListSwitches(const QString& folder)
        : screens(folder), dm(screens.use()), form(dm, desktop), raw(folder, false), cached(folder, true),
          year(form.yearSpin->value()),
          types(dm.goalTypeTable.recordCount()), shown{year, form.goalTypeBox->keyValue().toInt(),
                                                       form.userBox->keyValue().toInt()},
          read(shown) {}
    void change(int call, Choice& c, bool onScreen) {
        switch (call % 3) {
        case 0:
            c.year = year - 1 + (call / 3) % 3;
            if (onScreen) form.yearSpin->setValue(c.year);
            break;
        case 1:
            c.type = dm.goalTypeTable.valueAt((call / 3) % types, QStringLiteral("GoalTypeID")).toInt();
            if (onScreen) {
                form.goalTypeBox->setKeyValue(c.type);
                form.goalTypeChosen();
            }
            break;
        default:
            c.user = 40 + (call / 3) % 50;
            if (onScreen) {
                form.userBox->setKeyValue(c.user);
                form.userChosen();
            }
        }
    }
    void onScreen(int call) {
        change(call, shown, true);
        benchmark::DoNotOptimize(dm.strategyTable.recordCount());
    }
    void bySqlite(RawSample& s, int call) {
        change(call, read, false);
        s.switchGoals(read.year, read.type, read.user, true);
    }
};

void reportScaling(benchmark::State& state, const char* what, const ScaleFigure& one,
                   const ScaleFigure& many) {
    const double ratio = one.vardimoMs > 0 ? many.vardimoMs / one.vardimoMs : 0;
    const double sqliteRatio = one.sqliteMs > 0 ? many.sqliteMs / one.sqliteMs : 0;
    const double cachedRatio = one.sqliteCachedMs > 0 ? many.sqliteCachedMs / one.sqliteCachedMs : 0;
    state.counters["ms_1x"] = one.vardimoMs;
    state.counters["ms_5x"] = many.vardimoMs;
    state.counters["ratio_5x"] = ratio;
    state.counters["target_ratio"] = kScaleTargetRatio;
    state.counters["sqlite_ms_1x"] = one.sqliteMs;
    state.counters["sqlite_ms_5x"] = many.sqliteMs;
    state.counters["sqlite_ratio_5x"] = sqliteRatio;
    state.counters["sqlite_cached_ratio_5x"] = cachedRatio;
    std::printf("%s, CPU per switch: %.3f ms at 1x, %.3f ms at %dx, %.2f times (target at most %.0f); "
                "SQLite itself: %.3f ms, %.3f ms, %.2f times; SQLite with the goals file in its cache: "
                "%.3f ms, %.3f ms, %.2f times\n",
                what, one.vardimoMs, many.vardimoMs, kScale, ratio, kScaleTargetRatio, one.sqliteMs,
                many.sqliteMs, sqliteRatio, one.sqliteCachedMs, many.sqliteCachedMs, cachedRatio);
    std::fflush(stdout);
}

// The screen's switches and SQLite's on both samples, all six in turns.
template <typename Switches> void measureScaling(benchmark::State& state, const char* what, int calls) {
    while (state.KeepRunning()) {
        Switches one(databaseFolder()), many(bench::scaledSampleFolder(kScale));
        const std::vector<double> ms = cpuMsPerCall(
            calls,
            {[&](int i) { one.onScreen(i); }, [&](int i) { many.onScreen(i); },
             [&](int i) { one.bySqlite(one.raw, i); }, [&](int i) { many.bySqlite(many.raw, i); },
             [&](int i) { one.bySqlite(one.cached, i); }, [&](int i) { many.bySqlite(many.cached, i); }});
        reportScaling(state, what, {ms[0], ms[2], ms[4]}, {ms[1], ms[3], ms[5]});
    }
}

void BM_ScaleGoalsYearSwitch(benchmark::State& state) {
    measureScaling<GoalsYearSwitch>(state, "Goals year switch", 60);
}

void BM_ScaleStrategyListSwitches(benchmark::State& state) {
    measureScaling<StrategyListSwitches>(state, "Strategy list switches", 45);
}

} // namespace

BENCHMARK(BM_ScaleGoalsYearSwitch)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ScaleStrategyListSwitches)->Unit(benchmark::kMillisecond)->Iterations(1);

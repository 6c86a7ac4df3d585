// Benchmarks for the follow-up windows and the yearly copy, on the large sample database (made
// once in $VARDIMO_BENCH_DB, default: bench-data beside the program, shared with vardimo-bench).
// Each figure is printed with the target it is held to.

#include "BenchData.h"
#include "Sample.h"
#include "controls/DataGrid.h"
#include "controls/DatePicker.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/MonthCalendar.h"
#include "controls/RadioGroup.h"
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
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

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

void BM_OverdueWindow(benchmark::State& state) {
    data::DataModule& dm = *fx().dm;
    dm.user().settings.multipleMeasures = state.range(0) != 0;
    int rows = 0;
    for (auto _ : state) {
        planning::OverdueWindow form(dm);
        rows = form.model()->rowCount();
    }
    dm.user().settings.multipleMeasures = false;
    state.counters["rows"] = rows;
    target(state, 300);
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
    for (auto _ : state) {
        reports::OverviewWindow form(dm);
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

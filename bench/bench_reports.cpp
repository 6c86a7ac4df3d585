// Benchmarks for the strategy report and the report screens. The first runs on a database of
// its own (2,000 strategies with full texts and 5 items each); the others on the large sample in
// $VARDIMO_BENCH_DB (default: bench-data beside the program), made once if missing.
// Each figure is printed with the target it is held to.

#include "BenchData.h"
#include "Sample.h"
#include "controls/DatePicker.h"
#include "controls/Desktop.h"
#include "controls/RadioGroup.h"
#include "controls/ScriptedDialogs.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "engine/Database.h"
#include "reports/ReportsWindow.h"
#include "reports/StrategyReport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {

// A report's message is recorded, not waited for; the run lists them at its end.
controls::ScriptedDialogs reportDialogs;

using bench::peakKb;
using bench::residentKb;

// A data module on a folder, logged on as a user with every right to see.
struct Module : bench::Module {
    explicit Module(const QString& folder) : bench::Module(folder) {
        dm->user().settings = data::readSystemSettings(*dm);
    }
};

QString largeSample() {
    return bench::largeSampleFolder();
}

QString text(int length, int seed) {
    static const QString words = QStringLiteral(
        "Review the plan with every team lead, agree the figures, report the results monthly and act on "
        "what the customers tell us; budget, staff and suppliers are checked before each quarter ends. ");
    QString out;
    while (out.size() < length)
        out += words.mid(seed % 40) + words;
    out.truncate(length);
    out[length / 2] = QLatin1Char('\n');
    return out;
}

// 2,000 strategies with every memo filled to its width, and 5 items each.
QString fullTextDatabase(QTemporaryDir& dir) {
    QString folder = dir.path();
    engine::Database::create(folder);
    engine::Session session;
    engine::Database db(session);
    db.open(folder);
    for (const auto& t : engine::tables())
        db.attach(t);
    engine::Transaction tx(db);
    db.exec(QStringLiteral("UPDATE \"settings\".\"settings\" SET ReportTitle1 = ?, ReportTitle2 = ?, "
                           "MultipulMeasure = 1"),
            {QStringLiteral("Benchmark Organisation"), QStringLiteral("Strategies in full")});
    engine::Inserter types(db, QStringLiteral("GoalType.db"), {"TypeDescription"});
    types.add({QStringLiteral("Corporate")});
    engine::Inserter users(db, QStringLiteral("User.db"), {"UserID", "UserName", "SecurityID"});
    const qint64 user = users.add({QStringLiteral("WRITER"), QStringLiteral("William Writer"), 0});
    engine::Inserter goals(db, QStringLiteral("goals.db"),
                           {"GoalDescription", "UserNumber", "GoalTypeID", "GoalYear"});
    engine::Inserter strategies(db, QStringLiteral("Strategys.db"),
                                {"StrategyNumber", "StrategyDescription", "Responsibility", "Deliverable",
                                 "Measurement", "CompleationDate", "AddationalResources", "CommentsStatus",
                                 "DoNotPrint", "UserNumber", "GoalID", "Compleated"});
    engine::Inserter measures(
        db, QStringLiteral("Measure.db"),
        {"StrategyID", "MeasurementNumber", "Measurement", "CompleationDate", "Compleated", "Deliverable"});
    qint64 goal = 0;
    for (int s = 0; s < 2000; ++s) {
        if (s % 10 == 0)
            goal = goals.add({QStringLiteral("Goal %1: ").arg(s / 10) + text(100, s), user, 1, 2026});
        const qint64 id = strategies.add({s % 10 + 1, text(240, s), text(240, s + 1), text(240, s + 2),
                                          text(240, s + 3), QStringLiteral("2026-06-30"), text(240, s + 4),
                                          text(240, s + 5), 0, user, goal, s % 2});
        for (int m = 1; m <= 5; ++m)
            measures.add(
                {id, m, text(200, s + m), QStringLiteral("2026-0%1-15").arg(m), m % 2, text(200, s + m + 7)});
    }
    tx.commit();
    db.close();
    return folder;
}

void openAllStrategies(engine::Query& q) {
    reports::beginStrategyQuery(q);
    q.add("S.DoNotPrint = False");
    q.add("Order by s.UserNumber, G.GoalDescription, S.StrategyNumber");
    q.prepare();
    q.open();
}

void reportCounters(benchmark::State& state, int pages, double seconds, long rssBefore) {
    state.counters["pages"] = pages;
    state.counters["pages_per_s"] = seconds > 0 ? pages / seconds : 0;
    state.counters["target_pages_per_s"] = 100;
    state.counters["peak_rss_MB"] = double(peakKb()) / 1024;
    state.counters["rss_growth_MB"] = double(peakKb() - rssBefore) / 1024;
}

// The strategy report of 2,000 strategies with full texts and 5 items each, to PDF.
void BM_StrategyReport2000(benchmark::State& state) {
    QTemporaryDir dir;
    const QString folder = fullTextDatabase(dir);
    Module m(folder);
    const QString pdf = QDir(dir.path()).filePath(QStringLiteral("report.pdf"));
    int pages = 0;
    double seconds = 0;
    long before = residentKb();
    for (auto _ : state) {
        engine::Query rows(m.dm->goalDatabase);
        openAllStrategies(rows);
        const auto t0 = std::chrono::steady_clock::now();
        reports::StrategyReport report(*m.dm, rows);
        report.printToPdf(pdf);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        pages += report.pageCount();
        rows.close();
    }
    reportCounters(state, pages, seconds, before);
    state.counters["target_rss_growth_MB"] = 50;
}

struct Large {
    std::unique_ptr<Module> m;
    Large() {
        m = std::make_unique<Module>(largeSample());
        data::logOn(*m->dm, QStringLiteral("JSMITH"), QStringLiteral("smith"), true);
    }
};
std::unique_ptr<Large> largeModule;
Large& large() {
    if (!largeModule) largeModule = std::make_unique<Large>();
    return *largeModule;
}

// The reports screen's "All Goals" for one year and type by a user who sees every strategy.
void BM_ReportsAllGoals(benchmark::State& state) {
    Large& l = large();
    const long before = residentKb();
    const QString pdf = QDir::temp().filePath(QStringLiteral("vardimo-bench-allgoals.pdf"));
    int pages = 0, rows = 0;
    double seconds = 0;
    controls::Desktop desktop{reportDialogs};
    for (auto _ : state) {
        reports::ReportsWindow form(*l.m->dm, desktop);
        form.reportType->setItemIndex(0);
        form.reportTypeClicked();
        const auto t0 = std::chrono::steady_clock::now();
        form.buildStrategyQuery();
        rows = form.strategyQuery.recordCount();
        reports::StrategyReport report(*l.m->dm, form.strategyQuery);
        report.printToPdf(pdf);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        pages += report.pageCount();
        form.strategyQuery.close();
    }
    QFile::remove(pdf);
    state.counters["strategies"] = rows;
    reportCounters(state, pages, seconds, before);
    state.counters["target_peak_rss_MB"] = 200;
}

// The "Deliverable Report" over a range of about 100,000 measurements.
void BM_DeliverableReport100k(benchmark::State& state) {
    Large& l = large();
    data::DataModule& dm = *l.m->dm;
    dm.user().settings.multipleMeasures = true;
    // The shortest range from the first of January that holds 100,000 measurements.
    const QDate start(QDate::currentDate().year(), 1, 1);
    auto count = [&](const QDate& end) {
        engine::Query q(dm.goalDatabase);
        q.add("Select Count(*) As N From \"Measure.db\" Where CompleationDate >= ", engine::sql::Date{start},
              " And CompleationDate <= ", engine::sql::Date{end});
        q.open();
        return q.field(QStringLiteral("N")).asInteger();
    };
    int lo = 0, hi = 3000;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (count(start.addDays(mid)) >= 100000)
            hi = mid;
        else
            lo = mid + 1;
    }
    const QDate end = start.addDays(lo);
    const long before = residentKb();
    const QString pdf = QDir::temp().filePath(QStringLiteral("vardimo-bench-deliverable.pdf"));
    int pages = 0, rows = 0;
    qint64 keys = 0;
    double seconds = 0;
    controls::Desktop desktop{reportDialogs};
    for (auto _ : state) {
        reports::ReportsWindow form(dm, desktop);
        form.reportType->setItemIndex(3);
        form.reportTypeClicked();
        form.startDatePicker->setDate(start);
        form.endDatePicker->setDate(end);
        const auto t0 = std::chrono::steady_clock::now();
        form.buildStrategyQuery();
        rows = form.strategyQuery.recordCount();
        keys = form.strategyQuery.sql().line(5).count(QLatin1Char(','));
        reports::StrategyReport report(dm, form.strategyQuery);
        report.printToPdf(pdf);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        pages += report.pageCount();
        form.strategyQuery.close();
    }
    QFile::remove(pdf);
    state.counters["measurements_in_range"] = double(keys);
    state.counters["strategies"] = rows;
    reportCounters(state, pages, seconds, before);
    state.counters["target_peak_rss_MB"] = 200;
}

} // namespace

BENCHMARK(BM_StrategyReport2000)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_ReportsAllGoals)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_DeliverableReport100k)->Unit(benchmark::kSecond)->Iterations(1);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    for (const auto& m : reportDialogs.messages)
        std::printf("Message shown: %s\n", qPrintable(m.text));
    std::printf("Peak resident memory of the run: %ld MB (target under 200 MB)\n", peakKb() / 1024);
    std::fflush(stdout);
    largeModule.reset();
    benchmark::Shutdown();
    return 0;
}

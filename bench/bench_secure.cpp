// The cost of the row policies where the server holds the logons and the rights: the goals screen
// and the strategy list opened on the large sample, on the plain server (shared role) and on a
// copy of it that the server secures (each user his own role), for an administrator who sees
// every strategy and a manager whose access list the policies consult. Prints the figures side by
// side with their ratio, and the server's own time for the strategy query under each.
//
// The secure copy is the database "vardimo_bench_secure", cloned from the plain sample's
// database on first use; its users' passwords are the sample's.

#include "BenchData.h"
#include "controls/Desktop.h"
#include "controls/ScriptedDialogs.h"
#include "engine/PgBackend.h"
#include "engine/PgRoles.h"
#include "planning/GoalsWindow.h"
#include "planning/StrategyListWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <map>
#include <vector>

namespace {

// The database a URI names replaced by another on the same server.
QString onDatabase(const QString& uri, const QString& name) {
    static const QRegularExpression path(QStringLiteral("^(postgres(?:ql)?://[^/?]*)(/[^?]*)?"));
    QString out = uri;
    out.replace(path, QStringLiteral("\\1/") + name);
    return out;
}

// The secure copy of the plain sample, made once: a clone of the database (the server copies
// its files), then secured as vardimo-admin secure does it.
QString secureSample(const QString& plain) {
    QString uri = onDatabase(plain, QStringLiteral("vardimo_bench_secure"));
    // The server's maintenance database, reached as the sample's URI reaches the server.
    static const QRegularExpression parts(
        QStringLiteral("^postgres(?:ql)?://([^@/]*)@[^/]*/[^?]*\\?host=(.*)$"));
    const auto m = parts.match(plain);
    const QString conn = QStringLiteral("vardimo-bench-secure");
    bool made = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conn);
        db.setUserName(m.captured(1));
        db.setHostName(m.captured(2));
        db.setDatabaseName(QStringLiteral("postgres"));
        if (m.hasMatch() && db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = 'vardimo_bench_secure'"));
            if (!q.next()) {
                std::printf("Making the secure copy of the large sample in vardimo_bench_secure (once)...\n");
                std::fflush(stdout);
                // The server copies the plain sample's files; nobody may be connected to it.
                made = q.exec(QStringLiteral("CREATE DATABASE vardimo_bench_secure TEMPLATE vardimo_bench"));
                if (!made) std::printf("Cannot copy the sample: %s\n", qPrintable(q.lastError().text()));
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(conn);
    if (made) tools::secureServerDatabase(uri);
    return uri;
}

struct Case {
    const char* user;
    const char* password;
};
const Case kCases[] = {{"JSMITH", "smith"}, {"MJONES", "jones"}};

// A logged-on module per store and user, kept for the run.
std::map<std::pair<bool, int>, std::unique_ptr<bench::Module>> modules;
QString plainUri, secureUri;

data::DataModule* moduleFor(benchmark::State& state, bool secure, int user) {
    auto& m = modules[{secure, user}];
    if (!m) {
        if (plainUri.isEmpty()) {
            state.SkipWithError("no PostgreSQL server (set VARDIMO_BENCH_PG or VARDIMO_TEST_PG)");
            return nullptr;
        }
        m = std::make_unique<bench::Module>(secure ? secureUri : plainUri);
        const bool on = secure ? data::logOnToServer(*m->dm, kCases[user].user, kCases[user].password)
                               : data::logOn(*m->dm, kCases[user].user, kCases[user].password, true);
        if (!on) {
            state.SkipWithError("the sample user cannot log on");
            return nullptr;
        }
    }
    return m->dm.get();
}

void BM_OpenGoalsScreen(benchmark::State& state, bool secure, int user) {
    data::DataModule* dm = moduleFor(state, secure, user);
    if (!dm) return;
    controls::ScriptedDialogs dialogs;
    controls::Desktop desktop{dialogs};
    for (auto _ : state) {
        dm->refreshLookupLists(); // what the program's desktop runs before each screen
        auto form = std::make_unique<planning::GoalsWindow>(*dm, desktop);
        form->show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(form.get());
        // Closed untimed, as a person closes it: every opening starts where the program's start.
        state.PauseTiming();
        form->reject();
        form.reset();
        state.ResumeTiming();
    }
    state.counters["goals"] = dm->goalsTable.recordCount();
}

void BM_OpenStrategyList(benchmark::State& state, bool secure, int user) {
    data::DataModule* dm = moduleFor(state, secure, user);
    if (!dm) return;
    int strategies = 0;
    controls::ScriptedDialogs dialogs;
    controls::Desktop desktop{dialogs};
    for (auto _ : state) {
        planning::StrategyListWindow form(*dm, desktop);
        strategies = dm->strategyTable.recordCount();
    }
    state.counters["strategies"] = strategies;
}

// The server's own time for counting every strategy a user may read, as his connection asks.
double storeCountMs(data::DataModule& dm, qint64* rows) {
    auto& pg = dynamic_cast<engine::PgBackend&>(dm.goalDatabase.backend());
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        QSqlQuery q = pg.exec(QStringLiteral("SELECT count(*) FROM strategys"));
        if (q.next()) *rows = q.value(0).toLongLong();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

BENCHMARK_CAPTURE(BM_OpenGoalsScreen, plain_JSMITH, false, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenGoalsScreen, secure_JSMITH, true, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenGoalsScreen, plain_MJONES, false, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenGoalsScreen, secure_MJONES, true, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenStrategyList, plain_JSMITH, false, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenStrategyList, secure_JSMITH, true, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenStrategyList, plain_MJONES, false, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenStrategyList, secure_MJONES, true, 1)->Unit(benchmark::kMillisecond);

// Keeps each run's time to print the secure-to-plain ratios at the end.
class Ratios : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (!r.error_occurred) ms[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
    std::map<std::string, double> ms;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    plainUri = bench::largeSampleServer();
    if (!plainUri.isEmpty()) secureUri = secureSample(plainUri);
    Ratios reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* screen : {"BM_OpenGoalsScreen", "BM_OpenStrategyList"})
        for (const Case& c : kCases) {
            const std::string plain = std::string(screen) + "/plain_" + c.user;
            const std::string secure = std::string(screen) + "/secure_" + c.user;
            if (reporter.ms.count(plain) && reporter.ms.count(secure))
                std::printf("%-20s %-7s plain %8.2f ms, secure %8.2f ms, ratio %.2f\n", screen, c.user,
                            reporter.ms[plain], reporter.ms[secure],
                            reporter.ms[secure] / reporter.ms[plain]);
        }
    // The store's own figure: the same count of strategies under the shared role and under each
    // user's policies.
    for (int user = 0; user < 2; ++user) {
        auto plain = modules.find({false, user});
        auto secure = modules.find({true, user});
        if (plain == modules.end() || secure == modules.end() || !plain->second || !secure->second) continue;
        qint64 plainRows = 0, secureRows = 0;
        const double p = storeCountMs(*plain->second->dm, &plainRows);
        const double s = storeCountMs(*secure->second->dm, &secureRows);
        std::printf(
            "SELECT count(*) FROM strategys as %-7s plain %8.2f ms (%lld rows), secure %8.2f ms (%lld rows), "
            "ratio %.2f\n",
            kCases[user].user, p, plainRows, s, secureRows, s / p);
    }
    std::fflush(stdout);
    modules.clear();
    benchmark::Shutdown();
    return 0;
}

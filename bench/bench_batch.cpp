// The batch edit of every strategy of the large sample (edit and post of each row in one batch
// scope, as conversions and imports do it), on the folder and on the server, beside the store
// doing the same change as one UPDATE in the same run.
//
// Every change to a strategy is kept as a version, by the store itself, whatever statement makes
// it. The store's own UPDATE on a connection of its own keeps none on a folder (the folder's
// history is written by triggers of the workstations' connections) but does on a server (its
// triggers are the server's). So two anchors are printed beside the batch:
//   one_update      the store's own statement on a connection of its own, as it always was;
//   same_work       one UPDATE on the batch's own connection, keeping the same versions;
// and, to tell the engine's cost from the history's, the batch and the UPDATE on that connection
// with the keeping of versions switched off. The measures alternate within each round, so that
// whatever else the machine does falls on all alike; every figure is the median of the rounds.
#include "BenchData.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "engine/Database.h"
#include "engine/Query.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

enum class Store { Folder, Server };

std::unique_ptr<bench::Module> folder, server;

bench::Module* moduleOf(Store store) {
    if (store == Store::Folder) {
        if (!folder) folder = std::make_unique<bench::Module>(bench::largeSampleFolder());
        return folder.get();
    }
    if (!server) {
        const QString uri = bench::largeSampleServer();
        if (uri.isEmpty()) return nullptr;
        server = std::make_unique<bench::Module>(uri);
    }
    return server.get();
}

double processCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Wall and CPU time of one run; false from the run: it failed.
struct Timing {
    double wallMs = -1, cpuMs = -1;
};
Timing timed(const std::function<bool()>& run) {
    const double cpu = processCpuMs();
    const auto start = std::chrono::steady_clock::now();
    if (!run()) return {};
    return {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
            processCpuMs() - cpu};
}

double median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Each measure flips every strategy's DoNotPrint once; the flips of a round are counted so that
// the sample, shared with the report benchmarks, is left as it was.
const char* const kFlip = "UPDATE strategys SET DoNotPrint = 1 - DoNotPrint";

// The store's own UPDATE on a connection of its own.
bool storeUpdate(Store store, data::DataModule& dm) {
    if (store == Store::Folder) {
        const QByteArray file =
            engine::Database::findFile(bench::largeSampleFolder(), QStringLiteral("Strategys.db"))
                .toLocal8Bit();
        sqlite3* db = nullptr;
        bool ok = sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
        ok = ok && sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr) == SQLITE_OK;
        ok = ok && sqlite3_exec(db, kFlip, nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        return ok;
    }
    const QString conn = QStringLiteral("vardimo-bench-anchor");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::cloneDatabase(dm.goalDatabase.connection(), conn);
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(QString::fromLatin1(kFlip));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(conn);
    return ok;
}

// One UPDATE on the batch's own connection, through the engine's query (its own transaction).
bool engineUpdate(data::DataModule& dm) {
    engine::Query q(dm.goalDatabase);
    q.add("Update \"Strategys.db\" Set DoNotPrint = 1 - DoNotPrint");
    q.execSql();
    return true;
}

// Edit and post of every strategy in one batch scope.
bool batchEdit(data::DataModule& dm, int& rows) {
    engine::Table& t = dm.strategyTable;
    engine::BatchScope batch(dm.goalDatabase);
    rows = 0;
    for (t.first(); !t.eof(); t.next(), ++rows) {
        t.edit();
        t.field(QStringLiteral("DoNotPrint")).setValue(!t.field(QStringLiteral("DoNotPrint")).asBoolean());
        t.post();
    }
    batch.commit();
    return true;
}

void BM_BatchEditAllStrategies(benchmark::State& state, Store store) {
    bench::Module* m = moduleOf(store);
    if (!m) {
        state.SkipWithError("no PostgreSQL server (set VARDIMO_BENCH_PG or VARDIMO_TEST_PG)");
        return;
    }
    data::DataModule& dm = *m->dm;
    data::logOn(dm, QStringLiteral("JSMITH"), QStringLiteral("smith"), true);
    engine::Table& t = dm.strategyTable;
    t.setFiltered(false);
    const int rounds = qEnvironmentVariableIsSet("VARDIMO_BENCH_ROUNDS")
                           ? qEnvironmentVariableIntValue("VARDIMO_BENCH_ROUNDS")
                       : store == Store::Folder ? 5
                                                : 3;
    const char* name = store == Store::Folder ? "folder" : "server";
    std::map<std::string, std::vector<double>> wall, cpu;
    int rows = 0, flips = 0;
    // VARDIMO_BENCH_ONLY names the measures to run (for a profile of one of them).
    const QStringList only =
        qEnvironmentVariable("VARDIMO_BENCH_ONLY").split(QLatin1Char(','), Qt::SkipEmptyParts);
    const auto measure = [&](const std::string& what, bool keep, const std::function<bool()>& run) {
        if (!only.isEmpty() && !only.contains(QString::fromStdString(what))) return true;
        dm.goalDatabase.keepHistory(keep);
        const Timing tm = timed(run);
        dm.goalDatabase.keepHistory(true);
        if (tm.wallMs < 0) {
            state.SkipWithError((what + " failed").c_str());
            return false;
        }
        ++flips;
        wall[what].push_back(tm.wallMs);
        cpu[what].push_back(tm.cpuMs);
        std::printf("  %s %-22s %9.0f ms wall %9.0f ms CPU\n", name, what.c_str(), tm.wallMs, tm.cpuMs);
        std::fflush(stdout);
        return true;
    };
    for (auto _ : state) {
        for (int round = 0; round < rounds; ++round) {
            std::printf("%s round %d\n", name, round + 1);
            if (!measure("one_update", true, [&] { return storeUpdate(store, dm); }) ||
                !measure("batch", true, [&] { return batchEdit(dm, rows); }) ||
                !measure("same_work", true, [&] { return engineUpdate(dm); }) ||
                !measure("batch_no_history", false, [&] { return batchEdit(dm, rows); }) ||
                !measure("update_no_history", false, [&] { return engineUpdate(dm); }))
                return;
        }
    }
    // An odd number of flips is undone, untimed and without versions.
    if (flips % 2 != 0) {
        dm.goalDatabase.keepHistory(false);
        engineUpdate(dm);
        dm.goalDatabase.keepHistory(true);
    }
    t.refresh();

    state.counters["rows"] = rows;
    state.counters["rounds"] = rounds;
    const auto put = [&](const char* counter, double v) {
        if (v > 0) state.counters[counter] = v;
    };
    const double batch = median(wall["batch"]), oneUpdate = median(wall["one_update"]),
                 sameWork = median(wall["same_work"]);
    const double bare = median(wall["batch_no_history"]), bareUpdate = median(wall["update_no_history"]);
    put("batch_ms", batch);
    put("one_update_ms", oneUpdate);
    put("same_work_ms", sameWork);
    put("x_one_update", batch / oneUpdate);
    put("x_same_work", batch / sameWork);
    put("no_history_batch_ms", bare);
    put("no_history_update_ms", bareUpdate);
    put("no_history_x", bare / bareUpdate);
    // A folder's work is all in this process, where its CPU time is steadier than its wall time
    // on a loaded machine; a server's is mostly the server's.
    if (store == Store::Folder) {
        put("cpu_batch_ms", median(cpu["batch"]));
        put("cpu_x_one_update", median(cpu["batch"]) / median(cpu["one_update"]));
        put("cpu_x_same_work", median(cpu["batch"]) / median(cpu["same_work"]));
        put("cpu_no_history_x", median(cpu["batch_no_history"]) / median(cpu["update_no_history"]));
    }
    state.counters["target_x"] = store == Store::Folder ? 3 : 5;
    std::printf("%s: batch %.0f ms = %.1fx one UPDATE (%.0f ms), %.1fx the same UPDATE keeping the same "
                "versions (%.0f ms); without versions %.0f ms = %.1fx (%.0f ms); target %dx\n",
                name, batch, batch / oneUpdate, oneUpdate, batch / sameWork, sameWork, bare,
                bare / bareUpdate, bareUpdate, store == Store::Folder ? 3 : 5);
    std::fflush(stdout);
}

} // namespace

BENCHMARK_CAPTURE(BM_BatchEditAllStrategies, folder, Store::Folder)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_BatchEditAllStrategies, server, Store::Server)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    server.reset();
    folder.reset();
    benchmark::Shutdown();
    return 0;
}

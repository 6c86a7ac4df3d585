// What keeping history costs a single save: a post, then a move to the next row, on the
// unfiltered strategy table of the large sample, with versions kept and without, interleaved in
// the same run, beside SQLite's own durable one-row commit; and what the versions add to the
// table's file. The same on a server when one is named.
#include "BenchData.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "engine/Database.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <memory>
#include <sqlite3.h>

namespace {

std::unique_ptr<bench::Module> module;

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// One durable commit of a one-row UPDATE, run by SQLite itself on the table's file; the time of
// one, over `rows` commits that leave the rows as they were.
double storeOneRowCommitMs(int firstKey, int rows) {
    const QByteArray file =
        engine::Database::findFile(bench::largeSampleFolder(), QStringLiteral("Strategys.db")).toLocal8Bit();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return -1;
    sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "UPDATE strategys SET Compleated = 1 - Compleated WHERE StrategyID = ?", -1, &st,
                       nullptr);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 2 * rows; ++i) {
        sqlite3_bind_int(st, 1, firstKey + i % rows);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    const double ms = msSince(start) / (2 * rows);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return ms;
}

struct Figures {
    double withMs = 0, withoutMs = 0;
    int kept = 0;
};

// Saves of one field, each followed by a move to the next row, on the unfiltered strategy table,
// with versions kept and without by turns from one save to the next, so that whatever else the
// machine does falls on both alike; every row is toggled an even number of times (as often with
// versions as without) and ends as it was.
Figures postThenMove(data::DataModule& dm, int start) {
    engine::Table& t = dm.strategyTable;
    constexpr int kRows = 100, kRounds = 10;
    Figures f;
    for (int round = 0; round < kRounds; ++round) {
        t.moveTo(start);
        for (int i = 0; i < kRows; ++i) {
            const bool keep = (i + round) % 2 == 0;
            dm.goalDatabase.keepHistory(keep);
            const auto begin = std::chrono::steady_clock::now();
            t.edit();
            t.field(QStringLiteral("Compleated"))
                .setValue(!t.field(QStringLiteral("Compleated")).asBoolean());
            t.post();
            t.next();
            if (t.eof()) t.first();
            (keep ? f.withMs : f.withoutMs) += msSince(begin);
            if (keep) ++f.kept;
        }
    }
    dm.goalDatabase.keepHistory(true);
    return f;
}

void BM_PostThenMoveWithAndWithoutHistory(benchmark::State& state) {
    data::DataModule& dm = *module->dm;
    engine::Table& t = dm.strategyTable;
    t.setFiltered(false);
    const int start = t.recordCount() / 2;
    const qint64 sizeBefore = dm.goalDatabase.tableSize(QStringLiteral("Strategys.db"));
    Figures f;
    while (state.KeepRunning())
        f = postThenMove(dm, start);
    const qint64 growth = dm.goalDatabase.tableSize(QStringLiteral("Strategys.db")) - sizeBefore;
    t.moveTo(start);
    const int firstKey = int(t.field(QStringLiteral("StrategyID")).asInteger());
    const double with = f.withMs / f.kept, without = f.withoutMs / f.kept; // as many posts each
    const double store = storeOneRowCommitMs(firstKey, 100);
    state.counters["with_history_ms"] = with;
    state.counters["without_history_ms"] = without;
    state.counters["ratio"] = with / without;
    state.counters["target_ratio"] = 1.10;
    state.counters["sqlite_commit_ms"] = store;
    state.counters["bytes_per_version"] = double(growth) / f.kept;
    std::printf("post then move: %.3f ms with history, %.3f ms without, ratio %.3f (target at most 1.10); "
                "SQLite's own durable one-row commit %.3f ms (with history %.2fx of it)\n"
                "Strategys.db grew by %lld bytes for %d kept versions (%.0f bytes each)\n",
                with, without, with / without, store, with / store, static_cast<long long>(growth), f.kept,
                double(growth) / f.kept);
}

BENCHMARK(BM_PostThenMoveWithAndWithoutHistory)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same on the large sample on a server (VARDIMO_BENCH_PG or VARDIMO_TEST_PG), when one is named.
void BM_PostThenMoveOnServer(benchmark::State& state) {
    const QString uri = bench::largeSampleServer();
    if (uri.isEmpty()) {
        state.SkipWithError("no PostgreSQL server");
        return;
    }
    bench::Module server(uri);
    data::DataModule& dm = *server.dm;
    data::logOn(dm, QStringLiteral("JSMITH"), QStringLiteral("smith"), true);
    engine::Table& t = dm.strategyTable;
    t.setFiltered(false);
    Figures f;
    while (state.KeepRunning())
        f = postThenMove(dm, t.recordCount() / 2);
    const double with = f.withMs / f.kept, without = f.withoutMs / f.kept;
    state.counters["with_history_ms"] = with;
    state.counters["without_history_ms"] = without;
    state.counters["ratio"] = with / without;
    std::printf("on the server: %.3f ms with history, %.3f ms without, ratio %.3f\n", with, without,
                with / without);
    server.dm.reset();
}

BENCHMARK(BM_PostThenMoveOnServer)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    module = std::make_unique<bench::Module>(bench::largeSampleFolder());
    // The changes are made as a person would make them: his versions name him.
    data::logOn(*module->dm, QStringLiteral("JSMITH"), QStringLiteral("smith"), true);
    benchmark::RunSpecifiedBenchmarks();
    module.reset();
    benchmark::Shutdown();
    return 0;
}

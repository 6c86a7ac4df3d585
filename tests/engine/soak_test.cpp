// Several workstations writing at once while they are killed at random moments, on each store:
// every write a workstation reported as saved is there, whole, and nothing is left half-written.
//
// VARDIMO_SOAK_SECONDS sets how long each store is soaked (default 60), VARDIMO_TEST_SEED
// repeats a run's random choices.

#include "engine/Database.h"
#include "engine/Error.h"
#include "support/Peer.h"
#include "support/Seed.h"
#include "support/Stores.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHash>
#include <QSet>
#include <QThread>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <vector>

using namespace engine;
using testing_support::Peer;
using testing_support::Store;

namespace {

// What the workstations said about one goal.
struct Goal {
    QList<qint64> strategies;
    QList<qint64> measures;
    bool deleting = false; // a delete began: the goal may be there (whole) or gone (whole)
    bool deleted = false;  // the delete was reported as saved
};

class Soak : public ::testing::TestWithParam<Store> {
protected:
    void SetUp() override {
        store.make(GetParam());
        session.setUserName("checker");
        session.setNetDir(QCoreApplication::applicationDirPath());
    }

    // Takes in what a workstation wrote; false on a line that makes no sense.
    void read(const QStringList& lines) {
        for (const QString& line : lines) {
            const QStringList w = line.split(' ', Qt::SkipEmptyParts);
            if (w.value(0) == "saved" && w.size() == 4) {
                Goal& g = goals[w[1].toLongLong()];
                for (const QString& s : w[2].split(',', Qt::SkipEmptyParts))
                    g.strategies << s.toLongLong();
                if (w[3] != "-")
                    for (const QString& m : w[3].split(',', Qt::SkipEmptyParts))
                        g.measures << m.toLongLong();
                ++saves;
            } else if (w.value(0) == "deleting" && w.size() == 2) {
                goals[w[1].toLongLong()].deleting = true;
            } else if (w.value(0) == "deleted" && w.size() == 2) {
                goals[w[1].toLongLong()].deleted = true;
                ++deletes;
            } else if (w.value(0) == "failed") {
                ++failures;
                EXPECT_GT(line.size(), 10) << "a failure says what failed";
                EXPECT_FALSE(line.contains("malformed") || line.contains("damaged")) << line.toStdString();
            } else if (w.value(0) != "ok") {
                ADD_FAILURE() << "unexpected answer: " << line.toStdString();
            }
        }
    }

    QSet<qint64> keys(const QString& file, const QString& keyColumn, const QString& where = {},
                      const QVariantList& binds = {}) {
        const TableDef* t = findTable(file);
        db.attach(*t);
        const Backend& b = db.backend();
        QSqlQuery q =
            db.exec(QString("SELECT %1 FROM %2 %3").arg(b.columnName(keyColumn), b.tableName(*t), where),
                    binds, t->fileName);
        QSet<qint64> out;
        while (q.next())
            out.insert(q.value(0).toLongLong());
        return out;
    }

    testing_support::TestStore store;
    Session session;
    Database db{session};
    QHash<qint64, Goal> goals;
    int saves = 0, deletes = 0, failures = 0;
};
VARDIMO_ON_BOTH_STORES(Soak);

TEST_P(Soak, KilledWorkstationsLoseNothingReportedAsSavedAndLeaveNoOrphans) {
    const quint32 seed = testing_support::testSeed();
    QRandomGenerator rng(seed);
    bool set = false;
    const int seconds = qEnvironmentVariableIntValue("VARDIMO_SOAK_SECONDS", &set);
    const QDeadlineTimer end(qint64(set && seconds > 0 ? seconds : 60) * 1000);
    constexpr int kWorkstations = 4;

    std::vector<std::unique_ptr<Peer>> peers(kWorkstations);
    int started = 0, kills = 0;
    auto start = [&](size_t i) {
        peers[i] = std::make_unique<Peer>(store.location(), QString("ws%1").arg(++started));
        ASSERT_EQ(peers[i]->send(QString("soak %1").arg(rng.generate())), "ok soaking");
    };
    for (size_t i = 0; i < peers.size(); ++i)
        start(i);
    while (!end.hasExpired() && !HasFatalFailure()) {
        QThread::msleep(100 + rng.bounded(900));
        for (auto& p : peers)
            read(p->lines());
        const size_t victim = rng.bounded(quint32(peers.size()));
        peers[victim]->kill();
        ++kills;
        read(peers[victim]->lines());
        start(victim);
    }
    for (auto& p : peers) {
        p->kill();
        read(p->lines());
    }
    std::cout << "soak: " << started << " workstations, " << kills << " killed, " << saves << " saves, "
              << deletes << " deletes, " << failures << " failed writes" << std::endl;
    EXPECT_GT(saves, 0) << "the workstations wrote nothing";

    db.open(store.location());
    const QSet<qint64> goalKeys = keys("goals.db", "GoalID");
    const QSet<qint64> strategyKeys = keys("Strategys.db", "StrategyID");
    const QSet<qint64> measureKeys = keys("Measure.db", "MeasurementID");
    for (auto it = goals.begin(); it != goals.end(); ++it) {
        const qint64 goal = it.key();
        const Goal& g = it.value();
        if (g.strategies.isEmpty()) continue; // its save was never reported
        const bool there = goalKeys.contains(goal);
        if (g.deleted) {
            EXPECT_FALSE(there) << "goal " << goal << " was reported deleted";
        } else if (!g.deleting) {
            EXPECT_TRUE(there) << "goal " << goal << " was reported saved";
        }
        // Whole or not at all, whatever became of it.
        for (qint64 s : g.strategies)
            EXPECT_EQ(strategyKeys.contains(s), there) << "strategy " << s << " of goal " << goal;
        for (qint64 m : g.measures)
            EXPECT_EQ(measureKeys.contains(m), there) << "measurement " << m << " of goal " << goal;
    }
    const Backend& b = db.backend();
    const TableDef& goalDef = *findTable("goals.db");
    const TableDef& strategyDef = *findTable("Strategys.db");
    EXPECT_TRUE(
        keys("Strategys.db", "StrategyID",
             QString("WHERE %1 NOT IN (SELECT %1 FROM %2)").arg(b.columnName("GoalID"), b.tableName(goalDef)))
            .isEmpty())
        << "strategies without their goal";
    EXPECT_TRUE(keys("Measure.db", "MeasurementID",
                     QString("WHERE %1 NOT IN (SELECT %1 FROM %2)")
                         .arg(b.columnName("StrategyID"), b.tableName(strategyDef)))
                    .isEmpty())
        << "measurement items without their strategy";
    if (!store.onServer()) {
        for (const auto& def : tables()) {
            db.attach(def);
            QSqlQuery q = db.exec(QString("PRAGMA \"%1\".integrity_check").arg(def.schemaName));
            ASSERT_TRUE(q.next());
            EXPECT_EQ(q.value(0).toString(), "ok") << def.fileName.toStdString();
        }
    }
}

} // namespace

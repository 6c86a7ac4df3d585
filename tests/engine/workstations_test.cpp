// Two workstations on one database folder, as real processes.

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "support/Peer.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QThread>
#include <gtest/gtest.h>

using namespace engine;
using testing_support::Peer;

class Workstations : public ::testing::Test {
protected:
    void SetUp() override {
        Database::create(dir.path());
        session.setUserName("here");
        session.setNetDir(QCoreApplication::applicationDirPath());
        db.open(dir.path());
    }
    testing_support::TempDir dir;
    Session session;
    Database db{session};
};

TEST_F(Workstations, UserListShowsLiveSessionsOnly) {
    auto peer = std::make_unique<Peer>(dir.path(), "otherstation");
    EXPECT_TRUE(session.users().contains("otherstation"));
    EXPECT_TRUE(session.users().contains("here"));
    const QString seen = peer->send("users");
    EXPECT_TRUE(seen.contains("here")) << seen.toStdString();
    peer->kill();
    EXPECT_FALSE(session.users().contains("otherstation")) << "a killed workstation drops out by itself";
    EXPECT_TRUE(session.users().contains("here"));
}

TEST_F(Workstations, ExclusiveOpenWaitsForTheOtherToClose) {
    Peer peer(dir.path());
    ASSERT_EQ(peer.send("open Security.db"), "ok");
    Table t(db, "Security.db");
    t.setExclusive(true);
    try {
        t.open();
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains("Security.db")) << e.message().toStdString();
    }
    EXPECT_FALSE(t.isOpen());
    ASSERT_EQ(peer.send("close Security.db"), "ok");
    EXPECT_NO_THROW(t.open());
    EXPECT_TRUE(peer.send("open Security.db").startsWith("error")) << "and the other way round";
    t.close();
    EXPECT_EQ(peer.send("open Security.db"), "ok");
}

TEST_F(Workstations, RecordLocksProtectAPendingEdit) {
    Table t(db, "Department.db");
    t.open();
    for (const char* name : {"Sales", "Finance"}) {
        t.insert();
        t.field("Description").setValue(name);
        t.post();
    }
    Peer peer(dir.path());
    ASSERT_EQ(peer.send("edit Department.db DepartmentID 1 Description Theirs"), "ok");
    t.first();
    ASSERT_EQ(t.field("DepartmentID").asInteger(), 1);
    try {
        t.edit();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Record locked by another user.");
    }
    EXPECT_THROW(t.remove(), Error);
    // Another row is free.
    t.next();
    t.edit();
    t.field("Description").setValue("Mine");
    // The other workstation's change stays pending on its side and lands when it posts.
    ASSERT_EQ(peer.send("post Department.db"), "ok");
    t.post();
    t.refresh();
    t.first();
    EXPECT_EQ(t.field("Description").asString(), "Theirs");
    t.next();
    EXPECT_EQ(t.field("Description").asString(), "Mine");

    // Editing a row the other holds fails, and my pending insert elsewhere is kept.
    Table types(db, "GoalType.db");
    types.open();
    types.insert();
    types.field("TypeDescription").setValue("Pending");
    ASSERT_EQ(peer.send("edit Department.db DepartmentID 2 Description Late"), "ok");
    EXPECT_THROW(t.edit(), Error); // row 2 is current
    EXPECT_EQ(t.state(), DataSet::State::Browse);
    EXPECT_EQ(types.state(), DataSet::State::Insert);
    EXPECT_EQ(types.field("TypeDescription").asString(), "Pending");
    types.post();
    ASSERT_EQ(peer.send("cancel Department.db"), "ok");
    EXPECT_NO_THROW(t.edit());
}

TEST_F(Workstations, InsertsFromBothGetDistinctKeys) {
    Peer peer(dir.path());
    Table t(db, "goals.db");
    t.open();
    QSet<qint64> keys;
    for (int i = 0; i < 20; ++i) {
        const QString a = peer.send(QString("insert goals.db GoalDescription theirs %1").arg(i));
        ASSERT_TRUE(a.startsWith("ok ")) << a.toStdString();
        keys.insert(a.mid(3).toLongLong());
        t.insert();
        t.field("GoalDescription").setValue(QString("mine %1").arg(i));
        t.post();
        keys.insert(t.field("GoalID").asInteger());
    }
    EXPECT_EQ(keys.size(), 40);
    t.refresh();
    EXPECT_EQ(t.recordCount(), 40);
}

TEST_F(Workstations, AKilledPostLeavesEveryFileIntact) {
    Table t(db, "Strategys.db");
    t.open();
    for (int i = 0; i < 50; ++i) {
        t.insert();
        t.field("StrategyDescription").setValue("old");
        t.field("GoalID").setValue(1);
        t.post();
    }
    t.close();
    {
        Peer peer(dir.path());
        ASSERT_EQ(peer.send("hold Strategys.db StrategyDescription new"), "ok holding");
        peer.kill();
    }
    // Killed at random moments while posting row after row.
    for (int round = 0; round < 5; ++round) {
        Peer peer(dir.path());
        ASSERT_EQ(peer.send("open Strategys.db"), "ok");
        ASSERT_EQ(peer.send("churn Strategys.db StrategyDescription"), "ok churning");
        QThread::msleep(50 + QRandomGenerator::global()->bounded(200));
        peer.kill();
    }
    Query check(db);
    check.add("Select * From \"Strategys.db\"");
    check.open();
    EXPECT_EQ(check.recordCount(), 50);
    for (check.first(); !check.eof(); check.next()) {
        const QString s = check.field("StrategyDescription").asString();
        EXPECT_TRUE(s == "old" || s.startsWith("churn ")) << s.toStdString();
    }
    for (const auto& def : tables()) {
        db.attach(def);
        QSqlQuery q = db.exec(QString("PRAGMA \"%1\".integrity_check").arg(def.schemaName));
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toString(), "ok") << def.fileName.toStdString();
    }
    t.open();
    t.first();
    t.edit();
    t.field("StrategyDescription").setValue("after");
    EXPECT_NO_THROW(t.post()) << "the killed workstation's locks died with it";
}

// Two workstations on one database folder, as real processes.

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "support/Eventually.h"
#include "support/Peer.h"
#include "support/Seed.h"
#include "support/Stores.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace engine;
using testing_support::Peer;
using testing_support::Store;

// On either store; `where` is what the other workstation opens.
class Workstations : public ::testing::TestWithParam<Store> {
protected:
    void SetUp() override {
        store.make(storeOf());
        session.setUserName("here");
        session.setNetDir(QCoreApplication::applicationDirPath());
        db.open(store.location());
        where = store.location();
    }
    virtual Store storeOf() const { return GetParam(); }
    testing_support::TestStore store;
    const testing_support::TempDir& dir = store.dir();
    QString where;
    Session session;
    Database db{session};
};
VARDIMO_ON_BOTH_STORES(Workstations);

// What only a folder shared between workstations has: its files, its control folder, the
// accounts that reach it.
class FolderWorkstations : public Workstations {
    Store storeOf() const override { return Store::Folder; }
};

TEST_P(Workstations, UserListShowsLiveSessionsOnly) {
    auto peer = std::make_unique<Peer>(where, "otherstation");
    EXPECT_TRUE(db.sessions().contains("otherstation"));
    EXPECT_TRUE(db.sessions().contains("here"));
    const QString seen = peer->send("users");
    EXPECT_TRUE(seen.contains("here")) << seen.toStdString();
    peer->kill();
    // A server notices the closed connection on its own time.
    EXPECT_TRUE(testing_support::eventually([&] { return !db.sessions().contains("otherstation"); }))
        << "a killed workstation drops out by itself";
    EXPECT_TRUE(db.sessions().contains("here"));
}

TEST_P(Workstations, UserListNamesOnlyTheSessionsOfThisDatabase) {
    // Every workstation here runs the program from one folder, but works in another database.
    testing_support::TestStore elsewhere;
    elsewhere.make(GetParam());
    Peer other(elsewhere.location(), "otherdatabase");
    Peer same(where, "samedatabase");
    EXPECT_EQ(other.send("open goals.db"), "ok");
    const QStringList mine = db.sessions();
    EXPECT_TRUE(mine.contains("here") && mine.contains("samedatabase")) << mine.join(',').toStdString();
    EXPECT_FALSE(mine.contains("otherdatabase")) << mine.join(',').toStdString();
    EXPECT_EQ(other.send("users"), "ok otherdatabase");

    // A program folder nobody may write to changes nothing.
    testing_support::TempDir program;
    QFile::setPermissions(program.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    Session readOnly;
    readOnly.setUserName("fromreadonly");
    readOnly.setNetDir(program.path());
    {
        Database third(readOnly);
        third.open(where);
        EXPECT_TRUE(db.sessions().contains("fromreadonly"));
        EXPECT_TRUE(third.sessions().contains("here"));
        EXPECT_TRUE(QDir(program.path()).isEmpty());
    }
    // A server notices the closed connection on its own time.
    EXPECT_TRUE(testing_support::eventually([&] { return !db.sessions().contains("fromreadonly"); }))
        << "closing the database ends its entry";
    QFile::setPermissions(program.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_P(Workstations, ExclusiveOpenWaitsForTheOtherToClose) {
    Peer peer(where);
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

TEST_P(Workstations, RecordLocksProtectAPendingEdit) {
    Table t(db, "Department.db");
    t.open();
    for (const char* name : {"Sales", "Finance"}) {
        t.insert();
        t.field("Description").setValue(name);
        t.post();
    }
    Peer peer(where);
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

TEST_P(Workstations, InsertsFromBothGetDistinctKeys) {
    Peer peer(where);
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

TEST_F(FolderWorkstations, AKilledPostLeavesEveryFileIntact) {
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
    QRandomGenerator rng(testing_support::testSeed());
    for (int round = 0; round < 5; ++round) {
        Peer peer(dir.path());
        ASSERT_EQ(peer.send("open Strategys.db"), "ok");
        ASSERT_EQ(peer.send("churn Strategys.db StrategyDescription"), "ok churning");
        QThread::msleep(50 + rng.bounded(200));
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

namespace {
QStringList superJournals(const QString& folder) {
    return QDir(Database::controlFolder(folder)).entryList({"*-mj*"}, QDir::Files | QDir::Hidden);
}
} // namespace

TEST_F(FolderWorkstations, ACommitKilledHalfWayIsRolledBackByAnotherWorkstation) {
    // Two files in one commit: a goal's strategies and their measurements.
    {
        Table s(db, "Strategys.db"), m(db, "Measure.db");
        s.open();
        m.open();
        BatchScope batch(db);
        for (int i = 0; i < 300; ++i) {
            s.insert();
            s.field("StrategyDescription").setValue(QString("old %1").arg(QString(200, 's')));
            s.post();
            m.insert();
            m.field("Measurement").setValue(QString("old %1").arg(QString(200, 'm')));
            m.post();
        }
        batch.commit();
    }
    db.close();
    testing_support::TempDir writerTemp, otherTemp;
    testing_support::PeerOptions writer;
    writer.environment = {"TMPDIR=" + writerTemp.path(), "VARDIMO_PEER_CRASH_AFTER=1"};
    {
        Peer peer(dir.path(), writer);
        EXPECT_EQ(peer.send("update2 Strategys.db StrategyDescription Measure.db Measurement new"),
                  "error no answer")
            << "the writer dies in the middle of its commit";
        peer.kill();
    }
    ASSERT_FALSE(superJournals(dir.path()).isEmpty()) << "the commit had reached its super-journal";

    // Another workstation, which cannot see the writer's temp folder, finds it in the shared folder.
    testing_support::PeerOptions other;
    other.environment = {"TMPDIR=" + otherTemp.path()};
    Peer peer(dir.path(), other);
    const QString integrity = peer.send("integrity");
    EXPECT_FALSE(integrity.contains("malformed")) << integrity.toStdString();
    for (const auto& def : tables())
        EXPECT_TRUE(integrity.contains(def.fileName + "=ok")) << integrity.toStdString();
    const QString s = peer.send("values Strategys.db StrategyDescription");
    const QString m = peer.send("values Measure.db Measurement");
    EXPECT_EQ(s, "ok old " + QString(200, 's')) << "old or new, and both files alike";
    EXPECT_EQ(m, "ok old " + QString(200, 'm'));
    // What the killed connection left is cleaned up by the next start.
    EXPECT_TRUE(superJournals(dir.path()).isEmpty());
    const QStringList left =
        QDir(Database::controlFolder(dir.path())).entryList({"conn-*"}, QDir::Files | QDir::Hidden);
    EXPECT_LE(left.size(), 2) << left.join(' ').toStdString() << ": only the live peer's own files";
}

TEST_F(FolderWorkstations, APostLocksOnlyTheTableItWrites) {
    Table goals(db, "goals.db"), types(db, "GoalType.db");
    goals.open();
    types.open();
    Peer peer(dir.path());
    ASSERT_EQ(peer.send("insert goals.db GoalDescription theirs"), "ok 1");
    ASSERT_EQ(peer.send("hold goals.db GoalDescription pending"), "ok holding");
    // Another table is free at once, although this connection has goals.db attached too.
    types.insert();
    types.field("TypeDescription").setValue("Quality");
    EXPECT_NO_THROW(types.post());
    // The held table waits for the busy time, then says which table is busy; the edit stays.
    goals.insert();
    goals.field("GoalDescription").setValue("mine");
    try {
        goals.post();
        FAIL() << "posted through another workstation's write";
    } catch (const Error& e) {
        EXPECT_TRUE(e.busy());
        EXPECT_TRUE(e.message().contains("goals.db")) << e.message().toStdString();
    }
    EXPECT_EQ(goals.state(), DataSet::State::Insert);
    peer.kill();
    EXPECT_NO_THROW(goals.post());

    // A writer that finishes within the busy time is waited for.
    Peer second(dir.path());
    ASSERT_EQ(second.send("holdfor 700 goals.db GoalDescription theirs again"), "ok holding");
    goals.edit();
    goals.field("GoalDescription").setValue("mine again");
    EXPECT_NO_THROW(goals.post());
    EXPECT_EQ(second.send("ping"), "ok committed");

    // A batch that has read the table and then meets another writer is not refused: it waits
    // until that writer, which cannot commit past the batch's read, gives way.
    Peer third(dir.path());
    BatchScope batch(db);
    goals.first();
    ASSERT_EQ(third.send("holdfor 300 goals.db GoalDescription theirs once more"), "ok holding");
    goals.edit();
    goals.field("GoalDescription").setValue("mine in a batch");
    EXPECT_NO_THROW(goals.post());
    EXPECT_NO_THROW(batch.commit());
    EXPECT_TRUE(third.send("ping").startsWith("error")) << "the other writer was told its change failed";
    goals.refresh();
    EXPECT_TRUE(goals.locate("GoalDescription", "mine in a batch"));
}

namespace {
// A waiter as the program's note is one, recording what it was told.
struct RecordingWait : BusyWait {
    std::function<bool(qint64)> answer;
    QStringList told;
    qint64 longest = 0;
    int ends = 0;
    bool waiting(const QString& table, const QString& holder, qint64 waitedMs) override {
        if (!told.contains(table + " / " + holder)) told << table + " / " + holder;
        longest = std::max(longest, waitedMs);
        return answer(waitedMs);
    }
    void ended() override { ++ends; }
};
} // namespace

TEST_F(FolderWorkstations, AReadWaitsForABusyTableAsLongAsItsWaiterSays) {
    Table goals(db, "goals.db");
    goals.open();
    goals.insert();
    goals.field("GoalDescription").setValue("there");
    goals.post();
    goals.close();
    RecordingWait wait;
    db.setBusyWait(&wait);
    Peer writer(dir.path(), "WRITER");

    // The writer keeps the table until the waiter, well past the busy time, lets it go.
    ASSERT_EQ(writer.send("block goals.db"), "ok blocking");
    QString released;
    wait.answer = [&](qint64 waited) {
        if (waited >= 6000 && released.isEmpty()) released = writer.send("release");
        return true;
    };
    Query read(db);
    read.add("Select * From \"goals.db\"");
    EXPECT_NO_THROW(read.open()) << "a plain read does not fail after the busy time";
    EXPECT_EQ(read.recordCount(), 1);
    EXPECT_EQ(released, "ok released");
    EXPECT_EQ(wait.told, QStringList{"goals.db / WRITER"}) << "the table and who holds it";
    EXPECT_EQ(wait.ends, 1);
    read.close();

    // Cancel gives up with the locked message, and the next read goes on as usual.
    ASSERT_EQ(writer.send("block goals.db"), "ok blocking");
    wait.answer = [](qint64) { return false; };
    try {
        read.open();
        ADD_FAILURE() << "read through another workstation's write";
    } catch (const Error& e) {
        EXPECT_TRUE(e.busy());
        EXPECT_EQ(e.message(), Error::lockedText("goals.db"));
    }
    EXPECT_EQ(wait.ends, 2);
    EXPECT_EQ(writer.send("release"), "ok released");
    read.open();
    EXPECT_EQ(read.recordCount(), 1);
    EXPECT_EQ(wait.ends, 2) << "a read that never waited tells nobody";

    // Inside a transaction the busy time stays: waiting there could hold up a writer for ever.
    ASSERT_EQ(writer.send("block goals.db"), "ok blocking");
    wait.answer = [](qint64) { return true; };
    {
        Transaction tx(db);
        Query inside(db);
        inside.add("Select * From \"goals.db\"");
        EXPECT_THROW(inside.open(), Error);
    }
    EXPECT_EQ(wait.ends, 2);
    EXPECT_EQ(writer.send("release"), "ok released");
    db.setBusyWait(nullptr);
}

TEST_F(FolderWorkstations, ASecondAccountOpensTheDatabaseOfTheFirst) {
    QString why;
    if (!Peer::canSwitchUser(&why)) GTEST_SKIP() << why.toStdString();
    // A shared folder: made by one person (umask 022), the tables opened up for the others
    // afterwards, and one lock file missing as in a database from before lock files came
    // with the tables.
    testing_support::TempDir shared;
    QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7777));
    const QString folder = shared.file("db");
    QDir().mkdir(folder);
    QFile::setPermissions(folder, QFileDevice::Permissions(0x7777));
    Database::create(folder);
    const auto rw = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                    QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
    for (const auto& def : tables())
        if (def.schemaName != "settings") QFile::setPermissions(QDir(folder).filePath(def.fileName), rw);
    QFile::remove(QDir(folder).filePath("goals.lck"));
    const QString netDir = shared.file("net");
    QDir().mkdir(netDir);
    QFile::setPermissions(netDir, QFileDevice::Permissions(0x7777));

    Session mine;
    mine.setUserName("first");
    mine.setNetDir(netDir);
    Database first(mine);
    first.open(folder);
    Table goals(first, "goals.db"), depts(first, "Department.db");
    goals.open();
    depts.open();

    testing_support::PeerOptions o;
    o.uid = 65534;
    o.userName = "second";
    o.netDir = netDir;
    Peer peer(folder, o);
    EXPECT_EQ(peer.send("insert goals.db GoalDescription theirs"), "ok 1");
    EXPECT_EQ(peer.send("insert Department.db Description Sales"), "ok 1");
    EXPECT_EQ(peer.send("edit goals.db GoalID 1 GoalDescription edited"), "ok");
    EXPECT_EQ(peer.send("post goals.db"), "ok");
    // Each sees the other in the list of users.
    EXPECT_TRUE(mine.users().contains("second"));
    const QString users = peer.send("users");
    EXPECT_TRUE(users.contains("first")) << users.toStdString();
    // A table this account may only read opens, and refuses a change with a message naming it.
    const QString refused = peer.send("insert Settings.db ReportTitle1 x");
    EXPECT_TRUE(refused.startsWith("error") && refused.contains("Settings.db")) << refused.toStdString();
    goals.refresh();
    EXPECT_EQ(goals.field("GoalDescription").asString(), "edited");
}

TEST_F(FolderWorkstations, PlantedLinksAreNeverFollowed) {
    testing_support::TempDir net, elsewhere;
    const QString victim = elsewhere.file("precious.txt");
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    QDir().mkpath(QDir(net.path()).filePath("vardimo-users"));
    // Where the former probe wrote, where session entries are listed, and a table's lock file.
    QFile::link(victim, QDir(net.path()).filePath(QString(".vardimo-probe-%1").arg(::getpid())));
    QFile::link(victim, QDir(net.path()).filePath("vardimo-users/planted.usr"));
    const QDir control(Database::controlFolder(dir.path()));
    QDir().mkpath(control.filePath("vardimo-users"));
    QFile::link(victim, control.filePath("vardimo-users/planted.usr"));
    QFile::remove(dir.file("goaltype.lck"));
    QFile::link(victim, dir.file("goaltype.lck"));

    Session s;
    s.setNetDir(net.path());
    Database other(s);
    other.open(dir.path());
    EXPECT_FALSE(s.users().contains("keep me"));
    Table types(other, "GoalType.db");
    EXPECT_THROW(types.open(), Error);
    QFile f(victim);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "keep me");
    EXPECT_TRUE(QFileInfo(QDir(net.path()).filePath("vardimo-users/planted.usr")).isSymLink());
    EXPECT_TRUE(QFileInfo(control.filePath("vardimo-users/planted.usr")).isSymLink());
}

TEST_F(FolderWorkstations, AFullTempFolderIsNotTheDatabaseDisk) {
    testing_support::TempDir small;
    const QString mountPoint = small.file("tmp");
    QDir().mkdir(mountPoint);
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", mountPoint}) != 0)
        GTEST_SKIP() << "cannot mount a small temporary folder here";
    {
        Table s(db, "Strategys.db");
        s.open();
        BatchScope batch(db);
        for (int i = 0; i < 2500; ++i) {
            s.insert();
            s.field("StrategyDescription").setValue(QString(2000, 'x'));
            s.post();
        }
        batch.commit();
    }
    {
        testing_support::PeerOptions o;
        o.environment = {"TMPDIR=" + mountPoint, "SQLITE_TMPDIR=" + mountPoint};
        Peer peer(dir.path(), o);
        const QString answer = peer.send("snapshot Strategys.db");
        EXPECT_TRUE(answer.startsWith("error") && answer.contains("temporary folder is full") &&
                    !answer.contains("database is full"))
            << answer.toStdString();
    }
    QProcess::execute("umount", {mountPoint});
}

TEST_F(FolderWorkstations, WhatKilledSessionsLeftIsCleanedUpByTheNextStart) {
    QProcess gone;
    gone.start("sleep", {"0"});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 deadPid = gone.processId();
    gone.waitForFinished();
    const QDir temp(QDir::tempPath());
    const QStringList oldFiles{QString("vardimo-%1-0123abcd.tmp").arg(deadPid),
                               QString("vardimo-%1-0123abcd.tmp-journal").arg(deadPid)};
    const QString live = QString("vardimo-%1-0123abcd.tmp").arg(QCoreApplication::applicationPid());
    for (const QString& f : oldFiles + QStringList{live}) {
        QFile file(temp.filePath(f));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    {
        Peer killed(dir.path(), "killed");
        killed.kill();
    }
    const QDir control(Database::controlFolder(dir.path()));
    const QStringList connections = control.entryList({"conn-*.lck"}, QDir::Files | QDir::Hidden);
    EXPECT_EQ(connections.size(), 2) << "this one's and the killed one's";

    Session next;
    next.setNetDir(QCoreApplication::applicationDirPath());
    Database started(next);
    started.open(dir.path());
    EXPECT_EQ(control.entryList({"conn-*.lck"}, QDir::Files | QDir::Hidden).size(), 2)
        << "this one's and the new one's";
    EXPECT_EQ(control.entryList({"conn-*.db*"}, QDir::Files | QDir::Hidden).size(), 2);
    for (const QString& f : oldFiles)
        EXPECT_FALSE(temp.exists(f)) << f.toStdString();
    EXPECT_TRUE(temp.exists(live)) << "a live process keeps its files";
    QFile::remove(temp.filePath(live));
    EXPECT_FALSE(next.users().contains("killed"));
    started.close();
    EXPECT_EQ(control.entryList({"conn-*"}, QDir::Files | QDir::Hidden).size(), 2)
        << "a normal end leaves nothing";
}

// Transactions, batch scopes, key lists kept across posts, forward-only queries, field widths
// and messages that name the table.

#include "engine/DataSource.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "support/Stores.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace engine;
using testing_support::Store;

class Transactions : public ::testing::TestWithParam<Store> {
protected:
    void SetUp() override {
        store.make(storeOf());
        db.open(store.location());
        depts.setIndexName("DeptName");
        depts.open();
        other.setIndexName("DeptName");
        other.open();
    }
    void add(Table& t, const QString& name) {
        t.insert();
        t.field("Description").setValue(name);
        t.post();
    }
    QStringList stored() {
        Query q(db);
        q.add("Select Description From \"Department.db\" Order By Description");
        q.open();
        QStringList out;
        for (; !q.eof(); q.next())
            out << q.field("Description").asString();
        return out;
    }
    QStringList shown(Table& t) {
        QStringList out;
        for (t.first(); !t.eof(); t.next())
            out << t.field("Description").asString();
        return out;
    }
    virtual Store storeOf() const { return GetParam(); }
    testing_support::TestStore store;
    const testing_support::TempDir& dir = store.dir();
    Session session;
    Database db{session};
    Table depts{db, "Department.db"};
    Table other{db, "Department.db"};
};
VARDIMO_ON_BOTH_STORES(Transactions);

class FolderTransactions : public Transactions {
    Store storeOf() const override { return Store::Folder; }
};

TEST_P(Transactions, AnInnerFailureRollsBackOnlyItsOwnLevel) {
    {
        Transaction outer(db);
        add(depts, "first");
        // A statement that fails (the key exists), caught by the caller. On a server such a
        // failure ends the whole transaction (the next test).
        if (!store.onServer()) {
            try {
                db.exec("INSERT INTO \"department\".\"department\" (DepartmentID, Description) VALUES (1, "
                        "'dup')");
                FAIL();
            } catch (const Error&) {
            }
        }
        try {
            Transaction inner(db);
            add(depts, "inner");
            throw Error("the inner work gives up");
        } catch (const Error&) {
        }
        EXPECT_EQ(shown(depts), QStringList({"first"}))
            << "the rolled-back row is gone from the table object";
        QSignalSpy otherRows(&other, &DataSet::rowsChanged);
        add(depts, "second");
        EXPECT_EQ(otherRows.count(), 0) << "others hear of the change after the outermost commit";
        outer.commit();
        EXPECT_GE(otherRows.count(), 1);
    }
    EXPECT_EQ(stored(), QStringList({"first", "second"}));
    EXPECT_EQ(shown(other), QStringList({"first", "second"}));
}

TEST_P(Transactions, ATransactionThatSQLiteEndedStoresNothingAndSaysSo) {
    {
        Transaction outer(db);
        add(depts, "first");
        // A failure after which the store itself rolls the whole transaction back.
        EXPECT_THROW(db.exec(store.onServer()
                                 ? "INSERT INTO department (departmentid, description) VALUES (1, 'dup')"
                                 : "INSERT OR ROLLBACK INTO \"department\".\"department\" (DepartmentID, "
                                   "Description) VALUES (1, 'dup')"),
                     Error);
        try {
            add(depts, "second");
            FAIL() << "a later post ran on its own";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), Error::Kind::TransactionLost);
        }
        depts.cancel();
        try {
            outer.commit();
            FAIL() << "the commit reported success";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains("nothing of it was stored")) << e.message().toStdString();
        }
    }
    EXPECT_TRUE(stored().isEmpty());
    EXPECT_TRUE(shown(depts).isEmpty()) << "the table object does not report the rolled-back row";
    add(depts, "after");
    EXPECT_EQ(stored(), QStringList({"after"})) << "the next work runs normally";
}

TEST_P(Transactions, BatchScopesAreAllOrNothingOrCommitInChunks) {
    try {
        BatchScope batch(db);
        for (int i = 0; i < 50; ++i)
            add(depts, QString("Dept %1").arg(i, 2, 10, QChar('0')));
        throw Error("conversion failed half-way");
    } catch (const Error&) {
    }
    EXPECT_TRUE(stored().isEmpty());
    EXPECT_EQ(depts.recordCount(), 0);

    try {
        BatchScope batch(db, 10);
        for (int i = 0; i < 25; ++i)
            add(depts, QString("Dept %1").arg(i, 2, 10, QChar('0')));
        throw Error("import failed half-way");
    } catch (const Error&) {
    }
    EXPECT_EQ(stored().size(), 20) << "the finished chunks stay";
    EXPECT_EQ(depts.recordCount(), 20);

    {
        BatchScope batch(db);
        for (depts.first(); !depts.eof(); depts.next()) {
            depts.edit();
            depts.field("ModifiedBy").setValue(7);
            depts.post();
        }
        batch.commit();
    }
    Query q(db);
    q.add("Select DepartmentID From \"Department.db\" Where ModifiedBy = ", sql::Int{7});
    q.open();
    EXPECT_EQ(q.recordCount(), 20);
}

// A batch that holds its table sends its updates many rows at once. Rows changing different
// columns, more rows than one statement takes, and a row posted twice: every edit is stored with
// its last values, texts stay texts, and a batch that fails stores none of it.
TEST_P(Transactions, AHeldBatchStoresEveryEditWithItsLastValues) {
    const int n = 1204; // the last row is renamed: its second post joins the same statement
    {
        BatchScope batch(db);
        for (int i = 0; i < n; ++i)
            add(depts, QString("Dept %1").arg(i, 4, 10, QChar('0')));
        batch.commit();
    }
    const QStringList before = stored();
    const auto editAll = [&] {
        int i = 0;
        for (depts.first(); !depts.eof(); depts.next(), ++i) {
            depts.edit();
            if (i % 3 == 0)
                depts.field("Description").setValue(depts.field("Description").asString() + " renamed");
            depts.field("ModifiedBy").setValue(i % 7);
            depts.post();
        }
        depts.last();
        depts.edit();
        depts.field("Description").setValue("Again");
        depts.field("ModifiedBy").setValue(0);
        depts.post();
    };
    try {
        BatchScope batch(db);
        editAll();
        throw Error("the batch failed at its end");
    } catch (const Error&) {
    }
    EXPECT_EQ(stored(), before) << "nothing of a failed batch is stored";
    EXPECT_EQ(shown(depts), before);

    {
        BatchScope batch(db);
        editAll();
        batch.commit();
    }
    Query renamed(db);
    renamed.add("Select Count(*) As N From \"Department.db\" Where Description Like ",
                sql::Text{"% renamed"});
    renamed.open();
    EXPECT_EQ(renamed.field("N").asInteger(), (n + 2) / 3 - 1) << "the last row was renamed twice";
    Query again(db);
    again.add("Select DepartmentID, ModifiedBy From \"Department.db\" Where Description = ",
              sql::Text{"Again"});
    again.open();
    ASSERT_EQ(again.recordCount(), 1) << "a text written by a batch is found as text";
    EXPECT_EQ(again.field("ModifiedBy").asInteger(), 0);
    Query byUser(db);
    byUser.add("Select Count(*) As N From \"Department.db\" Where ModifiedBy = ", sql::Int{6});
    byUser.open();
    int sixes = 0;
    for (int i = 0; i < n - 1; ++i)
        sixes += i % 7 == 6 ? 1 : 0;
    EXPECT_EQ(byUser.field("N").asInteger(), sixes);
    EXPECT_EQ(shown(depts), stored());
}

// Those showing a table held by a batch are told of its rows once, when the batch ends, stored
// or not; an edit given up inside the batch leaves the row as stored.
TEST_P(Transactions, AHeldBatchTellsItsRowsOnceAtItsEnd) {
    for (int i = 0; i < 30; ++i)
        add(depts, QString("Dept %1").arg(i, 2, 10, QChar('0')));
    DataSource source(&depts);
    QSignalSpy changed(&source, &DataSource::changed), rows(&source, &DataSource::rowsChanged);
    const auto renameAll = [&](const QString& suffix) {
        for (depts.first(); !depts.eof(); depts.next()) {
            depts.edit();
            depts.field("Description").setValue(depts.field("Description").asString().left(7) + suffix);
            depts.post();
        }
        depts.first();
        depts.edit();
        depts.field("Description").setValue("given up");
        depts.cancel();
        EXPECT_EQ(depts.field("Description").asString(), "Dept 00" + suffix);
        EXPECT_LE(changed.count(), 1) << "nobody is told row by row (only of the first move)";
    };
    {
        BatchScope batch(db);
        renameAll(" a");
        batch.commit();
    }
    EXPECT_EQ(rows.count(), 1);
    EXPECT_EQ(source.dataSet()->field("Description").asString(), "Dept 00 a");
    EXPECT_EQ(shown(depts), stored());
    changed.clear();
    rows.clear();
    try {
        BatchScope batch(db);
        renameAll(" b");
        throw Error("the batch failed at its end");
    } catch (const Error&) {
    }
    EXPECT_GE(rows.count(), 1) << "a batch undone is told too";
    EXPECT_EQ(depts.field("Description").asString(), "Dept 00 a");
    EXPECT_EQ(shown(depts), stored());
}

TEST_P(Transactions, PostsAndDeletesKeepTheKeyListInOrder) {
    // Random inserts, renames (which move a row in the index order) and deletes; after each,
    // the table object's order and position agree with a fresh read.
    QRandomGenerator rng(7);
    const QStringList words{"alpha", "Beta", "gamma", "DELTA", "epsilon", "Zeta", "eta", "", "b"};
    for (int step = 0; step < 120; ++step) {
        const int op = int(rng.bounded(3));
        const QString word = words[int(rng.bounded(qint64(words.size())))] + QString::number(rng.bounded(5));
        if (op == 0 || depts.recordCount() < 3) {
            add(depts, word);
        } else if (op == 1) {
            depts.moveTo(int(rng.bounded(depts.recordCount())));
            depts.edit();
            if (rng.bounded(4) == 0)
                depts.field("Description").clear();
            else
                depts.field("Description").setValue(word);
            depts.post();
        } else {
            depts.moveTo(int(rng.bounded(depts.recordCount())));
            depts.remove();
        }
        const qint64 current = depts.field("DepartmentID").asInteger();
        const int at = depts.recNo();
        Table fresh(db, "Department.db");
        fresh.setIndexName("DeptName");
        fresh.open();
        ASSERT_EQ(depts.recordCount(), fresh.recordCount()) << step;
        ASSERT_TRUE(fresh.locate("DepartmentID", current));
        ASSERT_EQ(at, fresh.recNo()) << "step " << step << " op " << op;
        QList<qint64> mine, theirs;
        for (int r = 0; r < depts.recordCount(); ++r) {
            mine << depts.valueAt(r, "DepartmentID").toLongLong();
            theirs << fresh.valueAt(r, "DepartmentID").toLongLong();
        }
        ASSERT_EQ(mine, theirs) << "step " << step;
    }
}

TEST_P(Transactions, UniDirectionalQueriesReadLikeOthersWithBoundedMemory) {
    {
        BatchScope batch(db);
        for (int i = 0; i < 300; ++i)
            add(depts, QString("Dept %1").arg(i, 3, 10, QChar('0')));
        batch.commit();
    }
    auto read = [&](bool uni) {
        Query q(db);
        q.setUniDirectional(uni);
        q.add("Select D.*, E.DepartmentID From \"Department.db\" D, \"Department.db\" E");
        q.add("Where E.DepartmentID = D.DepartmentID And D.Description > ", sql::Text{"Dept 100"});
        q.add("Order By D.Description Desc");
        q.open();
        QStringList out;
        out << QString::number(q.recordCount()) << q.fieldNames().join(',');
        for (; !q.eof(); q.next())
            out << q.field("Description").asString() + "/" + q.field("DepartmentID").asString();
        q.last();
        out << q.field("Description").asString();
        q.first();
        out << q.field("Description").asString() << q.valueAt(150, "Description").toString();
        return out;
    };
    const QStringList uni = read(true);
    EXPECT_EQ(uni, read(false));
    EXPECT_EQ(uni[0], "199");
    EXPECT_EQ(uni[2], "Dept 299/300");

    // The snapshot is the result as it was when opened; posting meanwhile is free.
    Query q(db);
    q.setUniDirectional(true);
    q.add("Select * From \"Department.db\" Order By DepartmentID");
    q.open();
    int seen = 0;
    for (; !q.eof(); q.next(), ++seen) {
        if (seen == 10) add(depts, "Added while reading");
        if (seen == 20) {
            depts.first();
            depts.remove();
        }
    }
    EXPECT_EQ(seen, 300);
    EXPECT_THROW(q.setUniDirectional(false), Error) << "not while open";
    q.close();

    // A large result is read from a snapshot in the default mode too, and reads the same.
    db.attach(*findTable("goals.db"));
    {
        Transaction tx(db);
        Inserter ins(db, "goals.db", {"GoalDescription", "GoalYear"});
        for (int i = 0; i < 10050; ++i)
            ins.add({QString("Goal %1").arg(i), 2000 + i % 7});
        tx.commit();
    }
    Query big(db);
    big.add("Select GoalID, GoalYear From \"goals.db\" Order By GoalID");
    big.open();
    EXPECT_EQ(big.recordCount(), 10050);
    qint64 sum = 0;
    for (; !big.eof(); big.next())
        sum += big.field("GoalID").asInteger();
    EXPECT_EQ(sum, qint64(10050) * 10051 / 2);
    EXPECT_EQ(big.valueAt(5000, "GoalID").toLongLong(), 5001);
    big.last();
    EXPECT_EQ(big.field("GoalYear").asInteger(), 2000 + 10049 % 7);
}

TEST_P(Transactions, WidthsAndMessagesNameTheFieldAndTable) {
    depts.insert();
    EXPECT_NO_THROW(depts.field("Description").setValue(QString(40, 'd')));
    try {
        depts.field("Description").setValue(QString(41, 'd'));
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains("Description") && e.message().contains("Department.db") &&
                    e.message().contains("40"))
            << e.message().toStdString();
    }
    depts.post();
    EXPECT_EQ(depts.field("Description").asString(), QString(40, 'd'));
    Table goals(db, "goals.db");
    goals.open();
    goals.insert();
    EXPECT_NO_THROW(goals.field("GoalDescription").setValue(QString(120, 'g')));
    EXPECT_THROW(goals.field("GoalDescription").setValue(QString(100000, 'g')), Error);
    goals.cancel();
}

TEST_F(FolderTransactions, ADamagedTableFileIsNamed) {
    // A table damaged after it was opened: the message names its file.
    for (int i = 0; i < 200; ++i)
        add(depts, QString("Dept %1 %2").arg(i).arg(QString(20, 'x')));
    {
        QFile f(dir.file("Department.db"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(4096);
        f.write(QByteArray(8192, '\xff'));
    }
    Session s2;
    Database db2(s2);
    db2.open(dir.path());
    Table fresh(db2, "Department.db");
    try {
        fresh.setIndexName("DeptName");
        fresh.open();
        fresh.last();
        for (int r = 0; r < fresh.recordCount(); ++r)
            fresh.valueAt(r, "Description");
        FAIL() << "the damage went unnoticed";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains("Department.db")) << e.message().toStdString();
    }
}

// A commit kept waiting by another workstation's reader: the window showing it goes on being
// ticked on this thread, and everything is stored once the reader lets go.
TEST_F(FolderTransactions, ACommitWaitingForAReaderKeepsTickingAndThenStores) {
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(dir.file("Department.db")).constData(), &reader,
                              SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    int ticks = 0;
    {
        const CommitTicking ticking(db, [&] {
            if (++ticks == 3) sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
        });
        Transaction tx(db);
        add(depts, "Ticked");
        // The reader's open transaction keeps its shared lock: the commit cannot write the file.
        ASSERT_EQ(
            sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr),
            SQLITE_OK);
        tx.commit();
    }
    sqlite3_close(reader);
    EXPECT_GE(ticks, 3) << "the commit waited for the reader while the window was ticked";
    EXPECT_TRUE(stored().contains("Ticked"));
    add(depts, "After");
    EXPECT_TRUE(stored().contains("After")) << "commits without a tick run as before";
}

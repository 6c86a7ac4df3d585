// Table objects: order, editing convention, filters, calculated and lookup fields, packing.

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "support/Stores.h"

#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace engine;
using testing_support::Store;

class TableTest : public ::testing::TestWithParam<Store> {
protected:
    void SetUp() override {
        store.make(storeOf());
        db.open(store.location());
    }
    virtual Store storeOf() const { return GetParam(); }
    qint64 addDept(Table& t, const QString& name) {
        t.insert();
        t.field("Description").setValue(name);
        t.post();
        return t.field("DepartmentID").asInteger();
    }
    testing_support::TestStore store;
    const testing_support::TempDir& dir = store.dir();
    Session session;
    Database db{session};
};
VARDIMO_ON_BOTH_STORES(TableTest);

// What only a folder of table files has: its files.
class FolderTableTest : public TableTest {
    Store storeOf() const override { return Store::Folder; }
};

TEST_P(TableTest, EditingConventionAndIndexOrder) {
    Table t(db, "Department.db");
    t.setIndexName("DeptName");
    t.open();
    EXPECT_TRUE(t.isEmpty());
    EXPECT_TRUE(t.eof());
    EXPECT_THROW(t.field("Description").setValue("x"), Error); // browse state
    EXPECT_THROW(t.remove(), Error);                           // empty table

    const qint64 k1 = addDept(t, "sales");
    const qint64 k2 = addDept(t, "Accounts");
    const qint64 k3 = addDept(t, "Operations");
    EXPECT_EQ(k1, 1);
    EXPECT_EQ(k2, 2);
    EXPECT_EQ(t.field("DepartmentID").asInteger(), k3) << "post stays on the stored row";
    t.first();
    QStringList order;
    for (; !t.eof(); t.next())
        order << t.field("Description").asString();
    EXPECT_EQ(order, QStringList({"Accounts", "Operations", "sales"})) << "index order, regardless of case";

    // Moving settles a pending change: posted when a field changed...
    t.first();
    t.edit();
    t.field("Description").setValue("Accounting");
    t.next();
    EXPECT_EQ(t.state(), DataSet::State::Browse);
    t.first();
    EXPECT_EQ(t.field("Description").asString(), "Accounting");
    // ...dropped when nothing changed, and an unposted insert disappears on cancel.
    t.insert();
    EXPECT_EQ(t.state(), DataSet::State::Insert);
    EXPECT_TRUE(t.field("Description").isNull());
    t.cancel();
    EXPECT_EQ(t.recordCount(), 3);
    t.insert();
    t.first();
    EXPECT_EQ(t.recordCount(), 3);
    // Edit on an empty table begins an insert; delete while inserting cancels it.
    Table g(db, "GoalType.db");
    g.open();
    g.edit();
    EXPECT_EQ(g.state(), DataSet::State::Insert);
    g.remove();
    EXPECT_EQ(g.state(), DataSet::State::Browse);
    EXPECT_EQ(g.recordCount(), 0);

    // Delete moves to the next row, or the previous at the end.
    t.first();
    t.remove();
    EXPECT_EQ(t.field("Description").asString(), "Operations");
    t.last();
    t.remove();
    EXPECT_EQ(t.field("Description").asString(), "Operations");
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_TRUE(t.locate("Description", "Operations"));
    EXPECT_FALSE(t.locate("Description", "Nothing"));

    // Keys are never reused.
    EXPECT_EQ(addDept(t, "New"), 4);
}

TEST_P(TableTest, FieldsConvertAndBeforePostRuns) {
    Table t(db, "Strategys.db");
    int stamps = 0;
    t.setBeforePost([&](Table& tb) {
        ++stamps;
        tb.field("ModifiedBy").setValue(7);
        tb.field("ModifiedDate").setValue(QDateTime(QDate(2002, 5, 6), QTime(13, 14, 15)));
    });
    t.addCalculatedField({"ShortStrategy", FieldType::Text, 80});
    t.setOnCalcFields([](const Record& r, QHash<QString, QVariant>& out) {
        out.insert("ShortStrategy", r.asString("StrategyDescription"));
    });
    Table goals(db, "goals.db");
    goals.open();
    goals.insert();
    goals.field("GoalDescription").setValue("A goal");
    goals.post();
    t.addLookupField({"GoalDescription", "GoalID", &goals, "GoalID", "GoalDescription", 50});
    t.open();
    t.insert();
    const QString longText = QString(79, 'a') + "\nb" + QString(20, 'c');
    t.field("StrategyDescription").setValue(longText);
    t.field("CompleationDate").setValue("03/04/2002");
    t.field("Compleated").setValue(true);
    t.field("GoalID").setValue(1);
    t.post();
    EXPECT_EQ(stamps, 1);
    EXPECT_EQ(t.field("ModifiedBy").asInteger(), 7);
    EXPECT_EQ(t.field("ModifiedDate").asDateTime(), QDateTime(QDate(2002, 5, 6), QTime(13, 14, 15)));
    EXPECT_EQ(t.field("CompleationDate").asDate(), QDate(2002, 3, 4));
    EXPECT_EQ(t.field("CompleationDate").asString(), "03/04/2002");
    EXPECT_TRUE(t.field("Compleated").asBoolean());
    EXPECT_TRUE(t.field("DoNotPrint").isNull());
    EXPECT_EQ(t.field("ShortStrategy").asString(), longText.left(80));
    EXPECT_EQ(t.field("ShortStrategy").asString().size(), 80);
    EXPECT_EQ(t.field("GoalDescription").asString(), "A goal");
    EXPECT_THROW(t.field("Nope").asString(), Error);
    t.edit();
    EXPECT_THROW(t.field("CompleationDate").setValue("13/45/2002"), Error);
    EXPECT_THROW(t.field("StrategyID").setValue(5), Error);
    // A before-post rule that fails leaves the change pending.
    t.setBeforePost([](Table&) { throw Error("refused"); });
    t.field("Responsibility").setValue("me");
    EXPECT_THROW(t.post(), Error);
    EXPECT_EQ(t.state(), DataSet::State::Edit);
    EXPECT_EQ(t.field("Responsibility").asString(), "me");
    t.cancel();
    EXPECT_TRUE(t.field("Responsibility").isNull());

    // Lookups follow changes made through another table object.
    goals.edit();
    goals.field("GoalDescription").setValue("Renamed");
    goals.post();
    EXPECT_EQ(t.field("GoalDescription").asString(), "Renamed");
}

TEST_P(TableTest, FiltersWithAndWithoutPreSelection) {
    for (const auto& def : tables())
        db.attach(def);
    {
        Transaction tx(db);
        Inserter ins(db, "goals.db", {"GoalDescription", "GoalYear", "GoalTypeID"});
        for (int i = 0; i < 300; ++i)
            ins.add({QString("Goal %1").arg(i, 3, 10, QChar('0')), 2000 + i % 3, i % 4});
        ins.add({"No year", QVariant(), 9});
        tx.commit();
    }
    int year = 2001;
    int evaluated = 0;
    Table plain(db, "goals.db");
    plain.setIndexName("GoalName");
    plain.setOnFilterRecord([&](const Record& r) {
        ++evaluated;
        return r.isNull("GoalYear") || r.asInteger("GoalYear") == year;
    });
    Table pre(db, "goals.db");
    pre.setIndexName("GoalName");
    pre.setOnFilterRecord(
        [&](const Record& r) { return r.isNull("GoalYear") || r.asInteger("GoalYear") == year; },
        [&] {
            PreSelection p;
            p.condition.add("GoalYear Is Null Or GoalYear = ", sql::Int{year});
            return p;
        });
    plain.open();
    pre.open();
    EXPECT_EQ(plain.recordCount(), 301);
    QSignalSpy rows(&pre, &DataSet::rowsChanged);
    plain.setFiltered(true);
    pre.setFiltered(true);
    EXPECT_GE(rows.count(), 1);
    EXPECT_EQ(evaluated, 301);
    EXPECT_EQ(plain.recordCount(), 101);
    EXPECT_EQ(pre.recordCount(), 101);
    EXPECT_EQ(pre.field("GoalDescription").asString(), "Goal 001");
    year = 2002;
    pre.setFiltered(false);
    pre.setFiltered(true);
    EXPECT_EQ(pre.recordCount(), 101);
    EXPECT_EQ(pre.recNo(), 0);
    // A stored row the filter rejects stays current until the filter is switched again.
    pre.edit();
    pre.field("GoalYear").setValue(1999);
    pre.post();
    EXPECT_EQ(pre.field("GoalYear").asInteger(), 1999);
    EXPECT_EQ(pre.recordCount(), 101);
    pre.setFiltered(true);
    EXPECT_EQ(pre.recordCount(), 100);
    // The filter keeps its switch across closing and opening.
    pre.close();
    pre.open();
    EXPECT_TRUE(pre.filtered());
    EXPECT_EQ(pre.recordCount(), 100);
    // valueAt reads rows without moving.
    EXPECT_EQ(pre.valueAt(1, "GoalDescription").toString(), "Goal 008");
    EXPECT_EQ(pre.recNo(), 0);
}

// Rows accepted far apart are read in windows of scattered keys: a walk reads every one of them.
TEST_P(TableTest, AWalkOverScatteredRowsReadsEachRow) {
    Table t(db, "Department.db");
    t.open();
    {
        BatchScope batch(db);
        for (int i = 1; i <= 3000; ++i)
            addDept(t, QString("Dept %1").arg(i));
        batch.commit();
    }
    t.setOnFilterRecord([](const Record& r) { return r.asInteger("DepartmentID") % 5 == 0; });
    t.setFiltered(true);
    ASSERT_EQ(t.recordCount(), 600);
    int n = 0;
    for (t.first(); !t.eof(); t.next(), ++n)
        ASSERT_EQ(t.field("Description").asString(),
                  QString("Dept %1").arg(t.field("DepartmentID").asInteger()));
    EXPECT_EQ(n, 600);
}

TEST_P(TableTest, PackKeepsRowsKeysAndIndexes) {
    Table t(db, "Department.db");
    t.setIndexName("DeptName");
    t.open();
    {
        BatchScope batch(db);
        for (int i = 0; i < 500; ++i)
            addDept(t, QString("Dept %1 %2").arg(i % 7).arg(QString(30, 'x')));
        for (int i = 0; i < 400; ++i) {
            t.first();
            t.remove();
        }
        batch.commit();
    }
    QList<QPair<qint64, QString>> before;
    for (t.first(); !t.eof(); t.next())
        before << qMakePair(t.field("DepartmentID").asInteger(), t.field("Description").asString());
    const qint64 sizeBefore = t.fileSize();
    EXPECT_THROW(t.pack(), Error) << "packing needs an exclusive open";
    t.close();
    t.setExclusive(true);
    t.open();
    t.pack();
    t.close();
    t.setExclusive(false);
    t.open();
    EXPECT_LT(t.fileSize(), sizeBefore);
    QList<QPair<qint64, QString>> after;
    for (t.first(); !t.eof(); t.next())
        after << qMakePair(t.field("DepartmentID").asInteger(), t.field("Description").asString());
    EXPECT_EQ(before, after);
    EXPECT_EQ(addDept(t, "Next"), 501) << "the key sequence survives packing";
    {
        QSqlQuery idx = db.exec(
            store.onServer()
                ? "SELECT count(*) FROM pg_indexes WHERE tablename = 'department' AND indexname = 'deptname'"
                : "SELECT count(*) FROM \"department\".sqlite_master WHERE type = 'index' AND name = "
                  "'DeptName'");
        ASSERT_TRUE(idx.next());
        EXPECT_EQ(idx.value(0).toInt(), 1);
    }

    // A password given at packing protects the table from then on.
    t.close();
    t.setExclusive(true);
    t.open();
    t.pack("secret");
    t.close();
    t.setExclusive(false);
    Session other;
    Database db2(other);
    db2.open(store.location());
    Table locked(db2, "Department.db");
    EXPECT_THROW(locked.open(), Error);
    other.setPasswordHandler([](Session& s) {
        s.addPassword("secret");
        return true;
    });
    EXPECT_NO_THROW(locked.open());
    EXPECT_EQ(locked.recordCount(), 101);
}

TEST_F(FolderTableTest, BadFoldersAndFilesGiveErrorsNamingThem) {
    Session s;
    Database missing(s);
    try {
        missing.open(dir.file("nowhere"));
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains("nowhere")) << e.message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.file("nowhere")));

    QFile::remove(dir.file("goals.db"));
    Table goals(db, "goals.db");
    try {
        goals.open();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Table does not exist: goals.db");
    }
    EXPECT_FALSE(QFile::exists(dir.file("goals.db"))) << "nothing is created in its place";

    {
        QFile junk(dir.file("Measure.db"));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly | QIODevice::Truncate));
        junk.write(QByteArray(4096, 'j'));
    }
    Table measure(db, "Measure.db");
    try {
        measure.open();
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains("Measure.db")) << e.message().toStdString();
    }
    EXPECT_EQ(QFile(dir.file("Measure.db")).size(), 4096);

    QFile::remove(dir.file("GoalType.db"));
    QDir(dir.path()).mkdir("GoalType.db");
    Table types(db, "GoalType.db");
    try {
        types.open();
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains("GoalType.db")) << e.message().toStdString();
    }

    EXPECT_THROW(Table(db, "Nothing.db"), Error);
    EXPECT_THROW(Database::create(dir.path()), Error) << "an existing database is never written over";
}

// An unfiltered table is counted once for the grids that ask again and again; whatever changes
// its rows (its own posts, another table object, a statement) makes it count again.
TEST_P(TableTest, TheCountOfAnUnfilteredTableFollowsEveryChange) {
    Table t(db, "Department.db");
    Table other(db, "Department.db");
    t.open();
    other.open();
    addDept(t, "Sales");
    addDept(t, "Stores");
    t.close();
    t.open();
    EXPECT_EQ(t.recordCount(), 2);
    addDept(other, "Accounts");
    EXPECT_EQ(t.recordCount(), 3) << "a post of another table object";
    t.insert();
    t.field("Description").setValue("Operations");
    t.post();
    EXPECT_EQ(t.recordCount(), 4) << "its own post";
    Query q(db);
    q.add("Delete From \"Department.db\" Where Description = ", sql::Text{"Sales"});
    q.execSql();
    EXPECT_EQ(t.recordCount(), 3) << "a statement";
    {
        Transaction tx(db);
        addDept(other, "Rolled back");
        EXPECT_EQ(t.recordCount(), 3) << "not yet committed: told after the commit";
    }
    EXPECT_EQ(t.recordCount(), 3) << "rolled back";
}

// On a server every statement is a round trip. A filtered list is read once: the rows the filter
// saw are the rows shown, and rows read in windows go by a statement prepared once.
TEST_P(TableTest, AFilteredListIsReadOnceOnTheServer) {
    if (GetParam() != Store::Server) GTEST_SKIP() << "a folder has no round trips";
    Table depts(db, "Department.db");
    depts.open();
    Table strategies(db, "Strategys.db");
    strategies.open();
    {
        BatchScope batch(db);
        for (int i = 1; i <= 1500; ++i) {
            addDept(depts, QString("Dept %1").arg(i, 4, 10, QChar('0')));
            strategies.insert();
            strategies.field("StrategyDescription").setValue(QString("Strategy %1").arg(i));
            strategies.field("GoalID").setValue(i % 3);
            strategies.post();
        }
        batch.commit();
    }
    const auto walk = [](Table& t, const char* field) {
        QStringList seen;
        for (t.first(); !t.eof(); t.next())
            seen << t.field(field).asString();
        return seen;
    };
    Table list(db, "Department.db");
    list.setIndexName("DeptName");
    list.setOnFilterRecord([](const Record& r) { return r.asInteger("DepartmentID") % 2 == 1; });
    list.open();
    list.setFiltered(true);
    const Backend& store = db.backend();
    qint64 before = store.statementsSent();
    const QStringList shown = walk(list, "Description");
    ASSERT_EQ(shown.size(), 750);
    EXPECT_EQ(shown.first(), "Dept 0001");
    EXPECT_EQ(shown.last(), "Dept 1499");
    EXPECT_EQ(store.statementsSent() - before, 0) << "the rows came with their keys";

    // The memos are not read with the keys: the rows come in windows of scattered keys.
    Table goal(db, "Strategys.db");
    goal.setOnFilterRecord([](const Record& r) { return r.asInteger("GoalID") == 1; });
    goal.open();
    goal.setFiltered(true);
    ASSERT_EQ(goal.recordCount(), 500);
    before = store.statementsSent();
    const QStringList first = walk(goal, "StrategyDescription");
    const qint64 firstWalk = store.statementsSent() - before;
    EXPECT_EQ(first.size(), 500);
    EXPECT_EQ(first.first(), "Strategy 1");
    EXPECT_LE(firstWalk, 3) << "one window, prepared once";
    goal.refresh();
    before = store.statementsSent();
    EXPECT_EQ(walk(goal, "StrategyDescription"), first);
    EXPECT_LT(store.statementsSent() - before, firstWalk + 1) << "read again without preparing again";
}

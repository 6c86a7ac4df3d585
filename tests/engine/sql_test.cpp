// SQL texts: the system's own rendering, and that values never change what a statement does.

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/FolderDialect.h"
#include "engine/PgDialect.h"
#include "engine/Query.h"
#include "engine/RowView.h"
#include "engine/Table.h"
#include "support/Stores.h"

#include <gtest/gtest.h>

using namespace engine;
namespace s = engine::sql;

TEST(SqlText, RendersTheSystemsOwnForm) {
    SqlText t;
    t.add("Select Max(StrategyNumber) As MaxNumber");
    t.add("From \"Strategys.db\"");
    t.add("Where GoalID = ", s::Int{12}, "And");
    t.add("UserNumber = ", s::Int{-1});
    EXPECT_EQ(t.text(),
              "Select Max(StrategyNumber) As MaxNumber\nFrom \"Strategys.db\"\nWhere GoalID = 12And\n"
              "UserNumber = -1");

    SqlText u;
    u.add("Select * From \"User.db\" Where Upper(userid) = Upper(", s::Text{"JSMITH"},
          ") and UserPassword = ", s::Text{"se\"cret"});
    EXPECT_EQ(u.text(),
              "Select * From \"User.db\" Where Upper(userid) = Upper(\"JSMITH\") and UserPassword = "
              "\"se\"cret\"");

    SqlText d;
    d.add("S.Compleated = True And S.CompleationDate >= ", s::Date{QDate(2002, 3, 4)}, " And");
    d.add("S.UserNumber In ", s::IntList{{12, 4, 9}}, " And");
    d.add("S.StrategyID in (", s::IntList{{-1, 5, 5}, ",", false}, ") and");
    EXPECT_EQ(d.line(0), "S.Compleated = True And S.CompleationDate >= \"03/04/2002\" And");
    EXPECT_EQ(d.line(1), "S.UserNumber In (12, 4, 9) And");
    EXPECT_EQ(d.line(2), "S.StrategyID in (-1,5,5) and");
}

TEST(SqlText, RefusesWhatIsNoSingleSelectOrDelete) {
    const FolderDialect folder;
    const PgDialect server;
    for (const Dialect* d : {static_cast<const Dialect*>(&folder), static_cast<const Dialect*>(&server)}) {
        SqlText t;
        t.add("Drop Table x");
        EXPECT_THROW(t.render(*d), Error);
        SqlText u;
        u.add("Select * From \"User.db\"; Delete From \"User.db\"");
        EXPECT_THROW(u.render(*d), Error);
        SqlText v;
        v.add("Select * From \"User.db\" Where UserID = 'x'");
        EXPECT_THROW(v.render(*d), Error);
    }
}

class SqlDb : public ::testing::TestWithParam<testing_support::Store> {
protected:
    void SetUp() override {
        store.make(GetParam());
        db.open(store.location());
        for (const auto& t : engine::tables())
            db.attach(t);
        Transaction tx(db);
        Inserter users(db, "User.db", {"UserID", "UserPassword", "UserName", "SecurityID"});
        for (const QString& id : nasty)
            users.add({id, id, "Name of " + id, 1});
        Inserter goals(db, "goals.db", {"GoalDescription", "GoalTypeID", "GoalYear", "UserNumber"});
        for (int i = 0; i < nasty.size(); ++i)
            goals.add({nasty[i], 1, 2002, i + 2});
        Inserter types(db, "GoalType.db", {"TypeDescription"});
        types.add({"Type \"one\""});
        Inserter strategies(db, "Strategys.db",
                            {"StrategyNumber", "GoalID", "UserNumber", "CompleationDate", "Compleated",
                             "DoNotPrint", "StrategyDescription"});
        for (int g = 1; g <= nasty.size(); ++g)
            for (int n = 1; n <= 3; ++n)
                strategies.add(
                    {n, g, g + 1, QDate(2002, 1, n * 10).toString(Qt::ISODate), n % 2, 0, nasty[g - 1]});
        tx.commit();
    }
    int count(const QString& file) {
        Query q(db);
        q.add("Select * From \"" + file + "\"");
        q.open();
        return q.recordCount();
    }

    testing_support::TestStore store;
    Session session;
    Database db{session};
    const QStringList nasty{"plain",
                            "dq\"uote",
                            "sq'uote",
                            "semi;colon",
                            "\" Or 1=1 Or \"",
                            "') Or (1=1",
                            "x\"; Delete From \"Strategys.db",
                            "Select * From \"User.db\"",
                            "\"\"",
                            "True"};
};

VARDIMO_ON_BOTH_STORES(SqlDb);

TEST_P(SqlDb, ValuesHoldingQuotesAndKeywordsSelectOnlyThemselves) {
    for (const QString& v : nasty) {
        Query q(db);
        q.add("Select * From \"User.db\" Where Upper(userid) = Upper(", s::Text{v.toUpper()},
              ") and UserPassword = ", s::Text{v});
        q.open();
        ASSERT_EQ(q.recordCount(), 1) << v.toStdString();
        EXPECT_EQ(q.field("UserID").asString(), v);

        Query wrong(db);
        wrong.add("Select * From \"User.db\" Where Upper(userid) = Upper(", s::Text{v.toUpper()},
                  ") and UserPassword = ", s::Text{v + "x"});
        wrong.open();
        EXPECT_EQ(wrong.recordCount(), 0) << v.toStdString();

        Query join(db);
        join.add("Select G.*, T.TypeDescription From \"Goals.DB\" G, \"GoalType\" T");
        join.add("Where G.GoalTypeID = T.GoalTypeID");
        join.add("And GoalDescription = ", s::Text{v});
        join.add("Order By GoalID, GoalDescription");
        join.open();
        ASSERT_EQ(join.recordCount(), 1) << v.toStdString();
        EXPECT_EQ(join.field("TypeDescription").asString(), "Type \"one\"");
    }
}

TEST_P(SqlDb, DeletesRemoveExactlyTheIntendedRows) {
    const int before = count("Strategys.db");
    for (const QString& v : nasty) {
        Query del(db);
        del.add("Delete From \"Strategys.db\"");
        del.add("Where StrategyDescription = ", s::Text{v}, " And StrategyNumber = ", s::Int{1});
        del.execSql();
        EXPECT_EQ(del.rowsAffected(), 1) << v.toStdString();
    }
    EXPECT_EQ(count("Strategys.db"), before - nasty.size());
    EXPECT_EQ(count("User.db"), nasty.size() + 1);

    Query del(db);
    del.add("Delete From \"AccessList.db\"");
    del.add("Where UserNumber = ", s::Int{3}, " Or");
    del.add("CanSeeUser = ", s::Int{3});
    del.execSql();
    EXPECT_EQ(count("goals.db"), nasty.size());
}

TEST_P(SqlDb, DialectCoversTheSystemsQueries) {
    Query q(db);
    q.add("Select S.*, G.GoalDescription, G.GoalYear, U.username, T.TypeDescription");
    q.add("From \"Strategys.db\" S, \"Goals.DB\" G, \"User.DB\" U, \"GoalType.DB\" T");
    q.add("Where S.GoalID = G.GoalID And");
    q.add("S.Usernumber = U.UserNumber And");
    q.add("G.GoalTypeID = T.GoalTypeID And");
    q.add("S.UserNumber In ", s::IntList{{2, 3}}, " And");
    q.add("S.Compleated = True And S.CompleationDate >= ", s::Date{QDate(2002, 1, 5)},
          " And S.CompleationDate <= ", s::Date{QDate(2002, 1, 25)}, " And");
    q.add("G.GoalYear = ", s::Int{2002}, " And");
    q.add("S.DoNotPrint = False");
    q.add("Order by s.UserNumber, G.GoalDescription, S.StrategyNumber");
    q.open();
    // Users 2 and 3 have strategies 1 (completed, Jan 10) and 3 (completed, Jan 30): only 1 is in range.
    ASSERT_EQ(q.recordCount(), 2);
    EXPECT_EQ(q.field("StrategyNumber").asInteger(), 1);
    EXPECT_EQ(q.field("CompleationDate").asDate(), QDate(2002, 1, 10));
    EXPECT_EQ(q.field("CompleationDate").asString(), "01/10/2002");
    EXPECT_EQ(q.field("username").asString(), "Name of plain");

    Query max(db);
    max.add("Select Max(StrategyNumber) As MaxNumber");
    max.add("From \"Strategys.db\"");
    max.add("Where GoalID = ", s::Int{1}, "And");
    max.add("UserNumber = ", s::Int{2});
    max.open();
    EXPECT_EQ(max.field("MaxNumber").asInteger(), 3);

    // A list longer than a statement may bind one by one keeps its meaning.
    QList<qint64> many;
    for (qint64 n = 3; n < 3000; ++n)
        many << n;
    Query longList(db);
    longList.add("Select Count(*) As Items From \"Strategys.db\" Where UserNumber In ", s::IntList{many});
    longList.open();
    EXPECT_EQ(longList.field("Items").asInteger(), (nasty.size() - 1) * 3) << "every user but user 2";

    Query quotedNumber(db);
    quotedNumber.add("Select * From \"Security.db\" Where SecurityID = ", s::Text{"0"});
    quotedNumber.open();
    EXPECT_EQ(quotedNumber.recordCount(), 1);

    Query dq(db);
    dq.add("Select * From \"Measure.db\" Where");
    dq.add("CompleationDate >= \"01/01/2002\" And");
    dq.add("CompleationDate <= \"12/31/2002\"");
    dq.open();
    EXPECT_EQ(dq.recordCount(), 0);

    Query bad(db);
    bad.add("Select * From \"Nothing.db\"");
    EXPECT_THROW(bad.open(), Error);
    Query bad2(db);
    bad2.add("Select Frm Where");
    try {
        bad2.open();
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith("Invalid SQL statement")) << e.message().toStdString();
    }
}

TEST_P(SqlDb, OneNeutralTextSelectsTheSameRowsOnEitherStore) {
    const QString hostile = "x\"; Delete From \"Strategys.db";
    // Whole numbers in the branches of a Case stay numbers; truth values as words and as values.
    Query renumber(db);
    renumber.add("Update \"Strategys.db\" Set StrategyNumber = Case StrategyNumber When ", s::Int{1},
                 " Then ", s::Int{10}, " Else ", s::Int{20}, " End");
    renumber.add("Where StrategyDescription = ", s::Text{hostile}, " And Compleated = ", s::Bool{true});
    renumber.execSql();
    EXPECT_EQ(renumber.rowsAffected(), 2);
    auto numbers = [&](const char* completed) {
        Query q(db);
        q.add("Select StrategyNumber From \"Strategys.db\" Where StrategyDescription = ", s::Text{hostile});
        q.add(QString("And Compleated = %1 Order By StrategyNumber").arg(completed));
        q.open();
        QList<qint64> out;
        for (q.first(); !q.eof(); q.next())
            out << q.field("StrategyNumber").asInteger();
        return out;
    };
    EXPECT_EQ(numbers("True"), (QList<qint64>{10, 20}));
    EXPECT_EQ(numbers("False"), QList<qint64>{2});

    // A filter's pre-selection with a list longer than a statement binds value by value.
    QList<qint64> users;
    for (qint64 n = 3; n < 3000; ++n)
        users << n;
    Table strategies(db, "Strategys.db");
    strategies.setOnFilterRecord([](const Record&) { return true; },
                                 [&] {
                                     PreSelection p;
                                     p.condition.add("UserNumber In ", s::IntList{users},
                                                     " And StrategyDescription <> ",
                                                     s::Text{"\" Or 1=1 Or \""});
                                     return p;
                                 });
    strategies.setFiltered(true);
    strategies.open();
    EXPECT_EQ(strategies.recordCount(), (nasty.size() - 2) * 3) << "neither user 2 nor the hostile goal";
}

// A large read takes its rows as views: each accessor gives what the row's value, read as a
// QVariant, gives when converted the same way, whatever the store keeps and however odd it is.
TEST_P(SqlDb, ViewsOfARowGiveWhatItsValuesGive) {
    {
        Transaction tx(db);
        Inserter items(db, "Measure.db",
                       {"StrategyID", "MeasurementNumber", "Measurement", "CompleationDate", "Compleated",
                        "ModifiedDate", "Deliverable"});
        const QVariant none;
        items.add({9007199254740991.0, 2.5, QString::fromUtf8("Zürich — 東京 ✓"), QDate(2026, 1, 5), 1,
                   QDateTime(QDate(2026, 1, 5), QTime(10, 30)), "2026-01-05"});
        items.add({1e18, -2.5, "2026-02-30", QDate(1, 1, 1), 0, none, "20260105"});
        items.add({-9007199254740991.0, 3.0, "", QDate(9999, 12, 31), none, none, "2026-01-05 10:30"});
        items.add({none, none, none, none, none, none, "0000-01-01"});
        tx.commit();
    }
    Query q(db);
    q.add("Select MeasurementID, StrategyID, MeasurementNumber, Measurement, CompleationDate, Compleated,");
    q.add("ModifiedDate, Deliverable From \"Measure.db\" Order By MeasurementID");
    QList<QVariantList> values;
    EXPECT_EQ(q.forEachRow([&](const QVariantList& v) { values << v; }), 4);
    int row = 0;
    EXPECT_EQ(forEachRow(q,
                         [&](const RowView& view) {
                             ASSERT_LT(row, values.size());
                             const QVariantList& v = values[row++];
                             ASSERT_EQ(view.columns(), v.size());
                             for (int c = 0; c < view.columns(); ++c) {
                                 SCOPED_TRACE(QStringLiteral("row %1, column %2: %3")
                                                  .arg(row)
                                                  .arg(c)
                                                  .arg(v[c].toString())
                                                  .toStdString());
                                 EXPECT_EQ(view.isNull(c), v[c].isNull());
                                 EXPECT_EQ(view.integer(c), v[c].toLongLong());
                                 EXPECT_EQ(view.number(c), v[c].toDouble());
                                 EXPECT_EQ(view.text(c), v[c].toString());
                                 EXPECT_EQ(view.date(c), toFieldValue(v[c], FieldType::Date).toDate());
                                 EXPECT_EQ(view.value(c), v[c]);
                             }
                         }),
              4);
    EXPECT_EQ(row, 4);
}

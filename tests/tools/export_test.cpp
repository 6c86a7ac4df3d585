// vardimo-admin export and check, run as a person runs them: a real process writing CSV to its
// standard output, read back by Python's csv module, or naming what is wrong in a database.

#include "Sample.h"
#include "ServerAdmin.h"
#include "engine/Database.h"
#include "engine/Query.h"
#include "support/PythonCsv.h"
#include "support/Stores.h"
#include "support/TempDir.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

using testing_support::readCsvWithPython;
using testing_support::Store;
using testing_support::TempDir;

namespace {

struct Result {
    int code;
    QByteArray out, err;
};

Result admin(const QStringList& args, const QString& outFile = {}) {
    QProcess p;
    if (!outFile.isEmpty()) p.setStandardOutputFile(outFile);
    p.start(QStringLiteral(VARDIMO_ADMIN_PATH), args);
    p.waitForFinished(120000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

} // namespace

TEST(AdminExport, StrategiesOfAYearEqualTheStoredRows) {
    TempDir dir;
    tools::createDatabase(dir.path(), true, tools::SampleSize::Small);
    // One strategy with every awkward value, written straight into the folder.
    {
        engine::Session session;
        engine::Database db(session);
        db.open(dir.path());
        engine::Query q(db);
        q.add("Update \"Strategys.db\" Set StrategyDescription = ",
              engine::sql::Text{"=1+1, \"quoted\"\nnext line — ünïcode"}, " Where StrategyID = 1");
        q.execSql();
    }
    const QString file = dir.file("s.csv");
    engine::Session session;
    engine::Database db(session);
    db.open(dir.path());
    engine::Query q(db);
    q.add("Select G.GoalYear, S.StrategyDescription From \"Strategys.db\" S, \"goals.db\" G");
    q.add("Where S.GoalID = G.GoalID And S.StrategyID = 1");
    q.open();
    const int year = q.field("GoalYear").asInt();
    q.close();
    q.clear();
    q.add("Select S.StrategyDescription From \"Strategys.db\" S, \"goals.db\" G");
    q.add("Where S.GoalID = G.GoalID And G.GoalYear = ", engine::sql::Int{year});
    q.open();
    QStringList stored;
    for (q.first(); !q.eof(); q.next())
        stored << q.field("StrategyDescription").asString();
    q.close();

    const Result r = admin({"export", "strategies", dir.path(), "--year", QString::number(year)}, file);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QVector<QStringList> rows;
    QString why;
    if (!readCsvWithPython(file, &rows, &why)) GTEST_SKIP() << why.toStdString();
    ASSERT_EQ(rows.size(), stored.size() + 1);
    QStringList read;
    for (int i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].size(), rows[0].size());
        EXPECT_EQ(rows[i][1], QString::number(year));
        QString s = rows[i][6];
        if (s.startsWith('\'')) s.remove(0, 1);
        read << s;
    }
    std::sort(stored.begin(), stored.end());
    std::sort(read.begin(), read.end());
    EXPECT_EQ(read, stored);
    EXPECT_TRUE(read.contains("=1+1, \"quoted\"\nnext line — ünïcode"));
}

TEST(AdminExport, WithMultipleMeasurementsOnStrategiesCarryTheirItems) {
    TempDir dir;
    tools::createDatabase(dir.path(), false, tools::SampleSize::Small);
    {
        engine::Session session;
        engine::Database db(session);
        db.open(dir.path());
        engine::Query q(db);
        q.add("Update \"Settings.db\" Set MultipulMeasure = ", engine::sql::Bool{true});
        q.execSql();
        const qint64 goal =
            engine::Inserter(db, "goals.db", {"GoalDescription", "GoalYear"}).add({"Aim", 2026});
        const qint64 strategy =
            engine::Inserter(db, "Strategys.db", {"GoalID", "StrategyNumber", "Deliverable", "Measurement"})
                .add({goal, 1, "own deliverable", "own measurement"});
        engine::Inserter(db, "Measure.db", {"StrategyID", "MeasurementNumber", "Deliverable", "Measurement"})
            .add({strategy, 1, "Report", "Read"});
    }
    const QString file = dir.file("s.csv");
    const Result r = admin({"export", "strategies", dir.path()}, file);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QVector<QStringList> rows;
    QString why;
    if (!readCsvWithPython(file, &rows, &why)) GTEST_SKIP() << why.toStdString();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].mid(8, 2), QStringList({"1#. Report", "1#. Read"}));
}

TEST(AdminExport, RefusesWhatItCannotExport) {
    TempDir dir;
    Result r = admin({"export", "goals", "postgresql://server/vardimo"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("only a database folder")) << r.err.toStdString();
    r = admin({"export", "goals", dir.file("missing")});
    EXPECT_EQ(r.code, 1);
    r = admin({"export", "goals", dir.path()});
    EXPECT_EQ(r.code, 1) << "a folder without tables";
    EXPECT_TRUE(r.err.contains("Table does not exist")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << "nothing half-written to the output";
    r = admin({"export", "measures", dir.path()});
    EXPECT_EQ(r.code, 2);
    r = admin({"export", "goals", dir.path(), "--year", "soon"});
    EXPECT_EQ(r.code, 2);
}

class AdminCheck : public ::testing::TestWithParam<Store> {};
VARDIMO_ON_BOTH_STORES(AdminCheck);

TEST_P(AdminCheck, TheSampleIsCleanAndEachKindOfFaultIsNamed) {
    TempDir dir;
    std::unique_ptr<testing_support::PgTestDatabase> server;
    QString location = dir.path();
    if (GetParam() == Store::Server) {
        server = std::make_unique<testing_support::PgTestDatabase>();
        location = server->uri();
        tools::createServerDatabase(location, true, tools::SampleSize::Small);
    } else {
        tools::createDatabase(location, true, tools::SampleSize::Small);
    }
    Result r = admin({"check", location});
    EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();

    qint64 goal = 0, user = 0, number = 0, orphan = 0, item = 0;
    {
        engine::Session session;
        engine::Database db(session);
        db.open(location);
        engine::Query q(db);
        q.add("Select GoalID, UserNumber, StrategyNumber From \"Strategys.db\" Where StrategyID = 1");
        q.open();
        goal = q.field("GoalID").asInteger();
        user = q.field("UserNumber").asInteger();
        number = q.field("StrategyNumber").asInteger();
        q.close();
        engine::Inserter strategies(db, "Strategys.db", {"GoalID", "UserNumber", "StrategyNumber"});
        strategies.add({goal, user, number});
        orphan = strategies.add({goal + 100000, user, 1});
        engine::Inserter measures(db, "Measure.db", {"StrategyID", "MeasurementNumber"});
        item = measures.add({orphan + 100000, 1});
    }
    r = admin({"check", location});
    EXPECT_EQ(r.code, 1);
    const QStringList lines = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines, QStringList(
                         {QString("Duplicate strategy number: goal %1, user %2, STRATEGY # %3 stored 2 times")
                              .arg(goal)
                              .arg(user)
                              .arg(number),
                          QString("Orphan strategy: strategy %1 belongs to goal %2, which does not exist")
                              .arg(orphan)
                              .arg(goal + 100000),
                          QString("Orphan measurement item: item %1 belongs to strategy %2, which does "
                                  "not exist")
                              .arg(item)
                              .arg(orphan + 100000)}));
}

// vardimo-admin export, run as a person runs it: a real process writing CSV to its standard
// output, read back by Python's csv module.

#include "Sample.h"
#include "engine/Database.h"
#include "engine/Query.h"
#include "support/PythonCsv.h"
#include "support/TempDir.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

using testing_support::readCsvWithPython;
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

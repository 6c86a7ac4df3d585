// The sample at a scale: the same users, that many times the goals, strategies and measurements;
// a scale that is not a whole number within range is refused before anything is made.

#include "Sample.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Query.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

using testing_support::TempDir;

namespace {

struct Counts {
    int users, goals, strategies, measures;
};

Counts countRows(const QString& folder) {
    engine::Session session;
    engine::Database db(session);
    db.open(folder);
    const auto count = [&db](const char* file) {
        engine::Query q(db);
        q.add(QStringLiteral("Select Count(*) As N From \"%1\"").arg(QString::fromLatin1(file)));
        q.open();
        return q.field(QStringLiteral("N")).asInt();
    };
    return {count("User.db"), count("goals.db"), count("Strategys.db"), count("Measure.db")};
}

struct Result {
    int code;
    QString err;
};

Result admin(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(VARDIMO_ADMIN_PATH), args);
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

TEST(SampleScale, MakesThatManyTimesTheGoalsStrategiesAndMeasurementsOverTheSameUsers) {
    TempDir one, three;
    tools::createDatabase(one.path(), true, tools::SampleSize::Small);
    const Result r =
        admin({QStringLiteral("create"), three.file(QStringLiteral("db")), QStringLiteral("--sample"),
               QStringLiteral("small"), QStringLiteral("--scale"), QStringLiteral("3")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const Counts a = countRows(one.path());
    const Counts b = countRows(three.file(QStringLiteral("db")));
    ASSERT_GT(a.goals, 0);
    ASSERT_GT(a.strategies, 0);
    EXPECT_EQ(b.users, a.users);
    EXPECT_EQ(b.goals, 3 * a.goals);
    EXPECT_EQ(b.strategies, 3 * a.strategies);
    EXPECT_EQ(b.measures, 3 * a.measures);
}

TEST(SampleScale, ABadScaleIsRefusedWithAMessageAndMakesNothing) {
    TempDir dir;
    const QString folder = dir.file(QStringLiteral("db"));
    for (const char* bad : {"0", "-2", "21", "2.5", "five", ""}) {
        const Result r =
            admin({QStringLiteral("create"), folder, QStringLiteral("--sample"), QStringLiteral("large"),
                   QStringLiteral("--scale"), QString::fromLatin1(bad)});
        EXPECT_EQ(r.code, 2) << bad;
        EXPECT_TRUE(r.err.contains(QStringLiteral("scale must be a whole number from 1 to 20")))
            << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(folder)) << bad;
    }
    const Result missing =
        admin({QStringLiteral("create"), folder, QStringLiteral("--sample"), QStringLiteral("--scale")});
    EXPECT_EQ(missing.code, 2);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("scale"))) << missing.err.toStdString();
    const Result noSample =
        admin({QStringLiteral("create"), folder, QStringLiteral("--scale"), QStringLiteral("2")});
    EXPECT_EQ(noSample.code, 2);
    EXPECT_TRUE(noSample.err.contains(QStringLiteral("--sample"))) << noSample.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder));

    EXPECT_THROW(tools::createDatabase(folder, true, tools::SampleSize::Small, {}, 0), engine::Error);
    EXPECT_FALSE(QFileInfo::exists(folder));
}

// vardimo-admin's server work against a real PostgreSQL server: a folder moved onto a server
// keeps every row and key, and what could not be copied leaves nothing behind.

#include "ServerAdmin.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/PgBackend.h"
#include "support/PgServer.h"
#include "support/TempDir.h"

#include <QSqlQuery>
#include <gtest/gtest.h>

using testing_support::PgTestDatabase;
using testing_support::TempDir;

namespace {

std::map<QString, qint64> folderCounts(const QString& folder) {
    engine::Session session;
    engine::Database db(session);
    db.open(folder);
    std::map<QString, qint64> out;
    for (const auto& t : engine::tables()) {
        db.attach(t);
        QSqlQuery q = db.exec(QStringLiteral("SELECT count(*) FROM %1").arg(t.qualifiedName()));
        out[t.fileName] = q.next() ? q.value(0).toLongLong() : -1;
    }
    return out;
}

std::map<QString, qint64> serverCounts(const QString& uri) {
    std::map<QString, qint64> out;
    for (const auto& t : tools::serverInfo(uri))
        out[t.fileName] = t.records;
    return out;
}

} // namespace

TEST(ServerAdmin, CopyKeepsEveryRowAndKeyAndAdvancesTheKeys) {
    PgTestDatabase server;
    ASSERT_FALSE(server.uri().isEmpty());
    TempDir dir;
    const QString folder = dir.file("db");
    tools::createDatabase(folder, true, tools::SampleSize::Small);

    QStringList said;
    tools::copyToServer(folder, server.uri(), [&](const QString& s) { said << s; });
    EXPECT_TRUE(said.last().startsWith("Compared every row")) << said.join('\n').toStdString();
    const auto counts = folderCounts(folder);
    EXPECT_EQ(serverCounts(server.uri()), counts);
    EXPECT_GT(counts.at("Strategys.db"), 50);
    EXPECT_TRUE(tools::compareWithServer(folder, server.uri()).isEmpty());

    engine::PgBackend pg;
    pg.open(server.uri(), "test");
    QSqlQuery q = pg.exec("SELECT max(goalid) FROM goals");
    ASSERT_TRUE(q.next());
    const qint64 highest = q.value(0).toLongLong();
    q = pg.exec(pg.insertSql(*engine::findTable("goals.db"), {"GoalDescription"}), {QStringLiteral("new")});
    EXPECT_EQ(pg.insertedKey(q), highest + 1);
    // The copy is read by the server's planner before anyone works on it.
    q = pg.exec("SELECT count(*) FROM pg_stats WHERE tablename = 'strategys'");
    ASSERT_TRUE(q.next());
    EXPECT_GT(q.value(0).toInt(), 0);
    // The profile 0 of the folder came along with its number.
    q = pg.exec("SELECT count(*) FROM security WHERE securityid = 0");
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);

    // The comparison sees a changed row, and only that one.
    pg.exec("UPDATE goals SET goaldescription = 'changed on the server' WHERE goalid = 1");
    pg.exec("DELETE FROM goals WHERE goalid = ?", {highest + 1});
    const QStringList differences = tools::compareWithServer(folder, server.uri());
    ASSERT_EQ(differences.size(), 1) << differences.join('\n').toStdString();
    EXPECT_TRUE(differences[0].contains("goals.db row 1, GoalDescription")) << differences[0].toStdString();

    // A second copy onto the same database writes nothing.
    try {
        tools::copyToServer(folder, server.uri());
        ADD_FAILURE() << "copied over an existing database";
    } catch (const engine::Error& e) {
        EXPECT_TRUE(e.message().contains("already exists")) << e.message().toStdString();
    }
    EXPECT_EQ(tools::compareWithServer(folder, server.uri()).size(), 1);
}

TEST(ServerAdmin, ACopyThatFailsLeavesNothingAndANewDatabaseHasItsFirstRows) {
    PgTestDatabase server;
    ASSERT_FALSE(server.uri().isEmpty());
    TempDir dir;
    const QString folder = dir.file("db");
    tools::createDatabase(folder, true, tools::SampleSize::Small);
    {
        // A date the server cannot take, as a damaged or hand-edited file might hold.
        engine::Session session;
        engine::Database db(session);
        db.open(folder);
        db.attach(*engine::findTable("Strategys.db"));
        db.exec("UPDATE \"strategys\".\"strategys\" SET \"CompleationDate\" = '2024-02-31' WHERE rowid = 3");
    }
    try {
        tools::copyToServer(folder, server.uri());
        ADD_FAILURE() << "copied an impossible date";
    } catch (const engine::Error& e) {
        EXPECT_TRUE(e.message().contains("Strategys.db")) << e.message().toStdString();
    }
    try {
        tools::serverInfo(server.uri());
        ADD_FAILURE() << "a failed copy left tables behind";
    } catch (const engine::Error& e) {
        EXPECT_TRUE(e.message().contains("holds no Vardimo database")) << e.message().toStdString();
    }

    tools::createServerDatabase(server.uri(), false, tools::SampleSize::Small);
    const auto counts = serverCounts(server.uri());
    EXPECT_EQ(counts.at("Settings.db"), 1);
    EXPECT_EQ(counts.at("Security.db"), 1);
    EXPECT_EQ(counts.at("User.db"), 1);
    EXPECT_EQ(counts.at("goals.db"), 0);
}

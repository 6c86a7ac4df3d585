// A server database whose server holds the logons and the rights: each sample user logs on as
// his own role through the program's logon and through psql, and with psql can do no more than
// his profile and access list let him do in the program.

#include "ServerAdmin.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "data/Packing.h"
#include "engine/Error.h"
#include "engine/PgBackend.h"
#include "engine/PgRoles.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "support/PgServer.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlQuery>
#include <QStandardPaths>
#include <gtest/gtest.h>

using testing_support::PgTestDatabase;

namespace {

const QString kSupervisorPassword = QStringLiteral("Keeper of 7 keys");

struct Psql {
    bool ok = false;
    QString out;
    QString err;
};

QString psqlProgram() {
    QString p = QStandardPaths::findExecutable(QStringLiteral("psql"));
    if (p.isEmpty())
        p = QStandardPaths::findExecutable(QStringLiteral("psql"),
                                           {QStringLiteral("/usr/lib/postgresql/15/bin"),
                                            QStringLiteral("/usr/lib/postgresql/16/bin"),
                                            QStringLiteral("/usr/lib/postgresql/17/bin")});
    return p;
}

class SecureServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new PgTestDatabase;
        if (server_->uri().isEmpty()) return;
        tools::createServerDatabase(server_->uri(), true, tools::SampleSize::Small);
        // An existing database is converted: the passwords move into the roles.
        const tools::Secured done = tools::secureServerDatabase(server_->uri());
        EXPECT_FALSE(done.renewed);
        EXPECT_EQ(done.roles.withoutPassword, QStringList{"Supervisor"});
        tools::setServerPassword(server_->uri(), "Supervisor", kSupervisorPassword);
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_FALSE(uri().isEmpty());
        ASSERT_FALSE(psqlProgram().isEmpty()) << "psql is not installed";
    }

    static const QString& uri() { return server_->uri(); }

    // One statement through psql as a user's role with his password; the rows as lines.
    static Psql psql(const QString& userId, const QString& password, const QString& sql) {
        return psqlOn(uri(), userId, password, sql);
    }
    static Psql psqlOn(const QString& on, const QString& userId, const QString& password,
                       const QString& sql) {
        const engine::PgLocation loc = engine::PgLocation::parse(on);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"), password);
        env.remove(QStringLiteral("PGPASSFILE"));
        env.insert(QStringLiteral("PGCONNECT_TIMEOUT"), QStringLiteral("10"));
        p.setProcessEnvironment(env);
        p.start(psqlProgram(),
                {"-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-h", loc.host, "-d", loc.database, "-U",
                 engine::PgRoles::roleName(loc.database, userId), "-c", sql});
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
                QString::fromUtf8(p.readAllStandardOutput()).trimmed(),
                QString::fromUtf8(p.readAllStandardError()).trimmed()};
    }

    // A number the database's owner reads, past every policy.
    static qint64 asOwner(const QString& sql, const QString& on = uri()) {
        engine::PgBackend pg;
        pg.open(on, QStringLiteral("test"));
        QSqlQuery q = pg.exec(sql);
        return q.next() ? q.value(0).toLongLong() : -1;
    }
    static int number(const QString& userId) {
        return int(
            asOwner(QStringLiteral("SELECT usernumber FROM \"user\" WHERE userid = '%1'").arg(userId)));
    }

    static PgTestDatabase* server_;
};

PgTestDatabase* SecureServer::server_ = nullptr;

// What a statement that changes rows changed, as psql prints it.
QString changed(const QString& dml) {
    return QStringLiteral("WITH c AS (%1 RETURNING 1) SELECT count(*) FROM c").arg(dml);
}

} // namespace

TEST_F(SecureServer, EverySampleUserLogsOnThroughTheProgramAsHisRoleAndNobodyWithAWrongPassword) {
    const struct {
        const char* id;
        QString password;
        int profile;
    } users[] = {{"JSMITH", "smith", 1},
                 {"mjones", "jones", 2},
                 {"RBROWN", "brown", 2},
                 {"AWHITE", "white", 3},
                 {"Supervisor", kSupervisorPassword, 0}};
    for (const auto& u : users) {
        engine::Session session;
        session.addAlias(QStringLiteral("Goal"), uri());
        data::DataModule dm(session);
        EXPECT_FALSE(data::logOnToServer(dm, u.id, u.password + "x")) << u.id;
        EXPECT_FALSE(dm.isOpen());
        ASSERT_TRUE(data::logOnToServer(dm, u.id, u.password)) << u.id;
        EXPECT_TRUE(data::serverHoldsLogons(dm));
        EXPECT_EQ(dm.user().id, QString::fromLatin1(u.id).toUpper());
        EXPECT_EQ(dm.user().profileId, u.profile) << u.id;
        // The sessions and the logged-in list work as in the plain server mode.
        EXPECT_TRUE(dm.goalDatabase.backend().sessions().size() >= 1);

        const Psql who = psql(u.id, u.password, "SELECT session_user");
        EXPECT_TRUE(who.ok) << who.err.toStdString();
        EXPECT_EQ(who.out, engine::PgRoles::roleName(engine::PgLocation::parse(uri()).database, u.id));
        EXPECT_FALSE(psql(u.id, "wrong", "SELECT 1").ok) << u.id;
    }
    // The password column is not used: nobody, not even the owner, finds one there.
    EXPECT_EQ(asOwner("SELECT count(*) FROM \"user\" WHERE coalesce(userpassword, '') <> ''"), 0);
}

TEST_F(SecureServer, AwhiteReadsNoPasswordKeepsHerProfileAndSeesAndChangesOnlyWhatSheMay) {
    const int awhite = number("AWHITE"), next = awhite + 1, other = number("MJONES");
    // She sees the next user (her access list), and may not change his strategies.
    ASSERT_EQ(
        asOwner(QStringLiteral("SELECT count(*) FROM accesslist WHERE usernumber = %1 AND canseeuser = %2 "
                               "AND canedituser = 0")
                    .arg(awhite)
                    .arg(next)),
        1);
    ASSERT_GT(asOwner(QStringLiteral("SELECT count(*) FROM strategys WHERE usernumber = %1").arg(other)), 0);
    ASSERT_GT(asOwner(QStringLiteral("SELECT count(*) FROM strategys WHERE usernumber = %1").arg(next)), 0);

    Psql r = psql("AWHITE", "white", "SELECT rolpassword FROM pg_authid");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.err.contains("permission denied")) << r.err.toStdString();
    r = psql("AWHITE", "white", "SELECT count(*) FROM \"user\" WHERE userpassword IS NOT NULL");
    EXPECT_EQ(r.out, "0");
    // Nobody else's user row, though the names of those whose strategies she sees.
    r = psql("AWHITE", "white", "SELECT string_agg(userid, ',' ORDER BY usernumber) FROM \"user\"");
    const Psql seen = psql("Supervisor", kSupervisorPassword,
                           QStringLiteral("SELECT userid FROM \"user\" WHERE usernumber = %1").arg(next));
    EXPECT_EQ(r.out, "AWHITE," + seen.out);

    r = psql("AWHITE", "white", "UPDATE \"user\" SET securityid = 0 WHERE userid = 'AWHITE'");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(asOwner("SELECT securityid FROM \"user\" WHERE userid = 'AWHITE'"), 3);
    psql("AWHITE", "white", "UPDATE security SET canadduser = 1 WHERE securityid = 3");
    EXPECT_EQ(asOwner("SELECT canadduser FROM security WHERE securityid = 3"), 0);
    EXPECT_FALSE(psql("AWHITE", "white",
                      "INSERT INTO \"user\" (userid, username, securityid) VALUES "
                      "('EVE', 'Eve', 0)")
                     .ok);
    EXPECT_FALSE(psql("AWHITE", "white", "ALTER TABLE strategys DISABLE ROW LEVEL SECURITY").ok);
    // A user she may not delete is refused out loud, not skipped unseen.
    r = psql("AWHITE", "white", "DELETE FROM \"user\" WHERE userid = 'AWHITE'");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.err.contains("Only an administrator deletes a user")) << r.err.toStdString();
    EXPECT_EQ(asOwner("SELECT count(*) FROM \"user\" WHERE userid = 'AWHITE'"), 1);

    r = psql("AWHITE", "white",
             QStringLiteral("SELECT count(*) FROM strategys WHERE usernumber = %1").arg(other));
    EXPECT_EQ(r.out, "0");
    r = psql("AWHITE", "white", "SELECT count(*) FROM strategys");
    EXPECT_EQ(r.out.toLongLong(),
              asOwner(QStringLiteral("SELECT count(*) FROM strategys WHERE usernumber IN (%1, %2)")
                          .arg(awhite)
                          .arg(next)));
    r = psql("AWHITE", "white",
             changed(QStringLiteral("UPDATE strategys SET commentsstatus = 'mine now' WHERE usernumber = %1")
                         .arg(next)));
    EXPECT_EQ(r.out, "0") << r.err.toStdString();
    EXPECT_EQ(asOwner("SELECT count(*) FROM strategys WHERE commentsstatus = 'mine now'"), 0);
    r = psql("AWHITE", "white",
             changed(QStringLiteral("UPDATE strategys SET commentsstatus = 'on track' WHERE usernumber = %1")
                         .arg(awhite)));
    EXPECT_GT(r.out.toInt(), 0) << r.err.toStdString();
    EXPECT_FALSE(psql("AWHITE", "white", "INSERT INTO goaltype (typedescription) VALUES ('Mine')").ok);
    // She may set her own password, nobody else's.
    EXPECT_FALSE(psql("AWHITE", "white",
                      QStringLiteral("SELECT vardimo_set_password('MJONES', '%1')")
                          .arg(engine::PgRoles::scramVerifier("taken")))
                     .ok);
    // Nor through the functions behind the trigger.
    EXPECT_FALSE(psql("AWHITE", "white",
                      QStringLiteral("SELECT vardimo_apply_password('MJONES', '%1')")
                          .arg(engine::PgRoles::scramVerifier("taken")))
                     .ok);
    EXPECT_FALSE(psql("AWHITE", "white", "SELECT vardimo_make_role('MALLORY')").ok);
    EXPECT_TRUE(psql("MJONES", "jones", "SELECT 1").ok);
}

TEST_F(SecureServer, MjonesEditsTheStrategiesOfUsersSheMayEditAndOnlySeesTheOthers) {
    const int mjones = number("MJONES"), rbrown = number("RBROWN"), awhite = number("AWHITE");
    const Psql edit = psql(
        "MJONES", "jones",
        changed(QStringLiteral("UPDATE strategys SET deliverable = 'checked by MJONES' WHERE usernumber = %1")
                    .arg(awhite)));
    EXPECT_GT(edit.out.toInt(), 0) << edit.err.toStdString();
    EXPECT_EQ(
        asOwner(QStringLiteral("SELECT count(*) FROM strategys WHERE usernumber = %1 AND deliverable <> "
                               "'checked by MJONES'")
                    .arg(awhite)),
        0);
    const Psql onlySee = psql(
        "MJONES", "jones",
        changed(QStringLiteral("UPDATE strategys SET deliverable = 'x' WHERE usernumber = %1").arg(rbrown)));
    EXPECT_EQ(onlySee.out, "0");
    EXPECT_GT(psql("MJONES", "jones",
                   QStringLiteral("SELECT count(*) FROM strategys WHERE usernumber = %1").arg(rbrown))
                  .out.toInt(),
              0);
    EXPECT_EQ(psql("MJONES", "jones",
                   QStringLiteral("SELECT count(*) FROM strategys WHERE usernumber NOT IN (%1, %2, %3)")
                       .arg(mjones)
                       .arg(rbrown)
                       .arg(awhite))
                  .out,
              "0");
    // A strategy of hers for a user she may not edit is refused.
    EXPECT_FALSE(
        psql("MJONES", "jones",
             QStringLiteral("INSERT INTO strategys (strategynumber, usernumber) VALUES (99, %1)").arg(rbrown))
            .ok);
}

TEST_F(SecureServer, JsmithDoesWhatHisProfileAllowsAndNoMore) {
    // His profile keeps users, profiles, departments and goal types, and sees every strategy.
    EXPECT_EQ(psql("JSMITH", "smith", "SELECT count(*) FROM strategys").out.toLongLong(),
              asOwner("SELECT count(*) FROM strategys"));
    EXPECT_TRUE(psql("JSMITH", "smith", "INSERT INTO goaltype (typedescription) VALUES ('Safety')").ok);
    EXPECT_TRUE(psql("JSMITH", "smith", "UPDATE department SET description = description").ok);
    EXPECT_EQ(psql("JSMITH", "smith", "SELECT count(*) FROM \"user\"").out.toLongLong(),
              asOwner("SELECT count(*) FROM \"user\""));
    // No more: the server's own rights and the policies stay out of his reach.
    for (const char* sql : {"SELECT rolpassword FROM pg_authid", "CREATE ROLE sneaky LOGIN SUPERUSER",
                            "ALTER TABLE \"user\" DISABLE ROW LEVEL SECURITY", "DROP POLICY see ON strategys",
                            "CREATE TABLE public.mine (x integer)", "DROP TABLE goals"}) {
        const Psql r = psql("JSMITH", "smith", QString::fromLatin1(sql));
        EXPECT_FALSE(r.ok) << sql;
    }
    // Making a user with a profile that would let him do more works for him only as the
    // program's user setup does it: a row and its role, nothing of the server's.
    EXPECT_TRUE(psql("JSMITH", "smith",
                     "INSERT INTO \"user\" (userid, username, securityid) VALUES ('HELPER', 'Helper', 3)")
                    .ok);
    EXPECT_EQ(psql("JSMITH", "smith",
                   "SELECT rolsuper OR rolcreaterole FROM pg_roles WHERE rolname = '" +
                       engine::PgRoles::roleName(engine::PgLocation::parse(uri()).database, "HELPER") + "'")
                  .out,
              "f");
}

TEST_F(SecureServer, TheSupervisorAdministersUsersAndTheirRolesInTheSameTransaction) {
    engine::Session session;
    session.addAlias(QStringLiteral("Goal"), uri());
    data::DataModule dm(session);
    ASSERT_TRUE(data::logOnToServer(dm, "Supervisor", kSupervisorPassword));
    auto& pg = dynamic_cast<engine::PgBackend&>(dm.goalDatabase.backend());
    // As the user setup screen stores a new user: the row and his role with the password typed.
    engine::Table& users = dm.userSettingsTable;
    users.insert();
    users.field("UserID").setValue("NEWBIE");
    users.field("UserPassword").setValue("first day");
    users.field("UserName").setValue("New Bie");
    users.field("SecurityID").setValue(3);
    users.post();
    EXPECT_EQ(psql("NEWBIE", "first day", "SELECT userid || coalesce(userpassword, '-') FROM \"user\"").out,
              "NEWBIE-");
    // A rename keeps the password; a password written into the row becomes the role's.
    pg.exec("UPDATE \"user\" SET userid = 'NEWER' WHERE userid = 'NEWBIE'");
    EXPECT_FALSE(psql("NEWBIE", "first day", "SELECT 1").ok);
    EXPECT_TRUE(psql("NEWER", "first day", "SELECT 1").ok);
    pg.exec("UPDATE \"user\" SET userpassword = 'second day' WHERE userid = 'NEWER'");
    EXPECT_EQ(asOwner("SELECT count(*) FROM \"user\" WHERE userpassword IS NOT NULL"), 0);
    EXPECT_FALSE(psql("NEWER", "first day", "SELECT 1").ok);
    EXPECT_TRUE(psql("NEWER", "second day", "SELECT 1").ok);
    // A failed change of the row takes the role's change back with it.
    QSqlDatabase db = pg.connection();
    ASSERT_TRUE(db.transaction());
    pg.exec("UPDATE \"user\" SET userid = 'RENAMED' WHERE userid = 'NEWER'");
    db.rollback();
    EXPECT_TRUE(psql("NEWER", "second day", "SELECT 1").ok);
    EXPECT_FALSE(psql("RENAMED", "second day", "SELECT 1").ok);
    pg.exec("DELETE FROM \"user\" WHERE userid = 'NEWER'");
    EXPECT_FALSE(psql("NEWER", "second day", "SELECT 1").ok);
    EXPECT_EQ(psql("Supervisor", kSupervisorPassword,
                   "SELECT count(*) FROM pg_roles WHERE rolname = '" +
                       engine::PgRoles::roleName(engine::PgLocation::parse(uri()).database, "NEWER") + "'")
                  .out,
              "0");
    // A user sets his own password, as user settings does.
    {
        engine::Session own;
        own.addAlias(QStringLiteral("Goal"), uri());
        data::DataModule hers(own);
        ASSERT_TRUE(data::logOnToServer(hers, "AWHITE", "white"));
        auto& herPg = dynamic_cast<engine::PgBackend&>(hers.goalDatabase.backend());
        engine::PgRoles::setPassword(herPg, "AWHITE", "whiter");
        EXPECT_TRUE(psql("AWHITE", "whiter", "SELECT 1").ok);
        EXPECT_FALSE(psql("AWHITE", "white", "SELECT 1").ok);
        engine::PgRoles::setPassword(herPg, "AWHITE", "white");
    }
    // A user's own profile stays his to keep for the supervisor only.
    EXPECT_TRUE(
        psql("Supervisor", kSupervisorPassword, "UPDATE security SET canaddgoaltype = 1 WHERE securityid = 3")
            .ok);
    EXPECT_TRUE(psql("AWHITE", "white", "INSERT INTO goaltype (typedescription) VALUES ('Hers')").ok);
    EXPECT_TRUE(
        psql("Supervisor", kSupervisorPassword, "UPDATE security SET canaddgoaltype = 0 WHERE securityid = 3")
            .ok);
}

TEST(SecureServerVerifier, IsTheServersOwnForm) {
    // The keys of RFC 7677's example (password "pencil"), as the server stores them.
    const QString v =
        engine::PgRoles::scramVerifier("pencil", QByteArray::fromBase64("W22ZaJ0SNY7soEsUEjb6gQ=="), 4096);
    EXPECT_EQ(v, "SCRAM-SHA-256$4096:W22ZaJ0SNY7soEsUEjb6gQ==$WG5d8oPm3OtcPnkdi4Uo7BkeZkBFzpcXkuLmtbsT4qY=:"
                 "wfPLwcE6nTWhTAmQ7tl2KeoiWGPlZqQxSrmfPwDl2dU=");
}

TEST(SecureServerCreate, MakesTheTablesAndTheRolesTogetherOrNothing) {
    PgTestDatabase server;
    ASSERT_FALSE(server.uri().isEmpty());
    const QString database = engine::PgLocation::parse(server.uri()).database;
    // A role of that name made by somebody else is never taken over: nothing is made.
    ASSERT_TRUE(server.run(
        QStringLiteral("CREATE ROLE \"%1\" LOGIN").arg(engine::PgRoles::roleName(database, "Supervisor"))));
    EXPECT_THROW(tools::createSecureServerDatabase(server.uri(), false, tools::SampleSize::Small),
                 engine::Error);
    EXPECT_THROW(tools::serverInfo(server.uri()), engine::Error);
    ASSERT_TRUE(server.run(
        QStringLiteral("DROP ROLE \"%1\"").arg(engine::PgRoles::roleName(database, "Supervisor"))));

    EXPECT_EQ(tools::createSecureServerDatabase(server.uri(), false, tools::SampleSize::Small),
              QStringList{"Supervisor"});
    PgTestDatabase sample;
    EXPECT_EQ(tools::createSecureServerDatabase(sample.uri(), true, tools::SampleSize::Small),
              QStringList{"Supervisor"});
    tools::setServerPassword(server.uri(), "SUPERVISOR", "first of all");
    engine::Session session;
    session.addAlias(QStringLiteral("Goal"), server.uri());
    data::DataModule dm(session);
    ASSERT_TRUE(data::logOnToServer(dm, "supervisor", "first of all"));
    EXPECT_EQ(dm.user().profileId, 0);
}

TEST_F(SecureServer, AGoalGoesWithEveryStrategyUnderItOrNotAtAll) {
    const int mjones = number("MJONES"), awhite = number("AWHITE");
    // MJONES may change every goal but not the strategies of most users: a goal with strategies
    // and measurements of users she may not edit.
    const qint64 goal =
        asOwner(QStringLiteral("SELECT s.goalid FROM strategys s JOIN measure m ON "
                               "m.strategyid = s.strategyid WHERE s.usernumber NOT IN (%1, %2) "
                               "ORDER BY s.goalid LIMIT 1")
                    .arg(mjones)
                    .arg(awhite));
    ASSERT_GT(goal, 0);
    const QString under = QStringLiteral("FROM strategys WHERE goalid = %1").arg(goal);
    const QString measured =
        QStringLiteral("FROM measure WHERE strategyid IN (SELECT strategyid %1)").arg(under);
    const qint64 strategies = asOwner("SELECT count(*) " + under),
                 measurements = asOwner("SELECT count(*) " + measured);
    ASSERT_GT(measurements, 0);

    // AWHITE may not delete it: the server says so and nothing goes, not even what she may change.
    Psql r = psql("AWHITE", "white",
                  QStringLiteral("BEGIN; DELETE FROM strategys WHERE goalid = %1 AND usernumber = %2; "
                                 "DELETE FROM goals WHERE goalid = %1; COMMIT")
                      .arg(goal)
                      .arg(awhite));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.err.contains("You may not delete the goal")) << r.err.toStdString();
    EXPECT_EQ(asOwner(QStringLiteral("SELECT count(*) FROM goals WHERE goalid = %1").arg(goal)), 1);
    EXPECT_EQ(asOwner("SELECT count(*) " + under), strategies);
    EXPECT_EQ(asOwner("SELECT count(*) " + measured), measurements);

    // MJONES deletes it as the goals screen does: her own part first, then the goal, which
    // takes the rest with it.
    r = psql(
        "MJONES", "jones",
        QStringLiteral("BEGIN; DELETE FROM measure WHERE strategyid IN (SELECT strategyid FROM strategys "
                       "WHERE goalid = %1); DELETE FROM strategys WHERE goalid = %1; "
                       "DELETE FROM goals WHERE goalid = %1; COMMIT")
            .arg(goal));
    EXPECT_TRUE(r.ok) << r.err.toStdString();
    EXPECT_EQ(asOwner(QStringLiteral("SELECT count(*) FROM goals WHERE goalid = %1").arg(goal)), 0);
    EXPECT_EQ(asOwner("SELECT count(*) " + under), 0);
    EXPECT_EQ(asOwner(QStringLiteral("SELECT count(*) FROM measure m WHERE NOT EXISTS (SELECT 1 FROM "
                                     "strategys s WHERE s.strategyid = m.strategyid)")),
              0);
}

TEST_F(SecureServer, AnyUserIdIsARoleOfItsOwnThatLogsOn) {
    engine::Session session;
    session.addAlias(QStringLiteral("Goal"), uri());
    data::DataModule dm(session);
    ASSERT_TRUE(data::logOnToServer(dm, "Supervisor", kSupervisorPassword));
    const QString database = engine::PgLocation::parse(uri()).database;
    const QString longest(40, QLatin1Char('q'));
    const QString longUnicode = QStringLiteral("Ærøskøbing-Ünal-Škoda-Πέτρος-Ольга-ıß日本語😀x");
    const QStringList ids{QStringLiteral("Zoë O'Brien"),
                          QStringLiteral("say \"hi\"; DROP ROLE x; --"),
                          longest,
                          longest.left(39) + QLatin1Char('r'),
                          longUnicode.left(40),
                          QStringLiteral("ßtraße")};
    int n = 0;
    for (const QString& id : ids) {
        const QString password = QStringLiteral("pass %1 'x\"").arg(++n);
        engine::Table& users = dm.userSettingsTable;
        users.insert();
        users.field("UserID").setValue(id);
        users.field("UserPassword").setValue(password);
        users.field("UserName").setValue(QStringLiteral("Odd %1").arg(n));
        users.field("SecurityID").setValue(3);
        ASSERT_NO_THROW(users.post()) << id.toStdString();
        const QString role = engine::PgRoles::roleName(database, id);
        EXPECT_LE(role.toUtf8().size(), 63) << id.toStdString();
        // The server made exactly the role the program connects as.
        EXPECT_EQ(psql("Supervisor", kSupervisorPassword,
                       QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = '%1'")
                           .arg(QString(role).replace("'", "''")))
                      .out,
                  "1")
            << role.toStdString();
        engine::Session own;
        own.addAlias(QStringLiteral("Goal"), uri());
        data::DataModule theirs(own);
        // The id typed in other letters reaches the same role.
        ASSERT_TRUE(data::logOnToServer(theirs, id.toLower(), password)) << id.toStdString();
        EXPECT_EQ(theirs.user().name, QStringLiteral("Odd %1").arg(n));
        EXPECT_EQ(psql(id, password, "SELECT username FROM \"user\" WHERE usernumber = vardimo_me()").out,
                  QStringLiteral("Odd %1").arg(n));
    }
    // Two long ids that differ only past the server's limit are two roles.
    EXPECT_NE(engine::PgRoles::roleName(database, ids[2]), engine::PgRoles::roleName(database, ids[3]));
    EXPECT_EQ(psql("Supervisor", kSupervisorPassword, "SELECT 1 FROM pg_roles WHERE rolname = 'x'").out, "");
}

TEST_F(SecureServer, PackingByAUserSaysWhoMayPackAndLeavesEveryTableOpen) {
    engine::Session session;
    session.addAlias(QStringLiteral("Goal"), uri());
    data::DataModule dm(session);
    ASSERT_TRUE(data::logOnToServer(dm, "JSMITH", "smith"));
    ASSERT_TRUE(dm.user().rights.canPackDatabase);
    struct : data::PackProgress {
        QStringList texts;
        void setStatus(const QString& t) override { texts << t; }
    } progress;
    try {
        data::packDatabase(dm, progress);
        ADD_FAILURE() << "packing reported nothing";
    } catch (const engine::Error& e) {
        EXPECT_TRUE(e.message().startsWith("Security.db and the tables after it were not packed"))
            << e.what();
        EXPECT_TRUE(e.message().contains("vardimo-admin pack")) << e.what();
    }
    for (engine::Table* t : dm.tablesInOpenOrder()) {
        EXPECT_TRUE(t->isOpen()) << t->def().fileName.toStdString();
        EXPECT_FALSE(t->exclusive()) << t->def().fileName.toStdString();
    }
    EXPECT_GT(dm.strategyTable.recordCount(), 0);
    // The owner packs it, while the workstation keeps working.
    const qint64 strategies = asOwner("SELECT count(*) FROM strategys");
    QStringList packed;
    tools::packServerDatabase(uri(), [&](const QString& line) { packed << line; });
    EXPECT_EQ(packed.size(), 9);
    EXPECT_EQ(asOwner("SELECT count(*) FROM strategys"), strategies);
    dm.strategyTable.refresh();
    EXPECT_GT(dm.strategyTable.recordCount(), 0);
}

TEST_F(SecureServer, ChangesOfUsersWhoMayNotWriteTheHistoryAreKeptAndEachReadsOnlyTheHistoryHeMaySee) {
    const int awhite = number("AWHITE"), mjones = number("MJONES");
    Psql r = psql("MJONES", "jones",
                  changed(QStringLiteral("UPDATE strategys SET commentsstatus = 'kept' WHERE usernumber = %1")
                              .arg(mjones)));
    const int made = r.out.toInt();
    ASSERT_GT(made, 0) << r.err.toStdString();
    r = psql("AWHITE", "white",
             changed(QStringLiteral("UPDATE strategys SET commentsstatus = 'kept' WHERE usernumber = %1")
                         .arg(awhite)));
    ASSERT_GT(r.out.toInt(), 0) << r.err.toStdString();
    EXPECT_EQ(
        asOwner("SELECT count(*) FROM vardimo_history_strategys WHERE newrow ->> 'commentsstatus' = 'kept'"),
        made + r.out.toInt());
    // AWHITE does not see MJONES's strategies, nor their history; nobody writes it by hand.
    r = psql("AWHITE", "white",
             QStringLiteral(
                 "SELECT count(*) FROM vardimo_history_strategys WHERE (newrow ->> 'usernumber')::integer "
                 "= %1")
                 .arg(mjones));
    EXPECT_EQ(r.out, "0") << r.err.toStdString();
    r = psql("AWHITE", "white", "SELECT count(*) > 0 FROM vardimo_history_strategys");
    EXPECT_EQ(r.out, "t") << r.err.toStdString();
    EXPECT_FALSE(psql("AWHITE", "white", "DELETE FROM vardimo_history_strategys").ok);
}

TEST_F(SecureServer, AUserCannotSwitchHerHistoryOffNorRecordHerChangesAsAnotherUsers) {
    const int awhite = number("AWHITE"), jsmith = number("JSMITH");
    const QString mark = QStringLiteral("not by %1").arg(jsmith);
    const Psql r = psql("AWHITE", "white",
                        QStringLiteral("SET vardimo.author = '%1'; SET vardimo.history = 'off'; %2")
                            .arg(jsmith)
                            .arg(changed(QStringLiteral("UPDATE strategys SET commentsstatus = '%1' "
                                                        "WHERE usernumber = %2")
                                             .arg(mark)
                                             .arg(awhite))));
    const int made = r.out.toInt();
    ASSERT_GT(made, 0) << r.err.toStdString();
    const QString recorded =
        QStringLiteral("SELECT count(*) FROM vardimo_history_strategys WHERE newrow ->> 'commentsstatus' = "
                       "'%1' AND changedby %2")
            .arg(mark);
    EXPECT_EQ(asOwner(recorded.arg(QStringLiteral("= %1").arg(awhite))), made);
    EXPECT_EQ(asOwner(recorded.arg(QStringLiteral("IS DISTINCT FROM %1").arg(awhite))), 0);
}

namespace {

// Every row of every table as the owner reads it, the password column left out: what a renewal
// must leave as it was.
QStringList storedRows(const QString& uri) {
    engine::PgBackend pg;
    pg.open(uri, QStringLiteral("test"));
    QStringList out;
    for (const engine::TableDef& t : engine::tables()) {
        QSqlQuery q =
            pg.exec(QStringLiteral("SELECT (to_jsonb(x) - 'userpassword')::text AS r FROM %1 x ORDER BY r")
                        .arg(pg.tableName(t)));
        while (q.next())
            out << t.fileName + QLatin1Char(' ') + q.value(0).toString();
    }
    return out;
}

} // namespace

TEST_F(SecureServer, SecuringAgainBringsAnEarlierVersionsRulesUpToDateAndKeepsEveryRoleAndRow) {
    PgTestDatabase older;
    ASSERT_FALSE(older.uri().isEmpty());
    tools::createSecureServerDatabase(older.uri(), true, tools::SampleSize::Small);
    const QString database = engine::PgLocation::parse(older.uri()).database;
    const QString longId = "A PERSON WITH A RATHER LONG USER ID OF FORTY";
    ASSERT_TRUE(older.run(QStringLiteral("INSERT INTO \"user\" (userid, userpassword, username, securityid) "
                                         "VALUES ('%1', 'long pw', 'Lon Long', 3)")
                              .arg(longId)));
    const QString hers = "SELECT count(*) FROM strategys";
    const QString awhiteSees = psqlOn(older.uri(), "AWHITE", "white", hers).out;
    ASSERT_LT(awhiteSees.toLongLong(), asOwner(hers, older.uri()));

    // As an earlier version left it: its role naming (the server cutting a long name), no
    // trigger on the users or the goals, a wider policy, a grant missing, and a user row added
    // while no trigger made his role.
    const QString role = engine::PgRoles::roleName(database, longId);
    const QString earlierRole = database + "." + longId;
    for (const QString& sql :
         {QStringLiteral("ALTER ROLE \"%1\" RENAME TO \"%2\"").arg(role, earlierRole),
          QStringLiteral("CREATE OR REPLACE FUNCTION vardimo_role(p_userid text) RETURNS text LANGUAGE sql "
                         "STABLE AS $f$ SELECT current_database() || '.' || upper(p_userid) $f$"),
          QStringLiteral("DROP TRIGGER vardimo_user_roles ON \"user\""),
          QStringLiteral("DROP TRIGGER vardimo_goal_removal ON goals"),
          QStringLiteral("DROP POLICY see ON strategys"),
          QStringLiteral("CREATE POLICY see ON strategys FOR SELECT USING (true)"),
          QStringLiteral("CREATE POLICY earlier ON measure FOR SELECT USING (true)"),
          QStringLiteral("REVOKE SELECT ON goaltype FROM \"%1 users\"").arg(database),
          QStringLiteral("CREATE OR REPLACE FUNCTION vardimo_history_strategys_record() RETURNS trigger "
                         "LANGUAGE plpgsql AS $f$ BEGIN RETURN NULL; END $f$"),
          QStringLiteral("INSERT INTO \"user\" (userid, userpassword, username, securityid) "
                         "VALUES ('LATE', 'late pw', 'Lee Late', 3)")})
        ASSERT_TRUE(older.run(sql));
    EXPECT_EQ(psqlOn(older.uri(), "AWHITE", "white", hers).out.toLongLong(), asOwner(hers, older.uri()));
    EXPECT_FALSE(psqlOn(older.uri(), "AWHITE", "white", "SELECT count(*) FROM goaltype").ok);
    const QStringList rows = storedRows(older.uri());

    tools::Secured done = tools::secureServerDatabase(older.uri());
    EXPECT_TRUE(done.renewed);
    EXPECT_EQ(done.roles.renamed, QStringList{longId});
    EXPECT_EQ(done.roles.made, QStringList{"LATE"});
    EXPECT_TRUE(done.roles.withoutPassword.isEmpty());

    EXPECT_EQ(psqlOn(older.uri(), "AWHITE", "white", hers).out, awhiteSees);
    EXPECT_EQ(psqlOn(older.uri(), "AWHITE", "white", "SELECT count(*) FROM measure").out.toLongLong(),
              asOwner("SELECT count(*) FROM measure m JOIN strategys s ON s.strategyid = m.strategyid WHERE "
                      "s.usernumber IN (SELECT usernumber FROM \"user\" WHERE userid = 'AWHITE' UNION "
                      "SELECT canseeuser FROM accesslist a JOIN \"user\" u ON u.usernumber = a.usernumber "
                      "WHERE u.userid = 'AWHITE')",
                      older.uri()));
    EXPECT_TRUE(psqlOn(older.uri(), "AWHITE", "white", "SELECT count(*) FROM goaltype").ok);
    const Psql removal = psqlOn(older.uri(), "AWHITE", "white", "DELETE FROM goals");
    EXPECT_FALSE(removal.ok);
    EXPECT_TRUE(removal.err.contains("You may not delete the goal")) << removal.err.toStdString();
    EXPECT_EQ(storedRows(older.uri()), rows);
    EXPECT_EQ(asOwner("SELECT count(*) FROM \"user\" WHERE userpassword IS NOT NULL", older.uri()), 0);
    // Every role logs on with the password it had, through the program's logon too.
    for (const auto& [id, password] : {std::pair<QString, QString>{longId, "long pw"},
                                       {"LATE", "late pw"},
                                       {"MJONES", "jones"},
                                       {"JSMITH", "smith"}}) {
        engine::Session session;
        session.addAlias(QStringLiteral("Goal"), older.uri());
        data::DataModule dm(session);
        EXPECT_TRUE(data::logOnToServer(dm, id, password)) << id.toStdString();
    }
    // A user added now gets his role from the trigger again.
    EXPECT_TRUE(psqlOn(older.uri(), "JSMITH", "smith",
                       "INSERT INTO \"user\" (userid, userpassword, username, securityid) "
                       "VALUES ('NEXT', 'next pw', 'Nel Next', 3)")
                    .ok);
    EXPECT_TRUE(psqlOn(older.uri(), "NEXT", "next pw", "SELECT 1").ok);

    // Once more changes nothing.
    const QStringList now = storedRows(older.uri());
    done = tools::secureServerDatabase(older.uri());
    EXPECT_TRUE(done.renewed);
    EXPECT_TRUE(done.roles.renamed.isEmpty());
    EXPECT_TRUE(done.roles.made.isEmpty());
    EXPECT_EQ(storedRows(older.uri()), now);
    EXPECT_EQ(psqlOn(older.uri(), "AWHITE", "white", hers).out, awhiteSees);
    // The history's functions are this version's: AWHITE's change is recorded, as hers, though she
    // asks for none.
    const Psql r = psqlOn(older.uri(), "AWHITE", "white",
                          "SET vardimo.history = 'off'; " +
                              changed("UPDATE strategys SET commentsstatus = 'renewed' WHERE usernumber = "
                                      "(SELECT usernumber FROM \"user\" WHERE userid = 'AWHITE')"));
    ASSERT_GT(r.out.toInt(), 0) << r.err.toStdString();
    EXPECT_EQ(asOwner("SELECT count(*) FROM vardimo_history_strategys h JOIN \"user\" u ON u.usernumber = "
                      "h.changedby WHERE u.userid = 'AWHITE' AND h.newrow ->> 'commentsstatus' = 'renewed'",
                      older.uri()),
              r.out.toInt());
}

TEST_F(SecureServer, ADeletedGoalComesBackWholeOnlyForThoseWhoCouldHaveDeletedIt) {
    const qint64 goal = asOwner("SELECT goalid FROM strategys GROUP BY goalid "
                                "ORDER BY count(DISTINCT usernumber) DESC, goalid LIMIT 1");
    const QString under = QStringLiteral("SELECT count(*) FROM strategys WHERE goalid = %1").arg(goal);
    const qint64 strategies = asOwner(under);
    ASSERT_GT(strategies, 1);
    {
        engine::PgBackend pg;
        pg.open(uri(), QStringLiteral("test"));
        pg.exec(QStringLiteral("DELETE FROM goals WHERE goalid = ?"), {goal});
        // Meanwhile one strategy's number is taken: it comes back with the next free one.
        pg.exec(QStringLiteral("INSERT INTO strategys (goalid, usernumber, strategynumber) SELECT goalid, "
                               "usernumber, strategynumber FROM jsonb_populate_recordset(NULL::strategys, "
                               "(SELECT jsonb_agg(oldrow) FROM vardimo_history_strategys WHERE parent = ? "
                               "AND action = 'D')) LIMIT 1"),
                {goal});
    }
    const qint64 group = asOwner(
        QStringLiteral("SELECT changegroup FROM vardimo_history_goals WHERE rowkey = %1 AND action = 'D'")
            .arg(goal));
    const QString restore =
        QStringLiteral("SELECT count(*) FILTER (WHERE r_was <> r_number) FROM vardimo_restore_goal(%1, %2, "
                       "'2026-01-02 03:04:05')")
            .arg(goal)
            .arg(group);
    const Psql refused = psql("AWHITE", "white", restore);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.err.contains("You may not change this goal.")) << refused.err.toStdString();
    EXPECT_EQ(asOwner(QStringLiteral("SELECT count(*) FROM goals WHERE goalid = %1").arg(goal)), 0);

    const Psql back = psql("Supervisor", kSupervisorPassword, restore);
    ASSERT_TRUE(back.ok) << back.err.toStdString();
    EXPECT_EQ(back.out, "1");
    EXPECT_EQ(asOwner(under), strategies + 1);
    EXPECT_EQ(asOwner(QStringLiteral("SELECT count(*) FROM goals WHERE goalid = %1").arg(goal)), 1);
    EXPECT_FALSE(psql("Supervisor", kSupervisorPassword, restore).ok);
}

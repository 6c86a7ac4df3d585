#include "PgServer.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <gtest/gtest.h>
#include <stdexcept>

#ifndef VARDIMO_PG_PEER_PATH
#error "VARDIMO_PG_PEER_PATH must name the server peer program"
#endif
#ifndef VARDIMO_PG_STATE_FILE
#error "VARDIMO_PG_STATE_FILE must name the ctest fixture's server file"
#endif

namespace testing_support {

namespace {

QString withDatabase(const QString& uri, const QString& name) {
    QString out = uri;
    static const QRegularExpression path(QStringLiteral("^(postgres(?:ql)?://[^/?]*)(/[^?]*)?"));
    out.replace(path, QStringLiteral("\\1/") + name);
    return out;
}

// Runs statements on a database of the test server through a connection of its own.
bool runOn(const QString& uri, const QString& database, const QStringList& statements, QString* error) {
    const QString name = QStringLiteral("pgtest-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    bool ok = true;
    {
        // The maintenance URI has the form the test server script writes: user, socket folder.
        static const QRegularExpression re(
            QStringLiteral("^postgres(?:ql)?://([^@/]*)@[^/]*/[^?]*\\?host=(.*)$"));
        const auto m = re.match(uri);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        if (m.hasMatch()) {
            db.setUserName(m.captured(1));
            db.setHostName(m.captured(2));
        }
        db.setDatabaseName(database);
        if (!m.hasMatch() || !db.open()) {
            ok = false;
            if (error)
                *error = m.hasMatch() ? db.lastError().text() : QStringLiteral("unexpected URI ") + uri;
        } else {
            QSqlQuery q(db);
            for (const QString& s : statements)
                if (!q.exec(s)) {
                    ok = false;
                    if (error) *error = q.lastError().text();
                    break;
                }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

QString pgServerUri() {
    QString uri = qEnvironmentVariable("VARDIMO_TEST_PG");
    if (uri.isEmpty()) {
        QFile f(QStringLiteral(VARDIMO_PG_STATE_FILE));
        if (f.open(QIODevice::ReadOnly)) {
            static const QRegularExpression line(QStringLiteral("VARDIMO_TEST_PG='([^']*)'"));
            uri = line.match(QString::fromUtf8(f.readAll())).captured(1);
        }
    }
    if (uri.isEmpty())
        ADD_FAILURE() << "No PostgreSQL test server: run the tests with scripts/test.sh (or ctest, whose "
                         "fixture starts one), or export VARDIMO_TEST_PG";
    return uri;
}

PgTestDatabase::PgTestDatabase() {
    const QString server = pgServerUri();
    if (server.isEmpty()) return;
    name_ = QStringLiteral("vardimo_test_%1").arg(QUuid::createUuid().toString(QUuid::Id128).left(16));
    QString error;
    if (!runOn(server, QStringLiteral("postgres"), {QStringLiteral("CREATE DATABASE %1").arg(name_)},
               &error)) {
        ADD_FAILURE() << "Cannot make a test database on " << server.toStdString() << ": "
                      << error.toStdString();
        name_.clear();
        return;
    }
    uri_ = withDatabase(server, name_);
}

PgTestDatabase::~PgTestDatabase() {
    if (name_.isEmpty()) return;
    // Roles belong to the whole cluster: those a database made for its users go with it. The
    // name is this fixture's own, made of letters, digits and underscores.
    runOn(pgServerUri(), QStringLiteral("postgres"),
          {QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name_),
           QStringLiteral(
               "DO $d$ DECLARE r text; BEGIN FOR r IN SELECT rolname FROM pg_roles WHERE "
               "starts_with(rolname, '%1.') ORDER BY rolname LOOP EXECUTE format('DROP ROLE %I', r); "
               "END LOOP; IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '%1 users') THEN "
               "EXECUTE format('DROP ROLE %I', '%1 users'); END IF; END $d$")
               .arg(name_)},
          nullptr);
}

bool PgTestDatabase::run(const QString& sql) const {
    QString error;
    const bool ok = runOn(pgServerUri(), name_, {sql}, &error);
    if (!ok) ADD_FAILURE() << sql.toStdString() << ": " << error.toStdString();
    return ok;
}

bool PgTestDatabase::acceptConnections(bool accept) const {
    QString error;
    const bool ok = runOn(pgServerUri(), QStringLiteral("postgres"),
                          {QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS %2")
                               .arg(name_, accept ? QStringLiteral("true") : QStringLiteral("false"))},
                          &error);
    if (!ok) ADD_FAILURE() << "ALLOW_CONNECTIONS: " << error.toStdString();
    return ok;
}

PgPeer::PgPeer(const QString& uri, const QString& userName) {
    proc_.setProgram(QStringLiteral(VARDIMO_PG_PEER_PATH));
    proc_.setArguments({uri, userName});
    proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proc_.start();
    if (!proc_.waitForStarted(10000)) throw std::runtime_error("server peer did not start");
    const QString hello = send(QStringLiteral("ping"));
    if (!hello.startsWith(QLatin1String("ok")))
        throw std::runtime_error(("server peer did not open the database: " + hello).toStdString());
}

PgPeer::~PgPeer() {
    if (proc_.state() != QProcess::NotRunning) {
        proc_.write("quit\n");
        proc_.closeWriteChannel();
        if (!proc_.waitForFinished(5000)) kill();
    }
}

QString PgPeer::send(const QString& command, int timeoutMs) {
    proc_.write((command + QLatin1Char('\n')).toUtf8());
    proc_.waitForBytesWritten(timeoutMs);
    while (!proc_.canReadLine()) {
        if (!proc_.waitForReadyRead(timeoutMs)) return QStringLiteral("error no answer");
    }
    return QString::fromUtf8(proc_.readLine()).trimmed();
}

void PgPeer::kill() {
    proc_.kill();
    proc_.waitForFinished(5000);
}

} // namespace testing_support

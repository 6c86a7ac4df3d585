#pragma once

#include "Sample.h"
#include "ServerAdmin.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "engine/Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace bench {

// A line of /proc/self/status in kB ("VmRSS:" resident memory, "VmHWM:" its peak).
inline long statusKb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toLong();
    return -1;
}
inline long residentKb() {
    return statusKb("VmRSS:");
}
inline long peakKb() {
    return statusKb("VmHWM:");
}

// A data module with the alias Goal on a database (a folder or a server URI). A run releases
// the ones it keeps before its application object ends: they own widgets and connections.
struct Module {
    engine::Session session;
    std::unique_ptr<data::DataModule> dm;
    explicit Module(const QString& location) {
        session.addAlias(QStringLiteral("Goal"), location);
        dm = std::make_unique<data::DataModule>(session);
        try {
            dm->open();
        } catch (...) {
            std::abort();
        }
    }
};

// The large sample every benchmark program works on: VARDIMO_BENCH_DB, or bench-data beside the
// program, made on first use and shared by the runs after.
inline QString largeSampleFolder() {
    QString dir = qEnvironmentVariable("VARDIMO_BENCH_DB");
    if (dir.isEmpty())
        dir = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("bench-data"));
    if (!QFileInfo::exists(QDir(dir).filePath(QStringLiteral("User.db")))) {
        std::printf("Making the large sample in %s (once)...\n", qPrintable(dir));
        tools::createDatabase(dir, true, tools::SampleSize::Large,
                              [](const QString& s) { std::printf("  %s\n", qPrintable(s)); });
    }
    return dir;
}

// The large sample made at a scale (several times its goals, strategies and measurements over the
// same users): beside the large sample's folder, with "-xN" after its name; made on first use.
inline QString scaledSampleFolder(int scale) {
    const QString dir = QDir::cleanPath(largeSampleFolder()) + QStringLiteral("-x%1").arg(scale);
    if (!QFileInfo::exists(QDir(dir).filePath(QStringLiteral("User.db")))) {
        std::printf("Making the large sample at %d times its size in %s (once)...\n", scale, qPrintable(dir));
        tools::createDatabase(
            dir, true, tools::SampleSize::Large,
            [](const QString& s) { std::printf("  %s\n", qPrintable(s)); }, scale);
    }
    return dir;
}

// The large sample on a PostgreSQL server: VARDIMO_BENCH_PG (a database holding it, or an empty
// one it is copied into), or else the database "vardimo_bench" on the server VARDIMO_TEST_PG names
// (as scripts/pg-test-server.sh exports it), made and filled on first use. Empty, with the reason
// printed, when no server is named or it cannot be reached.
inline QString largeSampleServer() {
    QString uri = qEnvironmentVariable("VARDIMO_BENCH_PG");
    if (uri.isEmpty()) {
        const QString server = qEnvironmentVariable("VARDIMO_TEST_PG");
        if (server.isEmpty()) {
            std::printf(
                "No PostgreSQL server for the server runs: set VARDIMO_BENCH_PG or VARDIMO_TEST_PG.\n");
            return {};
        }
        static const QRegularExpression path(QStringLiteral("^(postgres(?:ql)?://[^/?]*)(/[^?]*)?"));
        uri = server;
        uri.replace(path, QStringLiteral("\\1/vardimo_bench"));
        // Made through the server's maintenance database when it is not there yet.
        static const QRegularExpression parts(
            QStringLiteral("^postgres(?:ql)?://([^@/]*)@[^/]*/[^?]*\\?host=(.*)$"));
        const auto m = parts.match(server);
        const QString conn = QStringLiteral("vardimo-bench-admin");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conn);
            db.setUserName(m.captured(1));
            db.setHostName(m.captured(2));
            db.setDatabaseName(QStringLiteral("postgres"));
            if (m.hasMatch() && db.open()) {
                QSqlQuery q(db);
                q.exec(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = 'vardimo_bench'"));
                if (!q.next()) q.exec(QStringLiteral("CREATE DATABASE vardimo_bench"));
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(conn);
    }
    try {
        tools::serverInfo(uri);
    } catch (const engine::Error&) {
        // No tables yet: the folder sample is copied, every row and key kept.
        std::printf("Copying the large sample to %s (once)...\n", qPrintable(uri));
        try {
            tools::copyToServer(largeSampleFolder(), uri,
                                [](const QString& s) { std::printf("  %s\n", qPrintable(s)); });
        } catch (const engine::Error& e) {
            std::printf("The server sample cannot be made: %s\n", qPrintable(e.message()));
            return {};
        }
    }
    return uri;
}

// Runs statements on the maintenance database of the server a URI names (made as
// scripts/pg-test-server.sh makes them: postgresql://USER@/DB?host=SOCKETDIR); false when any fails.
inline bool onMaintenanceDatabase(const QString& uri, const QStringList& statements) {
    static const QRegularExpression parts(
        QStringLiteral("^postgres(?:ql)?://([^@/]*)@[^/]*/[^?]*\\?host=(.*)$"));
    const auto m = parts.match(uri);
    if (!m.hasMatch()) return false;
    const QString conn = QStringLiteral("vardimo-bench-maintenance");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conn);
        db.setUserName(m.captured(1));
        db.setHostName(m.captured(2));
        db.setDatabaseName(QStringLiteral("postgres"));
        ok = db.open();
        QSqlQuery q(db);
        for (const QString& s : statements)
            if (ok && !q.exec(s)) {
                std::printf("%s: %s\n", qPrintable(s), qPrintable(q.lastError().text()));
                ok = false;
            }
        db.close();
    }
    QSqlDatabase::removeDatabase(conn);
    return ok;
}

// A fresh copy of a server database under another name, made by the server from it as a
// template (no session may be connected to it meanwhile); the copy's URI, empty when it failed.
inline QString serverDatabaseCopy(const QString& uri, const QString& name) {
    static const QRegularExpression database(QStringLiteral("^(postgres(?:ql)?://[^/?]*/)([^?]*)"));
    const auto m = database.match(uri);
    if (!m.hasMatch()) return {};
    std::printf("Copying %s to %s on the server...\n", qPrintable(m.captured(2)), qPrintable(name));
    if (!onMaintenanceDatabase(uri,
                               {QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name),
                                QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(name, m.captured(2))}))
        return {};
    QString copy = uri;
    return copy.replace(database, QStringLiteral("\\1") + name);
}

} // namespace bench

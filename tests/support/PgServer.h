#pragma once

#include <QProcess>
#include <QString>

namespace testing_support {

// The connection URI of the test server's maintenance database: VARDIMO_TEST_PG as
// scripts/test.sh exports it, or the server the ctest fixture started. Fails the running test
// (never skips it) when neither is there.
QString pgServerUri();

// A fresh database on the test server for one test, dropped afterwards with every connection
// to it.
class PgTestDatabase {
public:
    PgTestDatabase();
    ~PgTestDatabase();
    PgTestDatabase(const PgTestDatabase&) = delete;
    PgTestDatabase& operator=(const PgTestDatabase&) = delete;
    // Empty when the server could not be reached (the test has failed already).
    const QString& uri() const { return uri_; }
    // Runs one statement as the server's superuser on this database; false on failure.
    bool run(const QString& sql) const;
    // Lets the server take new connections to this database, or refuse them as a server that is
    // down does (connections made before stay); false on failure.
    bool acceptConnections(bool accept) const;

private:
    QString name_;
    QString uri_;
};

// A second workstation on a server database: the server peer program as its own process,
// driven line by line.
class PgPeer {
public:
    PgPeer(const QString& uri, const QString& userName);
    ~PgPeer();
    QString send(const QString& command, int timeoutMs = 15000);
    void kill();

private:
    QProcess proc_;
};

} // namespace testing_support

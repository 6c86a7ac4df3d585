#pragma once

#include "Sample.h"
#include "engine/PgRoles.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace engine {
class PgBackend;
}

namespace tools {

struct TableInfo {
    QString fileName;
    qint64 records = 0;
    qint64 bytes = 0;
};

// Record count and size of every table of a database on a PostgreSQL server.
std::vector<TableInfo> serverInfo(const QString& uri);

// Makes a new database on a server (whose database the URI names and which holds no Vardimo
// tables yet); with a sample, the same rows a sample folder of that size and scale gets.
void createServerDatabase(const QString& uri, bool withSample, SampleSize size,
                          const std::function<void(const QString&)>& progress = {}, int scale = 1);

// The same for a database whose server holds the logons and the rights, made in the same
// transaction as the tables (see secureServerDatabase). Returns the ids of users without a
// password.
QStringList createSecureServerDatabase(const QString& uri, bool withSample, SampleSize size,
                                       const std::function<void(const QString&)>& progress = {},
                                       int scale = 1);

// What secureServerDatabase did.
struct Secured {
    // The database held its logons in the server already and was brought up to date.
    bool renewed = false;
    // Users whose roles cannot log on until a password is set; on a renewal also the roles
    // renamed from an earlier version's name and made for users who had none.
    engine::PgRoles::Renewal roles;
};

// Turns a server database into one whose server holds the logons and the rights: a role per user
// with the password the user table held (then cleared), grants and row-level policies, all in
// one transaction. On a database that holds them already, brings what an earlier version made up
// to this version (PgRoles::renew), in one transaction too. The URI names a role that may make
// roles (the database's owner with CREATEROLE).
Secured secureServerDatabase(const QString& uri);

// Gives back the space of deleted rows of every table, as packing does; the URI names the
// tables' owner, the only role the server lets pack them.
void packServerDatabase(const QString& uri, const std::function<void(const QString&)>& progress = {});

// Sets a user's password in such a database, as its owner.
void setServerPassword(const QString& uri, const QString& userId, const QString& password);

// Moves a folder database onto a server that holds none yet: every row with its key, the key
// sequences advanced past the highest keys, all in one transaction. Then compares every row of
// both sides and throws engine::Error when any differs.
void copyToServer(const QString& folder, const QString& uri,
                  const std::function<void(const QString&)>& progress = {},
                  const std::function<void(engine::PgBackend&)>& finish = {});

// Compares every row of every table of a folder with a server database, in key order. Returns
// the differences found (at most `limit`); empty when both hold the same rows.
QStringList compareWithServer(const QString& folder, const QString& uri, int limit = 20);

} // namespace tools

#pragma once

#include <QString>
#include <QStringList>

namespace engine {

class PgBackend;

// A server database in which the server itself checks who someone is and what he may do. Every
// user of the user table is a login role of the server (named after the database and his id);
// grants and row-level security policies give each role what his profile and access list give
// him in the program. A table of its own marks such a database, so every workstation knows.
class PgRoles {
public:
    // The server role of a user of this database. The id's letter case does not count.
    static QString roleName(const QString& database, const QString& userId);

    // The URI that reaches a server as a user's role with his password, from one that names the
    // server and the database.
    static QString logonUri(const QString& uri, const QString& userId, const QString& password);

    // Whether the database this connection reaches holds its logons in the server.
    static bool isSecure(PgBackend& pg);

    // Turns a database into one whose logons and rights the server holds: the marker, the role
    // of every user (with the password the user table held, which is then cleared), the grants,
    // the policies and the triggers that keep the roles in step with the user table. Runs in the
    // caller's transaction. Returns the ids of users who had no password: their roles cannot log
    // on until one is set.
    static QStringList secure(PgBackend& pg);

    // What renew() did besides making the functions, triggers, policies and grants anew.
    struct Renewal {
        QStringList renamed;         // users whose role had an earlier version's name
        QStringList made;            // users who had no role and got one
        QStringList withoutPassword; // of those, the ones whose role cannot log on until one is set
    };
    // Brings a database secured by an earlier version up to this version's functions, triggers,
    // policies and grants, replacing theirs. Every role keeps its password; a role under an
    // earlier version's name is renamed, a user without a role gets one. No row is changed but
    // the user table's password column, emptied. Runs in the caller's transaction.
    static Renewal renew(PgBackend& pg);

    // Sets a user's password: only a verifier made here reaches the server, never the password.
    // The server lets a user set his own and an administrator anybody's.
    static void setPassword(PgBackend& pg, const QString& userId, const QString& password);

    // A SCRAM-SHA-256 verifier of a password in the form the server stores, with a new salt.
    static QString scramVerifier(const QString& password);
    static QString scramVerifier(const QString& password, const QByteArray& salt, int iterations);
};

} // namespace engine

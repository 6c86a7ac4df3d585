#pragma once

#include "engine/Schema.h"

#include <QString>

namespace engine {

class PgBackend;

// How a server keeps the versions of rows: a table per watched table, filled by statement
// triggers from the statement's old and new rows at once (a batch writes its versions in one
// statement too). Who changes comes from a setting of the session, except where the server
// holds the logons: there it is the user whose role is logged on.
class PgHistory {
public:
    // The versions table of a watched table.
    static QString table(const TableDef& t);
    // Whether the database has the versions tables; makes them, their triggers and functions when
    // it has none and this connection may (the tables' owner). Several workstations may try at once.
    static bool ensure(PgBackend& pg);
    // Makes them in the caller's transaction when the database has none (a new database).
    static void install(PgBackend& pg);
    // In a database whose server holds the rights: everyone may read the versions of the rows he
    // may see, and his changes are recorded, under his own number, though he may not write the
    // versions himself nor switch the recording off. Runs in the caller's transaction.
    static void secure(PgBackend& pg);
};

} // namespace engine

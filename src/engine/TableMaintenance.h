#pragma once

#include "engine/Database.h"
#include "engine/Schema.h"

namespace engine::maintenance {

// The work on a table's file as a whole, apart from its rows: the password that protects it
// and the compaction that packing does.

// Throws engine::Error when the table is protected by a password this session does not know
// (after letting the session's password handler add one).
void checkProtection(Database& db, const TableDef& def);

// Rewrites the table's file without the space of deleted rows, keeping every row, key, index and
// the protection; a non-empty password protects the table from then on. Also makes the table's
// lock file where it is missing, with the table file's permissions.
void pack(Database& db, const TableDef& def, const QString& password);

} // namespace engine::maintenance

#include "engine/FolderHistory.h"

#include "engine/Error.h"
#include "engine/FolderBackend.h"
#include "engine/History.h"

#include <QRandomGenerator>
#include <QStringList>
#include <sqlite3.h>

namespace engine {

QString FolderHistory::table(const TableDef& t) {
    return QStringLiteral("vardimo_history_%1").arg(t.schemaName);
}

void FolderHistory::authorFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_int(ctx, static_cast<FolderHistory*>(sqlite3_user_data(ctx))->author_);
}

void FolderHistory::groupFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_int64(ctx, static_cast<FolderHistory*>(sqlite3_user_data(ctx))->group_);
}

void FolderHistory::keptFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_int(ctx, static_cast<FolderHistory*>(sqlite3_user_data(ctx))->kept_ ? 1 : 0);
}

void FolderHistory::install(sqlite3* handle) {
    // Transactions of different workstations must not share a group: each connection counts
    // from a random start.
    group_ = qint64(QRandomGenerator::global()->generate64() >> 2);
    if (!handle) return;
    sqlite3_create_function_v2(handle, "vardimo_author", 0, SQLITE_UTF8, this, &authorFunction, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(handle, "vardimo_group", 0, SQLITE_UTF8, this, &groupFunction, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(handle, "vardimo_kept", 0, SQLITE_UTF8, this, &keptFunction, nullptr, nullptr,
                               nullptr);
}

QStringList FolderHistory::tableStatements(const TableDef& t, const QString& schema) {
    const QString in = schema.isEmpty() ? QString() : schema + QLatin1Char('.');
    const QString history = table(t);
    // Only deletions are looked up by their transaction (a goal comes back with what went with
    // it): the index of groups holds those alone, so that a save writes one index page, not two.
    // An older program made it of every version; it finds the deletions through this one too.
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1%2 (historyid INTEGER PRIMARY KEY, rowkey INTEGER NOT "
                       "NULL, parent INTEGER, action TEXT NOT NULL, changedby INTEGER, changedat TEXT NOT "
                       "NULL, changegroup INTEGER, oldrow TEXT, newrow TEXT)")
            .arg(in, history),
        QStringLiteral("CREATE INDEX IF NOT EXISTS %1%2_row ON %2 (rowkey)").arg(in, history),
        QStringLiteral("DROP INDEX IF EXISTS %1%2_group").arg(in, history),
        QStringLiteral("CREATE INDEX IF NOT EXISTS %1%2_deleted ON %2 (changegroup) WHERE action = 'D'")
            .arg(in, history)};
}

namespace {
QString rowObject(const TableDef& t, const char* row) {
    QStringList pairs;
    for (const ColumnDef& c : t.columns)
        pairs << QStringLiteral("'%1', %2.%3").arg(c.name, QLatin1String(row), quoteIdentifier(c.name));
    return QStringLiteral("json_object(%1)").arg(pairs.join(QStringLiteral(", ")));
}

// The columns an update changed, with their values in `row` (OLD or NEW), as the text of a JSON
// object: what json_object gives of them, without the columns the update left alone.
QString changedObject(const TableDef& t, const char* row) {
    QStringList parts;
    for (const ColumnDef& c : t.columns)
        parts << QStringLiteral(
                     "CASE WHEN OLD.%1 IS NOT NEW.%1 THEN ',\"%2\":' || json_quote(%3.%1) ELSE '' END")
                     .arg(quoteIdentifier(c.name), c.name, QLatin1String(row));
    return QStringLiteral("'{' || substr(%1, 2) || '}'").arg(parts.join(QStringLiteral(" || ")));
}
} // namespace

void FolderHistory::watch(FolderBackend& backend, const TableDef& t) {
    if (!History::watches(t)) return;
    const QString schema = quoteIdentifier(t.schemaName);
    const QString history = table(t);
    const QString olderIndex = history + QStringLiteral("_group"),
                  deletions = history + QStringLiteral("_deleted");
    QSqlQuery q =
        backend.exec(QStringLiteral("SELECT name FROM %1.sqlite_master WHERE name IN (?, ?, ?)").arg(schema),
                     {history, olderIndex, deletions}, t.fileName);
    QStringList found;
    while (q.next())
        found << q.value(0).toString();
    q.finish();
    const bool present = found.contains(history);
    if (!present || found.contains(olderIndex) || !found.contains(deletions)) {
        // A file without versions gains them, one of an older program its index of deletions.
        // Several workstations may do it at once: the file's own lock lets one in, and the
        // others find it done.
        try {
            backend.exec(QStringLiteral("BEGIN"));
            for (const QString& statement : tableStatements(t, schema))
                backend.exec(statement, {}, t.fileName);
            backend.exec(QStringLiteral("COMMIT"), {}, t.fileName);
        } catch (const Error&) {
            // A file this person may only read: he changes nothing in it, so nothing is kept
            // (and versions there stay as they are).
            try {
                backend.exec(QStringLiteral("ROLLBACK"));
            } catch (const Error&) {
            }
            if (!present) return;
        }
    }
    const ColumnDef& key = t.columns.front();
    const QString parent = History::parentColumn(t);
    auto parentOf = [&](const char* row) {
        return parent.isEmpty() ? QStringLiteral("NULL")
                                : QStringLiteral("CAST(%1.%2 AS INTEGER)")
                                      .arg(QLatin1String(row), quoteIdentifier(parent));
    };
    QStringList differs;
    for (const ColumnDef& c : t.columns)
        differs << QStringLiteral("OLD.%1 IS NOT NEW.%1").arg(quoteIdentifier(c.name));
    const QString insertHead =
        QStringLiteral("INSERT INTO %1 (rowkey, parent, action, changedby, changedat, changegroup, oldrow, "
                       "newrow) VALUES ")
            .arg(history);
    const QString when = QStringLiteral("strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime')");
    const QString name = QStringLiteral("vardimo_history_%1_").arg(t.schemaName);
    const QString insert =
        QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS \"%1i\" AFTER INSERT ON %2.%2 WHEN vardimo_kept() "
                       "BEGIN %3(NEW.%4, %5, 'I', vardimo_author(), %6, vardimo_group(), NULL, %7); END")
            .arg(name, schema, insertHead, quoteIdentifier(key.name), parentOf("NEW"), when,
                 rowObject(t, "NEW"));
    // An edit keeps the columns it changed, before and after, under the negated key: a program
    // that reads whole rows from every version of a key never takes one for a whole row.
    const QString update =
        QStringLiteral(
            "CREATE TEMP TRIGGER IF NOT EXISTS \"%1u\" AFTER UPDATE ON %2.%2 WHEN vardimo_kept() "
            "AND (%3) BEGIN %4(-NEW.%5, %6, 'U', vardimo_author(), %7, vardimo_group(), %8, %9); END")
            .arg(name, schema, differs.join(QStringLiteral(" OR ")), insertHead, quoteIdentifier(key.name),
                 parentOf("NEW"), when, changedObject(t, "OLD"), changedObject(t, "NEW"));
    const QString remove =
        QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS \"%1d\" AFTER DELETE ON %2.%2 WHEN vardimo_kept() "
                       "BEGIN %3(OLD.%4, %5, 'D', vardimo_author(), %6, vardimo_group(), %7, NULL); END")
            .arg(name, schema, insertHead, quoteIdentifier(key.name), parentOf("OLD"), when,
                 rowObject(t, "OLD"));
    for (const QString& s : {insert, update, remove})
        backend.exec(s, {}, t.fileName);
}

} // namespace engine

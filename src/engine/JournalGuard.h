#pragma once

#include <QString>

namespace engine {

// Everyone who uses a shared database folder may write it, so a rollback journal found beside a
// table is not trusted as SQLite trusts it: SQLite would copy its pages into the table, cut the
// table to the size it names, and delete whatever file it names as its super-journal, with the
// rights of whoever opens the table next.
//
// The guard is SQLite's default file system for the whole process, wrapping the platform's own.
// It refuses to play back a journal that does not fit its table or whose super-journal is not a
// connection file of that database's control folder, and never deletes a file that is neither
// a journal of a database this process opened nor a super-journal of a control folder. Files it
// makes in a control folder take the access of that folder, whatever the umask.
void installJournalGuard();

// Why the hot journal beside a table file must not be played back; empty when there is none or
// it may be. `tablePath` as SQLite names it (see resolvedPath).
QString journalRefusal(const QString& tablePath);

// A path as SQLite resolves it (symbolic links of the folders followed): the form in which
// journals name their super-journal.
QString resolvedPath(const QString& path);

// The message for a table whose journal is refused.
QString damagedTableText(const QString& fileName, const QString& why);

} // namespace engine

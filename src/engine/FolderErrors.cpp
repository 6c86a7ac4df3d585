#include "engine/FolderErrors.h"

#include "engine/FolderBackend.h"
#include "engine/JournalGuard.h"

#include <QDir>
#include <QStorageInfo>
#include <sqlite3.h>

namespace engine {

namespace {
// Below this much free space on the database's disk, a full disk is the database's.
constexpr qint64 kDatabaseDiskSlack = qint64(4) * 1024 * 1024;
} // namespace

QString FolderErrors::describe(const QString& driverText, const QString& file) {
    const QString lower = driverText.toLower();
    if (lower.contains(QLatin1String("locked")) || lower.contains(QLatin1String("busy")))
        return Error::lockedText(file);
    if (lower.contains(QLatin1String("not a database")) ||
        lower.contains(QLatin1String("not a table file")) || lower.contains(QLatin1String("malformed")) ||
        lower.contains(QLatin1String("corrupt")))
        return QStringLiteral("Table is corrupt or not a table file: %1")
            .arg(file.isEmpty() ? driverText : file);
    if (lower.contains(QLatin1String("readonly")) || lower.contains(QLatin1String("read-only")))
        return Error::readOnlyText(file.isEmpty() ? driverText : file);
    if (lower.contains(QLatin1String("disk")) && lower.contains(QLatin1String("full")))
        return file.isEmpty() ? Error::diskFullText()
                              : QStringLiteral("The disk holding the database is full: %1").arg(file);
    return file.isEmpty() || driverText.contains(file) ? driverText
                                                       : QStringLiteral("%1 (%2)").arg(driverText, file);
}

Error FolderErrors::failure(const QSqlError& e, const QString& files, bool preparing) const {
    const QString text = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    Error out = failure(e.nativeErrorCode().toInt(), text, files);
    // Preparing reads the schema, so a locked or damaged file fails there too; only what the
    // engine cannot name otherwise is a fault of the statement.
    if (preparing && !out.busy() && out.message() == describe(text, files))
        return Error(QStringLiteral("Invalid SQL statement: %1").arg(text));
    return out;
}

Error FolderErrors::failure(int nativeCode, const QString& text, const QString& files) const {
    const int code = nativeCode & 0xff;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        return Error(describe(QStringLiteral("busy"), files), Error::Kind::Busy);
    if (code == SQLITE_FULL) {
        // SQLite also writes temporary files (sorting, snapshots) in the workstation's temp
        // folder; only a database disk that is really (nearly) full is reported as such.
        const QStorageInfo disk(folder_);
        if (disk.isValid() && disk.bytesAvailable() > kDatabaseDiskSlack)
            return Error(QStringLiteral("The workstation's temporary folder is full (%1): make room there "
                                        "and try again.")
                             .arg(QDir::tempPath()));
        return Error(describe(QStringLiteral("disk full"), files));
    }
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) {
        // The guard refuses a planted or foreign journal as damage: say which.
        for (const QString& file : files.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
            const QString path = FolderBackend::findFile(folder_, file);
            if (path.isEmpty()) continue;
            if (const QString why = journalRefusal(resolvedPath(path)); !why.isEmpty())
                return Error(damagedTableText(file, why));
        }
        return Error(describe(QStringLiteral("corrupt"), files));
    }
    if (code == SQLITE_READONLY) return Error(describe(QStringLiteral("readonly"), files));
    if (code == SQLITE_IOERR || code == SQLITE_CANTOPEN)
        return Error(files.isEmpty() ? QStringLiteral("Cannot read or write the database: %1").arg(text)
                                     : QStringLiteral("Cannot read or write %1: %2").arg(files, text));
    return Error(describe(text, files));
}

} // namespace engine

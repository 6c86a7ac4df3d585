#include "engine/TableMaintenance.h"

#include "engine/Error.h"
#include "engine/LockFile.h"

namespace engine::maintenance {

namespace {
const char* const kProtectionTable = "vardimo_protection";
} // namespace

void checkProtection(Database& db, const TableDef& def) {
    for (int attempts = 0;;) {
        QSqlQuery q = db.exec(QStringLiteral("SELECT count(*) FROM %1.sqlite_master WHERE name = ?")
                                  .arg(quoteIdentifier(def.schemaName)),
                              {QString::fromLatin1(kProtectionTable)}, def.fileName);
        if (!q.next() || q.value(0).toInt() == 0) return;
        q = db.exec(
            QStringLiteral("SELECT hash FROM %1.%2").arg(quoteIdentifier(def.schemaName), kProtectionTable),
            {}, def.fileName);
        const QString hash = q.next() ? q.value(0).toString() : QString();
        if (hash.isEmpty() || db.session().knowsPasswordHash(hash)) return;
        if (++attempts > 3 || !db.session().askPassword())
            throw Error(QStringLiteral("Invalid password for table %1").arg(def.fileName));
    }
}

void pack(Database& db, const TableDef& def, const QString& password) {
    if (!password.isEmpty()) {
        Transaction tx(db);
        db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1.%2 (hash TEXT)")
                    .arg(quoteIdentifier(def.schemaName), kProtectionTable),
                {}, def.fileName);
        db.exec(QStringLiteral("DELETE FROM %1.%2").arg(quoteIdentifier(def.schemaName), kProtectionTable),
                {}, def.fileName);
        db.exec(QStringLiteral("INSERT INTO %1.%2 (hash) VALUES (?)")
                    .arg(quoteIdentifier(def.schemaName), kProtectionTable),
                {Session::passwordHash(password)}, def.fileName);
        tx.commit();
    }
    db.exec(QStringLiteral("VACUUM %1").arg(quoteIdentifier(def.schemaName)), {}, def.fileName);
    LockFile::makeLike(db.lockPath(def), db.tablePath(def));
}

} // namespace engine::maintenance

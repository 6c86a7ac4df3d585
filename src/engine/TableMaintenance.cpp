#include "engine/TableMaintenance.h"

#include "engine/Error.h"

namespace engine::maintenance {

void checkProtection(Database& db, const TableDef& def) {
    for (int attempts = 0;;) {
        QString hash;
        db.reading(def.fileName, [&] { hash = db.backend().protectionHash(def); });
        if (hash.isEmpty() || db.session().knowsPasswordHash(hash)) return;
        if (++attempts > 3 || !db.session().askPassword())
            throw Error(QStringLiteral("Invalid password for table %1").arg(def.fileName));
    }
}

void pack(Database& db, const TableDef& def, const QString& password) {
    if (!password.isEmpty()) {
        Transaction tx(db);
        db.backend().setProtectionHash(def, Session::passwordHash(password));
        tx.commit();
    }
    db.backend().compact(def);
}

} // namespace engine::maintenance

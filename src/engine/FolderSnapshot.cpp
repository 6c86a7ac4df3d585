#include "engine/FolderSnapshot.h"

#include "engine/Error.h"
#include "engine/Schema.h"

#include <QRegularExpression>

namespace engine {

namespace {
int snapshotCounter = 0;
} // namespace

FolderSnapshot::FolderSnapshot(const Statement& st, const QString& files, Exec exec)
    : exec_(std::move(exec)), table_(QStringLiteral("vardimo_snapshot_%1").arg(++snapshotCounter)) {
    // Copied in the result's order; the copy's row numbers are then the positions + 1.
    exec_(QStringLiteral("CREATE TEMP TABLE %1 AS %2").arg(quoteIdentifier(table_), st.sql), st.binds, files);
    try {
        {
            QSqlQuery c =
                exec_(QStringLiteral("SELECT count(*) FROM temp.%1").arg(quoteIdentifier(table_)), {}, {});
            count_ = c.next() ? c.value(0).toInt() : 0;
        }
        // Duplicate names of a join were made unique in the copy ("Name:1"); show them as given.
        static const QRegularExpression suffix(QStringLiteral(":\\d+$"));
        {
            QSqlQuery info =
                exec_(QStringLiteral("PRAGMA temp.table_info(%1)").arg(quoteIdentifier(table_)), {}, {});
            while (info.next())
                names_ << info.value(1).toString().remove(suffix);
        }
        QSqlQuery probe =
            exec_(QStringLiteral("SELECT * FROM temp.%1 LIMIT 0").arg(quoteIdentifier(table_)), {}, {});
        record_ = probe.record();
    } catch (...) {
        release();
        throw;
    }
}

QSqlQuery FolderSnapshot::readFrom(int row) {
    return exec_(
        QStringLiteral("SELECT * FROM temp.%1 WHERE rowid >= ? ORDER BY rowid").arg(quoteIdentifier(table_)),
        {qint64(row) + 1}, {});
}

void FolderSnapshot::release() {
    if (table_.isEmpty()) return;
    try {
        exec_(QStringLiteral("DROP TABLE IF EXISTS temp.%1").arg(quoteIdentifier(table_)), {}, {});
    } catch (const Error&) {
        // Gone with a rolled-back transaction, or the connection closed.
    }
    table_.clear();
}

} // namespace engine

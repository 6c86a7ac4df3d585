#include "engine/PgPagedResult.h"

namespace engine {

PgPagedResult::PgPagedResult(const Statement& st, const QString& files, Exec exec)
    : st_(st), files_(files), exec_(std::move(exec)) {
    QSqlQuery c =
        exec_(QStringLiteral("SELECT count(*) FROM (%1) vardimo_s").arg(st_.sql), st_.binds, files_);
    count_ = c.next() ? c.value(0).toInt() : 0;
    QSqlQuery probe =
        exec_(QStringLiteral("SELECT * FROM (%1) vardimo_s LIMIT 0").arg(st_.sql), st_.binds, files_);
    record_ = probe.record();
}

QSqlQuery PgPagedResult::readFrom(int row) {
    QVariantList binds = st_.binds;
    binds << qint64(row);
    return exec_(QStringLiteral("SELECT * FROM (%1) vardimo_s OFFSET ?").arg(st_.sql), binds, files_);
}

} // namespace engine

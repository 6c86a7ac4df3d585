#pragma once

#include "engine/LargeResult.h"
#include "engine/Sql.h"

namespace engine {

// A large result of the server store: the server keeps it, so it is counted, then read forward
// from an offset, straight from the server.
class PgPagedResult : public LargeResult {
public:
    PgPagedResult(const Statement& st, const QString& files, Exec exec);

    int count() const override { return count_; }
    QSqlRecord record() const override { return record_; }
    QStringList names() const override { return {}; }
    QSqlQuery readFrom(int row) override;
    void release() override {}

private:
    Statement st_;
    QString files_;
    Exec exec_;
    int count_ = 0;
    QSqlRecord record_;
};

} // namespace engine

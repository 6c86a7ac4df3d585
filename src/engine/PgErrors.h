#pragma once

#include "engine/Error.h"

#include <QSqlError>
#include <QString>

namespace engine {

// What a failure reported by a PostgreSQL server means to the person at the workstation: a lock
// held by another workstation (which the engine waits out), a lost connection, a missing table,
// a value the server refuses, or a fault of the statement itself.
class PgErrors {
public:
    // `display`: the server's URI as a person may be shown it.
    explicit PgErrors(const QString& display) : location_(display) {}

    Error failure(const QSqlError& error, const QString& files, bool preparing = false) const;
    QString describe(const QSqlError& error, const QString& fileName = {}) const;

private:
    const QString& location_;
};

} // namespace engine

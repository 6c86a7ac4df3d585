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

    // Whether a failure described since the last connect showed the connection lost. Every later
    // statement on that connection would fail with no text at all, so the store stops using it.
    bool lost() const { return lost_; }
    void setLost(bool lost) { lost_ = lost; }
    // What a statement on the lost connection says.
    QString lostText(const QString& why = {}) const;
    // What every action says while the connection stays lost and cannot be made again.
    QString stillLostText(const QString& why) const;
    // What the action that made the connection again says instead of running.
    QString reconnectedText() const;

private:
    const QString& location_;
    mutable bool lost_ = false;
};

} // namespace engine

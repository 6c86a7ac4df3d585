#pragma once

#include "engine/Error.h"

#include <QSqlError>
#include <QString>

namespace engine {

// What a failure of SQLite on a database folder means to the person at the workstation: a lock
// held by another workstation (which the engine waits out), a damaged, read-only or missing
// table file, a full disk, or a fault of the statement itself.
class FolderErrors {
public:
    // `folder`: the database folder, whose disk decides whether a full disk is the database's.
    explicit FolderErrors(const QString& folder) : folder_(folder) {}

    // Translates a failure of SQLite into a message a person can act on, naming `file` when known.
    static QString describe(const QString& driverText, const QString& file = {});
    // `preparing`: the statement failed to prepare, where what the engine cannot name otherwise
    // is a fault of the statement.
    Error failure(const QSqlError& error, const QString& files, bool preparing = false) const;
    Error failure(int nativeCode, const QString& text, const QString& files) const;

private:
    const QString& folder_;
};

} // namespace engine

#pragma once

#include "engine/LockFile.h"

#include <QString>
#include <optional>

namespace engine {

// A table object's locks on the table's lock file: the shared lock of an open table (or the
// exclusive one of an exclusive open) and the record lock of the row being edited. Other
// workstations see them; they die with the process.
class TableLock {
public:
    // Takes the open lock; throws engine::Error naming the table when another workstation's
    // lock is in the way. `tableFile` is the table's file, whose permissions a lock file made
    // now gets.
    void open(const QString& lockPath, const QString& tableFile, const QString& fileName, bool exclusive);
    void close();
    bool isOpen() const { return file_.isOpen(); }

    // Locks a row for editing; throws "Record locked by another user." when someone else has it.
    void lockRecord(qint64 key);
    void unlockRecord();
    std::optional<qint64> lockedRecord() const { return locked_; }

private:
    LockFile file_;
    QString fileName_;
    std::optional<qint64> locked_;
};

} // namespace engine

#pragma once

#include "engine/Backend.h"

#include <QString>
#include <memory>
#include <optional>

namespace engine {

// A table object's locks in the store: the lock of an open table (exclusive for an exclusive
// open) and the record lock of the row being edited. Other workstations see them; they die with
// the process or connection that holds them.
class TableLock {
public:
    // Takes the open lock; throws engine::Error naming the table when another workstation's
    // lock is in the way.
    void open(Backend& store, const TableDef& t, bool exclusive);
    void close();
    bool isOpen() const { return lock_ != nullptr; }

    // Locks a row for editing; throws "Record locked by another user." when someone else has it.
    void lockRecord(qint64 key);
    void unlockRecord();
    std::optional<qint64> lockedRecord() const { return locked_; }
    // Every row at once, for a batch; false, holding nothing more, while someone else edits a
    // row (its key in `busyKey` when the store can tell, else -1).
    bool holdAllRecords(qint64& busyKey);
    void releaseAllRecords();
    bool holdsAllRecords() const { return holdsAll_; }
    // Whether the locked row's lock broke with a lost connection in the meantime.
    bool interrupted() const { return locked_ && lock_ && lock_->interrupted(*locked_); }
    // Takes such a row's lock again; throws "Record locked by another user." when someone has it.
    void relock();

private:
    std::unique_ptr<Backend::OpenLock> lock_;
    QString fileName_;
    std::optional<qint64> locked_;
    bool holdsAll_ = false;
};

} // namespace engine

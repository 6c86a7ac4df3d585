#include "engine/TableLock.h"

#include "engine/Error.h"

namespace engine {

void TableLock::open(Backend& store, const TableDef& t, bool exclusive) {
    close();
    fileName_ = t.fileName;
    lock_ = store.lockTable(t, exclusive);
    if (!lock_)
        throw Error(exclusive
                        ? QStringLiteral("Table is open by another user and cannot be opened "
                                         "exclusively: %1")
                              .arg(fileName_)
                        : QStringLiteral("Table is open exclusively by another user: %1").arg(fileName_));
}

void TableLock::close() {
    releaseAllRecords();
    unlockRecord();
    lock_.reset();
}

void TableLock::lockRecord(qint64 key) {
    if (holdsAll_ || (locked_ && *locked_ == key)) return;
    unlockRecord();
    if (!lock_) throw Error(QStringLiteral("Table is not open: %1").arg(fileName_));
    if (!lock_->lockRecord(key)) throw Error(Error::recordLockedText());
    locked_ = key;
}

void TableLock::relock() {
    if (!locked_ || !lock_) return;
    if (!lock_->relock(*locked_)) throw Error(Error::recordLockedText());
}

void TableLock::unlockRecord() {
    if (locked_ && lock_) lock_->unlockRecord(*locked_);
    locked_.reset();
}

bool TableLock::holdAllRecords(qint64& busyKey) {
    busyKey = -1;
    if (holdsAll_) return true;
    if (!lock_) throw Error(QStringLiteral("Table is not open: %1").arg(fileName_));
    // The lock over every row takes the place of the one row's.
    unlockRecord();
    holdsAll_ = lock_->lockAllRecords(busyKey);
    return holdsAll_;
}

void TableLock::releaseAllRecords() {
    if (holdsAll_ && lock_) lock_->unlockAllRecords();
    holdsAll_ = false;
}

} // namespace engine

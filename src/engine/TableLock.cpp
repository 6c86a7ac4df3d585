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
    unlockRecord();
    lock_.reset();
}

void TableLock::lockRecord(qint64 key) {
    if (locked_ && *locked_ == key) return;
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

} // namespace engine

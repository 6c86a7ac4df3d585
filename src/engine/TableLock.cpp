#include "engine/TableLock.h"

#include "engine/Error.h"

namespace engine {

namespace {
// Record locks lie beyond the bytes of the open locks.
constexpr qint64 kRecordLockBase = qint64(1) << 32;
} // namespace

void TableLock::open(const QString& lockPath, const QString& tableFile, const QString& fileName,
                     bool exclusive) {
    fileName_ = fileName;
    file_.open(lockPath, tableFile);
    if (exclusive && !file_.writable()) {
        file_.close();
        throw Error(QStringLiteral("Table is read only: %1 cannot be opened exclusively.").arg(fileName));
    }
    const bool ok = exclusive ? file_.lockExclusive(0) : file_.lockShared(0);
    if (!ok) {
        file_.close();
        throw Error(exclusive
                        ? QStringLiteral("Table is open by another user and cannot be opened "
                                         "exclusively: %1")
                              .arg(fileName)
                        : QStringLiteral("Table is open exclusively by another user: %1").arg(fileName));
    }
}

void TableLock::close() {
    unlockRecord();
    file_.close();
}

void TableLock::lockRecord(qint64 key) {
    if (locked_ && *locked_ == key) return;
    unlockRecord();
    if (!file_.writable()) throw Error(QStringLiteral("Table is read only: %1").arg(fileName_));
    if (!file_.lockExclusive(kRecordLockBase + key))
        throw Error(QStringLiteral("Record locked by another user."));
    locked_ = key;
}

void TableLock::unlockRecord() {
    if (locked_ && file_.isOpen()) file_.unlock(kRecordLockBase + *locked_);
    locked_.reset();
}

} // namespace engine

#include "engine/FolderOpenLock.h"

#include "engine/Error.h"

namespace engine {

namespace {
// Record locks lie beyond the bytes of the open locks.
constexpr qint64 kRecordLockBase = qint64(1) << 32;
constexpr qint64 kRecordLockSpan = qint64(1) << 40;
} // namespace

std::unique_ptr<FolderOpenLock> FolderOpenLock::take(const QString& fileName, const QString& lockPath,
                                                     const QString& tablePath, bool exclusive) {
    auto lock = std::make_unique<FolderOpenLock>();
    lock->fileName_ = fileName;
    lock->file_.open(lockPath, tablePath);
    if (exclusive && !lock->file_.writable())
        throw Error(QStringLiteral("Table is read only: %1 cannot be opened exclusively.").arg(fileName));
    if (!(exclusive ? lock->file_.lockExclusive(0) : lock->file_.lockShared(0))) return nullptr;
    return lock;
}

bool FolderOpenLock::lockRecord(qint64 key) {
    if (!file_.writable()) throw Error(Error::readOnlyText(fileName_));
    return file_.lockExclusive(kRecordLockBase + key);
}

void FolderOpenLock::unlockRecord(qint64 key) {
    if (file_.isOpen()) file_.unlock(kRecordLockBase + key);
}

bool FolderOpenLock::lockAllRecords(qint64& busyKey) {
    busyKey = -1;
    if (!file_.writable()) throw Error(Error::readOnlyText(fileName_));
    if (file_.lockExclusive(kRecordLockBase, kRecordLockSpan)) return true;
    const qint64 at = file_.conflictAt(kRecordLockBase, kRecordLockSpan);
    if (at >= 0) busyKey = at - kRecordLockBase;
    return false;
}

void FolderOpenLock::unlockAllRecords() {
    if (file_.isOpen()) file_.unlock(kRecordLockBase, kRecordLockSpan);
}

} // namespace engine

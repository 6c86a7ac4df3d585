#include "engine/FolderOpenLock.h"

#include "engine/Error.h"

namespace engine {

namespace {
// Record locks lie beyond the bytes of the open locks.
constexpr qint64 kRecordLockBase = qint64(1) << 32;
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

} // namespace engine

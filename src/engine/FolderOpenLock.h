#pragma once

#include "engine/Backend.h"
#include "engine/LockFile.h"

#include <memory>

namespace engine {

// The locks of one table object on the table's lock file: a shared byte while the table is open
// (an exclusive one for an exclusive open) and one byte per locked row beyond them. The locks
// belong to the open file, so two table objects of one process conflict as two workstations do.
class FolderOpenLock : public Backend::OpenLock {
public:
    // Opens the lock file (made like the table file when missing) and takes the open's byte;
    // null when another table object holds the table in a way that excludes this open.
    static std::unique_ptr<FolderOpenLock> take(const QString& fileName, const QString& lockPath,
                                                const QString& tablePath, bool exclusive);

    bool lockRecord(qint64 key) override;
    void unlockRecord(qint64 key) override;
    bool lockAllRecords(qint64& busyKey) override;
    void unlockAllRecords() override;

private:
    LockFile file_;
    QString fileName_;
};

} // namespace engine

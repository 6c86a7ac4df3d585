#pragma once

#include <QString>
#include <QtGlobal>

namespace engine {

// A file on which this process holds open-file-description locks (F_OFD_SETLK). Such locks
// belong to the open file, not to the process, so two sessions inside one process conflict
// exactly as two workstations do, and every lock dies with the process that held it.
class LockFile {
public:
    LockFile() = default;
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    // Opens (creating when needed) the file. Throws engine::Error when that is impossible.
    void open(const QString& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    const QString& path() const { return path_; }
    void renamed(const QString& path) { path_ = path; }

    // Non-blocking; false when another open file holds a conflicting lock.
    bool lockShared(qint64 offset, qint64 length = 1);
    bool lockExclusive(qint64 offset, qint64 length = 1);
    void unlock(qint64 offset, qint64 length = 1);
    // Whether another open file holds a lock that would conflict with an exclusive one.
    bool lockedByOther(qint64 offset, qint64 length = 1) const;

    int fd() const { return fd_; }

private:
    bool setLock(short type, qint64 offset, qint64 length);
    int fd_ = -1;
    QString path_;
};

} // namespace engine

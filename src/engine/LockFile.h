#pragma once

#include <QString>
#include <QtGlobal>

namespace engine {

// A file on which this process holds open-file-description locks (F_OFD_SETLK). Such locks
// belong to the open file, not to the process, so two sessions inside one process conflict
// exactly as two workstations do, and every lock dies with the process that held it.
//
// Lock files are never followed through symbolic links: a link planted in a shared folder
// must not make one person's program open or change a file of another.
class LockFile {
public:
    LockFile() = default;
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    // Opens an existing file with the access the person has (reading and writing, or reading
    // only); creates it first when missing, with the permissions of `modelFile` when one is
    // given (so that everyone who may use that file may lock it) and 0666 less the umask
    // otherwise. Throws engine::Error when that is impossible.
    void open(const QString& path, const QString& modelFile = {});
    // Opens an existing file for reading only, never creating it; false when that fails.
    bool openExisting(const QString& path);
    // Creates a new file that must not exist yet (O_EXCL); throws engine::Error otherwise.
    void create(const QString& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    bool writable() const { return writable_; }
    const QString& path() const { return path_; }
    void renamed(const QString& path) { path_ = path; }

    // Non-blocking; false when another open file holds a conflicting lock.
    bool lockShared(qint64 offset, qint64 length = 1);
    bool lockExclusive(qint64 offset, qint64 length = 1);
    void unlock(qint64 offset, qint64 length = 1);
    // Whether another open file holds a lock that would conflict with an exclusive one.
    bool lockedByOther(qint64 offset, qint64 length = 1) const;
    // Where the first lock of another open file that conflicts with an exclusive one in the range
    // begins; -1 when there is none.
    qint64 conflictAt(qint64 offset, qint64 length) const;

    int fd() const { return fd_; }

    // Makes a lock file beside a table file with the table file's permissions, unless it
    // exists already. Returns false (and leaves nothing behind) when it cannot be made.
    static bool makeLike(const QString& path, const QString& modelFile);

private:
    bool setLock(short type, qint64 offset, qint64 length);
    int fd_ = -1;
    bool writable_ = false;
    QString path_;
};

} // namespace engine

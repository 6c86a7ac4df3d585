#include "engine/LockFile.h"

#include "engine/Error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

namespace {
QString systemError() {
    return QString::fromLocal8Bit(strerror(errno));
}
} // namespace

LockFile::~LockFile() {
    close();
}

bool LockFile::makeLike(const QString& path, const QString& modelFile) {
    const QByteArray p = path.toLocal8Bit();
    const int fd = ::open(p.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return errno == EEXIST;
    mode_t mode = 0666 & ~[] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    struct stat st;
    if (!modelFile.isEmpty() && ::stat(modelFile.toLocal8Bit().constData(), &st) == 0)
        mode = st.st_mode & 0666;
    const bool ok = ::fchmod(fd, mode) == 0;
    ::close(fd);
    if (!ok) ::unlink(p.constData());
    return ok;
}

void LockFile::open(const QString& path, const QString& modelFile) {
    close();
    const QByteArray p = path.toLocal8Bit();
    makeLike(path, modelFile); // where it cannot be made, opening says why
    fd_ = ::open(p.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    writable_ = fd_ >= 0;
    // A person who may only read the table may still hold the shared lock that says so.
    if (fd_ < 0 && (errno == EACCES || errno == EROFS))
        fd_ = ::open(p.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) throw Error(QStringLiteral("Cannot open the lock file %1: %2").arg(path, systemError()));
    path_ = path;
    // The table was opened up (or closed) for others since its lock file was made: the lock
    // file's owner makes it follow, so that whoever may use the table may lock it.
    struct stat mine, model;
    if (writable_ && !modelFile.isEmpty() && ::fstat(fd_, &mine) == 0 && mine.st_uid == ::geteuid() &&
        ::stat(modelFile.toLocal8Bit().constData(), &model) == 0 &&
        (mine.st_mode & 0666) != (model.st_mode & 0666))
        ::fchmod(fd_, model.st_mode & 0666);
}

bool LockFile::openExisting(const QString& path) {
    close();
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    writable_ = false;
    if (fd_ >= 0) path_ = path;
    return fd_ >= 0;
}

void LockFile::create(const QString& path) {
    close();
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd_ < 0) throw Error(QStringLiteral("Cannot create %1: %2").arg(path, systemError()));
    writable_ = true;
    path_ = path;
}

void LockFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    writable_ = false;
}

bool LockFile::setLock(short type, qint64 offset, qint64 length) {
    if (fd_ < 0) return false;
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = length;
    while (fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR) continue;
        return false;
    }
    return true;
}

bool LockFile::lockShared(qint64 offset, qint64 length) {
    return setLock(F_RDLCK, offset, length);
}
bool LockFile::lockExclusive(qint64 offset, qint64 length) {
    return setLock(F_WRLCK, offset, length);
}
void LockFile::unlock(qint64 offset, qint64 length) {
    setLock(F_UNLCK, offset, length);
}

bool LockFile::lockedByOther(qint64 offset, qint64 length) const {
    return conflictAt(offset, length) >= 0;
}

qint64 LockFile::conflictAt(qint64 offset, qint64 length) const {
    if (fd_ < 0) return -1;
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = length;
    if (fcntl(fd_, F_OFD_GETLK, &fl) != 0 || fl.l_type == F_UNLCK) return -1;
    return std::max(offset, qint64(fl.l_start));
}

} // namespace engine

#include "engine/LockFile.h"

#include "engine/Error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace engine {

LockFile::~LockFile() {
    close();
}

void LockFile::open(const QString& path) {
    close();
    const QByteArray p = path.toLocal8Bit();
    fd_ = ::open(p.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0)
        throw Error(QStringLiteral("Cannot open the lock file %1: %2")
                        .arg(path, QString::fromLocal8Bit(strerror(errno))));
    path_ = path;
}

void LockFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
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
    if (fd_ < 0) return false;
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = length;
    if (fcntl(fd_, F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type != F_UNLCK;
}

} // namespace engine

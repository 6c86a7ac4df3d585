#include "engine/Files.h"

#include "engine/Error.h"

#include <QDir>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

QString controlFolderOf(const QString& databaseFolder) {
    return QDir(databaseFolder).filePath(QStringLiteral(".vardimo-control"));
}

bool ensureSharedFolder(const QString& dir, const QString& modelFolder) {
    const QByteArray d = dir.toLocal8Bit();
    struct stat st;
    if (::lstat(d.constData(), &st) != 0) {
        if (::mkdir(d.constData(), 0700) != 0 && errno != EEXIST) return false;
        struct stat model;
        if (::stat(modelFolder.toLocal8Bit().constData(), &model) == 0)
            ::chmod(d.constData(), model.st_mode & 07777);
        if (::lstat(d.constData(), &st) != 0) return false;
    }
    if (!S_ISDIR(st.st_mode)) return false;
    return folderWritable(dir);
}

void refuseLinkedFolder(const QString& dir) {
    struct stat st;
    if (::lstat(dir.toLocal8Bit().constData(), &st) != 0 || S_ISDIR(st.st_mode)) return;
    throw Error(QStringLiteral("The control folder %1 is a symbolic link or not a folder, so the database "
                               "was not opened. Ask the administrator to remove it; it is made again "
                               "when the database opens.")
                    .arg(QDir::cleanPath(dir)));
}

void shareLikeFolder(int fd, const QString& folder) {
    struct stat st;
    if (fd >= 0 && ::stat(folder.toLocal8Bit().constData(), &st) == 0) ::fchmod(fd, st.st_mode & 0666);
}

bool folderWritable(const QString& dir) {
    if (dir.isEmpty()) return false;
    const QString probe =
        QDir(dir).filePath(QStringLiteral(".vardimo-probe-%1-%2")
                               .arg(::getpid())
                               .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    const QByteArray p = probe.toLocal8Bit();
    const int fd = ::open(p.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(p.constData());
    return true;
}

} // namespace engine

#include "engine/Files.h"

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

#include "engine/FolderBusy.h"

#include "engine/Files.h"
#include "engine/LockFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <limits>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace engine {

namespace {
// SQLite's lock bytes of a database file (PENDING, RESERVED, then the SHARED range): a writer
// that keeps readers out holds a write lock on some of them.
constexpr qint64 kPendingByte = 0x40000000;
constexpr qint64 kLockBytesEnd = kPendingByte + 2 + 510;

// The process holding a write lock on SQLite's lock bytes of a file, from the kernel's list of
// locks. The file itself is never opened: closing any descriptor of a file drops every POSIX
// lock this process's own connection holds on it.
qint64 writerPid(const QString& file) {
    struct stat st {};
    if (::stat(QFile::encodeName(file).constData(), &st) != 0) return 0;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text)) return 0;
    const QString device = QStringLiteral("%1:%2:%3")
                               .arg(major(st.st_dev), 2, 16, QLatin1Char('0'))
                               .arg(minor(st.st_dev), 2, 16, QLatin1Char('0'))
                               .arg(quint64(st.st_ino));
    for (const QByteArray& raw : locks.readAll().split('\n')) {
        // "1: POSIX  ADVISORY  WRITE 1234 08:01:5678 1073741824 1073741825"; waiters have "->".
        const QStringList w = QString::fromLatin1(raw).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (w.size() < 8 || w[1] == QLatin1String("->") || w[3] != QLatin1String("WRITE")) continue;
        if (w[5].compare(device, Qt::CaseInsensitive) != 0) continue;
        const qint64 start = w[6].toLongLong();
        const qint64 end =
            w[7] == QLatin1String("EOF") ? std::numeric_limits<qint64>::max() : w[7].toLongLong();
        const qint64 pid = w[4].toLongLong();
        if (end < kPendingByte || start >= kLockBytesEnd || pid <= 0 || pid == ::getpid()) continue;
        return pid;
    }
    return 0;
}
} // namespace

void FolderBusy::install(sqlite3* handle, int timeoutMs) {
    timeoutMs_ = timeoutMs;
    if (handle) sqlite3_busy_handler(handle, &FolderBusy::onBusy, this);
}

int FolderBusy::onBusy(void* self, int count) {
    auto* b = static_cast<FolderBusy*>(self);
    if (count == 0) b->since_.start();
    const qint64 waited = b->since_.elapsed();
    if (b->wait_) {
        if (!b->wait_(waited)) return 0;
    } else if (waited >= b->timeoutMs_) {
        return 0;
    }
    // Short at first, as SQLite's own timeout does: most waits are one commit long.
    sqlite3_sleep(count < 4 ? 2 : count < 10 ? 10 : 25);
    return 1;
}

QString FolderBusy::holder(const QString& tableFile, const QString& databaseFolder) {
    const qint64 pid = writerPid(tableFile);
    if (pid <= 0) return {};
    // Each live session's entry in the list of users is named after its process and locked by it.
    const QDir users(QDir(controlFolderOf(databaseFolder)).filePath(QStringLiteral("vardimo-users")));
    for (const QFileInfo& fi :
         users.entryInfoList({QStringLiteral("%1-*.usr").arg(pid)}, QDir::Files | QDir::NoSymLinks)) {
        LockFile probe;
        if (!probe.openExisting(fi.absoluteFilePath()) || !probe.lockedByOther(0, 1)) continue;
        char name[512];
        const ssize_t n = ::pread(probe.fd(), name, sizeof name, 0);
        if (n > 0) return QString::fromUtf8(name, int(n));
    }
    return {};
}

} // namespace engine

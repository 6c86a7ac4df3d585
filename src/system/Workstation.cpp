#include "system/Workstation.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <pwd.h>
#include <time.h>
#include <unistd.h>

namespace sys {

namespace {
int networkOverride = -1;
QString userOverride;
} // namespace

bool helpFileExists() {
    return QFileInfo::exists(QStringLiteral("Vardimo.hlp"));
}

QString executableFolder() {
    QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    return dir;
}

QString temporaryDirectory() {
    QString dir = QDir::tempPath().left(255);
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    return dir;
}

quint32 tickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return quint32(quint64(ts.tv_sec) * 1000u + quint64(ts.tv_nsec) / 1000000u);
}

void waitMilliseconds(quint32 ms) {
    const quint32 start = tickCount();
    while (tickCount() - start < ms)
        QThread::msleep(std::min<quint32>(10, ms - (tickCount() - start)));
}

bool networkPresent() {
    if (networkOverride >= 0) return networkOverride == 1;
    // An interface other than loopback that the kernel reports as up.
    const QDir net(QStringLiteral("/sys/class/net"));
    for (const QString& name : net.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (name == QLatin1String("lo")) continue;
        QFile state(net.filePath(name + QStringLiteral("/operstate")));
        if (state.open(QIODevice::ReadOnly) && state.readAll().trimmed() == "up") return true;
    }
    return false;
}

QString networkUserName() {
    if (!userOverride.isEmpty()) return userOverride;
    // The operating system's account of the person running the program: nothing they can set
    // in their environment changes who they are.
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name) return QString::fromLocal8Bit(pw->pw_name);
    return {};
}

QString settingIn(const QByteArray& contents, const QString& key) {
    const qsizetype slash = key.indexOf(QLatin1Char('/'));
    const QString section = key.left(slash), name = key.mid(slash + 1);
    QString current;
    for (QByteArray line : contents.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        const QString text = QString::fromUtf8(line);
        const QString trimmed = text.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            current = trimmed.mid(1, trimmed.size() - 2).trimmed();
            continue;
        }
        if (trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#'))) continue;
        const qsizetype eq = text.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        if (current.compare(section, Qt::CaseInsensitive) == 0 &&
            text.left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return text.mid(eq + 1);
    }
    return {};
}

QString installationSetting(const QString& key) {
    QFile ini(executableFolder() + QStringLiteral("vardimo.ini"));
    if (!ini.open(QIODevice::ReadOnly)) return {};
    return settingIn(ini.readAll(), key);
}

void overrideNetworkPresent(int present) {
    networkOverride = present;
}
void overrideNetworkUserName(const QString& name) {
    userOverride = name;
}

} // namespace sys

#include "system/Workstation.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
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

void WaitMilliseconds(quint32 ms) {
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
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name) return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QString novellUserName() {
    QString nw = qEnvironmentVariable("NWUSERNAME");
    if (!nw.isEmpty()) return nw;
    return networkUserName();
}

QString installationSetting(const QString& key) {
    const QString ini = executableFolder() + QStringLiteral("vardimo.ini");
    if (!QFileInfo::exists(ini)) return {};
    return QSettings(ini, QSettings::IniFormat).value(key).toString();
}

void overrideNetworkPresent(int present) {
    networkOverride = present;
}
void overrideNetworkUserName(const QString& name) {
    userOverride = name;
}

} // namespace sys

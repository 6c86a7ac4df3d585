#include "Peer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <stdexcept>
#include <unistd.h>

#ifndef VARDIMO_PEER_PATH
#error "VARDIMO_PEER_PATH must name the peer program"
#endif

namespace testing_support {

Peer::Peer(const QString& folder, const QString& userName) {
    PeerOptions o;
    o.userName = userName;
    start(folder, o);
}

Peer::Peer(const QString& folder, const PeerOptions& options) {
    start(folder, options);
}

void Peer::start(const QString& folder, const PeerOptions& options) {
    QStringList args{folder, options.userName, options.netDir};
    if (options.uid >= 0) {
        proc_.setProgram(QStandardPaths::findExecutable(QStringLiteral("setpriv")));
        args = QStringList{QStringLiteral("--reuid=%1").arg(options.uid),
                           QStringLiteral("--regid=%1").arg(options.uid), QStringLiteral("--clear-groups"),
                           QStringLiteral("--"), QStringLiteral(VARDIMO_PEER_PATH)} +
               args;
    } else {
        proc_.setProgram(QStringLiteral(VARDIMO_PEER_PATH));
    }
    proc_.setArguments(args);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& kv : options.environment)
        env.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
    proc_.setProcessEnvironment(env);
    proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proc_.start();
    if (!proc_.waitForStarted(10000)) throw std::runtime_error("peer did not start");
    const QString hello = send(QStringLiteral("ping"));
    if (!hello.startsWith(QLatin1String("ok")))
        throw std::runtime_error(("peer did not open the database: " + hello).toStdString());
}

Peer::~Peer() {
    if (proc_.state() != QProcess::NotRunning) {
        proc_.write("quit\n");
        proc_.closeWriteChannel();
        if (!proc_.waitForFinished(5000)) kill();
    }
}

QString Peer::send(const QString& command, int timeoutMs) {
    proc_.write((command + QLatin1Char('\n')).toUtf8());
    proc_.waitForBytesWritten(timeoutMs);
    while (!proc_.canReadLine()) {
        if (!proc_.waitForReadyRead(timeoutMs)) return QStringLiteral("error no answer");
    }
    return QString::fromUtf8(proc_.readLine()).trimmed();
}

QStringList Peer::lines() {
    if (proc_.state() != QProcess::NotRunning) proc_.waitForReadyRead(0);
    QStringList out;
    while (proc_.canReadLine())
        out << QString::fromUtf8(proc_.readLine()).trimmed();
    return out;
}

void Peer::kill() {
    proc_.kill();
    proc_.waitForFinished(5000);
}

bool Peer::waitForExit(int timeoutMs) {
    return proc_.state() == QProcess::NotRunning || proc_.waitForFinished(timeoutMs);
}

bool Peer::canSwitchUser(QString* why) {
    auto no = [&](const char* reason) {
        if (why) *why = QString::fromLatin1(reason);
        return false;
    };
    if (::geteuid() != 0) return no("the tests do not run as root, so they cannot start a second account");
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        return no("setpriv is not installed");
    // The peer program must be reachable by the other account.
    for (QFileInfo fi(QStringLiteral(VARDIMO_PEER_PATH)); !fi.isRoot(); fi = QFileInfo(fi.absolutePath()))
        if (!(fi.permissions() & QFileDevice::ExeOther))
            return no("the peer program's folders are closed to other accounts");
    return true;
}

} // namespace testing_support

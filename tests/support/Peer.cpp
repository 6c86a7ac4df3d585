#include "Peer.h"

#include <QCoreApplication>
#include <QDir>
#include <stdexcept>

#ifndef VARDIMO_PEER_PATH
#error "VARDIMO_PEER_PATH must name the peer program"
#endif

namespace testing_support {

Peer::Peer(const QString& folder, const QString& userName) {
    proc_.setProgram(QStringLiteral(VARDIMO_PEER_PATH));
    proc_.setArguments({folder, userName});
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

void Peer::kill() {
    proc_.kill();
    proc_.waitForFinished(5000);
}

} // namespace testing_support

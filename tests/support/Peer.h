#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace testing_support {

// A second workstation: the peer program run as its own process, driven line by line.
class Peer {
public:
    explicit Peer(const QString& folder, const QString& userName = QStringLiteral("peer"));
    ~Peer();
    // Sends one command and returns the peer's one-line answer ("ok ...", "error ...").
    QString send(const QString& command, int timeoutMs = 15000);
    void kill();
    qint64 pid() const { return proc_.processId(); }

private:
    QProcess proc_;
};

} // namespace testing_support

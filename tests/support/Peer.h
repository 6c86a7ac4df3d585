#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace testing_support {

// How a peer is started: under which workstation user name, with which network control folder,
// environment additions (KEY=VALUE) and operating-system account.
struct PeerOptions {
    QString userName = QStringLiteral("peer");
    QString netDir;          // empty: the peer program's folder
    QStringList environment; // added to the test's environment
    int uid = -1;            // another account (needs root and setpriv); -1: this one
};

// A second workstation: the peer program run as its own process, driven line by line.
// Its commands are listed in peer_main.cpp.
class Peer {
public:
    explicit Peer(const QString& folder, const QString& userName = QStringLiteral("peer"));
    Peer(const QString& folder, const PeerOptions& options);
    ~Peer();
    // Sends one command and returns the peer's one-line answer ("ok ...", "error ...").
    QString send(const QString& command, int timeoutMs = 15000);
    void kill();
    // The lines the peer wrote since the last call, without waiting for more (after a command
    // that goes on answering, such as "soak"); after kill(), what it wrote before it died.
    QStringList lines();
    // Waits for the peer to end by itself (after a command that ends it); false on timeout.
    bool waitForExit(int timeoutMs = 15000);
    qint64 pid() const { return proc_.processId(); }

    // Whether peers can run under another account here; when not, why (for a skip message).
    static bool canSwitchUser(QString* why = nullptr);

private:
    void start(const QString& folder, const PeerOptions& options);
    QProcess proc_;
};

} // namespace testing_support

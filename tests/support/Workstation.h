#pragma once

#include "support/Peer.h"
#include "support/PgServer.h"
#include "support/Stores.h"

#include <QDeadlineTimer>
#include <QString>
#include <QThread>
#include <memory>

namespace testing_support {

// Another workstation on a test's store, logged on under a name: the folder peer or the server
// peer, a process of its own either way. Only what both peers can do is offered here; tests of
// the folder peer's other commands use Peer itself.
class Workstation {
public:
    Workstation(const TestStore& store, const QString& userName = QStringLiteral("peer")) {
        if (store.onServer())
            server_ = std::make_unique<PgPeer>(store.location(), userName);
        else
            folder_ = std::make_unique<Peer>(store.location(), userName);
    }
    // Opens a table shared, as a screen of that workstation would; false when refused.
    bool open(const QString& table) {
        return server_ ? server_->send("open " + table) == "ok opened"
                       : folder_->send("open " + table) == "ok";
    }
    bool close(const QString& table) {
        return (server_ ? server_->send("close " + table) : folder_->send("close " + table)) == "ok";
    }
    void kill() {
        if (server_) server_->kill();
        if (folder_) folder_->kill();
    }

private:
    std::unique_ptr<Peer> folder_;
    std::unique_ptr<PgPeer> server_;
};

// Waits, up to a generous limit, for a condition that another process makes true: the server
// notices a killed workstation's lost connection only a moment after the process has ended.
template <typename F> bool eventually(F condition) {
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (condition()) return true;
        QThread::msleep(50);
    }
    return condition();
}

} // namespace testing_support

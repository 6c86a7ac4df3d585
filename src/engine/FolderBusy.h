#pragma once

#include <QElapsedTimer>
#include <QString>
#include <functional>

struct sqlite3;

namespace engine {

// How a folder connection waits for a table file that another workstation holds: SQLite's busy
// handler. Without a wait of its own it gives up after the busy time (then the engine's locked
// message); with one (a plain read whose waiter shows the wait), it goes on while that says so.
class FolderBusy {
public:
    using Wait = std::function<bool(qint64 waitedMs)>;

    FolderBusy() = default;
    FolderBusy(const FolderBusy&) = delete;
    FolderBusy& operator=(const FolderBusy&) = delete;

    void install(sqlite3* handle, int timeoutMs);
    void setWait(Wait wait) { wait_ = std::move(wait); }

    // The user name of the live session whose process holds SQLite's write lock on a table
    // file of `databaseFolder`; empty when nobody does or it cannot be told (a process of
    // another machine, whose locks this kernel does not list).
    static QString holder(const QString& tableFile, const QString& databaseFolder);

private:
    static int onBusy(void* self, int count);

    int timeoutMs_ = 0;
    Wait wait_;
    QElapsedTimer since_;
};

} // namespace engine

#pragma once

#include <QString>

namespace engine {

// What a plain read does while another workstation writes the table it needs. Without one, the
// read gives up after the store's busy time with the locked message; with one, it waits as long
// as the waiter says, and the waiter shows the person that it waits and lets him stop it. The
// program's is a note with Cancel (controls); the engine knows only this interface.
class BusyWait {
public:
    virtual ~BusyWait() = default;
    // Called every few tens of milliseconds while a read outside any transaction waits: `table` the table
    // file it waits for, `holder` the user name of the workstation writing it (empty when the
    // lock files cannot tell), `waitedMs` since the wait began. True to go on waiting; false to
    // give up, and the read fails with the locked message naming the table.
    virtual bool waiting(const QString& table, const QString& holder, qint64 waitedMs) = 0;
    // The wait is over, whichever way; called once after the calls of one wait.
    virtual void ended() = 0;
};

} // namespace engine

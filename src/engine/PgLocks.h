#pragma once

#include "engine/Backend.h"

#include <QHash>
#include <QPair>
#include <QSet>
#include <memory>

namespace engine {

class PgBackend;

// The table opens and record locks of one server session: session-level advisory locks, seen by
// every workstation at once and ended with the connection. The server does not make a session's
// own advisory locks conflict with each other, so what this session's table objects hold is kept
// here as well, and two of them conflict as two workstations do.
class PgLocks {
public:
    explicit PgLocks(PgBackend& store) : store_(store) {}
    ~PgLocks();
    PgLocks(const PgLocks&) = delete;
    PgLocks& operator=(const PgLocks&) = delete;

    // Null when refused: another session, or another table object here, holds the table in a
    // way that excludes this open.
    std::unique_ptr<Backend::OpenLock> lockTable(const TableDef& t, bool exclusive);
    // Waits until no other session takes numbers for the table, and keeps them waiting until this
    // transaction ends (the lock timeout applies; a timeout is a busy error, tried again).
    void lockNumbering(const TableDef& t);
    // The connection ends, and the server releases every lock with it: the table objects' locks
    // forget theirs without telling the server.
    void forgetAll();
    // On a new connection after a lost one: takes every table open and record lock known here
    // again. Throws engine::Error naming the table when another workstation took a table in the
    // meantime; a row lock someone else holds now stays with him, and the row is left to be
    // relocked (Open::relock) before it is written.
    void retake();

private:
    class Open;
    friend class Open;
    static int tableNumber(const TableDef& t);

    PgBackend& store_;
    QHash<int, int> sharedOpens_;
    QSet<int> exclusiveOpens_;
    QSet<QPair<int, qint64>> records_;
    QSet<int> heldTables_; // by a batch of one of this session's table objects
    QSet<Open*> opens_;
};

} // namespace engine

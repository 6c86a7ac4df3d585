#pragma once

#include "engine/Dialect.h"
#include "engine/Error.h"
#include "engine/LargeResult.h"
#include "engine/Schema.h"
#include "engine/Sql.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace engine {

class Database;

class Session;

// Where the rows of a database live: a folder of table files, or a PostgreSQL server. Everything
// that differs between the two stores sits behind this interface, so that table objects, queries
// and the screens above them work the same on both.
class Backend {
public:
    // The store a location names (a folder, or a server's URI), not yet open.
    static std::unique_ptr<Backend> make(const QString& location, Session& session);

    virtual ~Backend() = default;
    // The location as a person may be shown it: the folder, or the server's URI without any password.
    virtual QString displayName() const = 0;

    // --- Connection -------------------------------------------------------------------------
    // Opens an existing database and registers this session under a user name in the store's list
    // of sessions. Throws engine::Error with a message naming the location when that fails.
    virtual void open(const QString& location, const QString& userName) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QSqlDatabase connection() const = 0;
    // Whether the connection to the store broke (a server restarted, a network cut): nothing can
    // run on it until reconnect() made it again. A folder never loses its connection.
    virtual bool connectionLost() const { return false; }
    // Connects again as the same session, taking back the locks of the open tables and the rows
    // being edited; gives the message that tells the person so. Throws engine::Error, saying the
    // connection is still lost and what to do, when the store cannot be reached yet.
    virtual QString reconnect() { return {}; }
    // Makes a new database at a location: the nine tables with their named indexes, the settings
    // row, profile 0 with every right and the built-in account "Supervisor". Writes nothing when
    // a database is already there or any step fails.
    virtual void create(const QString& location) = 0;

    // --- Names and statements ---------------------------------------------------------------
    // Checks that a table is there and can be used, and makes it reachable from statements.
    // `inTransaction`: the connection is inside a transaction, where a store that cannot reach a
    // new table then (a folder attaches no file there) refuses with a message saying so.
    virtual void prepareTable(const TableDef& t, bool inTransaction) = 0;
    // How this store spells statements: the system's texts and the engine's own statements are
    // rendered in it.
    virtual const Dialect& dialect() const = 0;
    QString tableName(const TableDef& t) const { return dialect().table(t); }
    QString columnName(const QString& column) const { return dialect().column(column); }
    QString rowKey(const TableDef& t) const { return dialect().rowKey(t); }
    // An INSERT of some columns whose executed query gives the new row's key to insertedKey().
    QString insertSql(const TableDef& t, const QStringList& columns) const {
        return dialect().insertSql(t, columns);
    }
    // Runs one statement of this store's dialect with bound values; throws engine::Error with a
    // message a person can act on, naming `files` (the table files concerned) where it can.
    virtual QSqlQuery exec(const QString& sql, const QVariantList& binds = {}, const QString& files = {}) = 0;
    // Runs BEGIN, COMMIT and the savepoint statements, in the way that costs this store
    // least (every post begins and commits).
    void control(const QString& sql, const QString& files = {}) { controlWork(sql, files)(); }
    // The same in two steps: what needs the connection's own thread (finding or making the
    // statement) is done now; the work returned runs it, and may run on another thread while
    // nothing else uses this connection (a long commit, while a window goes on painting).
    virtual std::function<void()> controlWork(const QString& sql, const QString& files = {}) = 0;
    // A failure of a statement run on connection() as the engine reports it: a lock held by
    // another workstation is Error::Kind::Busy (the engine waits and tries again). `preparing`:
    // the statement failed to prepare, where a fault of the statement itself is reported as an
    // invalid statement.
    virtual Error failure(const QSqlError& error, const QString& files, bool preparing = false) const = 0;
    // Whether a failure of a statement inside a transaction of `depth` levels ended the
    // store's transaction (its later statements must not run on their own, its commit must fail).
    virtual bool failureEndsTransaction(int depth) const = 0;
    // Undoes the transaction begun on this connection, where the store still holds it (a failure
    // may have ended it already).
    void rollbackTransaction();
    // Undoes the work since a savepoint and releases it; false when that fails, the store's
    // transaction being gone.
    bool rollbackToSavepoint(const QString& name);
    // Runs one unit of writing inside the open transaction of `db` so that, when it fails, only
    // the unit is undone and it may be tried again: a store where a failed statement spoils the
    // whole transaction puts a savepoint around it.
    virtual void writeUnit(Database& db, const std::function<void()>& unit) = 0;
    // Reads rows of `t` (the row key first, then every column in table order) for the row cache
    // and the filters of a table object, giving each as the engine keeps values (see readValue;
    // texts may be UTF-8 bytes).
    using RowSink = std::function<void(qint64 key, QVariantList&& values)>;
    virtual void scanRows(const QString& sql, const QVariantList& binds, const TableDef& t,
                          const QString& files, const RowSink& row) = 0;
    // Reads the result of any Select once, forward, straight through the store: each row's values
    // in the order of its columns, as the engine keeps them, none kept after the call. False,
    // with nothing read, where the store has no way faster than its driver's.
    using ValuesSink = std::function<void(const QVariantList& values)>;
    virtual bool readForward(const QString& sql, const QVariantList& binds, const QString& files,
                             const ValuesSink& row) {
        Q_UNUSED(sql);
        Q_UNUSED(binds);
        Q_UNUSED(files);
        Q_UNUSED(row);
        return false;
    }
    virtual qint64 insertedKey(QSqlQuery& executed) const = 0;
    // Runs a statement that changes rows (an UPDATE) straight through the store, giving how many
    // rows it changed; nothing where the driver's prepared statement costs the store no more.
    virtual std::optional<qint64> changeRows(const QString& sql, const QVariantList& binds,
                                             const QString& files) {
        Q_UNUSED(sql);
        Q_UNUSED(binds);
        Q_UNUSED(files);
        return std::nullopt;
    }
    // A value as the store gives it back, in the form the engine keeps (dates as ISO text,
    // whole numbers as 64-bit integers).
    virtual QVariant readValue(const QVariant& stored, FieldType type) const = 0;

    // While on, a transaction keeps what it changed in memory until its commit, however much that
    // is, so that other workstations go on reading the tables (the old rows) until then; a store
    // whose readers never wait for a writer needs nothing of it.
    virtual void keepChangesInMemory(bool on) { Q_UNUSED(on); }

    // --- Large query results ------------------------------------------------------------------
    // Opens the result of a Select too large to hold in memory; its statements run through `exec`.
    virtual std::unique_ptr<LargeResult> openLargeResult(const Statement& st, const QString& files,
                                                         const LargeResult::Exec& exec) = 0;

    // --- Locks --------------------------------------------------------------------------------
    // Held by one table object while it is open. Every lock dies with the session's connection
    // or process, so a crashed workstation never leaves one behind.
    class OpenLock {
    public:
        virtual ~OpenLock() = default;
        // Non-blocking; false while another table object (here or on another workstation) holds
        // the row.
        virtual bool lockRecord(qint64 key) = 0;
        virtual void unlockRecord(qint64 key) = 0;
        // Every row at once, for a batch: one lock instead of one per row, and other table
        // objects cannot begin editing any row until unlockAllRecords(). False, with the key of
        // a row someone else is editing in `busyKey` (-1 when the store cannot tell), when that is
        // not possible now; a store without it says false.
        virtual bool lockAllRecords(qint64& busyKey) {
            busyKey = -1;
            return false;
        }
        virtual void unlockAllRecords() {}
        // Whether the lock on a row being edited broke with a lost connection, so that another
        // workstation may have changed the row in between.
        virtual bool interrupted(qint64 key) const {
            Q_UNUSED(key);
            return false;
        }
        // Takes such a row's lock again; false while someone else holds it.
        virtual bool relock(qint64 key) { return lockRecord(key); }
    };
    // Shared, or exclusive for packing. Null when refused: another session has the table open
    // exclusively, or (for an exclusive open) has it open at all.
    virtual std::unique_ptr<OpenLock> lockTable(const TableDef& t, bool exclusive) = 0;

    // The user names of every live session of this database, this one included.
    virtual QStringList sessions() = 0;
    // Whether the store itself checks each user's password, so that a user logs on to it as
    // himself rather than through the program's table of users (a secured server).
    virtual bool holdsLogons() { return false; }

    // How long the next statements wait for a table that another workstation writes: while
    // `wait` (given the milliseconds waited so far) says so; empty: the store's busy time.
    // A server's readers never wait for its writers, so it needs none.
    virtual void setReadWait(std::function<bool(qint64 waitedMs)> wait) { Q_UNUSED(wait); }
    // The user name of the workstation writing a table now; empty when the store cannot tell.
    virtual QString lockHolder(const TableDef& t) {
        Q_UNUSED(t);
        return {};
    }

    // Called inside a write before reading the highest number of a numbered column of `t`: from
    // then until the transaction ends, no other session can store a number there that this read
    // would miss. A folder needs nothing of it: once a transaction has read a file, nobody else
    // commits to it before that transaction ends, and a write of its own that meets another
    // writer fails and is run again from the read.
    virtual void lockNumbering(const TableDef& t) { Q_UNUSED(t); }

    // --- History (see History) ----------------------------------------------------------------
    // The table keeping the versions of `t`'s rows as statements name it; empty when this store
    // keeps none.
    virtual QString historyTable(const TableDef& t) const {
        Q_UNUSED(t);
        return {};
    }
    // The user number the next changes are recorded for (0: nobody known).
    virtual void setChangeAuthor(int user) { Q_UNUSED(user); }
    // Whether changes are recorded at all (they are, unless a benchmark compares).
    virtual void keepHistory(bool on) { Q_UNUSED(on); }

    // --- Maintenance --------------------------------------------------------------------------
    // Gives back the space of deleted rows; the table must be open exclusively.
    virtual void compact(const TableDef& t) = 0;
    // Bytes the table takes in the store; 0 when it is missing.
    virtual qint64 tableSize(const TableDef& t) = 0;
    // A value that differs from the one taken before whenever another session has written to the
    // table in between (writes of this session may change it too); null when the store cannot tell.
    virtual QVariant changeMark(const TableDef& t) = 0;
    // The marks of several tables, in their order, asked at once (a server answers in one round trip).
    virtual QVariantList changeMarks(const std::vector<const TableDef*>& ts) {
        QVariantList marks;
        for (const TableDef* t : ts)
            marks << changeMark(*t);
        return marks;
    }
    // The hash of a table's password, empty when the table is not protected.
    virtual QString protectionHash(const TableDef& t) = 0;
    virtual void setProtectionHash(const TableDef& t, const QString& hash) = 0;

    // A failure of the store as a message a person can act on, naming the table file when known.
    virtual QString describe(const QSqlError& error, const QString& fileName = {}) const = 0;

    // --- Cost ---------------------------------------------------------------------------------
    // The statements sent to the store so far, the driver's own preparing and releasing of a
    // statement included: on a server, each is a round trip over the network.
    qint64 statementsSent() const { return statementsSent_; }
    void countStatements(int n = 1) { statementsSent_ += n; }

protected:
    // Whether the store still holds the transaction begun on this connection.
    virtual bool holdsTransaction() const = 0;

private:
    qint64 statementsSent_ = 0;
};

// Whether an alias's value names a server (a postgresql:// or postgres:// URI) rather than a folder.
bool isServerLocation(const QString& location);

} // namespace engine

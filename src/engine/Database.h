#pragma once

#include "engine/Backend.h"
#include "engine/BusyWait.h"
#include "engine/Error.h"
#include "engine/Schema.h"
#include "engine/Session.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <functional>
#include <memory>
#include <vector>

namespace engine {

namespace detail {
struct CachedStatement {
    QSqlQuery query;
    bool inUse = false;
};
} // namespace detail

// The rows of one run of a cached prepared statement. Reading ends when the cursor goes out of
// scope: the statement is reset then, so no lock on a table file outlives the read.
class Cursor {
public:
    Cursor(Cursor&& other) noexcept : st_(std::move(other.st_)) {}
    Cursor& operator=(Cursor&&) = delete;
    ~Cursor();
    bool next() { return st_->query.next(); }
    QVariant value(int i) const { return st_->query.value(i); }
    QSqlQuery& query() { return st_->query; }

private:
    friend class Database;
    explicit Cursor(std::shared_ptr<detail::CachedStatement> st) : st_(std::move(st)) {}
    std::shared_ptr<detail::CachedStatement> st_;
};

// One connection to a database: a folder of table files or a PostgreSQL server, whichever the
// alias names (see Backend). Statements, transactions and change notifications work the same on
// both; what differs between the stores is the backend's.
class Database : public QObject {
    Q_OBJECT
public:
    explicit Database(Session& session = Session::instance(), QObject* parent = nullptr);
    ~Database() override;

    // Opens the database an alias names (a folder, or a postgresql:// URI), or, when no such
    // alias is known, the folder or URI itself. A folder's control folder is cleaned of what
    // killed sessions left there, rolling back their unfinished commits first.
    void open(const QString& aliasOrLocation);
    void close();
    bool isOpen() const { return open_; }
    // The folder, or the server's URI without any password.
    QString folder() const;
    Session& session() const { return session_; }
    // The store behind this connection; only valid while it is open.
    Backend& backend() const;

    // The folder inside a database folder that holds the connections' own files and the list of
    // its users.
    static QString controlFolder(const QString& databaseFolder);

    // Makes a table usable by statements (a folder attaches its file, checking that it exists,
    // can be read and is a database holding the table); throws engine::Error naming the file
    // otherwise.
    void attach(const TableDef& t);

    // Runs one statement with bound values. Throws engine::Error on failure, naming `files`
    // (the table files the statement reads or writes) where the failure concerns them.
    QSqlQuery exec(const QString& sql, const QVariantList& binds = {}, const QString& files = {});
    // The same through a prepared statement kept for this text: statements that run again and
    // again (row reads, posts) are prepared once.
    Cursor run(const QString& sql, const QVariantList& binds = {}, const QString& files = {});
    QSqlDatabase connection() const;
    // When the store's connection was lost: outside a transaction, connects again and throws the
    // message saying so (the action that met it is not carried out, so nothing runs on what the
    // person saw before the loss); inside one, ends the transaction as not stored. Every
    // statement passes here first; does nothing while the connection is sound.
    void reconnectIfLost();
    // Runs reads made through the store directly (a table's protection, its change mark) as a
    // plain read of `files`: a lost connection is made again first, and a busy table is waited
    // for as statements wait.
    void reading(const QString& files, const std::function<void()>& reads);
    // Who is told when a plain read (outside any transaction) waits for a table another
    // workstation writes, and decides how long it waits; none (the default): the read gives up
    // after the busy time. Not owned; it must outlive the database's use of it.
    void setBusyWait(BusyWait* wait) { busyWait_ = wait; }
    // Reads rows of a table for the row cache of a table object: `sql` selects the row key, then
    // every column of `t` in order. The statement is prepared once per text and its reading ends
    // before this returns (no lock outlives the read).
    void scan(const QString& sql, const QVariantList& binds, const TableDef& t, const Backend::RowSink& row);
    // Reads a Select's result once, forward, where the store has a way faster than its driver
    // (Backend::readForward); false, with nothing read, where it has none.
    bool readForward(const QString& sql, const QVariantList& binds, const QString& files,
                     const Backend::ValuesSink& row);
    // Runs a statement that changes rows (a table object's UPDATE of one row, or of many) and
    // gives how many it changed; prepared once per text, as run() does.
    qint64 change(const QString& sql, const QVariantList& binds, const QString& files);
    // Opens the result of a Select too large to hold in memory, kept where the store reads it
    // again at least cost; reading it runs on this connection.
    std::unique_ptr<LargeResult> openLargeResult(const Statement& st, const QString& files);

    // The user names of every live session of this database, this one included.
    QStringList sessions();
    // Who the changes made through this connection are recorded for (see History); kept over
    // a reconnection.
    void setChangeAuthor(int user);
    void keepHistory(bool on);
    // Bytes a table takes in the store; 0 when it is missing or the database is not open.
    qint64 tableSize(const QString& fileName);

    // Transactions. The outermost level is a deferred transaction (a statement locks only the
    // files it touches); inner levels are savepoints, so a failure inside rolls back its own
    // level and the outer level decides. Changes become visible to the table objects of this
    // connection (change notifications) after the outermost commit; a rollback makes the
    // table objects that saw its rows read them again. Use Transaction or BatchScope rather
    // than calling these directly.
    void begin();
    void commit();
    void rollback();
    int transactionDepth() const { return int(levels_.size()); }
    // Inside a batch scope that is all or nothing (no chunked commits): a table object may then
    // hold every row of its table until the batch ends. `batchSerial()` tells one batch from the next.
    bool holdingBatch() const { return batchLevel_ == 1 && batchChunk_ == 0 && !levels_.empty(); }
    int batchSerial() const { return batchSerial_; }
    // While set, the outermost commit runs on a thread of its own and this thread calls `tick`
    // about twenty times a second until it ends: a large batch's commit is one step that no progress
    // callback breaks up, and the window showing it must go on painting. The tick must not use
    // this database (its connection is busy on the other thread); use CommitTicking.
    void setCommitTick(std::function<void()> tick) { commitTick_ = std::move(tick); }
    // Writes a table object keeps back to send many rows at once: `flush` sends them and runs
    // before any other statement of this connection (and before the commit); `drop` forgets them
    // when the transaction rolls back. A later deferral flushes the one before.
    void defer(std::function<void()> flush, std::function<void()> drop);

    // Runs a unit of writing: one statement (a unit must be safe to run again after it failed).
    // Outside a transaction it is its own transaction; when it meets another workstation's
    // write lock it rolls back, waits and tries again within the busy timeout, then fails with
    // the lock message naming the table. Inside one, the enclosing level decides about it; a
    // write refused because another workstation writes the same file is tried again within
    // the busy timeout.
    void write(const std::function<void()>& unit);

    // Tells every table object of this database that a table's rows changed; inside a
    // transaction, after its outermost commit. `origin` (the table object that made the
    // change and has already taken it into account) is not told.
    void notifyChanged(const QString& schemaName, const QObject* origin = nullptr);

    // Creates a new database: a folder with the nine tables and their lock files and the control
    // folder, or the tables on a server (a postgresql:// URI); with the settings row, profile 0
    // with every right and the built-in account "Supervisor" without a password. Refuses to
    // write over any existing table.
    static void create(const QString& location);

    // The path of a file of a folder whose name matches in any letter case; empty when none does.
    static QString findFile(const QString& folder, const QString& name);

    // Translates an engine-level failure of SQLite into a message a person can act on.
    static QString describe(const QString& driverText, const QString& file = {});

signals:
    // After the rows of a table changed (inside a transaction: after its outermost commit).
    void tableChanged(const QString& schemaName);
    // The same with the table object that made the change (nullptr: several or unknown).
    void tableChangedBy(const QString& schemaName, const QObject* origin);
    // Rows written to a table were rolled back; table objects that read them read again.
    void tableRolledBack(const QString& schemaName);
    // A batch scope ended (committed or not): what table objects held for it is let go.
    void batchEnded();

private:
    friend class BatchScope;
    friend class Transaction;
    friend class ReadWaitScope;
    struct Level {
        QHash<QString, QSet<const QObject*>> changed;
    };
    void checkTransactionAlive();
    // Runs BEGIN, COMMIT and the savepoint statements; `ticking`: the outermost commit, during
    // which the commit tick runs.
    void control(const QString& sql, const QString& files = {}, bool ticking = false);
    void failed();
    void transactionLost();
    void rolledBack(const Level& level);
    void flush(const Level& level);
    void rollbackLevels(int keep);
    QString writtenFiles() const;
    void rowWritten();

    Session& session_;
    std::unique_ptr<Backend> backend_;
    bool open_ = false;
    std::vector<Level> levels_;
    bool lost_ = false;
    QSet<QString> pendingRollback_;
    QHash<QString, std::shared_ptr<detail::CachedStatement>> statements_;
    // The batch scope that may commit in chunks: its level and rows per chunk.
    int batchLevel_ = 0;
    int batchChunk_ = 0;
    int batchRows_ = 0;
    int batchSerial_ = 0;
    std::function<void()> deferredFlush_, deferredDrop_;
    std::function<void()> commitTick_;
    // Runs `work` on a thread of its own while this one ticks, when a commit tick is set.
    void whileTicking(const std::function<void()>& work);
    void flushDeferred();
    void dropDeferred();
    // A read made through the store itself rather than a statement of the driver: checked, waited
    // for and failed as run() does.
    void readThroughStore(const QString& files, const std::function<void()>& reads);
    BusyWait* busyWait_ = nullptr;
    int changeAuthor_ = 0;
    bool historyKept_ = true;
    friend class Table;
};

// Keeps a window painting through the commits of a database while it lives (see setCommitTick).
class CommitTicking {
public:
    CommitTicking(Database& db, std::function<void()> tick) : db_(db) { db_.setCommitTick(std::move(tick)); }
    ~CommitTicking() { db_.setCommitTick({}); }
    CommitTicking(const CommitTicking&) = delete;
    CommitTicking& operator=(const CommitTicking&) = delete;

private:
    Database& db_;
};

// Adds many rows to one table with one prepared statement (creation of sample data).
class Inserter {
public:
    Inserter(Database& db, const QString& fileName, const QStringList& columns);
    qint64 add(const QVariantList& values); // returns the new row's key

private:
    QSqlQuery query_;
    QString fileName_;
    Backend* backend_ = nullptr;
};

// THE transaction of the engine: statements and posts made while it lives commit together or
// not at all. It nests: inside another transaction it is a savepoint, and a failure inside
// (an exception that leaves its scope) rolls back only its own work; the enclosing level then
// decides. Change notifications reach the table objects after the outermost commit; a
// rollback makes the table objects that saw its rows read again.
//
//     engine::Transaction tx(db);
//     ... posts, Query::execSql, Table::remove ...
//     tx.commit();          // without it, leaving the scope rolls back
//
// Table objects cannot be opened inside a transaction whose tables are not attached yet (SQLite
// attaches no file inside a transaction): open them before.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Database& db_;
    int level_;
    bool done_ = false;
};

// A scope for batch work through table objects (conversions, cascades, imports): a loop of
// edit/post (or insert/post, remove) runs with the usual record semantics (before-post rules,
// record locks, key lists kept in place) but in one transaction instead of one per row, so it
// costs what SQLite costs.
//
//     engine::BatchScope batch(db);          // or BatchScope(db, 5000): commit every 5000 rows
//     for (t.first(); !t.eof(); t.next()) { t.edit(); ...; t.post(); }
//     batch.commit();
//
// With `chunkRows` > 0 (and no enclosing transaction) the work commits every `chunkRows` rows
// written, so other workstations can write in between; a failure then keeps the chunks already
// committed and rolls back only the current one. Without it the batch is all or nothing.
// Inside an enclosing transaction a batch scope is a savepoint like Transaction.
class BatchScope {
public:
    explicit BatchScope(Database& db, int chunkRows = 0);
    ~BatchScope();
    BatchScope(const BatchScope&) = delete;
    BatchScope& operator=(const BatchScope&) = delete;
    void commit();

private:
    Database& db_;
    int level_;
    bool done_ = false;
};

} // namespace engine

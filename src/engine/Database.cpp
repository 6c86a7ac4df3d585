#include "engine/Database.h"

#include "engine/Error.h"
#include "engine/Files.h"
#include "engine/FolderBackend.h"
#include "engine/FolderErrors.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlError>
#include <QThread>
#include <chrono>
#include <future>
#include <utility>

namespace engine {

namespace {
constexpr int kBusyTimeoutMs = 5000;
constexpr int kCachedStatements = 256;

void bindAll(QSqlQuery& q, const QVariantList& binds) {
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
}

QString fileOf(const QString& schema) {
    const TableDef* t = findTable(schema);
    return t ? t->fileName : schema;
}
} // namespace

// While one statement runs outside a transaction, lets the database's waiter decide how long it
// waits for a table another workstation writes, telling it which table and who holds it.
class ReadWaitScope {
public:
    ReadWaitScope(Database& db, const QString& files) : db_(db) {
        if (!db_.busyWait_ || !db_.levels_.empty()) return;
        active_ = true;
        db_.backend_->setReadWait([this, files](qint64 waitedMs) {
            if (!asked_.isValid() || asked_.hasExpired(1000)) {
                asked_.start();
                findHolder(files);
            }
            waited_ = true;
            return db_.busyWait_->waiting(table_, holder_, waitedMs);
        });
    }
    ~ReadWaitScope() {
        if (!active_) return;
        db_.backend_->setReadWait({});
        if (waited_) db_.busyWait_->ended();
    }
    ReadWaitScope(const ReadWaitScope&) = delete;
    ReadWaitScope& operator=(const ReadWaitScope&) = delete;

private:
    void findHolder(const QString& files) {
        const QStringList names = files.split(QStringLiteral(", "), Qt::SkipEmptyParts);
        table_ = names.value(0, QStringLiteral("the database"));
        holder_.clear();
        for (const QString& name : names) {
            const TableDef* t = findTable(name);
            const QString who = t ? db_.backend_->lockHolder(*t) : QString();
            if (who.isEmpty()) continue;
            table_ = name;
            holder_ = who;
            return;
        }
    }

    Database& db_;
    bool active_ = false;
    bool waited_ = false;
    QElapsedTimer asked_;
    QString table_;
    QString holder_;
};

Cursor::~Cursor() {
    if (!st_) return;
    st_->query.finish();
    st_->inUse = false;
}

Database::Database(Session& session, QObject* parent) : QObject(parent), session_(session) {}

Database::~Database() {
    close();
}

QString Database::controlFolder(const QString& databaseFolder) {
    return controlFolderOf(databaseFolder);
}

QString Database::describe(const QString& driverText, const QString& file) {
    return FolderErrors::describe(driverText, file);
}

QString Database::findFile(const QString& folder, const QString& name) {
    return FolderBackend::findFile(folder, name);
}

void Database::create(const QString& location) {
    Backend::make(location, Session::instance())->create(location);
}

void Database::open(const QString& aliasOrLocation) {
    close();
    const QString location =
        session_.hasAlias(aliasOrLocation) ? session_.aliasPath(aliasOrLocation) : aliasOrLocation;
    std::unique_ptr<Backend> b = Backend::make(location, session_);
    b->open(location, session_.userName());
    b->setChangeAuthor(changeAuthor_);
    b->keepHistory(historyKept_);
    backend_ = std::move(b);
    open_ = true;
}

Backend& Database::backend() const {
    if (!backend_) throw Error::notOpen();
    return *backend_;
}

QString Database::folder() const {
    return backend_ ? backend_->displayName() : QString();
}

QSqlDatabase Database::connection() const {
    return backend_ ? backend_->connection() : QSqlDatabase();
}

void Database::attach(const TableDef& t) {
    if (!open_) throw Error::notOpen();
    reconnectIfLost();
    // Reaching a table reads its file, which waits for a writer as any read does.
    const ReadWaitScope wait(*this, t.fileName);
    backend_->prepareTable(t, !levels_.empty());
}

void Database::setChangeAuthor(int user) {
    changeAuthor_ = user;
    if (backend_) backend_->setChangeAuthor(user);
}

void Database::keepHistory(bool on) {
    historyKept_ = on;
    if (backend_) backend_->keepHistory(on);
}

QStringList Database::sessions() {
    reconnectIfLost();
    return open_ ? backend_->sessions() : session_.users();
}

qint64 Database::tableSize(const QString& fileName) {
    const TableDef* t = findTable(fileName);
    return open_ && t ? backend_->tableSize(*t) : 0;
}

void Database::close() {
    if (!open_) return;
    if (!levels_.empty()) {
        try {
            rollbackLevels(0);
        } catch (const Error&) {
        }
    }
    for (auto& st : statements_) {
        st->query.finish();
        st->query = QSqlQuery();
    }
    statements_.clear();
    deferredFlush_ = deferredDrop_ = {};
    backend_->close();
    backend_.reset();
    levels_.clear();
    lost_ = false;
    batchLevel_ = batchChunk_ = batchRows_ = 0;
    open_ = false;
}

void Database::failed() {
    if (levels_.empty()) return;
    // A transaction does not survive its connection, whatever level the statement ran at.
    if (backend_->failureEndsTransaction(int(levels_.size())) || backend_->connectionLost())
        transactionLost();
}

void Database::reconnectIfLost() {
    if (!open_ || !backend_->connectionLost()) return;
    if (!levels_.empty()) {
        transactionLost();
        return;
    }
    // The prepared statements belong to the old connection.
    for (auto& st : statements_) {
        st->query.finish();
        st->query = QSqlQuery();
    }
    statements_.clear();
    throw Error(backend_->reconnect());
}

QSqlQuery Database::exec(const QString& sql, const QVariantList& binds, const QString& files) {
    if (!open_) throw Error::notOpen();
    reconnectIfLost();
    checkTransactionAlive();
    flushDeferred();
    const ReadWaitScope wait(*this, files);
    try {
        return backend_->exec(sql, binds, files);
    } catch (const Error&) {
        failed();
        throw;
    }
}

Cursor Database::run(const QString& sql, const QVariantList& binds, const QString& files) {
    if (!open_) throw Error::notOpen();
    reconnectIfLost();
    checkTransactionAlive();
    flushDeferred();
    std::shared_ptr<detail::CachedStatement> st;
    auto it = statements_.find(sql);
    if (it != statements_.end() && !it.value()->inUse) {
        st = it.value();
    } else {
        st = std::make_shared<detail::CachedStatement>();
        st->query = QSqlQuery(connection());
        st->query.setForwardOnly(true);
        // Prepared, and released again when it leaves the cache (or now, when it is not kept).
        backend_->countStatements(2);
        if (!st->query.prepare(sql)) {
            const Error e = backend_->failure(st->query.lastError(), files, true);
            failed();
            throw e;
        }
        if (it == statements_.end()) {
            if (statements_.size() >= kCachedStatements)
                for (auto i = statements_.begin(); i != statements_.end();)
                    i = i.value()->inUse ? std::next(i) : statements_.erase(i);
            statements_.insert(sql, st);
        }
    }
    bindAll(st->query, binds);
    st->inUse = true;
    backend_->countStatements();
    const ReadWaitScope wait(*this, files);
    if (!st->query.exec()) {
        const Error e = backend_->failure(st->query.lastError(), files);
        st->query.finish();
        st->inUse = false;
        failed();
        throw e;
    }
    return Cursor(std::move(st));
}

void Database::reading(const QString& files, const std::function<void()>& reads) {
    if (!open_) throw Error::notOpen();
    reconnectIfLost();
    const ReadWaitScope wait(*this, files);
    reads();
}

std::unique_ptr<LargeResult> Database::openLargeResult(const Statement& st, const QString& files) {
    flushDeferred();
    return backend().openLargeResult(st, files,
                                     [this](const QString& sql, const QVariantList& binds, const QString& f) {
                                         return exec(sql, binds, f);
                                     });
}

void Database::readThroughStore(const QString& files, const std::function<void()>& reads) {
    if (!open_) throw Error::notOpen();
    reconnectIfLost();
    checkTransactionAlive();
    flushDeferred();
    const ReadWaitScope wait(*this, files);
    try {
        reads();
    } catch (const Error&) {
        failed();
        throw;
    }
}

void Database::scan(const QString& sql, const QVariantList& binds, const TableDef& t,
                    const Backend::RowSink& row) {
    readThroughStore(t.fileName, [&] { backend_->scanRows(sql, binds, t, t.fileName, row); });
}

bool Database::readForward(const QString& sql, const QVariantList& binds, const QString& files,
                           const Backend::ValuesSink& row) {
    bool read = false;
    readThroughStore(files, [&] { read = backend_->readForward(sql, binds, files, row); });
    return read;
}

qint64 Database::change(const QString& sql, const QVariantList& binds, const QString& files) {
    // Sent straight through the store where it can, and then checked, waited for and failed as
    // the store's own reads are.
    std::optional<qint64> changed;
    readThroughStore(files, [&] { changed = backend_->changeRows(sql, binds, files); });
    if (changed) {
        backend_->countStatements();
        return *changed;
    }
    Cursor q = run(sql, binds, files);
    return q.query().numRowsAffected();
}

// ---- transactions ---------------------------------------------------------------------------

void Database::checkTransactionAlive() {
    if (lost_ && !levels_.empty())
        throw Error(QStringLiteral("The transaction was rolled back after an earlier failure; nothing of it "
                                   "was stored."),
                    Error::Kind::TransactionLost);
}

void Database::transactionLost() {
    // SQLite ended the whole transaction (a full disk, an I/O error): every level is gone.
    // Later statements of it must not run on their own, and its outermost commit must fail.
    lost_ = true;
}

void Database::begin() {
    if (!open_) throw Error::notOpen();
    reconnectIfLost();
    checkTransactionAlive();
    if (levels_.empty())
        control(QStringLiteral("BEGIN"));
    else
        control(QStringLiteral("SAVEPOINT vardimo_%1").arg(levels_.size()));
    levels_.emplace_back();
}

void Database::control(const QString& sql, const QString& files, bool ticking) {
    checkTransactionAlive();
    try {
        flushDeferred();
        const std::function<void()> work = backend_->controlWork(sql, files);
        if (ticking)
            whileTicking(work);
        else
            work();
    } catch (const Error&) {
        failed();
        throw;
    }
}

void Database::whileTicking(const std::function<void()>& work) {
    if (!commitTick_) {
        work();
        return;
    }
    // Nothing else uses the connection meanwhile: this thread only ticks. A busy handler that
    // waits for another workstation sleeps on the work's thread. Ticks come twice as often as a
    // window must repaint: the first may come up to one interval after the last record was shown.
    constexpr std::chrono::milliseconds kTickInterval{50};
    auto done = std::async(std::launch::async, work);
    while (done.wait_for(kTickInterval) != std::future_status::ready) {
        try {
            commitTick_();
        } catch (...) {
            // The commit goes on whatever the window does; it alone decides the outcome.
        }
    }
    done.get();
}

QString Database::writtenFiles() const {
    QStringList files;
    for (const Level& l : levels_)
        for (auto it = l.changed.begin(); it != l.changed.end(); ++it)
            if (!files.contains(fileOf(it.key()))) files << fileOf(it.key());
    return files.join(QStringLiteral(", "));
}

void Database::commit() {
    if (levels_.empty()) return;
    if (lost_) {
        backend_->rollbackTransaction();
        const std::vector<Level> gone = std::exchange(levels_, {});
        lost_ = false;
        batchLevel_ = 0;
        for (const Level& l : gone)
            rolledBack(l);
        throw Error(QStringLiteral("The transaction was rolled back after an earlier failure; nothing of it "
                                   "was stored."),
                    Error::Kind::TransactionLost);
    }
    if (levels_.size() == 1) {
        try {
            control(QStringLiteral("COMMIT"), writtenFiles(), true);
        } catch (const Error&) {
            // Still open (typically: another workstation reads a file this one wants to write).
            rollbackLevels(0);
            throw;
        }
        const Level done = std::move(levels_.back());
        levels_.pop_back();
        if (batchLevel_ > 0) batchLevel_ = 0;
        flush(done);
        return;
    }
    control(QStringLiteral("RELEASE vardimo_%1").arg(levels_.size() - 1));
    Level done = std::move(levels_.back());
    levels_.pop_back();
    if (batchLevel_ > int(levels_.size())) batchLevel_ = 0;
    Level& parent = levels_.back();
    for (auto it = done.changed.begin(); it != done.changed.end(); ++it)
        parent.changed[it.key()].unite(it.value());
}

void Database::rollback() {
    if (levels_.empty()) return;
    rollbackLevels(int(levels_.size()) - 1);
}

void Database::rollbackLevels(int keep) {
    if (int(levels_.size()) > keep) dropDeferred();
    while (int(levels_.size()) > keep) {
        const Level done = std::move(levels_.back());
        levels_.pop_back();
        if (batchLevel_ > int(levels_.size())) batchLevel_ = 0;
        if (levels_.empty())
            backend_->rollbackTransaction();
        else if (!backend_->rollbackToSavepoint(QStringLiteral("vardimo_%1").arg(levels_.size())))
            transactionLost();
        if (levels_.empty()) lost_ = false;
        rolledBack(done);
    }
}

void Database::rolledBack(const Level& level) {
    for (auto it = level.changed.begin(); it != level.changed.end(); ++it)
        pendingRollback_.insert(it.key());
    // While an ended transaction still has levels open nothing can be read: the table objects
    // hear of it when the last level closes.
    if (lost_ && !levels_.empty()) return;
    const QSet<QString> schemas = std::exchange(pendingRollback_, {});
    for (const QString& s : schemas)
        emit tableRolledBack(s);
}

void Database::flush(const Level& level) {
    for (auto it = level.changed.begin(); it != level.changed.end(); ++it) {
        const QObject* origin = it.value().size() == 1 ? *it.value().begin() : nullptr;
        emit tableChangedBy(it.key(), origin);
        emit tableChanged(it.key());
    }
}

void Database::write(const std::function<void()>& unit) {
    QDeadlineTimer deadline(kBusyTimeoutMs);
    if (!levels_.empty()) {
        // Inside a transaction that has read the file already, SQLite refuses the write at once
        // when another workstation is writing it (waiting could deadlock). The failed statement
        // undid itself; the other writer cannot commit past this transaction's read and gives up
        // within its busy time, so trying again shortly succeeds; wait for longer than that.
        deadline.setRemainingTime(qint64(2) * kBusyTimeoutMs);
        // A batch is all or nothing anyway (or commits in chunks): its posts go as they are.
        // Otherwise the store makes sure that a failed unit fails alone, as it does in a folder.
        const bool batch = batchLevel_ != 0;
        for (;;) {
            try {
                if (batch)
                    unit();
                else
                    backend_->writeUnit(*this, unit);
                return;
            } catch (const Error& e) {
                if (!e.busy() || deadline.hasExpired() || lost_) throw;
            }
            QThread::msleep(10 + QRandomGenerator::global()->bounded(40));
        }
    }
    for (;;) {
        begin();
        try {
            unit();
            commit();
            return;
        } catch (const Error& e) {
            if (!levels_.empty()) rollbackLevels(0);
            if (!e.busy() || deadline.hasExpired()) throw;
        } catch (...) {
            if (!levels_.empty()) rollbackLevels(0);
            throw;
        }
        // Someone else is writing the file: give way, so that their commit can finish.
        QThread::msleep(10 + QRandomGenerator::global()->bounded(40));
    }
}

void Database::defer(std::function<void()> flush, std::function<void()> drop) {
    flushDeferred();
    deferredFlush_ = std::move(flush);
    deferredDrop_ = std::move(drop);
}

void Database::flushDeferred() {
    if (!deferredFlush_) return;
    const std::function<void()> flush = std::exchange(deferredFlush_, {});
    deferredDrop_ = {};
    flush();
}

void Database::dropDeferred() {
    const std::function<void()> drop = std::exchange(deferredDrop_, {});
    deferredFlush_ = {};
    if (drop) drop();
}

void Database::notifyChanged(const QString& schemaName, const QObject* origin) {
    if (levels_.empty()) {
        emit tableChangedBy(schemaName, origin);
        emit tableChanged(schemaName);
        return;
    }
    levels_.back().changed[schemaName].insert(origin);
}

void Database::rowWritten() {
    if (batchLevel_ != 1 || batchChunk_ <= 0 || levels_.size() != 1) return;
    if (++batchRows_ < batchChunk_) return;
    batchRows_ = 0;
    commit();
    begin();
    batchLevel_ = 1;
}

// ---- RAII scopes ----------------------------------------------------------------------------

Transaction::Transaction(Database& db) : db_(db) {
    db_.begin();
    level_ = db_.transactionDepth();
}

Transaction::~Transaction() {
    if (done_) return;
    try {
        db_.rollbackLevels(level_ - 1);
    } catch (...) {
    }
}

void Transaction::commit() {
    if (done_) return;
    if (db_.transactionDepth() != level_) {
        // An inner level was left open or an earlier failure ended the transaction.
        done_ = true;
        const bool lost = db_.transactionDepth() < level_;
        if (!lost) db_.rollbackLevels(level_ - 1);
        throw Error(QStringLiteral("The transaction was rolled back after an earlier failure; nothing of it "
                                   "was stored."),
                    Error::Kind::TransactionLost);
    }
    done_ = true;
    db_.commit();
}

BatchScope::BatchScope(Database& db, int chunkRows) : db_(db) {
    db_.begin();
    level_ = db_.transactionDepth();
    if (level_ == 1) {
        db_.batchLevel_ = 1;
        db_.batchChunk_ = chunkRows;
        db_.batchRows_ = 0;
        ++db_.batchSerial_;
    }
}

BatchScope::~BatchScope() {
    if (level_ == 1) db_.batchLevel_ = db_.batchChunk_ = 0;
    if (!done_) {
        try {
            db_.rollbackLevels(level_ - 1);
        } catch (...) {
        }
    }
    if (level_ == 1) emit db_.batchEnded();
}

void BatchScope::commit() {
    if (done_) return;
    // What the batch kept back goes out while the batch still holds its rows; a failure of it
    // leaves the batch to roll back.
    if (db_.transactionDepth() == level_) db_.flushDeferred();
    done_ = true;
    if (level_ == 1) db_.batchLevel_ = db_.batchChunk_ = 0;
    if (db_.transactionDepth() != level_) {
        const bool lost = db_.transactionDepth() < level_;
        if (!lost) db_.rollbackLevels(level_ - 1);
        throw Error(QStringLiteral("The batch was rolled back after an earlier failure; nothing of its "
                                   "current part was stored."),
                    Error::Kind::TransactionLost);
    }
    db_.commit();
}

// ---- creation and bulk insertion ------------------------------------------------------------

Inserter::Inserter(Database& db, const QString& fileName, const QStringList& columns)
    : query_(db.connection()), fileName_(fileName) {
    const TableDef* t = findTable(fileName);
    if (!t) throw Error::noTable(fileName);
    db.attach(*t);
    backend_ = &db.backend();
    fileName_ = t->fileName;
    for (const QString& c : columns)
        if (t->columnIndex(c) < 0) throw Error(QStringLiteral("%1: Field '%2' not found.").arg(fileName, c));
    if (!query_.prepare(backend_->insertSql(*t, columns)))
        throw Error(QStringLiteral("Invalid SQL statement: %1").arg(query_.lastError().text()));
}

qint64 Inserter::add(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        query_.bindValue(i, values[i]);
    if (!query_.exec()) throw backend_->failure(query_.lastError(), fileName_);
    return backend_->insertedKey(query_);
}

} // namespace engine

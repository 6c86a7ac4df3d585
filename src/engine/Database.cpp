#include "engine/Database.h"

#include "engine/Error.h"
#include "engine/Files.h"
#include "engine/LockFile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QStorageInfo>
#include <QSysInfo>
#include <QThread>
#include <QUuid>
#include <cerrno>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>
#include <utility>

namespace engine {

namespace {
constexpr int kBusyTimeoutMs = 5000;
constexpr int kCachedStatements = 256;
// Below this much free space on the database's disk, a full disk is the database's.
constexpr qint64 kDatabaseDiskSlack = 4 * 1024 * 1024;

void bindAll(QSqlQuery& q, const QVariantList& binds) {
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
}

QString fileOf(const QString& schema) {
    const TableDef* t = findTable(schema);
    return t ? t->fileName : schema;
}
} // namespace

Cursor::~Cursor() {
    if (!st_) return;
    st_->query.finish();
    st_->inUse = false;
}

Database::Database(Session& session, QObject* parent)
    : QObject(parent), session_(session),
      connectionName_(QStringLiteral("vardimo-%1").arg(QUuid::createUuid().toString(QUuid::Id128))) {}

Database::~Database() {
    close();
}

QString Database::controlFolder(const QString& databaseFolder) {
    return controlFolderOf(databaseFolder);
}

QString Database::describe(const QString& driverText, const QString& file) {
    const QString lower = driverText.toLower();
    if (lower.contains(QLatin1String("locked")) || lower.contains(QLatin1String("busy")))
        return file.isEmpty()
                   ? QStringLiteral("The table is locked by another user. Try again in a moment.")
                   : QStringLiteral("Table is busy: %1 is locked by another user. Try again in a moment.")
                         .arg(file);
    if (lower.contains(QLatin1String("not a database")) ||
        lower.contains(QLatin1String("not a table file")) || lower.contains(QLatin1String("malformed")) ||
        lower.contains(QLatin1String("corrupt")))
        return QStringLiteral("Table is corrupt or not a table file: %1")
            .arg(file.isEmpty() ? driverText : file);
    if (lower.contains(QLatin1String("readonly")) || lower.contains(QLatin1String("read-only")))
        return QStringLiteral("Table is read only: %1").arg(file.isEmpty() ? driverText : file);
    if (lower.contains(QLatin1String("disk")) && lower.contains(QLatin1String("full")))
        return file.isEmpty() ? QStringLiteral("The disk holding the database is full.")
                              : QStringLiteral("The disk holding the database is full: %1").arg(file);
    return file.isEmpty() || driverText.contains(file) ? driverText
                                                       : QStringLiteral("%1 (%2)").arg(driverText, file);
}

Error Database::failure(const QSqlError& e, const QString& files) const {
    return failure(e.nativeErrorCode().toInt(), e.databaseText().isEmpty() ? e.text() : e.databaseText(),
                   files);
}

Error Database::failure(int nativeCode, const QString& text, const QString& files) const {
    const int code = nativeCode & 0xff;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        return Error(describe(QStringLiteral("busy"), files), Error::Kind::Busy);
    if (code == SQLITE_FULL) {
        // SQLite also writes temporary files (sorting, snapshots) in the workstation's temp
        // folder; only a database disk that is really (nearly) full is reported as such.
        const QStorageInfo disk(folder_);
        if (disk.isValid() && disk.bytesAvailable() > kDatabaseDiskSlack)
            return Error(QStringLiteral("The workstation's temporary folder is full (%1): make room there "
                                        "and try again.")
                             .arg(QDir::tempPath()));
        return Error(describe(QStringLiteral("disk full"), files));
    }
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)
        return Error(describe(QStringLiteral("corrupt"), files));
    if (code == SQLITE_READONLY) return Error(describe(QStringLiteral("readonly"), files));
    if (code == SQLITE_IOERR || code == SQLITE_CANTOPEN)
        return Error(files.isEmpty() ? QStringLiteral("Cannot read or write the database: %1").arg(text)
                                     : QStringLiteral("Cannot read or write %1: %2").arg(files, text));
    return Error(describe(text, files));
}

void Database::open(const QString& aliasOrFolder) {
    close();
    QString folder = session_.hasAlias(aliasOrFolder) ? session_.aliasPath(aliasOrFolder) : aliasOrFolder;
    QFileInfo fi(folder);
    if (!fi.exists() || !fi.isDir())
        throw Error(
            QStringLiteral("Database folder does not exist: %1").arg(QDir::cleanPath(fi.absoluteFilePath())));
    if (!fi.isReadable())
        throw Error(QStringLiteral("Database folder cannot be read: %1").arg(fi.absoluteFilePath()));
    folder_ = QDir::cleanPath(fi.absoluteFilePath());

    // The main file of the connection: in the shared control folder, where every workstation
    // finds the super-journal of a commit that a crash interrupted. A person who cannot write
    // there cannot write the tables either; such a session keeps it privately.
    QString base = controlFolder(folder_);
    if (!ensureSharedFolder(base, folder_)) {
        base = session_.privateDir();
        if (base.isEmpty() || !QFileInfo(base).isDir()) base = QDir::tempPath();
    }
    const QString stem = QDir(base).filePath(QStringLiteral("conn-%1-%2-%3")
                                                 .arg(QSysInfo::machineHostName().left(32))
                                                 .arg(::getpid())
                                                 .arg(connectionName_.right(8)));
    // Locked under a name the clean-up ignores, then renamed: a clean-up never sees an unlocked
    // file of a live connection.
    auto lock = std::make_unique<LockFile>();
    lock->create(stem + QStringLiteral(".new"));
    if (!lock->lockExclusive(0) ||
        !QFile::rename(stem + QStringLiteral(".new"), stem + QStringLiteral(".lck"))) {
        QFile::remove(stem + QStringLiteral(".new"));
        throw Error(QStringLiteral("Cannot register the connection in %1").arg(base));
    }
    lock->renamed(stem + QStringLiteral(".lck"));
    connectionLock_ = std::move(lock);
    mainFile_ = stem + QStringLiteral(".db");

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db.setDatabaseName(mainFile_);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
        const QString msg = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName_);
        QFile::remove(mainFile_);
        QFile::remove(connectionLock_->path());
        connectionLock_.reset();
        throw Error(QStringLiteral("Cannot open the database engine: %1").arg(msg));
    }
    const QVariant h = db.driver()->handle();
    handle_ = h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0 ? *static_cast<sqlite3* const*>(h.data())
                                                                    : nullptr;
    open_ = true;
    exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
    // Snapshots of large query results go to temporary files, not memory.
    exec(QStringLiteral("PRAGMA temp_store=FILE"));
    exec(QStringLiteral("PRAGMA temp.cache_size=-2048")); // at most 2 MB of them in memory
    recoverStaleConnections(base);
    removeOldTempFiles();
    session_.registerUser(folder_);
}

void Database::recoverStaleConnections(const QString& base) {
    const QDir d(base);
    for (const QString& entry : d.entryList({QStringLiteral("conn-*.lck")}, QDir::Files | QDir::Hidden)) {
        const QString path = d.filePath(entry);
        if (path == connectionLock_->path()) continue;
        LockFile probe;
        if (!probe.openExisting(path) || probe.lockedByOther(0)) continue;
        const QString stem = path.chopped(4);
        const QString mainName = QFileInfo(stem).fileName() + QStringLiteral(".db");
        // A super-journal of a killed connection: its commit ended half-way. Reading every table
        // rolls their hot journals back through it (SQLite then deletes it itself).
        const QStringList supers =
            d.entryList({mainName + QStringLiteral("-mj*")}, QDir::Files | QDir::Hidden);
        bool recovered = true;
        if (!supers.isEmpty()) {
            for (const auto& t : tables()) {
                try {
                    attach(t);
                    exec(QStringLiteral("SELECT count(*) FROM %1.sqlite_master")
                             .arg(quoteIdentifier(t.schemaName)),
                         {}, t.fileName);
                } catch (const Error&) {
                    recovered = false;
                }
            }
        }
        if (!recovered) continue; // left for a later start that can read every table
        for (const QString& s : supers)
            QFile::remove(d.filePath(s));
        QFile::remove(d.filePath(mainName));
        QFile::remove(d.filePath(mainName + QStringLiteral("-journal")));
        QFile::remove(path);
    }
}

void Database::removeOldTempFiles() {
    // Connections used to keep their main file in the workstation's temp folder, named after
    // the process; those of processes that are gone are left-overs.
    QStringList dirs{QDir::tempPath()};
    if (!session_.privateDir().isEmpty()) dirs << session_.privateDir();
    static const QRegularExpression name(QStringLiteral("^vardimo-(\\d+)-[0-9a-f]{8}\\.tmp(-journal)?$"));
    for (const QString& dir : dirs) {
        const QDir d(dir);
        for (const QString& entry : d.entryList({QStringLiteral("vardimo-*.tmp*")}, QDir::Files)) {
            const QRegularExpressionMatch m = name.match(entry);
            if (!m.hasMatch()) continue;
            const pid_t pid = pid_t(m.captured(1).toLongLong());
            if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno == EPERM) continue;
            QFile::remove(d.filePath(entry));
        }
    }
}

QString Database::findFile(const QString& folder, const QString& name) {
    const QDir d(folder);
    for (const QString& entry : d.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return d.filePath(entry);
    return {};
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
    for (const auto& [sql, r] : raw_)
        sqlite3_finalize(r.stmt);
    raw_.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName_);
    QFile::remove(mainFile_);
    if (connectionLock_) {
        QFile::remove(connectionLock_->path());
        connectionLock_.reset();
    }
    handle_ = nullptr;
    attached_.clear();
    levels_.clear();
    lost_ = false;
    batchLevel_ = batchChunk_ = batchRows_ = 0;
    open_ = false;
}

QSqlDatabase Database::connection() const {
    return QSqlDatabase::database(connectionName_, false);
}

QString Database::tablePath(const TableDef& t) const {
    const QString found = findFile(folder_, t.fileName);
    return found.isEmpty() ? QDir(folder_).filePath(t.fileName) : found;
}

QString Database::lockPath(const TableDef& t) const {
    return QDir(folder_).filePath(QStringLiteral("%1.lck").arg(t.schemaName));
}

void Database::attach(const TableDef& t) {
    if (!open_) throw Error(QStringLiteral("The database is not open."));
    if (attached_.contains(t.schemaName)) return;
    const QString path = tablePath(t);
    QFileInfo fi(path);
    if (!fi.exists()) throw Error(QStringLiteral("Table does not exist: %1").arg(t.fileName));
    if (!fi.isFile()) throw Error(QStringLiteral("Table is not a file: %1").arg(t.fileName));
    {
        QFile probe(path);
        if (!probe.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("Table cannot be read: %1 (%2)").arg(t.fileName, probe.errorString()));
    }
    if (!levels_.empty())
        throw Error(QStringLiteral("Cannot open %1 inside a transaction: open the table before it begins.")
                        .arg(t.fileName));
    try {
        exec(QStringLiteral("ATTACH DATABASE ? AS %1").arg(quoteIdentifier(t.schemaName)), {path},
             t.fileName);
        QSqlQuery q =
            exec(QStringLiteral("SELECT count(*) FROM %1.sqlite_master WHERE type = 'table' AND name = ? "
                                "COLLATE NOCASE")
                     .arg(quoteIdentifier(t.schemaName)),
                 {t.schemaName}, t.fileName);
        if (!q.next() || q.value(0).toInt() != 1)
            throw Error(QStringLiteral("Table is corrupt or not a table file: %1").arg(t.fileName));
        q.finish();
        exec(QStringLiteral("PRAGMA %1.journal_mode=DELETE").arg(quoteIdentifier(t.schemaName)), {},
             t.fileName);
        exec(QStringLiteral("PRAGMA %1.synchronous=FULL").arg(quoteIdentifier(t.schemaName)), {}, t.fileName);
    } catch (const Error& e) {
        try {
            exec(QStringLiteral("DETACH DATABASE %1").arg(quoteIdentifier(t.schemaName)));
        } catch (...) {
        }
        if (e.message().contains(t.fileName)) throw;
        throw Error(describe(e.message(), t.fileName), e.kind());
    }
    attached_.insert(t.schemaName);
}

QSqlQuery Database::exec(const QString& sql, const QVariantList& binds, const QString& files) {
    if (!open_) throw Error(QStringLiteral("The database is not open."));
    checkTransactionAlive();
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        // Preparing reads the schema, so a locked or damaged file fails here too; only what
        // the engine cannot name otherwise is a fault of the statement.
        const Error e = failure(q.lastError(), files);
        const QSqlError se = q.lastError();
        const QString text = se.databaseText().isEmpty() ? se.text() : se.databaseText();
        if (e.message() == describe(text, files) && !e.busy())
            throw Error(QStringLiteral("Invalid SQL statement: %1").arg(text));
        throw e;
    }
    bindAll(q, binds);
    if (!q.exec()) {
        const Error e = failure(q.lastError(), files);
        q = QSqlQuery();
        if (!levels_.empty() && handle_ && sqlite3_get_autocommit(handle_)) transactionLost();
        throw e;
    }
    return q;
}

Cursor Database::run(const QString& sql, const QVariantList& binds, const QString& files) {
    if (!open_) throw Error(QStringLiteral("The database is not open."));
    checkTransactionAlive();
    std::shared_ptr<detail::CachedStatement> st;
    auto it = statements_.find(sql);
    if (it != statements_.end() && !it.value()->inUse) {
        st = it.value();
    } else {
        st = std::make_shared<detail::CachedStatement>();
        st->query = QSqlQuery(connection());
        st->query.setForwardOnly(true);
        if (!st->query.prepare(sql)) {
            const Error e = failure(st->query.lastError(), files);
            const QSqlError se = st->query.lastError();
            const QString text = se.databaseText().isEmpty() ? se.text() : se.databaseText();
            if (e.message() == describe(text, files) && !e.busy())
                throw Error(QStringLiteral("Invalid SQL statement: %1").arg(text));
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
    if (!st->query.exec()) {
        const Error e = failure(st->query.lastError(), files);
        st->query.finish();
        st->inUse = false;
        if (!levels_.empty() && handle_ && sqlite3_get_autocommit(handle_)) transactionLost();
        throw e;
    }
    return Cursor(std::move(st));
}

void Database::scan(const QString& sql, const std::vector<qint64>& binds, const QString& files,
                    const std::function<void(sqlite3_stmt*)>& row) {
    if (!open_ || !handle_) throw Error(QStringLiteral("The database is not open."));
    checkTransactionAlive();
    RawStatement& cached = raw_[sql];
    sqlite3_stmt* st = cached.inUse ? nullptr : cached.stmt;
    const bool own = cached.inUse;
    if (!st) {
        const QByteArray text = sql.toUtf8();
        const int rc = sqlite3_prepare_v3(handle_, text.constData(), int(text.size()),
                                          SQLITE_PREPARE_PERSISTENT, &st, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(st);
            throw failure(rc, QString::fromUtf8(sqlite3_errmsg(handle_)), files);
        }
        if (!own) cached.stmt = st;
    }
    struct Done {
        sqlite3_stmt* st;
        bool own;
        bool* inUse;
        ~Done() {
            sqlite3_reset(st);
            sqlite3_clear_bindings(st);
            if (own)
                sqlite3_finalize(st);
            else
                *inUse = false;
        }
    } done{st, own, &cached.inUse};
    if (!own) cached.inUse = true;
    for (size_t i = 0; i < binds.size(); ++i)
        sqlite3_bind_int64(st, int(i) + 1, binds[i]);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        row(st);
    if (rc != SQLITE_DONE) {
        const Error e =
            failure(sqlite3_extended_errcode(handle_), QString::fromUtf8(sqlite3_errmsg(handle_)), files);
        if (!levels_.empty() && sqlite3_get_autocommit(handle_)) transactionLost();
        throw e;
    }
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
    if (!open_) throw Error(QStringLiteral("The database is not open."));
    checkTransactionAlive();
    if (levels_.empty())
        exec(QStringLiteral("BEGIN"));
    else
        exec(QStringLiteral("SAVEPOINT vardimo_%1").arg(levels_.size()));
    levels_.emplace_back();
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
        const QString files = writtenFiles();
        QSqlQuery q(connection());
        if (!q.exec(QStringLiteral("COMMIT"))) {
            // Still open (typically: another workstation reads a file this one wants to write).
            const Error e = failure(q.lastError(), files);
            q = QSqlQuery();
            rollbackLevels(0);
            throw e;
        }
        const Level done = std::move(levels_.back());
        levels_.pop_back();
        if (batchLevel_ > 0) batchLevel_ = 0;
        flush(done);
        return;
    }
    exec(QStringLiteral("RELEASE vardimo_%1").arg(levels_.size() - 1));
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
    while (int(levels_.size()) > keep) {
        const Level done = std::move(levels_.back());
        levels_.pop_back();
        if (batchLevel_ > int(levels_.size())) batchLevel_ = 0;
        QSqlQuery q(connection());
        if (!handle_ || !sqlite3_get_autocommit(handle_)) {
            if (levels_.empty())
                q.exec(QStringLiteral("ROLLBACK"));
            else if (!q.exec(QStringLiteral("ROLLBACK TO vardimo_%1").arg(levels_.size())) ||
                     !q.exec(QStringLiteral("RELEASE vardimo_%1").arg(levels_.size())))
                transactionLost();
        }
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
        deadline.setRemainingTime(2 * kBusyTimeoutMs);
        for (;;) {
            try {
                unit();
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
    }
}

BatchScope::~BatchScope() {
    if (level_ == 1) db_.batchLevel_ = db_.batchChunk_ = 0;
    if (done_) return;
    try {
        db_.rollbackLevels(level_ - 1);
    } catch (...) {
    }
}

void BatchScope::commit() {
    if (done_) return;
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
    if (!t) throw Error(QStringLiteral("Table does not exist: %1").arg(fileName));
    db.attach(*t);
    fileName_ = t->fileName;
    QStringList cols, marks;
    for (const QString& c : columns) {
        if (t->columnIndex(c) < 0) throw Error(QStringLiteral("%1: Field '%2' not found.").arg(fileName, c));
        cols << quoteIdentifier(c);
        marks << QStringLiteral("?");
    }
    if (!query_.prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(t->qualifiedName(), cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")))))
        throw Error(QStringLiteral("Invalid SQL statement: %1").arg(query_.lastError().text()));
}

qint64 Inserter::add(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        query_.bindValue(i, values[i]);
    if (!query_.exec()) throw Error(Database::describe(query_.lastError().text(), fileName_));
    return query_.lastInsertId().toLongLong();
}

void Database::create(const QString& folder) {
    QDir d(folder);
    if (!d.exists() && !d.mkpath(QStringLiteral(".")))
        throw Error(QStringLiteral("Cannot create the database folder %1").arg(folder));
    for (const auto& t : tables())
        if (const QString existing = findFile(d.path(), t.fileName); !existing.isEmpty())
            throw Error(QStringLiteral("A database already exists in %1 (%2); nothing was written.")
                            .arg(QDir::cleanPath(d.absolutePath()), QFileInfo(existing).fileName()));
    QStringList made;
    try {
        for (const auto& t : tables()) {
            made << d.filePath(t.fileName);
            createTableFile(t, made.last());
            // Made now, with the table's permissions: whoever may open the table may lock it.
            const QString lock = d.filePath(QStringLiteral("%1.lck").arg(t.schemaName));
            if (!QFileInfo::exists(lock)) made << lock;
            if (!LockFile::makeLike(lock, d.filePath(t.fileName)))
                throw Error(QStringLiteral("Cannot create the lock file %1").arg(lock));
        }
    } catch (...) {
        // A half-made folder would only be refused by the next attempt: leave none behind.
        for (const QString& f : made)
            QFile::remove(f);
        throw;
    }
    ensureSharedFolder(controlFolderOf(d.path()), d.path());
}

void Database::createTableFile(const TableDef& t, const QString& path) {
    const QString conn = QStringLiteral("vardimo-create-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            QStringList statements{QStringLiteral("PRAGMA journal_mode=DELETE"), t.createSql()};
            statements << t.createIndexSql();
            if (t.schemaName == QLatin1String("settings"))
                statements << QStringLiteral(
                    "INSERT INTO settings (DisableLogin, AutoLogon, NoGoalYear, SendToPrinter, "
                    "MultipulMeasure) VALUES (0, 0, 0, 1, 0)");
            if (t.schemaName == QLatin1String("security"))
                statements << QStringLiteral(
                    "INSERT INTO security VALUES (0, 'Supervisor', 1,1,1,1,1,1,1,1,1,1,1,1,1)");
            if (t.schemaName == QLatin1String("user"))
                statements << QStringLiteral(
                    "INSERT INTO user (UserID, UserPassword, UserName, SecurityID) VALUES "
                    "('Supervisor', '', 'Supervisor', 0)");
            for (const QString& s : statements)
                if (failure.isEmpty() && !q.exec(s)) failure = q.lastError().text();
        } else {
            failure = db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(conn);
    if (!failure.isEmpty()) throw Error(QStringLiteral("Cannot create %1: %2").arg(t.fileName, failure));
}

} // namespace engine

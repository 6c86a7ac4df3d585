#include "engine/FolderBackend.h"

#include "engine/Files.h"
#include "engine/FolderOpenLock.h"
#include "engine/FolderSnapshot.h"
#include "engine/History.h"
#include "engine/JournalGuard.h"
#include "engine/LockFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSysInfo>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

namespace engine {

namespace {
constexpr int kBusyTimeoutMs = 5000;
constexpr int kIndexBusyTimeoutMs = 500; // adding a missing index to a table file another is writing
// Page caches: a table whose file fits in kWholeTableCacheKb gets a cache that holds all of it, as
// long as the budget shared by the attached tables lasts; the others keep SQLite's default.
constexpr qint64 kCacheBudgetKb = qint64(64) * 1024;
constexpr qint64 kWholeTableCacheKb = qint64(32) * 1024;
constexpr qint64 kMinTableCacheKb = 2048;
const char* const kProtectionTable = "vardimo_protection";
} // namespace

FolderBackend::FolderBackend(Session& session)
    : session_(session),
      connectionName_(QStringLiteral("vardimo-%1").arg(QUuid::createUuid().toString(QUuid::Id128))) {}

FolderBackend::~FolderBackend() {
    FolderBackend::close();
}

QString FolderBackend::describe(const QSqlError& error, const QString& fileName) const {
    return errors_.failure(error, fileName).message();
}

Error FolderBackend::failure(const QSqlError& error, const QString& files, bool preparing) const {
    return errors_.failure(error, files, preparing);
}

void FolderBackend::scanRows(const QString& sql, const QVariantList& binds, const TableDef& t,
                             const QString& files, const RowSink& row) {
    if (!open_) throw Error::notOpen();
    reader_.scan(sql, binds, t, files, row);
}

bool FolderBackend::readForward(const QString& sql, const QVariantList& binds, const QString& files,
                                const ValuesSink& row) {
    if (!open_) throw Error::notOpen();
    reader_.read(sql, binds, files, row);
    return true;
}

std::optional<qint64> FolderBackend::changeRows(const QString& sql, const QVariantList& binds,
                                                const QString& files) {
    if (!open_) throw Error::notOpen();
    return reader_.change(sql, binds, files);
}

void FolderBackend::open(const QString& location, const QString& userName) {
    close();
    QFileInfo fi(location);
    if (!fi.exists() || !fi.isDir())
        throw Error(
            QStringLiteral("Database folder does not exist: %1").arg(QDir::cleanPath(fi.absoluteFilePath())));
    if (!fi.isReadable())
        throw Error(QStringLiteral("Database folder cannot be read: %1").arg(fi.absoluteFilePath()));
    folder_ = QDir::cleanPath(fi.absoluteFilePath());

    installJournalGuard();
    const QString control = controlFolderOf(folder_);
    refuseLinkedFolder(control);
    refuseLinkedFolder(QDir(control).filePath(QStringLiteral("vardimo-users")));
    // Nothing is made in a folder that holds none of the tables: it is no database (yet).
    const bool isDatabase = std::any_of(tables().begin(), tables().end(), [&](const TableDef& t) {
        return !findFile(folder_, t.fileName).isEmpty();
    });

    // The main file of the connection: in the shared control folder, where every workstation
    // finds the super-journal of a commit that a crash interrupted. A person who cannot write
    // there cannot write the tables either; such a session keeps it privately.
    QString base = control;
    if (!isDatabase || !ensureSharedFolder(base, folder_)) {
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
    shareLikeFolder(lock->fd(), base);
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
    reader_.open(handle_);
    history_.install(handle_);
    busy_.install(handle_, kBusyTimeoutMs);
    open_ = true;
    exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
    // Snapshots of large query results go to temporary files, not memory.
    exec(QStringLiteral("PRAGMA temp_store=FILE"));
    exec(QStringLiteral("PRAGMA temp.cache_size=-2048")); // at most 2 MB of them in memory
    cacheLeftKb_ = kCacheBudgetKb;
    recoverStaleConnections(base);
    removeOldTempFiles();
    Q_UNUSED(userName); // the session's own registration names this workstation
    if (isDatabase) session_.registerUser(folder_);
    registered_ = isDatabase;
}

void FolderBackend::close() {
    if (!open_) return;
    reader_.close();
    controls_.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName_);
    QFile::remove(mainFile_);
    if (registered_) session_.unregisterUser(folder_);
    registered_ = false;
    if (connectionLock_) {
        QFile::remove(connectionLock_->path());
        connectionLock_.reset();
    }
    handle_ = nullptr;
    attached_.clear();
    open_ = false;
}

QSqlDatabase FolderBackend::connection() const {
    return QSqlDatabase::database(connectionName_, false);
}

QString FolderBackend::tablePath(const TableDef& t) const {
    const QString found = findFile(folder_, t.fileName);
    return found.isEmpty() ? QDir(folder_).filePath(t.fileName) : found;
}

QString FolderBackend::lockPath(const TableDef& t) const {
    return QDir(folder_).filePath(QStringLiteral("%1.lck").arg(t.schemaName));
}

namespace {
// Whether a connection file that cannot be read (made private by its creator's umask before its
// files took the folder's access) is named after a process of this machine that is gone.
bool deadHere(const QString& lockFileName) {
    static const QRegularExpression name(QStringLiteral("^conn-(.*)-(\\d+)-[0-9a-f]{8}\\.lck$"));
    const QRegularExpressionMatch m = name.match(lockFileName);
    if (!m.hasMatch() || m.captured(1) != QSysInfo::machineHostName().left(32)) return false;
    const pid_t pid = pid_t(m.captured(2).toLongLong());
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}
} // namespace

void FolderBackend::recoverStaleConnections(const QString& base) {
    const QDir d(base);
    for (const QString& entry : d.entryList({QStringLiteral("conn-*.lck")}, QDir::Files | QDir::Hidden)) {
        const QString path = d.filePath(entry);
        if (path == connectionLock_->path()) continue;
        LockFile probe;
        if (probe.openExisting(path) ? probe.lockedByOther(0) : !deadHere(entry)) continue;
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
                    prepareTable(t, false);
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

void FolderBackend::removeOldTempFiles() {
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

QString FolderBackend::findFile(const QString& folder, const QString& name) {
    const QDir d(folder);
    for (const QString& entry : d.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return d.filePath(entry);
    return {};
}

void FolderBackend::prepareTable(const TableDef& t, bool inTransaction) {
    if (!open_) throw Error::notOpen();
    if (attached_.contains(t.schemaName)) return;
    if (inTransaction)
        throw Error(QStringLiteral("Cannot open %1 inside a transaction: open the table before it begins.")
                        .arg(t.fileName));
    const QString path = tablePath(t);
    QFileInfo fi(path);
    if (!fi.exists()) throw Error::noTable(t.fileName);
    if (!fi.isFile()) throw Error(QStringLiteral("Table is not a file: %1").arg(t.fileName));
    {
        QFile probe(path);
        if (!probe.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("Table cannot be read: %1 (%2)").arg(t.fileName, probe.errorString()));
    }
    // Checked before SQLite sees the file: it would play a hot journal back on attaching.
    if (const QString why = journalRefusal(resolvedPath(path)); !why.isEmpty())
        throw Error(damagedTableText(t.fileName, why));
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
        addMissingIndexes(t);
        // SQLite's default cache holds 2 MB: a screen that filters a table several times that size
        // (the goals) would read its pages from the file again on every switch, growing faster
        // than the table. Tables too large to hold (the strategies, the measurements) are read
        // through indexes or once, forward, where a larger cache would only take memory.
        // Pages are taken only as they are read.
        const qint64 wantKb = std::max(kMinTableCacheKb, fi.size() / 1024 + fi.size() / 4096);
        const qint64 giveKb =
            wantKb <= std::min(kWholeTableCacheKb, cacheLeftKb_) ? wantKb : kMinTableCacheKb;
        if (giveKb > kMinTableCacheKb) cacheLeftKb_ -= giveKb;
        exec(QStringLiteral("PRAGMA %1.cache_size=-%2").arg(quoteIdentifier(t.schemaName)).arg(giveKb), {},
             t.fileName);
    } catch (const Error& e) {
        try {
            exec(QStringLiteral("DETACH DATABASE %1").arg(quoteIdentifier(t.schemaName)));
        } catch (...) {
        }
        if (e.message().contains(t.fileName)) throw;
        throw Error(FolderErrors::describe(e.message(), t.fileName), e.kind());
    }
    attached_.insert(t.schemaName);
    history_.watch(*this, t);
}

void FolderBackend::addMissingIndexes(const TableDef& t) {
    const QString schema = quoteIdentifier(t.schemaName);
    QSqlQuery q = exec(QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type = 'index'").arg(schema),
                       {}, t.fileName);
    QStringList present;
    while (q.next())
        present << q.value(0).toString();
    q.finish();
    for (const IndexDef& ix : t.indexes) {
        if (present.contains(ix.name, Qt::CaseInsensitive)) continue;
        // A table file made by an earlier version lacks an index this one reads through. Adding
        // it is one statement of its own, so it is all there or not at all; older programs keep
        // it up to date like any other index. Several workstations may try at once: one gets
        // the file, the others find it made or go on without it, as does a person who may only
        // read the file. None waits long for a file another workstation is writing: the rows
        // read the same without the index, only slower, until a later start adds it.
        busy_.install(handle_, kIndexBusyTimeoutMs);
        try {
            exec(dialect_.createIndex(t, ix, true), {}, t.fileName);
        } catch (const Error&) {
        }
        busy_.install(handle_, kBusyTimeoutMs);
    }
}

QString FolderBackend::historyTable(const TableDef& t) const {
    return quoteIdentifier(t.schemaName) + QLatin1Char('.') + FolderHistory::table(t);
}

void FolderBackend::keepChangesInMemory(bool on) {
    // SQLite writes changed pages to the file before the commit when its cache is full, and needs
    // the file to itself from then on: every reader elsewhere waits until the commit.
    exec(on ? QStringLiteral("PRAGMA cache_spill=OFF") : QStringLiteral("PRAGMA cache_spill=ON"));
    // A library built to overwrite deleted rows with zeros rewrites every page of a table that
    // is emptied: seconds of work in one statement, and as many pages more to hold and write at
    // the commit, with the window showing the work standing still. The rows inside the pages
    // that stay in use are still overwritten; the freed pages are left as they are.
    if (on) {
        QSqlQuery q = exec(QStringLiteral("PRAGMA secure_delete"));
        secureDeleteBefore_ = q.next() ? q.value(0).toInt() : 0;
        exec(QStringLiteral("PRAGMA secure_delete=FAST"));
    } else if (secureDeleteBefore_) {
        exec(QStringLiteral("PRAGMA secure_delete=%1").arg(*secureDeleteBefore_));
        secureDeleteBefore_.reset();
    }
#if defined(__GLIBC__)
    // The pages held until the commit are freed by now, but the allocator keeps them: after a
    // conversion of the whole large sample, 700 MB until the program ends.
    if (!on) malloc_trim(0);
#endif
}

QSqlQuery FolderBackend::exec(const QString& sql, const QVariantList& binds, const QString& files) {
    if (!open_) throw Error::notOpen();
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    if (!q.prepare(sql)) throw failure(q.lastError(), files, true);
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    if (!q.exec()) {
        const Error e = failure(q.lastError(), files);
        q = QSqlQuery();
        throw e;
    }
    return q;
}

std::function<void()> FolderBackend::controlWork(const QString& sql, const QString& files) {
    if (!open_) throw Error::notOpen();
    // Prepared once: every post begins and commits.
    auto it = controls_.find(sql);
    if (it == controls_.end()) {
        QSqlQuery q(connection());
        q.setForwardOnly(true);
        if (!q.prepare(sql)) throw failure(q.lastError(), files, true);
        it = controls_.emplace(sql, std::move(q)).first;
    }
    QSqlQuery& q = it->second;
    // Every transaction's changes are one group of versions; statements between transactions
    // share one of their own.
    if (!sql.startsWith(QStringLiteral("SAVEPOINT")) && !sql.startsWith(QStringLiteral("RELEASE")) &&
        !sql.startsWith(QStringLiteral("ROLLBACK TO")))
        history_.nextGroup();
    return [this, &q, files] {
        if (!q.exec()) {
            const Error e = failure(q.lastError(), files);
            q.finish();
            throw e;
        }
        q.finish();
    };
}

std::unique_ptr<LargeResult> FolderBackend::openLargeResult(const Statement& st, const QString& files,
                                                            const LargeResult::Exec& exec) {
    return std::make_unique<FolderSnapshot>(st, files, exec);
}

bool FolderBackend::holdsTransaction() const {
    return !handle_ || !sqlite3_get_autocommit(handle_);
}

bool FolderBackend::failureEndsTransaction(int) const {
    return handle_ && sqlite3_get_autocommit(handle_);
}

void FolderBackend::create(const QString& folder) {
    installJournalGuard();
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

void FolderBackend::createTableFile(const TableDef& t, const QString& path) {
    const QString conn = QStringLiteral("vardimo-create-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            const FolderDialect dialect;
            QStringList statements{QStringLiteral("PRAGMA journal_mode=DELETE")};
            statements << dialect.createTable(t);
            // A new database keeps history from the start: opening it changes no file.
            if (History::watches(t)) statements << FolderHistory::tableStatements(t);
            for (const QString& s : statements)
                if (failure.isEmpty() && !q.exec(s)) failure = q.lastError().text();
            for (const SeedRow& row : seedRows()) {
                if (row.table != &t || !failure.isEmpty()) continue;
                // The file is the connection's own database: its table goes by its bare name.
                if (!q.prepare(dialect.insertInto(quoteIdentifier(t.schemaName), row.columns)))
                    failure = q.lastError().text();
                for (int i = 0; failure.isEmpty() && i < row.values.size(); ++i)
                    q.bindValue(i, row.values[i]);
                if (failure.isEmpty() && !q.exec()) failure = q.lastError().text();
            }
        } else {
            failure = db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(conn);
    if (!failure.isEmpty()) throw Error(QStringLiteral("Cannot create %1: %2").arg(t.fileName, failure));
}

qint64 FolderBackend::insertedKey(QSqlQuery& executed) const {
    return executed.lastInsertId().toLongLong();
}

std::unique_ptr<Backend::OpenLock> FolderBackend::lockTable(const TableDef& t, bool exclusive) {
    return FolderOpenLock::take(t.fileName, lockPath(t), tablePath(t), exclusive);
}

void FolderBackend::compact(const TableDef& t) {
    exec(QStringLiteral("VACUUM %1").arg(quoteIdentifier(t.schemaName)), {}, t.fileName);
    LockFile::makeLike(lockPath(t), tablePath(t));
}

qint64 FolderBackend::tableSize(const TableDef& t) {
    const QString path = findFile(folder_, t.fileName);
    return path.isEmpty() ? 0 : QFileInfo(path).size();
}

QVariant FolderBackend::changeMark(const TableDef& t) {
    // SQLite counts, per connection and attached file, the commits other connections made to it.
    QSqlQuery q =
        exec(QStringLiteral("PRAGMA %1.data_version").arg(quoteIdentifier(t.schemaName)), {}, t.fileName);
    return q.next() ? q.value(0) : QVariant();
}

QString FolderBackend::protectionHash(const TableDef& t) {
    QSqlQuery q = exec(QStringLiteral("SELECT count(*) FROM %1.sqlite_master WHERE name = ?")
                           .arg(quoteIdentifier(t.schemaName)),
                       {QString::fromLatin1(kProtectionTable)}, t.fileName);
    if (!q.next() || q.value(0).toInt() == 0) return {};
    q = exec(QStringLiteral("SELECT hash FROM %1.%2").arg(quoteIdentifier(t.schemaName), kProtectionTable),
             {}, t.fileName);
    return q.next() ? q.value(0).toString() : QString();
}

void FolderBackend::setProtectionHash(const TableDef& t, const QString& hash) {
    // Runs inside the caller's transaction.
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1.%2 (hash TEXT)")
             .arg(quoteIdentifier(t.schemaName), kProtectionTable),
         {}, t.fileName);
    exec(QStringLiteral("DELETE FROM %1.%2").arg(quoteIdentifier(t.schemaName), kProtectionTable), {},
         t.fileName);
    if (!hash.isEmpty())
        exec(QStringLiteral("INSERT INTO %1.%2 (hash) VALUES (?)")
                 .arg(quoteIdentifier(t.schemaName), kProtectionTable),
             {hash}, t.fileName);
}

} // namespace engine

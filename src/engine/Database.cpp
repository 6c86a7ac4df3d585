#include "engine/Database.h"

#include "engine/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QUuid>
#include <unistd.h>

namespace engine {

namespace {
constexpr int kBusyTimeoutMs = 5000;

void bindAll(QSqlQuery& q, const QVariantList& binds) {
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
}
} // namespace

Database::Database(Session& session, QObject* parent)
    : QObject(parent), session_(session),
      connectionName_(QStringLiteral("vardimo-%1").arg(QUuid::createUuid().toString(QUuid::Id128))) {}

Database::~Database() {
    close();
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
        return QStringLiteral("The disk holding the database is full.");
    return driverText;
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

    // The main database of the connection is a private file, not memory: SQLite commits
    // a transaction over several attached files atomically only then.
    QString priv = session_.privateDir();
    if (priv.isEmpty() || !QFileInfo(priv).isDir()) priv = QDir::tempPath();
    mainFile_ =
        QDir(priv).filePath(QStringLiteral("vardimo-%1-%2.tmp").arg(getpid()).arg(connectionName_.right(8)));

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db.setDatabaseName(mainFile_);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
        const QString msg = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName_);
        throw Error(QStringLiteral("Cannot open the database engine: %1").arg(msg));
    }
    open_ = true;
    exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
    session_.registerUser(folder_);
}

QString Database::findFile(const QString& folder, const QString& name) {
    const QDir d(folder);
    for (const QString& entry : d.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return d.filePath(entry);
    return {};
}

void Database::close() {
    if (!open_) return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName_);
    QFile::remove(mainFile_);
    attached_.clear();
    transactionDepth_ = 0;
    open_ = false;
}

QSqlDatabase Database::connection() const {
    return QSqlDatabase::database(connectionName_, false);
}

QString Database::tablePath(const TableDef& t) const {
    const QString found = findFile(folder_, t.fileName);
    return found.isEmpty() ? QDir(folder_).filePath(t.fileName) : found;
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
    try {
        exec(QStringLiteral("ATTACH DATABASE ? AS %1").arg(quoteIdentifier(t.schemaName)), {path});
        QSqlQuery q =
            exec(QStringLiteral("SELECT count(*) FROM %1.sqlite_master WHERE type = 'table' AND name = ? "
                                "COLLATE NOCASE")
                     .arg(quoteIdentifier(t.schemaName)),
                 {t.schemaName});
        if (!q.next() || q.value(0).toInt() != 1)
            throw Error(QStringLiteral("Table is corrupt or not a table file: %1").arg(t.fileName));
        exec(QStringLiteral("PRAGMA %1.journal_mode=DELETE").arg(quoteIdentifier(t.schemaName)));
        exec(QStringLiteral("PRAGMA %1.synchronous=FULL").arg(quoteIdentifier(t.schemaName)));
    } catch (const Error& e) {
        try {
            exec(QStringLiteral("DETACH DATABASE %1").arg(quoteIdentifier(t.schemaName)));
        } catch (...) {
        }
        if (e.message().contains(t.fileName)) throw;
        throw Error(describe(e.message(), t.fileName));
    }
    attached_.insert(t.schemaName);
}

QSqlQuery Database::exec(const QString& sql, const QVariantList& binds) {
    if (!open_) throw Error(QStringLiteral("The database is not open."));
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    auto failure = [&q] {
        const QSqlError e = q.lastError();
        return e.databaseText().isEmpty() ? e.text() : e.databaseText();
    };
    if (!q.prepare(sql)) {
        // Preparing reads the schema, so a locked or damaged file fails here too; only what
        // the engine cannot name otherwise is a fault of the statement.
        const QString text = failure();
        const QString described = describe(text);
        throw Error(described != text ? described : QStringLiteral("Invalid SQL statement: %1").arg(text));
    }
    bindAll(q, binds);
    if (!q.exec()) throw Error(describe(failure()));
    return q;
}

void Database::begin() {
    if (transactionDepth_++ == 0) exec(QStringLiteral("BEGIN IMMEDIATE"));
}

void Database::commit() {
    if (transactionDepth_ <= 0) return;
    if (--transactionDepth_ == 0) exec(QStringLiteral("COMMIT"));
}

void Database::rollback() {
    if (transactionDepth_ <= 0) return;
    transactionDepth_ = 0;
    exec(QStringLiteral("ROLLBACK"));
}

Inserter::Inserter(Database& db, const QString& fileName, const QStringList& columns)
    : query_(db.connection()) {
    const TableDef* t = findTable(fileName);
    if (!t) throw Error(QStringLiteral("Table does not exist: %1").arg(fileName));
    db.attach(*t);
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
    if (!query_.exec()) throw Error(Database::describe(query_.lastError().text()));
    return query_.lastInsertId().toLongLong();
}

void Database::notifyChanged(const QString& schemaName) {
    emit tableChanged(schemaName);
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
        }
    } catch (...) {
        // A half-made folder would only be refused by the next attempt: leave none behind.
        for (const QString& f : made)
            QFile::remove(f);
        throw;
    }
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

#include "engine/PgBackend.h"

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/History.h"
#include "engine/PgHistory.h"
#include "engine/PgPagedResult.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDriver>
#include <QUuid>

namespace engine {

namespace {

// The first number of the two-integer advisory lock that marks a live session (table opens use
// another, see PgLocks).
constexpr int kSessionClass = 2;

const char* const kSchemaTable = "vardimo_schema";
const char* const kSessionTable = "vardimo_sessions";
const char* const kProtectionTable = "vardimo_protection";

// Statements kept prepared on the server, at most.
constexpr int kPreparedKept = 256;

// The advisory lock under which a session adds the indexes a database lacks.
constexpr int kIndexLock = 0x76696478;

} // namespace

PgBackend::PgBackend()
    : connectionName_(QStringLiteral("vardimo-pg-%1").arg(QUuid::createUuid().toString(QUuid::Id128))),
      locks_(*this) {}

PgBackend::~PgBackend() {
    PgBackend::close();
}

QSqlDatabase PgBackend::connection() const {
    return QSqlDatabase::database(connectionName_, false);
}

void PgBackend::connect(const QString& location) {
    disconnect();
    location_ = PgLocation::parse(location);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        throw Error(QStringLiteral("The PostgreSQL driver of Qt is not installed (Debian package "
                                   "libqt6sql6-psql); the database %1 cannot be reached.")
                        .arg(location_.display));
    const QString failure = openConnection();
    if (!failure.isEmpty())
        throw Error(
            QStringLiteral("Cannot connect to the database server %1: %2").arg(location_.display, failure));
}

QString PgBackend::openConnection() {
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName_);
        db.setHostName(location_.host);
        if (location_.port > 0) db.setPort(location_.port);
        db.setUserName(location_.user);
        db.setPassword(location_.password);
        db.setDatabaseName(location_.database);
        QStringList options = location_.options;
        if (!options.contains(QStringLiteral("application_name"), Qt::CaseInsensitive))
            options << QStringLiteral("application_name=vardimo");
        db.setConnectOptions(options.join(QLatin1Char(';')));
        if (!db.open()) {
            failure = db.lastError().text().trimmed();
            if (failure.isEmpty()) failure = QStringLiteral("no answer from the server");
        }
    }
    if (!failure.isEmpty()) {
        QSqlDatabase::removeDatabase(connectionName_);
        return failure;
    }
    connected_ = true;
    errors_.setLost(false);
    open_ = true; // exec() needs it; open() clears it again on any failure below
    // A write that meets another workstation's write waits as long as the folder store's busy
    // timeout, then fails with the locked message.
    exec(QStringLiteral("SET lock_timeout = '5s'"));
    exec(QStringLiteral("SET client_min_messages = warning"));
    exec(QStringLiteral("SET DateStyle = ISO"));
    applyHistorySettings();
    return {};
}

void PgBackend::applyHistorySettings() {
    exec(QStringLiteral(
             "SELECT set_config('vardimo.author', ?, false), set_config('vardimo.history', ?, false)"),
         {QString::number(changeAuthor_), historyKept_ ? QStringLiteral("on") : QStringLiteral("off")});
}

void PgBackend::setChangeAuthor(int user) {
    changeAuthor_ = user;
    if (connected_ && !errors_.lost()) applyHistorySettings();
}

void PgBackend::keepHistory(bool on) {
    historyKept_ = on;
    if (connected_ && !errors_.lost()) applyHistorySettings();
}

QString PgBackend::historyTable(const TableDef& t) const {
    return hasHistory_ && History::watches(t) ? PgHistory::table(t) : QString();
}

void PgBackend::dropConnection() {
    prepared_.clear();
    reached_.clear();
    if (connected_) {
        {
            QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(connectionName_);
    }
    connected_ = false;
}

void PgBackend::disconnect() {
    locks_.forgetAll();
    dropConnection();
    errors_.setLost(false);
    open_ = false;
}

QString PgBackend::reconnect() {
    if (!connectionLost()) return {};
    dropConnection();
    try {
        const QString failure = openConnection();
        if (!failure.isEmpty()) throw Error(failure);
        checkSchema();
        registerSession(userName_);
        locks_.retake();
    } catch (const Error& e) {
        // Whatever was taken again ends with the connection; the next action tries once more.
        dropConnection();
        errors_.setLost(true);
        throw Error(errors_.stillLostText(e.message()));
    }
    return errors_.reconnectedText();
}

void PgBackend::open(const QString& location, const QString& userName) {
    connect(location);
    userName_ = userName;
    try {
        checkSchema();
        addMissingIndexes();
        hasHistory_ = PgHistory::ensure(*this);
        registerSession(userName);
    } catch (...) {
        disconnect();
        throw;
    }
}

void PgBackend::close() {
    disconnect();
}

void PgBackend::checkSchema() {
    QSqlQuery q =
        exec(QStringLiteral("SELECT to_regclass(?) IS NOT NULL"), {QString::fromLatin1(kSchemaTable)});
    if (!q.next() || !q.value(0).toBool())
        throw Error(QStringLiteral("%1 holds no Vardimo database (make one with vardimo-admin create).")
                        .arg(location_.display));
    q = exec(QStringLiteral("SELECT max(version) FROM %1").arg(QLatin1String(kSchemaTable)));
    const int version = q.next() ? q.value(0).toInt() : 0;
    if (version != kSchemaVersion)
        throw Error(QStringLiteral("The database %1 has tables of version %2; this program works with "
                                   "version %3.")
                        .arg(location_.display)
                        .arg(version)
                        .arg(kSchemaVersion));
}

void PgBackend::addMissingIndexes() {
    std::vector<std::pair<const TableDef*, const IndexDef*>> all;
    QStringList missing;
    QVariantList names;
    for (const TableDef& t : tables())
        for (const IndexDef& ix : t.indexes) {
            all.emplace_back(&t, &ix);
            missing << QStringLiteral("to_regclass(?) IS NULL");
            names << PgDialect::indexName(ix);
        }
    QSqlQuery q = exec(QStringLiteral("SELECT ") + missing.join(QStringLiteral(", ")), names);
    QStringList statements;
    if (q.next())
        for (size_t i = 0; i < all.size(); ++i)
            if (q.value(int(i)).toBool()) statements << dialect_.createIndex(*all[i].first, *all[i].second);
    q.finish();
    if (statements.isEmpty()) return;
    // A database made by an earlier version lacks an index this one reads through. Sessions that
    // open it at once add it one after the other; one whose user does not own the tables, or
    // who would wait long for a table another session is writing, goes on without it: the rows
    // read the same, only slower, until a later session adds it.
    QSqlDatabase db = connection();
    if (!db.transaction()) return;
    try {
        exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kIndexLock));
        exec(QStringLiteral("SET LOCAL lock_timeout = '1s'"));
        for (const QString& s : statements)
            exec(s);
        if (!db.commit()) throw Error(describe(db.lastError()));
    } catch (const Error&) {
        db.rollback();
    }
}

void PgBackend::registerSession(const QString& userName) {
    QSqlDatabase db = connection();
    if (!db.transaction()) throw Error(describe(db.lastError()));
    try {
        // Rows of sessions whose connection ended (a crash, a lost network) hold no lock any more.
        exec(QStringLiteral("DELETE FROM %1 s WHERE NOT EXISTS (SELECT 1 FROM pg_locks l WHERE "
                            "l.locktype = 'advisory' AND l.granted AND l.database = (SELECT oid FROM "
                            "pg_database WHERE datname = current_database()) AND l.classid = %2 AND "
                            "l.objid = s.id::oid AND l.objsubid = 2)")
                 .arg(QLatin1String(kSessionTable))
                 .arg(kSessionClass));
        QSqlQuery q = exec(QStringLiteral("INSERT INTO %1 (username) VALUES (?) RETURNING id")
                               .arg(QLatin1String(kSessionTable)),
                           // A workstation without a login name (no USER in the environment)
                           // is listed with an empty one, as in the folder store.
                           {userName.isNull() ? QStringLiteral("") : userName});
        if (!q.next()) throw Error(QStringLiteral("The session could not be registered."));
        const int id = q.value(0).toInt();
        // Taken inside the transaction, so nobody sees the row without its lock; a session-level
        // lock outlives the commit and ends with the connection.
        exec(QStringLiteral("SELECT pg_advisory_lock(%1, ?)").arg(kSessionClass), {id});
        if (!db.commit()) throw Error(describe(db.lastError()));
    } catch (...) {
        db.rollback();
        throw;
    }
}

QStringList PgBackend::sessions() {
    QSqlQuery q =
        exec(QStringLiteral("SELECT s.username FROM %1 s WHERE EXISTS (SELECT 1 FROM pg_locks l "
                            "WHERE l.locktype = 'advisory' AND l.granted AND l.database = (SELECT "
                            "oid FROM pg_database WHERE datname = current_database()) AND "
                            "l.classid = %2 AND l.objid = s.id::oid AND l.objsubid = 2) ORDER BY s.id")
                 .arg(QLatin1String(kSessionTable))
                 .arg(kSessionClass));
    QStringList out;
    while (q.next())
        out << q.value(0).toString();
    return out;
}

void PgBackend::create(const QString& location) {
    create(location, {});
}

void PgBackend::create(const QString& location, const std::function<void(PgBackend&)>& fill) {
    connect(location);
    try {
        QStringList names{QString::fromLatin1(kSchemaTable), QString::fromLatin1(kSessionTable),
                          QString::fromLatin1(kProtectionTable)};
        for (const auto& t : tables())
            names << t.schemaName;
        for (const QString& n : names) {
            QSqlQuery q = exec(QStringLiteral("SELECT to_regclass(?) IS NOT NULL"), {PgDialect::quoted(n)});
            if (q.next() && q.value(0).toBool())
                throw Error(QStringLiteral("A database already exists at %1 (table %2); nothing was written.")
                                .arg(location_.display, n));
        }
        QStringList statements;
        for (const auto& t : tables())
            statements << dialect_.createTable(t);
        statements
            << QStringLiteral("CREATE TABLE %1 (version integer NOT NULL)").arg(QLatin1String(kSchemaTable))
            << QStringLiteral("INSERT INTO %1 VALUES (%2)")
                   .arg(QLatin1String(kSchemaTable))
                   .arg(kSchemaVersion)
            << QStringLiteral("CREATE TABLE %1 (id integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
                              "username text NOT NULL, started timestamp(0) NOT NULL DEFAULT "
                              "localtimestamp(0))")
                   .arg(QLatin1String(kSessionTable))
            << QStringLiteral("CREATE TABLE %1 (tablename text PRIMARY KEY, hash text NOT NULL)")
                   .arg(QLatin1String(kProtectionTable));
        // The server's definitions are transactional: a failure leaves nothing half-made.
        QSqlDatabase db = connection();
        if (!db.transaction()) throw Error(describe(db.lastError()));
        try {
            for (const QString& s : statements)
                exec(s);
            for (const SeedRow& row : seedRows())
                exec(dialect_.insertInto(dialect_.table(*row.table), row.columns), row.values);
            if (fill) fill(*this);
            // After the rows it is made with: those are nobody's changes.
            PgHistory::install(*this);
            if (!db.commit()) throw Error(describe(db.lastError()));
        } catch (...) {
            db.rollback();
            throw;
        }
    } catch (const Error& e) {
        disconnect();
        if (e.message().contains(location_.display)) throw;
        throw Error(
            QStringLiteral("Cannot create the database at %1: %2").arg(location_.display, e.message()));
    }
    disconnect();
}

void PgBackend::prepareTable(const TableDef& t, bool) {
    if (!open_) throw Error::notOpen();
    // Looked for once per connection: a lookup reaches its table at every value it looks up.
    if (reached_.contains(t.schemaName)) return;
    QSqlQuery& q = execPrepared(QStringLiteral("SELECT to_regclass(?) IS NOT NULL"), {dialect_.table(t)});
    if (!q.next() || !q.value(0).toBool()) throw Error::noTable(t.fileName);
    reached_.insert(t.schemaName);
}

std::function<void()> PgBackend::controlWork(const QString& sql, const QString& files) {
    if (!open_) throw Error::notOpen();
    if (errors_.lost()) throw Error(errors_.lostText());
    // The server cannot prepare these: each is sent as it is.
    auto q = std::make_shared<QSqlQuery>(connection());
    q->setForwardOnly(true);
    return [this, q, sql, files] {
        countStatements();
        if (!q->exec(sql)) throw failure(q->lastError(), files);
    };
}

QSqlQuery PgBackend::exec(const QString& sql, const QVariantList& binds, const QString& files) {
    if (!open_) throw Error::notOpen();
    if (errors_.lost()) throw Error(errors_.lostText());
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    if (binds.isEmpty()) {
        // Definitions and maintenance cannot be prepared on the server.
        countStatements();
        if (!q.exec(sql)) throw failure(q.lastError(), files);
        return q;
    }
    // The driver prepares the statement, runs it and releases it when the query ends.
    countStatements(3);
    if (!q.prepare(sql)) throw failure(q.lastError(), files, true);
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    if (!q.exec()) throw failure(q.lastError(), files);
    return q;
}

PgBackend::Prepared& PgBackend::prepared(const QString& sql) {
    if (!open_) throw Error::notOpen();
    if (errors_.lost()) throw Error(errors_.lostText());
    auto it = prepared_.find(sql);
    if (it == prepared_.end()) {
        // Texts that differ by the length of a list of values: the server keeps a bounded number.
        if (prepared_.size() >= kPreparedKept) {
            for (auto i = prepared_.begin(); i != prepared_.end();) {
                if (i.value()->inUse) {
                    ++i;
                    continue;
                }
                countStatements(); // the driver releases it on the server
                i = prepared_.erase(i);
            }
        }
        auto p = std::make_shared<Prepared>();
        p->query = QSqlQuery(connection());
        p->query.setForwardOnly(true);
        countStatements();
        if (!p->query.prepare(sql)) throw failure(p->query.lastError(), {}, true);
        it = prepared_.insert(sql, p);
    }
    return *it.value();
}

QSqlQuery& PgBackend::execPrepared(const QString& sql, const QVariantList& binds) {
    QSqlQuery& q = prepared(sql).query;
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    countStatements();
    if (!q.exec()) throw failure(q.lastError(), {});
    return q;
}

std::unique_ptr<LargeResult> PgBackend::openLargeResult(const Statement& st, const QString& files,
                                                        const LargeResult::Exec& exec) {
    return std::make_unique<PgPagedResult>(st, files, exec);
}

void PgBackend::scanRows(const QString& sql, const QVariantList& binds, const TableDef& t,
                         const QString& files, const RowSink& row) {
    const int n = int(t.columns.size());
    const auto readAll = [&](QSqlQuery& q) {
        while (q.next()) {
            QVariantList values;
            values.reserve(n);
            for (int i = 0; i < n; ++i)
                values << readValue(q.value(i + 1), t.columns[size_t(i)].type);
            row(q.value(0).toLongLong(), std::move(values));
        }
    };
    // The row cache reads its windows with the same few texts again and again: each is prepared
    // once, so that a window costs one round trip rather than three.
    Prepared& p = prepared(sql);
    if (p.inUse) {
        QSqlQuery q = exec(sql, binds, files);
        readAll(q);
        return;
    }
    struct InUse {
        Prepared& p;
        explicit InUse(Prepared& prepared) : p(prepared) { p.inUse = true; }
        ~InUse() {
            p.query.finish();
            p.inUse = false;
        }
        InUse(const InUse&) = delete;
        InUse& operator=(const InUse&) = delete;
    } use(p);
    for (int i = 0; i < binds.size(); ++i)
        p.query.bindValue(i, binds[i]);
    countStatements();
    if (!p.query.exec()) throw failure(p.query.lastError(), files);
    readAll(p.query);
}

qint64 PgBackend::insertedKey(QSqlQuery& executed) const {
    if (!executed.next()) throw Error(QStringLiteral("The server did not give back the new row's key."));
    return executed.value(0).toLongLong();
}

QVariant PgBackend::readValue(const QVariant& stored, FieldType type) const {
    if (stored.isNull()) return QVariant();
    switch (type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::Logical:
        return QVariant::fromValue<qint64>(stored.toLongLong());
    case FieldType::Number:
        return stored.toDouble();
    case FieldType::Text:
    case FieldType::Memo:
        return stored.toString();
    case FieldType::Date:
        if (stored.metaType().id() == QMetaType::QDate) return stored.toDate().toString(Qt::ISODate);
        if (stored.metaType().id() == QMetaType::QDateTime)
            return stored.toDateTime().date().toString(Qt::ISODate);
        return stored.toString();
    case FieldType::DateTime:
        if (stored.metaType().id() == QMetaType::QDateTime)
            return stored.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (stored.metaType().id() == QMetaType::QDate)
            return stored.toDate().toString(Qt::ISODate) + QStringLiteral(" 00:00:00");
        return stored.toString();
    }
    return stored;
}

void PgBackend::compact(const TableDef& t) {
    // The server skips a table its owner did not hand over with no more than a warning: where the
    // server holds the logons, a user's own role never owns the tables.
    QSqlQuery owner = exec(QStringLiteral("SELECT pg_has_role(current_user, c.relowner, 'USAGE'), "
                                          "pg_get_userbyid(c.relowner) FROM pg_class c WHERE c.oid = "
                                          "to_regclass(?)"),
                           {dialect_.table(t)}, t.fileName);
    if (owner.next() && !owner.value(0).toBool())
        throw Error(
            QStringLiteral("%1 and the tables after it were not packed: on the database server %2 only "
                           "the owner of the tables (%3) may pack them. Ask the administrator to pack "
                           "the database with: vardimo-admin pack URI")
                .arg(t.fileName, location_.display, owner.value(1).toString()));
    exec(QStringLiteral("VACUUM (FULL, ANALYZE) %1").arg(dialect_.table(t)));
}

qint64 PgBackend::tableSize(const TableDef& t) {
    QSqlQuery q = exec(QStringLiteral("SELECT coalesce(pg_total_relation_size(to_regclass(?)), 0)"),
                       {dialect_.table(t)});
    return q.next() ? q.value(0).toLongLong() : 0;
}

QVariant PgBackend::changeMark(const TableDef& t) {
    return changeMarks({&t}).value(0);
}

QVariantList PgBackend::changeMarks(const std::vector<const TableDef*>& ts) {
    // An insert or a delete changes the number of rows; an update gives its row a new creating
    // transaction (xmin), whose numbers only grow. A scan on the server, cheap next to reading
    // the rows again; the tables' marks come in one statement, one column each.
    QStringList terms, files;
    for (const TableDef* t : ts) {
        terms << QStringLiteral("(SELECT count(*) || ':' || coalesce(sum(xmin::text::bigint), 0) FROM %1)")
                     .arg(tableName(*t));
        files << t->fileName;
    }
    QVariantList marks;
    if (terms.isEmpty()) return marks;
    QSqlQuery q = exec(QStringLiteral("SELECT ") + terms.join(QStringLiteral(", ")), {},
                       files.join(QStringLiteral(", ")));
    const bool read = q.next();
    for (int i = 0; i < int(ts.size()); ++i)
        marks << (read ? QVariant(q.value(i).toString()) : QVariant());
    return marks;
}

QString PgBackend::protectionHash(const TableDef& t) {
    // Asked as each table opens: prepared once rather than once per table.
    QSqlQuery& q = execPrepared(
        QStringLiteral("SELECT hash FROM %1 WHERE tablename = ?").arg(QLatin1String(kProtectionTable)),
        {t.schemaName});
    QString hash = q.next() ? q.value(0).toString() : QString();
    q.finish();
    return hash;
}

void PgBackend::setProtectionHash(const TableDef& t, const QString& hash) {
    if (hash.isEmpty()) {
        exec(QStringLiteral("DELETE FROM %1 WHERE tablename = ?").arg(QLatin1String(kProtectionTable)),
             {t.schemaName});
        return;
    }
    exec(
        QStringLiteral("INSERT INTO %1 (tablename, hash) VALUES (?, ?) ON CONFLICT (tablename) DO UPDATE SET "
                       "hash = EXCLUDED.hash")
            .arg(QLatin1String(kProtectionTable)),
        {t.schemaName, hash});
}

void PgBackend::advanceKeys() {
    for (const auto& t : tables()) {
        const QString key =
            PgDialect::keyColumn(t) ? PgDialect::keyColumn(t)->name.toLower() : QStringLiteral("rowid");
        exec(QStringLiteral(
                 "SELECT setval(pg_get_serial_sequence(?, ?), coalesce((SELECT max(%1) FROM %2), 0) "
                 "+ 1, false)")
                 .arg(dialect_.column(key), dialect_.table(t)),
             {dialect_.table(t), key});
    }
}

int PgBackend::serverPid() {
    QSqlQuery q = exec(QStringLiteral("SELECT pg_backend_pid()"));
    return q.next() ? q.value(0).toInt() : 0;
}

void PgBackend::writeUnit(Database& db, const std::function<void()>& unit) {
    Transaction savepoint(db);
    unit();
    savepoint.commit();
}

} // namespace engine

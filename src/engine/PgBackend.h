#pragma once

#include "engine/Backend.h"
#include "engine/PgDialect.h"
#include "engine/PgErrors.h"
#include "engine/PgLocation.h"
#include "engine/PgLocks.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>

namespace engine {

// A database held by a PostgreSQL server, reached through Qt's QPSQL driver. The nine tables
// keep their names (the table file name without ".db", in lower case), their columns (in lower
// case, so that the system's texts may spell them in any case) and their named indexes. Locks are
// session-level advisory locks: they are seen by every workstation at once and end with the
// connection. A table of live sessions, each holding an advisory lock on its own row, gives the
// list of sessions.
class PgBackend : public Backend {
public:
    // The version of the tables this program reads and writes, recorded in every database.
    static constexpr int kSchemaVersion = 1;

    PgBackend();
    ~PgBackend() override;

    QString displayName() const override { return location_.display; }

    void open(const QString& location, const QString& userName) override;
    void close() override;
    bool isOpen() const override { return open_; }
    QSqlDatabase connection() const override;
    bool connectionLost() const override { return open_ && errors_.lost(); }
    QString reconnect() override;
    void create(const QString& location) override;
    // The same, with `fill` run inside the creating transaction after the first rows are in:
    // what it writes (a copy of another database) is there together with the tables or not at all.
    void create(const QString& location, const std::function<void(PgBackend&)>& fill);

    // The server reaches its tables inside a transaction as well.
    void prepareTable(const TableDef& t, bool inTransaction) override;
    const Dialect& dialect() const override { return dialect_; }
    QSqlQuery exec(const QString& sql, const QVariantList& binds = {}, const QString& files = {}) override;
    // The server cannot prepare these.
    std::function<void()> controlWork(const QString& sql, const QString& files = {}) override;
    Error failure(const QSqlError& error, const QString& files, bool preparing = false) const override {
        return errors_.failure(error, files, preparing);
    }
    // A failed statement aborts the server's transaction: at the outermost level nothing of it
    // can be kept; in a savepoint, rolling back to it makes the transaction usable again.
    bool failureEndsTransaction(int depth) const override { return depth == 1; }
    void writeUnit(Database& db, const std::function<void()>& unit) override;
    // The server keeps even a failed transaction until it is told to roll it back.
    bool holdsTransaction() const override { return true; }
    void scanRows(const QString& sql, const QVariantList& binds, const TableDef& t, const QString& files,
                  const RowSink& row) override;
    std::unique_ptr<LargeResult> openLargeResult(const Statement& st, const QString& files,
                                                 const LargeResult::Exec& exec) override;
    qint64 insertedKey(QSqlQuery& executed) const override;
    QVariant readValue(const QVariant& stored, FieldType type) const override;

    std::unique_ptr<OpenLock> lockTable(const TableDef& t, bool exclusive) override {
        return locks_.lockTable(t, exclusive);
    }
    QStringList sessions() override;
    bool holdsLogons() override;
    void lockNumbering(const TableDef& t) override { locks_.lockNumbering(t); }

    void compact(const TableDef& t) override;
    qint64 tableSize(const TableDef& t) override;
    QVariant changeMark(const TableDef& t) override;
    QVariantList changeMarks(const std::vector<const TableDef*>& ts) override;
    QString protectionHash(const TableDef& t) override;
    void setProtectionHash(const TableDef& t, const QString& hash) override;

    QString describe(const QSqlError& error, const QString& fileName = {}) const override {
        return errors_.describe(error, fileName);
    }

    // After rows were written with their keys given (a copy from a folder), moves each table's
    // key sequence past the highest key, so the server never hands out a key twice.
    void advanceKeys();
    // The server process serving this session (for tests that cut a connection).
    int serverPid();

    // Runs a statement that runs again and again (the record locks) through a statement
    // prepared once on the server; the result stays readable until its next run.
    QSqlQuery& execPrepared(const QString& sql, const QVariantList& binds);

    QString historyTable(const TableDef& t) const override;
    void setChangeAuthor(int user) override;
    void keepHistory(bool on) override;

private:
    void connect(const QString& location);
    // Opens the connection to location_ and sets it up; the client library's reason when it fails.
    QString openConnection();
    // Lets go of the connection alone: the locks stay known, to be taken again on reconnecting.
    void dropConnection();
    void disconnect();
    void checkSchema();
    void addMissingIndexes();
    void registerSession(const QString& userName);

    QString connectionName_;
    QString userName_;
    PgLocation location_;
    bool open_ = false;
    bool connected_ = false;
    PgDialect dialect_;
    PgErrors errors_{location_.display};
    PgLocks locks_;
    // Statements prepared once on the server, by text. One being read (a scan whose rows are
    // still being taken) is in use: a statement of the same text meanwhile is prepared anew.
    struct Prepared {
        QSqlQuery query;
        bool inUse = false;
    };
    QHash<QString, std::shared_ptr<Prepared>> prepared_;
    QSet<QString> reached_; // the tables found on the server since connecting
    Prepared& prepared(const QString& sql);
    int changeAuthor_ = 0;
    bool historyKept_ = true;
    bool hasHistory_ = false;
    void applyHistorySettings();
};

} // namespace engine

#pragma once

#include "engine/Backend.h"
#include "engine/FolderBusy.h"
#include "engine/FolderDialect.h"
#include "engine/FolderErrors.h"
#include "engine/FolderHistory.h"
#include "engine/FolderRowReader.h"
#include "engine/Session.h"

#include <QSet>
#include <map>
#include <optional>

struct sqlite3;

namespace engine {

class LockFile;

// A database that is a folder of SQLite table files, one per table, shared by the workstations
// that reach the folder. One connection attaches each table file under its schema name when
// first used, so statements can join tables and a change to several tables commits at once.
//
// The connection's own main file lives in the database folder's control folder, never in a
// workstation's temp folder: a commit over several table files writes SQLite's super-journal
// beside that file and records its full path in each table's journal, so that whichever
// workstation meets a hot journal after a crash can find it and roll the commit back. Every
// workstation must therefore reach the folder by the same path.
class FolderBackend : public Backend {
public:
    explicit FolderBackend(Session& session);
    ~FolderBackend() override;

    QString displayName() const override { return folder_; }

    // Cleans up what killed sessions left in the control folder, rolling back their unfinished
    // commits first, and registers the session in the session's list of users.
    void open(const QString& location, const QString& userName) override;
    void close() override;
    bool isOpen() const override { return open_; }
    QSqlDatabase connection() const override;
    // Also makes the tables' lock files and the control folder. Refuses to write over any
    // existing table file.
    void create(const QString& location) override;

    void prepareTable(const TableDef& t, bool inTransaction) override;
    void keepChangesInMemory(bool on) override;
    const Dialect& dialect() const override { return dialect_; }
    QSqlQuery exec(const QString& sql, const QVariantList& binds = {}, const QString& files = {}) override;
    std::function<void()> controlWork(const QString& sql, const QString& files = {}) override;
    Error failure(const QSqlError& error, const QString& files, bool preparing = false) const override;
    bool failureEndsTransaction(int depth) const override;
    // A failed statement undoes itself in SQLite; the transaction goes on.
    void writeUnit(Database&, const std::function<void()>& unit) override { unit(); }
    bool holdsTransaction() const override;
    void scanRows(const QString& sql, const QVariantList& binds, const TableDef& t, const QString& files,
                  const RowSink& row) override;
    // Texts come as UTF-8 bytes, without a driver's conversion of each value.
    bool readForward(const QString& sql, const QVariantList& binds, const QString& files,
                     const ValuesSink& row) override;
    std::optional<qint64> changeRows(const QString& sql, const QVariantList& binds,
                                     const QString& files) override;
    qint64 insertedKey(QSqlQuery& executed) const override;
    QVariant readValue(const QVariant& stored, FieldType) const override { return stored; }
    std::unique_ptr<LargeResult> openLargeResult(const Statement& st, const QString& files,
                                                 const LargeResult::Exec& exec) override;

    std::unique_ptr<OpenLock> lockTable(const TableDef& t, bool exclusive) override;
    QStringList sessions() override { return session_.users(folder_); }
    void setReadWait(std::function<bool(qint64)> wait) override { busy_.setWait(std::move(wait)); }
    QString lockHolder(const TableDef& t) override { return FolderBusy::holder(tablePath(t), folder_); }

    void compact(const TableDef& t) override;
    qint64 tableSize(const TableDef& t) override;
    QVariant changeMark(const TableDef& t) override;
    QString protectionHash(const TableDef& t) override;
    void setProtectionHash(const TableDef& t, const QString& hash) override;
    QString historyTable(const TableDef& t) const override;
    void setChangeAuthor(int user) override { history_.setAuthor(user); }
    void keepHistory(bool on) override { history_.setKept(on); }

    QString describe(const QSqlError& error, const QString& fileName = {}) const override;

    // The path of a table's main file inside the folder, as it exists on disk (any letter case),
    // or the path it would have.
    QString tablePath(const TableDef& t) const;
    // The lock file of a table (the shared lock of an open table, record locks, exclusive opens).
    QString lockPath(const TableDef& t) const;
    // The path of a file of a folder whose name matches in any letter case; empty when none does.
    static QString findFile(const QString& folder, const QString& name);

private:
    static void createTableFile(const TableDef& t, const QString& path);
    void addMissingIndexes(const TableDef& t);
    void recoverStaleConnections(const QString& base);
    void removeOldTempFiles();

    Session& session_;
    FolderDialect dialect_;
    QString connectionName_;
    QString folder_;
    QString mainFile_;
    std::unique_ptr<LockFile> connectionLock_;
    sqlite3* handle_ = nullptr;
    QSet<QString> attached_;
    qint64 cacheLeftKb_ = 0; // of the page cache budget shared by the attached tables
    bool open_ = false;
    bool registered_ = false; // listed among the users of the database
    FolderErrors errors_{folder_};
    FolderRowReader reader_{errors_};
    FolderBusy busy_;
    // The secure_delete setting a transaction that keeps its changes in memory replaced.
    std::optional<int> secureDeleteBefore_;
    std::map<QString, QSqlQuery> controls_;
    FolderHistory history_;
};

} // namespace engine

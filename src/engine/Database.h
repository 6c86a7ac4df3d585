#pragma once

#include "engine/Schema.h"
#include "engine/Session.h"

#include <QObject>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

namespace engine {

// One connection to a database folder. Each table file is attached under its schema name when
// first used, so statements can join tables and a change to several tables commits at once.
class Database : public QObject {
    Q_OBJECT
public:
    explicit Database(Session& session = Session::instance(), QObject* parent = nullptr);
    ~Database() override;

    // Opens the folder an alias names, or, when no such alias is known, the folder itself.
    void open(const QString& aliasOrFolder);
    void close();
    bool isOpen() const { return open_; }
    const QString& folder() const { return folder_; }
    Session& session() const { return session_; }

    // The path of a table's main file inside the folder, as it exists on disk (any letter case),
    // or the path it would have.
    QString tablePath(const TableDef& t) const;
    // Attaches a table's file, checking that it exists, can be read and is a database holding
    // the table; throws engine::Error naming the file otherwise.
    void attach(const TableDef& t);

    // Runs one statement with bound values. Throws engine::Error on failure.
    QSqlQuery exec(const QString& sql, const QVariantList& binds = {});
    QSqlDatabase connection() const;

    void begin();
    void commit();
    void rollback();

    // Tells every table object and lookup of this database that a table's rows changed.
    void notifyChanged(const QString& schemaName);

    // Creates a new database folder with the nine tables, the settings row, profile 0 with every
    // right and the built-in account "Supervisor" without a password. Refuses to write over
    // any existing table file.
    static void create(const QString& folder);

    // The path of a file of a folder whose name matches in any letter case; empty when none does.
    static QString findFile(const QString& folder, const QString& name);

    // Translates an engine-level failure of SQLite into a message a person can act on.
    static QString describe(const QString& driverText, const QString& file = {});

signals:
    void tableChanged(const QString& schemaName);

private:
    static void createTableFile(const TableDef& t, const QString& path);
    Session& session_;
    QString connectionName_;
    QString folder_;
    QString mainFile_;
    QSet<QString> attached_;
    bool open_ = false;
    int transactionDepth_ = 0;
};

// Adds many rows to one table with one prepared statement (creation of sample data).
class Inserter {
public:
    Inserter(Database& db, const QString& fileName, const QStringList& columns);
    qint64 add(const QVariantList& values); // returns the new row's key

private:
    QSqlQuery query_;
};

// Runs statements on a database inside one transaction; rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Database& db) : db_(db) { db_.begin(); }
    ~Transaction() {
        if (!done_) try {
                db_.rollback();
            } catch (...) {
            }
    }
    void commit() {
        db_.commit();
        done_ = true;
    }

private:
    Database& db_;
    bool done_ = false;
};

} // namespace engine

#pragma once

#include "engine/DataSet.h"
#include "engine/Database.h"
#include "engine/LargeResult.h"
#include "engine/Sql.h"

#include <QSqlRecord>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace engine {

// A query object: an SQL text built as lines of literal pieces and typed values, run with every
// value bound. It is a read-only data set.
//
// By default an open query holds its rows in memory: right for the small results of checks,
// numbering and pick lists. For reports and batch work over many rows, switch on
// setUniDirectional(true) before opening: the result is then copied once into a snapshot in the
// workstation's temporary folder and read from there one row at a time, so memory stays bounded
// whatever the size, and the table files are locked only while the snapshot is taken (another
// workstation can post while a long report is printed). Moving forward row by row is cheapest;
// other moves re-position the snapshot's reader. A result found to be large (over ten thousand
// rows) is read from a snapshot in either mode.
class Query : public DataSet {
    Q_OBJECT
public:
    explicit Query(Database& db, QObject* parent = nullptr);

    SqlText& sql() { return sql_; }
    void clear();
    template <typename... P> void add(P&&... pieces) {
        requireClosed();
        sql_.add(std::forward<P>(pieces)...);
        statement_.reset();
    }
    QString text() const { return sql_.text(); }

    // Renders the text once in the store's dialect; opening or running a prepared query uses it.
    void prepare();
    void unprepare() { statement_.reset(); }
    bool prepared() const { return statement_.has_value(); }
    void open();
    void execSql();
    void close();
    bool isOpen() const override { return open_; }
    int rowsAffected() const { return rowsAffected_; }

    // Reads the result once, forward, straight from the store: each row's values, in the order of
    // the Select's columns and as the engine keeps them, go to `row`, and nothing is kept (the
    // query stays closed). The store holds its read lock on the tables meanwhile, so this is for
    // work that only reads, never for a walk that waits on a person or a printer. Returns the
    // number of rows read.
    int forEachRow(const std::function<void(const QVariantList& values)>& row);

    void setUniDirectional(bool on);
    bool uniDirectional() const { return uniDirectional_; }

    int recordCount() override { return count_; }
    int recNo() override { return count_ == 0 ? -1 : pos_; }
    void moveTo(int row) override;
    bool eof() const override { return eof_; }
    bool bof() const override { return bof_; }

    bool hasField(const QString& name) const override { return columnOf(name) >= 0; }
    FieldType fieldType(const QString& name) const override;
    QStringList fieldNames() const override { return columns_; }
    QVariant fieldValue(const QString& name) override;
    QVariant valueAt(int row, const QString& name) override;

private:
    void requireClosed() const;
    int columnOf(const QString& name) const;
    const Statement& statement();
    QString files() const;
    void describeColumns(const QSqlRecord& rec, const QStringList& names);
    void openSnapshot(const Statement& st);
    const QVariantList* snapshotRow(int row);
    void dropSnapshot();

    Database& db_;
    SqlText sql_;
    std::optional<Statement> statement_;
    bool open_ = false;
    QStringList columns_;
    mutable QHash<QString, int> names_;
    std::vector<FieldType> types_;
    std::vector<QVariantList> rows_;
    int count_ = 0;
    bool uniDirectional_ = false;
    std::unique_ptr<LargeResult> large_; // the result of a unidirectional or large query
    std::unique_ptr<QSqlQuery> reader_;  // reads it forward from readerRow_
    int readerRow_ = -1;                 // the row the reader's current row is; -1: none
    QVariantList row_;                   // that row's values
    int pos_ = 0;
    bool eof_ = true;
    bool bof_ = true;
    int rowsAffected_ = 0;
};

// Runs one statement that changes rows, written from the pieces Query::add takes, with a query
// of its own; returns how many rows it changed.
template <typename... P> int execute(Database& db, P&&... pieces) {
    Query q(db);
    q.add(std::forward<P>(pieces)...);
    q.execSql();
    return q.rowsAffected();
}

} // namespace engine

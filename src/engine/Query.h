#pragma once

#include "engine/DataSet.h"
#include "engine/Database.h"
#include "engine/Sql.h"

#include <QStringList>
#include <QVariantList>
#include <optional>
#include <vector>

namespace engine {

// A query object: an SQL text built as lines of literal pieces and typed values, run with every
// value bound. An open query holds its rows in memory and is a read-only data set.
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

    // Translates the text once; opening or running a prepared query uses that translation.
    void prepare();
    void unprepare() { statement_.reset(); }
    bool prepared() const { return statement_.has_value(); }
    void open();
    void execSql();
    void close();
    bool isOpen() const override { return open_; }
    int rowsAffected() const { return rowsAffected_; }

    int recordCount() override { return int(rows_.size()); }
    int recNo() override { return rows_.empty() ? -1 : pos_; }
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

    Database& db_;
    SqlText sql_;
    std::optional<Statement> statement_;
    bool open_ = false;
    QStringList columns_;
    std::vector<FieldType> types_;
    std::vector<QVariantList> rows_;
    int pos_ = 0;
    bool eof_ = true;
    bool bof_ = true;
    int rowsAffected_ = 0;
};

} // namespace engine

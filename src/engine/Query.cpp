#include "engine/Query.h"

#include "engine/Error.h"

#include <QSqlField>
#include <QSqlRecord>
#include <algorithm>

namespace engine {

Query::Query(Database& db, QObject* parent) : DataSet(parent), db_(db) {}

void Query::requireClosed() const {
    if (open_) throw Error(QStringLiteral("Cannot change the SQL text of an open query."));
}

void Query::clear() {
    requireClosed();
    sql_.clear();
    statement_.reset();
}

const Statement& Query::statement() {
    if (!statement_) {
        if (sql_.isEmpty()) throw Error(QStringLiteral("Invalid SQL statement: the query has no text."));
        Statement st = sql_.translate();
        for (const QString& t : st.tables)
            db_.attach(*findTable(t));
        statement_ = std::move(st);
    }
    return *statement_;
}

void Query::prepare() {
    statement();
}

void Query::open() {
    if (open_) return;
    const Statement& st = statement();
    if (!st.selects)
        throw Error(QStringLiteral("Invalid SQL statement: a query that changes rows is run, not opened."));
    QSqlQuery q = db_.exec(st.sql, st.binds);
    const QSqlRecord rec = q.record();
    columns_.clear();
    types_.clear();
    for (int i = 0; i < rec.count(); ++i) {
        columns_ << rec.fieldName(i);
        FieldType t = FieldType::Text;
        if (!columnType(rec.fieldName(i), &t)) {
            const int id = rec.field(i).metaType().id();
            t = (id == QMetaType::Int || id == QMetaType::LongLong) ? FieldType::Integer
                : id == QMetaType::Double                           ? FieldType::Number
                                                                    : FieldType::Text;
        }
        types_.push_back(t);
    }
    rows_.clear();
    while (q.next()) {
        QVariantList row;
        row.reserve(rec.count());
        for (int i = 0; i < rec.count(); ++i)
            row << q.value(i);
        rows_.push_back(std::move(row));
    }
    open_ = true;
    pos_ = 0;
    eof_ = bof_ = rows_.empty();
    emit stateChanged();
    emit rowsChanged();
    emit currentChanged();
}

void Query::execSql() {
    requireClosed();
    const Statement& st = statement();
    if (st.selects) throw Error(QStringLiteral("Invalid SQL statement: a Select query is opened, not run."));
    {
        Transaction tx(db_);
        QSqlQuery q = db_.exec(st.sql, st.binds);
        rowsAffected_ = q.numRowsAffected();
        tx.commit();
    }
    for (const QString& t : st.tables)
        db_.notifyChanged(t);
}

void Query::close() {
    if (!open_) return;
    open_ = false;
    rows_.clear();
    columns_.clear();
    types_.clear();
    pos_ = 0;
    eof_ = bof_ = true;
    emit stateChanged();
    emit rowsChanged();
}

void Query::moveTo(int row) {
    const Position p = clamp(row, int(rows_.size()));
    pos_ = std::max(p.pos, 0);
    bof_ = p.bof;
    eof_ = p.eof;
    emit currentChanged();
}

int Query::columnOf(const QString& name) const {
    for (int i = 0; i < columns_.size(); ++i)
        if (columns_[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

FieldType Query::fieldType(const QString& name) const {
    const int i = columnOf(name);
    if (i < 0) throw Error(QStringLiteral("Query: Field '%1' not found.").arg(name));
    return types_[size_t(i)];
}

QVariant Query::valueAt(int row, const QString& name) {
    const int i = columnOf(name);
    if (i < 0) throw Error(QStringLiteral("Query: Field '%1' not found.").arg(name));
    if (row < 0 || row >= int(rows_.size())) return {};
    return toFieldValue(rows_[size_t(row)].value(i), types_[size_t(i)]);
}

QVariant Query::fieldValue(const QString& name) {
    if (!open_) throw Error(QStringLiteral("Cannot perform this operation on a closed dataset (query)."));
    return valueAt(pos_, name);
}

} // namespace engine

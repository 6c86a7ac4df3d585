#include "engine/Query.h"

#include "engine/Error.h"
#include "engine/RowView.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <algorithm>

namespace engine {

namespace {
// A result with more rows than this is read from a snapshot, whatever the mode.
constexpr int kRowsInMemory = 10000;
} // namespace

Query::Query(Database& db, QObject* parent) : DataSet(parent), db_(db) {}

void Query::requireClosed() const {
    if (open_) throw Error(QStringLiteral("Cannot change the SQL text of an open query."));
}

void Query::clear() {
    requireClosed();
    sql_.clear();
    statement_.reset();
}

void Query::setUniDirectional(bool on) {
    requireClosed();
    uniDirectional_ = on;
}

const Statement& Query::statement() {
    if (!statement_) {
        if (sql_.isEmpty()) throw Error(QStringLiteral("Invalid SQL statement: the query has no text."));
        Statement st = sql_.render(db_.backend().dialect());
        for (const QString& t : st.tables)
            db_.attach(*findTable(t));
        statement_ = std::move(st);
    }
    return *statement_;
}

QString Query::files() const {
    QStringList out;
    if (statement_)
        for (const QString& t : statement_->tables)
            out << findTable(t)->fileName;
    return out.join(QStringLiteral(", "));
}

void Query::prepare() {
    statement();
}

void Query::describeColumns(const QSqlRecord& rec, const QStringList& names) {
    names_.clear();
    columns_.clear();
    types_.clear();
    for (int i = 0; i < rec.count(); ++i) {
        const QString name = names.value(i, rec.fieldName(i));
        columns_ << name;
        FieldType t = FieldType::Text;
        if (!columnType(name, &t)) {
            const int id = rec.field(i).metaType().id();
            t = (id == QMetaType::Int || id == QMetaType::LongLong) ? FieldType::Integer
                : id == QMetaType::Double                           ? FieldType::Number
                                                                    : FieldType::Text;
        }
        types_.push_back(t);
    }
}

void Query::open() {
    if (open_) return;
    const Statement& st = statement();
    if (!st.selects)
        throw Error(QStringLiteral("Invalid SQL statement: a query that changes rows is run, not opened."));
    bool large = uniDirectional_;
    if (!large) {
        Cursor q = db_.run(st.sql, st.binds, files());
        describeColumns(q.query().record(), {});
        rows_.clear();
        const Backend& store = db_.backend();
        const int n = int(columns_.size());
        while (q.next()) {
            if (int(rows_.size()) == kRowsInMemory) {
                // More than a pick list ever shows: read it from a snapshot instead.
                large = true;
                rows_.clear();
                rows_.shrink_to_fit();
                break;
            }
            QVariantList row;
            row.reserve(n);
            for (int i = 0; i < n; ++i)
                row << store.readValue(q.value(i), types_[size_t(i)]);
            rows_.push_back(std::move(row));
        }
        count_ = int(rows_.size());
    }
    if (large) openSnapshot(st);
    open_ = true;
    pos_ = 0;
    eof_ = bof_ = count_ == 0;
    emit stateChanged();
    emit rowsChanged();
    emit currentChanged();
}

int Query::forEachRow(const std::function<void(const QVariantList& values)>& row) {
    requireClosed();
    const Statement& st = statement();
    if (!st.selects)
        throw Error(QStringLiteral("Invalid SQL statement: a query that changes rows is run, not opened."));
    int count = 0;
    const auto take = [&](const QVariantList& values) {
        row(values);
        ++count;
    };
    // Where the store reads faster than its driver (a folder, straight through SQLite, texts as
    // UTF-8 bytes that toString() reads), it does; other stores' rows come through the driver.
    // A sink that takes views is handed on as one, so that the store can give it views.
    if (const auto* views = row.target<RowViewSink>()) {
        const std::function<void(const RowView&)> counted = [&](const RowView& view) {
            (*views)(view);
            ++count;
        };
        if (db_.readForward(st.sql, st.binds, files(), RowViewSink(counted))) return count;
    } else if (db_.readForward(st.sql, st.binds, files(), take)) {
        return count;
    }
    Cursor q = db_.run(st.sql, st.binds, files());
    describeColumns(q.query().record(), {});
    const Backend& store = db_.backend();
    const int n = int(columns_.size());
    QVariantList values;
    values.reserve(n);
    while (q.next()) {
        values.clear();
        for (int i = 0; i < n; ++i)
            values << store.readValue(q.value(i), types_[size_t(i)]);
        take(values);
    }
    return count;
}

namespace {
// A row of values as a view, converted as the values themselves convert.
class ValuesView final : public RowView {
public:
    explicit ValuesView(const QVariantList& values) : values_(values) {}
    int columns() const override { return int(values_.size()); }
    bool isNull(int column) const override { return values_[column].isNull(); }
    qint64 integer(int column) const override { return values_[column].toLongLong(); }
    double number(int column) const override { return values_[column].toDouble(); }
    QString text(int column) const override { return values_[column].toString(); }
    QDate date(int column) const override { return toFieldValue(values_[column], FieldType::Date).toDate(); }
    QVariant value(int column) const override { return values_[column]; }

private:
    const QVariantList& values_;
};
} // namespace

void RowViewSink::operator()(const QVariantList& values) const {
    (*row_)(ValuesView(values));
}

int forEachRow(Query& query, const std::function<void(const RowView&)>& row) {
    return query.forEachRow(RowViewSink(row));
}

void Query::openSnapshot(const Statement& st) {
    large_ = db_.openLargeResult(st, files());
    count_ = large_->count();
    describeColumns(large_->record(), large_->names());
    readerRow_ = -1;
}

const QVariantList* Query::snapshotRow(int row) {
    if (row < 0 || row >= count_) return nullptr;
    if (row == readerRow_) return &row_;
    if (!reader_ || readerRow_ < 0 || row != readerRow_ + 1) {
        reader_ = std::make_unique<QSqlQuery>(large_->readFrom(row));
        readerRow_ = row - 1;
    }
    if (!reader_->next()) {
        readerRow_ = -1;
        reader_.reset();
        return nullptr;
    }
    readerRow_ = row;
    const int n = int(columns_.size());
    row_.clear();
    row_.reserve(n);
    const Backend& store = db_.backend();
    for (int i = 0; i < n; ++i)
        row_ << store.readValue(reader_->value(i), types_[size_t(i)]);
    return &row_;
}

void Query::dropSnapshot() {
    reader_.reset();
    readerRow_ = -1;
    row_.clear();
    if (!large_) return;
    large_->release();
    large_.reset();
}

void Query::execSql() {
    requireClosed();
    const Statement& st = statement();
    if (st.selects) throw Error(QStringLiteral("Invalid SQL statement: a Select query is opened, not run."));
    db_.write([&] {
        Cursor q = db_.run(st.sql, st.binds, files());
        rowsAffected_ = q.query().numRowsAffected();
    });
    for (const QString& t : st.tables)
        db_.notifyChanged(t);
}

void Query::close() {
    if (!open_) return;
    open_ = false;
    rows_.clear();
    dropSnapshot();
    columns_.clear();
    types_.clear();
    count_ = 0;
    pos_ = 0;
    eof_ = bof_ = true;
    emit stateChanged();
    emit rowsChanged();
}

void Query::moveTo(int row) {
    const Position p = clamp(row, count_);
    pos_ = std::max(p.pos, 0);
    bof_ = p.bof;
    eof_ = p.eof;
    emit currentChanged();
}

int Query::columnOf(const QString& name) const {
    // Names resolve to positions once per spelling, not by comparing on every row.
    auto it = names_.constFind(name);
    if (it != names_.constEnd()) return it.value();
    int found = -1;
    for (int i = 0; i < columns_.size() && found < 0; ++i)
        if (columns_[i].compare(name, Qt::CaseInsensitive) == 0) found = i;
    names_.insert(name, found);
    return found;
}

FieldType Query::fieldType(const QString& name) const {
    const int i = columnOf(name);
    if (i < 0) throw Error(QStringLiteral("Query: Field '%1' not found.").arg(name));
    return types_[size_t(i)];
}

QVariant Query::valueAt(int row, const QString& name) {
    const int i = columnOf(name);
    if (i < 0) throw Error(QStringLiteral("Query: Field '%1' not found.").arg(name));
    if (row < 0 || row >= count_) return {};
    const QVariantList* values = large_ ? snapshotRow(row) : &rows_[size_t(row)];
    if (!values) return {};
    return toFieldValue(values->value(i), types_[size_t(i)]);
}

QVariant Query::fieldValue(const QString& name) {
    if (!open_) throw Error(QStringLiteral("Cannot perform this operation on a closed dataset (query)."));
    return valueAt(pos_, name);
}

} // namespace engine

#include "engine/FolderRowReader.h"

#include "engine/DataSet.h"
#include "engine/RowView.h"
#include "engine/WholeNumber.h"

#include <forward_list>
#include <sqlite3.h>

namespace engine {

void FolderRowReader::open(sqlite3* handle) {
    close();
    handle_ = handle;
}

void FolderRowReader::close() {
    for (const auto& [sql, r] : raw_)
        sqlite3_finalize(r.stmt);
    raw_.clear();
    handle_ = nullptr;
}

namespace {
// Texts are bound where they lie, in the bound list or in `texts`, both of which outlive the
// run of the statement (reset and cleared before either goes): SQLite makes no copy of its own.
void bindValues(sqlite3_stmt* st, const QVariantList& binds, std::forward_list<QByteArray>& texts) {
    for (int i = 0; i < int(binds.size()); ++i) {
        const QVariant& v = binds[i];
        switch (v.isNull() ? QMetaType::UnknownType : v.typeId()) {
        case QMetaType::UnknownType:
            sqlite3_bind_null(st, i + 1);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Bool:
            sqlite3_bind_int64(st, i + 1, wholeNumber(v));
            break;
        case QMetaType::Double:
            sqlite3_bind_double(st, i + 1, v.toDouble());
            break;
        case QMetaType::QByteArray: {
            // Texts read by scan() are UTF-8 bytes: they go back as text, never as a blob.
            const auto* text = static_cast<const QByteArray*>(v.constData());
            sqlite3_bind_text(st, i + 1, text->constData(), int(text->size()), SQLITE_STATIC);
            break;
        }
        default: {
            const QByteArray& text = texts.emplace_front(v.toString().toUtf8());
            sqlite3_bind_text(st, i + 1, text.constData(), int(text.size()), SQLITE_STATIC);
        }
        }
    }
}
} // namespace

// A statement of the cache, bound and ready to step; reset and given back when it goes out of
// scope. A text whose statement is running already (a read that calls back into another) gets a
// statement of its own for the time.
class FolderRowReader::Run {
public:
    Run(FolderRowReader& r, const QString& sql, const QVariantList& binds, const QString& files)
        : cached_(r.raw_[sql]) {
        st_ = cached_.inUse ? nullptr : cached_.stmt;
        own_ = cached_.inUse;
        if (!st_) {
            const QByteArray text = sql.toUtf8();
            const int rc = sqlite3_prepare_v3(r.handle_, text.constData(), int(text.size()),
                                              SQLITE_PREPARE_PERSISTENT, &st_, nullptr);
            if (rc != SQLITE_OK) {
                sqlite3_finalize(st_);
                throw r.errors_.failure(rc, QString::fromUtf8(sqlite3_errmsg(r.handle_)), files);
            }
            if (!own_) cached_.stmt = st_;
        }
        if (!own_) cached_.inUse = true;
        bindValues(st_, binds, texts_);
    }
    ~Run() {
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
        if (own_)
            sqlite3_finalize(st_);
        else
            cached_.inUse = false;
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    sqlite3_stmt* statement() const { return st_; }

private:
    RawStatement& cached_;
    std::forward_list<QByteArray> texts_;
    sqlite3_stmt* st_ = nullptr;
    bool own_ = false;
};

qint64 FolderRowReader::change(const QString& sql, const QVariantList& binds, const QString& files) {
    // An UPDATE ... RETURNING would give rows: nobody reads them.
    step(sql, binds, files, [](sqlite3_stmt*) {});
    return sqlite3_changes(handle_);
}

// The values of a row from column `from` on, as the engine keeps them. Texts stay UTF-8 bytes
// (no conversion of columns nobody reads); the field conversions turn them into text when read.
// A batch reads every column of every row it edits: each column is taken as one value, since
// each of the statement's own calls locks the connection (used from this thread alone), and
// is made in its place in the list.
namespace {
QVariant columnValue(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_value_int64(v)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_value_double(v));
    case SQLITE_NULL:
        return {};
    default: {
        const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        return QVariant(QByteArray(p, sqlite3_value_bytes(v)));
    }
    }
}

void readValues(sqlite3_stmt* st, int from, int to, QVariantList& values) {
    const qsizetype at = values.size();
    values.resize(at + (to - from));
    QVariant* out = values.data() + at;
    for (int i = from; i < to; ++i, ++out)
        *out = columnValue(sqlite3_column_value(st, i));
}

// A row of the statement as a view: integers, texts and dates in the usual form are read straight
// from SQLite's own values; anything else converts as the value the engine keeps would.
class StatementView final : public RowView {
public:
    explicit StatementView(sqlite3_stmt* st) : st_(st), columns_(sqlite3_column_count(st)) {}
    int columns() const override { return columns_; }
    bool isNull(int column) const override { return sqlite3_column_type(st_, column) == SQLITE_NULL; }
    qint64 integer(int column) const override {
        sqlite3_value* v = sqlite3_column_value(st_, column);
        switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            return sqlite3_value_int64(v);
        case SQLITE_NULL:
            return 0;
        case SQLITE_FLOAT: {
            // A whole number is itself however it is rounded, as long as adding a half to it (as
            // the rounding of a QVariant does) loses nothing.
            const double d = sqlite3_value_double(v);
            constexpr double exact = 4503599627370496.0; // 2^52
            if (d > -exact && d < exact && d == double(qint64(d))) return qint64(d);
            return columnValue(v).toLongLong();
        }
        default:
            return columnValue(v).toLongLong();
        }
    }
    double number(int column) const override {
        return columnValue(sqlite3_column_value(st_, column)).toDouble();
    }
    QString text(int column) const override {
        sqlite3_value* v = sqlite3_column_value(st_, column);
        if (sqlite3_value_type(v) != SQLITE_TEXT) return columnValue(v).toString();
        const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        return QString::fromUtf8(p, sqlite3_value_bytes(v));
    }
    QDate date(int column) const override {
        sqlite3_value* v = sqlite3_column_value(st_, column);
        if (sqlite3_value_type(v) == SQLITE_TEXT && sqlite3_value_bytes(v) == 10) {
            const auto* p = sqlite3_value_text(v);
            const auto digits = [&](int from, int n) {
                int value = 0;
                for (int i = from; i < from + n; ++i) {
                    if (p[i] < '0' || p[i] > '9') return -1;
                    value = value * 10 + (p[i] - '0');
                }
                return value;
            };
            if (p[4] == '-' && p[7] == '-') {
                const int y = digits(0, 4), m = digits(5, 2), d = digits(8, 2);
                if (y >= 0 && m >= 0 && d >= 0) return QDate(y, m, d);
            }
        }
        return toFieldValue(columnValue(v), FieldType::Date).toDate();
    }
    QVariant value(int column) const override { return columnValue(sqlite3_column_value(st_, column)); }

private:
    sqlite3_stmt* st_;
    int columns_;
};
} // namespace

void FolderRowReader::step(const QString& sql, const QVariantList& binds, const QString& files,
                           const std::function<void(sqlite3_stmt*)>& row) {
    if (!handle_) throw Error::notOpen();
    const Run run(*this, sql, binds, files);
    sqlite3_stmt* st = run.statement();
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        row(st);
    if (rc != SQLITE_DONE)
        throw errors_.failure(sqlite3_extended_errcode(handle_), QString::fromUtf8(sqlite3_errmsg(handle_)),
                              files);
}

void FolderRowReader::scan(const QString& sql, const QVariantList& binds, const TableDef& t,
                           const QString& files, const Backend::RowSink& row) {
    const int n = int(t.columns.size());
    step(sql, binds, files, [&](sqlite3_stmt* st) {
        QVariantList values;
        values.reserve(n);
        readValues(st, 1, n + 1, values);
        row(sqlite3_column_int64(st, 0), std::move(values));
    });
}

void FolderRowReader::read(const QString& sql, const QVariantList& binds, const QString& files,
                           const Backend::ValuesSink& row) {
    if (const auto* views = row.target<RowViewSink>()) {
        step(sql, binds, files, [&](sqlite3_stmt* st) { (*views)(StatementView(st)); });
        return;
    }
    // One list for every row: the reader of a large result keeps none of them.
    QVariantList values;
    step(sql, binds, files, [&](sqlite3_stmt* st) {
        const int n = sqlite3_column_count(st);
        values.clear();
        values.reserve(n);
        readValues(st, 0, n, values);
        row(values);
    });
}

} // namespace engine

#include "engine/RowCache.h"

#include "engine/WholeNumber.h"

#include <algorithm>

namespace engine {

namespace {
constexpr int kWindow = 512;     // rows read at once: grids and walks ask for neighbours in turn
constexpr int kCacheRows = 4096; // rows kept; more are dropped and read again when needed

bool isNumber(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

// SQLite's NOCASE: only the 26 ASCII letters fold.
int compareText(const QString& a, const QString& b, bool noCase) {
    const QByteArray x = a.toUtf8(), y = b.toUtf8();
    const int n = int(std::min(x.size(), y.size()));
    for (int i = 0; i < n; ++i) {
        unsigned char c = uchar(x[i]), d = uchar(y[i]);
        if (noCase) {
            if (c >= 'A' && c <= 'Z') c = uchar(c + 32);
            if (d >= 'A' && d <= 'Z') d = uchar(d + 32);
        }
        if (c != d) return c < d ? -1 : 1;
    }
    return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
}

// The order SQLite gives values of one column: nulls, then numbers, then texts.
int compareValues(const QVariant& a, const QVariant& b, bool noCase) {
    const bool an = a.isNull() || !a.isValid(), bn = b.isNull() || !b.isValid();
    if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
    const bool anum = isNumber(a), bnum = isNumber(b);
    if (anum && bnum) {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (anum != bnum) return anum ? -1 : 1;
    return compareText(a.toString(), b.toString(), noCase);
}
} // namespace

RowCache::RowCache(Database& db, const TableDef& def) : db_(db), def_(def) {}

void RowCache::setIndex(const IndexDef* index) {
    // The statements are made for the store the database has open now.
    const Dialect& d = db_.backend().dialect();
    const QString table = d.table(def_);
    key_ = d.rowKey(def_);
    QStringList cols;
    for (const auto& c : def_.columns)
        cols << d.selectTerm(def_, c.name);
    const QString columns = cols.join(QStringLiteral(", "));
    columns_ = columns;
    // What a filter sees of a row while keys are read: every column but the memos, which no
    // filter looks at and which make up most of a row.
    QStringList seen;
    for (const auto& c : def_.columns)
        seen << (c.type == FieldType::Memo ? QStringLiteral("NULL") : d.selectTerm(def_, c.name));
    filterColumns_ = seen.join(QStringLiteral(", "));
    table_ = table;
    readSql_ = QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(columns, table, key_);
    rangeSql_ = QStringLiteral("SELECT %3, %1 FROM %2 WHERE %3 BETWEEN ? AND ?").arg(columns, table, key_);
    // Of a window, scattered keys (a filtered table, an order other than the key's) are read by
    // a list of as many as the store takes at once.
    listRows_ = std::min(d.rowsPerList(), kWindow);
    QStringList marks;
    for (int i = 0; i < listRows_; ++i)
        marks << QStringLiteral("?");
    listSql_ = QStringLiteral("SELECT %3, %1 FROM %2 WHERE %3 IN (%4)")
                   .arg(columns, table, key_, marks.join(QLatin1Char(',')));

    orderColumns_.clear();
    noCase_.clear();
    QStringList terms;
    if (index)
        for (const QString& c : index->columns) {
            const int i = def_.columnIndex(c);
            const bool text = i >= 0 && def_.columns[size_t(i)].type == FieldType::Text;
            terms << d.orderTerm(def_, c);
            orderColumns_.push_back(i);
            noCase_.push_back(text);
        }
    terms << key_;
    orderBy_ = terms.join(QStringLiteral(", "));
    forgetKeys();
}

void RowCache::forgetKeys() {
    keys_.clear();
    loaded_ = false;
    positions_.clear();
    positionsValid_ = false;
    lookedSinceChange_ = false;
}

void RowCache::loadKeys(const QString& where, const QVariantList& binds, const Accept& accept,
                        const qint64* keep) {
    QString w = where;
    QVariantList b = binds;
    if (keep && !w.isEmpty()) {
        w = QStringLiteral("(%1) OR %2 = ?").arg(w, key_);
        b << *keep;
    }
    const bool withRows = accept || whole_;
    const QString sql =
        QStringLiteral("SELECT %5%1 FROM %2%3 ORDER BY %4")
            .arg(withRows ? QStringLiteral(", ") + (whole_ ? columns_ : filterColumns_) : QString(), table_,
                 w.isEmpty() ? QString() : QStringLiteral(" WHERE ") + w, orderBy_, key_);
    forgetKeys();
    if (withRows) {
        // The rows the filter looks at are read as the row cache reads rows (no conversion of
        // values the filter does not ask for).
        // Whole rows (a table read whole, or one without memos) are kept, the first ones as many
        // as the cache holds, so that the list showing them does not read them a second time.
        const bool whole =
            whole_ || std::none_of(def_.columns.begin(), def_.columns.end(),
                                   [](const ColumnDef& c) { return c.type == FieldType::Memo; });
        cache_.clear();
        db_.scan(sql, b, def_, [&](qint64 key, QVariantList&& values) {
            if (accept && !(keep && *keep == key) && !accept(values)) return;
            keys_.push_back(key);
            if (whole && cache_.size() < kCacheRows) cache_.emplace(key, std::move(values));
        });
    } else if (!db_.readForward(sql, b, def_.fileName,
                                [&](const QVariantList& v) { keys_.push_back(wholeNumber(v.at(0))); })) {
        // A batch reads every key of a large table before its first row: straight through the
        // store where it can, else through the driver.
        Cursor q = db_.run(sql, b, def_.fileName);
        while (q.next())
            keys_.push_back(q.value(0).toLongLong());
    }
    loaded_ = true;
}

std::optional<qint64> RowCache::readFirst() {
    std::optional<qint64> first;
    db_.scan(
        QStringLiteral("SELECT %3, %1 FROM %2 ORDER BY %4 LIMIT 1").arg(columns_, table_, key_, orderBy_), {},
        def_, [&](qint64 key, QVariantList&& values) {
            first = key;
            store(key, values);
        });
    return first;
}

int RowCache::positionOf(qint64 key) {
    if (orderColumns_.empty()) {
        // In key order the list is sorted: no map needed.
        auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
        return it != keys_.end() && *it == key ? int(it - keys_.begin()) : -1;
    }
    if (!positionsValid_ && !lookedSinceChange_) {
        lookedSinceChange_ = true;
        auto it = std::find(keys_.begin(), keys_.end(), key);
        return it != keys_.end() ? int(it - keys_.begin()) : -1;
    }
    if (!positionsValid_) {
        positions_.clear();
        positions_.reserve(qsizetype(keys_.size()));
        for (size_t i = 0; i < keys_.size(); ++i)
            positions_.insert(keys_[i], int(i));
        positionsValid_ = true;
    }
    return positions_.value(key, -1);
}

int RowCache::compare(const QVariantList& a, qint64 ka, const QVariantList& b, qint64 kb) const {
    for (size_t i = 0; i < orderColumns_.size(); ++i) {
        const int c = orderColumns_[i];
        const int r = compareValues(a.value(c), b.value(c), noCase_[i]);
        if (r != 0) return r;
    }
    return ka < kb ? -1 : (ka > kb ? 1 : 0);
}

bool RowCache::orderDiffers(const std::vector<std::pair<int, QVariant>>& before,
                            const QVariantList& after) const {
    for (const auto& [column, value] : before)
        if (std::find(orderColumns_.begin(), orderColumns_.end(), column) != orderColumns_.end() &&
            compareValues(value, after.value(column), false) != 0)
            return true;
    return false;
}

int RowCache::insertKey(qint64 key, const QVariantList& values) {
    int lo = 0, hi = int(keys_.size());
    if (orderColumns_.empty()) {
        lo = int(std::lower_bound(keys_.begin(), keys_.end(), key) - keys_.begin());
    } else {
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            const qint64 k = keys_[size_t(mid)];
            auto it = cache_.constFind(k);
            const QVariantList other = it != cache_.constEnd() ? it.value() : read(k);
            if (compare(other, k, values, key) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
    }
    if (lo == int(keys_.size())) {
        if (positionsValid_) positions_.insert(key, lo);
    } else {
        positionsValid_ = false;
        lookedSinceChange_ = false;
    }
    keys_.insert(keys_.begin() + lo, key);
    return lo;
}

void RowCache::removeAt(int pos) {
    if (pos < 0 || pos >= int(keys_.size())) return;
    if (pos == int(keys_.size()) - 1 && positionsValid_) {
        positions_.remove(keys_[size_t(pos)]);
    } else {
        positionsValid_ = false;
        lookedSinceChange_ = false;
    }
    keys_.erase(keys_.begin() + pos);
}

QVariantList RowCache::read(qint64 key) {
    const Backend& store = db_.backend();
    Cursor q = db_.run(readSql_, {key}, def_.fileName);
    QVariantList values;
    if (q.next()) {
        values.reserve(qsizetype(def_.columns.size()));
        for (int i = 0; i < int(def_.columns.size()); ++i)
            values << store.readValue(q.value(i), def_.columns[size_t(i)].type);
    }
    return values;
}

void RowCache::store(qint64 key, const QVariantList& values) {
    if (cache_.size() >= kCacheRows) cache_.clear();
    cache_.insert(key, values);
}

const QVariantList& RowCache::row(qint64 key, int pos) {
    auto it = cache_.constFind(key);
    if (it != cache_.constEnd()) return it.value();
    fetchWindow(pos, key);
    it = cache_.constFind(key);
    if (it == cache_.constEnd()) it = cache_.insert(key, QVariantList()); // removed by another workstation
    return it.value();
}

void RowCache::fetchWindow(int pos, qint64 key) {
    std::vector<qint64> want{key};
    if (loaded_ && pos >= 0 && pos < int(keys_.size()) && keys_[size_t(pos)] == key)
        for (int r = pos + 1; r < int(keys_.size()) && int(want.size()) < kWindow; ++r)
            if (!cache_.contains(keys_[size_t(r)])) want.push_back(keys_[size_t(r)]);
    if (cache_.size() + qsizetype(want.size()) > kCacheRows) cache_.clear();
    std::vector<qint64> sorted = want;
    std::sort(sorted.begin(), sorted.end());
    const qint64 lo = sorted.front(), hi = sorted.back();
    auto take = [&](bool onlyWanted) {
        return [&, onlyWanted](qint64 k, QVariantList&& values) {
            if (onlyWanted && !std::binary_search(sorted.begin(), sorted.end(), k)) return;
            cache_.insert(k, values);
        };
    };
    // Neighbouring keys that lie close together (or a single key) are read as one range of the
    // table, which costs what a scan costs; scattered ones by a fixed-size list of keys.
    if (hi - lo < qint64(want.size()) * 2) {
        db_.scan(rangeSql_, {QVariant::fromValue<qint64>(lo), QVariant::fromValue<qint64>(hi)}, def_,
                 take(true));
        return;
    }
    // The first keys wanted, as many as the statement takes; the rest are read when asked for.
    QVariantList binds;
    binds.reserve(listRows_);
    for (size_t i = 0; i < size_t(listRows_); ++i)
        binds << QVariant::fromValue<qint64>(i < want.size() ? want[i] : -1);
    db_.scan(listSql_, binds, def_, take(false));
}

} // namespace engine

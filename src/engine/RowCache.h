#pragma once

#include "engine/Database.h"
#include "engine/Schema.h"

#include <QHash>
#include <QVariantList>
#include <functional>
#include <optional>
#include <vector>

namespace engine {

// The rows a table object presents: the keys of the accepted rows in index order, a map from key
// to position, and a bounded cache of row values read on demand in windows (never every memo of
// every row). A post or delete patches the key list in place; it is read again only when the
// table's rows may have changed in ways this workstation did not make.
class RowCache {
public:
    RowCache(Database& db, const TableDef& def);

    // The order of the rows: the columns of a named index (texts without regard to case), then
    // the key. No index: the key alone. Called when the table opens (the statements are made
    // for the store then open).
    void setIndex(const IndexDef* index);
    QString orderBy() const { return orderBy_; }

    // A small table (a lookup list): reading its keys reads its rows with them, every column, in
    // the one statement, and keeps them (as many as the cache holds). On a server that is one
    // round trip where counting, the first row, the keys and the windows of rows took several.
    void setReadsWhole(bool on) { whole_ = on; }
    bool readsWhole() const { return whole_; }

    using Accept = std::function<bool(const QVariantList& values)>;
    // Reads the keys of the rows that `where` selects (empty: all) and `accept` accepts (none:
    // all), in order. `keep`, when given, is kept whatever the filter says.
    void loadKeys(const QString& where, const QVariantList& binds, const Accept& accept, const qint64* keep);
    bool keysLoaded() const { return loaded_; }
    // The key of the first row in order, its values kept (a screen shows the row it stands on
    // next); none when the table is empty. The keys are not read.
    std::optional<qint64> readFirst();
    void forgetKeys();
    int size() const { return int(keys_.size()); }
    qint64 keyAt(int pos) const { return keys_[size_t(pos)]; }
    // Position of a key among the loaded keys; -1 when it is not there.
    int positionOf(qint64 key);
    // Puts a stored row's key where the order places it; returns the position.
    int insertKey(qint64 key, const QVariantList& values);
    void removeAt(int pos);
    // Whether a row whose columns held `before` (column, value) before they were set to what
    // `after` holds has moved in the order.
    bool orderDiffers(const std::vector<std::pair<int, QVariant>>& before, const QVariantList& after) const;

    // The values of a row (empty when it no longer exists). `pos` is its position among the
    // keys when known, so that the next rows can be read with it.
    const QVariantList& row(qint64 key, int pos);
    // Reads a row afresh, bypassing the cache.
    QVariantList read(qint64 key);
    void store(qint64 key, const QVariantList& values);
    // The values of a row kept in the cache (empty when none are), no longer kept there.
    QVariantList take(qint64 key) { return cache_.take(key); }
    void forget(qint64 key) { cache_.remove(key); }
    void forgetRows() { cache_.clear(); }

private:
    int compare(const QVariantList& a, qint64 ka, const QVariantList& b, qint64 kb) const;
    void fetchWindow(int pos, qint64 key);

    Database& db_;
    const TableDef& def_;
    QString table_, key_;   // as the store names them
    QString columns_;       // every column, as a row is read
    QString filterColumns_; // what a filter sees: every column but the memos
    bool whole_ = false;
    QString readSql_, rangeSql_, listSql_; // made once: a row, a range of rows, a list of rows
    int listRows_ = 0;                     // the keys listSql_ takes
    QString orderBy_;
    std::vector<int> orderColumns_;
    std::vector<bool> noCase_;

    std::vector<qint64> keys_;
    bool loaded_ = false;
    QHash<qint64, int> positions_;
    bool positionsValid_ = false;
    // Whether a key was looked for since the keys last changed: the first look is a scan (a
    // table staying on its row after reading a million keys again needs no map of them all).
    bool lookedSinceChange_ = false;
    QHash<qint64, QVariantList> cache_;
};

} // namespace engine

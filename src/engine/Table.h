#pragma once

#include "engine/DataSet.h"
#include "engine/Database.h"
#include "engine/RowCache.h"
#include "engine/Schema.h"
#include "engine/Sql.h"
#include "engine/TableLock.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace engine {

class Table;

// One row as the filter callback and the calculated-field callback see it.
class Record {
public:
    Record() = default;
    Record(const TableDef* def, QVariantList values) : def_(def), values_(std::move(values)) {}
    bool isNull(const QString& name) const;
    QVariant value(const QString& name) const;
    qint64 asInteger(const QString& name) const;
    QString asString(const QString& name) const;
    const QVariantList& values() const { return values_; }
    QVariantList& values() { return values_; }
    const TableDef* def() const { return def_; }

private:
    const TableDef* def_ = nullptr;
    QVariantList values_; // stored form, one per column of the table
};

// An SQL condition with typed values that selects a superset of the rows a filter accepts,
// so that switching a filter reads only candidate rows through an index.
struct PreSelection {
    SqlText condition; // literal pieces name columns of the table; empty = every row
};

struct LookupField {
    QString name;
    QString keyField;       // in this table
    Table* lookupTable;     // the table looked in
    QString lookupKeyField; // in the looked-in table
    QString resultField;    // in the looked-in table
    int size;
};

struct CalculatedField {
    QString name;
    FieldType type;
    int size;
};

// A table object: navigation, states and editing of one table file as the screens expect of
// their platform. Its insides are pieces with one job each: the row cache (keys in index order,
// rows read on demand), the table lock (open and record locks) and the maintenance of the file
// (protection, packing). Posts and deletes run through Database::write, so they join an
// enclosing Transaction or BatchScope.
class Table : public DataSet {
    Q_OBJECT
public:
    Table(Database& db, const QString& fileName, QObject* parent = nullptr);
    ~Table() override;

    const QString& tableName() const { return fileName_; }
    const TableDef& def() const { return *def_; }
    Database& database() const { return db_; }

    void setIndexName(const QString& name);
    const QString& indexName() const { return indexName_; }
    void setExclusive(bool on);
    bool exclusive() const { return exclusive_; }
    // A small table that lookup lists show (users, goal types, departments: hundreds to a few
    // thousand rows): its rows are read all at once, with their keys, in one statement, and the
    // store's change mark is taken as the table opens, so that refreshIfChanged() reads them
    // again only after someone wrote to the table.
    void setReadsWhole(bool on) { rows_.setReadsWhole(on); }

    void open();
    void close();
    bool isOpen() const override { return open_; }
    State state() const override { return open_ ? state_ : State::Inactive; }

    using FilterFn = std::function<bool(const Record&)>;
    using PreSelectFn = std::function<PreSelection()>;
    void setOnFilterRecord(FilterFn fn, PreSelectFn pre = {});
    void setFiltered(bool on);
    bool filtered() const { return filtered_; }

    // A column numbered within groups of rows (those with equal values in `within`): a new row
    // whose number is empty or already used in its group, and a changed row whose number is
    // empty, take one more than the highest number of the group. This is decided inside the
    // transaction that stores the row, so that workstations storing at once never take the same
    // number; the number a row showed before the post may differ after it.
    void setNumbering(const QString& column, const QStringList& within);

    using BeforePostFn = std::function<void(Table&)>;
    void setBeforePost(BeforePostFn fn) { beforePost_ = std::move(fn); }
    using CalcFn = std::function<void(const Record& row, QHash<QString, QVariant>& calculated)>;
    void addCalculatedField(const CalculatedField& f) { calculated_.push_back(f); }
    void setOnCalcFields(CalcFn fn) { calc_ = std::move(fn); }
    void addLookupField(const LookupField& f) { lookups_.push_back(f); }
    // The value of a column of the first row whose key column equals a value (for lookups).
    QVariant lookupValue(const QString& keyField, const QVariant& key, const QString& resultField);

    int recordCount() override;
    int recNo() override;
    void moveTo(int row) override;
    bool eof() const override { return eof_; }
    bool bof() const override { return bof_; }
    bool locate(const QString& field, const QVariant& value);

    bool hasField(const QString& name) const override;
    FieldType fieldType(const QString& name) const override;
    QStringList fieldNames() const override;
    QVariant fieldValue(const QString& name) override;
    void setFieldValue(const QString& name, const QVariant& value) override;
    QVariant valueAt(int row, const QString& name) override;

    void edit() override;
    void insert() override;
    void post() override;
    void cancel() override;
    void remove() override;
    void refresh() override;
    // Reads the rows again as refresh() does, but only when the store tells that another session
    // may have written to the table since the last call (the first call always reads them,
    // unless the table reads whole and took its mark when it opened).
    void refreshIfChanged();
    // The same for several open tables, their marks asked of the store at once (on a server, in
    // one round trip).
    static void refreshIfChanged(const std::vector<Table*>& tables);
    bool readOnly() const override { return false; }

    // Inside an all-or-nothing batch scope: no other table object, here or at another
    // workstation, begins to edit a row of the table until the batch ends, and the batch's own
    // edits need no record lock. Throws "Record locked by another user." while someone edits a
    // row, giving its key in `busyKey` when the store can tell (-1 otherwise).
    void holdRows(qint64* busyKey = nullptr);

    // Rewrites the table's file without the space of deleted rows, keeping every row, key,
    // index and the protection. The table must be open exclusively.
    void pack(const QString& password = {});
    // Size in bytes of the table's main file; 0 when missing.
    qint64 fileSize() const;

    // Stores the pending row when it was changed and drops it otherwise, as a move does.
    void settle();

private:
    void requireOpen() const;
    void reloadKeys();
    void ensureKeys();
    void goFirst();
    void positionOnKey(qint64 key);
    const QVariantList& rowValues(int row);
    QVariant calcValue(const QVariantList& values, const QString& name);
    int columnOf(const QString& name) const; // stored column, -1 for another field
    void forgetRows();                       // drops cached rows and keys; they are read again when needed
    void onTableChanged(const QString& schema, const QObject* origin);
    void onRolledBack(const QString& schema);
    void changed();

    Database& db_;
    QString fileName_;
    const TableDef* def_;
    QString indexName_;
    bool exclusive_ = false;
    bool open_ = false;
    State state_ = State::Browse;
    TableLock lock_;
    RowCache rows_;
    // Made when the table opens, for the store then open.
    void makeStatements();
    QString table_, key_;
    QString insertSql_, updateSql_, deleteSql_;
    struct Numbering {
        int column = -1;
        QList<int> within;
    };
    Numbering numbering_;
    // The UPDATE of the columns a post changed (a bit per column), of one row or (`rows` > 0) of
    // as many at once, made once per set of columns and size.
    QHash<std::pair<quint64, int>, QString> updateSqlOf_;
    QString updateSqlFor(quint64 changed, int rows);

    // A batch that holds the table: its edits need no record lock and no fresh read of their row
    // (nobody else can change a row until the batch ends), and on a store that prefers it the
    // updates go to the store many rows at once.
    bool heldByBatch(qint64* busyKey = nullptr);
    void releaseBatch();
    int batchSerial_ = -1;
    bool held_ = false;
    bool updatesManyRows_ = false; // the store takes the updates of a held batch many rows at once
    // What the table tells those showing it (a bit per signal, in the order they go). While a
    // batch holds it, its rows' notices are gathered and told once when the batch ends: nobody
    // follows a batch row by row, and telling each row cost more than much of its work.
    enum Notes : unsigned { StateNote = 1, RowsNote = 2, CurrentNote = 4 };
    unsigned untold_ = 0;
    void tell(unsigned notes);
    struct PendingUpdates {
        quint64 changed = 0;
        QVariantList binds;
        std::vector<qint64> keys; // in order
        int rows = 0;
    };
    PendingUpdates pending_;
    void deferUpdate(quint64 changed, qint64 key);
    void sendPending();
    QString numberSql_; // the highest number of a group
    void takeNumber(QVariantList& binds);

    FilterFn filter_;
    PreSelectFn preSelect_;
    bool filtered_ = false;
    BeforePostFn beforePost_;
    CalcFn calc_;
    std::vector<CalculatedField> calculated_;
    std::vector<LookupField> lookups_;

    bool firstKnown_ = false;       // the current row is the first, although the keys are not read
    std::optional<int> rowCount_;   // of the unfiltered table while its keys are not read
    std::optional<qint64> current_; // key of the current row
    int pos_ = -1;
    bool eof_ = true;
    bool bof_ = true;

    QVariantList buffer_;   // the pending copy while editing or inserting
    QVariantList original_; // the row as read when the edit began (none in a held batch)
    bool modified_ = false;
    quint64 touched_ = 0;                          // the columns set since the edit began (a bit per column)
    std::vector<std::pair<int, QVariant>> before_; // those columns' values when the edit began
    // The last date and time turned into its stored text: the change stamps of a batch give the
    // same second row after row, and making the text costs more than the rest of the row.
    QDateTime lastTime_;
    QVariant lastTimeText_;
    QVariant storedValue(const QVariant& value, const ColumnDef& c);
    QHash<QString, QVariant> lookupCache_;
    QVariant changeMark_; // the store's mark taken before the rows held now were read
    void takeChangeMark();
    void refreshIfMarkChanged(const QVariant& mark);
};

} // namespace engine

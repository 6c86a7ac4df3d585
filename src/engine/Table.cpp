#include "engine/Table.h"

#include "engine/Error.h"
#include "engine/TableMaintenance.h"

#include <algorithm>
#include <bit>

namespace engine {

// ---- Record ---------------------------------------------------------------------------------

bool Record::isNull(const QString& name) const {
    const QVariant v = value(name);
    return v.isNull() || !v.isValid();
}

QVariant Record::value(const QString& name) const {
    const int i = def_ ? def_->columnIndex(name) : -1;
    if (i < 0) throw Error(QStringLiteral("Field '%1' not found.").arg(name));
    return toFieldValue(values_.value(i), def_->columns[size_t(i)].type);
}

qint64 Record::asInteger(const QString& name) const {
    const QVariant v = value(name);
    return v.typeId() == QMetaType::Double ? qint64(v.toDouble()) : v.toLongLong();
}

QString Record::asString(const QString& name) const {
    const int i = def_ ? def_->columnIndex(name) : -1;
    return displayText(value(name), i >= 0 ? def_->columns[size_t(i)].type : FieldType::Text);
}

// ---- Table ----------------------------------------------------------------------------------

namespace {
const TableDef& requireDef(const QString& fileName) {
    const TableDef* d = findTable(fileName);
    if (!d) throw Error::noTable(fileName);
    return *d;
}
} // namespace

Table::Table(Database& db, const QString& fileName, QObject* parent)
    : DataSet(parent), db_(db), fileName_(fileName), def_(&requireDef(fileName)), rows_(db, *def_) {
    connect(&db_, &Database::tableChangedBy, this, &Table::onTableChanged);
    connect(&db_, &Database::tableRolledBack, this, &Table::onRolledBack);
    connect(&db_, &Database::batchEnded, this, &Table::releaseBatch);
}

namespace {
// Rows per statement when a store takes many updates at once.
constexpr int kPendingRows = 500;
} // namespace

QString Table::updateSqlFor(quint64 changed, int rows) {
    const std::pair<quint64, int> which{changed, rows};
    auto it = updateSqlOf_.constFind(which);
    if (it != updateSqlOf_.constEnd()) return it.value();
    const Dialect& d = db_.backend().dialect();
    QStringList columns, sets;
    for (size_t i = 0; i < def_->columns.size(); ++i)
        if (changed & (quint64(1) << i)) {
            columns << def_->columns[i].name;
            sets << d.column(def_->columns[i].name) + QStringLiteral(" = ?");
        }
    QString sql = rows > 0 ? d.updateRows(*def_, columns, rows)
                           : QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                                 .arg(table_, sets.join(QStringLiteral(", ")), key_);
    updateSqlOf_.insert(which, sql);
    return sql;
}

bool Table::heldByBatch(qint64* busyKey) {
    if (!db_.holdingBatch()) return false;
    if (batchSerial_ == db_.batchSerial()) return held_;
    batchSerial_ = db_.batchSerial();
    qint64 busy = -1;
    // While another workstation edits a row, each row is locked as it is edited, and the one in
    // the way says so then.
    held_ = lock_.holdAllRecords(busy);
    if (busyKey) *busyKey = busy;
    // Rows read before the batch may have changed since; rows read from now on are read inside
    // its transaction, where nobody else commits to the table.
    if (held_) rows_.forgetRows();
    return held_;
}

void Table::holdRows(qint64* busyKey) {
    requireOpen();
    if (!db_.holdingBatch())
        throw Error(QStringLiteral("The rows of %1 can be held only by a batch.").arg(fileName_));
    settle();
    if (!held_) batchSerial_ = -1; // asked again: someone may have finished editing since
    if (!heldByBatch(busyKey)) throw Error(Error::recordLockedText());
}

void Table::releaseBatch() {
    pending_ = {};
    if (!held_) return;
    held_ = false;
    lock_.releaseAllRecords();
    tell(std::exchange(untold_, 0));
}

void Table::tell(unsigned notes) {
    if (held_) {
        untold_ |= notes;
        return;
    }
    if (notes & StateNote) emit stateChanged();
    if (notes & RowsNote) emit rowsChanged();
    if (notes & CurrentNote) emit currentChanged();
}

void Table::deferUpdate(quint64 changed, qint64 key) {
    // A row posted twice goes in two statements: joined twice in one, the store would take
    // either of its versions and count it once.
    // The keys are kept in order: a batch walks its rows forward, so each goes at the end.
    auto at = std::lower_bound(pending_.keys.begin(), pending_.keys.end(), key);
    if (pending_.rows > 0 && (pending_.changed != changed || pending_.rows >= kPendingRows ||
                              (at != pending_.keys.end() && *at == key))) {
        sendPending();
        at = pending_.keys.end();
    }
    if (pending_.rows == 0) {
        pending_.changed = changed;
        // Room for a whole statement's values at once: a list growing by copies makes the large
        // allocations that send the allocator sorting all the small ones freed since.
        pending_.binds.reserve(qsizetype(kPendingRows) * (std::popcount(changed) + 1));
        db_.defer([this] { sendPending(); }, [this] { pending_ = {}; });
    }
    pending_.binds << key;
    pending_.keys.insert(at, key);
    for (size_t i = 0; i < def_->columns.size(); ++i)
        if (changed & (quint64(1) << i)) pending_.binds << buffer_.value(int(i));
    ++pending_.rows;
}

void Table::sendPending() {
    if (pending_.rows == 0) return;
    const PendingUpdates sending = std::exchange(pending_, {});
    // In statements of a few sizes only (the full size, then halves), each prepared once however
    // the batch's rows fall between its reads.
    const qsizetype width = std::popcount(sending.changed) + 1;
    for (int done = 0; done < sending.rows;) {
        int rows = kPendingRows;
        while (rows > sending.rows - done)
            rows /= 2;
        const QString sql = updateSqlFor(sending.changed, rows);
        const QVariantList binds =
            rows == sending.rows ? sending.binds : sending.binds.mid(done * width, rows * width);
        // Sent as the posts would have been: a write refused while another workstation writes
        // the file is waited for and tried again.
        db_.write([&] {
            if (db_.change(sql, binds, def_->fileName) != rows)
                throw Error(QStringLiteral("Record was deleted by another user."));
        });
        done += rows;
    }
}

void Table::makeStatements() {
    const Dialect& d = db_.backend().dialect();
    table_ = d.table(*def_);
    key_ = d.rowKey(*def_);
    QStringList cols, sets;
    for (const ColumnDef& c : def_->columns) {
        if (c.type == FieldType::AutoInc) continue;
        cols << c.name;
        sets << d.column(c.name) + QStringLiteral(" = ?");
    }
    insertSql_ = d.insertSql(*def_, cols);
    updateSql_ =
        QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?").arg(table_, sets.join(QStringLiteral(", ")), key_);
    deleteSql_ = QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(table_, key_);
    updateSqlOf_.clear();
    updatesManyRows_ = !d.updateRows(*def_, {}, 1).isEmpty();
    numberSql_.clear();
    if (numbering_.column >= 0) {
        QStringList same;
        for (int c : std::as_const(numbering_.within))
            same << d.column(def_->columns[size_t(c)].name) + QStringLiteral(" = ?");
        const QString number = d.column(def_->columns[size_t(numbering_.column)].name);
        numberSql_ = QStringLiteral("SELECT MAX(%1), COUNT(CASE WHEN %1 = ? THEN 1 END) FROM %2 WHERE %3")
                         .arg(number, table_, same.join(QStringLiteral(" AND ")));
    }
}

void Table::setNumbering(const QString& column, const QStringList& within) {
    Numbering n;
    n.column = columnOf(column);
    for (const QString& c : within)
        n.within << columnOf(c);
    if (n.column < 0 || within.isEmpty() || n.within.contains(-1))
        throw Error(QStringLiteral("Field not found: %1 (table %2)").arg(column, fileName_));
    numbering_ = n;
    if (open_) makeStatements();
}

void Table::takeNumber(QVariantList& binds) {
    db_.backend().lockNumbering(*def_);
    const QVariant wanted = buffer_.value(numbering_.column);
    QVariantList params{wanted};
    for (int c : std::as_const(numbering_.within))
        params << buffer_.value(c);
    qint64 highest = 0;
    bool used = true;
    {
        Cursor q = db_.run(numberSql_, params, def_->fileName);
        if (q.next()) {
            highest = q.value(0).isNull() ? 0 : q.value(0).toLongLong();
            used = wanted.isNull() || q.value(1).toLongLong() > 0;
        }
    }
    if (!used) return;
    buffer_[numbering_.column] = highest + 1;
    // The statement's values leave out the auto-increment key.
    int bind = 0;
    for (int i = 0; i < numbering_.column; ++i)
        if (def_->columns[size_t(i)].type != FieldType::AutoInc) ++bind;
    binds[bind] = highest + 1;
}

Table::~Table() {
    try {
        close();
    } catch (...) {
    }
}

void Table::forgetRows() {
    rows_.forgetRows();
    rows_.forgetKeys();
    firstKnown_ = false;
    rowCount_.reset();
}

void Table::setIndexName(const QString& name) {
    if (open_) throw Error(QStringLiteral("Cannot change the index of an open table: %1").arg(fileName_));
    indexName_ = name;
}

void Table::setExclusive(bool on) {
    if (open_)
        throw Error(QStringLiteral("Cannot change the exclusive flag of an open table: %1").arg(fileName_));
    exclusive_ = on;
}

void Table::requireOpen() const {
    if (!open_)
        throw Error(QStringLiteral("Cannot perform this operation on a closed dataset (%1).").arg(fileName_));
}

int Table::columnOf(const QString& name) const {
    return def_->columnIndex(name);
}

void Table::open() {
    if (open_) return;
    const IndexDef* index = nullptr;
    if (!indexName_.isEmpty() && !(index = def_->index(indexName_)))
        throw Error(QStringLiteral("Index does not exist: %1 (table %2)").arg(indexName_, fileName_));
    db_.attach(*def_);
    maintenance::checkProtection(db_, *def_);
    makeStatements();
    lock_.open(db_.backend(), *def_, exclusive_);
    rows_.setIndex(index);
    open_ = true;
    state_ = State::Browse;
    try {
        if (rows_.readsWhole()) takeChangeMark();
        forgetRows();
        goFirst();
    } catch (...) {
        open_ = false;
        lock_.close();
        throw;
    }
    emit stateChanged();
    emit rowsChanged();
    emit currentChanged();
}

void Table::close() {
    if (!open_) return;
    if (isEditing()) Table::cancel();
    // Updates kept back for a batch go to the store before the table object lets go of its rows.
    if (pending_.rows > 0) db_.flushDeferred();
    lock_.close();
    open_ = false;
    changeMark_ = QVariant();
    forgetRows();
    lookupCache_.clear();
    current_.reset();
    pos_ = -1;
    eof_ = bof_ = true;
    emit stateChanged();
    emit rowsChanged();
    emit currentChanged();
}

void Table::setOnFilterRecord(FilterFn fn, PreSelectFn pre) {
    filter_ = std::move(fn);
    preSelect_ = std::move(pre);
}

void Table::setFiltered(bool on) {
    if (open_) settle();
    filtered_ = on;
    if (!open_) return;
    forgetRows();
    goFirst();
    emit rowsChanged();
    emit currentChanged();
}

void Table::goFirst() {
    current_.reset();
    pos_ = -1;
    if ((filtered_ && filter_) || rows_.readsWhole()) {
        reloadKeys();
        if (rows_.size() > 0) {
            pos_ = 0;
            current_ = rows_.keyAt(0);
        }
    } else {
        // Only the first row is read now, whole, as whoever shows the table reads it next; the keys
        // of the rest are read when first needed.
        current_ = rows_.readFirst();
        if (current_) pos_ = 0;
    }
    eof_ = bof_ = !current_.has_value();
    firstKnown_ = true;
}

void Table::reloadKeys() {
    const bool filtering = filtered_ && filter_;
    QString where;
    QVariantList binds;
    if (filtering && preSelect_) {
        const PreSelection pre = preSelect_();
        if (!pre.condition.isEmpty()) {
            const Statement st = pre.condition.renderCondition(db_.backend().dialect());
            where = st.sql;
            binds = st.binds;
        }
    }
    RowCache::Accept accept;
    if (filtering) accept = [this](const QVariantList& values) { return filter_(Record(def_, values)); };
    const qint64 keep = current_.value_or(0);
    rows_.loadKeys(where, binds, accept, current_ ? &keep : nullptr);
}

void Table::ensureKeys() {
    if (rows_.keysLoaded()) return;
    reloadKeys();
    if (current_)
        positionOnKey(*current_);
    else {
        pos_ = rows_.size() == 0 ? -1 : 0;
        if (pos_ == 0) current_ = rows_.keyAt(0);
    }
    firstKnown_ = false;
}

void Table::positionOnKey(qint64 key) {
    const int at = rows_.positionOf(key);
    const int n = rows_.size();
    if (at >= 0)
        pos_ = at;
    else
        pos_ = n == 0 ? -1 : std::min(std::max(pos_, 0), n - 1);
    current_ = pos_ >= 0 ? std::optional<qint64>(rows_.keyAt(pos_)) : std::nullopt;
    eof_ = bof_ = n == 0;
}

int Table::recordCount() {
    requireOpen();
    if (!rows_.keysLoaded() && !(filtered_ && filter_) && !rows_.readsWhole()) {
        // Counted once: a grid asks again at every signal of the table.
        if (!rowCount_) {
            Cursor q = db_.run(QStringLiteral("SELECT count(*) FROM %1").arg(table_), {}, def_->fileName);
            rowCount_ = q.next() ? q.value(0).toInt() : 0;
        }
        return *rowCount_;
    }
    ensureKeys();
    return rows_.size();
}

int Table::recNo() {
    if (!open_) return -1;
    if (!rows_.keysLoaded() && firstKnown_) return pos_;
    ensureKeys();
    return pos_;
}

void Table::moveTo(int row) {
    requireOpen();
    settle();
    ensureKeys();
    const Position p = clamp(row, rows_.size());
    pos_ = p.pos;
    bof_ = p.bof;
    eof_ = p.eof;
    current_ = pos_ >= 0 ? std::optional<qint64>(rows_.keyAt(pos_)) : std::nullopt;
    tell(CurrentNote);
}

bool Table::locate(const QString& field, const QVariant& value) {
    requireOpen();
    settle();
    const int ci = columnOf(field);
    if (ci < 0) throw Error(QStringLiteral("%1: Field '%2' not found.").arg(fileName_, field));
    ensureKeys();
    std::vector<qint64> candidates;
    {
        Cursor q = db_.run(QStringLiteral("SELECT %4 FROM %1 WHERE %2 = ? ORDER BY %3")
                               .arg(table_, db_.backend().dialect().column(def_->columns[size_t(ci)].name),
                                    rows_.orderBy(), key_),
                           {toStoredValue(value, def_->columns[size_t(ci)].type)}, def_->fileName);
        while (q.next())
            candidates.push_back(q.value(0).toLongLong());
    }
    for (qint64 key : candidates) {
        const int at = rows_.positionOf(key);
        if (at >= 0) {
            moveTo(at);
            return true;
        }
    }
    return false;
}

bool Table::hasField(const QString& name) const {
    if (columnOf(name) >= 0) return true;
    for (const auto& c : calculated_)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0) return true;
    for (const auto& l : lookups_)
        if (l.name.compare(name, Qt::CaseInsensitive) == 0) return true;
    return false;
}

FieldType Table::fieldType(const QString& name) const {
    const int i = columnOf(name);
    if (i >= 0) return def_->columns[size_t(i)].type;
    for (const auto& c : calculated_)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0) return c.type;
    for (const auto& l : lookups_)
        if (l.name.compare(name, Qt::CaseInsensitive) == 0) return FieldType::Text;
    throw Error(QStringLiteral("%1: Field '%2' not found.").arg(fileName_, name));
}

QStringList Table::fieldNames() const {
    QStringList out;
    for (const auto& c : def_->columns)
        out << c.name;
    for (const auto& c : calculated_)
        out << c.name;
    for (const auto& l : lookups_)
        out << l.name;
    return out;
}

const QVariantList& Table::rowValues(int row) {
    static const QVariantList empty;
    if (row == pos_ && current_) {
        // A table read whole reads its rows with its keys: the current row is not read alone.
        if (rows_.readsWhole()) ensureKeys();
        if (current_) return rows_.row(*current_, rows_.keysLoaded() ? pos_ : -1);
    }
    ensureKeys();
    if (row < 0 || row >= rows_.size()) return empty;
    return rows_.row(rows_.keyAt(row), row);
}

QVariant Table::calcValue(const QVariantList& values, const QString& name) {
    for (const auto& c : calculated_) {
        if (c.name.compare(name, Qt::CaseInsensitive) != 0) continue;
        if (!calc_ || values.isEmpty()) return {};
        QHash<QString, QVariant> out;
        calc_(Record(def_, values), out);
        for (auto it = out.begin(); it != out.end(); ++it)
            if (it.key().compare(c.name, Qt::CaseInsensitive) == 0) {
                QVariant v = it.value();
                // A calculated text field holds only its declared width, cut without a mark.
                if (c.size > 0 && v.typeId() == QMetaType::QString) return v.toString().left(c.size);
                return v;
            }
        return {};
    }
    for (const auto& l : lookups_) {
        if (l.name.compare(name, Qt::CaseInsensitive) != 0) continue;
        const int ki = columnOf(l.keyField);
        const QVariant key = ki >= 0 ? values.value(ki) : QVariant();
        if (key.isNull() || !key.isValid()) return {};
        QVariant v = l.lookupTable->lookupValue(l.lookupKeyField, key, l.resultField);
        if (l.size > 0 && v.typeId() == QMetaType::QString) return v.toString().left(l.size);
        return v;
    }
    throw Error(QStringLiteral("%1: Field '%2' not found.").arg(fileName_, name));
}

QVariant Table::fieldValue(const QString& name) {
    requireOpen();
    const int i = columnOf(name);
    const QVariantList* values = nullptr;
    if (isEditing())
        values = &buffer_;
    else if (current_)
        values = &rowValues(pos_);
    if (i < 0) return calcValue(values ? *values : QVariantList(), name);
    if (!values || values->isEmpty()) return {};
    return toFieldValue(values->value(i), def_->columns[size_t(i)].type);
}

QVariant Table::valueAt(int row, const QString& name) {
    requireOpen();
    const int i = columnOf(name);
    // A row being inserted is no stored row: the one at its position keeps its own values.
    if (state_ == State::Edit && row == pos_) return fieldValue(name);
    const QVariantList& values = rowValues(row);
    if (i < 0) return calcValue(values, name);
    if (values.isEmpty()) return {};
    return toFieldValue(values.value(i), def_->columns[size_t(i)].type);
}

void Table::setFieldValue(const QString& name, const QVariant& value) {
    requireOpen();
    if (!isEditing()) throw Error(QStringLiteral("%1: Dataset not in edit or insert mode.").arg(fileName_));
    const int i = columnOf(name);
    if (i < 0) {
        if (hasField(name)) throw Error(QStringLiteral("Field '%1' cannot be modified.").arg(name));
        throw Error(QStringLiteral("%1: Field '%2' not found.").arg(fileName_, name));
    }
    const ColumnDef& c = def_->columns[size_t(i)];
    if (c.type == FieldType::AutoInc)
        throw Error(QStringLiteral("Field '%1' cannot be modified.").arg(c.name));
    const QVariant stored = storedValue(value, c);
    if (c.type == FieldType::Text && c.width > 0 && stored.toString().size() > c.width)
        throw Error(QStringLiteral("Field '%1' of %2 holds at most %3 characters; the text given has %4.")
                        .arg(c.name, fileName_)
                        .arg(c.width)
                        .arg(stored.toString().size()));
    if (buffer_.value(i) == stored && buffer_.value(i).isNull() == stored.isNull()) return;
    if (i < 64 && !(touched_ & (quint64(1) << i))) {
        before_.emplace_back(i, buffer_.at(i));
        touched_ |= quint64(1) << i;
    }
    buffer_[i] = stored;
    modified_ = true;
    if (held_)
        untold_ |= CurrentNote;
    else
        emit fieldChanged(c.name);
}

QVariant Table::storedValue(const QVariant& value, const ColumnDef& c) {
    if (c.type != FieldType::DateTime || value.typeId() != QMetaType::QDateTime)
        return toStoredValue(value, c.type);
    const QDateTime t = value.toDateTime();
    // Equal times in the same local or universal time give the same text; other kinds of time
    // are made afresh.
    const bool plain = t.timeSpec() == Qt::LocalTime || t.timeSpec() == Qt::UTC;
    if (plain && lastTimeText_.isValid() && t.timeSpec() == lastTime_.timeSpec() && t == lastTime_)
        return lastTimeText_;
    QVariant text = toStoredValue(value, c.type);
    if (plain) {
        lastTime_ = t;
        lastTimeText_ = text;
    }
    return text;
}

void Table::edit() {
    requireOpen();
    if (isEditing()) return;
    if (!current_) {
        insert();
        return;
    }
    // The record lock is the first thing to reach the store: a lost connection is made again here.
    db_.reconnectIfLost();
    const qint64 key = *current_;
    QVariantList fresh;
    const bool held = heldByBatch();
    if (held) {
        // The row is taken out of the cache while it is edited: the edit changes it in place,
        // without a copy, and the post puts it back.
        rowValues(pos_);
        fresh = rows_.take(key);
    } else {
        lock_.lockRecord(key);
        try {
            fresh = rows_.read(key);
        } catch (...) {
            lock_.unlockRecord();
            throw;
        }
    }
    if (fresh.isEmpty()) {
        lock_.unlockRecord();
        refresh();
        throw Error(QStringLiteral("Record was deleted by another user."));
    }
    if (!held) {
        rows_.store(key, fresh);
        original_ = fresh;
    }
    buffer_ = std::move(fresh);
    modified_ = false;
    touched_ = 0;
    before_.clear();
    state_ = State::Edit;
    tell(StateNote | CurrentNote);
}

void Table::insert() {
    requireOpen();
    settle();
    buffer_.clear();
    for (size_t i = 0; i < def_->columns.size(); ++i)
        buffer_ << QVariant();
    original_.clear();
    modified_ = false;
    touched_ = 0;
    before_.clear();
    state_ = State::Insert;
    tell(StateNote | CurrentNote);
}

void Table::settle() {
    if (!isEditing()) return;
    if (modified_)
        post();
    else
        cancel();
}

void Table::post() {
    requireOpen();
    if (!isEditing()) return;
    if (beforePost_) beforePost_(*this);
    const bool inserting = state_ == State::Insert;
    qint64 key = inserting ? -1 : *current_;
    const bool numbered = numbering_.column >= 0 && (inserting || buffer_.value(numbering_.column).isNull());
    // An update writes the columns it changed, so that it costs what the change costs and leaves
    // the others as the store holds them; only the columns set since the edit began can differ.
    quint64 written = 0;
    if (!inserting && !numbered && def_->columns.size() <= 64)
        for (const auto& [i, a] : before_) {
            const QVariant& b = buffer_.at(i);
            if (def_->columns[size_t(i)].type != FieldType::AutoInc && (a.isNull() != b.isNull() || a != b))
                written |= quint64(1) << i;
        }
    // A batch that holds the table keeps its updates back and sends them many rows at once.
    const bool deferred = written != 0 && held_ && updatesManyRows_;
    QVariantList binds;
    if (!deferred) {
        binds.reserve(buffer_.size() + 1);
        if (written != 0) {
            for (size_t i = 0; i < def_->columns.size(); ++i)
                if (written & (quint64(1) << i)) binds << buffer_.value(int(i));
        } else {
            for (size_t i = 0; i < def_->columns.size(); ++i)
                if (def_->columns[i].type != FieldType::AutoInc) binds << buffer_.value(int(i));
        }
        if (!inserting) binds << key;
    }
    // A held batch's edit keeps no copy of its row: nobody else writes the table until it ends.
    if (!inserting && !original_.isEmpty() && lock_.interrupted()) {
        // While the connection was lost the row was not locked: another workstation may have
        // written it, and this change must not silently replace that.
        const QVariantList stored = rows_.read(key);
        if (stored.isEmpty()) throw Error(QStringLiteral("Record was deleted by another user."));
        if (stored != original_)
            throw Error(QStringLiteral("Record was changed by another user while the connection was lost; "
                                       "your change was not saved. Cancel it and edit the record again."));
        lock_.relock();
    }
    if (deferred) {
        deferUpdate(written, key);
    } else {
        const QString update = written != 0 ? updateSqlFor(written, 0) : updateSql_;
        db_.write([&] {
            if (numbered) takeNumber(binds);
            if (inserting) {
                Cursor q = db_.run(insertSql_, binds, def_->fileName);
                key = db_.backend().insertedKey(q.query());
            } else {
                if (db_.change(update, binds, def_->fileName) != 1)
                    throw Error(QStringLiteral("Record was deleted by another user."));
            }
        });
    }
    lock_.unlockRecord();
    QVariantList stored = std::move(buffer_);
    buffer_.clear();
    for (size_t i = 0; i < def_->columns.size(); ++i)
        if (def_->columns[i].type == FieldType::AutoInc) stored[int(i)] = key;
    state_ = State::Browse;
    modified_ = false;
    touched_ = 0;
    rows_.store(key, stored);
    // The key list stays valid: the row takes its place in the order, so the next move does not
    // read every key again.
    const bool moved = inserting || rows_.orderDiffers(before_, stored);
    if (rows_.keysLoaded()) {
        if (inserting) {
            pos_ = rows_.insertKey(key, stored);
        } else if (moved) {
            const int at =
                pos_ >= 0 && pos_ < rows_.size() && rows_.keyAt(pos_) == key ? pos_ : rows_.positionOf(key);
            rows_.removeAt(at);
            pos_ = rows_.insertKey(key, stored);
        }
        eof_ = bof_ = false;
    } else if (moved) {
        firstKnown_ = false; // the position is found when the keys are next read
    }
    original_.clear();
    before_.clear();
    current_ = key;
    changed();
    tell(StateNote | RowsNote | CurrentNote); // pick lists show the row's values even where its place stays
    db_.rowWritten();
}

void Table::cancel() {
    if (!open_ || !isEditing()) return;
    lock_.unlockRecord();
    buffer_.clear();
    original_.clear();
    before_.clear();
    modified_ = false;
    touched_ = 0;
    state_ = State::Browse;
    tell(StateNote | CurrentNote);
}

void Table::remove() {
    requireOpen();
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    settle();
    if (!current_)
        throw Error(QStringLiteral("%1: Cannot perform this operation on an empty dataset.").arg(fileName_));
    const qint64 key = *current_;
    db_.reconnectIfLost();
    lock_.lockRecord(key);
    try {
        db_.write([&] { db_.run(deleteSql_, {key}, def_->fileName); });
    } catch (...) {
        lock_.unlockRecord();
        throw;
    }
    lock_.unlockRecord();
    ensureKeys();
    int row = pos_;
    const int at =
        pos_ >= 0 && pos_ < rows_.size() && rows_.keyAt(pos_) == key ? pos_ : rows_.positionOf(key);
    if (at >= 0) {
        row = at;
        rows_.removeAt(at);
    }
    rows_.forget(key);
    current_.reset();
    changed();
    tell(RowsNote);
    moveTo(std::min(row, rows_.size() - 1));
    db_.rowWritten();
}

void Table::refresh() {
    requireOpen();
    settle();
    forgetRows();
    lookupCache_.clear();
    ensureKeys();
    eof_ = bof_ = rows_.size() == 0;
    emit rowsChanged();
    emit currentChanged();
}

void Table::takeChangeMark() {
    // Taken before the rows are read: whatever is read afterwards is at least as new as the mark.
    db_.reading(def_->fileName, [&] { changeMark_ = db_.backend().changeMark(*def_); });
}

void Table::refreshIfMarkChanged(const QVariant& mark) {
    if (!mark.isNull() && changeMark_.isValid() && mark == changeMark_) return;
    refresh();
    changeMark_ = mark;
}

void Table::refreshIfChanged() {
    refreshIfChanged({this});
}

void Table::refreshIfChanged(const std::vector<Table*>& tables) {
    if (tables.empty()) return;
    // One mark per table file, however many table objects show it; taken before reading.
    std::vector<const TableDef*> defs;
    QStringList files;
    std::vector<int> markOf;
    for (Table* t : tables) {
        t->requireOpen();
        const auto same = std::find_if(defs.begin(), defs.end(), [t](const TableDef* d) {
            return d->schemaName == t->def_->schemaName;
        });
        markOf.push_back(int(same - defs.begin()));
        if (same != defs.end()) continue;
        defs.push_back(t->def_);
        files << t->def_->fileName;
    }
    Database& db = tables.front()->db_;
    QVariantList marks;
    db.reading(files.join(QStringLiteral(", ")), [&] { marks = db.backend().changeMarks(defs); });
    for (size_t i = 0; i < tables.size(); ++i)
        tables[i]->refreshIfMarkChanged(marks.value(markOf[i]));
}

void Table::changed() {
    lookupCache_.clear();
    rowCount_.reset();
    db_.notifyChanged(def_->schemaName, this);
}

void Table::onTableChanged(const QString& schema, const QObject* origin) {
    if (schema == def_->schemaName) {
        lookupCache_.clear();
        if (origin == this || !open_) return;
        forgetRows();
        emit rowsChanged();
        emit currentChanged();
        return;
    }
    for (const auto& l : lookups_)
        if (l.lookupTable->def().schemaName == schema && open_) {
            emit currentChanged();
            emit rowsChanged();
            return;
        }
}

void Table::onRolledBack(const QString& schema) {
    if (schema != def_->schemaName) {
        for (const auto& l : lookups_)
            if (l.lookupTable->def().schemaName == schema && open_) {
                emit currentChanged();
                emit rowsChanged();
                return;
            }
        return;
    }
    lookupCache_.clear();
    if (!open_) return;
    // This table object may have read rows that are gone now: read again, and stay on the
    // current row where it still exists.
    forgetRows();
    try {
        ensureKeys();
    } catch (const Error&) {
        // Read when next needed; whoever needs it then hears why it cannot be read.
    }
    emit rowsChanged();
    emit currentChanged();
}

QVariant Table::lookupValue(const QString& keyField, const QVariant& key, const QString& resultField) {
    const int ki = columnOf(keyField), ri = columnOf(resultField);
    if (ki < 0 || ri < 0)
        throw Error(
            QStringLiteral("%1: Field '%2' not found.").arg(fileName_, ki < 0 ? keyField : resultField));
    const QString cacheKey =
        keyField + QLatin1Char('\x1f') + key.toString() + QLatin1Char('\x1f') + resultField;
    auto it = lookupCache_.find(cacheKey);
    if (it != lookupCache_.end()) return it.value();
    db_.attach(*def_);
    const Backend& b = db_.backend();
    const Dialect& d = b.dialect();
    Cursor q = db_.run(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? LIMIT 1")
                           .arg(d.column(def_->columns[size_t(ri)].name), d.table(*def_),
                                d.column(def_->columns[size_t(ki)].name)),
                       {toStoredValue(key, def_->columns[size_t(ki)].type)}, def_->fileName);
    QVariant v;
    if (q.next())
        v = toFieldValue(b.readValue(q.value(0), def_->columns[size_t(ri)].type),
                         def_->columns[size_t(ri)].type);
    if (lookupCache_.size() > 4096) lookupCache_.clear();
    lookupCache_.insert(cacheKey, v);
    return v;
}

qint64 Table::fileSize() const {
    return db_.tableSize(def_->fileName);
}

void Table::pack(const QString& password) {
    requireOpen();
    if (!exclusive_)
        throw Error(QStringLiteral("Table must be opened exclusively to be packed: %1").arg(fileName_));
    settle();
    maintenance::pack(db_, *def_, password);
    forgetRows();
    goFirst();
    emit rowsChanged();
    emit currentChanged();
}

} // namespace engine

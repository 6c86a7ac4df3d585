#include "engine/Table.h"

#include "engine/Error.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlRecord>
#include <algorithm>

namespace engine {

namespace {
constexpr qint64 kRecordLockBase = qint64(1) << 32;
constexpr int kFetchWindow = 64;
constexpr int kCacheRows = 1024;
const char* const kProtectionTable = "vardimo_protection";

} // namespace

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

Table::Table(Database& db, const QString& fileName, QObject* parent)
    : DataSet(parent), db_(db), fileName_(fileName), def_(findTable(fileName)) {
    if (!def_) throw Error(QStringLiteral("Table does not exist: %1").arg(fileName));
    connect(&db_, &Database::tableChanged, this, &Table::onTableChanged);
}

Table::~Table() {
    try {
        close();
    } catch (...) {
    }
}

QString Table::qualified() const {
    return def_->qualifiedName();
}

QString Table::columnList() const {
    QStringList cols;
    for (const auto& c : def_->columns)
        cols << quoteIdentifier(c.name);
    return cols.join(QStringLiteral(", "));
}

void Table::forgetRows() {
    cache_.clear();
    cacheOrder_.clear();
    keysValid_ = false;
    firstKnown_ = false;
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

QString Table::orderBy() const {
    QStringList cols;
    if (const IndexDef* ix = def_->index(indexName_)) {
        for (const QString& c : ix->columns) {
            const int i = def_->columnIndex(c);
            const bool text = i >= 0 && def_->columns[size_t(i)].type == FieldType::Text;
            cols << quoteIdentifier(c) + (text ? QStringLiteral(" COLLATE NOCASE") : QString());
        }
    }
    cols << QStringLiteral("rowid");
    return cols.join(QStringLiteral(", "));
}

void Table::open() {
    if (open_) return;
    if (!indexName_.isEmpty() && !def_->index(indexName_))
        throw Error(QStringLiteral("Index does not exist: %1 (table %2)").arg(indexName_, fileName_));
    db_.attach(*def_);

    // A protected table opens only with its password known to the session.
    for (int attempts = 0;;) {
        QSqlQuery q = db_.exec(QStringLiteral("SELECT count(*) FROM %1.sqlite_master WHERE name = ?")
                                   .arg(quoteIdentifier(def_->schemaName)),
                               {QString::fromLatin1(kProtectionTable)});
        if (!q.next() || q.value(0).toInt() == 0) break;
        q = db_.exec(QStringLiteral("SELECT hash FROM %1.%2")
                         .arg(quoteIdentifier(def_->schemaName), kProtectionTable));
        const QString hash = q.next() ? q.value(0).toString() : QString();
        if (hash.isEmpty() || db_.session().knowsPasswordHash(hash)) break;
        if (++attempts > 3 || !db_.session().askPassword())
            throw Error(QStringLiteral("Invalid password for table %1").arg(fileName_));
    }

    const QString lockPath = QDir(db_.folder()).filePath(QStringLiteral("%1.lck").arg(def_->schemaName));
    lock_.open(lockPath);
    const bool ok = exclusive_ ? lock_.lockExclusive(0) : lock_.lockShared(0);
    if (!ok) {
        lock_.close();
        throw Error(exclusive_
                        ? QStringLiteral("Table is open by another user and cannot be opened "
                                         "exclusively: %1")
                              .arg(fileName_)
                        : QStringLiteral("Table is open exclusively by another user: %1").arg(fileName_));
    }
    open_ = true;
    state_ = State::Browse;
    forgetRows();
    goFirst();
    emit stateChanged();
    emit rowsChanged();
    emit currentChanged();
}

void Table::close() {
    if (!open_) return;
    if (isEditing()) Table::cancel();
    unlockRecord();
    lock_.close();
    open_ = false;
    keys_.clear();
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
    if (filtered_ && filter_) {
        loadKeys();
        if (!keys_.empty()) {
            pos_ = 0;
            current_ = keys_[0];
        }
    } else {
        // Only the first row is read now; the keys of the rest are read when first needed.
        QSqlQuery q =
            db_.exec(QStringLiteral("SELECT rowid FROM %1 ORDER BY %2 LIMIT 1").arg(qualified(), orderBy()));
        if (q.next()) {
            current_ = q.value(0).toLongLong();
            pos_ = 0;
        }
    }
    eof_ = bof_ = !current_.has_value();
    firstKnown_ = true;
}

void Table::loadKeys(std::optional<qint64> keep) {
    const bool filtering = filtered_ && filter_;
    QString where;
    QVariantList binds;
    if (filtering && preSelect_) {
        const PreSelection pre = preSelect_();
        if (!pre.condition.isEmpty()) {
            const Statement st = pre.condition.translateFragment();
            where = QStringLiteral("(") + st.sql + QStringLiteral(")");
            binds = st.binds;
        }
    }
    if (keep && !where.isEmpty()) {
        where += QStringLiteral(" OR rowid = ?");
        binds << *keep;
    }
    QStringList cols{QStringLiteral("rowid")};
    if (filtering)
        for (const auto& c : def_->columns)
            cols << (c.type == FieldType::Memo ? QStringLiteral("NULL") : quoteIdentifier(c.name));
    QSqlQuery q =
        db_.exec(QStringLiteral("SELECT %1 FROM %2 %3 ORDER BY %4")
                     .arg(cols.join(QStringLiteral(", ")), qualified(),
                          where.isEmpty() ? QString() : QStringLiteral("WHERE ") + where, orderBy()),
                 binds);
    keys_.clear();
    const int n = int(def_->columns.size());
    while (q.next()) {
        const qint64 key = q.value(0).toLongLong();
        if (filtering) {
            QVariantList values;
            values.reserve(n);
            for (int i = 0; i < n; ++i)
                values << q.value(i + 1);
            if (!(keep && *keep == key) && !filter_(Record(def_, std::move(values)))) continue;
        }
        keys_.push_back(key);
    }
    keysValid_ = true;
}

void Table::ensureKeys() {
    if (keysValid_) return;
    loadKeys(current_);
    if (current_)
        positionOnKey(*current_);
    else {
        pos_ = keys_.empty() ? -1 : 0;
        if (pos_ == 0) current_ = keys_[0];
    }
}

void Table::positionOnKey(qint64 key) {
    auto it = std::find(keys_.begin(), keys_.end(), key);
    if (it != keys_.end()) {
        pos_ = int(it - keys_.begin());
    } else {
        pos_ = keys_.empty() ? -1 : std::min<int>(std::max(pos_, 0), int(keys_.size()) - 1);
    }
    current_ = pos_ >= 0 ? std::optional<qint64>(keys_[size_t(pos_)]) : std::nullopt;
    eof_ = bof_ = keys_.empty();
}

int Table::recordCount() {
    requireOpen();
    if (!keysValid_ && !(filtered_ && filter_)) {
        QSqlQuery q = db_.exec(QStringLiteral("SELECT count(*) FROM %1").arg(qualified()));
        return q.next() ? q.value(0).toInt() : 0;
    }
    ensureKeys();
    return int(keys_.size());
}

int Table::recNo() {
    if (!open_) return -1;
    if (!keysValid_ && firstKnown_) return pos_;
    ensureKeys();
    return pos_;
}

void Table::moveTo(int row) {
    requireOpen();
    settle();
    ensureKeys();
    const Position p = clamp(row, int(keys_.size()));
    pos_ = p.pos;
    bof_ = p.bof;
    eof_ = p.eof;
    current_ = pos_ >= 0 ? std::optional<qint64>(keys_[size_t(pos_)]) : std::nullopt;
    emit currentChanged();
}

bool Table::locate(const QString& field, const QVariant& value) {
    requireOpen();
    settle();
    const int ci = def_->columnIndex(field);
    if (ci < 0) throw Error(QStringLiteral("Field '%1' not found.").arg(field));
    ensureKeys();
    QSqlQuery q = db_.exec(QStringLiteral("SELECT rowid FROM %1 WHERE %2 = ? ORDER BY %3")
                               .arg(qualified(), quoteIdentifier(def_->columns[size_t(ci)].name), orderBy()),
                           {toStoredValue(value, def_->columns[size_t(ci)].type)});
    while (q.next()) {
        const qint64 key = q.value(0).toLongLong();
        auto it = std::find(keys_.begin(), keys_.end(), key);
        if (it != keys_.end()) {
            moveTo(int(it - keys_.begin()));
            return true;
        }
    }
    return false;
}

bool Table::hasField(const QString& name) const {
    if (def_->columnIndex(name) >= 0) return true;
    for (const auto& c : calculated_)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0) return true;
    for (const auto& l : lookups_)
        if (l.name.compare(name, Qt::CaseInsensitive) == 0) return true;
    return false;
}

FieldType Table::fieldType(const QString& name) const {
    const int i = def_->columnIndex(name);
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

QVariantList Table::readRow(qint64 key) {
    QSqlQuery q =
        db_.exec(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(columnList(), qualified()), {key});
    QVariantList values;
    if (q.next())
        for (int i = 0; i < int(def_->columns.size()); ++i)
            values << q.value(i);
    return values;
}

const QVariantList& Table::rowValues(int row) {
    static const QVariantList empty;
    qint64 key;
    if (row == pos_ && current_)
        key = *current_;
    else {
        ensureKeys();
        if (row < 0 || row >= int(keys_.size())) return empty;
        key = keys_[size_t(row)];
    }
    auto it = cache_.find(key);
    if (it != cache_.end()) return it.value();

    // Read a window of rows at once: grids ask for neighbouring rows one after the other.
    std::vector<qint64> want{key};
    if (keysValid_ && row >= 0)
        for (int r = row + 1; r < int(keys_.size()) && int(want.size()) < kFetchWindow; ++r)
            if (!cache_.contains(keys_[size_t(r)])) want.push_back(keys_[size_t(r)]);
    QStringList marks;
    QVariantList binds;
    for (qint64 k : want) {
        marks << QStringLiteral("?");
        binds << k;
    }
    QSqlQuery q = db_.exec(QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid IN (%3)")
                               .arg(columnList(), qualified(), marks.join(QLatin1Char(','))),
                           binds);
    while (q.next()) {
        QVariantList values;
        for (int i = 0; i < int(def_->columns.size()); ++i)
            values << q.value(i + 1);
        const qint64 k = q.value(0).toLongLong();
        cache_.insert(k, values);
        cacheOrder_.push_back(k);
    }
    while (int(cacheOrder_.size()) > kCacheRows) {
        if (cacheOrder_.front() != key) cache_.remove(cacheOrder_.front());
        cacheOrder_.pop_front();
    }
    it = cache_.find(key);
    if (it == cache_.end()) {
        // Removed by another workstation since the keys were read.
        cache_.insert(key, QVariantList());
        it = cache_.find(key);
    }
    return it.value();
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
        const int ki = def_->columnIndex(l.keyField);
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
    const int i = def_->columnIndex(name);
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
    const int i = def_->columnIndex(name);
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
    const int i = def_->columnIndex(name);
    if (i < 0) {
        if (hasField(name)) throw Error(QStringLiteral("Field '%1' cannot be modified.").arg(name));
        throw Error(QStringLiteral("%1: Field '%2' not found.").arg(fileName_, name));
    }
    const ColumnDef& c = def_->columns[size_t(i)];
    if (c.type == FieldType::AutoInc)
        throw Error(QStringLiteral("Field '%1' cannot be modified.").arg(c.name));
    const QVariant stored = toStoredValue(value, c.type);
    if (buffer_.value(i) == stored && buffer_.value(i).isNull() == stored.isNull()) return;
    buffer_[i] = stored;
    modified_ = true;
    emit fieldChanged(c.name);
}

void Table::lockRecord(qint64 key) {
    if (lockedKey_ && *lockedKey_ == key) return;
    unlockRecord();
    if (!lock_.lockExclusive(kRecordLockBase + key))
        throw Error(QStringLiteral("Record locked by another user."));
    lockedKey_ = key;
}

void Table::unlockRecord() {
    if (lockedKey_ && lock_.isOpen()) lock_.unlock(kRecordLockBase + *lockedKey_);
    lockedKey_.reset();
}

void Table::edit() {
    requireOpen();
    if (isEditing()) return;
    if (!current_) {
        insert();
        return;
    }
    const qint64 key = *current_;
    lockRecord(key);
    QVariantList fresh = readRow(key);
    if (fresh.isEmpty()) {
        unlockRecord();
        refresh();
        throw Error(QStringLiteral("Record was deleted by another user."));
    }
    cache_.insert(key, fresh);
    buffer_ = fresh;
    modified_ = false;
    state_ = State::Edit;
    emit stateChanged();
    emit currentChanged();
}

void Table::insert() {
    requireOpen();
    settle();
    buffer_.clear();
    for (size_t i = 0; i < def_->columns.size(); ++i)
        buffer_ << QVariant();
    modified_ = false;
    state_ = State::Insert;
    emit stateChanged();
    emit currentChanged();
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
    qint64 key = -1;
    {
        Transaction tx(db_);
        QStringList cols, marks;
        QVariantList binds;
        for (size_t i = 0; i < def_->columns.size(); ++i) {
            const ColumnDef& c = def_->columns[i];
            if (c.type == FieldType::AutoInc) continue;
            cols << quoteIdentifier(c.name);
            marks << QStringLiteral("?");
            binds << buffer_.value(int(i));
        }
        if (state_ == State::Insert) {
            QSqlQuery q = db_.exec(
                QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(qualified(), cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                binds);
            key = q.lastInsertId().toLongLong();
        } else {
            key = *current_;
            QStringList sets;
            for (const QString& c : cols)
                sets << c + QStringLiteral(" = ?");
            binds << key;
            QSqlQuery q = db_.exec(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                       .arg(qualified(), sets.join(QStringLiteral(", "))),
                                   binds);
            if (q.numRowsAffected() != 1) throw Error(QStringLiteral("Record was deleted by another user."));
        }
        tx.commit();
    }
    unlockRecord();
    state_ = State::Browse;
    modified_ = false;
    buffer_.clear();
    forgetRows(); // re-read when next needed, keeping the stored row current
    current_ = key;
    changed();
    emit stateChanged();
    emit rowsChanged();
    emit currentChanged();
}

void Table::cancel() {
    if (!open_ || !isEditing()) return;
    unlockRecord();
    buffer_.clear();
    modified_ = false;
    state_ = State::Browse;
    emit stateChanged();
    emit currentChanged();
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
    lockRecord(key);
    try {
        Transaction tx(db_);
        db_.exec(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(qualified()), {key});
        tx.commit();
    } catch (...) {
        unlockRecord();
        throw;
    }
    unlockRecord();
    ensureKeys();
    auto it = std::find(keys_.begin(), keys_.end(), key);
    int row = pos_;
    if (it != keys_.end()) {
        row = int(it - keys_.begin());
        keys_.erase(it);
    }
    cache_.remove(key);
    current_.reset();
    changed();
    emit rowsChanged();
    moveTo(std::min(row, int(keys_.size()) - 1));
}

void Table::refresh() {
    requireOpen();
    settle();
    forgetRows();
    lookupCache_.clear();
    ensureKeys();
    eof_ = bof_ = keys_.empty();
    emit rowsChanged();
    emit currentChanged();
}

void Table::changed() {
    selfNotify_ = true;
    db_.notifyChanged(def_->schemaName);
    selfNotify_ = false;
}

void Table::onTableChanged(const QString& schema) {
    if (schema == def_->schemaName) {
        lookupCache_.clear();
        if (selfNotify_ || !open_) return;
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

QVariant Table::lookupValue(const QString& keyField, const QVariant& key, const QString& resultField) {
    const int ki = def_->columnIndex(keyField), ri = def_->columnIndex(resultField);
    if (ki < 0 || ri < 0)
        throw Error(
            QStringLiteral("%1: Field '%2' not found.").arg(fileName_, ki < 0 ? keyField : resultField));
    const QString cacheKey =
        keyField + QLatin1Char('\x1f') + key.toString() + QLatin1Char('\x1f') + resultField;
    auto it = lookupCache_.find(cacheKey);
    if (it != lookupCache_.end()) return it.value();
    db_.attach(*def_);
    QSqlQuery q = db_.exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? LIMIT 1")
                               .arg(quoteIdentifier(def_->columns[size_t(ri)].name), qualified(),
                                    quoteIdentifier(def_->columns[size_t(ki)].name)),
                           {toStoredValue(key, def_->columns[size_t(ki)].type)});
    QVariant v;
    if (q.next()) v = toFieldValue(q.value(0), def_->columns[size_t(ri)].type);
    if (lookupCache_.size() > 4096) lookupCache_.clear();
    lookupCache_.insert(cacheKey, v);
    return v;
}

QString Table::tableType() const {
    return QStringLiteral("PARADOX");
}

qint64 Table::fileSize() const {
    QFileInfo fi(db_.tablePath(*def_));
    return fi.exists() ? fi.size() : 0;
}

void Table::pack(const QString& password) {
    requireOpen();
    if (!exclusive_)
        throw Error(QStringLiteral("Table must be opened exclusively to be packed: %1").arg(fileName_));
    settle();
    if (!password.isEmpty()) {
        Transaction tx(db_);
        db_.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1.%2 (hash TEXT)")
                     .arg(quoteIdentifier(def_->schemaName), kProtectionTable));
        db_.exec(
            QStringLiteral("DELETE FROM %1.%2").arg(quoteIdentifier(def_->schemaName), kProtectionTable));
        db_.exec(QStringLiteral("INSERT INTO %1.%2 (hash) VALUES (?)")
                     .arg(quoteIdentifier(def_->schemaName), kProtectionTable),
                 {Session::passwordHash(password)});
        tx.commit();
    }
    db_.exec(QStringLiteral("VACUUM %1").arg(quoteIdentifier(def_->schemaName)));
    forgetRows();
}

} // namespace engine

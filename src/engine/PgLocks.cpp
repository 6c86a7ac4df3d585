#include "engine/PgLocks.h"

#include "engine/Error.h"
#include "engine/PgBackend.h"

namespace engine {

namespace {
// Advisory lock keys. Table opens and numbering use the two-integer form, each with a first number
// of its own (the session list uses another); record locks use the one-number form, so they never
// meet.
constexpr int kTableOpenClass = 1;
constexpr int kNumberingClass = 3;
constexpr int kRecordKeyBits = 40;
} // namespace

// Holds a table open for one table object; its record locks are the object's.
class PgLocks::Open final : public Backend::OpenLock {
public:
    Open(PgLocks* owner, int table, bool exclusive) : owner_(owner), table_(table), exclusive_(exclusive) {}
    ~Open() override {
        if (!owner_) return;
        Open::unlockAllRecords();
        for (qint64 key : std::as_const(keys_))
            release(key);
        keys_.clear();
        if (exclusive_)
            owner_->exclusiveOpens_.remove(table_);
        else if (--owner_->sharedOpens_[table_] <= 0)
            owner_->sharedOpens_.remove(table_);
        owner_->opens_.remove(this);
        if (!owner_->store_.isOpen()) return;
        try {
            owner_->store_.exec(QString::fromLatin1(exclusive_ ? "SELECT pg_advisory_unlock(%1, %2)"
                                                               : "SELECT pg_advisory_unlock_shared(%1, %2)")
                                    .arg(kTableOpenClass)
                                    .arg(table_));
        } catch (const Error&) {
            // A lost connection has released the lock on the server already.
        }
    }

    bool lockRecord(qint64 key) override {
        if (!owner_ || !owner_->store_.isOpen()) throw Error::notOpen();
        if (keys_.contains(key)) return true;
        if (owner_->records_.contains({table_, key}) || owner_->heldTables_.contains(table_)) return false;
        QSqlQuery& q =
            owner_->store_.execPrepared(QStringLiteral("SELECT pg_try_advisory_lock(?)"), {serverKey(key)});
        const bool got = q.next() && q.value(0).toBool();
        q.finish();
        if (!got) return false;
        owner_->records_.insert({table_, key});
        keys_.insert(key);
        return true;
    }

    void unlockRecord(qint64 key) override {
        interrupted_.remove(key);
        if (!owner_ || !keys_.contains(key)) return;
        keys_.remove(key);
        release(key);
    }

    // The server cannot hold back record locks that other sessions take later without costing
    // every edit a second lock, so a batch here checks that nobody edits a row of the table now
    // and keeps the record locks of this session's other table objects out; a row another
    // workstation begins to edit meanwhile keeps its lock, and its post waits for the batch.
    bool lockAllRecords(qint64& busyKey) override {
        busyKey = -1;
        if (!owner_ || !owner_->store_.isOpen()) throw Error::notOpen();
        for (const auto& [table, key] : std::as_const(owner_->records_))
            if (table == table_ && !keys_.contains(key)) {
                busyKey = key;
                return false;
            }
        QSqlQuery& q = owner_->store_.execPrepared(
            QStringLiteral("SELECT ((classid::bigint << 32) | objid::bigint) & ? FROM pg_locks "
                           "WHERE locktype = 'advisory' AND objsubid = 1 AND granted "
                           "AND pid <> pg_backend_pid() "
                           "AND database = (SELECT oid FROM pg_database WHERE datname = current_database()) "
                           "AND ((classid::bigint << 32) | objid::bigint) >> ? = ? LIMIT 1"),
            {QVariant::fromValue<qint64>((qint64(1) << kRecordKeyBits) - 1), kRecordKeyBits, table_});
        const bool busy = q.next();
        if (busy) busyKey = q.value(0).toLongLong();
        q.finish();
        if (busy) return false;
        owner_->heldTables_.insert(table_);
        holdsAll_ = true;
        return true;
    }
    void unlockAllRecords() override {
        if (owner_ && holdsAll_) owner_->heldTables_.remove(table_);
        holdsAll_ = false;
    }

    bool interrupted(qint64 key) const override { return interrupted_.contains(key); }

    bool relock(qint64 key) override {
        if (!lockRecord(key)) return false;
        interrupted_.remove(key);
        return true;
    }

    void retake() {
        const QString open = QString::fromLatin1(exclusive_ ? "SELECT pg_try_advisory_lock(%1, %2)"
                                                            : "SELECT pg_try_advisory_lock_shared(%1, %2)")
                                 .arg(kTableOpenClass)
                                 .arg(table_);
        QSqlQuery q = owner_->store_.exec(open);
        if (!q.next() || !q.value(0).toBool()) {
            const QString file = tables()[size_t(table_ - 1)].fileName;
            throw Error(exclusive_
                            ? QStringLiteral("Table is open by another user and cannot be opened "
                                             "exclusively: %1")
                                  .arg(file)
                            : QStringLiteral("Table is open exclusively by another user: %1").arg(file));
        }
        for (const qint64 key : QSet<qint64>(keys_)) {
            interrupted_.insert(key);
            QSqlQuery& r = owner_->store_.execPrepared(QStringLiteral("SELECT pg_try_advisory_lock(?)"),
                                                       {serverKey(key)});
            const bool got = r.next() && r.value(0).toBool();
            r.finish();
            if (got) continue;
            keys_.remove(key);
            owner_->records_.remove({table_, key});
        }
    }

    void detach() { owner_ = nullptr; }

private:
    QVariant serverKey(qint64 key) const {
        return QVariant::fromValue<qint64>((qint64(table_) << kRecordKeyBits) |
                                           (key & ((qint64(1) << kRecordKeyBits) - 1)));
    }
    void release(qint64 key) {
        owner_->records_.remove({table_, key});
        if (!owner_->store_.isOpen()) return;
        try {
            owner_->store_.execPrepared(QStringLiteral("SELECT pg_advisory_unlock(?)"), {serverKey(key)})
                .finish();
        } catch (const Error&) {
        }
    }

    PgLocks* owner_;
    int table_;
    bool exclusive_;
    bool holdsAll_ = false;
    QSet<qint64> keys_;
    QSet<qint64> interrupted_;
};

int PgLocks::tableNumber(const TableDef& t) {
    const auto& all = tables();
    for (size_t i = 0; i < all.size(); ++i)
        if (&all[i] == &t || all[i].schemaName == t.schemaName) return int(i) + 1;
    throw Error::noTable(t.fileName);
}

void PgLocks::lockNumbering(const TableDef& t) {
    if (!store_.isOpen()) throw Error::notOpen();
    // Transaction-level: the commit that stores the number ends it, and a rolled back write
    // takes it with it.
    store_
        .execPrepared(QStringLiteral("SELECT pg_advisory_xact_lock(?, ?)"), {kNumberingClass, tableNumber(t)})
        .finish();
}

std::unique_ptr<Backend::OpenLock> PgLocks::lockTable(const TableDef& t, bool exclusive) {
    if (!store_.isOpen()) throw Error::notOpen();
    const int n = tableNumber(t);
    if (exclusiveOpens_.contains(n) || (exclusive && sharedOpens_.value(n) > 0)) return nullptr;
    QSqlQuery q = store_.exec(QString::fromLatin1(exclusive ? "SELECT pg_try_advisory_lock(%1, %2)"
                                                            : "SELECT pg_try_advisory_lock_shared(%1, %2)")
                                  .arg(kTableOpenClass)
                                  .arg(n));
    if (!q.next() || !q.value(0).toBool()) return nullptr;
    if (exclusive)
        exclusiveOpens_.insert(n);
    else
        ++sharedOpens_[n];
    auto lock = std::make_unique<Open>(this, n, exclusive);
    opens_.insert(lock.get());
    return lock;
}

void PgLocks::retake() {
    for (Open* o : std::as_const(opens_))
        o->retake();
}

PgLocks::~PgLocks() {
    forgetAll();
}

void PgLocks::forgetAll() {
    for (Open* o : std::as_const(opens_))
        o->detach();
    opens_.clear();
    sharedOpens_.clear();
    exclusiveOpens_.clear();
    records_.clear();
    heldTables_.clear();
}

} // namespace engine

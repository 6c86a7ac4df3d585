#include "engine/History.h"

#include "engine/Backend.h"
#include "engine/Database.h"
#include "engine/Dialect.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QSqlQuery>
#include <algorithm>
#include <cstdlib>

namespace engine {

namespace {

bool isStampColumn(const QString& name) {
    return name.compare(QLatin1String("ModifiedBy"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("ModifiedDate"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("ModifieDate"), Qt::CaseInsensitive) == 0;
}

// A kept row as the engine keeps values: the table's own column names (a server gives them in
// lower case), logical values as true/false (a folder keeps 0/1), date-times with a space.
QJsonObject rowValues(const TableDef& t, const QString& text) {
    if (text.isEmpty()) return {};
    const QJsonObject raw = QJsonDocument::fromJson(text.toUtf8()).object();
    QJsonObject out;
    for (auto it = raw.begin(); it != raw.end(); ++it) {
        const int i = t.columnIndex(it.key());
        if (i < 0) continue;
        const ColumnDef& c = t.columns[size_t(i)];
        QJsonValue v = it.value();
        if (c.type == FieldType::Logical && v.isDouble()) v = v.toDouble() != 0;
        if (c.type == FieldType::DateTime && v.isString())
            v = v.toString().replace(QLatin1Char('T'), QLatin1Char(' '));
        out.insert(c.name, v);
    }
    return out;
}

const QString kColumns =
    QStringLiteral("historyid, rowkey, parent, action, changedby, CAST(changedat AS text), "
                   "changegroup, CAST(oldrow AS text), CAST(newrow AS text)");

std::vector<Version> read(Database& db, const TableDef& t, const QString& where, const QVariantList& binds) {
    std::vector<Version> out;
    db.attach(t);
    const QString h = db.backend().historyTable(t);
    if (h.isEmpty()) return out;
    QSqlQuery q = db.exec(
        QStringLiteral("SELECT %1 FROM %2 h WHERE %3 ORDER BY historyid DESC").arg(kColumns, h, where), binds,
        t.fileName);
    while (q.next()) {
        Version v;
        v.id = q.value(0).toLongLong();
        v.key = std::abs(q.value(1).toLongLong());
        v.parent = q.value(2).toLongLong();
        const QString action = q.value(3).toString();
        v.action = action == QLatin1String("I")   ? Version::Action::Insert
                   : action == QLatin1String("D") ? Version::Action::Delete
                                                  : Version::Action::Update;
        v.changedBy = q.value(4).toInt();
        v.changedAt = q.value(5).toString().left(19);
        v.group = q.value(6).toLongLong();
        v.before = rowValues(t, q.value(7).toString());
        v.after = rowValues(t, q.value(8).toString());
        out.push_back(std::move(v));
    }
    return out;
}

// The row as it is stored now (empty when it is not), with its values as versions hold them.
QJsonObject currentRow(Database& db, const TableDef& t, qint64 key) {
    const Dialect& d = db.backend().dialect();
    QStringList terms;
    for (const ColumnDef& c : t.columns)
        terms << d.selectTerm(t, c.name);
    QSqlQuery q = db.exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                              .arg(terms.join(QStringLiteral(", ")), d.table(t), d.rowKey(t)),
                          {key}, t.fileName);
    QJsonObject row;
    if (!q.next()) return row;
    for (int i = 0; i < int(t.columns.size()); ++i) {
        const ColumnDef& c = t.columns[size_t(i)];
        const QVariant v = q.value(i);
        if (v.isNull())
            row.insert(c.name, QJsonValue::Null);
        else if (c.type == FieldType::Logical)
            row.insert(c.name, v.toLongLong() != 0);
        else if (c.type == FieldType::AutoInc || c.type == FieldType::Integer || c.type == FieldType::Number)
            row.insert(c.name, v.toDouble());
        else
            row.insert(c.name, v.toString());
    }
    return row;
}

QJsonObject overlaid(QJsonObject row, const QJsonObject& changes) {
    for (auto it = changes.begin(); it != changes.end(); ++it)
        row.insert(it.key(), it.value());
    return row;
}

} // namespace

QStringList Version::changedColumns(const TableDef& t) const {
    QStringList out;
    for (const ColumnDef& c : t.columns) {
        if (isStampColumn(c.name)) continue;
        const QJsonValue a = before.value(c.name), b = after.value(c.name);
        if (action == Action::Update ? a != b : !(action == Action::Insert ? b : a).isNull()) out << c.name;
    }
    return out;
}

bool History::watches(const TableDef& t) {
    return t.schemaName == QLatin1String("goals") || t.schemaName == QLatin1String("strategys") ||
           t.schemaName == QLatin1String("measure");
}

QString History::parentColumn(const TableDef& t) {
    if (t.schemaName == QLatin1String("strategys")) return QStringLiteral("GoalID");
    if (t.schemaName == QLatin1String("measure")) return QStringLiteral("StrategyID");
    return {};
}

std::vector<Version> History::versions(Database& db, const TableDef& t, qint64 key) {
    // An edit keeps only the columns it changed, under the negated key (see FolderHistory): the
    // rest of its rows are those of the next change, going back from the row as it is now.
    std::vector<Version> out = read(db, t, QStringLiteral("rowkey IN (?, ?)"), {key, -key});
    const bool partial = std::any_of(out.begin(), out.end(), [&](const Version& v) {
        return v.action == Version::Action::Update && size_t(v.after.size()) < t.columns.size();
    });
    QJsonObject state = partial ? currentRow(db, t, key) : QJsonObject();
    for (Version& v : out) {
        if (v.action == Version::Action::Update) {
            v.after = overlaid(state, v.after);
            v.before = overlaid(v.after, v.before);
        }
        state = v.before;
    }
    return out;
}

std::vector<Version> History::deletedRows(Database& db, const TableDef& t, qint64 parent) {
    db.attach(t);
    const QString h = db.backend().historyTable(t);
    if (h.isEmpty()) return {};
    QString where =
        QStringLiteral("action = 'D' AND NOT EXISTS (SELECT 1 FROM %1 w WHERE w.%2 = h.rowkey) AND "
                       "historyid = (SELECT max(historyid) FROM %3 l WHERE l.rowkey = h.rowkey)")
            .arg(db.backend().tableName(t), db.backend().rowKey(t), h);
    QVariantList binds;
    if (parent > 0) {
        where += QStringLiteral(" AND parent = ?");
        binds << parent;
    }
    return read(db, t, where, binds);
}

std::vector<Version> History::deletedInGroup(Database& db, const TableDef& t, qint64 group) {
    return read(db, t, QStringLiteral("action = 'D' AND changegroup = ?"), {group});
}

void History::reinsert(Database& db, const TableDef& t, const QJsonObject& values) {
    db.attach(t);
    QStringList columns;
    QVariantList binds;
    for (const ColumnDef& c : t.columns) {
        const QJsonValue v = values.value(c.name);
        if (v.isNull() || v.isUndefined()) continue;
        columns << c.name;
        switch (c.type) {
        case FieldType::AutoInc:
        case FieldType::Integer:
            binds << QVariant::fromValue<qint64>(qint64(v.toDouble()));
            break;
        case FieldType::Logical:
            binds << QVariant::fromValue<qint64>(v.isBool() ? (v.toBool() ? 1 : 0) : qint64(v.toDouble()));
            break;
        case FieldType::Number:
            binds << v.toDouble();
            break;
        default:
            binds << v.toString();
        }
    }
    db.write([&] { db.exec(db.backend().insertSql(t, columns), binds, t.fileName); });
    db.notifyChanged(t.schemaName);
}

bool History::exists(Database& db, const TableDef& t, qint64 key) {
    db.attach(t);
    QSqlQuery q = db.exec(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ?")
                              .arg(db.backend().tableName(t), db.backend().rowKey(t)),
                          {key}, t.fileName);
    return q.next() && q.value(0).toInt() > 0;
}

namespace {
const QString kDaysTable = QStringLiteral("vardimo_history_days");

QString daysTable(Database& db, const TableDef& settings) {
    return db.backend().dialect().ownTable(settings, kDaysTable);
}

bool hasDaysTable(Database& db, const TableDef& settings) {
    QSqlQuery q = db.exec(db.backend().dialect().countOwnTables(settings), {kDaysTable}, settings.fileName);
    return q.next() && q.value(0).toInt() > 0;
}
} // namespace

int History::keepDays(Database& db) {
    const TableDef& settings = *findTable(QStringLiteral("Settings.db"));
    db.attach(settings);
    if (!hasDaysTable(db, settings)) return kDefaultKeepDays;
    QSqlQuery q =
        db.exec(QStringLiteral("SELECT days FROM %1").arg(daysTable(db, settings)), {}, settings.fileName);
    return q.next() ? q.value(0).toInt() : kDefaultKeepDays;
}

void History::setKeepDays(Database& db, int days) {
    const TableDef& settings = *findTable(QStringLiteral("Settings.db"));
    db.attach(settings);
    const QString table = daysTable(db, settings);
    Transaction tx(db);
    if (!hasDaysTable(db, settings))
        db.exec(QStringLiteral("CREATE TABLE %1 (days integer NOT NULL)").arg(table), {}, settings.fileName);
    db.exec(QStringLiteral("DELETE FROM %1").arg(table), {}, settings.fileName);
    db.exec(QStringLiteral("INSERT INTO %1 (days) VALUES (?)").arg(table), {days}, settings.fileName);
    tx.commit();
}

qint64 History::prune(Database& db, int days) {
    // Bound as the text versions keep, in the place the store gives a date-time.
    const QDateTime when = QDateTime::currentDateTime().addDays(-days);
    const QString cutoff = when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    qint64 removed = 0;
    for (const TableDef& t : tables()) {
        if (!watches(t)) continue;
        db.attach(t);
        const QString h = db.backend().historyTable(t);
        if (h.isEmpty()) continue;
        QSqlQuery q = db.exec(QStringLiteral("DELETE FROM %1 WHERE changedat < %2")
                                  .arg(h, db.backend().dialect().parameter(when, false)),
                              {cutoff}, t.fileName);
        removed += q.numRowsAffected();
    }
    return removed;
}

} // namespace engine

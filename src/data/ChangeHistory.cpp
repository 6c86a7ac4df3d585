#include "data/ChangeHistory.h"

#include "data/DataModule.h"
#include "data/Logon.h"
#include "engine/Error.h"
#include "engine/Query.h"

#include <QDateTime>
#include <QSet>
#include <QSqlQuery>

namespace data {

namespace sql = engine::sql;

namespace {

const engine::TableDef& goalsDef() {
    return *engine::findTable(QStringLiteral("goals.db"));
}
const engine::TableDef& strategiesDef() {
    return *engine::findTable(QStringLiteral("Strategys.db"));
}
const engine::TableDef& measuresDef() {
    return *engine::findTable(QStringLiteral("Measure.db"));
}

int intOf(const QJsonObject& values, const char* column) {
    return int(values.value(QLatin1String(column)).toDouble());
}

QVariant variantOf(const QJsonValue& v, engine::FieldType type) {
    using F = engine::FieldType;
    if (v.isNull() || v.isUndefined()) return {};
    switch (type) {
    case F::AutoInc:
    case F::Integer:
        return QVariant::fromValue<qint64>(qint64(v.toDouble()));
    case F::Logical:
        return v.isBool() ? v.toBool() : v.toDouble() != 0;
    case F::Number:
        return v.toDouble();
    default:
        return v.toString();
    }
}

// The values of a kept row as a new change by the logged-on user now.
QJsonObject stamped(QJsonObject values, int user, const char* dateColumn) {
    values.insert(QStringLiteral("ModifiedBy"), user);
    values.insert(QLatin1String(dateColumn),
                  QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    return values;
}

// Whether a strategy number (an item number) is taken now by another row of the same place.
bool strategyNumberTaken(engine::Database& db, int goal, int user, int number) {
    engine::Query q(db);
    q.add("Select Count(*) As Taken From \"Strategys.db\"");
    q.add("Where GoalID = ", sql::Int{goal}, "And UserNumber = ", sql::Int{user});
    q.add("And StrategyNumber = ", sql::Int{number});
    q.open();
    return q.field(QStringLiteral("Taken")).asInteger() > 0;
}

bool itemNumberTaken(engine::Database& db, int strategy, int number) {
    engine::Query q(db);
    q.add("Select Count(*) As Taken From \"Measure.db\"");
    q.add("Where StrategyID = ", sql::Int{strategy}, "And MeasurementNumber = ", sql::Int{number});
    q.open();
    return q.field(QStringLiteral("Taken")).asInteger() > 0;
}

} // namespace

QString ChangeHistory::describe(const engine::Version& v) {
    const QJsonObject& values = v.values();
    if (values.contains(QStringLiteral("GoalDescription")))
        return values.value(QStringLiteral("GoalDescription")).toString();
    if (values.contains(QStringLiteral("StrategyDescription")))
        return QStringLiteral("%1. %2")
            .arg(intOf(values, "StrategyNumber"))
            .arg(values.value(QStringLiteral("StrategyDescription")).toString());
    return values.value(QStringLiteral("Measurement")).toString();
}

QString ChangeHistory::userName(int number) {
    if (number <= 0) return {};
    const UserRecord u = readUser(dm_, number);
    return u.number >= 0 && !u.name.isEmpty() ? u.name : QString::number(number);
}

bool ChangeHistory::mayEditGoal(const QJsonObject& values) const {
    const CurrentUser& u = dm_.user();
    return u.rights.supervisor || u.rights.canModifyAllGoals || intOf(values, "GoalOwner") == u.number;
}

std::vector<engine::Version> ChangeHistory::goalVersions(qint64 goal) {
    // Every user sees every goal: its history too.
    return engine::History::versions(dm_.goalDatabase, goalsDef(), goal);
}

std::vector<engine::Version> ChangeHistory::strategyVersions(qint64 strategy) {
    std::vector<engine::Version> versions =
        engine::History::versions(dm_.goalDatabase, strategiesDef(), strategy);
    // Whose strategy it is now decides, or was when it was deleted; each version also names
    // the person it was written for then.
    QSet<int> owners;
    for (const engine::Version& v : versions)
        owners.insert(intOf(v.values(), "UserNumber"));
    for (int owner : owners)
        if (!dm_.user().maySee(owner))
            throw engine::Error(QStringLiteral("You may not see the history of this strategy."));
    return versions;
}

void ChangeHistory::restoreInto(engine::Table& t, const engine::Version& v, const QStringList& keep) {
    if (t.isEmpty() || t.field(t.fieldNames().front()).asInteger() != v.key)
        throw engine::Error(
            QStringLiteral("The row of this version is not the one shown; nothing was changed."));
    if (v.action == engine::Version::Action::Delete)
        throw engine::Error(QStringLiteral("A deleted row comes back through \"Deleted...\"."));
    const engine::TableDef* def = engine::findTable(t.tableName());
    t.edit();
    try {
        for (const engine::ColumnDef& c : def->columns) {
            if (c.type == engine::FieldType::AutoInc || keep.contains(c.name) ||
                c.name.startsWith(QLatin1String("Modifie")))
                continue;
            t.field(c.name).setValue(variantOf(v.after.value(c.name), c.type));
        }
        t.post();
    } catch (...) {
        t.cancel();
        throw;
    }
}

void ChangeHistory::restoreGoal(const engine::Version& v) {
    engine::Table& goals = dm_.goalsTable;
    QJsonObject now;
    now.insert(QStringLiteral("GoalOwner"), goals.field(QStringLiteral("GoalOwner")).asInt());
    if (!mayEditGoal(now)) throw engine::Error(QStringLiteral("You may not change this goal."));
    restoreInto(goals, v, {QStringLiteral("GoalOwner")});
}

void ChangeHistory::restoreStrategy(const engine::Version& v) {
    engine::Table& strategies = dm_.strategyTable;
    if (!dm_.user().mayEdit(strategies.field(QStringLiteral("UserNumber")).asInt()))
        throw engine::Error(QStringLiteral("You may not change this strategy."));
    restoreInto(strategies, v,
                {QStringLiteral("GoalID"), QStringLiteral("UserNumber"), QStringLiteral("StrategyNumber")});
}

std::vector<engine::Version> ChangeHistory::deletedGoals() {
    std::vector<engine::Version> out;
    for (engine::Version& v : engine::History::deletedRows(dm_.goalDatabase, goalsDef()))
        if (mayEditGoal(v.before)) out.push_back(std::move(v));
    return out;
}

std::vector<engine::Version> ChangeHistory::deletedStrategies() {
    std::vector<engine::Version> out;
    for (engine::Version& v : engine::History::deletedRows(dm_.goalDatabase, strategiesDef()))
        if (dm_.user().mayEdit(intOf(v.before, "UserNumber"))) out.push_back(std::move(v));
    return out;
}

int ChangeHistory::restoreStrategies(const std::vector<engine::Version>& strategies, qint64 group,
                                     QStringList& notes, int& items) {
    engine::Database& db = dm_.goalDatabase;
    const int user = dm_.user().number;
    QSet<qint64> back;
    for (const engine::Version& s : strategies) {
        if (engine::History::exists(db, strategiesDef(), s.key)) continue;
        QJsonObject values = stamped(s.before, user, "ModifiedDate");
        const int goal = intOf(values, "GoalID"), owner = intOf(values, "UserNumber");
        const int number = intOf(values, "StrategyNumber");
        if (strategyNumberTaken(db, goal, owner, number)) {
            const int next = dm_.nextStrategyNumber({goal, owner});
            values.insert(QStringLiteral("StrategyNumber"), next);
            notes << QStringLiteral("Strategy %1 (%2) is now number %3.")
                         .arg(number)
                         .arg(userName(owner))
                         .arg(next);
        }
        engine::History::reinsert(db, strategiesDef(), values);
        back.insert(s.key);
    }
    for (const engine::Version& m : engine::History::deletedInGroup(db, measuresDef(), group)) {
        if (!back.contains(m.parent) || engine::History::exists(db, measuresDef(), m.key)) continue;
        QJsonObject values = stamped(m.before, user, "ModifiedDate");
        const int number = intOf(values, "MeasurementNumber");
        if (itemNumberTaken(db, int(m.parent), number)) {
            const int next = dm_.nextMeasurementNumber(int(m.parent));
            values.insert(QStringLiteral("MeasurementNumber"), next);
            notes << QStringLiteral("Measurement item %1 is now number %2.").arg(number).arg(next);
        }
        engine::History::reinsert(db, measuresDef(), values);
        ++items;
    }
    return int(back.size());
}

int ChangeHistory::restoreOnServer(const engine::Version& v, QStringList& notes, int& items) {
    // The user may not see, nor write, the strategies of everybody the goal's deletion took with
    // it: the server brings them back with the rights it deleted them with.
    engine::Database& db = dm_.goalDatabase;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    int count = 0;
    db.write([&] {
        QSqlQuery q = db.exec(QStringLiteral("SELECT r_kind, r_owner, r_was, r_number "
                                             "FROM vardimo_restore_goal(?, ?, ?)"),
                              {v.key, v.group, stamp}, goalsDef().fileName);
        while (q.next()) {
            const bool strategy = q.value(0).toString() == QLatin1String("S");
            const int was = q.value(2).toInt(), now = q.value(3).toInt();
            if (strategy) {
                ++count;
                if (was != now)
                    notes << QStringLiteral("Strategy %1 (%2) is now number %3.")
                                 .arg(was)
                                 .arg(userName(q.value(1).toInt()))
                                 .arg(now);
            } else {
                ++items;
                if (was != now)
                    notes << QStringLiteral("Measurement item %1 is now number %2.").arg(was).arg(now);
            }
        }
    });
    for (const engine::TableDef* t : {&goalsDef(), &strategiesDef(), &measuresDef()})
        db.notifyChanged(t->schemaName);
    return count;
}

QString ChangeHistory::restoreDeletedGoal(const engine::Version& v) {
    if (!mayEditGoal(v.before)) throw engine::Error(QStringLiteral("You may not change this goal."));
    engine::Database& db = dm_.goalDatabase;
    engine::Transaction tx(db);
    if (engine::History::exists(db, goalsDef(), v.key))
        throw engine::Error(QStringLiteral("This goal is there already; nothing was changed."));
    QStringList notes;
    int items = 0;
    int count = 0;
    if (serverHoldsLogons(dm_)) {
        count = restoreOnServer(v, notes, items);
    } else {
        engine::History::reinsert(db, goalsDef(), stamped(v.before, dm_.user().number, "ModifieDate"));
        std::vector<engine::Version> strategies;
        for (engine::Version& s : engine::History::deletedInGroup(db, strategiesDef(), v.group))
            if (s.parent == v.key) strategies.push_back(std::move(s));
        count = restoreStrategies(strategies, v.group, notes, items);
    }
    tx.commit();
    QString text =
        QStringLiteral("The goal is back with %1 strategies and %2 measurement items.").arg(count).arg(items);
    if (!notes.isEmpty()) text += QLatin1Char('\n') + notes.join(QLatin1Char('\n'));
    return text;
}

QString ChangeHistory::restoreDeletedStrategy(const engine::Version& v) {
    if (!dm_.user().mayEdit(intOf(v.before, "UserNumber")))
        throw engine::Error(QStringLiteral("You may not change this strategy."));
    engine::Database& db = dm_.goalDatabase;
    engine::Transaction tx(db);
    if (!engine::History::exists(db, goalsDef(), intOf(v.before, "GoalID")))
        throw engine::Error(
            QStringLiteral("The goal of this strategy is deleted: bring the goal back first."));
    QStringList notes;
    int items = 0;
    const int count = restoreStrategies({v}, v.group, notes, items);
    tx.commit();
    if (count == 0) return QStringLiteral("This strategy is there already; nothing was changed.");
    QString text = QStringLiteral("The strategy is back with %1 measurement items.").arg(items);
    if (!notes.isEmpty()) text += QLatin1Char('\n') + notes.join(QLatin1Char('\n'));
    return text;
}

qint64 ChangeHistory::prune() {
    engine::Database& db = dm_.goalDatabase;
    return engine::History::prune(db, engine::History::keepDays(db));
}

} // namespace data

#include "data/CsvExport.h"

#include "data/MeasurementItems.h"
#include "engine/DataSet.h"
#include "engine/Database.h"
#include "engine/Query.h"

#include <QHash>

namespace data {

namespace sql = engine::sql;

namespace csv {

namespace {

// Key to name, read once: users and goal types are few next to goals and strategies.
QHash<qint64, QString> names(engine::Database& db, const char* table, const char* key, const char* name) {
    engine::Query q(db);
    q.add(QStringLiteral("Select %1, %2 From \"%3\"")
              .arg(QLatin1String(key), QLatin1String(name), QLatin1String(table)));
    q.open();
    QHash<qint64, QString> out;
    for (q.first(); !q.eof(); q.next())
        out.insert(q.field(QLatin1String(key)).asInteger(), q.field(QLatin1String(name)).asString());
    q.close();
    return out;
}

QVariant nameOf(const QHash<qint64, QString>& names, const QVariant& key) {
    if (key.isNull()) return {};
    return names.value(key.toLongLong());
}

bool finish(const Writer& w, QString* error) {
    if (!w.ok() && error) *error = w.error();
    return w.ok();
}

} // namespace

namespace {

const QStringList kGoalTitles{"Goal ID",  "Goal Year",  "Goal Type",   "Goal",
                              "Goal For", "Goal Owner", "Modified By", "Modified Date"};
const char* const kGoalColumns =
    "Select GoalID, GoalYear, GoalTypeID, GoalDescription, UserNumber, GoalOwner, ModifiedBy, ModifieDate "
    "From \"goals.db\"";

struct GoalNames {
    QHash<qint64, QString> users, types;
    explicit GoalNames(engine::Database& db)
        : users(names(db, "User.db", "UserNumber", "UserName")),
          types(names(db, "GoalType.db", "GoalTypeID", "TypeDescription")) {}
    QVariantList row(engine::DataSet& q, int r) const {
        auto v = [&](const char* name) { return q.valueAt(r, QLatin1String(name)); };
        return {v("GoalID"),
                v("GoalYear"),
                nameOf(types, v("GoalTypeID")),
                v("GoalDescription"),
                nameOf(users, v("UserNumber")),
                nameOf(users, v("GoalOwner")),
                nameOf(users, v("ModifiedBy")),
                v("ModifieDate")};
    }
};

} // namespace

bool exportGoals(engine::Database& db, std::optional<int> year, QIODevice& out, QString* error) {
    const GoalNames names(db);
    engine::Query q(db);
    q.add(kGoalColumns);
    if (year) q.add("Where GoalYear = ", sql::Int{*year});
    q.add("Order By GoalYear, GoalDescription, GoalID");
    q.open();
    Writer w(out);
    w.header(kGoalTitles);
    for (int r = 0; r < q.recordCount() && w.ok(); ++r)
        w.add(names.row(q, r));
    q.close();
    return finish(w, error);
}

bool exportGoalList(engine::Database& db, const QVector<qint64>& goalIds, QIODevice& out, QString* error) {
    const GoalNames names(db);
    Writer w(out);
    w.header(kGoalTitles);
    constexpr int chunk = 400;
    for (int from = 0; from < goalIds.size() && w.ok(); from += chunk) {
        sql::IntList ids;
        ids.values = goalIds.mid(from, chunk);
        engine::Query q(db);
        q.add(kGoalColumns);
        q.add("Where GoalID In ", ids);
        q.open();
        QHash<qint64, int> rowOf;
        for (int r = 0; r < q.recordCount(); ++r)
            rowOf.insert(q.valueAt(r, "GoalID").toLongLong(), r);
        for (qint64 id : ids.values)
            if (auto it = rowOf.constFind(id); it != rowOf.constEnd() && w.ok()) w.add(names.row(q, *it));
    }
    return finish(w, error);
}

namespace {

const QStringList kStrategyTitles{"Goal ID",
                                  "Goal Year",
                                  "Goal Type",
                                  "Goal",
                                  "User",
                                  "Strategy Number",
                                  "Strategy",
                                  "Responsibility",
                                  "Deliverable",
                                  "Measurement",
                                  "Completion Date",
                                  "Additional Resources",
                                  "Comments/Status",
                                  "Completed",
                                  "Do Not Print",
                                  "Modified By",
                                  "Modified Date"};

// The measurement items of strategies, by strategy; empty when strategies carry their own texts.
using ItemsByStrategy = QHash<qint64, QList<items::Item>>;

ItemsByStrategy itemsOf(engine::Database& db, const QList<qint64>& strategies) {
    ItemsByStrategy out;
    constexpr int chunk = 400;
    for (qsizetype from = 0; from < strategies.size(); from += chunk) {
        sql::IntList ids;
        ids.values = strategies.mid(from, chunk);
        engine::Query q(db);
        q.add("Select * From \"Measure.db\" Where StrategyID In ", ids);
        q.add("Order By StrategyID, MeasurementNumber");
        q.open();
        for (const items::Item& it : items::read(q))
            out[it.strategy] << it;
    }
    return out;
}

ItemsByStrategy itemsOf(engine::Database& db, engine::DataSet& rows) {
    QList<qint64> ids;
    for (int r = 0; r < rows.recordCount(); ++r)
        if (!rows.valueAt(r, QStringLiteral("StrategyID")).isNull())
            ids << rows.valueAt(r, QStringLiteral("StrategyID")).toLongLong();
    return itemsOf(db, ids);
}

// The strategy's own columns of a row of "Strategys.db" fields, after the four goal columns.
// With items (the multiple-measurements mode) their texts replace Deliverable and Measurement.
QVariantList strategyFields(engine::DataSet& q, int r, const QHash<qint64, QString>& users,
                            const ItemsByStrategy* itemsByStrategy) {
    auto v = [&](const char* name) { return q.valueAt(r, QLatin1String(name)); };
    QVariant deliverable = v("Deliverable"), measurement = v("Measurement");
    if (itemsByStrategy) {
        const QList<items::Item> its = itemsByStrategy->value(v("StrategyID").toLongLong());
        deliverable = items::text(items::deliverables(its));
        measurement = items::text(items::measurements(its));
    }
    return {nameOf(users, v("UserNumber")),
            v("StrategyNumber"),
            v("StrategyDescription"),
            v("Responsibility"),
            deliverable,
            measurement,
            v("CompleationDate"),
            v("AddationalResources"),
            v("CommentsStatus"),
            v("Compleated"),
            v("DoNotPrint"),
            nameOf(users, v("ModifiedBy")),
            v("ModifiedDate")};
}

} // namespace

bool exportStrategies(engine::Database& db, std::optional<int> year, bool measurementItems, QIODevice& out,
                      QString* error) {
    const auto users = names(db, "User.db", "UserNumber", "UserName");
    const auto types = names(db, "GoalType.db", "GoalTypeID", "TypeDescription");
    struct Goal {
        qint64 id;
        QVariant year, type, text;
    };
    std::vector<Goal> goals;
    {
        engine::Query q(db);
        q.add("Select GoalID, GoalYear, GoalTypeID, GoalDescription From \"goals.db\"");
        if (year) q.add("Where GoalYear = ", sql::Int{*year});
        q.add("Order By GoalYear, GoalDescription, GoalID");
        q.open();
        for (q.first(); !q.eof(); q.next())
            goals.push_back({q.field("GoalID").asInteger(), q.fieldValue("GoalYear"),
                             nameOf(types, q.fieldValue("GoalTypeID")), q.fieldValue("GoalDescription")});
    }
    Writer w(out);
    w.header(kStrategyTitles);
    // The strategies of a few hundred goals at a time, so that memory stays bounded on a large
    // database while the rows still come out in goal order.
    constexpr size_t chunk = 400;
    for (size_t from = 0; from < goals.size() && w.ok(); from += chunk) {
        const size_t to = std::min(goals.size(), from + chunk);
        sql::IntList ids;
        for (size_t i = from; i < to; ++i)
            ids.values << goals[i].id;
        engine::Query q(db);
        q.add("Select * From \"Strategys.db\"");
        q.add("Where GoalID In ", ids);
        q.add("Order By GoalID, UserNumber, StrategyNumber, StrategyID");
        q.open();
        const ItemsByStrategy its = measurementItems ? itemsOf(db, q) : ItemsByStrategy();
        QHash<qint64, std::pair<int, int>> rowsOfGoal; // goal -> first row, row count
        for (int r = 0; r < q.recordCount(); ++r) {
            const qint64 g = q.valueAt(r, "GoalID").toLongLong();
            auto it = rowsOfGoal.find(g);
            if (it == rowsOfGoal.end())
                rowsOfGoal.insert(g, {r, 1});
            else
                ++it->second;
        }
        for (size_t i = from; i < to && w.ok(); ++i) {
            const Goal& g = goals[i];
            const auto [first, count] = rowsOfGoal.value(g.id, {0, 0});
            for (int r = first; r < first + count && w.ok(); ++r) {
                w.add(QVariantList{g.id, g.year, g.type, g.text} +
                      strategyFields(q, r, users, measurementItems ? &its : nullptr));
            }
        }
        q.close();
    }
    return finish(w, error);
}

bool exportStrategyRows(engine::Database& db, engine::DataSet& rows, bool measurementItems, QIODevice& out,
                        QString* error) {
    const auto users = names(db, "User.db", "UserNumber", "UserName");
    const ItemsByStrategy its = measurementItems ? itemsOf(db, rows) : ItemsByStrategy();
    Writer w(out);
    w.header(kStrategyTitles);
    const int n = rows.recordCount();
    for (int r = 0; r < n && w.ok(); ++r) {
        auto v = [&](const char* name) { return rows.valueAt(r, QLatin1String(name)); };
        w.add(QVariantList{v("GoalID"), v("GoalYear"), v("TypeDescription"), v("GoalDescription")} +
              strategyFields(rows, r, users, measurementItems ? &its : nullptr));
    }
    return finish(w, error);
}

bool exportDataSet(engine::DataSet& data, const QList<QPair<QString, QString>>& columns, QIODevice& out,
                   QString* error) {
    Writer w(out);
    QStringList titles;
    for (const auto& c : columns)
        titles << c.second;
    w.header(titles);
    // valueAt reads a row without moving the current one, so nothing the screen shows changes.
    const int n = data.recordCount();
    for (int r = 0; r < n && w.ok(); ++r) {
        QVariantList values;
        for (const auto& c : columns)
            values << data.valueAt(r, c.first);
        w.add(values);
    }
    return finish(w, error);
}

} // namespace csv

} // namespace data

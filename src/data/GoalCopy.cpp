#include "data/GoalCopy.h"

#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "engine/Error.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace data {

namespace sql = engine::sql;

namespace {

// Enough values for one statement, well inside what every backend binds.
constexpr int kChunk = 400;

QString goalKey(const QVariant& text, const QVariant& type, const QVariant& user) {
    auto part = [](const QVariant& v) { return v.isNull() ? QStringLiteral("-") : v.toString(); };
    return text.toString() + QChar(0x1f) + part(type) + QChar(0x1f) + part(user);
}

sql::IntList idList(const QVector<qint64>& ids, int from) {
    sql::IntList l;
    l.values = ids.mid(from, kChunk);
    return l;
}

constexpr const char* kUnfinished = "And (Compleated Is Null Or Compleated = ";

// Restricts a strategy query to the planned users; a strategy of no user counts as user -1,
// as on the strategy list. For one who may change every user's strategies there is nothing to
// restrict: the list of every user beside the list of goals would have the store look up each
// pair of the two in its index of users and goals, hundreds of thousands of look-ups a statement.
void addUserCondition(engine::Query& q, const GoalCopyPlan& plan) {
    if (plan.everyUser) return;
    if (plan.users.isEmpty()) {
        q.add("And 1 = 0");
        return;
    }
    sql::IntList users;
    users.values = plan.users;
    if (plan.users.contains(-1))
        q.add("And (UserNumber In ", users, " Or UserNumber Is Null)");
    else
        q.add("And UserNumber In ", users);
}

// The copies are dated a year after their originals: the rows of the strategies numbered
// first..last, which are all copies (checked by the pairing), and their items. The distinct dates
// are moved latest first, a few dozen in each statement: a date moved on is later than every date
// still to be moved, so no row is moved twice. Each statement names its dates, and the copies
// alone are not completed: the items are found through the index on completion, date and
// strategy, instead of every item of each date; the strategies, which have no index on their
// dates, are read once for many dates instead of once for each.
void moveDatesOnAYear(engine::Database& db, const char* file, qint64 first, qint64 last) {
    constexpr int kDatesPerStatement = 100;
    const QString table = QStringLiteral("\"%1\"").arg(QLatin1String(file));
    engine::Query q(db);
    q.add(QStringLiteral("Select Distinct CompleationDate From %1").arg(table));
    q.add("Where StrategyID >= ", sql::Int{first}, " And StrategyID <= ", sql::Int{last},
          " And CompleationDate Is Not Null");
    q.add("Order By CompleationDate Desc");
    q.open();
    QVector<QDate> dates;
    for (q.first(); !q.eof(); q.next())
        dates << q.field(QStringLiteral("CompleationDate")).asDate();
    q.close();
    for (qsizetype i = 0; i < dates.size(); i += kDatesPerStatement) {
        const qsizetype end = std::min(i + kDatesPerStatement, dates.size());
        q.clear();
        q.add(QStringLiteral("Update %1 Set CompleationDate = Case CompleationDate").arg(table));
        for (qsizetype k = i; k < end; ++k)
            q.add("When ", sql::Date{dates[k]}, " Then ", sql::Date{oneYearOn(dates[k])});
        q.add("Else CompleationDate End");
        q.add("Where Compleated = ", sql::Bool{false}, " And StrategyID >= ", sql::Int{first},
              " And StrategyID <= ", sql::Int{last});
        q.add("And CompleationDate In (", sql::Date{dates[i]});
        for (qsizetype k = i + 1; k < end; ++k)
            q.add(", ", sql::Date{dates[k]});
        q.add(")");
        q.execSql();
    }
}

qint64 maxKey(engine::Database& db, const char* file, const char* key) {
    engine::Query q(db);
    q.add(QStringLiteral("Select Max(%1) As MaxID From \"%2\"").arg(QLatin1String(key), QLatin1String(file)));
    q.open();
    return q.field(QStringLiteral("MaxID")).asInteger();
}

} // namespace

QDate oneYearOn(const QDate& date) {
    // Qt moves 29 February of a leap year to 28 February of a year without one.
    return date.addYears(1);
}

GoalCopyPlan planGoalCopy(DataModule& dm, int fromYear) {
    GoalCopyPlan plan;
    plan.fromYear = fromYear;
    plan.toYear = fromYear + 1;
    engine::Query q(dm.goalDatabase);
    q.add("Select GoalDescription, GoalTypeID, UserNumber From \"goals.db\"");
    q.add("Where GoalYear = ", sql::Int{plan.toYear});
    q.open();
    QSet<QString> present;
    for (q.first(); !q.eof(); q.next())
        present.insert(
            goalKey(q.fieldValue("GoalDescription"), q.fieldValue("GoalTypeID"), q.fieldValue("UserNumber")));
    q.close();

    q.clear();
    q.add("Select GoalID, GoalDescription, GoalTypeID, UserNumber From \"goals.db\"");
    q.add("Where GoalYear = ", sql::Int{fromYear});
    if (!dm.user().rights.canModifyAllGoals) q.add("And GoalOwner = ", sql::Int{dm.user().number});
    if (!dm.user().rights.canAddGlobalGoals) q.add("And UserNumber Is Not Null");
    q.add("Order By GoalID");
    q.open();
    for (q.first(); !q.eof(); q.next()) {
        if (present.contains(goalKey(q.fieldValue("GoalDescription"), q.fieldValue("GoalTypeID"),
                                     q.fieldValue("UserNumber"))))
            ++plan.alreadyThere;
        else
            plan.goals << q.field("GoalID").asInteger();
    }
    q.close();

    QHash<qint64, int> perUser;
    for (int i = 0; i < plan.goals.size(); i += kChunk) {
        q.clear();
        q.add("Select UserNumber, Count(*) As N From \"Strategys.db\"");
        q.add("Where GoalID In ", idList(plan.goals, i));
        q.add(kUnfinished, sql::Bool{false}, ")");
        q.add("Group By UserNumber");
        q.open();
        for (q.first(); !q.eof(); q.next()) {
            const engine::Field user = q.field(QStringLiteral("UserNumber"));
            perUser[user.isNull() ? -1 : user.asInteger()] += q.field(QStringLiteral("N")).asInt();
        }
        q.close();
    }
    plan.everyUser = dm.user().seesEveryone();
    for (auto it = perUser.cbegin(); it != perUser.cend(); ++it) {
        if (dm.user().mayEdit(int(it.key()))) {
            plan.users << it.key();
            plan.strategies += it.value();
        } else {
            plan.leftOut += it.value();
        }
    }
    std::sort(plan.users.begin(), plan.users.end());

    for (int i = 0; i < plan.goals.size() && plan.strategies > 0; i += kChunk) {
        q.clear();
        q.add("Select Count(*) As N From \"Measure.db\" Where StrategyID In");
        q.add("(Select StrategyID From \"Strategys.db\" Where GoalID In ", idList(plan.goals, i));
        q.add(kUnfinished, sql::Bool{false}, ")");
        addUserCondition(q, plan);
        q.add(")");
        q.open();
        plan.items += q.field(QStringLiteral("N")).asInt();
        q.close();
    }
    return plan;
}

GoalCopyResult copyGoalsToNextYear(DataModule& dm, const GoalCopyPlan& plan, bool withStrategies) {
    GoalCopyResult result;
    if (plan.goals.isEmpty()) return result;
    const QString now = stampText();
    engine::Database& db = dm.goalDatabase;
    engine::Transaction tx(db);
    engine::Query q(db);

    const qint64 before = maxKey(db, "goals.db", "GoalID");

    // The copies are made in goal number order, so the new numbers, which only grow, pair up
    // with the old ones in the same order. The pairing is checked below, not assumed.
    for (int i = 0; i < plan.goals.size(); i += kChunk) {
        q.clear();
        q.add("Insert Into \"goals.db\" (GoalDescription, UserNumber, GoalOwner, GoalTypeID, GoalYear, "
              "ModifiedBy, ModifieDate)");
        q.add("Select GoalDescription, UserNumber, GoalOwner, GoalTypeID, ", sql::Int{plan.toYear}, ", ",
              sql::Int{dm.user().number}, ", ", sql::Text{now});
        q.add("From \"goals.db\" Where GoalID In ", idList(plan.goals, i));
        q.add("Order By GoalID");
        q.execSql();
        result.goals += q.rowsAffected();
    }

    QVector<qint64> copies;
    {
        engine::Query n(db);
        n.add("Select GoalID, GoalDescription, GoalTypeID, UserNumber, GoalOwner From \"goals.db\"");
        n.add("Where GoalID > ", sql::Int{before}, " Order By GoalID");
        n.open();
        engine::Query o(db);
        for (int i = 0; i < plan.goals.size(); i += kChunk) {
            o.close();
            o.clear();
            o.add("Select GoalID, GoalDescription, GoalTypeID, UserNumber, GoalOwner From \"goals.db\"");
            o.add("Where GoalID In ", idList(plan.goals, i), " Order By GoalID");
            o.open();
            for (o.first(); !o.eof(); o.next()) {
                const int row = int(copies.size());
                bool same = row < n.recordCount();
                for (const char* f : {"GoalDescription", "GoalTypeID", "UserNumber", "GoalOwner"})
                    same = same && n.valueAt(row, QLatin1String(f)) == o.fieldValue(QLatin1String(f));
                if (!same)
                    throw engine::Error(QStringLiteral("The goals could not be copied: another workstation "
                                                       "added goals at the same time. Nothing was copied."));
                copies << n.valueAt(row, QStringLiteral("GoalID")).toLongLong();
            }
        }
    }

    if (withStrategies && plan.strategies > 0) {
        const qint64 strategiesBefore = maxKey(db, "Strategys.db", "StrategyID");
        // As with the goals, the copies are made in the order they are read back in below, and
        // the pairing of old and new numbers is checked, so that each keeps its own items.
        auto selectOriginals = [&](engine::Query& s, int i) {
            s.add("From \"Strategys.db\" Where GoalID In ", idList(plan.goals, i));
            s.add(kUnfinished, sql::Bool{false}, ")");
            addUserCondition(s, plan);
            s.add("Order By GoalID, UserNumber, StrategyNumber, StrategyID");
        };
        for (int i = 0; i < plan.goals.size(); i += kChunk) {
            q.clear();
            q.add(
                "Insert Into \"Strategys.db\" (StrategyNumber, StrategyDescription, Responsibility, "
                "Deliverable, Measurement, CompleationDate, AddationalResources, CommentsStatus, DoNotPrint, "
                "UserNumber, ModifiedBy, ModifiedDate, GoalID, Compleated)");
            q.add("Select Row_Number() Over (Partition By GoalID, UserNumber Order By StrategyNumber, "
                  "StrategyID), StrategyDescription, Responsibility, Deliverable, Measurement, "
                  "CompleationDate, "
                  "AddationalResources, CommentsStatus, DoNotPrint, UserNumber, ",
                  sql::Int{dm.user().number}, ", ", sql::Text{now}, ",");
            q.add("Case GoalID");
            for (int k = i; k < std::min<int>(i + kChunk, plan.goals.size()); ++k)
                q.add("When ", sql::Int{plan.goals[k]}, " Then ", sql::Int{copies[k]});
            q.add("End, ", sql::Bool{false});
            selectOriginals(q, i);
            q.execSql();
            result.strategies += q.rowsAffected();
        }

        QVector<qint64> originals, strategyCopies;
        {
            engine::Query n(db);
            n.add("Select StrategyID, UserNumber, StrategyDescription From \"Strategys.db\"");
            n.add("Where StrategyID > ", sql::Int{strategiesBefore}, " Order By StrategyID");
            n.open();
            engine::Query o(db);
            for (int i = 0; i < plan.goals.size(); i += kChunk) {
                o.close();
                o.clear();
                o.add("Select StrategyID, UserNumber, StrategyDescription");
                selectOriginals(o, i);
                o.open();
                for (o.first(); !o.eof(); o.next()) {
                    const int row = int(strategyCopies.size());
                    bool same = row < n.recordCount();
                    for (const char* f : {"UserNumber", "StrategyDescription"})
                        same = same && n.valueAt(row, QLatin1String(f)) == o.fieldValue(QLatin1String(f));
                    if (!same)
                        throw engine::Error(
                            QStringLiteral("The goals could not be copied: another workstation added "
                                           "strategies at the same time. Nothing was copied."));
                    originals << o.field(QStringLiteral("StrategyID")).asInteger();
                    strategyCopies << n.valueAt(row, QStringLiteral("StrategyID")).toLongLong();
                }
            }
        }
        // Strategies of the plan may have been finished since it was made: none may be left.
        if (!strategyCopies.isEmpty())
            moveDatesOnAYear(db, "Strategys.db", strategyCopies.first(), strategyCopies.last());
        for (int i = 0; i < originals.size(); i += kChunk) {
            q.clear();
            q.add("Insert Into \"Measure.db\" (StrategyID, MeasurementNumber, Measurement, Deliverable, "
                  "CompleationDate, Compleated, ModifiedBy, ModifiedDate)");
            q.add("Select Case StrategyID");
            for (int k = i; k < std::min<int>(i + kChunk, originals.size()); ++k)
                q.add("When ", sql::Int{originals[k]}, " Then ", sql::Int{strategyCopies[k]});
            q.add("End, MeasurementNumber, Measurement, Deliverable, CompleationDate, ", sql::Bool{false},
                  ", ", sql::Int{dm.user().number}, ", ", sql::Text{now});
            q.add("From \"Measure.db\" Where StrategyID In ", idList(originals, i));
            q.add("Order By StrategyID, MeasurementNumber");
            q.execSql();
            result.items += q.rowsAffected();
        }
        // Only this transaction knows the new strategies: every item of them is a copy.
        if (!strategyCopies.isEmpty())
            moveDatesOnAYear(db, "Measure.db", strategyCopies.first(), strategyCopies.last());
    }
    tx.commit();
    return result;
}

} // namespace data

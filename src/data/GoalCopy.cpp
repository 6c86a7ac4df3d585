#include "data/GoalCopy.h"

#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "engine/Error.h"

#include <QDateTime>
#include <QSet>

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

QString stampTime() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

GoalCopyPlan PlanGoalCopy(DataModule& dm, int fromYear) {
    GoalCopyPlan plan;
    plan.FromYear = fromYear;
    plan.ToYear = fromYear + 1;
    engine::Query q(dm.GoalDatabase);
    q.add("Select GoalDescription, GoalTypeID, UserNumber From \"goals.db\"");
    q.add("Where GoalYear = ", sql::Int{plan.ToYear});
    q.open();
    QSet<QString> present;
    for (q.first(); !q.eof(); q.next())
        present.insert(
            goalKey(q.fieldValue("GoalDescription"), q.fieldValue("GoalTypeID"), q.fieldValue("UserNumber")));
    q.close();

    q.clear();
    q.add("Select GoalID, GoalDescription, GoalTypeID, UserNumber From \"goals.db\"");
    q.add("Where GoalYear = ", sql::Int{fromYear});
    if (!SecurityData.CanModifyAllGoals) q.add("And GoalOwner = ", sql::Int{LoginData.UserNumber});
    if (!SecurityData.CanAddGlobalGoals) q.add("And UserNumber Is Not Null");
    q.add("Order By GoalID");
    q.open();
    for (q.first(); !q.eof(); q.next()) {
        if (present.contains(goalKey(q.fieldValue("GoalDescription"), q.fieldValue("GoalTypeID"),
                                     q.fieldValue("UserNumber"))))
            ++plan.AlreadyThere;
        else
            plan.Goals << q.field("GoalID").asInteger();
    }
    q.close();

    for (int i = 0; i < plan.Goals.size(); i += kChunk) {
        q.clear();
        q.add("Select Count(*) As N From \"Strategys.db\"");
        q.add("Where GoalID In ", idList(plan.Goals, i));
        q.add("And (Compleated Is Null Or Compleated = ", sql::Bool{false}, ")");
        q.open();
        plan.Strategies += q.field("N").asInt();
        q.close();
    }
    return plan;
}

GoalCopyResult CopyGoalsToNextYear(DataModule& dm, const GoalCopyPlan& plan, bool withStrategies) {
    GoalCopyResult result;
    if (plan.Goals.isEmpty()) return result;
    const QString now = stampTime();
    engine::Database& db = dm.GoalDatabase;
    engine::Transaction tx(db);
    engine::Query q(db);

    q.add("Select Max(GoalID) As MaxID From \"goals.db\"");
    q.open();
    const qint64 before = q.field("MaxID").asInteger();
    q.close();

    // The copies are made in goal number order, so the new numbers, which only grow, pair up
    // with the old ones in the same order. The pairing is checked below, not assumed.
    for (int i = 0; i < plan.Goals.size(); i += kChunk) {
        q.clear();
        q.add("Insert Into \"goals.db\" (GoalDescription, UserNumber, GoalOwner, GoalTypeID, GoalYear, "
              "ModifiedBy, ModifieDate)");
        q.add("Select GoalDescription, UserNumber, GoalOwner, GoalTypeID, ", sql::Int{plan.ToYear}, ", ",
              sql::Int{LoginData.UserNumber}, ", ", sql::Text{now});
        q.add("From \"goals.db\" Where GoalID In ", idList(plan.Goals, i));
        q.add("Order By GoalID");
        q.execSql();
        result.Goals += q.rowsAffected();
    }

    QVector<qint64> copies;
    {
        engine::Query n(db);
        n.add("Select GoalID, GoalDescription, GoalTypeID, UserNumber, GoalOwner From \"goals.db\"");
        n.add("Where GoalID > ", sql::Int{before}, " Order By GoalID");
        n.open();
        engine::Query o(db);
        for (int i = 0; i < plan.Goals.size(); i += kChunk) {
            o.close();
            o.clear();
            o.add("Select GoalID, GoalDescription, GoalTypeID, UserNumber, GoalOwner From \"goals.db\"");
            o.add("Where GoalID In ", idList(plan.Goals, i), " Order By GoalID");
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

    if (withStrategies) {
        for (int i = 0; i < plan.Goals.size(); i += kChunk) {
            q.clear();
            q.add(
                "Insert Into \"Strategys.db\" (StrategyNumber, StrategyDescription, Responsibility, "
                "Deliverable, Measurement, CompleationDate, AddationalResources, CommentsStatus, DoNotPrint, "
                "UserNumber, ModifiedBy, ModifiedDate, GoalID, Compleated)");
            q.add("Select Row_Number() Over (Partition By GoalID, UserNumber Order By StrategyNumber, "
                  "StrategyID), StrategyDescription, Responsibility, Deliverable, Measurement, "
                  "CompleationDate, "
                  "AddationalResources, CommentsStatus, DoNotPrint, UserNumber, ",
                  sql::Int{LoginData.UserNumber}, ", ", sql::Text{now}, ",");
            q.add("Case GoalID");
            for (int k = i; k < std::min<int>(i + kChunk, plan.Goals.size()); ++k)
                q.add("When ", sql::Int{plan.Goals[k]}, " Then ", sql::Int{copies[k]});
            q.add("End, ", sql::Bool{false});
            q.add("From \"Strategys.db\" Where GoalID In ", idList(plan.Goals, i));
            q.add("And (Compleated Is Null Or Compleated = ", sql::Bool{false}, ")");
            q.execSql();
            result.Strategies += q.rowsAffected();
        }
    }
    tx.commit();
    return result;
}

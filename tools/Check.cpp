#include "Check.h"

#include "engine/Database.h"
#include "engine/Query.h"

namespace tools {

namespace {
QString number(engine::Query& q, const char* field) {
    return q.field(QLatin1String(field)).isNull() ? QStringLiteral("(none)")
                                                  : q.field(QLatin1String(field)).asString();
}
} // namespace

QStringList checkDatabase(const QString& location) {
    engine::Session session;
    engine::Database db(session);
    db.open(location);
    QStringList found;

    engine::Query q(db);
    q.add("Select GoalID, UserNumber, StrategyNumber, Count(*) As Copies From \"Strategys.db\"");
    q.add("Where StrategyNumber Is Not Null");
    q.add("Group By GoalID, UserNumber, StrategyNumber Having Count(*) > 1");
    q.add("Order By GoalID, UserNumber, StrategyNumber");
    q.open();
    for (q.first(); !q.eof(); q.next())
        found << QStringLiteral("Duplicate strategy number: goal %1, user %2, STRATEGY # %3 stored %4 times")
                     .arg(number(q, "GoalID"), number(q, "UserNumber"), number(q, "StrategyNumber"),
                          number(q, "Copies"));
    q.close();

    q.clear();
    q.add("Select S.StrategyID, S.GoalID From \"Strategys.db\" S Where Not Exists");
    q.add("(Select G.GoalID From \"goals.db\" G Where G.GoalID = S.GoalID)");
    q.add("Order By S.StrategyID");
    q.open();
    for (q.first(); !q.eof(); q.next())
        found << QStringLiteral("Orphan strategy: strategy %1 belongs to goal %2, which does not exist")
                     .arg(number(q, "StrategyID"), number(q, "GoalID"));
    q.close();

    q.clear();
    q.add("Select M.MeasurementID, M.StrategyID From \"Measure.db\" M Where Not Exists");
    q.add("(Select S.StrategyID From \"Strategys.db\" S Where S.StrategyID = M.StrategyID)");
    q.add("Order By M.MeasurementID");
    q.open();
    for (q.first(); !q.eof(); q.next())
        found << QStringLiteral(
                     "Orphan measurement item: item %1 belongs to strategy %2, which does not exist")
                     .arg(number(q, "MeasurementID"), number(q, "StrategyID"));
    q.close();
    return found;
}

} // namespace tools

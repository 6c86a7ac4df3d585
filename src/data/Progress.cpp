#include "data/Progress.h"

#include "data/CurrentUser.h"
#include "data/DataModule.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace data {

namespace sql = engine::sql;

ProgressCounts& ProgressCounts::operator+=(const ProgressCounts& o) {
    strategies += o.strategies;
    completed += o.completed;
    open += o.open;
    overdue += o.overdue;
    return *this;
}

namespace {

// "And <column> In (own, seen...)" unless the user sees everyone.
void limitToVisibleUsers(DataModule& dm, engine::Query& q, const char* column) {
    if (dm.user().seesEveryone()) return;
    sql::IntList users;
    for (int u : dm.user().visibleUsers())
        users.values << u;
    q.add(QStringLiteral("And %1 In ").arg(QLatin1String(column)), users);
}

struct UserInfo {
    QString name;
    qint64 department = -1;
};

QHash<qint64, UserInfo> readUsers(DataModule& dm) {
    engine::Query q(dm.goalDatabase);
    q.add("Select UserNumber, UserName, DepartmentID From \"User.db\"");
    q.open();
    QHash<qint64, UserInfo> out;
    for (int r = 0; r < q.recordCount(); ++r) {
        const QVariant d = q.valueAt(r, "DepartmentID");
        out.insert(q.valueAt(r, "UserNumber").toLongLong(),
                   {q.valueAt(r, "UserName").toString(), d.isNull() ? -1 : d.toLongLong()});
    }
    return out;
}

QHash<qint64, QString> readDepartments(DataModule& dm) {
    engine::Query q(dm.goalDatabase);
    q.add("Select DepartmentID, Description From \"Department.db\"");
    q.open();
    QHash<qint64, QString> out;
    for (int r = 0; r < q.recordCount(); ++r)
        out.insert(q.valueAt(r, "DepartmentID").toLongLong(), q.valueAt(r, "Description").toString());
    return out;
}

bool byName(const ProgressRow& a, const ProgressRow& b) {
    // Rows without a name ("no department") go last.
    if ((a.key == -1) != (b.key == -1)) return b.key == -1;
    const int c = QString::localeAwareCompare(a.name, b.name);
    return c != 0 ? c < 0 : a.key < b.key;
}

} // namespace

ProgressOverview computeProgressOverview(DataModule& dm, int year, int goalType, const QDate& today) {
    engine::Query q(dm.goalDatabase);
    q.add("Select S.UserNumber As UserNumber, Count(*) As Total,");
    q.add("Sum(Case When S.Compleated = ", sql::Bool{true}, " Then 1 Else 0 End) As Done,");
    q.add("Sum(Case When (S.Compleated Is Null Or S.Compleated = ", sql::Bool{false},
          ") And S.CompleationDate < ", sql::Date{today}, " Then 1 Else 0 End) As Late");
    q.add("From \"Strategys.db\" S, \"goals.db\" G");
    q.add("Where S.GoalID = G.GoalID And S.UserNumber Is Not Null And G.GoalYear = ", sql::Int{year});
    if (goalType != -1) q.add("And G.GoalTypeID = ", sql::Int{goalType});
    limitToVisibleUsers(dm, q, "S.UserNumber");
    q.add("Group By S.UserNumber");
    q.open();

    const QHash<qint64, UserInfo> users = readUsers(dm);
    const QHash<qint64, QString> departments = readDepartments(dm);
    ProgressOverview out;
    QHash<qint64, int> departmentRow;
    for (int r = 0; r < q.recordCount(); ++r) {
        ProgressRow row;
        row.key = q.valueAt(r, "UserNumber").toLongLong();
        const UserInfo info = users.value(row.key, {QStringLiteral("(user %1)").arg(row.key), -1});
        row.name = info.name;
        const qint64 dept = departments.contains(info.department) ? info.department : -1;
        row.department = departments.value(dept);
        row.counts.Strategies = q.valueAt(r, "Total").toInt();
        row.counts.Completed = q.valueAt(r, "Done").toInt();
        row.counts.Open = row.counts.Strategies - row.counts.Completed;
        row.counts.Overdue = q.valueAt(r, "Late").toInt();
        out.users << row;
        out.total += row.counts;
        auto it = departmentRow.find(dept);
        if (it == departmentRow.end()) {
            it = departmentRow.insert(dept, int(out.departments.size()));
            out.departments << ProgressRow{
                dept, dept == -1 ? QStringLiteral("(no department)") : row.department, {}, {}};
        }
        out.departments[*it].counts += row.counts;
    }
    std::sort(out.users.begin(), out.users.end(), byName);
    std::sort(out.departments.begin(), out.departments.end(), byName);
    return out;
}

QVector<OverdueItem> listOverdue(DataModule& dm, const QDate& today) {
    const QHash<qint64, UserInfo> users = readUsers(dm);
    QVector<OverdueItem> out;
    auto fill = [&](engine::Query& q, int r, bool measurement) {
        OverdueItem it;
        it.isMeasurement = measurement;
        it.strategyID = q.valueAt(r, "StrategyID").toLongLong();
        it.userNumber = q.valueAt(r, "UserNumber").toInt();
        it.owner = users.value(it.userNumber).name;
        it.goalID = q.valueAt(r, "GoalID").toLongLong();
        it.goal = q.valueAt(r, "GoalDescription").toString();
        it.strategyNumber = q.valueAt(r, "StrategyNumber").toInt();
        if (measurement) {
            it.measurementID = q.valueAt(r, "MeasurementID").toLongLong();
            it.measurementNumber = q.valueAt(r, "MeasurementNumber").toInt();
        }
        it.due = q.valueAt(r, "CompleationDate").toDate();
        it.daysOverdue = int(it.due.daysTo(today));
        out << it;
    };
    engine::Query q(dm.goalDatabase);
    q.add(
        "Select S.StrategyID As StrategyID, S.StrategyNumber As StrategyNumber, S.UserNumber As UserNumber,");
    q.add("S.GoalID As GoalID, S.CompleationDate As CompleationDate, G.GoalDescription As GoalDescription");
    q.add("From \"Strategys.db\" S, \"goals.db\" G");
    q.add("Where S.GoalID = G.GoalID And S.UserNumber Is Not Null And S.CompleationDate < ",
          sql::Date{today});
    q.add("And (S.Compleated Is Null Or S.Compleated = ", sql::Bool{false}, ")");
    limitToVisibleUsers(dm, q, "S.UserNumber");
    q.open();
    out.reserve(q.recordCount());
    for (int r = 0; r < q.recordCount(); ++r)
        fill(q, r, false);
    q.close();

    // Measurement items are kept as records of their own only with multiple measurements. There
    // are many more of them than strategies: the late items and the strategies' few columns are
    // read in two passes and joined here, instead of one lookup of a strategy row per item.
    if (dm.user().settings.multipleMeasures) {
        q.clear();
        q.add("Select MeasurementID, MeasurementNumber, CompleationDate, StrategyID From \"Measure.db\"");
        // Most items lie in the past: reading the table in order beats a lookup per item through
        // the date index, which the expression around the column keeps the planner from using.
        q.add("Where Coalesce(CompleationDate, Null) < ", sql::Date{today});
        q.add("And (Compleated Is Null Or Compleated = ", sql::Bool{false}, ")");
        q.open();
        struct Late {
            qint64 measurement, strategy;
            int number;
            QDate due;
        };
        std::vector<Late> late;
        late.reserve(size_t(q.recordCount()));
        QSet<qint64> strategies;
        for (int r = 0; r < q.recordCount(); ++r) {
            late.push_back(
                {q.valueAt(r, "MeasurementID").toLongLong(), q.valueAt(r, "StrategyID").toLongLong(),
                 q.valueAt(r, "MeasurementNumber").toInt(), q.valueAt(r, "CompleationDate").toDate()});
            strategies.insert(late.back().strategy);
        }
        q.close();
        if (!late.empty()) {
            struct owner {
                int user, number;
                qint64 goal;
            };
            QHash<qint64, owner> owners;
            q.clear();
            q.add("Select StrategyID, StrategyNumber, UserNumber, GoalID From \"Strategys.db\"");
            q.add("Where UserNumber Is Not Null");
            limitToVisibleUsers(dm, q, "UserNumber");
            q.open();
            for (int r = 0; r < q.recordCount(); ++r) {
                const qint64 id = q.valueAt(r, "StrategyID").toLongLong();
                if (strategies.contains(id))
                    owners.insert(id,
                                  {q.valueAt(r, "UserNumber").toInt(), q.valueAt(r, "StrategyNumber").toInt(),
                                   q.valueAt(r, "GoalID").toLongLong()});
            }
            q.close();
            QHash<qint64, QString> goals;
            q.clear();
            q.add("Select GoalID, GoalDescription From \"goals.db\"");
            q.open();
            for (int r = 0; r < q.recordCount(); ++r)
                goals.insert(q.valueAt(r, "GoalID").toLongLong(), q.valueAt(r, "GoalDescription").toString());
            q.close();
            for (const Late& l : late) {
                const auto o = owners.constFind(l.strategy);
                const auto g = o == owners.constEnd() ? goals.constEnd() : goals.constFind(o->goal);
                if (g == goals.constEnd()) continue; // not visible, or its strategy or goal is gone
                OverdueItem it;
                it.isMeasurement = true;
                it.strategyID = l.strategy;
                it.measurementID = l.measurement;
                it.userNumber = o->user;
                it.owner = users.value(it.userNumber).name;
                it.goalID = o->goal;
                it.goal = *g;
                it.strategyNumber = o->number;
                it.measurementNumber = l.number;
                it.due = l.due;
                it.daysOverdue = int(l.due.daysTo(today));
                out << it;
            }
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const OverdueItem& a, const OverdueItem& b) {
        if (a.due != b.due) return a.due < b.due;
        if (a.strategyID != b.strategyID) return a.strategyID < b.strategyID;
        return a.measurementNumber < b.measurementNumber;
    });
    return out;
}

} // namespace data

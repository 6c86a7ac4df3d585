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
        row.counts.strategies = q.valueAt(r, "Total").toInt();
        row.counts.completed = q.valueAt(r, "Done").toInt();
        row.counts.open = row.counts.strategies - row.counts.completed;
        row.counts.overdue = q.valueAt(r, "Late").toInt();
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
    // Every result is read once, forward, straight into the items: the columns by position, as
    // the Selects name them.
    auto isoDate = [](const QVariant& v) { return QDate::fromString(v.toString(), Qt::ISODate); };
    engine::Query q(dm.goalDatabase);
    q.add(
        "Select S.StrategyID As StrategyID, S.StrategyNumber As StrategyNumber, S.UserNumber As UserNumber,");
    q.add("S.GoalID As GoalID, S.CompleationDate As CompleationDate, G.GoalDescription As GoalDescription");
    q.add("From \"Strategys.db\" S, \"goals.db\" G");
    q.add("Where S.GoalID = G.GoalID And S.UserNumber Is Not Null And S.CompleationDate < ",
          sql::Date{today});
    q.add("And (S.Compleated Is Null Or S.Compleated = ", sql::Bool{false}, ")");
    limitToVisibleUsers(dm, q, "S.UserNumber");
    q.forEachRow([&](const QVariantList& v) {
        OverdueItem it;
        it.isMeasurement = false;
        it.strategyID = v[0].toLongLong();
        it.strategyNumber = v[1].toInt();
        it.userNumber = v[2].toInt();
        it.owner = users.value(it.userNumber).name;
        it.goalID = v[3].toLongLong();
        it.due = isoDate(v[4]);
        it.goal = v[5].toString();
        it.daysOverdue = int(it.due.daysTo(today));
        out << it;
    });

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
        struct Late {
            qint64 measurement, strategy;
            int number;
            QDate due;
        };
        std::vector<Late> late;
        QSet<qint64> strategies;
        q.forEachRow([&](const QVariantList& v) {
            late.push_back({v[0].toLongLong(), v[3].toLongLong(), v[1].toInt(), isoDate(v[2])});
            strategies.insert(late.back().strategy);
        });
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
            q.forEachRow([&](const QVariantList& v) {
                const qint64 id = v[0].toLongLong();
                if (strategies.contains(id))
                    owners.insert(id, {v[2].toInt(), v[1].toInt(), v[3].toLongLong()});
            });
            QHash<qint64, QString> goals;
            q.clear();
            q.add("Select GoalID, GoalDescription From \"goals.db\"");
            q.forEachRow([&](const QVariantList& v) { goals.insert(v[0].toLongLong(), v[1].toString()); });
            out.reserve(out.size() + qsizetype(late.size()));
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

#include "data/Progress.h"

#include "data/CurrentUser.h"
#include "data/DataModule.h"

#include <QHash>
#include <algorithm>
#include <tuple>
#include <vector>

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

namespace {

// A date as the engine keeps it (ISO text), made without a text of its own where the store
// gives the bytes of the usual form; anything else is read as QDate reads ISO dates.
QDate isoDate(const QVariant& v) {
    if (v.typeId() == QMetaType::QByteArray) {
        const auto* b = static_cast<const QByteArray*>(v.constData());
        const auto digits = [&](int from, int n) {
            int value = 0;
            for (int i = from; i < from + n; ++i) {
                const char c = b->at(i);
                if (c < '0' || c > '9') return -1;
                value = value * 10 + (c - '0');
            }
            return value;
        };
        if (b->size() == 10 && b->at(4) == '-' && b->at(7) == '-') {
            const int y = digits(0, 4), m = digits(5, 2), d = digits(8, 2);
            if (y > 0 && m >= 0 && d >= 0) return QDate(y, m, d);
        }
    }
    return QDate::fromString(v.toString(), Qt::ISODate);
}

// What a late measurement item takes from its strategy: the texts are those of the lists of
// users and goals, which stay as they are while the items are made.
struct StrategyOwner {
    qint64 strategy = 0;
    qint64 goal = 0;
    const QString* owner = nullptr;
    const QString* goalText = nullptr;
    int user = 0;
    int number = 0;
};

// Most overdue first: by date, strategy and number, and items alike in all three in the order they
// were read. Sorted as small keys, then each item moved once to its place.
void sortByDue(QVector<OverdueItem>& items) {
    struct Key {
        qint64 due, strategy;
        int number, at;
    };
    std::vector<Key> keys;
    keys.reserve(size_t(items.size()));
    for (int i = 0; i < int(items.size()); ++i)
        keys.push_back({items[i].due.toJulianDay(), items[i].strategyID, items[i].measurementNumber, i});
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        return std::tie(a.due, a.strategy, a.number, a.at) < std::tie(b.due, b.strategy, b.number, b.at);
    });
    // Place p takes the item at keys[p].at: each cycle of places is walked once.
    for (int p = 0; p < int(keys.size()); ++p) {
        if (keys[size_t(p)].at == p) continue;
        OverdueItem held = std::move(items[p]);
        for (int to = p;;) {
            const int from = keys[size_t(to)].at;
            keys[size_t(to)].at = to;
            if (from == p) {
                items[to] = std::move(held);
                break;
            }
            items[to] = std::move(items[from]);
            to = from;
        }
    }
}

} // namespace

QVector<OverdueItem> listOverdue(DataModule& dm, const QDate& today) {
    const QHash<qint64, UserInfo> users = readUsers(dm);
    static const QString nobody;
    const auto nameOf = [&](int user) -> const QString& {
        const auto u = users.constFind(user);
        return u == users.constEnd() ? nobody : u->name;
    };
    QVector<OverdueItem> out;
    engine::Query q(dm.goalDatabase);
    const auto addStrategy = [&](const QVariantList& v, const QString& goal) {
        OverdueItem& it = out.emplace_back();
        it.strategyID = v[0].toLongLong();
        it.strategyNumber = v[1].toInt();
        it.userNumber = v[2].toInt();
        it.owner = nameOf(it.userNumber);
        it.goalID = v[3].toLongLong();
        it.due = isoDate(v[4]);
        it.goal = goal;
        it.daysOverdue = int(it.due.daysTo(today));
    };
    // Every result is read once, forward, straight into the items: the columns by position, as
    // the Selects name them.
    if (!dm.user().settings.multipleMeasures) {
        q.add("Select S.StrategyID As StrategyID, S.StrategyNumber As StrategyNumber, S.UserNumber As "
              "UserNumber,");
        q.add(
            "S.GoalID As GoalID, S.CompleationDate As CompleationDate, G.GoalDescription As GoalDescription");
        q.add("From \"Strategys.db\" S, \"goals.db\" G");
        q.add("Where S.GoalID = G.GoalID And S.UserNumber Is Not Null And S.CompleationDate < ",
              sql::Date{today});
        q.add("And (S.Compleated Is Null Or S.Compleated = ", sql::Bool{false}, ")");
        limitToVisibleUsers(dm, q, "S.UserNumber");
        q.forEachRow([&](const QVariantList& v) { addStrategy(v, v[5].toString()); });
    } else {
        // Measurement items are kept as records of their own only with multiple measurements.
        // There are many more of them than strategies: each table is read once, in order, and the
        // items are joined to their strategy and goal here, instead of one lookup of a strategy
        // row per item. The late strategies are items themselves, found in the same reading.
        QHash<qint64, QString> goals;
        q.add("Select GoalID, GoalDescription From \"goals.db\"");
        q.forEachRow([&](const QVariantList& v) { goals.insert(v[0].toLongLong(), v[1].toString()); });
        std::vector<StrategyOwner> owners;
        q.clear();
        q.add("Select StrategyID, StrategyNumber, UserNumber, GoalID, CompleationDate,");
        q.add("CompleationDate < ", sql::Date{today},
              " And (Compleated Is Null Or Compleated = ", sql::Bool{false}, ") As Late");
        q.add("From \"Strategys.db\" Where UserNumber Is Not Null");
        limitToVisibleUsers(dm, q, "UserNumber");
        q.forEachRow([&](const QVariantList& v) {
            const auto g = v[3].isNull() ? goals.constEnd() : goals.constFind(v[3].toLongLong());
            if (g == goals.constEnd()) return; // its goal is gone: none of its items is listed
            const int user = v[2].toInt();
            owners.push_back({v[0].toLongLong(), g.key(), &nameOf(user), &*g, user, v[1].toInt()});
            if (v[5].toBool()) addStrategy(v, *g);
        });
        // Read in key order as a rule; found by halving, the item's own strategy first tried.
        const auto byStrategy = [](const StrategyOwner& a, const StrategyOwner& b) {
            return a.strategy < b.strategy;
        };
        if (!std::is_sorted(owners.begin(), owners.end(), byStrategy))
            std::sort(owners.begin(), owners.end(), byStrategy);
        auto last = owners.cend();
        q.clear();
        q.add("Select MeasurementID, MeasurementNumber, CompleationDate, StrategyID From \"Measure.db\"");
        // Most items lie in the past: reading the table in order beats a lookup per item through
        // the date index, which the expression around the column keeps the planner from using.
        q.add("Where Coalesce(CompleationDate, Null) < ", sql::Date{today});
        q.add("And (Compleated Is Null Or Compleated = ", sql::Bool{false}, ")");
        q.forEachRow([&](const QVariantList& v) {
            const qint64 strategy = v[3].toLongLong();
            if (last == owners.cend() || last->strategy != strategy) {
                last = std::lower_bound(owners.cbegin(), owners.cend(), StrategyOwner{strategy}, byStrategy);
                if (last != owners.cend() && last->strategy != strategy) last = owners.cend();
            }
            if (last == owners.cend()) return; // not visible, or its strategy or goal is gone
            OverdueItem& it = out.emplace_back();
            it.isMeasurement = true;
            it.strategyID = strategy;
            it.measurementID = v[0].toLongLong();
            it.userNumber = last->user;
            it.owner = *last->owner;
            it.goalID = last->goal;
            it.goal = *last->goalText;
            it.strategyNumber = last->number;
            it.measurementNumber = v[1].toInt();
            it.due = isoDate(v[2]);
            it.daysOverdue = int(it.due.daysTo(today));
        });
    }
    sortByDue(out);
    return out;
}

} // namespace data

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

// What a late strategy or measurement item takes from its strategy.
struct StrategyOwner {
    qint64 strategy = 0;
    qint64 goal = 0;
    int user = 0;
    int number = 0;
};

// Most overdue first: by date, strategy and number; alike in all three, a late strategy before
// its items, and the items in the order of their keys.
using DueKey = std::tuple<qint64, qint64, int, bool, qint64>;
DueKey dueKey(const OverdueItem& it) {
    return {it.due.toJulianDay(), it.strategyID, it.measurementNumber, it.isMeasurement, it.measurementID};
}
bool mostOverdueFirst(const OverdueItem& a, const OverdueItem& b) {
    return dueKey(a) < dueKey(b);
}

} // namespace

namespace {
const QString& nameIn(const QHash<qint64, QString>& names, qint64 key) {
    static const QString none;
    const auto at = names.constFind(key);
    return at == names.constEnd() ? none : *at;
}
} // namespace

const QString& OverdueList::owner(const OverdueItem& it) const {
    return nameIn(owners, it.userNumber);
}

const QString& OverdueList::goal(const OverdueItem& it) const {
    return nameIn(goals, it.goalID);
}

OverdueList listOverdue(DataModule& dm, const QDate& today) {
    OverdueList list;
    const QHash<qint64, UserInfo> users = readUsers(dm);
    list.owners.reserve(users.size());
    for (auto u = users.cbegin(); u != users.cend(); ++u)
        list.owners.insert(u.key(), u->name);
    const bool measurementItems = dm.user().settings.multipleMeasures;
    engine::Query q(dm.goalDatabase);
    QHash<qint64, QString>& goals = list.goals;
    q.add("Select GoalID, GoalDescription From \"goals.db\"");
    q.forEachRow([&](const QVariantList& v) { goals.insert(v[0].toLongLong(), v[1].toString()); });

    // A late strategy (no measurement number or key) or measurement item, made whole in its place.
    const auto add = [&](QVector<OverdueItem>& to, const StrategyOwner& s, const QDate& due,
                         bool isMeasurement, qint64 measurement, int number) {
        to.push_back({.strategyID = s.strategy,
                      .measurementID = measurement,
                      .goalID = s.goal,
                      .due = due,
                      .userNumber = s.user,
                      .strategyNumber = s.number,
                      .measurementNumber = number,
                      .daysOverdue = int(due.daysTo(today)),
                      .isMeasurement = isMeasurement});
    };
    const auto lateCondition = [&] {
        q.add("CompleationDate < ", sql::Date{today},
              " And (Compleated Is Null Or Compleated = ", sql::Bool{false}, ")");
    };
    // The visible strategies whose goal is there: with measurement items every one of them (an
    // item takes its strategy's owner and goal), otherwise the late ones alone; the date comes
    // with a late strategy only. Every result is read once, forward, the columns by position as
    // the Selects name them; the items are joined to their strategy and goal here, instead of one
    // lookup of a strategy row per item.
    std::vector<StrategyOwner> owners;
    QVector<OverdueItem> held; // read out of the list's order: sorted before they join it
    // The long lists are given their room at once: growing them copy by copy costs more than
    // counting their rows through an index first.
    const auto counted = [&] {
        qint64 n = 0;
        q.forEachRow([&](const QVariantList& v) { n = v[0].toLongLong(); });
        return n;
    };
    if (measurementItems) {
        q.clear();
        q.add("Select Count(*) From \"Strategys.db\" Where UserNumber Is Not Null");
        limitToVisibleUsers(dm, q, "UserNumber");
        owners.reserve(size_t(counted()));
    }
    q.clear();
    q.add("Select StrategyID, StrategyNumber, UserNumber, GoalID, Case When");
    lateCondition();
    q.add("Then CompleationDate End As LateDate");
    q.add("From \"Strategys.db\" Where UserNumber Is Not Null");
    if (!measurementItems) {
        q.add("And");
        lateCondition();
    }
    limitToVisibleUsers(dm, q, "UserNumber");
    q.forEachRow([&](const QVariantList& v) {
        const auto g = v[3].isNull() ? goals.constEnd() : goals.constFind(v[3].toLongLong());
        if (g == goals.constEnd()) return; // its goal is gone: neither it nor its items are listed
        const int user = v[2].toInt();
        owners.push_back({v[0].toLongLong(), g.key(), user, v[1].toInt()});
        if (!v[4].isNull()) add(held, owners.back(), isoDate(v[4]), false, 0, 0);
    });
    if (!measurementItems) {
        std::sort(held.begin(), held.end(), mostOverdueFirst);
        list.items = std::move(held);
        return list;
    }

    // Measurement items are kept as records of their own only with multiple measurements. An
    // item's strategy is found by its key: the store hands keys out in turn, so that they lie
    // close together, and a table over their range finds each at once; keys far apart are found
    // by halving the list of them in order.
    std::sort(owners.begin(), owners.end(),
              [](const StrategyOwner& a, const StrategyOwner& b) { return a.strategy < b.strategy; });
    const qint64 firstKey = owners.empty() ? 0 : owners.front().strategy;
    const qint64 keyRange = owners.empty() ? 0 : owners.back().strategy - firstKey + 1;
    std::vector<int> byKey;
    if (keyRange <= 4 * qint64(owners.size())) {
        byKey.assign(size_t(keyRange), -1);
        for (size_t i = 0; i < owners.size(); ++i)
            byKey[size_t(owners[i].strategy - firstKey)] = int(i);
    }
    const auto ownerOf = [&](qint64 strategy) -> const StrategyOwner* {
        if (!byKey.empty()) {
            const qint64 at = strategy - firstKey;
            return at < 0 || at >= keyRange || byKey[size_t(at)] < 0 ? nullptr
                                                                     : &owners[size_t(byKey[size_t(at)])];
        }
        const auto at = std::lower_bound(owners.cbegin(), owners.cend(), strategy,
                                         [](const StrategyOwner& s, qint64 key) { return s.strategy < key; });
        return at == owners.cend() || at->strategy != strategy ? nullptr : &*at;
    };
    // The item of a row (its key and number, date, strategy) goes to `to` if its strategy was read.
    const auto addItem = [&](QVector<OverdueItem>& to, const QVariantList& v, const QDate& due) {
        const StrategyOwner* s = ownerOf(v[3].toLongLong());
        if (!s) return; // not visible, or its strategy or goal is gone
        add(to, *s, due, true, v[0].toLongLong(), v[1].toInt());
    };
    // Both reads go through the index on completion and date, which holds every column asked for:
    // the late items alone, without the memos of every item. Items never marked either way are
    // held with the late strategies; those marked not completed come in the list's order, and the
    // held ones join them in their places.
    const auto selectItems = [&](const char* columns, const char* completion) {
        q.clear();
        q.add("Select ", columns, " From \"Measure.db\"");
        q.add("Where CompleationDate < ", sql::Date{today}, completion);
    };
    const char* const itemColumns = "MeasurementID, MeasurementNumber, CompleationDate, StrategyID";
    selectItems(itemColumns, " And Compleated Is Null");
    q.forEachRow([&](const QVariantList& v) { addItem(held, v, isoDate(v[2])); });
    std::sort(held.begin(), held.end(), mostOverdueFirst);

    QVector<OverdueItem>& out = list.items;
    selectItems("Count(*)", " And Compleated = ");
    q.add(sql::Bool{false});
    out.reserve(held.size() + qsizetype(counted()));
    selectItems(itemColumns, " And Compleated = ");
    q.add(sql::Bool{false}, " Order By CompleationDate, StrategyID, MeasurementNumber, MeasurementID");
    qsizetype next = 0;
    const auto placeHeldBefore = [&](const DueKey* key) {
        for (; next < held.size() && (!key || dueKey(held[next]) < *key); ++next)
            out.push_back(held[next]);
    };
    // The store's order and the list's differ only for dates not in the usual form or numbers with
    // fractions: then the list is sorted once more.
    DueKey last{};
    bool inOrder = true;
    q.forEachRow([&](const QVariantList& v) {
        const QDate due = isoDate(v[2]);
        const DueKey key{due.toJulianDay(), v[3].toLongLong(), v[1].toInt(), true, v[0].toLongLong()};
        inOrder = inOrder && !(key < last);
        last = key;
        placeHeldBefore(&key);
        addItem(out, v, due);
    });
    placeHeldBefore(nullptr);
    if (!inOrder) std::sort(out.begin(), out.end(), mostOverdueFirst);
    return list;
}

} // namespace data

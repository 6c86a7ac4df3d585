#include "data/Progress.h"

#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "engine/RowView.h"

#include <QHash>
#include <QtGlobal>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

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

// What a late strategy or measurement item takes from its strategy.
struct StrategyOwner {
    qint64 strategy = 0;
    qint64 goal = 0;
    int user = 0;
    int number = 0;
};

// Asks the system for a buffer about to be written for the first time to be given in large
// pages (2 MB) where it can, instead of small ones (4 KB): a list of a few hundred thousand items
// is written once into fresh memory, and a fault for every small page of it costs more, on a
// virtual machine, than reading the items. Advice only: nothing else changes.
void preferLargePages(void* data, size_t bytes) {
#ifdef Q_OS_LINUX
    // The whole large pages that lie inside the buffer.
    constexpr quintptr large = quintptr(2) << 20;
    const quintptr at = reinterpret_cast<quintptr>(data);
    const quintptr head = (large - at % large) % large;
    const quintptr tail = (at + bytes) % large;
    if (bytes > head + tail) madvise(static_cast<char*>(data) + head, bytes - head - tail, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}

// The visible strategies by key, for the items that name them. The store hands keys out in turn,
// so that they lie close together: a table over the range of every key there is holds each
// strategy in the place of its key, found at once (the items come in the order of their dates,
// their strategies anywhere); its room is given zeroed and untouched, so that places no strategy
// takes cost no memory. Keys too far apart for that are found by halving the list of them in order.
class StrategiesByKey {
public:
    StrategiesByKey(qint64 firstKey, qint64 lastKey) : first_(firstKey) {
        const qint64 range = lastKey - firstKey + 1;
        if (range <= 0 || range > kMostPlaces) return;
        places_.reset(static_cast<StrategyOwner*>(std::calloc(size_t(range), sizeof(StrategyOwner))));
        if (!places_) return;
        range_ = range;
        taken_.assign(size_t(range), false);
    }
    void add(const StrategyOwner& s) {
        const qint64 at = s.strategy - first_;
        if (at >= 0 && at < range_) {
            places_.get()[at] = s;
            taken_[size_t(at)] = true;
        } else {
            // Written after the range was read, or no room for a table.
            others_.push_back(s);
        }
    }
    // Called once every strategy is added, before the first find.
    void sortOthers() {
        std::sort(others_.begin(), others_.end(),
                  [](const StrategyOwner& a, const StrategyOwner& b) { return a.strategy < b.strategy; });
    }
    // Asks for the place of a strategy before find() needs it.
    void prefetch(qint64 strategy) const {
        const qint64 at = strategy - first_;
        if (at >= 0 && at < range_) __builtin_prefetch(places_.get() + at);
    }
    const StrategyOwner* find(qint64 strategy) const {
        const qint64 at = strategy - first_;
        if (at >= 0 && at < range_) return taken_[size_t(at)] ? places_.get() + at : nullptr;
        const auto it = std::lower_bound(others_.cbegin(), others_.cend(), strategy,
                                         [](const StrategyOwner& s, qint64 key) { return s.strategy < key; });
        return it == others_.cend() || it->strategy != strategy ? nullptr : &*it;
    }

private:
    static constexpr qint64 kMostPlaces = qint64(1) << 24;
    struct Free {
        void operator()(StrategyOwner* p) const { std::free(p); }
    };
    qint64 first_ = 0;
    qint64 range_ = 0;
    std::unique_ptr<StrategyOwner, Free> places_;
    std::vector<bool> taken_;
    std::vector<StrategyOwner> others_;
};

// The most items the list is given room for before it is read.
constexpr qint64 kMostItemsAtOnce = qint64(1) << 23;

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
    engine::forEachRow(q, [&](const engine::RowView& v) { goals.insert(v.integer(0), v.text(1)); });

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
    // The first or last key of a table: found at once, as a table is kept in the order of its keys.
    const auto keyAtEnd = [&](const char* end, const char* column, const char* file) {
        q.clear();
        q.add(QStringLiteral("Select %1(%2) From \"%3\"")
                  .arg(QLatin1String(end), QLatin1String(column), QLatin1String(file)));
        qint64 key = 0;
        engine::forEachRow(q, [&](const engine::RowView& v) { key = v.integer(0); });
        return key;
    };
    // The visible strategies whose goal is there: with measurement items every one of them (an
    // item takes its strategy's owner and goal), otherwise the late ones alone; the date comes
    // with a late strategy only. Every result is read once, forward, the columns by position as
    // the Selects name them and without a QVariant for each value; the items are joined to their
    // strategy and goal here, instead of one lookup of a strategy row per item.
    std::optional<StrategiesByKey> strategies;
    if (measurementItems)
        strategies.emplace(keyAtEnd("Min", "StrategyID", "Strategys.db"),
                           keyAtEnd("Max", "StrategyID", "Strategys.db"));
    QVector<OverdueItem> held; // read out of the list's order: sorted before they join it
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
    // The strategies come by owner and goal: a goal is looked for once for the run of its
    // strategies, not once for each.
    qint64 lastGoal = 0;
    bool lastGoalThere = false, anyGoal = false;
    engine::forEachRow(q, [&](const engine::RowView& v) {
        if (v.isNull(3)) return;
        const qint64 goal = v.integer(3);
        if (!anyGoal || goal != lastGoal) {
            lastGoalThere = goals.contains(goal);
            lastGoal = goal;
            anyGoal = true;
        }
        if (!lastGoalThere) return; // its goal is gone: neither it nor its items are listed
        const StrategyOwner s{v.integer(0), goal, int(v.integer(2)), int(v.integer(1))};
        if (strategies) strategies->add(s);
        if (!v.isNull(4)) add(held, s, v.date(4), false, 0, 0);
    });
    if (!measurementItems) {
        std::sort(held.begin(), held.end(), mostOverdueFirst);
        list.items = std::move(held);
        return list;
    }

    // Measurement items are kept as records of their own only with multiple measurements.
    strategies->sortOthers();
    // The item of a row (its key and number, date, strategy) goes to `to` if its strategy was read.
    const auto addItem = [&](QVector<OverdueItem>& to, const engine::RowView& v, const QDate& due) {
        const StrategyOwner* s = strategies->find(v.integer(3));
        if (!s) return; // not visible, or its strategy or goal is gone
        add(to, *s, due, true, v.integer(0), int(v.integer(1)));
    };
    // Both reads go through the index on completion and date, which holds every column asked for:
    // the late items alone, without the memos of every item. Items never marked either way are
    // held with the late strategies; those marked not completed come in the list's order, and the
    // held ones join them in their places.
    const auto selectItems = [&](const char* completion) {
        q.clear();
        q.add("Select MeasurementID, MeasurementNumber, CompleationDate, StrategyID From \"Measure.db\"");
        q.add("Where CompleationDate < ", sql::Date{today}, completion);
    };
    selectItems(" And Compleated Is Null");
    engine::forEachRow(q, [&](const engine::RowView& v) { addItem(held, v, v.date(2)); });
    std::sort(held.begin(), held.end(), mostOverdueFirst);

    // The list is given room for every item there is at once, not grown copy by copy: room not
    // written is never given memory.
    QVector<OverdueItem>& out = list.items;
    const qint64 items =
        keyAtEnd("Max", "MeasurementID", "Measure.db") - keyAtEnd("Min", "MeasurementID", "Measure.db") + 1;
    out.reserve(held.size() + (items > 0 && items <= kMostItemsAtOnce ? qsizetype(items) : 0));
    preferLargePages(out.data(), size_t(out.capacity()) * sizeof(OverdueItem));
    selectItems(" And Compleated = ");
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
    // These items come in the order of their dates, their strategies anywhere: each is taken
    // without its strategy first, and the strategies are joined in one pass afterwards that asks
    // for the strategy of an item some items ahead, instead of waiting for memory at every item.
    engine::forEachRow(q, [&](const engine::RowView& v) {
        const QDate due = v.date(2);
        const qint64 item = v.integer(0), strategy = v.integer(3);
        const int number = int(v.integer(1));
        const DueKey key{due.toJulianDay(), strategy, number, true, item};
        inOrder = inOrder && !(key < last);
        last = key;
        placeHeldBefore(&key);
        out.push_back({.strategyID = strategy,
                       .measurementID = item,
                       .due = due,
                       .measurementNumber = number,
                       .daysOverdue = int(due.daysTo(today)),
                       .isMeasurement = true});
    });
    placeHeldBefore(nullptr);
    constexpr qsizetype ahead = 16;
    OverdueItem* const read = out.data();
    qsizetype kept = 0;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (i + ahead < out.size()) strategies->prefetch(read[i + ahead].strategyID);
        OverdueItem& it = read[i];
        if (it.isMeasurement) {
            const StrategyOwner* s = strategies->find(it.strategyID);
            if (!s) continue; // not visible, or its strategy or goal is gone
            it.goalID = s->goal;
            it.userNumber = s->user;
            it.strategyNumber = s->number;
        }
        read[kept++] = it;
    }
    out.resize(kept);
    if (!inOrder) std::sort(out.begin(), out.end(), mostOverdueFirst);
    return list;
}

} // namespace data

// The completion overview and the overdue list against a small, hand-counted set of strategies
// with dates on either side of "today".

#include "data/Progress.h"
#include "support/DataFixture.h"

#include <gtest/gtest.h>

using testing_support::DataFixture;

class Progress : public DataFixture {
protected:
    const QDate today{2026, 6, 15};
    const QDate past{2026, 6, 10}, future{2026, 6, 20};

    void SetUp() override {
        DataFixture::SetUp();
        sales = insertRow(dm->departmentTable, {{"Description", "Sales"}});
        finance = insertRow(dm->departmentTable, {{"Description", "Finance"}});
        u1 = addUser("U1", "", "Ann", 1, sales);
        u2 = addUser("U2", "", "Bob", 1, sales);
        u3 = addUser("U3", "", "Cid", 1, finance);
        u4 = addUser("U4", "", "Dee", 1);
        addAccess(u1, u2, false);
        addAccess(u1, u3, true);
        dm->user().number = u1;
        data::readAccessLists(*dm, dm->user());

        g1 = addGoal("G1", 2026, 1, u1, u1);
        g2 = addGoal("G2", 2026, 2, {}, u1);
        g3 = addGoal("G3", 2025, 1, u1, u1);
        // Ann: 4 under G1 (1 completed, 3 open, 1 of them overdue); 1 overdue under last year's G3.
        addStrategy(g1, u1, past, true);
        s1 = addStrategy(g1, u1, past, false);
        addStrategy(g1, u1, future, false);
        addStrategy(g1, u1, {}, false);
        addStrategy(g1, u1, today, false); // due today is not overdue yet
        addStrategy(g3, u1, QDate(2025, 12, 31), false);
        // Bob: 3 under G1 (1 completed, 2 open and overdue).
        s2 = addStrategy(g1, u2, past.addDays(-30), false);
        addStrategy(g1, u2, past, false);
        addStrategy(g1, u2, future, true);
        // Cid: 1 under G2, open and overdue. Dee (not visible to Ann): 1 under G1, overdue.
        addStrategy(g2, u3, past, false);
        s4 = addStrategy(g1, u4, past, false);
    }
    int addStrategy(int goal, int user, QDate due, bool done) {
        return insertRow(dm->strategyTable, {{"GoalID", goal},
                                             {"UserNumber", user},
                                             {"StrategyNumber", ++number},
                                             {"CompleationDate", due.isValid() ? QVariant(due) : QVariant()},
                                             {"Compleated", done}});
    }
    static QString line(const data::ProgressRow& r) {
        return QStringLiteral("%1: %2 %3 %4 %5")
            .arg(r.name)
            .arg(r.counts.strategies)
            .arg(r.counts.completed)
            .arg(r.counts.open)
            .arg(r.counts.overdue);
    }
    static QStringList lines(const QVector<data::ProgressRow>& rows) {
        QStringList out;
        for (const auto& r : rows)
            out << line(r);
        return out;
    }
    int sales = 0, finance = 0, u1 = 0, u2 = 0, u3 = 0, u4 = 0, g1 = 0, g2 = 0, g3 = 0, s1 = 0, s2 = 0,
        s4 = 0;
    int number = 0;
};
VARDIMO_ON_ALL_STORES(Progress);

TEST_P(Progress, OverviewCountsPerUserAndDepartment) {
    data::ProgressOverview o = data::computeProgressOverview(*dm, 2026, -1, today);
    EXPECT_EQ(lines(o.users), QStringList({"Ann: 5 1 4 1", "Bob: 3 1 2 2", "Cid: 1 0 1 1"}));
    EXPECT_EQ(lines(o.departments), QStringList({"Finance: 1 0 1 1", "Sales: 8 2 6 3"}));
    EXPECT_EQ(o.users[0].department, "Sales");
    EXPECT_EQ(o.total.strategies, 9);
    EXPECT_EQ(o.total.overdue, 4);

    o = data::computeProgressOverview(*dm, 2026, 1, today);
    EXPECT_EQ(lines(o.users), QStringList({"Ann: 5 1 4 1", "Bob: 3 1 2 2"})) << "one goal type";
    o = data::computeProgressOverview(*dm, 2025, -1, today);
    EXPECT_EQ(lines(o.users), QStringList({"Ann: 1 0 1 1"}));

    // Seeing everyone brings in Dee, who has no department: that row comes last.
    dm->user().rights.canViewAllStrategies = true;
    o = data::computeProgressOverview(*dm, 2026, -1, today);
    EXPECT_EQ(lines(o.users), QStringList({"Ann: 5 1 4 1", "Bob: 3 1 2 2", "Cid: 1 0 1 1", "Dee: 1 0 1 1"}));
    EXPECT_EQ(lines(o.departments),
              QStringList({"Finance: 1 0 1 1", "Sales: 8 2 6 3", "(no department): 1 0 1 1"}));

    // Only one's own, without access rows.
    dm->user().rights = data::ProfileRights();
    dm->user().canSee.clear();
    o = data::computeProgressOverview(*dm, 2026, -1, today);
    EXPECT_EQ(lines(o.users), QStringList({"Ann: 5 1 4 1"}));
}

TEST_P(Progress, OverdueListsWhatIsLateForTheUsersOneSees) {
    data::OverdueList items = data::listOverdue(*dm, today);
    QStringList got;
    for (const auto& it : items)
        got << QStringLiteral("%1 %2 #%3 %4 %5")
                   .arg(items.owner(it), items.goal(it))
                   .arg(it.strategyNumber)
                   .arg(it.due.toString(Qt::ISODate))
                   .arg(it.daysOverdue);
    EXPECT_EQ(got,
              QStringList({"Ann G3 #6 2025-12-31 166", "Bob G1 #7 2026-05-11 35", "Ann G1 #2 2026-06-10 5",
                           "Bob G1 #8 2026-06-10 5", "Cid G2 #10 2026-06-10 5"}));
    EXPECT_EQ(items[1].strategyID, s2);
    EXPECT_FALSE(items[1].isMeasurement);

    // With multiple measurements the late measurement items come too, of visible users only.
    auto measure = [&](int strategy, int n, QDate due, bool done) {
        insertRow(dm->measureTable, {{"StrategyID", strategy},
                                     {"MeasurementNumber", n},
                                     {"CompleationDate", due},
                                     {"Compleated", done}});
    };
    measure(s1, 1, QDate(2026, 1, 1), false);
    measure(s1, 2, QDate(2026, 1, 1), true);
    measure(s1, 3, future, false);
    measure(s4, 1, QDate(2026, 1, 1), false);
    EXPECT_EQ(data::listOverdue(*dm, today).size(), 5) << "measurement items only with multiple measurements";
    dm->user().settings.multipleMeasures = true;
    items = data::listOverdue(*dm, today);
    ASSERT_EQ(items.size(), 6);
    EXPECT_TRUE(items[1].isMeasurement);
    EXPECT_EQ(items[1].strategyID, s1);
    EXPECT_EQ(items[1].measurementNumber, 1);
    EXPECT_EQ(items[1].daysOverdue, 165);
    EXPECT_EQ(items.owner(items[1]), "Ann");
}

TEST_P(Progress, OverdueWithMultipleMeasurementsListsEachLateItemOnceInDateStrategyAndNumberOrder) {
    auto measure = [&](int strategy, int n, QDate due, bool done) {
        insertRow(dm->measureTable, {{"StrategyID", strategy},
                                     {"MeasurementNumber", n},
                                     {"CompleationDate", due},
                                     {"Compleated", done}});
    };
    const QDate newYear(2026, 1, 1);
    measure(s1, 2, past, false); // due with its strategy: after it, by number
    measure(s1, 1, past, false);
    measure(s1, 3, newYear, false);
    measure(s1, 4, newYear, true);
    // Items never marked either way are late as well, each in its place among the others.
    insertRow(dm->measureTable, {{"StrategyID", s1}, {"MeasurementNumber", 5}, {"CompleationDate", newYear}});
    insertRow(dm->measureTable, {{"StrategyID", s2}, {"MeasurementNumber", 1}, {"CompleationDate", past}});
    measure(s4, 1, newYear, false); // Dee's, whom Ann does not see
    // A strategy of nobody, and one whose goal is gone: none of their items is anyone's to do.
    const int nobodys =
        insertRow(dm->strategyTable,
                  {{"GoalID", g1}, {"StrategyNumber", 90}, {"CompleationDate", past}, {"Compleated", false}});
    measure(nobodys, 1, newYear, false);
    const int g9 = addGoal("G9", 2026, 1, u1, u1);
    const int orphan = addStrategy(g9, u1, past, false);
    measure(orphan, 1, newYear, false);
    engine::execute(dm->goalDatabase, "Delete From \"goals.db\" Where GoalID = ", engine::sql::Int{g9});
    // A strategy whose key lies far from the others'.
    const int far = addStrategy(g2, u3, {}, false);
    engine::execute(dm->goalDatabase, "Update \"Strategys.db\" Set StrategyID = ", engine::sql::Int{1000000},
                    " Where StrategyID = ", engine::sql::Int{far});
    measure(1000000, 1, past, false);

    dm->user().settings.multipleMeasures = true;
    const auto listed = [&] {
        QStringList got;
        const data::OverdueList list = data::listOverdue(*dm, today);
        for (const auto& it : list)
            got << QStringLiteral("%1 %2 #%3%4 %5 %6")
                       .arg(list.owner(it), list.goal(it))
                       .arg(it.strategyNumber)
                       .arg(it.isMeasurement ? QStringLiteral(".%1").arg(it.measurementNumber) : QString())
                       .arg(it.due.toString(Qt::ISODate))
                       .arg(it.daysOverdue);
        return got;
    };
    const QStringList got = listed();
    EXPECT_EQ(
        got, QStringList({"Ann G3 #6 2025-12-31 166", "Ann G1 #2.3 2026-01-01 165",
                          "Ann G1 #2.5 2026-01-01 165", "Bob G1 #7 2026-05-11 35", "Ann G1 #2 2026-06-10 5",
                          "Ann G1 #2.1 2026-06-10 5", "Ann G1 #2.2 2026-06-10 5", "Bob G1 #7.1 2026-06-10 5",
                          "Bob G1 #8 2026-06-10 5", "Cid G2 #10 2026-06-10 5", "Cid G2 #13.1 2026-06-10 5"}));

    // Keys too far apart for a table over their range are found all the same.
    const int farther = 1 << 26;
    engine::execute(dm->goalDatabase, "Update \"Strategys.db\" Set StrategyID = ", engine::sql::Int{farther},
                    " Where StrategyID = ", engine::sql::Int{1000000});
    engine::execute(dm->goalDatabase, "Update \"Measure.db\" Set StrategyID = ", engine::sql::Int{farther},
                    " Where StrategyID = ", engine::sql::Int{1000000});
    EXPECT_EQ(listed(), got);
}

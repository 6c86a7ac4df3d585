// Record rules against a real database: filters, stamps, calculated fields, numbering.

#include "support/DataFixture.h"
#include "support/Peer.h"

#include <QDateTime>
#include <QFile>
#include <gtest/gtest.h>
#include <iostream>

using testing_support::DataFixture;

class Rules : public DataFixture {
protected:
    QStringList listed(engine::Table& t, const char* field) {
        t.setFiltered(false);
        t.setFiltered(true);
        QStringList out;
        for (t.first(); !t.eof(); t.next())
            out << t.field(field).asString();
        return out;
    }
    int addStrategy(int goal, int user, int number, const QString& text = "s") {
        return insertRow(dm->strategyTable, {{"GoalID", goal},
                                             {"UserNumber", user},
                                             {"StrategyNumber", number},
                                             {"StrategyDescription", text}});
    }
};
VARDIMO_ON_ALL_STORES(Rules);

TEST_P(Rules, GoalFilterByYearTypeUserAndOwner) {
    addGoal("A 2002 type 3", 2002, 3, 7, 7);
    addGoal("B 2002 type 4", 2002, 4, 7, 7);
    addGoal("C 2003 type 3", 2003, 3, 7, 7);
    addGoal("D no year type 9", {}, 9, 7, 7);
    addGoal("E 2002 type 3 for 8", 2002, 3, 8, 9);
    addGoal("F 2002 type 3 global", 2002, 3, {}, 9);
    dm->setGoalFilter({.year = 2002, .type = 3});
    EXPECT_EQ(
        listed(dm->goalsTable, "GoalDescription"),
        QStringList({"A 2002 type 3", "D no year type 9", "E 2002 type 3 for 8", "F 2002 type 3 global"}));
    dm->setGoalFilter({.year = std::nullopt, .type = 3});
    EXPECT_EQ(listed(dm->goalsTable, "GoalDescription").size(), 6) << "no year filter: every type and year";

    // The strategies screen's selection: a user's goals and the global ones.
    dm->setGoalFilter({.year = 2002, .type = -1, .byUser = true, .user = 7});
    EXPECT_EQ(listed(dm->goalsTable, "GoalDescription"),
              QStringList({"A 2002 type 3", "B 2002 type 4", "D no year type 9", "F 2002 type 3 global"}));

    // The goals screen's selection: owners only, unless the user may modify every goal.
    dm->setGoalFilter({.year = 2002, .type = -1, .ownOnly = true});
    dm->user().number = 9;
    EXPECT_EQ(listed(dm->goalsTable, "GoalDescription"),
              QStringList({"E 2002 type 3 for 8", "F 2002 type 3 global"}));
    dm->user().number = 8;
    EXPECT_TRUE(listed(dm->goalsTable, "GoalDescription").isEmpty()) << "a goal for him but owned by another";
    dm->user().rights.canModifyAllGoals = true;
    EXPECT_EQ(listed(dm->goalsTable, "GoalDescription").size(), 5);
}

TEST_P(Rules, GoalFilterShowsEveryAcceptedGoalOfEachKind) {
    // Every kind of goal: of a year or none, of a type or none, for a user or global, owned by the
    // logged-on user or another.
    struct Goal {
        QVariant year, type, user;
        int owner;
    };
    std::vector<Goal> goals;
    for (const QVariant& year : {QVariant(2002), QVariant(2003), QVariant()})
        for (const QVariant& type : {QVariant(3), QVariant(4), QVariant()})
            for (const QVariant& user : {QVariant(7), QVariant(8), QVariant()})
                for (const int owner : {7, 9}) {
                    goals.push_back({year, type, user, owner});
                    addGoal(QStringLiteral("goal %1").arg(goals.size(), 2, 10, QLatin1Char('0')), year, type,
                            user, owner);
                }
    dm->user().number = 7;
    for (const std::optional<int> year : {std::optional<int>(2002), std::optional<int>()})
        for (const int type : {3, -1})
            for (const bool byUser : {true, false})
                for (const bool ownOnly : {false, true}) {
                    const data::GoalFilter f{
                        .year = year, .type = type, .byUser = byUser, .user = 7, .ownOnly = ownOnly};
                    QStringList expected;
                    for (size_t i = 0; i < goals.size(); ++i) {
                        const Goal& g = goals[i];
                        const bool yearFits =
                            !year || g.year.isNull() ||
                            (g.year.toInt() == *year && (type == -1 || g.type == QVariant(type)));
                        const bool userFits = !byUser || g.user.isNull() || g.user.toInt() == 7;
                        if (yearFits && userFits && (!ownOnly || g.owner == 7))
                            expected << QStringLiteral("goal %1").arg(i + 1, 2, 10, QLatin1Char('0'));
                    }
                    dm->setGoalFilter(f);
                    const std::string which = QStringLiteral("year %1 type %2 by user %3 own only %4")
                                                  .arg(year.value_or(0))
                                                  .arg(type)
                                                  .arg(byUser)
                                                  .arg(ownOnly)
                                                  .toStdString();
                    EXPECT_EQ(listed(dm->goalsTable, "GoalDescription"), expected) << which;
                }
}

TEST_P(Rules, StrategyMeasureAccessAndUserFilters) {
    const int g1 = addGoal("g1", 2002, 1), g2 = addGoal("g2", 2002, 1);
    addStrategy(g1, 7, 1, "mine");
    addStrategy(g1, 8, 1, "other user");
    addStrategy(g2, 7, 1, "other goal");
    dm->strategyTable.insert();
    dm->strategyTable.field("GoalID").setValue(g1);
    dm->strategyTable.field("StrategyDescription").setValue("nobody's");
    dm->strategyTable.post();
    dm->setStrategySelection({g1, 7});
    EXPECT_EQ(listed(dm->strategyTable, "StrategyDescription"), QStringList({"mine"}));
    dm->setStrategySelection({g1, -1});
    EXPECT_EQ(listed(dm->strategyTable, "StrategyDescription"), QStringList({"nobody's"}))
        << "an empty user is taken as -1";

    for (int s : {5, 5, 6}) {
        dm->measureTable.insert();
        dm->measureTable.field("StrategyID").setValue(s);
        dm->measureTable.field("Measurement").setValue(QString("m of %1").arg(s));
        dm->measureTable.post();
    }
    dm->setMeasuredStrategy(5);
    EXPECT_EQ(listed(dm->measureTable, "Measurement").size(), 2);

    const int staff = addProfile("Staff", {});
    const int u1 = addUser("one", "", "One", staff);
    addUser("zero", "", "Zero", 0);
    // Stored before a user needed a profile.
    engine::Inserter(dm->goalDatabase, "User.db", {"UserID", "UserName"}).add({"none", "No profile"});
    dm->userSettingsTable.refresh();
    EXPECT_EQ(listed(dm->userSettingsTable, "UserID"), QStringList({"none", "one"}))
        << "profile 0 is hidden; a user without a profile is listed, to be given one";
    dm->setUserIdFilter("ZERO");
    EXPECT_EQ(listed(dm->userSettingsTable, "UserID"), QStringList({"zero"}));
    EXPECT_EQ(listed(dm->securityTable, "Description"), QStringList({"Staff"}));

    addAccess(u1, 4, true);
    addAccess(u1, 5, false);
    addAccess(99, 4, true);
    dm->setAccessListOwner(u1);
    EXPECT_EQ(listed(dm->accessListTable, "CanSeeUser"), QStringList({"4", "5"}));
}

TEST_P(Rules, StampsCalculatedFieldsAndNumbering) {
    dm->user().number = 42;
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const int g = addGoal("stamped", 2002, 1);
    EXPECT_EQ(dm->goalsTable.field("ModifiedBy").asInteger(), 42);
    EXPECT_GE(dm->goalsTable.field("ModifieDate").asDateTime(), before);
    EXPECT_LE(dm->goalsTable.field("ModifieDate").asDateTime(), QDateTime::currentDateTime().addSecs(1));
    dm->departmentTable.insert();
    dm->departmentTable.field("Description").setValue("Sales");
    dm->departmentTable.post();
    EXPECT_EQ(dm->departmentTable.field("ModifiedBy").asInteger(), 42);
    EXPECT_GE(dm->departmentTable.field("ModifiedDate").asDateTime(), before);
    EXPECT_TRUE(dm->userSettingsTable.hasField("UserName"));
    EXPECT_FALSE(dm->userSettingsTable.hasField("ModifiedBy")) << "users carry no stamps";

    EXPECT_EQ(dm->nextStrategyNumber({g, 7}), 1);
    const QString longText = QString(100, 'x');
    addStrategy(g, 7, 1, longText);
    addStrategy(g, 7, 2);
    addStrategy(g, 7, 5);
    addStrategy(g, 8, 9);
    EXPECT_EQ(dm->nextStrategyNumber({g, 7}), 6);
    EXPECT_EQ(dm->nextStrategyNumber({g, 8}), 10);
    dm->setStrategySelection({g, 7});
    dm->strategyTable.first();
    EXPECT_EQ(dm->strategyTable.field("ShortStrategy").asString(), QString(80, 'x'));
    EXPECT_EQ(dm->strategyTable.field("GoalDescription").asString(), "stamped");
    EXPECT_EQ(dm->strategyTable.field("ModifiedBy").asInteger(), 42);

    dm->setMeasuredStrategy(3);
    EXPECT_EQ(dm->nextMeasurementNumber(3), 1);
    dm->measureTable.insert();
    dm->measureTable.field("StrategyID").setValue(3);
    dm->measureTable.field("MeasurementNumber").setValue(4);
    dm->measureTable.field("Deliverable").setValue(QString(90, 'd'));
    dm->measureTable.post();
    EXPECT_EQ(dm->nextMeasurementNumber(3), 5);
    EXPECT_EQ(dm->measureTable.field("ShortDescription").asString(), QString(80, 'd'));
    EXPECT_EQ(dm->measureTable.field("ShortMeasure").asString(), "");
    EXPECT_EQ(dm->measureTable.field("ModifiedBy").asInteger(), 42);
}

TEST_P(Rules, AStrategyNumberUsedMeanwhileGivesWayToTheNextFreeOne) {
    const int g = addGoal("numbered", 2002, 1);
    addStrategy(g, 7, 1);
    addStrategy(g, 7, 4);
    addStrategy(g, 8, 5);
    engine::Table& s = dm->strategyTable;
    EXPECT_EQ(s.field("StrategyNumber").asInt(), 5) << "free for user 8 under this goal";
    addStrategy(g, 7, 4);
    EXPECT_EQ(s.field("StrategyNumber").asInt(), 5) << "4 was taken: one more than the highest";
    addStrategy(g, 7, 2);
    EXPECT_EQ(s.field("StrategyNumber").asInt(), 2) << "a free number below the highest stays";
    insertRow(s, {{"GoalID", g}, {"UserNumber", 7}});
    EXPECT_EQ(s.field("StrategyNumber").asInt(), 6) << "no number: the next one";

    // A stored strategy keeps its number, also one another strategy has.
    ASSERT_TRUE(s.locate("StrategyNumber", 2));
    s.edit();
    s.field("StrategyNumber").setValue(1);
    s.post();
    EXPECT_EQ(s.field("StrategyNumber").asInt(), 1);
}

TEST_P(Rules, TwoWorkstationsInsertingStrategiesAtOnceNeverShareANumber) {
    const int g = addGoal("busy", 2002, 1);
    const int perWorkstation = 40;
    const QString go = dir.file("go");
    testing_support::Peer first(store.location(), "first"), second(store.location(), "second");
    const QString command = QString("strategies %1 7 %2 %3").arg(g).arg(perWorkstation).arg(go);
    ASSERT_EQ(first.send(command), "ok ready");
    ASSERT_EQ(second.send(command), "ok ready");
    {
        QFile start(go);
        ASSERT_TRUE(start.open(QIODevice::WriteOnly));
    }
    const QString a = first.send("", 120000), b = second.send("", 120000);
    ASSERT_TRUE(a.startsWith("ok done") && b.startsWith("ok done")) << a.toStdString() << b.toStdString();
    std::cout << "numbers taken meanwhile by the other workstation: " << a.mid(8).toStdString() << " and "
              << b.mid(8).toStdString() << "\n";

    engine::Query q(dm->goalDatabase);
    q.add("Select StrategyNumber From \"Strategys.db\" Where GoalID = ", engine::sql::Int{g});
    q.add("Order By StrategyNumber");
    q.open();
    QList<int> numbers, expected;
    for (q.first(); !q.eof(); q.next())
        numbers << q.field("StrategyNumber").asInt();
    for (int n = 1; n <= 2 * perWorkstation; ++n)
        expected << n;
    EXPECT_EQ(numbers, expected);
}

// Copying a year's goals into the next: which goals, which strategies, their numbers, and that a
// failure leaves nothing behind.

#include "data/GoalCopy.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Query.h"
#include "support/DataFixture.h"
#include "support/Peer.h"

#include <QDateTime>
#include <QHash>
#include <gtest/gtest.h>

using testing_support::DataFixture;

class GoalCopy : public DataFixture {
protected:
    void SetUp() override {
        DataFixture::SetUp();
        me = addUser("ME", "", "Me", 1);
        other = addUser("OTHER", "", "Other", 1);
        dm->user().number = me;
    }
    int addStrategy(int goal, int user, int number, bool done, const QString& text) {
        return insertRow(dm->strategyTable, {{"GoalID", goal},
                                             {"UserNumber", user},
                                             {"StrategyNumber", number},
                                             {"StrategyDescription", text},
                                             {"Responsibility", text + " r"},
                                             {"CompleationDate", QDate(2026, 5, 1)},
                                             {"DoNotPrint", number == 7},
                                             {"Compleated", done}});
    }
    // "description|type|for|owner" of every goal of a year, sorted.
    QStringList goalsOf(int year) {
        engine::Query q(dm->goalDatabase);
        q.add("Select * From \"goals.db\" Where GoalYear = ", engine::sql::Int{year});
        q.open();
        QStringList out;
        for (q.first(); !q.eof(); q.next())
            out << QStringLiteral("%1|%2|%3|%4")
                       .arg(q.field("GoalDescription").asString(), q.field("GoalTypeID").asString(),
                            q.field("UserNumber").asString(), q.field("GoalOwner").asString());
        out.sort();
        return out;
    }
    int goalIdOf(const QString& text, int year) {
        engine::Query q(dm->goalDatabase);
        q.add("Select GoalID From \"goals.db\" Where GoalDescription = ", engine::sql::Text{text},
              " And GoalYear = ", engine::sql::Int{year});
        q.open();
        return q.isEmpty() ? -1 : q.field("GoalID").asInt();
    }
    int me = 0, other = 0;
};
VARDIMO_ON_ALL_STORES(GoalCopy);
using FolderGoalCopy = testing_support::OnFolder<GoalCopy>;

TEST_P(GoalCopy, RightsDecideWhichGoalsAreCopied) {
    addGoal("mine for me", 2026, 1, me, me);
    addGoal("mine global", 2026, 2, {}, me);
    addGoal("other's for me", 2026, 1, me, other);
    addGoal("mine last year", 2025, 1, me, me);
    addGoal("mine no year", {}, 1, me, me);

    data::GoalCopyPlan plan = data::planGoalCopy(*dm, 2026);
    EXPECT_EQ(plan.toYear, 2027);
    EXPECT_EQ(plan.goals.size(), 1) << "own goals only, no global goal without the right";

    dm->user().rights.canAddGlobalGoals = true;
    EXPECT_EQ(data::planGoalCopy(*dm, 2026).goals.size(), 2);
    dm->user().rights.canModifyAllGoals = true;
    plan = data::planGoalCopy(*dm, 2026);
    EXPECT_EQ(plan.goals.size(), 3);

    const data::GoalCopyResult r = data::copyGoalsToNextYear(*dm, plan, false);
    EXPECT_EQ(r.goals, 3);
    // Type, owner and "Goal For" are kept; the stamps are new.
    EXPECT_EQ(goalsOf(2027), QStringList({QStringLiteral("mine for me|1|%1|%1").arg(me),
                                          QStringLiteral("mine global|2||%1").arg(me),
                                          QStringLiteral("other's for me|1|%1|%2").arg(me).arg(other)}));
    engine::Query q(dm->goalDatabase);
    q.add("Select * From \"goals.db\" Where GoalYear = 2027");
    q.open();
    for (q.first(); !q.eof(); q.next()) {
        EXPECT_EQ(q.field("ModifiedBy").asInt(), me);
        EXPECT_LE(qAbs(q.field("ModifieDate").asDateTime().secsTo(QDateTime::currentDateTime())), 120);
    }
    EXPECT_EQ(goalsOf(2026).size(), 3) << "the originals stay";
}

TEST_P(GoalCopy, CopyingTwiceCopiesNothingNew) {
    dm->user().rights.canAddGlobalGoals = true;
    const int a = addGoal("A", 2026, 1, me, me);
    addGoal("B", 2026, 1, {}, me);
    addGoal("C", 2026, 1, me, me);
    addGoal("C", 2027, 1, me, me);    // already there
    addGoal("B", 2027, 1, other, me); // same text, another user: not the same goal
    addStrategy(a, me, 1, false, "s");

    data::GoalCopyPlan plan = data::planGoalCopy(*dm, 2026);
    EXPECT_EQ(plan.goals.size(), 2);
    EXPECT_EQ(plan.alreadyThere, 1);
    EXPECT_EQ(plan.strategies, 1);
    EXPECT_EQ(data::copyGoalsToNextYear(*dm, plan, true).goals, 2);

    plan = data::planGoalCopy(*dm, 2026);
    EXPECT_TRUE(plan.goals.isEmpty());
    EXPECT_EQ(plan.alreadyThere, 3);
    EXPECT_EQ(plan.strategies, 0);
    const data::GoalCopyResult again = data::copyGoalsToNextYear(*dm, plan, true);
    EXPECT_EQ(again.goals, 0);
    EXPECT_EQ(again.strategies, 0);
    EXPECT_EQ(goalsOf(2027).size(), 4);
}

TEST_P(GoalCopy, UnfinishedStrategiesComeAlongRenumberedFromOne) {
    addAccess(me, other, true); // his strategies are the person's to change
    data::readAccessLists(*dm, dm->user());
    const int g = addGoal("G", 2026, 1, me, me);
    const int h = addGoal("H", 2026, 1, me, me);
    addStrategy(g, me, 5, false, "me five");
    addStrategy(g, me, 2, false, "me two");
    addStrategy(g, me, 3, true, "me three, done");
    addStrategy(g, other, 7, false, "other seven");
    addStrategy(g, other, 4, false, "other four");
    addStrategy(h, me, 9, false, "h nine");
    addStrategy(h, me, 10, true, "h ten, done");

    const data::GoalCopyPlan plan = data::planGoalCopy(*dm, 2026);
    EXPECT_EQ(plan.strategies, 5);
    const data::GoalCopyResult r = data::copyGoalsToNextYear(*dm, plan, true);
    EXPECT_EQ(r.strategies, 5);

    const int g2 = goalIdOf("G", 2027), h2 = goalIdOf("H", 2027);
    ASSERT_GT(g2, h);
    engine::Query q(dm->goalDatabase);
    q.add("Select * From \"Strategys.db\" Where GoalID In ", engine::sql::IntList{{g2, h2}});
    q.add("Order By GoalID, UserNumber, StrategyNumber");
    q.open();
    QStringList got;
    for (q.first(); !q.eof(); q.next()) {
        got << QStringLiteral("%1 %2 %3 %4")
                   .arg(q.field("GoalID").asInt() == g2 ? "G" : "H")
                   .arg(q.field("UserNumber").asInt() == me ? "me" : "other")
                   .arg(q.field("StrategyNumber").asInt())
                   .arg(q.field("StrategyDescription").asString());
        EXPECT_FALSE(q.field("Compleated").asBoolean());
        EXPECT_EQ(q.field("ModifiedBy").asInt(), me);
        EXPECT_EQ(q.field("Responsibility").asString(), q.field("StrategyDescription").asString() + " r");
        EXPECT_EQ(q.field("CompleationDate").asDate(), QDate(2027, 5, 1)) << "due a year later";
        EXPECT_EQ(q.field("DoNotPrint").asBoolean(),
                  q.field("StrategyDescription").asString() == "other seven");
    }
    EXPECT_EQ(got, QStringList({"G me 1 me two", "G me 2 me five", "G other 1 other four",
                                "G other 2 other seven", "H me 1 h nine"}));
    // The strategy list's numbering goes on from there.
    EXPECT_EQ(dm->nextStrategyNumber({g2, me}), 3);
}

// A copy is due the same day a year later, and brings its measurement items along: numbers and
// texts kept, not completed, dated a year on too.
TEST_P(GoalCopy, CopiesAreDueAYearLaterWithTheirItems) {
    const int g = addGoal("G", 2028, 1, me, me);
    auto strategy = [&](const QString& text, QVariant due) {
        return insertRow(dm->strategyTable, {{"GoalID", g},
                                             {"UserNumber", me},
                                             {"StrategyNumber", 1},
                                             {"StrategyDescription", text},
                                             {"CompleationDate", due},
                                             {"Compleated", false}});
    };
    const int leap = strategy("leap", QDate(2028, 2, 29));
    const int plain = strategy("plain", QDate(2028, 2, 28));
    const int later = strategy("later", QDate(2029, 2, 28)); // already next year's date
    strategy("undated", QVariant());
    // More dates than one statement moves, two years of them five days apart: a year on from
    // March 2028 is 365 days, so many an item is moved onto the date another item starts from.
    constexpr int kItems = 150;
    for (int n = 1; n <= kItems; ++n)
        insertRow(dm->measureTable, {{"StrategyID", leap},
                                     {"MeasurementNumber", n},
                                     {"Measurement", QString("m%1").arg(n)},
                                     {"Deliverable", QString("d%1").arg(n)},
                                     {"CompleationDate", QDate(2028, 1, 1).addDays(n * 5)},
                                     {"Compleated", n % 2 == 0}});
    insertRow(dm->measureTable, {{"StrategyID", later}, {"MeasurementNumber", 7}, {"Measurement", "x"}});
    (void)plain;

    const data::GoalCopyPlan plan = data::planGoalCopy(*dm, 2028);
    EXPECT_EQ(plan.strategies, 4);
    EXPECT_EQ(plan.items, kItems + 1);
    const data::GoalCopyResult r = data::copyGoalsToNextYear(*dm, plan, true);
    EXPECT_EQ(r.strategies, 4);
    EXPECT_EQ(r.items, kItems + 1);

    const int g2 = goalIdOf("G", 2029);
    engine::Query q(dm->goalDatabase);
    q.add("Select * From \"Strategys.db\" Where GoalID = ", engine::sql::Int{g2});
    q.open();
    QHash<QString, QVariant> due;
    QHash<QString, int> copyOf;
    for (q.first(); !q.eof(); q.next()) {
        const QString text = q.field("StrategyDescription").asString();
        due[text] =
            q.field("CompleationDate").isNull() ? QVariant() : QVariant(q.field("CompleationDate").asDate());
        copyOf[text] = q.field("StrategyID").asInt();
    }
    EXPECT_EQ(due["leap"], QVariant(QDate(2029, 2, 28))) << "29 February becomes 28 February";
    EXPECT_EQ(due["plain"], QVariant(QDate(2029, 2, 28)));
    EXPECT_EQ(due["later"], QVariant(QDate(2030, 2, 28))) << "moved once only";
    EXPECT_FALSE(due["undated"].isValid());

    q.close();
    q.clear();
    q.add("Select * From \"Measure.db\" Where StrategyID = ", engine::sql::Int{copyOf["leap"]});
    q.add("Order By MeasurementNumber");
    q.open();
    ASSERT_EQ(q.recordCount(), kItems);
    for (int n = 1; !q.eof(); q.next(), ++n) {
        EXPECT_EQ(q.field("MeasurementNumber").asInt(), n);
        EXPECT_EQ(q.field("Measurement").asString(), QString("m%1").arg(n));
        EXPECT_EQ(q.field("Deliverable").asString(), QString("d%1").arg(n));
        EXPECT_EQ(q.field("CompleationDate").asDate(), QDate(2028, 1, 1).addDays(n * 5).addYears(1)) << n;
        EXPECT_FALSE(q.field("Compleated").asBoolean()) << n;
        EXPECT_EQ(q.field("ModifiedBy").asInt(), me);
    }
    q.close();
    q.clear();
    q.add("Select * From \"Measure.db\" Where StrategyID = ", engine::sql::Int{copyOf["later"]});
    q.open();
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.field("MeasurementNumber").asInt(), 7);
    EXPECT_TRUE(q.field("CompleationDate").isNull());
    q.close();
    q.clear();
    q.add("Select Count(*) As N From \"Measure.db\" Where StrategyID = ", engine::sql::Int{leap});
    q.open();
    EXPECT_EQ(q.field("N").asInt(), kItems) << "the originals keep theirs";
}

// Strategies come along only for the users whose strategies the person may change: his own and
// those his access list lets him edit; seeing is not enough.
TEST_P(GoalCopy, OnlyStrategiesThePersonMayChangeAreCopied) {
    const int seen = addUser("SEEN", "", "Seen", 1);
    const int stranger = addUser("STRANGER", "", "Stranger", 1);
    addAccess(me, other, true);
    addAccess(me, seen, false);
    data::readAccessLists(*dm, dm->user());
    const int g = addGoal("G", 2026, 1, QVariant(), me);
    dm->user().rights.canAddGlobalGoals = true;
    const int mine = addStrategy(g, me, 1, false, "mine");
    addStrategy(g, other, 1, false, "editable");
    const int seenOnly = addStrategy(g, seen, 1, false, "seen only");
    addStrategy(g, stranger, 1, false, "stranger's");
    addStrategy(g, stranger, 2, false, "stranger's too");
    const int nobodys = insertRow(dm->strategyTable, {{"GoalID", g},
                                                      {"UserNumber", QVariant()},
                                                      {"StrategyNumber", 1},
                                                      {"StrategyDescription", "nobody's"},
                                                      {"Compleated", false}});
    for (int s : {mine, seenOnly, nobodys})
        insertRow(dm->measureTable, {{"StrategyID", s}, {"MeasurementNumber", 1}});

    // With the right to change every user's strategies, nobody's are left out, a strategy of no
    // user among them (the copy is undone).
    dm->user().rights.canViewAllStrategies = true;
    data::GoalCopyPlan plan = data::planGoalCopy(*dm, 2026);
    EXPECT_EQ(plan.strategies, 6);
    EXPECT_EQ(plan.leftOut, 0);
    EXPECT_EQ(plan.items, 3);
    {
        engine::Transaction undone(dm->goalDatabase);
        const data::GoalCopyResult all = data::copyGoalsToNextYear(*dm, plan, true);
        EXPECT_EQ(all.strategies, 6);
        EXPECT_EQ(all.items, 3);
    }
    dm->user().rights.canViewAllStrategies = false;

    plan = data::planGoalCopy(*dm, 2026);
    EXPECT_EQ(plan.strategies, 2);
    EXPECT_EQ(plan.leftOut, 4);
    EXPECT_EQ(plan.items, 1);
    const data::GoalCopyResult r = data::copyGoalsToNextYear(*dm, plan, true);
    EXPECT_EQ(r.strategies, 2);
    EXPECT_EQ(r.items, 1);
    engine::Query q(dm->goalDatabase);
    q.add("Select * From \"Strategys.db\" Where GoalID = ", engine::sql::Int{goalIdOf("G", 2027)});
    q.add("Order By StrategyDescription");
    q.open();
    QStringList copied;
    for (q.first(); !q.eof(); q.next())
        copied << q.field("StrategyDescription").asString();
    EXPECT_EQ(copied, QStringList({"editable", "mine"}));
}

TEST_P(GoalCopy, GoalsOnlyWhenAsked) {
    const int g = addGoal("G", 2026, 1, me, me);
    addStrategy(g, me, 1, false, "s");
    EXPECT_EQ(data::copyGoalsToNextYear(*dm, data::planGoalCopy(*dm, 2026), false).strategies, 0);
    engine::Query q(dm->goalDatabase);
    q.add("Select Count(*) As N From \"Strategys.db\"");
    q.open();
    EXPECT_EQ(q.field("N").asInt(), 1);
}

TEST_F(FolderGoalCopy, AFailureCopiesNothing) {
    const int g = addGoal("G", 2026, 1, me, me);
    addStrategy(g, me, 1, false, "s");
    const data::GoalCopyPlan plan = data::planGoalCopy(*dm, 2026);
    // Another workstation is in the middle of writing the strategies and does not finish.
    testing_support::Peer peer(store.location());
    ASSERT_TRUE(peer.send("hold Strategys.db CommentsStatus x").startsWith("ok")) << "peer";
    EXPECT_THROW(data::copyGoalsToNextYear(*dm, plan, true), engine::Error);
    peer.kill();
    EXPECT_TRUE(goalsOf(2027).isEmpty()) << "not even the goals";
    // Once the other workstation is gone, the same copy works.
    EXPECT_EQ(data::copyGoalsToNextYear(*dm, plan, true).strategies, 1);
}

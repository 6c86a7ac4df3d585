// Every change to goals, strategies and measurement items is kept, whichever way it was made;
// versions and deleted goals come back; only those who may see a row see its history.

#include "admin/MeasureConversion.h"
#include "data/ChangeHistory.h"
#include "data/GoalCopy.h"
#include "data/Packing.h"
#include "engine/Error.h"
#include "engine/History.h"
#include "engine/Query.h"
#include "support/DataFixture.h"

#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

using engine::Version;
using testing_support::DataFixture;

class History : public DataFixture {
protected:
    void SetUp() override {
        DataFixture::SetUp();
        me = addUser("ME", "", "Me", 0);
        other = addUser("OTHER", "", "Other", addProfile("Plain", {"CanAddStrategy"}));
        logOn(me);
    }
    void logOn(int number) {
        data::CurrentUser u = dm->user();
        u.number = number;
        u.rights = {};
        u.rights.supervisor = number == me;
        u.rights.canModifyAllGoals = u.rights.canAddGlobalGoals = number == me;
        u.canSee.clear();
        u.canEdit.clear();
        dm->setUser(u);
    }
    int addStrategy(int goal, int user, int number, const QString& text) {
        dm->setStrategySelection({goal, user});
        dm->strategyTable.refresh();
        return insertRow(dm->strategyTable, {{"GoalID", goal},
                                             {"UserNumber", user},
                                             {"StrategyNumber", number},
                                             {"StrategyDescription", text},
                                             {"CompleationDate", QDate(2026, 5, 1)},
                                             {"Compleated", false}});
    }
    int addItem(int strategy, int number, const QString& text) {
        dm->setMeasuredStrategy(strategy);
        dm->measureTable.refresh();
        return insertRow(dm->measureTable,
                         {{"StrategyID", strategy}, {"MeasurementNumber", number}, {"Measurement", text}});
    }
    // Shows one strategy in the strategy table, as the strategy editor does.
    void showStrategy(int goal, int user, int strategy) {
        dm->setStrategySelection({goal, user});
        dm->strategyTable.refresh();
        ASSERT_TRUE(dm->strategyTable.locate("StrategyID", strategy));
    }
    void deleteGoal(int goal) {
        // As the goals screen deletes: the goal with its strategies and their items, at once.
        engine::Transaction tx(dm->goalDatabase);
        engine::execute(dm->goalDatabase,
                        "Delete From \"Measure.db\" Where StrategyID In (Select StrategyID From ",
                        "\"Strategys.db\" Where GoalID = ", engine::sql::Int{goal}, ")");
        engine::execute(dm->goalDatabase,
                        "Delete From \"Strategys.db\" Where GoalID = ", engine::sql::Int{goal});
        ASSERT_TRUE(dm->goalsTable.locate("GoalID", goal));
        dm->goalsTable.remove();
        tx.commit();
    }
    std::vector<Version> versions(const char* table, qint64 key) {
        return engine::History::versions(dm->goalDatabase, *engine::findTable(table), key);
    }
    static QString actions(const std::vector<Version>& v) {
        QString s;
        for (const Version& x : v)
            s += x.action == Version::Action::Insert ? 'I' : x.action == Version::Action::Delete ? 'D' : 'U';
        return s;
    }
    int count(const char* select) {
        engine::Query q(dm->goalDatabase);
        q.add(select);
        q.open();
        return q.field("N").asInt();
    }
    int me = 0, other = 0;
};
VARDIMO_ON_ALL_STORES(History);

TEST_P(History, EveryKindOfChangeIsKeptWithWhoAndWhat) {
    const int goal = addGoal("Grow", 2026, 1, {}, me);
    engine::Table& goals = dm->goalsTable;
    ASSERT_TRUE(goals.locate("GoalID", goal));
    goals.edit();
    goals.field("GoalDescription").setValue("Grow faster");
    goals.post();

    std::vector<Version> g = versions("goals.db", goal);
    ASSERT_EQ(actions(g), "UI");
    EXPECT_EQ(g[0].changedBy, me);
    EXPECT_EQ(g[0].changedColumns(*engine::findTable("goals.db")), QStringList{"GoalDescription"});
    EXPECT_EQ(g[0].before.value("GoalDescription").toString(), "Grow");
    EXPECT_EQ(g[0].after.value("GoalDescription").toString(), "Grow faster");
    EXPECT_EQ(g[0].changedAt.size(), 19);

    // A strategy saved, moved to another person (the move dialog's post), and edited in a batch.
    const int s1 = addStrategy(goal, me, 1, "first");
    const int s2 = addStrategy(goal, me, 2, "second");
    addItem(s1, 1, "item");
    showStrategy(goal, me, s2);
    dm->strategyTable.edit();
    dm->strategyTable.field("UserNumber").setValue(other);
    dm->strategyTable.post();
    {
        engine::Table all(dm->goalDatabase, "Strategys.db");
        all.open();
        engine::BatchScope batch(dm->goalDatabase);
        for (all.first(); !all.eof(); all.next()) {
            all.edit();
            all.field("CommentsStatus").setValue("reviewed");
            all.post();
        }
        batch.commit();
    }
    std::vector<Version> moved = versions("Strategys.db", s2);
    ASSERT_EQ(actions(moved), "UUI");
    EXPECT_TRUE(moved[1].changedColumns(*engine::findTable("Strategys.db")).contains("UserNumber"));
    EXPECT_EQ(moved[0].changedColumns(*engine::findTable("Strategys.db")), QStringList{"CommentsStatus"});
    // Each version gives the whole row before and after it, whatever the store keeps of an edit.
    EXPECT_EQ(moved[1].before.value("UserNumber").toInt(), me);
    EXPECT_EQ(moved[1].after.value("UserNumber").toInt(), other);
    EXPECT_EQ(moved[1].after.value("StrategyDescription").toString(), "second");
    EXPECT_EQ(moved[0].before.value("UserNumber").toInt(), other);
    EXPECT_EQ(moved[0].after.value("GoalID").toInt(), goal);
    EXPECT_EQ(moved[2].after.value("CommentsStatus"), QJsonValue(QJsonValue::Null));
    EXPECT_EQ(actions(versions("Strategys.db", s1)), "UI");

    // Copy to next year: the copies start their own history.
    const data::GoalCopyPlan plan = data::planGoalCopy(*dm, 2026);
    ASSERT_EQ(plan.goals.size(), 1);
    data::copyGoalsToNextYear(*dm, plan, true);
    const int copy = count("Select Max(GoalID) As N From \"goals.db\"");
    ASSERT_NE(copy, goal);
    EXPECT_EQ(actions(versions("goals.db", copy)), "I");

    // The measurement conversion replaces every item: the old ones are kept as deleted, the new
    // ones from their insert on.
    const int lastBefore = count("Select Max(MeasurementID) As N From \"Measure.db\"");
    admin::convertToMultipleMeasures(*dm, [](int) {});
    const int last = count("Select Max(MeasurementID) As N From \"Measure.db\"");
    ASSERT_GT(last, lastBefore);
    for (int id = 1; id <= last; ++id) {
        const QString kept = actions(versions("Measure.db", id));
        EXPECT_TRUE(kept.endsWith('I')) << id;
        EXPECT_EQ(kept.startsWith('D'), id <= lastBefore) << id;
    }

    // Deleting the goal keeps its rows, all in one group.
    deleteGoal(goal);
    g = versions("goals.db", goal);
    ASSERT_EQ(actions(g), "DUI");
    const std::vector<Version> gone =
        engine::History::deletedInGroup(dm->goalDatabase, *engine::findTable("Strategys.db"), g[0].group);
    EXPECT_EQ(gone.size(), 2u);
}

TEST_P(History, VersionsAndDeletedGoalsComeBack) {
    const int goal = addGoal("Grow", 2026, 1, {}, me);
    const int s1 = addStrategy(goal, me, 1, "first words");
    const int s2 = addStrategy(goal, me, 2, "second");
    const int item = addItem(s1, 1, "count them");
    showStrategy(goal, me, s1);
    dm->strategyTable.edit();
    dm->strategyTable.field("StrategyDescription").setValue("later words");
    dm->strategyTable.post();

    data::ChangeHistory history(*dm);
    std::vector<Version> v = history.strategyVersions(s1);
    ASSERT_EQ(actions(v), "UI");
    history.restoreStrategy(v[1]);
    EXPECT_EQ(dm->strategyTable.field("StrategyDescription").asString(), "first words");
    v = history.strategyVersions(s1);
    ASSERT_EQ(actions(v), "UUI");
    EXPECT_EQ(v[0].changedBy, me);

    deleteGoal(goal);
    std::vector<Version> deleted = history.deletedGoals();
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(data::ChangeHistory::describe(deleted[0]), "Grow");
    EXPECT_EQ(history.userName(deleted[0].changedBy), "Me");
    const QString told = history.restoreDeletedGoal(deleted[0]);
    EXPECT_EQ(told, "The goal is back with 2 strategies and 1 measurement items.");
    EXPECT_EQ(count("Select Count(*) As N From \"Strategys.db\" Where GoalID = 1") +
                  count("Select Count(*) As N From \"Measure.db\""),
              goal == 1 ? 3 : -1);
    EXPECT_TRUE(engine::History::exists(dm->goalDatabase, *engine::findTable("Measure.db"), item));
    EXPECT_TRUE(history.deletedGoals().empty());
    EXPECT_EQ(actions(versions("goals.db", goal)).left(2), "ID");

    // A strategy deleted alone whose number was taken meanwhile comes back under the next one.
    {
        showStrategy(goal, me, s2);
        engine::Transaction tx(dm->goalDatabase);
        dm->strategyTable.remove();
        tx.commit();
    }
    addStrategy(goal, me, 2, "new second");
    std::vector<Version> strategies = history.deletedStrategies();
    ASSERT_EQ(strategies.size(), 1u);
    EXPECT_EQ(history.restoreDeletedStrategy(strategies[0]),
              "The strategy is back with 0 measurement items.\nStrategy 2 (Me) is now number 3.");
    EXPECT_EQ(count("Select StrategyNumber As N From \"Strategys.db\" Where StrategyID = 2"),
              s2 == 2 ? 3 : -1);
}

TEST_P(History, OnlyThoseWhoMaySeeARowSeeItsHistory) {
    const int goal = addGoal("Theirs", 2026, 1, {}, other);
    const int s = addStrategy(goal, other, 1, "private");
    data::ChangeHistory history(*dm);
    logOn(other);
    EXPECT_EQ(history.strategyVersions(s).size(), 1u);
    logOn(addUser("NOSY", "", "Nosy", addProfile("None", {})));
    EXPECT_THROW(history.strategyVersions(s), engine::Error);
    logOn(me);
    deleteGoal(goal);
    logOn(other);
    EXPECT_EQ(history.deletedGoals().size(), 1u); // his own goal
    logOn(addUser("NOSY2", "", "Nosy 2", addProfile("None 2", {})));
    EXPECT_TRUE(history.deletedGoals().empty());
    EXPECT_TRUE(history.deletedStrategies().empty());
    EXPECT_THROW(history.restoreDeletedGoal(
                     engine::History::deletedRows(dm->goalDatabase, *engine::findTable("goals.db"))[0]),
                 engine::Error);
}

TEST_P(History, PackingDropsVersionsOlderThanTheSetting) {
    engine::Database& db = dm->goalDatabase;
    EXPECT_EQ(engine::History::keepDays(db), 365);
    const int goal = addGoal("Old", 2026, 1, {}, me);
    addGoal("New", 2026, 1, {}, me);
    const engine::TableDef& goals = *engine::findTable("goals.db");
    // One version made long ago.
    db.exec(QStringLiteral("UPDATE %1 SET changedat = %2 WHERE rowkey = ?")
                .arg(db.backend().historyTable(goals), onServer() ? "CAST(? AS timestamp)" : "?"),
            {QStringLiteral("2020-01-01 10:00:00"), goal});
    engine::History::setKeepDays(db, 30);
    EXPECT_EQ(engine::History::keepDays(db), 30);
    struct Silent : data::PackProgress {
        void setStatus(const QString&) override {}
    } progress;
    data::packDatabase(*dm, progress);
    EXPECT_TRUE(versions("goals.db", goal).empty());
    EXPECT_EQ(versions("goals.db", goal + 1).size(), 1u);
}

class FolderHistory : public testing_support::OnFolder<History> {
protected:
    // Works on goals.db as a program would that knows nothing of this one's connections.
    void raw(const std::function<void(QSqlQuery&)>& work) {
        const QString name = "raw-goals";
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
            db.setDatabaseName(dir.path() + "/goals.db");
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            work(q);
        }
        QSqlDatabase::removeDatabase(name);
    }
};

TEST_F(FolderHistory, AnOlderDatabaseGainsItsHistoryAndOlderProgramsStillWrite) {
    // The versions live inside each table's own file; the triggers only in connections that
    // know them, so a program that does not still writes the file as before.
    auto objects = [&] {
        QStringList names;
        raw([&](QSqlQuery& q) {
            EXPECT_TRUE(
                q.exec("SELECT name FROM sqlite_master WHERE type IN ('table', 'trigger') ORDER BY name"));
            while (q.next())
                names << q.value(0).toString();
        });
        return names;
    };
    // A database made before there was history: its files hold none.
    const data::CurrentUser user = dm->user();
    dm.reset();
    raw([](QSqlQuery& q) { ASSERT_TRUE(q.exec("DROP TABLE vardimo_history_goals")); });
    EXPECT_EQ(objects(), (QStringList{"goals", "sqlite_sequence"}));
    openModule();
    dm->setUser(user);
    EXPECT_EQ(objects(), (QStringList{"goals", "sqlite_sequence", "vardimo_history_goals"}));
    raw([](QSqlQuery& q) {
        ASSERT_TRUE(
            q.exec("INSERT INTO goals (GoalDescription, GoalYear) VALUES ('written elsewhere', 2026)"));
        ASSERT_TRUE(q.exec("SELECT count(*) FROM vardimo_history_goals"));
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toInt(), 0);
    });
    // A second workstation on the same folder records into the same table.
    auto session2 = std::make_unique<engine::Session>();
    session2->addAlias("Goal", store.location());
    data::DataModule second(*session2);
    second.open();
    second.setUser(user);
    const int goal = insertRow(second.goalsTable, {{"GoalDescription", "second"}, {"GoalYear", 2026}});
    EXPECT_EQ(actions(versions("goals.db", goal)), "I");
}

TEST_F(FolderHistory, AnEditKeepsOnlyWhatItChangedAndAnOlderProgramsFilesAndVersionsStillFit) {
    auto indexes = [&] {
        QStringList names;
        raw([&](QSqlQuery& q) {
            EXPECT_TRUE(q.exec("SELECT name FROM sqlite_master WHERE type = 'index' AND name LIKE 'vardimo%' "
                               "ORDER BY name"));
            while (q.next())
                names << q.value(0).toString();
        });
        return names;
    };
    // A folder as the previous program left it: the transactions of all versions indexed.
    const data::CurrentUser user = dm->user();
    dm.reset();
    raw([](QSqlQuery& q) {
        ASSERT_TRUE(q.exec("DROP INDEX vardimo_history_goals_deleted"));
        ASSERT_TRUE(
            q.exec("CREATE INDEX vardimo_history_goals_group ON vardimo_history_goals (changegroup)"));
    });
    openModule();
    dm->setUser(user);
    EXPECT_EQ(indexes(), (QStringList{"vardimo_history_goals_deleted", "vardimo_history_goals_row"}));

    const int goal = addGoal("Grow", 2026, 1, {}, me);
    engine::Table& goals = dm->goalsTable;
    auto describeAs = [&](const char* text) {
        ASSERT_TRUE(goals.locate("GoalID", goal));
        goals.edit();
        goals.field("GoalDescription").setValue(text);
        goals.post();
    };
    describeAs("Grow more");
    // The previous program, between two edits of this one, keeps whole rows under the key.
    raw([&](QSqlQuery& q) {
        auto row = [&] {
            EXPECT_TRUE(
                q.prepare("SELECT json_object('GoalID', GoalID, 'GoalDescription', GoalDescription, "
                          "'UserNumber', UserNumber, 'GoalOwner', GoalOwner, 'GoalTypeID', GoalTypeID, "
                          "'GoalYear', GoalYear, 'ModifiedBy', ModifiedBy, 'ModifieDate', ModifieDate) "
                          "FROM goals WHERE GoalID = ?"));
            q.addBindValue(goal);
            EXPECT_TRUE(q.exec() && q.next());
            return q.value(0).toString();
        };
        const QString before = row();
        ASSERT_TRUE(q.prepare("UPDATE goals SET GoalYear = 2027 WHERE GoalID = ?"));
        q.addBindValue(goal);
        ASSERT_TRUE(q.exec());
        const QString after = row();
        ASSERT_TRUE(
            q.prepare("INSERT INTO vardimo_history_goals (rowkey, parent, action, changedby, changedat, "
                      "changegroup, oldrow, newrow) VALUES (?, NULL, 'U', 7, '2026-03-01 10:00:00', 1, "
                      "?, ?)"));
        q.addBindValue(goal);
        q.addBindValue(before);
        q.addBindValue(after);
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    });
    describeAs("Grow most");

    const engine::TableDef& def = *engine::findTable("goals.db");
    const std::vector<Version> v = versions("goals.db", goal);
    ASSERT_EQ(actions(v), "UUUI");
    EXPECT_EQ(v[0].changedColumns(def), QStringList{"GoalDescription"});
    EXPECT_EQ(v[0].before.value("GoalDescription").toString(), "Grow more");
    EXPECT_EQ(v[0].before.value("GoalYear").toInt(), 2027);
    EXPECT_EQ(v[0].after.value("GoalDescription").toString(), "Grow most");
    EXPECT_EQ(v[1].changedBy, 7);
    EXPECT_EQ(v[1].changedColumns(def), QStringList{"GoalYear"});
    EXPECT_EQ(v[2].changedColumns(def), QStringList{"GoalDescription"});
    EXPECT_EQ(v[2].before.value("GoalDescription").toString(), "Grow");
    EXPECT_EQ(v[2].after.value("GoalYear").toInt(), 2026);
    EXPECT_EQ(v[2].after.value("GoalOwner").toInt(), me);
    for (const Version& x : v)
        EXPECT_EQ(x.key, goal);

    raw([&](QSqlQuery& q) {
        // This program's edits hold the columns they changed and no others, where a program that
        // reads whole rows by the key does not look.
        ASSERT_TRUE(q.prepare("SELECT oldrow, newrow FROM vardimo_history_goals WHERE rowkey = ?"));
        q.addBindValue(-goal);
        ASSERT_TRUE(q.exec());
        int edits = 0;
        while (q.next()) {
            ++edits;
            for (const int c : {0, 1}) {
                const QStringList keys =
                    QJsonDocument::fromJson(q.value(c).toString().toUtf8()).object().keys();
                EXPECT_TRUE(keys.contains("GoalDescription")) << keys.join(',').toStdString();
                for (const QString& k : keys)
                    EXPECT_TRUE(k == "GoalDescription" || k.startsWith("Modifie")) << k.toStdString();
            }
        }
        EXPECT_EQ(edits, 2);
        // What the previous program writes still goes in as before.
        EXPECT_TRUE(q.exec("INSERT INTO goals (GoalDescription, GoalYear) VALUES ('elsewhere', 2026)"));
        EXPECT_TRUE(q.exec("INSERT INTO vardimo_history_goals (rowkey, parent, action, changedby, changedat, "
                           "changegroup, oldrow, newrow) VALUES (last_insert_rowid(), NULL, 'I', 7, "
                           "'2026-03-01 10:00:00', 2, NULL, '{}')"));
    });
}

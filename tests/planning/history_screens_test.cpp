// "History..." and "Deleted..." on the goals screen, the strategy editor and the strategy list,
// driven with mouse clicks and keys through the scripted dialogs.

#include "controls/FieldEdit.h"
#include "planning/DeletedDialog.h"
#include "planning/GoalsWindow.h"
#include "planning/HistoryDialog.h"
#include "planning/StrategyEditor.h"
#include "planning/StrategyListWindow.h"
#include "support/DataFixture.h"

#include <QDate>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>

using testing_support::DataFixture;

class HistoryScreens : public DataFixture {
protected:
    void SetUp() override {
        DataFixture::SetUp();
        staff = addProfile("Staff", {"CanAddGoals", "CanAddStrategy"});
        me = addUser("me", "", "Mary Me", staff);
        other = addUser("other", "", "Otto Other", staff);
        ASSERT_TRUE(data::logOn(*dm, "me", "", false));
        year = QDate::currentDate().year();
        dialogs.onModal = [this](QDialog& d) {
            d.show();
            if (auto* h = dynamic_cast<planning::HistoryDialog*>(&d)) return historyFn ? historyFn(*h) : 0;
            if (auto* x = dynamic_cast<planning::DeletedDialog*>(&d)) return deletedFn ? deletedFn(*x) : 0;
            return 0;
        };
    }
    static void clickRow(QTreeWidget* list, int row) {
        QTreeWidgetItem* item = list->topLevelItem(row);
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    }
    static QStringList column(QTreeWidget* list, int c) {
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out << list->topLevelItem(i)->text(c);
        return out;
    }
    static void press(QPushButton* b) {
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    std::function<int(planning::HistoryDialog&)> historyFn;
    std::function<int(planning::DeletedDialog&)> deletedFn;
    int staff = 0, me = 0, other = 0, year = 0;
};
VARDIMO_ON_ALL_STORES(HistoryScreens);

TEST_P(HistoryScreens, TheGoalsScreenShowsAGoalsVersionsRestoresOneAndBringsADeletedGoalBack) {
    const int goal = addGoal("Grow sales", year, 1, me, me);
    insertRow(dm->strategyTable,
              {{"GoalID", goal}, {"UserNumber", me}, {"StrategyNumber", 1}, {"Compleated", false}});
    planning::GoalsWindow form(*dm, desktop);
    form.show();
    ASSERT_TRUE(dm->goalsTable.locate("GoalID", goal));
    QTest::keyClicks(form.descriptionEdit, " fast");
    press(form.saveButton);
    ASSERT_EQ(dm->goalsTable.field("GoalDescription").asString(), "Grow sales fast");

    int shown = 0;
    historyFn = [&](planning::HistoryDialog& h) {
        ++shown;
        EXPECT_EQ(h.windowTitle(), "Goal History");
        EXPECT_EQ(column(h.versionList, 2), (QStringList{"Goal", "Added"}));
        EXPECT_EQ(column(h.versionList, 1), (QStringList{"Mary Me", "Mary Me"}));
        EXPECT_FALSE(h.restoreButton->isEnabled()) << "the newest version is the row now";
        clickRow(h.versionList, 1);
        const QString difference = h.differenceView->toPlainText();
        EXPECT_TRUE(difference.contains("Grow sales fast")) << difference.toStdString();
        EXPECT_TRUE(h.restoreButton->isEnabled());
        press(h.restoreButton);
        EXPECT_EQ(dialogs.lastText(), "Are you sure you want to bring this version back?");
        EXPECT_EQ(h.versionList->topLevelItemCount(), 3);
        return 0;
    };
    press(form.findChild<QPushButton*>("HistoryBtn"));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(dm->goalsTable.field("GoalDescription").asString(), "Grow sales");
    EXPECT_EQ(form.descriptionEdit->text(), "Grow sales");

    press(form.deleteButton);
    EXPECT_EQ(dialogs.lastText(), "Are you sure you want to delete this goal?");
    ASSERT_FALSE(dm->goalsTable.locate("GoalID", goal));
    deletedFn = [&](planning::DeletedDialog& d) {
        ++shown;
        EXPECT_EQ(d.windowTitle(), "Deleted Goals");
        EXPECT_EQ(column(d.deletedList, 0), QStringList{"Grow sales"});
        EXPECT_EQ(column(d.deletedList, 1), QStringList{"Mary Me"});
        d.restoreButton->setFocus();
        QTest::keyClick(d.restoreButton, Qt::Key_Space);
        EXPECT_EQ(dialogs.lastText(), "The goal is back with 1 strategies and 0 measurement items.");
        EXPECT_EQ(d.deletedList->topLevelItemCount(), 0);
        EXPECT_FALSE(d.restoreButton->isEnabled());
        return 0;
    };
    press(form.findChild<QPushButton*>("DeletedBtn"));
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(dm->goalsTable.locate("GoalID", goal));
}

TEST_P(HistoryScreens, TheStrategyEditorShowsTheStrategysHistoryAndTheListItsDeletedStrategies) {
    const int goal = addGoal("Grow", year, 1, {}, me);
    dm->setStrategySelection({goal, me});
    dm->strategyTable.refresh();
    const int s = insertRow(dm->strategyTable, {{"GoalID", goal},
                                                {"UserNumber", me},
                                                {"StrategyNumber", 1},
                                                {"StrategyDescription", "call every customer"},
                                                {"Compleated", false}});
    ASSERT_TRUE(dm->goalsTable.locate("GoalID", goal));
    planning::StrategyListWindow list(*dm, desktop);
    {
        planning::StrategyEditor editor(*dm, desktop, &list);
        editor.show();
        editor.onActivate();
        ASSERT_TRUE(dm->strategyTable.locate("StrategyID", s));
        dm->strategyTable.edit();
        dm->strategyTable.field("StrategyDescription").setValue("call each customer twice");
        dm->strategyTable.post();
        bool seen = false;
        historyFn = [&](planning::HistoryDialog& h) {
            seen = true;
            EXPECT_EQ(h.windowTitle(), "Strategy History");
            EXPECT_EQ(column(h.versionList, 2), (QStringList{"Strategy", "Added"}));
            clickRow(h.versionList, 1);
            const QString html = h.differenceView->toHtml();
            EXPECT_TRUE(html.contains("every")) << "only in the older version";
            EXPECT_TRUE(html.contains("twice")) << "only now";
            press(h.restoreButton);
            return 0;
        };
        press(editor.findChild<QPushButton*>("HistoryBtn"));
        EXPECT_TRUE(seen);
        EXPECT_EQ(dm->strategyTable.field("StrategyDescription").asString(), "call every customer");
    }
    {
        engine::Transaction tx(dm->goalDatabase);
        ASSERT_TRUE(dm->strategyTable.locate("StrategyID", s));
        dm->strategyTable.remove();
        tx.commit();
    }
    bool seen = false;
    deletedFn = [&](planning::DeletedDialog& d) {
        seen = true;
        EXPECT_EQ(d.windowTitle(), "Deleted Strategies");
        EXPECT_EQ(column(d.deletedList, 0), QStringList{"1. call every customer"});
        press(d.restoreButton);
        EXPECT_EQ(dialogs.lastText(), "The strategy is back with 0 measurement items.");
        return 0;
    };
    press(list.findChild<QPushButton*>("DeletedBtn"));
    EXPECT_TRUE(seen);
    EXPECT_TRUE(engine::History::exists(dm->goalDatabase, *engine::findTable("Strategys.db"), s));
}

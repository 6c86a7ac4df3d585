// The goals screen's "Copy to Next Year..." and "Export..." buttons, driven offscreen with the
// scripted dialogs.

#include "controls/DataGrid.h"
#include "controls/DatePicker.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/RadioGroup.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "planning/GoalsWindow.h"
#include "reports/CsvFile.h"
#include "support/DataFixture.h"

#include <QDate>
#include <QFile>
#include <QPushButton>
#include <gtest/gtest.h>

using testing_support::DataFixture;
using testing_support::TempDir;

class GoalsExtras : public DataFixture {
protected:
    void SetUp() override {
        DataFixture::SetUp();
        const int staff = addProfile("Staff", {"CanAddGoals"});
        me = addUser("me", "", "Mary Me", staff);
        ASSERT_TRUE(logOnAs("me"));
        year = QDate::currentDate().year();
    }
    QPushButton* button(planning::GoalsWindow& form, const char* name) {
        auto* b = form.findChild<QPushButton*>(name);
        EXPECT_NE(b, nullptr) << name;
        return b;
    }
    int goalsIn(int y) {
        engine::Query q(storedDatabase());
        q.add("Select * From \"goals.db\" Where GoalYear = ", engine::sql::Int{y});
        q.open();
        return q.recordCount();
    }
    int me = 0, year = 0;
};
VARDIMO_ON_ALL_STORES(GoalsExtras);

TEST_P(GoalsExtras, CopyAsksWithTheCountsAndShowsTheNextYear) {
    const int g = addGoal("Grow", year, 1, me, me);
    addGoal("Shrink", year, 1, me, me);
    insertRow(dm->strategyTable,
              {{"GoalID", g}, {"UserNumber", me}, {"StrategyNumber", 4}, {"Compleated", false}});
    insertRow(dm->strategyTable,
              {{"GoalID", g}, {"UserNumber", me}, {"StrategyNumber", 5}, {"Compleated", true}});
    planning::GoalsWindow form(*dm, desktop);
    QPushButton* copy = button(form, "CopyBtn");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->text(), "Copy to Next Year...");

    dialogs.answers = {controls::Answer::Cancel};
    copy->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].buttons, controls::Buttons::YesNoCancel);
    EXPECT_EQ(dialogs.messages[0].title, "Vardimo");
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(
        QStringLiteral("Copy 2 goals of %1 into %2?").arg(year).arg(year + 1)))
        << dialogs.messages[0].text.toStdString();
    EXPECT_TRUE(dialogs.messages[0].text.contains(
        "2 goals and 1 strategy (their unfinished strategies) will be made"));
    EXPECT_EQ(goalsIn(year + 1), 0) << "Cancel copies nothing";

    dialogs.messages.clear();
    dialogs.answers = {controls::Answer::Yes, controls::Answer::Ok};
    copy->click();
    EXPECT_EQ(goalsIn(year + 1), 2);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text,
              QStringLiteral("2 goals and 1 strategy were copied into %1.").arg(year + 1));
    EXPECT_EQ(form.goalSpin->value(), year + 1);
    EXPECT_EQ(dm->goalsTable.recordCount(), 2) << "the list shows the copies";

    // Once more from the same year: nothing to do, and the box says why.
    form.goalSpin->setValue(year);
    dialogs.messages.clear();
    copy->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("There are no goals of %1 to copy into %2. 2 goals are already in %2.")
                  .arg(year)
                  .arg(year + 1));
    EXPECT_EQ(goalsIn(year + 1), 2);
}

// The question counts the measurement items that come along and says whose strategies stay.
TEST_P(GoalsExtras, TheQuestionNamesTheItemsAndTheStrategiesLeftOut) {
    if (store.secure())
        GTEST_SKIP()
            << "the server shows a user no strategy of users he may not see, so none is counted as left out";
    const int stranger = addUser("stranger", "", "Sam Stranger", 1);
    const int g = addGoal("Grow", year, 1, me, me);
    const int s = insertRow(dm->strategyTable, {{"GoalID", g}, {"UserNumber", me}, {"StrategyNumber", 1}});
    insertRow(dm->strategyTable, {{"GoalID", g}, {"UserNumber", stranger}, {"StrategyNumber", 1}});
    for (int n = 1; n <= 3; ++n)
        insertRow(dm->measureTable, {{"StrategyID", s}, {"MeasurementNumber", n}});
    planning::GoalsWindow form(*dm, desktop);
    dialogs.answers = {controls::Answer::Yes, controls::Answer::Ok};
    button(form, "CopyBtn")->click();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Copy 1 goal of %1 into %2?\n"
                             "1 strategy of users whose strategies you may not change will not be copied.\n\n"
                             "Yes: 1 goal, 1 strategy (their unfinished strategies) and 3 measurement items "
                             "will be made.\n"
                             "No: only the 1 goal will be made.\n"
                             "Cancel: nothing is copied.")
                  .arg(year)
                  .arg(year + 1));
    EXPECT_EQ(
        dialogs.messages[1].text,
        QStringLiteral("1 goal, 1 strategy and 3 measurement items were copied into %1.").arg(year + 1));
}

TEST_P(GoalsExtras, WithoutGoalYearsTheListStaysOnTheCurrentYear) {
    dm->user().settings.noGoalYear = true;
    addGoal("Grow", year, 1, me, me);
    planning::GoalsWindow form(*dm, desktop);
    dialogs.answers = {controls::Answer::Yes, controls::Answer::Ok};
    form.findChild<QPushButton*>("CopyBtn")->click();
    EXPECT_EQ(goalsIn(year + 1), 1);
    EXPECT_EQ(dm->goalFilter().year, year);
    EXPECT_EQ(form.goalSpin->value(), year);
}

TEST_P(GoalsExtras, ExportWritesTheListedGoals) {
    addGoal("B, \"quoted\"", year, 1, me, me);
    addGoal("A", year, 1, me, me);
    addGoal("Other year", year - 1, 1, me, me);
    TempDir out;
    dialogs.saveAs = out.file("goals.csv");
    planning::GoalsWindow form(*dm, desktop);
    button(form, "ExportBtn")->click();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.lastText().toStdString();
    ASSERT_EQ(dialogs.saveSuggestions.size(), 1);
    EXPECT_TRUE(dialogs.saveSuggestions[0].endsWith(QStringLiteral("/goals-%1.csv").arg(year)));
    QFile f(out.file("goals.csv"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4) << "header, two goals, and the end of the last line";
    EXPECT_TRUE(lines[1].contains(",\"A\",")) << "in the list's order";
    EXPECT_TRUE(lines[2].contains(",\"B, \"\"quoted\"\"\",")) << lines[2].toStdString();

    // A file that cannot be written: an error box, and no stray file.
    dialogs.saveAs = out.file("no/such/folder/goals.csv");
    button(form, "ExportBtn")->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("The file ")) << dialogs.lastText().toStdString();
    EXPECT_EQ(dialogs.messages[0].icon, controls::Icon::Stop);
}

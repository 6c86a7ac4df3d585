// The goals screen, the goal types and departments screens, and the printed goals list, driven
// offscreen with the scripted dialogs.

#include "controls/DataGrid.h"
#include "controls/DatePicker.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/RadioGroup.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "planning/DepartmentsWindow.h"
#include "planning/GoalTypesWindow.h"
#include "planning/GoalsWindow.h"
#include "reports/GoalsReport.h"
#include "support/DataFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using testing_support::DataFixture;

namespace {
QString pdfText(const QString& pdf) {
    QProcess p;
    p.start("pdftotext", {"-layout", pdf, "-"});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
} // namespace

class GoalsScreen : public DataFixture {
protected:
    void SetUp() override {
        DataFixture::SetUp();
        staff = addProfile("Staff", {"CanAddGoals"});
        me = addUser("me", "", "Mary Me", staff);
        other = addUser("other", "", "Otto Other", staff);
        dm->goalTypeTable.insert();
        dm->goalTypeTable.field("TypeDescription").setValue("Corporate");
        dm->goalTypeTable.post();
        type = dm->goalTypeTable.field("GoalTypeID").asInt();
        ASSERT_TRUE(logOnAs("me"));
        year = QDate::currentDate().year();
    }
    int addGoal(const QString& text, int goalYear, QVariant forUser, int owner) {
        return DataFixture::addGoal(text, goalYear, type, forUser, owner);
    }
    int countRows(const QString& file, const QString& where = {}) {
        engine::Query q(storedDatabase());
        q.add("Select * From \"" + file + "\" " + where);
        q.open();
        return q.recordCount();
    }
    int staff = 0, me = 0, other = 0, type = 0, year = 0;
};
VARDIMO_ON_ALL_STORES(GoalsScreen);

TEST_P(GoalsScreen, NewGoalsTakeTheCalendarYearAndTheUser) {
    addGoal("Last year's", year - 1, me, me);
    planning::GoalsWindow form(*dm, desktop);
    EXPECT_EQ(form.windowTitle(), "Goals");
    EXPECT_EQ(form.goalSpin->value(), year);
    EXPECT_EQ(dm->goalFilter().year, year);
    EXPECT_TRUE(dm->goalFilter().ownOnly);
    EXPECT_TRUE(dm->visibleUsersTable.filtered());
    EXPECT_EQ(dm->goalsTable.recordCount(), 0);
    EXPECT_FALSE(form.saveButton->isEnabled()) << "nothing to save while no goal is listed";
    EXPECT_FALSE(form.deleteButton->isEnabled());
    EXPECT_FALSE(form.resetButton->isEnabled()) << "no CanAddGlobalGoals";
    EXPECT_FALSE(form.ownerBox->isEnabled()) << "no CanModifyAllGoals";

    form.goalSpin->setValue(year - 1);
    EXPECT_EQ(dm->goalsTable.recordCount(), 1);
    form.insertClicked();
    EXPECT_TRUE(form.saveButton->isEnabled());
    EXPECT_FALSE(form.goalForBox->isEnabled()) << "checked while the new record is still empty";
    EXPECT_EQ(dm->goalsTable.field("GoalYear").asInteger(), year) << "the calendar year, not the spin's";
    EXPECT_EQ(dm->goalsTable.field("GoalOwner").asInteger(), me);
    EXPECT_EQ(dm->goalsTable.field("UserNumber").asInteger(), me) << "a goal for himself";
    EXPECT_EQ(dm->goalsTable.field("GoalTypeID").asInteger(), type);
    EXPECT_EQ(form.goalYearArrows->position(), year);
    dm->goalsTable.field("GoalDescription").setValue("Typed");
    // Changing the year re-filters, which stores the pending goal.
    form.goalSpin->setValue(year);
    EXPECT_EQ(dm->goalsTable.state(), engine::DataSet::State::Browse);
    EXPECT_EQ(countRows("goals.db"), 2);
    EXPECT_EQ(dm->goalsTable.field("GoalDescription").asString(), "Typed");
    EXPECT_EQ(dm->goalsTable.field("ModifiedBy").asInteger(), me);
    EXPECT_TRUE(form.goalForBox->isEnabled()) << "stored and shown with its number";

    // The arrows change the year of the shown goal; closing drops what is pending.
    form.goalYearArrows->stepBy(1);
    EXPECT_EQ(dm->goalsTable.field("GoalYear").asInteger(), year + 1);
    form.insertClicked();
    dm->goalsTable.field("GoalDescription").setValue("Never stored");
    form.closeButton->click();
    EXPECT_EQ(countRows("goals.db"), 2);
    EXPECT_EQ(countRows("goals.db", QString("Where Goalyear = %1").arg(year + 1)), 1)
        << "Insert stored the arrows' change first";
    EXPECT_FALSE(dm->goalFilter().ownOnly);
    EXPECT_FALSE(dm->goalsTable.filtered());
    EXPECT_FALSE(dm->visibleUsersTable.filtered());
}

TEST_P(GoalsScreen, GlobalGoalsAndOwnersFollowTheRights) {
    if (store.secure())
        GTEST_SKIP() << "the rights are widened in the program only, which the server does not follow";
    const int global = addGoal("Global", year, {}, me);
    addGoal("Theirs", year, me, other);
    {
        planning::GoalsWindow form(*dm, desktop);
        EXPECT_EQ(dm->goalsTable.recordCount(), 1) << "only goals he owns";
        ASSERT_EQ(dm->goalsTable.field("GoalID").asInt(), global);
        EXPECT_FALSE(form.goalForBox->isEnabled()) << "a global goal cannot be given a user";
        EXPECT_FALSE(form.ownerBox->isEnabled());
        EXPECT_EQ(form.goalForBox->palette().color(QPalette::Base), QPalette().color(QPalette::Button));
        form.reject();
    }
    dm->user().rights.canAddGlobalGoals = true;
    dm->user().rights.canModifyAllGoals = true;
    planning::GoalsWindow form(*dm, desktop);
    EXPECT_EQ(dm->goalsTable.recordCount(), 2);
    EXPECT_TRUE(form.resetButton->isEnabled());
    EXPECT_TRUE(form.ownerBox->isEnabled());
    EXPECT_TRUE(form.goalForBox->isEnabled());
    form.insertClicked();
    EXPECT_TRUE(dm->goalsTable.field("UserNumber").isNull()) << "global unless a user is chosen";
    dm->goalsTable.field("GoalDescription").setValue("New global");
    form.saveClicked();
    EXPECT_TRUE(dm->goalsTable.field("UserNumber").isNull());
    // Reset empties the user of a goal.
    dm->goalsTable.locate("GoalDescription", "Theirs");
    form.resetClicked();
    form.saveClicked();
    EXPECT_EQ(countRows("goals.db", "Where UserNumber Is Null"), 3);
}

TEST_P(GoalsScreen, DeletingAGoalRemovesEveryUsersStrategiesAndTheirMeasurements) {
    const int global = addGoal("Global", year, {}, me);
    const int kept = addGoal("Kept", year, me, me);
    // Where the server holds the rights, "me" may not change Otto's strategies: the goal's
    // deletion must still take them.
    auto strategy = [&](int goal, int user) {
        const int id = insertRow(dm->strategyTable, {{"GoalID", goal}, {"UserNumber", user}});
        insertRow(dm->measureTable, {{"StrategyID", id}});
    };
    strategy(global, me);
    strategy(global, other);
    strategy(kept, me);
    planning::GoalsWindow form(*dm, desktop);
    dm->goalsTable.locate("GoalID", global);
    dialogs.answers = {controls::Answer::No};
    form.deleteClicked();
    EXPECT_EQ(countRows("goals.db"), 2);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Are you sure you want to delete this goal?");
    EXPECT_EQ(dialogs.messages[0].buttons, controls::Buttons::YesNo);
    form.deleteClicked();
    EXPECT_EQ(countRows("goals.db"), 1);
    EXPECT_EQ(countRows("Strategys.db"), 1);
    EXPECT_EQ(countRows("Strategys.db", QString("Where GoalID = %1").arg(kept)), 1);
    EXPECT_EQ(countRows("Measure.db"), 1) << "measurements of the removed strategies go too";
    EXPECT_EQ(dm->goalsTable.field("GoalDescription").asString(), "Kept");
}

TEST_P(GoalsScreen, PrintingTheGoalsList) {
    addGoal("Grow sales", year, me, me);
    addGoal("Global aim", year - 3, {}, me);
    addGoal("Someone else's", year, other, other);
    const int deletedUser = addUser("gone", "", "Gone Person", staff);
    addGoal("Orphan", year, deletedUser, me);
    removeUser(deletedUser);
    dm->user().settings.sendToPrinter = true;

    planning::GoalsWindow form(*dm, desktop);
    // Cancelling the print dialog prints and previews nothing.
    const QString pdf = dir.file("goals.pdf");
    dialogs.printToFile = pdf;
    dialogs.printAnswers = {false};
    form.printClicked();
    EXPECT_EQ(dialogs.printDialogs, 1);
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_TRUE(dialogs.modalTitles.isEmpty());

    form.printClicked();
    ASSERT_TRUE(QFile::exists(pdf));
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains("Vardimo"));
    EXPECT_TRUE(text.contains("Page: 1"));
    EXPECT_TRUE(text.contains(QDate::currentDate().toString("MM/dd/yyyy")));
    for (const char* heading : {"Goal Year", "Name", "Type", "Goal"})
        EXPECT_TRUE(text.contains(heading)) << heading;
    EXPECT_TRUE(
        text.contains(QRegularExpression(QString("%1\\s+Mary Me\\s+Corporate\\s+Grow sales").arg(year))))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression(QString("%1\\s+Corporate\\s+Global aim").arg(year - 3))))
        << "every year is printed; a global goal has an empty name";
    EXPECT_TRUE(text.contains(QRegularExpression("\\d{4}\\s+Corporate\\s+Orphan")))
        << "a deleted user prints no name";
    EXPECT_FALSE(text.contains("Someone else's")) << "only his own goals without CanModifyAllGoals";

    // The preview when reports do not go to the printer.
    dm->user().settings.sendToPrinter = false;
    form.printClicked();
    EXPECT_EQ(dialogs.modalTitles, QStringList({"Print Preview"}));
}

TEST_P(GoalsScreen, GoalsReportPagesAndTheYearColumn) {
    for (int i = 0; i < 120; ++i)
        addGoal(QString("Goal number %1").arg(i, 3, 10, QChar('0')), year, me, me);
    engine::Query q(dm->goalDatabase);
    q.add("Select G.*, T.TypeDescription From \"Goals.DB\" G, \"GoalType\" T");
    q.add("Where G.GoalTypeID = T.GoalTypeID");
    q.open();
    {
        reports::GoalsReport report(*dm, q);
        report.printToPdf(dir.file("long.pdf"));
        EXPECT_GE(report.pageCount(), 2);
    }
    const QString text = pdfText(dir.file("long.pdf"));
    EXPECT_TRUE(text.contains("Page: 2"));
    EXPECT_EQ(text.count("Goal Year"), text.count("Page: ")) << "the heading repeats on every page";
    EXPECT_TRUE(text.contains("Goal number 119"));
    q.close();

    dm->user().settings.noGoalYear = true;
    q.open();
    {
        reports::GoalsReport report(*dm, q);
        EXPECT_FALSE(report.yearHeading->visible);
        EXPECT_FALSE(report.yearText->visible);
        report.printToPdf(dir.file("noyear.pdf"));
    }
    const QString noYear = pdfText(dir.file("noyear.pdf"));
    EXPECT_FALSE(noYear.contains("Goal Year"));
    EXPECT_FALSE(noYear.contains(
        QRegularExpression(QString("^\\s*%1\\s").arg(year), QRegularExpression::MultilineOption)));
    EXPECT_TRUE(noYear.contains("Goal number 000"));
    q.close();

    q.clear();
    q.add("Select G.*, T.TypeDescription From \"Goals.DB\" G, \"GoalType\" T Where G.GoalID = -1");
    q.open();
    {
        reports::GoalsReport report(*dm, q);
        report.printToPdf(dir.file("empty.pdf"));
        EXPECT_EQ(report.pageCount(), 1) << "an empty list prints the heading alone";
    }
    q.close();
}

TEST_P(GoalsScreen, NoGoalYearHidesTheYearControls) {
    dm->user().settings.noGoalYear = true;
    addGoal("This year", year, me, me);
    addGoal("Another year", year + 1, me, me);
    planning::GoalsWindow form(*dm, desktop);
    for (QWidget* w : std::initializer_list<QWidget*>{form.yearLabel, form.goalSpin, form.goalYearLabel,
                                                      form.goalYearEdit, form.goalYearArrows})
        EXPECT_FALSE(w->isVisibleTo(&form));
    EXPECT_EQ(dm->goalsTable.recordCount(), 1) << "the year filter still applies";
}

TEST_P(GoalsScreen, GoalTypesAndDepartments) {
    if (store.secure())
        GTEST_SKIP()
            << "a profile without the rights for goal types and departments, whose menu items stay off";
    planning::GoalTypesWindow types(*dm, desktop);
    EXPECT_EQ(types.windowTitle(), "Gaol Types");
    EXPECT_EQ(types.detailGroup->title(), "Detail");
    types.insertClicked();
    types.descriptionEdit->setFocus();
    dm->goalTypeTable.field("TypeDescription").setValue("Personal");
    types.saveClicked();
    EXPECT_EQ(dm->goalTypeTable.field("ModifiedBy").asInteger(), me);
    EXPECT_FALSE(dm->goalTypeTable.field("ModifiedDate").isNull());
    dialogs.answers = {controls::Answer::Yes};
    types.deleteClicked();
    EXPECT_EQ(dialogs.lastText(), "Are you sure you want to delete this goal type?");
    EXPECT_EQ(countRows("GoalType.db"), 1);
    types.reject();

    planning::DepartmentsWindow depts(*dm, desktop);
    EXPECT_EQ(depts.windowTitle(), "Department");
    EXPECT_EQ(depts.detailGroup->title(), "Department Detail");
    EXPECT_FALSE(depts.saveButton->isEnabled()) << "nothing to save on an empty list";
    EXPECT_FALSE(depts.deleteButton->isEnabled());
    EXPECT_FALSE(depts.idEdit->isEnabled());
    depts.insertClicked();
    EXPECT_TRUE(depts.saveButton->isEnabled());
    dm->departmentTable.field("Description").setValue("Never saved");
    depts.closeButton->click();
    EXPECT_EQ(countRows("Department.db"), 0) << "closing drops the new department";
    EXPECT_EQ(dm->departmentTable.state(), engine::DataSet::State::Browse);
}

namespace {
QStringList offered(QComboBox* box) {
    QStringList names;
    for (int i = 0; i < box->count(); ++i)
        names << box->itemText(i);
    return names;
}
} // namespace

TEST_P(GoalsScreen, GoalForOffersTheUsersStoredWhenTheScreenOpens) {
    const int viewers = addProfile("Viewers", {"CanAddGoals", "CanViewAllStrategys"});
    addUser("viewer", "", "Vera Viewer", viewers);
    {
        // Someone who sees one user: filtered for the screen, every user again after it.
        planning::GoalsWindow form(*dm, desktop);
        form.show();
        EXPECT_EQ(offered(form.goalForBox), QStringList({"Mary Me"}));
        form.closeButton->click();
    }
    EXPECT_FALSE(dm->visibleUsersTable.filtered());
    ASSERT_TRUE(logOnAs("viewer"));
    {
        planning::GoalsWindow form(*dm, desktop);
        form.show();
        EXPECT_TRUE(offered(form.goalForBox).contains("Otto Other"));
        form.closeButton->click();
    }
    // Another workstation adds a user and deletes one between two openings.
    data::DataModule& elsewhere = ownerModule();
    writeRow(
        elsewhere.userSettingsTable,
        {{"UserID", "newton"}, {"UserPassword", "pw"}, {"UserName", "Newton New"}, {"SecurityID", staff}});
    ASSERT_TRUE(elsewhere.userSettingsTable.locate("UserNumber", other));
    elsewhere.userSettingsTable.remove();
    planning::GoalsWindow form(*dm, desktop);
    form.show();
    const QStringList names = offered(form.goalForBox);
    EXPECT_TRUE(names.contains("Newton New")) << names.join(", ").toStdString();
    EXPECT_FALSE(names.contains("Otto Other")) << names.join(", ").toStdString();
    EXPECT_EQ(names.size(), dm->visibleUsersTable.recordCount()) << "every stored user";
    form.closeButton->click();
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_P(GoalsScreen, GoalForNamesAUserTheViewerMayNotSee) {
    if (store.secure())
        GTEST_SKIP()
            << "the server shows a user no other user's row but those he may see, so no hidden name either";
    const int managers = addProfile("Managers", {"CanAddGoals", "CanModifyAllGoals", "CanAddGlobalGoals"});
    const int boss = addUser("boss", "", "Bea Boss", managers);
    const int hidden = addUser("hidden", "", "Hal Hidden", staff);
    const int gone = addUser("gone", "", "Gone Person", staff);
    addAccess(boss, other, true);
    addGoal("A for Hal", year, hidden, hidden);
    addGoal("B global", year, {}, boss);
    addGoal("C for Otto", year, other, boss);
    addGoal("D for someone gone", year, gone, boss);
    ASSERT_TRUE(dm->userSettingsTable.locate("UserNumber", gone));
    dm->userSettingsTable.remove();
    ASSERT_TRUE(logOnAs("boss"));

    planning::GoalsWindow form(*dm, desktop);
    form.show();
    QComboBox* goalFor = form.goalForBox;
    ASSERT_EQ(goalFor->count(), 2) << "himself and Otto";
    ASSERT_EQ(dm->goalsTable.field("GoalDescription").asString(), "A for Hal");
    EXPECT_EQ(goalFor->currentIndex(), -1) << "Hal is not offered";
    EXPECT_EQ(goalFor->placeholderText(), "Hal Hidden");
    const QImage forHal = goalFor->grab().toImage();

    form.goalGrid->selectRow(1);
    ASSERT_EQ(dm->goalsTable.field("GoalDescription").asString(), "B global");
    EXPECT_EQ(goalFor->currentIndex(), -1) << "a global goal is not shown as the first user's";
    EXPECT_EQ(goalFor->currentText(), "");
    EXPECT_EQ(goalFor->placeholderText(), "");
    EXPECT_NE(goalFor->grab().toImage(), forHal) << "a global goal and Hal's goal look different";

    form.goalGrid->selectRow(2);
    EXPECT_EQ(goalFor->currentText(), "Otto Other");
    EXPECT_EQ(goalFor->placeholderText(), "");
    form.goalGrid->selectRow(3);
    EXPECT_EQ(goalFor->placeholderText(), QString("User %1").arg(gone))
        << "no longer a user, still not global";

    // Hal's goal given to a user he may see, with the keyboard; then made global with Reset.
    form.goalGrid->selectRow(0);
    goalFor->setFocus();
    QTest::keyClick(goalFor, Qt::Key_Down);
    EXPECT_EQ(goalFor->currentText(), "Bea Boss");
    EXPECT_EQ(goalFor->placeholderText(), "");
    form.saveButton->click();
    EXPECT_EQ(countRows("goals.db", QString("Where UserNumber = %1").arg(boss)), 1);
    form.goalGrid->selectRow(3);
    form.resetButton->click();
    EXPECT_EQ(goalFor->placeholderText(), "") << "emptied: now a global goal";
    EXPECT_EQ(goalFor->currentIndex(), -1);
    form.saveButton->click();
    EXPECT_EQ(countRows("goals.db", "Where UserNumber Is Null"), 2);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_P(GoalsScreen, AGoalATypeAndADepartmentAreNotSavedWithoutTheirText) {
    if (store.secure())
        GTEST_SKIP()
            << "a profile without the rights for goal types and departments, whose menu items stay off";
    planning::GoalsWindow form(*dm, desktop);
    form.show();
    form.insertButton->click();
    form.saveButton->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.lastText(), "Please enter a Goal.");
    EXPECT_EQ(dm->goalsTable.state(), engine::DataSet::State::Insert) << "still there to be typed";
    form.descriptionEdit->setFocus();
    QTest::keyClicks(form.descriptionEdit, "   ");
    form.saveButton->click();
    EXPECT_EQ(dialogs.messages.size(), 2u) << "blanks are no text";
    // Another year would store it first: refused too, and the year shown stays the list's.
    form.goalSpin->setFocus();
    QTest::keyClick(form.goalSpin, Qt::Key_Down);
    EXPECT_EQ(dialogs.messages.size(), 3u);
    EXPECT_EQ(form.goalSpin->value(), year);
    EXPECT_EQ(dm->goalFilter().year, year);
    EXPECT_EQ(countRows("goals.db"), 0);
    form.descriptionEdit->setFocus();
    form.descriptionEdit->selectAll();
    QTest::keyClicks(form.descriptionEdit, "Grow");
    form.saveButton->click();
    EXPECT_EQ(countRows("goals.db", "Where GoalDescription = \"Grow\""), 1);
    EXPECT_EQ(dialogs.messages.size(), 3u);
    form.reject();

    planning::DepartmentsWindow depts(*dm, desktop);
    depts.show();
    depts.insertButton->click();
    depts.saveButton->click();
    EXPECT_EQ(dialogs.lastText(), "Please enter a Description.");
    EXPECT_EQ(dm->departmentTable.state(), engine::DataSet::State::Insert);
    depts.descriptionEdit->setFocus();
    QTest::keyClicks(depts.descriptionEdit, "Sales");
    depts.saveButton->click();
    EXPECT_EQ(countRows("Department.db", "Where Description = \"Sales\""), 1);
    depts.reject();

    // Goal types: the list is edited in place as well, and a type emptied there is refused
    // when the person moves on to another row.
    planning::GoalTypesWindow types(*dm, desktop);
    types.show();
    types.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&types));
    types.insertButton->click();
    types.saveButton->click();
    EXPECT_EQ(dialogs.lastText(), "Please enter a Description.");
    types.descriptionEdit->setFocus();
    QTest::keyClicks(types.descriptionEdit, "Personal");
    types.saveButton->click();
    ASSERT_EQ(countRows("GoalType.db"), 2);
    const int before = int(dialogs.messages.size());
    controls::DataGrid* list = types.itemGrid;
    const QModelIndex corporate = list->model()->index(0, 1);
    ASSERT_EQ(corporate.data().toString(), "Corporate");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(corporate).center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(corporate).center());
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, list);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Space);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the list takes an edit from its editor after the key
    EXPECT_EQ(int(dialogs.messages.size()), before) << "nothing refused while the row is being edited";
    QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(int(dialogs.messages.size()), before + 1);
    EXPECT_EQ(dialogs.lastText(), "Please enter a Description.");
    EXPECT_TRUE(dm->goalTypeTable.isEditing());
    EXPECT_EQ(list->currentIndex().row(), 0) << "the refused row stays the current one";
    EXPECT_EQ(countRows("GoalType.db", "Where TypeDescription = \"Corporate\""), 1);
    types.closeButton->click();
    EXPECT_EQ(countRows("GoalType.db", "Where TypeDescription = \"Corporate\""), 1);
}

TEST_P(GoalsScreen, AnEmptyListBeginsNothingUntilInsert) {
    planning::GoalsWindow form(*dm, desktop);
    ASSERT_EQ(dm->goalsTable.recordCount(), 0);
    form.show();
    form.descriptionEdit->setFocus();
    QTest::keyClicks(form.descriptionEdit, "A goal of nobody");
    EXPECT_TRUE(form.descriptionEdit->isReadOnly());
    form.saveClicked();
    form.stepGoalYear();
    form.resetClicked();
    EXPECT_EQ(dm->goalsTable.state(), engine::DataSet::State::Browse);
    EXPECT_EQ(countRows("goals.db"), 0) << "no goal without owner, year and type";

    // Insert begins one; the grid shows it as a line of its own; Save stores what Insert began.
    addGoal("Shown", year, me, me);
    form.goalSpinChanged();
    ASSERT_EQ(form.goalGrid->model()->rowCount(), 1);
    form.insertClicked();
    ASSERT_EQ(form.goalGrid->model()->rowCount(), 2);
    EXPECT_EQ(form.goalGrid->model()->index(0, 0).data().toString(), "Shown");
    form.descriptionEdit->setFocus();
    QTest::keyClicks(form.descriptionEdit, "Mine");
    EXPECT_EQ(form.goalGrid->model()->index(1, 0).data().toString(), "Mine");
    EXPECT_EQ(form.goalGrid->model()->index(0, 0).data().toString(), "Shown");
    form.saveClicked();
    EXPECT_EQ(countRows("goals.db", QString("Where GoalOwner = %1 And GoalYear = %2").arg(me).arg(year)), 2);

    // The year box takes only a year from 2000 to 2100.
    form.goalYearEdit->setFocus();
    form.goalYearEdit->selectAll();
    QTest::keyClicks(form.goalYearEdit, "20x7");
    emit form.goalYearEdit->editingFinished();
    EXPECT_EQ(form.goalYearEdit->text(), QString::number(year));
    form.goalYearEdit->selectAll();
    QTest::keyClicks(form.goalYearEdit, "3000");
    emit form.goalYearEdit->editingFinished();
    form.saveClicked();
    EXPECT_EQ(countRows("goals.db", "Where GoalYear < 2000 Or GoalYear > 2100"), 0);
}

TEST_P(GoalsScreen, DeletingAGoalNotYetStoredOnlyDropsIt) {
    addGoal("Kept", year, me, me);
    // Rows that hold no goal number, as imported or left behind: a new goal's number is empty.
    const int loose = insertRow(dm->strategyTable, {{"GoalID", 0}});
    insertRow(dm->measureTable, {{"StrategyID", loose}});
    planning::GoalsWindow form(*dm, desktop);
    form.insertClicked();
    dialogs.answers = {controls::Answer::Yes};
    form.deleteClicked();
    EXPECT_EQ(dm->goalsTable.state(), engine::DataSet::State::Browse);
    EXPECT_EQ(countRows("Strategys.db"), 1);
    EXPECT_EQ(countRows("Measure.db"), 1);
    EXPECT_EQ(countRows("goals.db"), 1);
    EXPECT_EQ(dm->goalsTable.field("GoalDescription").asString(), "Kept");
}

TEST_P(GoalsScreen, TheArrowsNeverCountFromAYearStoredElsewhere) {
    const int goal = addGoal("Shared", year, me, me);
    planning::GoalsWindow form(*dm, desktop);
    ASSERT_EQ(dm->goalsTable.field("GoalID").asInt(), goal);
    {
        // Another workstation moves the goal to the next year.
        engine::Session s;
        s.addAlias("Goal", store.location());
        engine::Database other(s);
        other.open(store.location());
        engine::Table t(other, "goals.db");
        t.open();
        ASSERT_TRUE(t.locate("GoalID", goal));
        t.edit();
        t.field("GoalYear").setValue(year + 5);
        t.post();
    }
    form.goalYearArrows->stepBy(1); // shown: this year, so the arrows say next year
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dm->goalsTable.state(), engine::DataSet::State::Browse);
    EXPECT_EQ(countRows("goals.db", QString("Where GoalYear = %1").arg(year + 5)), 1);
}

TEST_P(GoalsScreen, AGoalTheServerNoLongerLetsHimChangeIsKeptWithAllItsStrategies) {
    if (!store.secure()) GTEST_SKIP() << "the program checks the rights it read at the logon";
    const int goal = addGoal("Mine", year, {}, me);
    const int mine = insertRow(dm->strategyTable, {{"GoalID", goal}, {"UserNumber", me}});
    insertRow(dm->measureTable, {{"StrategyID", mine}});
    insertRow(dm->strategyTable, {{"GoalID", goal}, {"UserNumber", other}});
    planning::GoalsWindow form(*dm, desktop);
    ASSERT_TRUE(dm->goalsTable.locate("GoalID", goal));
    // Meanwhile the administrator takes the right to keep goals from his profile.
    engine::Table& profiles = ownerModule().securityTable;
    profiles.refresh();
    ASSERT_TRUE(profiles.locate("SecurityID", staff));
    profiles.edit();
    profiles.field("CanAddGoals").setValue(false);
    profiles.post();
    dialogs.answers = {controls::Answer::Yes};
    form.deleteButton->click();
    EXPECT_EQ(dialogs.lastText(),
              "goals.db: You may not delete the goal \"Mine\": your profile does not let you "
              "change it.");
    EXPECT_EQ(countRows("goals.db"), 1);
    EXPECT_EQ(countRows("Strategys.db"), 2) << "his own strategy is not deleted either";
    EXPECT_EQ(countRows("Measure.db"), 1);
}

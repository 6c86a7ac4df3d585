// The strategy list, the strategy editor with the select-date dialog, and the move dialog,
// driven offscreen with the scripted dialogs; two real processes where workstations meet.

#include "controls/DataGrid.h"
#include "controls/DateEdit.h"
#include "controls/DatePicker.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/MonthCalendar.h"
#include "controls/RadioGroup.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "engine/Error.h"
#include "planning/GoalsWindow.h"
#include "planning/MoveStrategiesDialog.h"
#include "planning/SelectDateDialog.h"
#include "planning/StrategyEditor.h"
#include "planning/StrategyListWindow.h"
#include "support/DataFixture.h"
#include "support/Peer.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using controls::Answer;
using testing_support::DataFixture;
using testing_support::Peer;

class Strategies : public DataFixture {
protected:
    void SetUp() override {
        DataFixture::SetUp();
        staff = addProfile("Staff", {"CanAddStrategy"});
        boss = addProfile("Boss", {"CanAddStrategy", "Supervisor", "CanViewAllStrategys"});
        me = addUser("me", "", "Mary Me", staff);
        other = addUser("other", "", "Otto Other", staff);
        third = addUser("third", "", "Tina Third", staff);
        chief = addUser("chief", "", "Carl Chief", boss);
        corporate = insertRow(dm->goalTypeTable, {{"TypeDescription", "Corporate"}});
        personal = insertRow(dm->goalTypeTable, {{"TypeDescription", "Personal"}});
        dm->goalTypeTable.locate("GoalTypeID", corporate);
        year = QDate::currentDate().year();
        // Each kind of window the screens open is answered by its own function.
        dialogs.onModal = [this](QDialog& d) {
            if (auto* e = dynamic_cast<planning::StrategyEditor*>(&d)) {
                e->onActivate();
                return editorFn ? editorFn(*e) : int(QDialog::Rejected);
            }
            if (auto* sd = dynamic_cast<planning::SelectDateDialog*>(&d)) return dateFn ? dateFn(*sd) : 0;
            if (auto* m = dynamic_cast<planning::MoveStrategiesDialog*>(&d)) return moveFn ? moveFn(*m) : 0;
            return 0;
        };
    }
    void logOn(const QString& id) {
        ASSERT_TRUE(logOnAs(id));
        dm->goalTypeTable.locate("GoalTypeID", corporate);
    }
    int goal(const QString& text, QVariant forUser, int type = 0, int goalYear = 0) {
        return addGoal(text, goalYear ? goalYear : year, type ? type : corporate, forUser, me);
    }
    int strategy(int goalId, int user, int number, const QString& text = {}) {
        return insertRow(dm->strategyTable, {{"GoalID", goalId},
                                             {"UserNumber", user},
                                             {"StrategyNumber", number},
                                             {"StrategyDescription", text},
                                             {"DoNotPrint", false},
                                             {"Compleated", false}});
    }
    void measurement(int strategyId) {
        insertRow(dm->measureTable, {{"StrategyID", strategyId}, {"MeasurementNumber", 1}});
    }
    int count(const QString& file, const QString& where = {}) {
        engine::Query q(storedDatabase());
        q.add("Select * From \"" + file + "\" " + where);
        q.open();
        return q.recordCount();
    }
    QList<int> listedNumbers() {
        QList<int> out;
        engine::Table& s = dm->strategyTable;
        for (int r = 0; r < s.recordCount(); ++r)
            out << s.valueAt(r, "StrategyNumber").toInt();
        return out;
    }
    void chooseUser(planning::StrategyListWindow& form, int user) {
        form.userBox->setKeyValue(user);
        form.userChosen();
    }
    void selectGoal(int goalId) { ASSERT_TRUE(dm->goalsTable.locate("GoalID", goalId)); }
    // Runs the editor the list opens: fn gets it, already activated, and returns its result.
    void onEditor(std::function<int(planning::StrategyEditor&)> fn) { editorFn = std::move(fn); }
    // The next widget that Tab reaches from w.
    static QWidget* nextTabStop(QWidget* w) {
        QWidget* n = w->nextInFocusChain();
        while (n != w && !((n->focusPolicy() & Qt::TabFocus) && n->isEnabled() && !n->isHidden()))
            n = n->nextInFocusChain();
        return n;
    }
    std::function<int(planning::StrategyEditor&)> editorFn;
    std::function<int(planning::SelectDateDialog&)> dateFn;
    std::function<int(planning::MoveStrategiesDialog&)> moveFn;
    static bool grey(QWidget* w) {
        return w->palette().color(QPalette::Base) == QPalette().color(QPalette::Button);
    }

    int staff = 0, boss = 0, me = 0, other = 0, third = 0, chief = 0;
    int corporate = 0, personal = 0, year = 0;
};
VARDIMO_ON_ALL_STORES(Strategies);

TEST_P(Strategies, TheListShowsTheUsersGoalsAndFollowsTheSelectedGoal) {
    const int global = goal("Global aim", {});
    const int mine = goal("Mine", me);
    goal("Otto's", other);
    goal("Personal one", me, personal);
    goal("Last year's", me, 0, year - 1);
    strategy(global, me, 1, "My global one");
    strategy(global, other, 1, "Otto's global one");
    strategy(mine, me, 1, "First");
    strategy(mine, me, 2, "Second");
    logOn("me");

    planning::StrategyListWindow form(*dm, desktop);
    EXPECT_EQ(form.windowTitle(), "Strategies");
    EXPECT_EQ(form.yearSpin->value(), year);
    EXPECT_EQ(dm->goalFilter().year, year);
    EXPECT_EQ(dm->goalFilter().type, corporate);
    EXPECT_EQ(form.goalTypeBox->currentText(), "Corporate");
    EXPECT_EQ(form.userBox->currentText(), "Mary Me");
    EXPECT_EQ(dm->goalFilter().user, me);
    EXPECT_EQ(dm->strategySelection().user, me);
    EXPECT_TRUE(dm->goalFilter().byUser);
    EXPECT_TRUE(dm->visibleUsersTable.filtered());
    EXPECT_FALSE(form.userBox->isEnabled()) << "an empty access list and no right to see all";
    EXPECT_TRUE(grey(form.userBox));
    EXPECT_FALSE(form.moveButton->isVisibleTo(&form)) << "no Supervisor";
    ASSERT_EQ(dm->goalsTable.recordCount(), 2) << "global and his own goal of the year and type";

    // The first goal in name order is selected and its strategies are listed at once.
    EXPECT_EQ(dm->goalsTable.field("GoalDescription").asString(), "Global aim");
    EXPECT_EQ(dm->strategySelection().goal, global);
    EXPECT_EQ(listedNumbers(), QList<int>({1}));
    EXPECT_EQ(dm->strategyTable.field("ShortStrategy").asString(), "My global one");
    EXPECT_EQ(form.editButton->text(), "Edit");
    for (QPushButton* b : {form.editButton, form.insertButton, form.deleteButton})
        EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();

    // Another goal selected in the grid: the strategies follow, without any painting.
    form.goalGrid->selectRow(1);
    EXPECT_EQ(dm->strategySelection().goal, mine);
    EXPECT_EQ(listedNumbers(), QList<int>({1, 2}));

    // The goal type and year boxes re-filter the goals; an empty goal list lists no strategies.
    form.goalTypeBox->setKeyValue(personal);
    form.goalTypeChosen();
    EXPECT_EQ(dm->goalsTable.recordCount(), 1);
    form.yearSpin->setValue(year + 1);
    EXPECT_EQ(dm->goalsTable.recordCount(), 0);
    EXPECT_EQ(dm->strategySelection().goal, -1);
    EXPECT_EQ(dm->strategyTable.recordCount(), 0);
    EXPECT_FALSE(form.insertButton->isEnabled()) << "no goal to put a strategy under";
    EXPECT_FALSE(form.editButton->isEnabled());
    EXPECT_FALSE(form.deleteButton->isEnabled());
    form.yearSpin->setValue(year - 1);
    form.goalTypeBox->setKeyValue(corporate);
    form.goalTypeChosen();
    EXPECT_EQ(dm->goalsTable.field("GoalDescription").asString(), "Last year's");
    EXPECT_TRUE(form.insertButton->isEnabled());
    EXPECT_FALSE(form.editButton->isEnabled()) << "no strategy under this goal yet";

    // Closing leaves the selection and filters as they are.
    form.closeButton->click();
    EXPECT_TRUE(dm->goalsTable.filtered());
    EXPECT_TRUE(dm->strategyTable.filtered());
    EXPECT_EQ(dm->goalFilter().year, year - 1);
}

TEST_P(Strategies, AUserWhoMayOnlySeeGetsAReadOnlyViewer) {
    const int global = goal("Global aim", {});
    const int empty = goal("Nothing written", {});
    const int theirs = strategy(global, other, 1, "Otto writes");
    addAccess(me, other, false);
    addAccess(me, third, true);
    logOn("me");
    dm->measureTable.open();

    planning::StrategyListWindow form(*dm, desktop);
    EXPECT_TRUE(form.userBox->isEnabled());
    EXPECT_EQ(form.userBox->count(), 3) << "himself and the two he may see";
    chooseUser(form, other);
    selectGoal(global);
    EXPECT_EQ(dm->strategyTable.field("StrategyID").asInt(), theirs);
    EXPECT_EQ(form.editButton->text(), "View");
    EXPECT_TRUE(form.editButton->isEnabled());
    EXPECT_FALSE(form.insertButton->isEnabled());
    EXPECT_FALSE(form.deleteButton->isEnabled());

    bool checked = false;
    onEditor([&](planning::StrategyEditor& e) {
        EXPECT_EQ(e.windowTitle(), "Strategy Edit");
        EXPECT_TRUE(e.isReadOnly());
        for (controls::FieldMemo* m : {e.strategyMemo, e.responsibilityMemo, e.deliverableMemo,
                                       e.measurementMemo, e.resourcesMemo, e.commentsMemo}) {
            EXPECT_TRUE(m->isReadOnly());
            EXPECT_TRUE(grey(m));
        }
        EXPECT_TRUE(grey(e.completionDateEdit));
        for (QWidget* w : std::initializer_list<QWidget*>{e.saveButton, e.resetButton, e.dateButton,
                                                          e.doNotPrintBox, e.completedBox})
            EXPECT_FALSE(w->isEnabled());
        for (QWidget* w :
             std::initializer_list<QWidget*>{e.printButton, e.previewButton, e.cancelButton, e.measureButton})
            EXPECT_TRUE(w->isEnabled());
        EXPECT_EQ(e.strategyMemo->toPlainText(), "Otto writes");
        EXPECT_EQ(e.userBox->currentText(), "Otto Other");
        EXPECT_EQ(e.goalEdit->text(), "Global aim");
        // Typing into a read-only memo changes nothing.
        e.completionDateEdit->setText("01/02/2030");
        e.saveClicked();
        checked = true;
        return int(QDialog::Accepted);
    });
    form.strategyChosen();
    EXPECT_TRUE(checked);
    EXPECT_EQ(count("Strategys.db", "Where CompleationDate Is Null"), 1);
    EXPECT_EQ(dialogs.modalTitles, QStringList({"Strategy Edit"}));

    // Under a goal where that user has written nothing, every button is off.
    selectGoal(empty);
    EXPECT_FALSE(form.insertButton->isEnabled());
    EXPECT_FALSE(form.deleteButton->isEnabled());
    EXPECT_FALSE(form.editButton->isEnabled());
    EXPECT_EQ(form.editButton->text(), "Edit");
    dialogs.modalTitles.clear();
    form.strategyChosen();
    EXPECT_TRUE(dialogs.modalTitles.isEmpty()) << "double click only while the edit button is on";

    // A user he may edit: Insert numbers that user's strategies, and the editor is writable.
    chooseUser(form, third);
    selectGoal(global);
    EXPECT_TRUE(form.insertButton->isEnabled());
    onEditor([](planning::StrategyEditor& e) {
        EXPECT_FALSE(e.isReadOnly());
        EXPECT_EQ(e.userBox->currentText(), "Tina Third");
        e.strategyMemo->setPlainText("For Tina");
        e.saveClicked();
        return e.result();
    });
    form.insertClicked();
    EXPECT_EQ(count("Strategys.db", QString("Where UserNumber = %1 And StrategyNumber = 1").arg(third)), 1);
    EXPECT_EQ(dm->strategyTable.field("ShortStrategy").asString(), "For Tina") << "listed after saving";
}

TEST_P(Strategies, EnterOnAStrategyOpensItAsADoubleClickDoes) {
    const int global = goal("Global aim", {});
    const int empty = goal("Nothing written", {});
    strategy(global, me, 1, "Mine");
    strategy(global, other, 1, "Otto writes");
    addAccess(me, other, false);
    logOn("me");
    planning::StrategyListWindow form(*dm, desktop);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QStringList opened;
    onEditor([&](planning::StrategyEditor& e) {
        opened << e.strategyMemo->toPlainText() + (e.isReadOnly() ? " (read-only)" : "");
        return int(QDialog::Rejected);
    });
    // The person clicks the strategy, then presses Enter.
    selectGoal(global);
    ASSERT_EQ(form.strategyGrid->model()->rowCount(), 1);
    const QRect row = form.strategyGrid->visualRect(form.strategyGrid->model()->index(0, 1));
    QTest::mouseClick(form.strategyGrid->viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_EQ(QApplication::focusWidget(), form.strategyGrid);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(opened, QStringList({"Mine"}));

    // A user he may only see: the edit button reads View, and Enter views (the keypad's too).
    chooseUser(form, other);
    selectGoal(global);
    ASSERT_EQ(form.editButton->text(), "View");
    form.strategyGrid->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(opened, QStringList({"Mine", "Otto writes (read-only)"}));

    // Nothing listed: the edit button is off, and Enter opens nothing.
    selectGoal(empty);
    ASSERT_FALSE(form.editButton->isEnabled());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(opened.size(), 2);
    EXPECT_EQ(dialogs.modalTitles, QStringList({"Strategy Edit", "Strategy Edit"}));
}

TEST_P(Strategies, TypesAndUsersChangedElsewhereShowWhenAScreenOpens) {
    if (store.secure()) GTEST_SKIP() << "the server shows a user no other user's row but those he may see";
    logOn("me");
    {
        planning::GoalsWindow goals(*dm, desktop);
        planning::StrategyListWindow strategies(*dm, desktop);
        ASSERT_EQ(entries(goals.goalTypeBox), QStringList({"Corporate", "Personal"}));
        ASSERT_EQ(entries(strategies.goalTypeBox), QStringList({"Corporate", "Personal"}));
        ASSERT_FALSE(entries(goals.ownerBox).contains("Nina New"));
        strategies.closeButton->click();
        goals.closeButton->click();
    }
    // Another workstation deletes a type, adds one and adds a user; this program runs on.
    Peer peer(store.location());
    ASSERT_EQ(peer.send(QString("delete GoalType.db GoalTypeID %1").arg(personal)), "ok");
    ASSERT_TRUE(peer.send("insert GoalType.db TypeDescription Regional").startsWith("ok "));
    ASSERT_TRUE(peer.send("insert User.db UserName Nina New").startsWith("ok "));
    {
        planning::GoalsWindow goals(*dm, desktop);
        EXPECT_EQ(entries(goals.goalTypeBox), QStringList({"Corporate", "Regional"}));
        EXPECT_TRUE(entries(goals.ownerBox).contains("Nina New")) << "the Goal Owner box";
        goals.closeButton->click();
        // Nothing changed elsewhere since: the lists are not read again.
        QSignalSpy typesRead(&dm->goalTypeSource, &engine::DataSource::rowsChanged);
        QSignalSpy usersRead(&dm->userSettingsSource, &engine::DataSource::rowsChanged);
        planning::StrategyListWindow strategies(*dm, desktop);
        EXPECT_EQ(entries(strategies.goalTypeBox), QStringList({"Corporate", "Regional"}));
        EXPECT_EQ(typesRead.count(), 0);
        EXPECT_EQ(usersRead.count(), 0);
        strategies.closeButton->click();
    }

    // The type the strategy list would start on is deleted: it starts on one that exists.
    ASSERT_TRUE(dm->goalTypeTable.locate("GoalTypeID", corporate));
    ASSERT_EQ(peer.send(QString("delete GoalType.db GoalTypeID %1").arg(corporate)), "ok");
    planning::StrategyListWindow strategies(*dm, desktop);
    EXPECT_EQ(entries(strategies.goalTypeBox), QStringList({"Regional"}));
    EXPECT_EQ(strategies.goalTypeBox->currentText(), "Regional");
    EXPECT_EQ(dm->goalFilter().type, strategies.goalTypeBox->keyValue().toInt());
}

TEST_P(Strategies, NumbersCountPerUserAndGoalAndDeletingKeepsGaps) {
    const int global = goal("Global aim", {});
    strategy(global, other, 1);
    logOn("me");
    dm->measureTable.open();
    planning::StrategyListWindow form(*dm, desktop);
    auto insert = [&](const QString& text) {
        onEditor([text](planning::StrategyEditor& e) {
            EXPECT_TRUE(e.numberEdit->text().toInt() > 0);
            e.strategyMemo->setPlainText(text);
            e.saveClicked();
            return e.result();
        });
        form.insertClicked();
    };
    insert("one");
    insert("two");
    insert("three");
    EXPECT_EQ(listedNumbers(), QList<int>({1, 2, 3})) << "Otto's number 1 does not count";
    engine::Table& s = dm->strategyTable;
    EXPECT_EQ(s.field("ModifiedBy").asInteger(), me);
    EXPECT_FALSE(s.field("DoNotPrint").asBoolean());
    EXPECT_FALSE(s.field("DoNotPrint").isNull());
    EXPECT_FALSE(s.field("Compleated").isNull());

    ASSERT_TRUE(s.locate("StrategyNumber", 2));
    const int second = s.field("StrategyID").asInt();
    measurement(second);
    measurement(second);
    const int first = s.valueAt(0, "StrategyID").toInt();
    measurement(first);
    ASSERT_TRUE(s.locate("StrategyID", second));
    dialogs.answers = {Answer::No};
    form.deleteClicked();
    EXPECT_EQ(dialogs.lastText(), "Are you sure you want to delete this Strategy?");
    EXPECT_EQ(dialogs.messages.back().buttons, controls::Buttons::YesNo);
    EXPECT_EQ(dialogs.messages.back().icon, controls::Icon::Stop);
    EXPECT_EQ(count("Strategys.db"), 4);
    form.deleteClicked();
    EXPECT_EQ(listedNumbers(), QList<int>({1, 3}));
    EXPECT_EQ(count("Measure.db"), 1) << "only the deleted strategy's measurements go";
    insert("four");
    EXPECT_EQ(listedNumbers(), QList<int>({1, 3, 4}));

    // Cancel drops a new strategy; so does closing the editor any other way.
    onEditor([](planning::StrategyEditor& e) {
        e.strategyMemo->setPlainText("never stored");
        e.cancelEdit();
        return e.result();
    });
    form.insertClicked();
    onEditor([](planning::StrategyEditor& e) {
        e.responsibilityMemo->setPlainText("never stored either");
        e.reject(); // Esc
        return e.result();
    });
    form.insertClicked();
    EXPECT_EQ(count("Strategys.db"), 4);
    EXPECT_EQ(s.state(), engine::DataSet::State::Browse);
}

TEST_P(Strategies, TheEditorStoresEveryTextTheDateAndTheMarks) {
    const int global = goal("Global aim", {});
    const int department = insertRow(dm->departmentTable, {{"Description", "Sales"}});
    dm->userSettingsTable.locate("UserNumber", me);
    dm->userSettingsTable.edit();
    dm->userSettingsTable.field("DepartmentID").setValue(department);
    dm->userSettingsTable.post();
    logOn("me");
    planning::StrategyListWindow form(*dm, desktop);
    const QDate picked(2031, 3, 14);
    QDate calendarOpenedOn;
    onEditor([&](planning::StrategyEditor& e) {
        EXPECT_EQ(e.departmentEdit->text(), "Sales");
        EXPECT_EQ(e.numberEdit->text(), "1");
        EXPECT_FALSE(e.numberEdit->isEnabled());
        EXPECT_FALSE(e.userBox->isEnabled());
        EXPECT_TRUE(e.measureButton->isHidden()) << "single measurements";
        EXPECT_EQ(e.focusWidget(), e.completionDateEdit) << "focus starts at the completion date";
        EXPECT_EQ(nextTabStop(e.completionDateEdit), e.completedBox);
        EXPECT_EQ(nextTabStop(e.completedBox), e.strategyMemo);
        EXPECT_EQ(nextTabStop(e.measurementMemo), e.resourcesMemo);
        EXPECT_EQ(nextTabStop(e.commentsMemo), e.doNotPrintBox);
        const QStringList texts{"Strategy text",    "Responsible", "Deliverable text",
                                "Measurement text", "Resources",   "Status"};
        int i = 0;
        for (controls::FieldMemo* m : {e.strategyMemo, e.responsibilityMemo, e.deliverableMemo,
                                       e.measurementMemo, e.resourcesMemo, e.commentsMemo})
            m->setPlainText(texts[i++]);
        e.completedBox->setChecked(true);
        e.doNotPrintBox->setChecked(true);
        // The date dialog: Cancel changes nothing, OK takes the calendar's date.
        dateFn = [&](planning::SelectDateDialog& sd) {
            EXPECT_EQ(sd.windowTitle(), "Select Date");
            calendarOpenedOn = sd.calendar->selectedDate();
            return int(QDialog::Rejected);
        };
        e.dateClicked();
        EXPECT_EQ(calendarOpenedOn, QDate::currentDate()) << "an empty date opens on today";
        EXPECT_TRUE(dm->strategyTable.field("CompleationDate").isNull());
        dateFn = [&](planning::SelectDateDialog& sd) {
            sd.calendar->setSelectedDate(picked);
            return int(QDialog::Accepted);
        };
        e.dateClicked();
        EXPECT_EQ(e.completionDateEdit->text(), "03/14/2031");
        e.resetClicked();
        EXPECT_EQ(e.completionDateEdit->text(), "");
        e.dateClicked();
        e.saveClicked();
        return e.result();
    });
    form.insertClicked();
    ASSERT_EQ(count("Strategys.db"), 1);
    engine::Table& s = dm->strategyTable;
    EXPECT_EQ(s.field("StrategyDescription").asString(), "Strategy text");
    EXPECT_EQ(s.field("Responsibility").asString(), "Responsible");
    EXPECT_EQ(s.field("Deliverable").asString(), "Deliverable text");
    EXPECT_EQ(s.field("Measurement").asString(), "Measurement text");
    EXPECT_EQ(s.field("AddationalResources").asString(), "Resources");
    EXPECT_EQ(s.field("CommentsStatus").asString(), "Status");
    EXPECT_EQ(s.field("CompleationDate").asDate(), picked);
    EXPECT_TRUE(s.field("Compleated").asBoolean());
    EXPECT_TRUE(s.field("DoNotPrint").asBoolean());
    EXPECT_EQ(s.field("GoalID").asInteger(), global);
    EXPECT_EQ(s.field("UserNumber").asInteger(), me);

    // Editing: the calendar opens on the stored date; Reset then Cancel keeps it.
    onEditor([&](planning::StrategyEditor& e) {
        EXPECT_EQ(e.modifiedByBox->currentText(), "Mary Me");
        dateFn = [&](planning::SelectDateDialog& sd) {
            calendarOpenedOn = sd.calendar->selectedDate();
            return int(QDialog::Rejected);
        };
        e.dateClicked();
        e.resetClicked();
        e.cancelEdit();
        return e.result();
    });
    form.editClicked();
    EXPECT_EQ(calendarOpenedOn, picked);
    EXPECT_EQ(s.field("CompleationDate").asDate(), picked);

    // A typed date is taken whole, never a partial year; a text that is no date is refused and
    // stays in the box.
    onEditor([&](planning::StrategyEditor& e) {
        e.completionDateEdit->clear();
        QTest::keyClicks(e.completionDateEdit, "12/15/2027");
        EXPECT_EQ(e.completionDateEdit->text(), "12/15/2027");
        EXPECT_EQ(dm->strategyTable.field("CompleationDate").asDate(), picked) << "not written while typing";
        e.saveClicked();
        return e.result();
    });
    form.editClicked();
    EXPECT_EQ(s.field("CompleationDate").asDate(), QDate(2027, 12, 15));
    onEditor([&](planning::StrategyEditor& e) {
        e.completionDateEdit->selectAll();
        QTest::keyClicks(e.completionDateEdit, "13/45/2027");
        dialogs.messages.clear();
        e.saveButton->click();
        EXPECT_EQ(dialogs.lastText(), "'13/45/2027' is not a valid date.");
        EXPECT_NE(e.result(), QDialog::Accepted) << "the editor stays open";
        EXPECT_EQ(e.completionDateEdit->text(), "13/45/2027") << "kept, to be corrected";
        EXPECT_EQ(dm->strategyTable.field("CompleationDate").asDate(), QDate(2027, 12, 15));
        e.completionDateEdit->selectAll();
        QTest::keyClicks(e.completionDateEdit, "1/2/27");
        e.saveButton->click();
        EXPECT_EQ(dialogs.lastText(), "'1/2/27' is not a valid date.");
        e.completionDateEdit->selectAll();
        QTest::keyClick(e.completionDateEdit, Qt::Key_Delete);
        e.saveButton->click();
        return e.result();
    });
    form.editClicked();
    EXPECT_TRUE(s.field("CompleationDate").isNull()) << "an emptied box empties the date";

    // A memo holds long, many-line text whole.
    const QString longText = QString("line one\nline two\n") + QString(5000, QChar('x'));
    onEditor([&](planning::StrategyEditor& e) {
        e.commentsMemo->setPlainText(longText);
        e.saveClicked();
        return e.result();
    });
    form.editClicked();
    EXPECT_EQ(s.field("CommentsStatus").asString(), longText);
}

TEST_P(Strategies, MultipleMeasurementsSwapTheMemosForTheItemsButton) {
    const int global = goal("Global aim", {});
    logOn("me");
    dm->user().settings.multipleMeasures = true;
    planning::StrategyEditor multiple(*dm, desktop);
    EXPECT_TRUE(multiple.deliverableLabel->isHidden());
    EXPECT_TRUE(multiple.deliverableMemo->isHidden());
    EXPECT_TRUE(multiple.measurementMemo->isHidden());
    EXPECT_FALSE(multiple.measurementLabel->isHidden());
    EXPECT_FALSE(multiple.measureButton->isHidden());
    EXPECT_EQ(multiple.measureButton->text(), "Deliverable/Measurement Items");
    dm->user().settings.multipleMeasures = false;
    planning::StrategyEditor plain(*dm, desktop);
    EXPECT_LT(multiple.height(), plain.height()) << "no gap where the memos were";

    // The items need a stored strategy: a pending new one is stored first.
    planning::StrategyListWindow form(*dm, desktop);
    ASSERT_EQ(dm->strategySelection().goal, global);
    dm->user().settings.multipleMeasures = true;
    onEditor([](planning::StrategyEditor& e) {
        e.strategyMemo->setPlainText("stored for its items");
        e.measureClicked();
        e.cancelEdit();
        return e.result();
    });
    form.insertClicked();
    EXPECT_EQ(count("Strategys.db"), 1) << "Cancel after the items no longer removes it";
}

TEST_P(Strategies, PrintAndPreviewRefuseDoNotPrintAndHandTheStoredStrategyOver) {
    if (store.secure())
        GTEST_SKIP() << "a staff user deletes his own user row, which only an administrator may";
    const int global = goal("Global aim", {});
    const int id = strategy(global, me, 1, "Stored text");
    logOn("me");
    planning::StrategyListWindow form(*dm, desktop);
    ASSERT_EQ(dm->strategyTable.field("StrategyID").asInt(), id);
    planning::StrategyEditor e(*dm, desktop);
    e.onActivate();

    // The mark as shown counts, saved or not; nothing else happens.
    e.doNotPrintBox->setChecked(true);
    e.printClicked();
    e.previewClicked();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    for (const auto& m : dialogs.messages) {
        EXPECT_EQ(m.text, "This Strategy Has Been Marked As Do Not Print!");
        EXPECT_EQ(m.title, "Vardimo");
        EXPECT_EQ(m.icon, controls::Icon::Stop);
        EXPECT_EQ(m.buttons, controls::Buttons::Ok);
    }
    EXPECT_EQ(dialogs.printDialogs, 0);
    e.doNotPrintBox->setChecked(false);

    // A cancelled print dialog stops; the unsaved text is not what the report gets.
    e.strategyMemo->setPlainText("Unsaved text");
    dialogs.messages.clear();
    dialogs.printAnswers = {false};
    e.printClicked();
    EXPECT_EQ(dialogs.printDialogs, 1);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(e.strategyQuery.isOpen());

    e.prepareStrategyQuery();
    engine::Query& q = e.strategyQuery;
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.field("StrategyID").asInteger(), id);
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.field("StrategyDescription").asString(), "Stored text");
    EXPECT_EQ(q.field("GoalDescription").asString(), "Global aim");
    EXPECT_EQ(q.field("GoalYear").asInteger(), year);
    EXPECT_EQ(q.field("username").asString(), "Mary Me");
    EXPECT_EQ(q.field("TypeDescription").asString(), "Corporate");
    q.close();

    // Print, then the report; the query is closed afterwards.
    e.printClicked();
    EXPECT_EQ(dialogs.printDialogs, 2);
    EXPECT_FALSE(q.isOpen());
    EXPECT_FALSE(q.prepared());
    e.previewClicked();
    EXPECT_EQ(dialogs.printDialogs, 2) << "no print dialog for a preview";
    e.cancelEdit();
    EXPECT_EQ(count("Strategys.db", "Where StrategyDescription = \"Stored text\""), 1);

    // A strategy whose owner is gone yields no row for the report.
    dm->userSettingsTable.locate("UserNumber", me);
    dm->userSettingsTable.remove();
    e.prepareStrategyQuery();
    EXPECT_EQ(q.recordCount(), 0);
    q.close();

    // A new strategy not stored yet: the print dialog, then nothing.
    dm->strategyTable.insert();
    dm->strategyTable.field("UserNumber").setValue(me);
    const int before = int(dialogs.messages.size());
    e.printClicked();
    e.previewClicked();
    EXPECT_EQ(dialogs.printDialogs, 3);
    EXPECT_EQ(int(dialogs.messages.size()), before);
    EXPECT_FALSE(q.isOpen());
    dm->strategyTable.cancel();
}

TEST_P(Strategies, TheSupervisorMovesAStrategyToAnotherUser) {
    const int global = goal("Global aim", {});
    const int empty = goal("Nothing yet", {});
    const int moved = strategy(global, me, 1, "to be moved");
    strategy(global, me, 2, "stays");
    strategy(global, other, 1);
    strategy(global, other, 2);
    addUser("lone", "", "Lone Supervisor", addProfile("Supervisor only", {"CanAddStrategy", "Supervisor"}));
    logOn("lone");
    {
        planning::StrategyListWindow form(*dm, desktop);
        EXPECT_TRUE(form.moveButton->isVisibleTo(&form));
        EXPECT_FALSE(form.userBox->isEnabled()) << "Supervisor alone does not open the user box";
        EXPECT_EQ(form.userBox->count(), 6) << "yet every user is visible";
    }
    logOn("chief");
    planning::StrategyListWindow form(*dm, desktop);
    EXPECT_TRUE(form.moveButton->isVisibleTo(&form));
    EXPECT_TRUE(form.userBox->isEnabled());
    chooseUser(form, me);
    selectGoal(global);
    ASSERT_EQ(dm->strategyTable.field("StrategyID").asInt(), moved);

    auto move = [&](QVariant target, int number, bool ok = true) {
        moveFn = [=](planning::MoveStrategiesDialog& m) {
            EXPECT_EQ(m.windowTitle(), "Move Strategy");
            EXPECT_EQ(m.numberSpin->value(), 0);
            EXPECT_EQ(m.userBox->currentIndex(), -1) << "no user chosen at first";
            EXPECT_EQ(m.userBox->count(), 6) << "every user for a Supervisor";
            if (target.isValid()) m.userBox->setKeyValue(target);
            m.numberSpin->setValue(number);
            if (ok)
                m.okButton->click();
            else
                m.cancelButton->click();
            return m.result();
        };
        form.moveClicked();
    };
    auto numberOf = [&](int id) {
        engine::Query q(storedDatabase());
        q.add("Select * From \"Strategys.db\" Where StrategyID = ", engine::sql::Int{id});
        q.open();
        return std::make_pair(int(q.field("UserNumber").asInteger()),
                              int(q.field("StrategyNumber").asInteger()));
    };
    move({}, 0);
    move(other, 7, false);
    EXPECT_EQ(numberOf(moved), std::make_pair(me, 1)) << "no user, or Cancel: nothing changes";

    move(other, 0);
    EXPECT_EQ(numberOf(moved), std::make_pair(other, 3)) << "after Otto's 1 and 2";
    EXPECT_EQ(listedNumbers(), QList<int>({2})) << "the moved one leaves the list";
    EXPECT_EQ(count("Strategys.db", QString("Where UserNumber = %1 And StrategyNumber = 2").arg(me)), 1)
        << "the former owner's numbers stay";

    const int stays = dm->strategyTable.field("StrategyID").asInt();
    move(third, 0);
    EXPECT_EQ(numberOf(stays), std::make_pair(third, 1)) << "first of a user with none there";

    chooseUser(form, other);
    ASSERT_TRUE(dm->strategyTable.locate("StrategyID", moved));
    move(third, 1);
    EXPECT_EQ(numberOf(moved), std::make_pair(third, 1)) << "a typed number is kept as typed";
    EXPECT_EQ(count("Strategys.db", QString("Where UserNumber = %1 And GoalID = %2").arg(third).arg(global)),
              2);

    // With no strategy listed Move is off, and the dialog would not make one up.
    selectGoal(empty);
    EXPECT_FALSE(form.moveButton->isEnabled());
    planning::MoveStrategiesDialog dialog(*dm);
    dialog.userBox->setKeyValue(me);
    dialog.moveStrategies();
    EXPECT_EQ(count("Strategys.db"), 4);
    EXPECT_EQ(count("Strategys.db", QString("Where GoalID = %1").arg(empty)), 0);
}

TEST_P(Strategies, DeleteWithMeasurementsIsAllOrNothing) {
    const int global = goal("Global aim", {});
    const int id = strategy(global, me, 1, "locked elsewhere");
    logOn("me");
    dm->measureTable.open();
    measurement(id);
    measurement(id);
    planning::StrategyListWindow form(*dm, desktop);
    Peer peer(store.location());
    ASSERT_EQ(peer.send(QString("edit Strategys.db StrategyID %1 Responsibility theirs").arg(id)), "ok");
    form.deleteButton->click();
    EXPECT_EQ(dialogs.lastText(), "Record locked by another user.");
    EXPECT_EQ(count("Strategys.db"), 1);
    EXPECT_EQ(count("Measure.db"), 2) << "the measurements stay with the strategy that stays";
    ASSERT_EQ(peer.send("post Strategys.db"), "ok");
    form.deleteButton->click();
    EXPECT_EQ(count("Strategys.db"), 0);
    EXPECT_EQ(count("Measure.db"), 0);
}

TEST_P(Strategies, TwoWorkstationsInsertUnderTheSameGoalAndNeitherNumberIsLost) {
    const int global = goal("Global aim", {});
    logOn("me");
    planning::StrategyListWindow form(*dm, desktop);
    Peer peer(store.location());
    onEditor([&](planning::StrategyEditor& e) {
        EXPECT_EQ(e.numberEdit->text(), "1");
        // Meanwhile the other workstation stores its own number 1 for the same user and goal.
        const QString key = peer.send("insert Strategys.db StrategyDescription theirs").mid(3);
        EXPECT_EQ(peer.send(QString("edit Strategys.db StrategyID %1 GoalID %2").arg(key).arg(global)), "ok");
        EXPECT_EQ(peer.send("post Strategys.db"), "ok");
        EXPECT_EQ(peer.send(QString("edit Strategys.db StrategyID %1 UserNumber %2").arg(key).arg(me)), "ok");
        EXPECT_EQ(peer.send("post Strategys.db"), "ok");
        EXPECT_EQ(peer.send(QString("edit Strategys.db StrategyID %1 StrategyNumber 1").arg(key)), "ok");
        EXPECT_EQ(peer.send("post Strategys.db"), "ok");
        e.strategyMemo->setPlainText("mine");
        e.saveClicked();
        EXPECT_EQ(e.numberEdit->text(), "2") << "the editor shows the number stored";
        EXPECT_EQ(
            dialogs.lastText(),
            "Strategy # 1 was taken by another user meanwhile. This Strategy was saved as Strategy # 2.");
        return e.result();
    });
    form.insertClicked();
    EXPECT_EQ(
        count("Strategys.db",
              QString("Where GoalID = %1 And UserNumber = %2 And StrategyNumber = 1").arg(global).arg(me)),
        1)
        << "the number is taken as the row is stored, so no two strategies share it";
    EXPECT_EQ(listedNumbers(), QList<int>({1, 2}));
    EXPECT_EQ(dm->strategyTable.recordCount(), 2);
    EXPECT_EQ(dm->nextStrategyNumber(dm->strategySelection()), 3);

    // Stored in the meantime under another goal or user, a number stays free here: nothing to tell.
    const size_t told = dialogs.messages.size();
    strategy(global, other, 3);
    onEditor([&](planning::StrategyEditor& e) {
        EXPECT_EQ(e.numberEdit->text(), "3");
        e.saveClicked();
        EXPECT_EQ(e.numberEdit->text(), "3");
        return e.result();
    });
    form.insertClicked();
    EXPECT_EQ(dialogs.messages.size(), told);
    EXPECT_EQ(listedNumbers(), QList<int>({1, 2, 3}));
}

TEST_P(Strategies, AStrategyEditedElsewhereIsNeitherLostNorOverwritten) {
    const int global = goal("Global aim", {});
    const int id = strategy(global, me, 1, "original");
    logOn("me");
    planning::StrategyListWindow form(*dm, desktop);
    Peer peer(store.location());
    planning::StrategyEditor e(*dm, desktop);
    e.onActivate();
    ASSERT_EQ(e.strategyMemo->toPlainText(), "original");

    // The other workstation is editing: typing here meets its lock, and the refused typing
    // gives way to the stored text, so that nothing is on screen that is in no record.
    ASSERT_EQ(peer.send(QString("edit Strategys.db StrategyID %1 Responsibility theirs").arg(id)), "ok");
    e.strategyMemo->setPlainText("mine");
    EXPECT_EQ(dialogs.lastText(), "Record locked by another user.");
    EXPECT_EQ(dm->strategyTable.state(), engine::DataSet::State::Browse);
    EXPECT_EQ(e.strategyMemo->toPlainText(), "original");

    // Once it has stored its change, typing shows that change first; typed again and saved,
    // this one is stored beside it.
    ASSERT_EQ(peer.send("post Strategys.db"), "ok");
    e.strategyMemo->setPlainText("mine");
    EXPECT_TRUE(dialogs.lastText().contains("changed by another user")) << dialogs.lastText().toStdString();
    EXPECT_EQ(e.strategyMemo->toPlainText(), "original");
    e.strategyMemo->setPlainText("mine");
    e.saveButton->click();
    EXPECT_EQ(e.result(), QDialog::Accepted);
    EXPECT_EQ(count("Strategys.db", "Where StrategyDescription = \"mine\" And Responsibility = \"theirs\""),
              1);

    // Both changed the same text: the stored one is shown, never overwritten by the stale one.
    planning::StrategyEditor again(*dm, desktop);
    again.onActivate();
    ASSERT_EQ(peer.send(QString("edit Strategys.db StrategyID %1 StrategyDescription theirs too").arg(id)),
              "ok");
    ASSERT_EQ(peer.send("post Strategys.db"), "ok");
    dialogs.messages.clear();
    again.strategyMemo->setPlainText("mine again");
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.lastText().contains("changed by another user")) << dialogs.lastText().toStdString();
    EXPECT_EQ(again.strategyMemo->toPlainText(), "theirs too");
    again.cancelEdit();
    EXPECT_EQ(count("Strategys.db", "Where StrategyDescription = \"theirs too\""), 1);

    // A date changed elsewhere since it was shown is not typed over unseen.
    planning::StrategyEditor dated(*dm, desktop);
    dated.onActivate();
    ASSERT_EQ(dated.completionDateEdit->text(), "");
    ASSERT_EQ(peer.send(QString("edit Strategys.db StrategyID %1 CompleationDate 2030-05-01").arg(id)), "ok");
    ASSERT_EQ(peer.send("post Strategys.db"), "ok");
    QTest::keyClick(dated.completionDateEdit, '0');
    EXPECT_TRUE(dialogs.lastText().contains("changed by another user")) << dialogs.lastText().toStdString();
    EXPECT_EQ(dated.completionDateEdit->text(), "05/01/2030");
    dated.completionDateEdit->selectAll();
    QTest::keyClicks(dated.completionDateEdit, "01/01/2031");
    dated.saveClicked();
    EXPECT_EQ(count("Strategys.db", "Where CompleationDate = \"2031-01-01\""), 1)
        << "typed again, it is stored";

    // And the other way round: while this editor holds the row, the other workstation waits.
    planning::StrategyEditor third(*dm, desktop);
    third.onActivate();
    third.responsibilityMemo->setPlainText("held here");
    EXPECT_TRUE(peer.send(QString("edit Strategys.db StrategyID %1 Responsibility later").arg(id))
                    .startsWith("error"));
    third.saveClicked();
    EXPECT_EQ(count("Strategys.db", "Where Responsibility = \"held here\""), 1);
}

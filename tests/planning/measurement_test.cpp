// The measurements screen, driven offscreen with the scripted dialogs.

#include "controls/DataGrid.h"
#include "controls/DateEdit.h"
#include "controls/DatePicker.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/RadioGroup.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "planning/MeasurementsWindow.h"
#include "reports/ReportFixture.h"

#include <QCalendarWidget>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

class MeasurementScreen : public testing_support::ReportFixture {
protected:
    void SetUp() override {
        ReportFixture::SetUp();
        addAccess(me, other, false);
        logOn();
        goal = addGoal("Grow sales", year, type, {}, me);
        mine = addStrategy(goal, me, 1);
        theirs = addStrategy(goal, other, 1);
    }
    void standOn(int strategy) { ASSERT_TRUE(dm->strategyTable.locate("StrategyID", strategy)); }
    int stored(int strategy) {
        engine::Query q(dm->goalDatabase);
        q.add("Select * From \"Measure.db\" Where StrategyID = ", engine::sql::Int{strategy});
        q.open();
        return q.recordCount();
    }
    engine::Table& items() { return dm->measureTable; }
    int goal = 0, mine = 0, theirs = 0;
};
VARDIMO_ON_ALL_STORES(MeasurementScreen);

TEST_P(MeasurementScreen, AFirstItemIsBegunAtOnceAndDroppedOnClose) {
    addMeasure(theirs, 1);
    standOn(mine);
    {
        planning::MeasurementsWindow form(*dm, desktop);
        EXPECT_EQ(form.windowTitle(), "Measurments");
        EXPECT_EQ(form.detailGroup->title(), "Detail");
        QAbstractItemModel* grid = form.measureGrid->model();
        EXPECT_EQ(grid->headerData(0, Qt::Horizontal).toString(), "Number");
        EXPECT_EQ(grid->headerData(1, Qt::Horizontal).toString(), "Completion Date");
        EXPECT_EQ(grid->headerData(2, Qt::Horizontal).toString(), "Deliverable");
        EXPECT_EQ(dm->measuredStrategy(), mine);
        EXPECT_TRUE(items().filtered());
        EXPECT_EQ(items().state(), engine::DataSet::State::Insert);
        EXPECT_EQ(items().field("MeasurementNumber").asInteger(), 1);
        EXPECT_EQ(items().field("StrategyID").asInteger(), mine);
        EXPECT_FALSE(items().field("Compleated").asBoolean());
        EXPECT_FALSE(items().field("Compleated").isNull());
        EXPECT_TRUE(form.saveButton->isEnabled());
        EXPECT_FALSE(form.numberEdit->isEnabled()) << "the number is never typed";
        form.closeButton->click();
    }
    EXPECT_EQ(stored(mine), 0) << "closing without Save drops the first item";
    EXPECT_EQ(items().state(), engine::DataSet::State::Browse);

    // Escape drops a changed item just the same.
    planning::MeasurementsWindow form(*dm, desktop);
    items().field("Deliverable").setValue("typed, never saved");
    form.reject();
    EXPECT_EQ(stored(mine), 0);
}

TEST_P(MeasurementScreen, AStrategyTheUserMayOnlyView) {
    standOn(theirs);
    {
        planning::MeasurementsWindow form(*dm, desktop);
        EXPECT_EQ(items().state(), engine::DataSet::State::Browse)
            << "no first item for a view-only strategy";
        EXPECT_TRUE(items().isEmpty());
        EXPECT_FALSE(form.deleteButton->isEnabled());
    }
    addMeasure(theirs, 1, {{"Deliverable", "Theirs"}});
    standOn(theirs);
    planning::MeasurementsWindow form(*dm, desktop);
    EXPECT_EQ(items().recordCount(), 1);
    for (QWidget* w : std::initializer_list<QWidget*>{form.insertButton, form.saveButton, form.deleteButton,
                                                      form.resetButton, form.dateButton, form.completedBox})
        EXPECT_FALSE(w->isEnabled()) << w->metaObject()->className();
    EXPECT_TRUE(form.measurementMemo->isReadOnly());
    EXPECT_TRUE(form.deliverableMemo->isReadOnly());
    EXPECT_EQ(form.completionDateEdit->palette().color(QPalette::Base), QPalette().color(QPalette::Button));
    EXPECT_TRUE(form.closeButton->isEnabled());
    EXPECT_EQ(form.deliverableMemo->toPlainText(), "Theirs");
    form.reject();

    // A strategy not stored yet has no key to hang items on.
    dm->strategyTable.insert();
    dm->strategyTable.field("UserNumber").setValue(me);
    planning::MeasurementsWindow unsaved(*dm, desktop);
    EXPECT_EQ(items().state(), engine::DataSet::State::Browse);
    EXPECT_FALSE(unsaved.insertButton->isEnabled());
    dm->strategyTable.cancel();
}

TEST_P(MeasurementScreen, NumbersAfterDeletesAndInsertSettlingAPendingItem) {
    standOn(mine);
    planning::MeasurementsWindow form(*dm, desktop);
    for (const char* text : {"one", "two", "three"}) {
        if (items().state() != engine::DataSet::State::Insert) form.insertClicked();
        items().field("Deliverable").setValue(text);
        form.saveClicked();
    }
    ASSERT_EQ(stored(mine), 3);
    EXPECT_EQ(items().field("MeasurementNumber").asInteger(), 3);

    dialogs.answers = {controls::Answer::No};
    form.deleteClicked();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Are you sure you want to delete this Measurement?");
    EXPECT_EQ(dialogs.messages[0].icon, controls::Icon::Stop);
    EXPECT_EQ(dialogs.messages[0].buttons, controls::Buttons::YesNo);
    EXPECT_EQ(stored(mine), 3);
    form.deleteClicked();
    EXPECT_EQ(stored(mine), 2);
    form.insertClicked();
    EXPECT_EQ(items().field("MeasurementNumber").asInteger(), 3) << "the highest was deleted";

    // An untouched new item is dropped by the next Insert; a changed one is stored by it.
    form.insertClicked();
    EXPECT_EQ(stored(mine), 2);
    EXPECT_EQ(items().field("MeasurementNumber").asInteger(), 3);
    items().field("Measurement").setValue("changed");
    form.insertClicked();
    EXPECT_EQ(stored(mine), 3) << "Insert stored the changed item first";
    EXPECT_EQ(items().field("MeasurementNumber").asInteger(), 4);
    form.closeWindow();

    standOn(mine);
    planning::MeasurementsWindow again(*dm, desktop);
    EXPECT_EQ(items().state(), engine::DataSet::State::Browse);
    ASSERT_TRUE(items().locate("MeasurementNumber", 2));
    again.deleteClicked();
    again.insertClicked();
    EXPECT_EQ(items().field("MeasurementNumber").asInteger(), 4)
        << "numbers are never given twice above a gap";
    items().field("Deliverable").setValue("four");
    again.saveClicked();
    EXPECT_EQ(items().field("ModifiedBy").asInteger(), me);
    EXPECT_FALSE(items().field("ModifiedDate").isNull());
}

TEST_P(MeasurementScreen, TheDateDialogResetAndCompleted) {
    addMeasure(mine, 1);
    standOn(mine);
    planning::MeasurementsWindow form(*dm, desktop);
    QDate shown;
    const QDate picked(year, 4, 5);
    dialogs.onModal = [&](QDialog& d) {
        auto* calendar = d.findChild<QCalendarWidget*>();
        shown = calendar->selectedDate();
        calendar->setSelectedDate(picked);
        return int(QDialog::Accepted);
    };
    form.dateClicked();
    EXPECT_EQ(dialogs.modalTitles, QStringList({"Select Date"}));
    EXPECT_EQ(shown, QDate::currentDate()) << "an empty date opens on today";
    EXPECT_EQ(items().field("CompleationDate").asDate(), picked);
    form.completedBox->click();
    form.saveClicked();

    dialogs.onModal = [&](QDialog& d) {
        shown = d.findChild<QCalendarWidget*>()->selectedDate();
        d.findChild<QCalendarWidget*>()->setSelectedDate(picked.addDays(3));
        return int(QDialog::Rejected);
    };
    form.dateClicked();
    EXPECT_EQ(shown, picked);
    EXPECT_EQ(items().state(), engine::DataSet::State::Browse) << "Cancel changes nothing";

    form.resetClicked();
    EXPECT_TRUE(items().field("CompleationDate").isNull());
    form.saveClicked();
    EXPECT_TRUE(items().field("Compleated").asBoolean()) << "Completed does not depend on the date";
    EXPECT_TRUE(items().field("CompleationDate").isNull());
}

TEST_P(MeasurementScreen, ADateTypedIntoTheBoxIsTakenWhole) {
    addMeasure(mine, 1);
    standOn(mine);
    planning::MeasurementsWindow form(*dm, desktop);
    form.completionDateEdit->clear();
    QTest::keyClicks(form.completionDateEdit, "01/15/2027");
    EXPECT_EQ(form.completionDateEdit->text(), "01/15/2027") << "nothing is written over the typing";
    EXPECT_TRUE(items().field("CompleationDate").isNull()) << "not written while typing";
    form.saveClicked();
    EXPECT_EQ(items().state(), engine::DataSet::State::Browse);
    EXPECT_EQ(items().field("CompleationDate").asDate(), QDate(2027, 1, 15));

    // A new item settles the typed date of the pending one first.
    form.insertClicked();
    QTest::keyClicks(form.completionDateEdit, "02/03/2028");
    form.insertClicked();
    engine::Query q(dm->goalDatabase);
    q.add("Select * From \"Measure.db\" Where MeasurementNumber = 2");
    q.open();
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.field("CompleationDate").asDate(), QDate(2028, 2, 3));

    // A text that is no date is refused, and nothing is stored.
    QTest::keyClicks(form.completionDateEdit, "13/45/2027");
    dialogs.messages.clear();
    form.saveButton->click();
    EXPECT_EQ(dialogs.lastText(), "'13/45/2027' is not a valid date.");
    EXPECT_EQ(stored(mine), 2);
}

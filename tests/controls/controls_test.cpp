// Data-aware controls and the default error handler, offscreen against a real table.

#include "controls/DataControls.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/Plain.h"
#include "controls/Screen.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Table.h"
#include "support/TempDir.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace controls;

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        engine::Database::create(dir.path());
        db.open(dir.path());
        types.open();
        for (const char* t : {"Corporate", "Personal"}) {
            types.insert();
            types.field("TypeDescription").setValue(t);
            types.post();
        }
        goals.open();
        goals.insert();
        goals.field("GoalDescription").setValue("First");
        goals.field("GoalTypeID").setValue(1);
        goals.post();
        goals.insert();
        goals.field("GoalDescription").setValue("Second");
        goals.post();
        goals.first();
    }
    testing_support::TempDir dir;
    engine::Session session;
    engine::Database db{session};
    engine::Table goals{db, "goals.db"};
    engine::Table types{db, "GoalType.db"};
    engine::DataSource goalsSource{&goals};
    engine::DataSource typesSource{&types};
    ScriptedDialogs dialogs;
};

TEST_F(Controls, TypingStartsEditingAndWritesAtOnce) {
    DBEdit edit;
    edit.bind(&goalsSource, "GoalDescription");
    QSignalSpy changed(&edit, &DBEdit::changed);
    EXPECT_EQ(edit.text(), "First");
    edit.show();
    edit.setFocus();
    edit.selectAll();
    QTest::keyClicks(&edit, "Typed");
    EXPECT_EQ(goals.state(), engine::DataSet::State::Edit);
    EXPECT_EQ(goals.field("GoalDescription").asString(), "Typed");
    goals.next(); // settles: posted
    EXPECT_EQ(edit.text(), "Second");
    EXPECT_GE(changed.count(), 2) << "also when another row becomes current";
    goals.first();
    EXPECT_EQ(edit.text(), "Typed");

    DBEdit year;
    year.bind(&goalsSource, "GoalYear");
    year.show();
    year.setFocus();
    QTest::keyClicks(&year, "20x");
    EXPECT_EQ(goals.field("GoalYear").asInteger(), 20) << "what is not a number is not written";
    QTest::keyClick(&year, Qt::Key_Backspace);
    QTest::keyClicks(&year, "02");
    EXPECT_EQ(goals.field("GoalYear").asInteger(), 2002);
    EXPECT_TRUE(dialogs.messages.empty());
    QTest::keyClicks(&year, "y");
    emit year.editingFinished(); // leaving the box with what is no number
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "'2002y' is not a valid integer value.");
    EXPECT_EQ(goals.field("GoalYear").asInteger(), 2002);
    EXPECT_EQ(year.text(), "2002");
}

TEST_F(Controls, LookupBoxCheckBoxMemoAndGrid) {
    DBLookupComboBox box;
    box.setList(&typesSource, "GoalTypeID", "TypeDescription");
    box.bind(&goalsSource, "GoalTypeID");
    EXPECT_EQ(box.count(), 2);
    EXPECT_EQ(box.currentText(), "Corporate");
    QSignalSpy closeUp(&box, &DBLookupComboBox::closeUp);
    emit box.activated(1); // as when the person picks the second entry
    EXPECT_EQ(goals.field("GoalTypeID").asInteger(), 2);
    EXPECT_EQ(closeUp.count(), 1);
    goals.next();
    EXPECT_EQ(box.currentIndex(), -1) << "an empty key shows no entry";

    DBGrid grid;
    grid.bind(&goalsSource, {{"GoalDescription", "Goal"}});
    EXPECT_EQ(grid.model()->rowCount(), 2);
    EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal).toString(), "Goal");
    EXPECT_EQ(grid.currentIndex().row(), 1) << "follows the current row";
    grid.setCurrentIndex(grid.model()->index(0, 0));
    EXPECT_EQ(goals.recNo(), 0) << "and moves it";

    engine::Table strategies(db, "Strategys.db");
    strategies.open();
    engine::DataSource ss(&strategies);
    DBCheckBox check("Completed");
    check.bind(&ss, "Compleated");
    DBMemo memo;
    memo.bind(&ss, "StrategyDescription");
    check.setChecked(true);
    EXPECT_EQ(strategies.state(), engine::DataSet::State::Insert) << "an edit on an empty table inserts";
    EXPECT_TRUE(strategies.field("Compleated").asBoolean());
    memo.setPlainText("line one\nline two");
    strategies.post();
    EXPECT_EQ(strategies.field("StrategyDescription").asString(), "line one\nline two");
    check.setChecked(false);
    strategies.post();
    EXPECT_FALSE(strategies.field("Compleated").isNull()) << "false is stored, not left empty";
    EXPECT_FALSE(strategies.field("Compleated").asBoolean());
}

TEST_F(Controls, DisabledControlsAreGreyAndErrorsGoToTheDefaultHandler) {
    DBEdit edit;
    setControlEnabled(&edit, false);
    EXPECT_FALSE(edit.isEnabled());
    EXPECT_EQ(edit.palette().color(QPalette::Base), QPalette().color(QPalette::Button));
    setControlEnabled(&edit, true);
    EXPECT_EQ(edit.palette().color(QPalette::Base), QPalette().color(QPalette::Base));

    // An exception escaping an event handler: the box, and the pending change stays pending.
    goals.edit();
    goals.field("GoalDescription").setValue("Pending");
    QPushButton button("Throw");
    QObject::connect(&button, &QPushButton::clicked, &button,
                     handler([] { throw engine::Error("Record locked by another user."); }));
    button.click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Record locked by another user.");
    EXPECT_EQ(dialogs.messages[0].title, "Vardimo");
    EXPECT_EQ(dialogs.messages[0].icon, Icon::Stop);
    EXPECT_EQ(dialogs.messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(goals.state(), engine::DataSet::State::Edit);
    EXPECT_EQ(goals.field("GoalDescription").asString(), "Pending");

    // The application object is the last net, for event handlers of widgets.
    struct Thrower : QWidget {
        void keyPressEvent(QKeyEvent*) override { throw engine::Error("From a key"); }
    } w;
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QApplication::sendEvent(&w, &key);
    EXPECT_EQ(dialogs.lastText(), "From a key");
}

TEST_F(Controls, PlainHelpersAndTheScreenBase) {
    SpinBox spin(2000, 2100);
    QSignalSpy spy(&spin, &QSpinBox::valueChanged);
    spin.setValue(2050);
    spin.setValue(3000);
    EXPECT_EQ(spin.value(), 2100);
    EXPECT_EQ(spy.count(), 2) << "changes made by code fire too";
    UpDown arrows(2000, 2100);
    QSignalSpy clicked(&arrows, &UpDown::clicked);
    arrows.setPosition(2010);
    EXPECT_EQ(clicked.count(), 0);
    arrows.stepBy(1);
    EXPECT_EQ(arrows.position(), 2011);
    EXPECT_EQ(clicked.count(), 1);
    DatePicker date;
    date.setDate(QDate(2002, 3, 4));
    EXPECT_EQ(date.text(), "03/04/2002");
    RadioGroup group("Report", {"All", "Completed", "Open"});
    EXPECT_EQ(group.itemIndex(), -1);
    group.setItemIndex(2);
    EXPECT_EQ(group.itemIndex(), 2);

    setHelpFileExists(false);
    Screen without;
    EXPECT_FALSE(without.HelpBtn->isVisibleTo(&without));
    setHelpFileExists(true);
    Screen with;
    EXPECT_TRUE(with.HelpBtn->isVisibleTo(&with));
    setHelpFileExists(false);
}

// Data-aware controls and the default error handler, offscreen against a real table.

#include "controls/BusyWaitNote.h"
#include "controls/DataGrid.h"
#include "controls/DateEdit.h"
#include "controls/DatePicker.h"
#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/RadioGroup.h"
#include "controls/Screen.h"
#include "controls/ScriptedDialogs.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "support/Peer.h"
#include "support/Stores.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace controls;

class Controls : public ::testing::TestWithParam<testing_support::Store> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(store.make(GetParam()));
        // Where the server holds the logons, a workstation reaches it only as a user's role.
        if (store.secure())
            session.setServerLogon("Supervisor", testing_support::TestStore::supervisorPassword());
        db.open(store.location());
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
    testing_support::TestStore store;
    engine::Session session;
    engine::Database db{session};
    engine::Table goals{db, "goals.db"};
    engine::Table types{db, "GoalType.db"};
    engine::DataSource goalsSource{&goals};
    engine::DataSource typesSource{&types};
    ScriptedDialogs dialogs;
    // Where the controls a test makes on their own show their messages, once attached to it.
    Desktop desktop{dialogs};
};
VARDIMO_ON_ALL_STORES(Controls);

TEST_P(Controls, TypingStartsEditingAndWritesAtOnce) {
    FieldEdit edit;
    edit.bind(&goalsSource, "GoalDescription");
    QSignalSpy changed(&edit, &FieldEdit::changed);
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

    FieldEdit year;
    desktop.attach(&year);
    year.bind(&goalsSource, "GoalYear");
    year.show();
    year.setFocus();
    QTest::keyClicks(&year, "20x");
    EXPECT_EQ(goals.field("GoalYear").asInteger(), 20) << "what is not a number is not taken";
    QTest::keyClicks(&year, "02");
    EXPECT_EQ(goals.field("GoalYear").asInteger(), 2002);
    QTest::keyClicks(&year, "y");
    emit year.editingFinished();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(goals.field("GoalYear").asInteger(), 2002);
    EXPECT_EQ(year.text(), "2002");
}

TEST_P(Controls, LookupBoxCheckBoxMemoAndGrid) {
    LookupComboBox box;
    box.setList(&typesSource, "GoalTypeID", "TypeDescription");
    box.bind(&goalsSource, "GoalTypeID");
    EXPECT_EQ(box.count(), 2);
    EXPECT_EQ(box.currentText(), "Corporate");
    QSignalSpy closeUp(&box, &LookupComboBox::closeUp);
    emit box.activated(1); // as when the person picks the second entry
    EXPECT_EQ(goals.field("GoalTypeID").asInteger(), 2);
    EXPECT_EQ(closeUp.count(), 1);
    goals.next();
    EXPECT_EQ(box.currentIndex(), -1) << "an empty key shows no entry";

    DataGrid grid;
    grid.bind(&goalsSource, {{"GoalDescription", "Goal"}});
    EXPECT_EQ(grid.model()->rowCount(), 2);
    EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal).toString(), "Goal");
    EXPECT_EQ(grid.currentIndex().row(), 1) << "follows the current row";
    grid.setCurrentIndex(grid.model()->index(0, 0));
    EXPECT_EQ(goals.recNo(), 0) << "and moves it";

    engine::Table strategies(db, "Strategys.db");
    strategies.open();
    engine::DataSource ss(&strategies);
    FieldCheckBox check("Completed");
    check.bind(&ss, "Compleated");
    FieldMemo memo;
    memo.bind(&ss, "StrategyDescription");
    check.setChecked(true);
    EXPECT_EQ(strategies.state(), engine::DataSet::State::Browse) << "no row: no typing, Insert begins one";
    EXPECT_FALSE(check.isChecked());
    EXPECT_TRUE(memo.isReadOnly());
    strategies.insert();
    EXPECT_FALSE(memo.isReadOnly());
    check.setChecked(true);
    EXPECT_TRUE(strategies.field("Compleated").asBoolean());
    memo.setPlainText("line one\nline two");
    strategies.post();
    EXPECT_EQ(strategies.field("StrategyDescription").asString(), "line one\nline two");
    check.setChecked(false);
    strategies.post();
    EXPECT_FALSE(strategies.field("Compleated").isNull()) << "false is stored, not left empty";
    EXPECT_FALSE(strategies.field("Compleated").asBoolean());
}

TEST_P(Controls, DisabledControlsAreGreyAndErrorsGoToTheDefaultHandler) {
    FieldEdit edit;
    setControlEnabled(&edit, false);
    EXPECT_FALSE(edit.isEnabled());
    EXPECT_EQ(edit.palette().color(QPalette::Base), QPalette().color(QPalette::Button));
    setControlEnabled(&edit, true);
    EXPECT_EQ(edit.palette().color(QPalette::Base), QPalette().color(QPalette::Base));

    // An exception escaping an event handler: the box, and the pending change stays pending.
    goals.edit();
    goals.field("GoalDescription").setValue("Pending");
    QPushButton button("Throw");
    desktop.attach(&button);
    QObject::connect(&button, &QPushButton::clicked, &button,
                     handler(&button, [] { throw engine::Error("Record locked by another user."); }));
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
    desktop.attach(&w);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QApplication::sendEvent(&w, &key);
    EXPECT_EQ(dialogs.lastText(), "From a key");
}

TEST_P(Controls, PlainHelpersAndTheScreenBase) {
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

    Desktop noHelp(dialogs);
    Screen without(noHelp);
    EXPECT_FALSE(without.helpButton->isVisibleTo(&without));
    Desktop withHelp(dialogs, {true, {}}, {});
    Screen with(withHelp);
    EXPECT_TRUE(with.helpButton->isVisibleTo(&with));
}

TEST_P(Controls, AnEmptyListTakesNoTypingUntilInsert) {
    engine::Table depts(db, "Department.db");
    depts.open();
    engine::DataSource ds(&depts);
    FieldEdit edit;
    edit.bind(&ds, "Description");
    LookupComboBox box;
    box.setList(&typesSource, "GoalTypeID", "TypeDescription");
    box.bind(&ds, "ModifiedBy");
    edit.show();
    edit.setFocus();
    EXPECT_TRUE(edit.isReadOnly());
    QTest::keyClicks(&edit, "Sales");
    emit box.activated(0);
    EXPECT_EQ(depts.state(), engine::DataSet::State::Browse);
    EXPECT_EQ(depts.recordCount(), 0) << "nothing was begun, nothing can be stored";
    depts.insert();
    EXPECT_FALSE(edit.isReadOnly());
    QTest::keyClicks(&edit, "Sales");
    depts.post();
    EXPECT_EQ(depts.field("Description").asString(), "Sales");
}

TEST_P(Controls, ANumberBoxWritesOnlyAWholeValueInItsRange) {
    goals.edit();
    goals.field("GoalYear").setValue(2027);
    goals.post();
    FieldEdit year;
    desktop.attach(&year);
    year.bind(&goalsSource, "GoalYear");
    year.setRange(2000, 2100);
    year.show();
    year.setFocus();
    year.selectAll();
    QTest::keyClicks(&year, "20x7");
    EXPECT_EQ(year.text(), "207") << "no letters";
    EXPECT_EQ(goals.field("GoalYear").asInteger(), 2027) << "no part of the typing is written";
    EXPECT_TRUE(dialogs.messages.empty());
    emit year.editingFinished();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "'207' is not a value from 2000 to 2100.");
    EXPECT_EQ(year.text(), "2027") << "the refused text gives way to the field's value";
    goals.next();
    goals.first();
    EXPECT_EQ(goals.field("GoalYear").asInteger(), 2027);

    year.selectAll();
    QTest::keyClicks(&year, "1999");
    emit year.editingFinished();
    EXPECT_EQ(dialogs.lastText(), "'1999' is not a value from 2000 to 2100.");
    EXPECT_EQ(goals.field("GoalYear").asInteger(), 2027);
    year.selectAll();
    QTest::keyClicks(&year, "2031");
    EXPECT_EQ(goals.field("GoalYear").asInteger(), 2031);
    emit year.editingFinished();
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

TEST_P(Controls, TextBoxesTakeAtMostTheFieldsWidth) {
    FieldEdit goal;
    goal.bind(&goalsSource, "GoalDescription");
    EXPECT_EQ(goal.maxLength(), 120);
    goal.show();
    goal.setFocus();
    goal.selectAll();
    QApplication::clipboard()->setText(QString(100000, 'x'));
    goal.paste();
    EXPECT_EQ(goals.field("GoalDescription").asString().size(), 120);

    // The goal types list edited in place: its editor takes 40 characters.
    DataGrid grid;
    grid.bind(&typesSource, {{"GoalTypeID", "ID"}, {"TypeDescription", "Description"}}, false);
    grid.show();
    const QModelIndex cell = grid.model()->index(1, 1);
    grid.edit(cell);
    auto* editor = grid.findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->maxLength(), 40);
    // Writing through the grid edits that row.
    ASSERT_TRUE(grid.model()->setData(cell, "Team", Qt::EditRole));
    EXPECT_EQ(types.recNo(), 1);
    EXPECT_EQ(types.state(), engine::DataSet::State::Edit);
    types.post();
    EXPECT_EQ(types.field("TypeDescription").asString(), "Team");
    EXPECT_FALSE(grid.model()->setData(grid.model()->index(0, 1), "x", Qt::DisplayRole));
}

TEST_P(Controls, OnlyADeliberatePickChangesALookupBox) {
    LookupComboBox box;
    box.setList(&typesSource, "GoalTypeID", "TypeDescription");
    box.bind(&goalsSource, "GoalTypeID");
    QWidget other;
    box.show();
    other.show();
    other.setFocus();
    QWheelEvent down(QPointF(5, 5), box.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&box, &down);
    EXPECT_EQ(goals.state(), engine::DataSet::State::Browse);
    EXPECT_EQ(goals.field("GoalTypeID").asInteger(), 1);
    EXPECT_EQ(box.currentText(), "Corporate");
    EXPECT_EQ(box.focusPolicy(), Qt::StrongFocus);

    // Boxes over one list share its entries; moving the bound rows does not read the list again.
    LookupComboBox second;
    second.setList(&typesSource, "GoalTypeID", "TypeDescription");
    second.bind(&goalsSource, "GoalTypeID");
    EXPECT_EQ(second.model(), box.model());
    QSignalSpy reread(box.model(), &QAbstractItemModel::modelReset);
    goals.next();
    goals.first();
    EXPECT_EQ(reread.count(), 0);
    EXPECT_EQ(second.currentText(), "Corporate");
    types.insert();
    types.field("TypeDescription").setValue("Quality");
    types.post();
    EXPECT_GE(reread.count(), 1);
    EXPECT_EQ(box.count(), 3);
    EXPECT_EQ(second.count(), 3);
    EXPECT_EQ(second.currentText(), "Corporate");
}

// A lookup box takes its size from the widths its list keeps instead of measuring every entry:
// it must come out exactly as a plain QComboBox over the same entries, and stay fixed once
// shown as QComboBox's does.
TEST_P(Controls, ALookupBoxIsSizedAsAPlainComboBox) {
    for (const char* t : {"A rather long goal type description", "WWWWWWWWWWWW", "i"}) {
        types.insert();
        types.field("TypeDescription").setValue(t);
        types.post();
    }
    LookupComboBox box;
    box.setList(&typesSource, "GoalTypeID", "TypeDescription");
    box.bind(&goalsSource, "GoalTypeID");
    QComboBox plain;
    plain.setModel(box.model());
    EXPECT_EQ(box.sizeHint(), plain.sizeHint());
    EXPECT_EQ(box.minimumSizeHint(), plain.minimumSizeHint());
    EXPECT_GT(box.sizeHint().width(), box.fontMetrics().boundingRect("WWWWWWWWWWWW").width());

    // Another font is measured for itself, though the list is shared.
    LookupComboBox big;
    QFont f = big.font();
    f.setPointSize(f.pointSize() * 2);
    big.setFont(f);
    big.setList(&typesSource, "GoalTypeID", "TypeDescription");
    QComboBox plainBig;
    plainBig.setFont(f);
    plainBig.setModel(big.model());
    EXPECT_EQ(big.sizeHint(), plainBig.sizeHint());
    EXPECT_GT(big.sizeHint().width(), box.sizeHint().width());

    // Shown, the hint is measured once more and then kept while the list changes.
    box.show();
    plain.show();
    const QSize shown = box.sizeHint();
    EXPECT_EQ(shown, plain.sizeHint());
    types.insert();
    types.field("TypeDescription").setValue("An even longer goal type than the others");
    types.post();
    EXPECT_EQ(box.count(), 6);
    EXPECT_EQ(box.sizeHint(), shown);
    EXPECT_EQ(plain.sizeHint(), shown);
    EXPECT_EQ(box.minimumSizeHint(), plain.minimumSizeHint());
    LookupComboBox later; // a box made now measures the longer entry
    later.setList(&typesSource, "GoalTypeID", "TypeDescription");
    QComboBox plainLater;
    plainLater.setModel(later.model());
    EXPECT_EQ(later.sizeHint(), plainLater.sizeHint());
    EXPECT_GT(later.sizeHint().width(), box.sizeHint().width());

    // An empty list, and a box QComboBox sizes by other rules, as QComboBox does.
    engine::Table depts(db, "Department.db");
    depts.open();
    engine::DataSource ds(&depts);
    LookupComboBox empty;
    empty.setList(&ds, "DepartmentID", "Description");
    QComboBox plainEmpty;
    plainEmpty.setModel(empty.model());
    EXPECT_EQ(empty.sizeHint(), plainEmpty.sizeHint());
    EXPECT_EQ(empty.minimumSizeHint(), plainEmpty.minimumSizeHint());
    LookupComboBox fixed;
    fixed.setList(&typesSource, "GoalTypeID", "TypeDescription");
    fixed.setMinimumContentsLength(5);
    QComboBox plainFixed;
    plainFixed.setMinimumContentsLength(5);
    plainFixed.setModel(fixed.model());
    EXPECT_EQ(fixed.minimumSizeHint(), plainFixed.minimumSizeHint());
}

TEST_P(Controls, ARowBeingInsertedIsALineOfItsOwn) {
    DataGrid grid;
    grid.bind(&goalsSource, {{"GoalDescription", "Goal"}});
    FieldEdit edit;
    edit.bind(&goalsSource, "GoalDescription");
    QAbstractItemModel* m = grid.model();
    goals.insert();
    ASSERT_EQ(m->rowCount(), 3);
    EXPECT_EQ(m->index(0, 0).data().toString(), "First") << "the row that was current keeps its text";
    EXPECT_EQ(m->index(1, 0).data().toString(), "Second");
    EXPECT_EQ(m->index(2, 0).data().toString(), "");
    EXPECT_EQ(grid.currentIndex().row(), 2);
    edit.show();
    edit.setFocus();
    QTest::keyClicks(&edit, "Third");
    EXPECT_EQ(m->index(2, 0).data().toString(), "Third");
    EXPECT_EQ(m->index(0, 0).data().toString(), "First");
    goals.cancel();
    EXPECT_EQ(m->rowCount(), 2);
    EXPECT_EQ(goals.recordCount(), 2);
}

namespace {
// A data set whose every read fails, as a locked or broken table does.
class BrokenSet : public engine::DataSet {
public:
    bool isOpen() const override { return true; }
    int recordCount() override { return 3; }
    int recNo() override { return 0; }
    void moveTo(int) override {}
    bool eof() const override { return false; }
    bool bof() const override { return false; }
    bool hasField(const QString&) const override { return true; }
    engine::FieldType fieldType(const QString&) const override { return engine::FieldType::Text; }
    QStringList fieldNames() const override { return {"A"}; }
    QVariant fieldValue(const QString&) override { throw engine::Error("goals.db: the file is locked."); }
    QVariant valueAt(int, const QString&) override { throw engine::Error("goals.db: the file is locked."); }
};
} // namespace

TEST_P(Controls, AGridThatCannotReadSaysSoOnce) {
    BrokenSet broken;
    engine::DataSource source(&broken);
    DataGrid grid;
    desktop.attach(&grid);
    grid.bind(&source, {{"A", "A"}});
    for (int r = 0; r < 3; ++r)
        grid.model()->index(r, 0).data();
    QApplication::processEvents();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "goals.db: the file is locked.");
    EXPECT_EQ(dialogs.messages[0].icon, Icon::Stop);
}

// Two workstations show the same rows; one saves, the other types over what it showed.
TEST_P(Controls, AChangeSavedElsewhereIsNeverOverwritten) {
    engine::Table strategies(db, "Strategys.db");
    strategies.open();
    strategies.insert();
    strategies.field("StrategyDescription").setValue("Plan");
    strategies.field("Compleated").setValue(false);
    strategies.post();
    engine::DataSource ss(&strategies);
    FieldEdit edit;
    desktop.attach(&edit);
    edit.bind(&goalsSource, "GoalDescription");
    FieldMemo memo;
    desktop.attach(&memo);
    memo.bind(&ss, "StrategyDescription");
    FieldCheckBox done("Completed");
    desktop.attach(&done);
    done.bind(&ss, "Compleated");
    const qint64 goalId = goals.field("GoalID").asInteger();
    ASSERT_EQ(edit.text(), "First");

    testing_support::Peer a(store.location());
    ASSERT_EQ(a.send(QString("edit goals.db GoalID %1 GoalDescription First A").arg(goalId)), "ok");
    ASSERT_EQ(a.send("post goals.db"), "ok");
    ASSERT_EQ(a.send(QString("edit Strategys.db StrategyID %1 StrategyDescription Plan A")
                         .arg(strategies.field("StrategyID").asInteger())),
              "ok");
    ASSERT_EQ(a.send("post Strategys.db"), "ok");

    // B still shows "First" and types " B" at its end.
    edit.show();
    edit.setFocus();
    edit.end(false);
    QTest::keyClick(&edit, ' ');
    ASSERT_EQ(dialogs.messages.size(), 1u) << "the person is told before the typing applies";
    EXPECT_EQ(dialogs.messages[0].text,
              "The record was changed by another user. Its stored values are shown now; make your change "
              "again.");
    EXPECT_EQ(edit.text(), "First A") << "the stored row is shown";
    EXPECT_EQ(goals.state(), engine::DataSet::State::Browse);
    edit.end(false);
    QTest::keyClicks(&edit, " B");
    goals.post();
    EXPECT_EQ(goals.field("GoalDescription").asString(), "First A B") << "A's saved text is kept";

    // The memo and the check box behave alike.
    memo.show();
    memo.setFocus();
    memo.moveCursor(QTextCursor::End);
    QTest::keyClick(&memo, '!');
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(memo.toPlainText(), "Plan A");
    EXPECT_EQ(strategies.state(), engine::DataSet::State::Browse);
    ASSERT_EQ(a.send(QString("edit Strategys.db StrategyID %1 Compleated 1")
                         .arg(strategies.field("StrategyID").asInteger())),
              "ok");
    ASSERT_EQ(a.send("post Strategys.db"), "ok");
    done.setChecked(true);
    EXPECT_EQ(dialogs.messages.size(), 3u);
    EXPECT_EQ(strategies.state(), engine::DataSet::State::Browse);
    strategies.refresh();
    EXPECT_EQ(strategies.field("StrategyDescription").asString(), "Plan A");
}

namespace {
// What a person's keys must make of a text: `typed` put in at `at`.
QString typedInto(const QString& text, int at, const QString& typed) {
    return text.left(at) + typed + text.mid(at);
}
} // namespace

// Keys typed into a stored row that is not being edited yet land where the cursor is, every one
// of them: the first key begins the edit, which reads the row afresh, and that must not move
// the cursor or drop the box's undo history.
TEST_P(Controls, TypingIntoAStoredRowLandsWhereTheCursorIs) {
    goals.edit();
    goals.field("GoalDescription").setValue("Cut waste in production");
    goals.post();
    FieldEdit edit;
    edit.bind(&goalsSource, "GoalDescription");
    edit.show();
    edit.setFocus();
    QString expected = "Cut waste in production";
    for (int at : {0, 4, int(expected.size())}) {
        ASSERT_EQ(goals.state(), engine::DataSet::State::Browse);
        edit.setCursorPosition(at);
        QTest::keyClicks(&edit, "XY");
        expected = typedInto(expected, at, "XY");
        EXPECT_EQ(edit.text(), expected) << "typed at " << at;
        EXPECT_EQ(edit.cursorPosition(), at + 2);
        goals.post();
        EXPECT_EQ(goals.field("GoalDescription").asString(), expected) << "stored as shown";
    }
    // Select and replace, then paste in the middle; Ctrl+Z takes back the paste alone.
    edit.setSelection(2, 3);
    QTest::keyClicks(&edit, "Q");
    expected = expected.left(2) + "Q" + expected.mid(5);
    EXPECT_EQ(edit.text(), expected);
    goals.post();
    QApplication::clipboard()->setText("[pasted]");
    edit.setCursorPosition(6);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), typedInto(expected, 6, "[pasted]"));
    EXPECT_EQ(goals.field("GoalDescription").asString(), edit.text());
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), expected) << "undo as in a plain box";
    EXPECT_EQ(goals.field("GoalDescription").asString(), expected);
    edit.setCursorPosition(3);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Delete);
    expected = expected.left(2) + expected.mid(4);
    EXPECT_EQ(edit.text(), expected);
    goals.post();
    EXPECT_EQ(goals.field("GoalDescription").asString(), expected);

    // Memos: an empty one, then the start, middle and end of several lines.
    engine::Table strategies(db, "Strategys.db");
    strategies.open();
    strategies.insert();
    strategies.field("Compleated").setValue(false);
    strategies.post();
    engine::DataSource ss(&strategies);
    FieldMemo memo;
    memo.bind(&ss, "StrategyDescription");
    memo.show();
    memo.setFocus();
    QTest::keyClicks(&memo, "Hello world");
    EXPECT_EQ(memo.toPlainText(), "Hello world");
    QTest::keyClick(&memo, Qt::Key_Return);
    QTest::keyClicks(&memo, "second line");
    strategies.post();
    expected = "Hello world\nsecond line";
    EXPECT_EQ(strategies.field("StrategyDescription").asString(), expected);
    QString beforeLast;
    for (int step = 0; step < 3; ++step) {
        const int at = step == 0 ? 0 : step == 1 ? 14 : int(expected.size());
        beforeLast = expected;
        QTextCursor c = memo.textCursor();
        c.setPosition(at);
        memo.setTextCursor(c);
        QTest::keyClicks(&memo, "ZZZ");
        expected = typedInto(expected, at, "ZZZ");
        EXPECT_EQ(memo.toPlainText(), expected) << "typed at " << at;
        strategies.post();
        EXPECT_EQ(strategies.field("StrategyDescription").asString(), expected);
    }
    QTest::keyClick(&memo, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(memo.toPlainText(), beforeLast) << "undo as in a plain box";
    EXPECT_EQ(strategies.field("StrategyDescription").asString(), memo.toPlainText());
}

// Another workstation holds the row: the refused key leaves nothing on screen, and keys that
// come while the message is up bring no message of their own.
TEST_P(Controls, ARefusedEditLeavesTheStoredTextAndOneMessage) {
    engine::Table strategies(db, "Strategys.db");
    strategies.open();
    strategies.insert();
    strategies.field("Deliverable").setValue("Report");
    strategies.field("Compleated").setValue(false);
    strategies.post();
    const qint64 id = strategies.field("StrategyID").asInteger();
    engine::DataSource ss(&strategies);
    FieldMemo memo;
    desktop.attach(&memo);
    memo.bind(&ss, "Deliverable");
    FieldEdit edit;
    desktop.attach(&edit);
    edit.bind(&goalsSource, "GoalDescription");
    testing_support::Peer peer(store.location());
    ASSERT_EQ(peer.send(QString("edit Strategys.db StrategyID %1 Deliverable Held").arg(id)), "ok");
    ASSERT_EQ(
        peer.send(
            QString("edit goals.db GoalID %1 GoalDescription Held").arg(goals.field("GoalID").asInteger())),
        "ok");

    memo.show();
    QApplication::setActiveWindow(&memo);
    memo.setFocus();
    memo.moveCursor(QTextCursor::End);
    dialogs.onMessage = [&](const ScriptedDialogs::Shown&) {
        // What the person types on while the box is up.
        QTest::keyClick(&memo, 'o');
        EXPECT_EQ(memo.toPlainText(), "Report");
    };
    QTest::keyClick(&memo, 'J');
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Record locked by another user.");
    EXPECT_EQ(memo.toPlainText(), "Report") << "no text on screen that is in no record";
    EXPECT_EQ(strategies.state(), engine::DataSet::State::Browse);
    dialogs.onMessage = nullptr;
    QTest::keyClick(&memo, 'J');
    EXPECT_EQ(dialogs.messages.size(), 2u) << "a new attempt is told again";

    edit.show();
    QApplication::setActiveWindow(&edit);
    edit.setFocus();
    edit.setCursorPosition(2);
    QTest::keyClick(&edit, 'J');
    EXPECT_EQ(dialogs.messages.size(), 3u);
    EXPECT_EQ(edit.text(), "First");
    EXPECT_EQ(edit.cursorPosition(), 2) << "the cursor stays where the person typed";
    QApplication::setActiveWindow(&memo);
    memo.setFocus();

    ASSERT_EQ(peer.send("cancel Strategys.db"), "ok");
    QTest::keyClick(&memo, '!');
    EXPECT_EQ(memo.toPlainText(), "Report!") << "once the row is free, typing works";
    strategies.post();
    EXPECT_EQ(strategies.field("Deliverable").asString(), "Report!");
}

TEST_P(Controls, GridsAreOneStopOfTheTabOrder) {
    QWidget window;
    auto* before = new QLineEdit(&window);
    auto* grid = new DataGrid(&window);
    grid->bind(&typesSource, {{"GoalTypeID", "ID"}, {"TypeDescription", "Description"}}, false);
    auto* after = new QLineEdit(&window);
    auto* lay = new QVBoxLayout(&window);
    for (QWidget* w :
         {static_cast<QWidget*>(before), static_cast<QWidget*>(grid), static_cast<QWidget*>(after)})
        lay->addWidget(w);
    window.show();
    QApplication::setActiveWindow(&window);
    grid->setFocus();
    types.first();
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), after) << "Tab leaves the grid";
    EXPECT_EQ(types.recNo(), 0) << "and does not move the row";
    QTest::keyClick(after, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), grid);
    QTest::keyClick(grid, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), before);
    EXPECT_EQ(types.recNo(), 0);

    // Rows by the arrows, End and Home.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(types.recNo(), 1);
    QTest::keyClick(grid, Qt::Key_Home);
    EXPECT_EQ(types.recNo(), 0);
    QTest::keyClick(grid, Qt::Key_End);
    EXPECT_EQ(types.recNo(), 1);

    // F2 edits the chosen cell; from a cell being edited, Tab stores it and leaves too.
    QTest::keyClick(grid, Qt::Key_Right); // the description column, kept as the row changes
    QTest::keyClick(grid, Qt::Key_Home);
    QTest::keyClick(grid, Qt::Key_F2);
    auto* editor = grid->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "Team");
    QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), after);
    EXPECT_EQ(types.recNo(), 0);
    EXPECT_EQ(types.field("TypeDescription").asString(), "Team");
}

TEST_P(Controls, DateAndNumberBoxesRefuseWhatIsNoValueAndKeepIt) {
    engine::Table strategies(db, "Strategys.db");
    strategies.open();
    strategies.insert();
    strategies.field("CompleationDate").setValue(QDate(2027, 3, 1));
    strategies.field("Compleated").setValue(false);
    strategies.post();
    engine::DataSource ss(&strategies);
    QWidget window;
    desktop.attach(&window);
    auto* date = new DBDateEdit(&window);
    date->bind(&ss, "CompleationDate");
    auto* next = new QLineEdit(&window);
    auto* lay = new QVBoxLayout(&window);
    lay->addWidget(date);
    lay->addWidget(next);
    window.show();
    QApplication::setActiveWindow(&window);
    date->setFocus();
    for (const QString typed : {"02/31/2027", "01/01/99999"}) {
        dialogs.messages.clear();
        date->selectAll();
        QTest::keyClicks(date, typed);
        QTest::keyClick(date, Qt::Key_Tab); // leaving the box
        ASSERT_EQ(dialogs.messages.size(), 1u) << typed.toStdString();
        EXPECT_EQ(dialogs.messages[0].text, QString("'%1' is not a valid date.").arg(typed));
        EXPECT_EQ(date->text(), typed) << "kept to be corrected, not emptied or cut short";
        EXPECT_EQ(date->selectedText(), typed);
        EXPECT_EQ(QApplication::focusWidget(), date) << "the next keys go back into it";
        EXPECT_EQ(strategies.field("CompleationDate").asDate(), QDate(2027, 3, 1));
    }
    // The message box takes the focus from the box: still one message.
    dialogs.messages.clear();
    dialogs.onMessage = [&](const ScriptedDialogs::Shown&) {
        QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(date, &out);
    };
    QTest::keyClick(date, Qt::Key_Tab);
    dialogs.onMessage = nullptr;
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(QApplication::focusWidget(), date);
    QTest::keyClicks(date, "02/28/2027");
    QTest::keyClick(date, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
    EXPECT_EQ(strategies.field("CompleationDate").asDate(), QDate(2027, 2, 28));

    FieldEdit year;
    desktop.attach(&year);
    year.bind(&goalsSource, "GoalYear");
    year.show();
    year.setFocus();
    year.setCursorPosition(0);
    QTest::keyClicks(&year, "2a0b2c7");
    EXPECT_EQ(year.text(), "2027") << "a number box takes no letters";
    EXPECT_EQ(goals.field("GoalYear").asInteger(), 2027);
}

TEST(BusyWaitNote, AReadThatWaitsShowsWhoHoldsTheTableAndCancelGivesUp) {
    testing_support::TempDir dir;
    engine::Database::create(dir.path());
    engine::Session session;
    session.setUserName("here");
    engine::Database db{session};
    db.open(dir.path());
    BusyWaitNote note;
    db.setBusyWait(&note);
    QWidget screen;
    auto* typed = new QLineEdit(&screen);
    screen.show();
    testing_support::Peer writer(dir.path(), "JSMITH");
    ASSERT_EQ(writer.send("block goals.db"), "ok blocking");

    QString shown;
    bool busyCursor = false;
    QTimer::singleShot(1500, [&] {
        QWidget* w = note.note();
        ASSERT_TRUE(w) << "the note is up while the read waits";
        EXPECT_TRUE(w->isVisible());
        shown = w->findChild<QLabel*>("waitLabel")->text();
        busyCursor =
            QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        QTest::keyClicks(typed, "abc"); // the screen behind takes nothing meanwhile
        QTest::mouseClick(w->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    });
    engine::Query read(db);
    read.add("Select * From \"goals.db\"");
    try {
        read.open();
        ADD_FAILURE() << "read through another workstation's write";
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.message(), engine::Error::lockedText("goals.db")) << "Cancel gives the usual message";
    }
    EXPECT_EQ(shown, "Waiting for goals.db (held by JSMITH)…");
    EXPECT_TRUE(busyCursor);
    EXPECT_EQ(typed->text(), "");
    EXPECT_FALSE(note.note()) << "gone with the wait";
    EXPECT_FALSE(QApplication::overrideCursor());
    EXPECT_EQ(writer.send("release"), "ok released");
    read.open();
    EXPECT_EQ(read.recordCount(), 0);
    QTest::keyClicks(typed, "abc");
    EXPECT_EQ(typed->text(), "abc") << "the screen takes keys again";
}

// Two runs of the screens in one process (two tests, two programs' windows): an error is told on
// the desktop of the window it happened in and nowhere else, whether a handler refused a click
// or a control's own event handler refused a key.
TEST(ErrorHandler, AnErrorIsToldOnlyOnTheDesktopOfItsWindow) {
    struct RefusesKeys : QLineEdit {
        using QLineEdit::QLineEdit;
        void keyPressEvent(QKeyEvent*) override { throw engine::Error(objectName() + " key"); }
    };
    ScriptedDialogs first, second;
    Desktop firstDesktop(first), secondDesktop(second);
    Screen a(firstDesktop), b(secondDesktop);
    auto refusingControls = [](Screen& screen, const QString& name) {
        auto* save = new QPushButton(QStringLiteral("Save"), &screen);
        QObject::connect(save, &QPushButton::clicked, &screen,
                         handler(&screen, [name] { throw engine::Error(name + " click"); }));
        auto* edit = new RefusesKeys(&screen);
        edit->setObjectName(name);
        screen.show();
        return std::pair{save, edit};
    };
    const auto [saveA, editA] = refusingControls(a, "A");
    const auto [saveB, editB] = refusingControls(b, "B");
    QTest::mouseClick(saveB, Qt::LeftButton);
    QTest::keyClick(editA, Qt::Key_X);
    QTest::mouseClick(saveA, Qt::LeftButton);
    QTest::keyClick(editB, Qt::Key_X);
    RefusesKeys inNoWindow;
    inNoWindow.setObjectName("Nowhere");
    QTest::keyClick(&inNoWindow, Qt::Key_X); // logged: no box, no crash

    auto texts = [](const ScriptedDialogs& d) {
        QStringList t;
        for (const auto& m : d.messages)
            t << m.text + " / " + m.title;
        return t;
    };
    EXPECT_EQ(texts(first), QStringList({"A key / Vardimo", "A click / Vardimo"}));
    EXPECT_EQ(texts(second), QStringList({"B click / Vardimo", "B key / Vardimo"}));
}

// Every screen worked by the keyboard alone, as a person does: Tab and Shift+Tab through every
// control from the first focus, and keys typed into the bound boxes of a stored row with the
// cursor placed, then saved and read back from the store.

#include "admin/SecurityWindow.h"
#include "admin/SystemSettingsDialog.h"
#include "admin/UserSetupWindow.h"
#include "controls/DataGrid.h"
#include "controls/DateEdit.h"
#include "controls/DatePicker.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldLink.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/RadioGroup.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "engine/Query.h"
#include "planning/DepartmentsWindow.h"
#include "planning/GoalTypesWindow.h"
#include "planning/GoalsWindow.h"
#include "planning/MeasurementsWindow.h"
#include "planning/StrategyEditor.h"
#include "planning/StrategyListWindow.h"
#include "reports/ReportFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTest>
#include <functional>

using testing_support::ReportFixture;

namespace {

// The control a focus lands in: a spin box's inner line edit stands for the spin box.
QWidget* control(QWidget* w) {
    while (w && w->parentWidget() && w->parentWidget()->focusProxy() == w)
        w = w->parentWidget();
    return w;
}

QString nameOf(QWidget* w) {
    if (!w) return QStringLiteral("(nothing)");
    QString name = QString::fromLatin1(w->metaObject()->className());
    if (auto* b = qobject_cast<QAbstractButton*>(w)) name += QStringLiteral(" \"%1\"").arg(b->text());
    if (auto* e = qobject_cast<controls::FieldEdit*>(w))
        name += QStringLiteral(" [%1]").arg(e->link().field());
    if (auto* d = qobject_cast<controls::DBDateEdit*>(w))
        name += QStringLiteral(" [%1]").arg(d->link().field());
    return name;
}

std::string describe(QWidget* w) {
    return nameOf(w).toStdString();
}

std::string describe(const QList<QWidget*>& ws) {
    QStringList out;
    for (QWidget* w : ws)
        out << nameOf(w);
    return out.join(QStringLiteral(", ")).toStdString();
}

// What a person can reach with Tab in a window: shown, enabled controls that take focus by Tab.
QList<QWidget*> tabStops(QWidget* window) {
    QList<QWidget*> stops;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (w->window() == window && w->isVisibleTo(window) && w->isEnabled() && !w->focusProxy() &&
            (w->focusPolicy() & Qt::TabFocus))
            if (!stops.contains(control(w))) stops << control(w);
    return stops;
}

// Presses Tab (Shift+Tab) in whatever has the focus until the focus comes back to where it
// started; the controls in the order reached, the first one first.
QList<QWidget*> walk(bool backwards) {
    QList<QWidget*> reached{control(QApplication::focusWidget())};
    for (int i = 0; i < 100; ++i) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus) break;
        if (backwards)
            QTest::keyClick(focus, Qt::Key_Backtab, Qt::ShiftModifier);
        else
            QTest::keyClick(focus, Qt::Key_Tab);
        QWidget* now = control(QApplication::focusWidget());
        if (now == reached.first()) break;
        reached << now;
    }
    return reached;
}

void show(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();
}

// The keyboard walk of a shown window: from the first focus, Tab reaches every control once
// (a grid is one stop, left by the next Tab) and comes back; Shift+Tab walks the same way back.
void checkTabOrder(QWidget& window, QWidget* firstFocus = nullptr) {
    ASSERT_NE(QApplication::focusWidget(), nullptr) << "no focus when the window opens";
    if (firstFocus) {
        EXPECT_EQ(control(QApplication::focusWidget()), firstFocus);
    }
    const QList<QWidget*> forward = walk(false);
    QList<QWidget*> stops = tabStops(&window);
    EXPECT_EQ(forward.size(), stops.size())
        << "reached: " << describe(forward) << "\nstops: " << describe(stops);
    for (QWidget* w : stops)
        EXPECT_TRUE(forward.contains(w))
            << describe(w) << " is never reached; reached: " << describe(forward);
    QList<QWidget*> back = walk(true);
    ASSERT_FALSE(back.isEmpty());
    std::reverse(back.begin() + 1, back.end());
    EXPECT_EQ(back, forward) << "Shift+Tab: " << describe(back);
}

// Keys typed at the start, in the middle and at the end of the stored text of a box whose row
// is not being edited, each time saved with `save`, land where the cursor was and are stored.
template <typename Box> QString shown(Box* box) {
    if constexpr (std::is_base_of_v<QPlainTextEdit, Box>)
        return box->toPlainText();
    else
        return box->text();
}
template <typename Box> void place(Box* box, int at) {
    if constexpr (std::is_base_of_v<QPlainTextEdit, Box>) {
        QTextCursor c = box->textCursor();
        c.setPosition(at);
        box->setTextCursor(c);
    } else {
        box->setCursorPosition(at);
    }
}

} // namespace

class Keyboard : public ReportFixture {
protected:
    void SetUp() override {
        ReportFixture::SetUp();
        boss = addProfile("Boss", {"Supervisor", "CanChangeSystem", "CanAddUser", "CanPackDatabase",
                                   "CanViewSecurity", "CanAddGoals", "CanAddDepartments", "CanPrintReports",
                                   "CanAddStrategy", "CanViewAllStrategys", "CanAddGoalType",
                                   "CanAddGlobalGoals", "CanModifyAllGoals"});
        chief = addUser("chief", "", "Carl Chief", boss);
        ASSERT_TRUE(logOnAs("chief"));
        goal = addGoal("Cut waste in production", year, type, {}, chief);
        strategy = addStrategy(goal, chief, 1,
                               {{"StrategyDescription", "Alpha line\nBeta line"}, {"Deliverable", "Report"}});
        dm->goalTypeTable.locate("GoalTypeID", type);
    }
    // The text of a field of the row a box's data set stands on, as the store holds it now.
    QString stored(const controls::FieldLink& link) {
        auto* t = qobject_cast<engine::Table*>(link.dataSet());
        const QString key = t->def().columns[0].name;
        engine::Query q(dm->goalDatabase);
        q.add("Select * From \"" + t->def().fileName + "\" Where " + key + " = ",
              engine::sql::Int{t->field(key).asInteger()});
        q.open();
        return q.field(link.field()).asString();
    }
    template <typename Box> void checkTyping(Box* box, const std::function<void()>& save) {
        SCOPED_TRACE(describe(box));
        ASSERT_TRUE(box->isEnabled() && !box->isReadOnly()) << "nothing to type into";
        box->setFocus();
        QString expected = shown(box);
        if (expected.isEmpty()) {
            QTest::keyClicks(box, "Hello world");
            EXPECT_EQ(shown(box), "Hello world") << "every key of the first typing lands in order";
            save();
            expected = stored(box->link());
            EXPECT_EQ(expected, "Hello world");
        }
        for (int step = 0; step < 3; ++step) {
            const int at = int(expected.size()) * step / 2; // start, middle, end
            ASSERT_FALSE(box->link().dataSet()->isEditing());
            place(box, at);
            QTest::keyClicks(box, "XY");
            expected = expected.left(at) + "XY" + expected.mid(at);
            EXPECT_EQ(shown(box), expected) << "typed at " << at;
            save();
            EXPECT_EQ(stored(box->link()), expected) << "typed at " << at;
        }
        // Select and replace, paste, then undo the paste.
        place(box, 0);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClicks(box, "Q");
        expected = "Q" + expected.mid(3);
        EXPECT_EQ(shown(box), expected);
        QApplication::clipboard()->setText("pp");
        place(box, 1);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(shown(box), expected.left(1) + "pp" + expected.mid(1));
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(shown(box), expected) << "Ctrl+Z takes back the paste";
        save();
        EXPECT_EQ(stored(box->link()), expected);
    }
    int boss = 0, chief = 0, goal = 0, strategy = 0;
};
VARDIMO_ON_ALL_STORES(Keyboard);

TEST_P(Keyboard, GoalsScreen) {
    planning::GoalsWindow form(*dm, desktop);
    show(form);
    ASSERT_TRUE(dm->goalsTable.locate("GoalID", goal));
    checkTabOrder(form);
    checkTyping(form.descriptionEdit, [&] { form.saveButton->click(); });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible()) << "Esc closes the screen";
}

TEST_P(Keyboard, StrategyListAndEditor) {
    planning::StrategyListWindow list(*dm, desktop);
    show(list);
    checkTabOrder(list);
    ASSERT_TRUE(dm->goalsTable.locate("GoalID", goal));
    ASSERT_TRUE(dm->strategyTable.locate("StrategyID", strategy));
    bool edited = false;
    dialogs.onModal = [&](QDialog& d) {
        auto* editor = dynamic_cast<planning::StrategyEditor*>(&d);
        if (!editor) return 0;
        edited = true;
        show(*editor);
        editor->onActivate();
        checkTabOrder(*editor);
        for (controls::FieldMemo* memo : editor->findChildren<controls::FieldMemo*>())
            if (memo->isVisibleTo(editor)) checkTyping(memo, [&] { editor->saveClicked(); });
        editor->reject();
        return editor->result();
    };
    list.editClicked();
    EXPECT_TRUE(edited);
}

TEST_P(Keyboard, MeasurementItems) {
    addMeasure(strategy, 1, {{"Deliverable", "First item"}, {"Measurement", "Counted"}});
    ASSERT_TRUE(dm->strategyTable.locate("StrategyID", strategy));
    planning::MeasurementsWindow form(*dm, desktop);
    show(form);
    checkTabOrder(form);
    checkTyping(form.measurementMemo, [&] { form.saveButton->click(); });
    checkTyping(form.deliverableMemo, [&] { form.saveButton->click(); });
}

TEST_P(Keyboard, GoalTypesDepartmentsSecurityUsersAndSettings) {
    {
        planning::GoalTypesWindow form(*dm, desktop);
        show(form);
        checkTabOrder(form);
        checkTyping(form.descriptionEdit, [&] { form.saveButton->click(); });
    }
    insertRow(dm->departmentTable, {{"Description", "Sales office"}});
    {
        planning::DepartmentsWindow form(*dm, desktop);
        show(form);
        checkTabOrder(form);
        checkTyping(form.descriptionEdit, [&] { form.saveButton->click(); });
    }
    ASSERT_TRUE(logOnAs("Supervisor")); // only the top profile changes profiles
    {
        admin::SecurityWindow form(*dm, desktop);
        show(form);
        ASSERT_TRUE(dm->securityTable.locate("SecurityID", boss));
        checkTabOrder(form);
        checkTyping(form.nameEdit, [&] { form.saveButton->click(); });
    }
    {
        admin::UserSetupWindow form(*dm, desktop);
        show(form);
        ASSERT_TRUE(dm->userSettingsTable.locate("UserNumber", other));
        checkTabOrder(form);
        checkTyping(form.fullNameEdit, [&] { form.saveButton->click(); });
    }
    {
        admin::SystemSettingsDialog form(*dm, desktop);
        show(form);
        checkTabOrder(form);
    }
}

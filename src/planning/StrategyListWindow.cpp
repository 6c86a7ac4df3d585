#include "planning/StrategyListWindow.h"

#include "controls/DataGrid.h"
#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/LookupComboBox.h"
#include "controls/SpinBox.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "engine/Database.h"
#include "planning/HistoryButtons.h"
#include "planning/MoveStrategiesDialog.h"
#include "planning/StrategyEditor.h"
#include "reports/PrintGoalsDialog.h"

#include <QDate>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace planning {

namespace sql = engine::sql;

StrategyListWindow::StrategyListWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), dm_(dm) {
    setWindowTitle(QStringLiteral("Strategies"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    auto* lay = new QVBoxLayout(this);
    buildSelectionRow(lay);
    buildLists(lay);
    buildButtonBar(lay);
    connectButtons();

    onCreate();
    connect(yearSpin, &QSpinBox::valueChanged, this, controls::handler(this, [this] { yearSpinChanged(); }));
    connectGoalFollowing();
    setFixedSize(720, 560);
}

void StrategyListWindow::buildSelectionRow(QVBoxLayout* lay) {
    auto* selection = new QHBoxLayout;
    yearLabel = new QLabel(QStringLiteral("Year:"), this);
    yearSpin = new controls::SpinBox(2000, 2100, this);
    yearLabel->setBuddy(yearSpin);
    goalTypeLabel = new QLabel(QStringLiteral("Goal Type:"), this);
    goalTypeBox = new controls::LookupComboBox(this);
    goalTypeBox->setList(&dm_.goalTypeSource, QStringLiteral("GoalTypeID"),
                         QStringLiteral("TypeDescription"));
    goalTypeBox->setMinimumWidth(180);
    goalTypeLabel->setBuddy(goalTypeBox);
    userLabel = new QLabel(QStringLiteral("User:"), this);
    userBox = new controls::LookupComboBox(this);
    userBox->setMinimumWidth(200); // its users are listed once their filter is on
    userLabel->setBuddy(userBox);
    selection->addWidget(yearLabel);
    selection->addWidget(yearSpin);
    selection->addSpacing(12);
    selection->addWidget(goalTypeLabel);
    selection->addWidget(goalTypeBox);
    selection->addSpacing(12);
    selection->addWidget(userLabel);
    selection->addWidget(userBox);
    selection->addStretch();
    lay->addLayout(selection);
}

void StrategyListWindow::buildLists(QVBoxLayout* lay) {
    goalsGroup = new QGroupBox(QStringLiteral("Goals"), this);
    auto* goalsLay = new QVBoxLayout(goalsGroup);
    goalGrid = new controls::DataGrid(goalsGroup);
    goalGrid->bind(&dm_.goalsSource, {{QStringLiteral("GoalDescription"), QStringLiteral("Goal")}});
    goalsLay->addWidget(goalGrid);
    lay->addWidget(goalsGroup, 1);

    strategiesGroup = new QGroupBox(QStringLiteral("Strategies"), this);
    auto* strategiesLay = new QVBoxLayout(strategiesGroup);
    strategyGrid = new controls::DataGrid(strategiesGroup);
    strategyGrid->bind(&dm_.strategySource,
                       {{QStringLiteral("StrategyNumber"), QStringLiteral("Number"), 10},
                        {QStringLiteral("ShortStrategy"), QStringLiteral("Strategy"), 60},
                        {QStringLiteral("CompleationDate"), QStringLiteral("Completion Date")}});
    strategiesLay->addWidget(strategyGrid);
    lay->addWidget(strategiesGroup, 1);
}

void StrategyListWindow::buildButtonBar(QVBoxLayout* lay) {
    moveButton = controls::button(QStringLiteral("Move"), this);
    printButton = controls::button(QStringLiteral("Print"), this);
    deleteButton = controls::button(QStringLiteral("Delete"), this);
    insertButton = controls::button(QStringLiteral("Insert"), this);
    editButton = controls::button(QStringLiteral("Edit"), this);
    closeButton = controls::button(QStringLiteral("Close"), this);
    moveButton->setVisible(false);
    auto* buttons = controls::buttonBar(
        helpButton, {moveButton, printButton, deleteButton, insertButton, editButton, closeButton});
    lay->addLayout(buttons);
    addDeletedStrategiesButton(dm_, *this, *buttons, moveButton);
}

void StrategyListWindow::connectButtons() {
    connect(insertButton, &QPushButton::clicked, this, controls::handler(this, [this] { insertClicked(); }));
    connect(editButton, &QPushButton::clicked, this, controls::handler(this, [this] { editClicked(); }));
    connect(deleteButton, &QPushButton::clicked, this, controls::handler(this, [this] { deleteClicked(); }));
    connect(printButton, &QPushButton::clicked, this, controls::handler(this, [this] { printClicked(); }));
    connect(moveButton, &QPushButton::clicked, this, controls::handler(this, [this] { moveClicked(); }));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(strategyGrid, &controls::DataGrid::rowChosen, this,
            controls::handler(this, [this] { strategyChosen(); }));
    connect(userBox, &controls::LookupComboBox::closeUp, this,
            controls::handler(this, [this] { userChosen(); }));
    connect(goalTypeBox, &controls::LookupComboBox::closeUp, this,
            controls::handler(this, [this] { goalTypeChosen(); }));
}

void StrategyListWindow::connectGoalFollowing() {
    // The strategies follow the selected goal: when the goal list is read again or another goal
    // becomes current, and when this window becomes active again.
    connect(&dm_.goalsSource, &engine::DataSource::rowsChanged, this,
            controls::handler(this, [this] { followSelectedGoal(true); }));
    connect(&dm_.goalsSource, &engine::DataSource::currentChanged, this,
            controls::handler(this, [this] { followSelectedGoal(false); }));
    connect(this, &controls::Screen::activated, this,
            controls::handler(this, [this] { followSelectedGoal(true); }));
    connect(&dm_.strategySource, &engine::DataSource::changed, this,
            controls::handler(this, [this] { updateStrategyButtons(); }));
}

void StrategyListWindow::onCreate() {
    yearLabel->setVisible(!dm_.user().settings.noGoalYear);
    yearSpin->setVisible(!dm_.user().settings.noGoalYear);
    dm_.visibleUsersTable.setFiltered(true);
    userBox->setList(&dm_.visibleUsersSource, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    userBox->setKeyValue(dm_.user().number);
    // With no goal type at all the goals of every type are listed.
    const engine::Field type = dm_.goalTypeTable.field(QStringLiteral("GoalTypeID"));
    goalTypeBox->setKeyValue(type.value());
    // The goals of one type and year for the chosen user (himself first), global ones included.
    data::GoalFilter goals = dm_.goalFilter();
    goals.type = type.isNull() ? -1 : type.asInt();
    goals.byUser = true;
    goals.user = dm_.user().number;
    dm_.setGoalFilter(goals);
    dm_.setStrategySelection({dm_.strategySelection().goal, dm_.user().number});
    controls::setControlEnabled(userBox,
                                !dm_.user().canSee.isEmpty() || dm_.user().rights.canViewAllStrategies);
    yearSpin->setValue(QDate::currentDate().year());
    yearSpinChanged();
    updateStrategyButtons();
}

namespace {
// Switches a table's filter off, changes the selection and switches it on again. The grids
// and buttons see only the result: the whole unfiltered table in between is never shown.
template <typename F> void offThenOn(engine::Table& t, engine::DataSource& source, F select) {
    {
        const QSignalBlocker quiet(source);
        t.setFiltered(false);
        select();
    }
    t.setFiltered(true);
}
} // namespace

template <typename F> void StrategyListWindow::switchGoals(F setSelection) {
    {
        struct Switching {
            bool& on;
            explicit Switching(bool& flag) : on(flag) { on = true; }
            ~Switching() { on = false; }
        } switching(switchingGoals_);
        offThenOn(dm_.goalsTable, dm_.goalsSource, [&] { setSelection(dm_); });
    }
    followSelectedGoal(true);
}

void StrategyListWindow::yearSpinChanged() {
    switchGoals([this](data::DataModule& dm) {
        data::GoalFilter goals = dm.goalFilter();
        goals.year = yearSpin->value();
        dm.setGoalFilter(goals);
    });
}

void StrategyListWindow::userChosen() {
    switchGoals([this](data::DataModule& dm) {
        const QVariant user = userBox->keyValue();
        data::GoalFilter goals = dm.goalFilter();
        goals.user = user.isNull() ? -1 : user.toInt();
        dm.setGoalFilter(goals);
        dm.setStrategySelection({dm.strategySelection().goal, goals.user});
    });
    updateStrategyButtons();
}

void StrategyListWindow::goalTypeChosen() {
    switchGoals([this](data::DataModule& dm) {
        const QVariant type = goalTypeBox->keyValue();
        data::GoalFilter goals = dm.goalFilter();
        goals.type = type.isNull() ? -1 : type.toInt();
        dm.setGoalFilter(goals);
    });
}

void StrategyListWindow::followSelectedGoal(bool forced) {
    // While a window opened from here is up, the strategy table is its to position and edit.
    if (childOpen_ > 0 || switchingGoals_) return;
    engine::Table& goals = dm_.goalsTable;
    engine::Table& s = dm_.strategyTable;
    if (!goals.isOpen() || !s.isOpen()) return;
    const engine::Field goalId = goals.field(QStringLiteral("GoalID"));
    const qint64 goal = goals.isEmpty() || goalId.isNull() ? -1 : goalId.asInteger();
    if (!forced && goal == followedGoal_ && goal == dm_.strategySelection().goal && s.filtered()) {
        updateStrategyButtons();
        return;
    }
    // Re-reading the same goal's strategies keeps the one the person was on.
    const engine::Field current = s.field(QStringLiteral("StrategyID"));
    const QVariant keep =
        goal == dm_.strategySelection().goal && !current.isNull() ? current.value() : QVariant();
    offThenOn(s, dm_.strategySource, [&] {
        dm_.setStrategySelection({int(goal), dm_.strategySelection().user});
    });
    followedGoal_ = goal;
    if (keep.isValid()) s.locate(QStringLiteral("StrategyID"), keep);
    updateStrategyButtons();
}

void StrategyListWindow::updateStrategyButtons() {
    if (dm_.user().rights.supervisor) moveButton->setVisible(true);
    const QVariant box = userBox->keyValue();
    const int owner = box.isNull() || !box.isValid() ? -1 : box.toInt();
    const bool mayEdit = dm_.user().mayEdit(owner);
    engine::Table& s = dm_.strategyTable;
    const bool listed = s.isOpen() && !s.field(QStringLiteral("GoalID")).isNull();
    // A strategy needs a goal to hang under, and Move needs a strategy to move.
    const bool goalListed = dm_.strategySelection().goal != -1;
    if (listed) {
        deleteButton->setEnabled(mayEdit);
        insertButton->setEnabled(mayEdit && goalListed);
        editButton->setText(mayEdit ? QStringLiteral("Edit") : QStringLiteral("View"));
        editButton->setEnabled(true);
    } else {
        insertButton->setEnabled(mayEdit && goalListed);
        deleteButton->setEnabled(false);
        editButton->setEnabled(false);
        editButton->setText(QStringLiteral("Edit"));
    }
    moveButton->setEnabled(listed);
}

int StrategyListWindow::showChild(QDialog& child) {
    struct Open {
        int& n;
        explicit Open(int& count) : n(count) { ++n; }
        ~Open() { --n; }
    };
    int result = 0;
    {
        Open open(childOpen_);
        result = desktop().showModal(child);
    }
    followSelectedGoal(true);
    return result;
}

void StrategyListWindow::insertClicked() {
    StrategyEditor editor(dm_, desktop(), this);
    engine::Table& s = dm_.strategyTable;
    const data::StrategySelection where = dm_.strategySelection();
    const int number = dm_.nextStrategyNumber(where);
    s.insert();
    s.field(QStringLiteral("UserNumber")).setValue(where.user);
    s.field(QStringLiteral("GoalID")).setValue(where.goal);
    s.field(QStringLiteral("StrategyNumber")).setValue(number);
    s.field(QStringLiteral("DoNotPrint")).setValue(false);
    s.field(QStringLiteral("Compleated")).setValue(false);
    showChild(editor);
}

void StrategyListWindow::editClicked() {
    StrategyEditor editor(dm_, desktop(), this);
    showChild(editor);
}

void StrategyListWindow::strategyChosen() {
    if (editButton->isEnabled()) editClicked();
}

void StrategyListWindow::deleteClicked() {
    if (!desktop().confirm(QStringLiteral("Are you sure you want to delete this Strategy?"))) return;
    engine::Table& s = dm_.strategyTable;
    const engine::Field id = s.field(QStringLiteral("StrategyID"));
    if (id.isNull()) return; // nothing stored to delete
    // The strategy and its measurements go together or not at all.
    engine::Transaction tx(dm_.goalDatabase);
    engine::execute(dm_.goalDatabase,
                    "Delete From \"Measure.DB\" Where StrategyID = ", sql::Int{id.asInteger()});
    s.remove();
    tx.commit();
}

void StrategyListWindow::printClicked() {
    openPrintGoals();
}

void StrategyListWindow::openPrintGoals() {
    // The list keeps its year spinner's value in the goal year filter, shown or not.
    const reports::ListedStrategies listed{dm_.goalFilter().year.value_or(QDate::currentDate().year()),
                                           dm_.goalFilter().type, dm_.strategySelection().goal,
                                           dm_.strategySelection().user};
    reports::PrintGoalsDialog form(dm_, listed, desktop(), this);
    showChild(form);
}

void StrategyListWindow::moveClicked() {
    MoveStrategiesDialog dialog(dm_, this);
    showChild(dialog);
}

} // namespace planning

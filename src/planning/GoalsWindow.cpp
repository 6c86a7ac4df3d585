#include "planning/GoalsWindow.h"

#include "controls/DataGrid.h"
#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/FieldEdit.h"
#include "controls/FieldLink.h"
#include "controls/LookupComboBox.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "engine/Database.h"
#include "planning/GoalsExtras.h"
#include "planning/HistoryButtons.h"
#include "printing/Printer.h"
#include "reports/GoalsReport.h"

#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

namespace planning {

namespace sql = engine::sql;

GoalsWindow::GoalsWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), dm_(dm) {
    // The users this person may see are chosen before the box listing them reads its list:
    // filtering them afterwards read all the users twice.
    usersFiltered_ = dm_.showVisibleUsersOnly();
    setWindowTitle(QStringLiteral("Goals"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* lay = new QVBoxLayout(this);
    buildYearRow(lay);
    // So are the goals: every type and user of this year, of his own goals unless he may modify
    // all. Chosen once the list and the fields were made, they first read a row of all the
    // goals, and on a server each of those reads waits for an answer.
    data::GoalFilter shown = dm_.goalFilter();
    shown.ownOnly = true;
    shown.byUser = false;
    shown.type = -1;
    dm_.setGoalFilter(shown);
    goalSpin->setValue(QDate::currentDate().year());
    goalSpinChanged();
    auto* body = new QHBoxLayout;
    buildGoalList(body);
    buildGoalDetail(body);
    lay->addLayout(body, 1);
    buildButtonBar(lay);
    connectSignals();

    onCreate();
    connect(goalSpin, &QSpinBox::valueChanged, this, controls::handler(this, [this] { goalSpinChanged(); }));
    // Wider only when the buttons need more room than the screen's own size gives them.
    setFixedSize(std::max(820, lay->minimumSize().width()), 420);
}

void GoalsWindow::buildYearRow(QVBoxLayout* lay) {
    yearLabel = new QLabel(QStringLiteral("Goal Year:"), this);
    goalSpin = new controls::SpinBox(2000, 2100, this);
    yearLabel->setBuddy(goalSpin);
    lay->addLayout(controls::lineOf({yearLabel, goalSpin}));
}

void GoalsWindow::buildGoalList(QHBoxLayout* body) {
    goalsGroup = new QGroupBox(QStringLiteral("Goals"), this);
    auto* listLay = new QVBoxLayout(goalsGroup);
    goalGrid = new controls::DataGrid(goalsGroup);
    goalGrid->bind(&dm_.goalsSource, {{QStringLiteral("GoalDescription"), QStringLiteral("Goal")}});
    goalGrid->setMinimumWidth(280);
    listLay->addWidget(goalGrid);
    body->addWidget(goalsGroup, 1);
}

void GoalsWindow::addDetailRow(QGridLayout* grid, int row, QLabel*& label, const char* caption, QWidget* w,
                               QWidget* extra) {
    label = new QLabel(QString::fromLatin1(caption), detailGroup);
    label->setBuddy(w);
    if (!extra) {
        controls::addGridRow(grid, row, label, w);
        return;
    }
    auto* h = new QHBoxLayout;
    h->addWidget(w, 1);
    h->addWidget(extra);
    controls::addGridRow(grid, row, label, h);
}

void GoalsWindow::buildGoalDetail(QHBoxLayout* body) {
    detailGroup = new QGroupBox(QStringLiteral("Goal Detail"), this);
    auto* grid = new QGridLayout(detailGroup);
    buildGoalRows(grid);
    buildPeopleRows(grid);
    grid->setRowStretch(7, 1);
    body->addWidget(detailGroup, 2);
}

void GoalsWindow::buildGoalRows(QGridLayout* grid) {
    goalIdEdit = new controls::FieldEdit(detailGroup);
    goalIdEdit->bind(&dm_.goalsSource, QStringLiteral("GoalID"));
    controls::setControlEnabled(goalIdEdit, false);
    addDetailRow(grid, 0, goalIdLabel, "Goal ID:", goalIdEdit);
    goalYearEdit = new controls::FieldEdit(detailGroup);
    goalYearEdit->bind(&dm_.goalsSource, QStringLiteral("Goalyear"));
    goalYearEdit->setRange(2000, 2100); // as the arrows
    goalYearArrows = new controls::UpDown(2000, 2100, detailGroup);
    addDetailRow(grid, 1, goalYearLabel, "Goal Year", goalYearEdit, goalYearArrows);
    goalTypeBox = new controls::LookupComboBox(detailGroup);
    goalTypeBox->setList(&dm_.goalTypeSource, QStringLiteral("GoalTypeID"),
                         QStringLiteral("TypeDescription"));
    goalTypeBox->bind(&dm_.goalsSource, QStringLiteral("GoalTypeID"));
    addDetailRow(grid, 2, goalTypeLabel, "Goal Type:", goalTypeBox);
}

void GoalsWindow::buildPeopleRows(QGridLayout* grid) {
    ownerBox = new controls::LookupComboBox(detailGroup);
    ownerBox->setList(&dm_.userSettingsSource, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    ownerBox->bind(&dm_.goalsSource, QStringLiteral("GoalOwner"));
    addDetailRow(grid, 3, ownerLabel, "Goal Owner", ownerBox);
    descriptionEdit = new controls::FieldEdit(detailGroup);
    descriptionEdit->bind(&dm_.goalsSource, QStringLiteral("GoalDescription"));
    descriptionEdit->setMinimumWidth(320);
    addDetailRow(grid, 4, goalLabel, "Goal", descriptionEdit);
    goalForBox = new controls::LookupComboBox(detailGroup);
    goalForBox->setList(&dm_.visibleUsersSource, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    goalForBox->bind(&dm_.goalsSource, QStringLiteral("UserNumber"));
    // A goal for someone outside this person's list names that user, so that it does not look
    // like a global goal; only the listed users can be picked.
    goalForBox->setUnlistedText([this](const QVariant& key) {
        const QString name = data::readUser(dm_, int(key.toLongLong())).name;
        return name.isEmpty() ? QStringLiteral("User %1").arg(key.toLongLong()) : name;
    });
    resetButton = controls::button(QStringLiteral("Reset"), detailGroup);
    addDetailRow(grid, 5, goalForLabel, "Goal For:", goalForBox, resetButton);
    modifiedByBox = new controls::LookupComboBox(detailGroup);
    modifiedByBox->setList(&dm_.userSettingsSource, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    modifiedByBox->bind(&dm_.goalsSource, QStringLiteral("ModifiedBy"));
    modifiedDateEdit = new controls::FieldEdit(detailGroup);
    modifiedDateEdit->bind(&dm_.goalsSource, QStringLiteral("ModifieDate"));
    modifiedDateEdit->setMinimumWidth(
        modifiedDateEdit->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) + 16);
    controls::setControlEnabled(modifiedByBox, false);
    controls::setControlEnabled(modifiedDateEdit, false);
    addDetailRow(grid, 6, modifiedByLabel, "Modified By:", modifiedByBox, modifiedDateEdit);
}

void GoalsWindow::buildButtonBar(QVBoxLayout* lay) {
    printButton = controls::button(QStringLiteral("Print"), this);
    insertButton = controls::button(QStringLiteral("Insert"), this);
    saveButton = controls::button(QStringLiteral("Save"), this);
    deleteButton = controls::button(QStringLiteral("Delete"), this);
    closeButton = controls::button(QStringLiteral("Close"), this);
    auto* buttons =
        controls::buttonBar(helpButton, {printButton, insertButton, saveButton, deleteButton, closeButton});
    addGoalsExtraButtons(dm_, *this, *buttons);
    addGoalHistoryButtons(dm_, *this, *buttons);
    lay->addLayout(buttons);
}

void GoalsWindow::connectSignals() {
    connect(printButton, &QPushButton::clicked, this, controls::handler(this, [this] { printClicked(); }));
    connect(insertButton, &QPushButton::clicked, this, controls::handler(this, [this] { insertClicked(); }));
    connect(saveButton, &QPushButton::clicked, this, controls::handler(this, [this] { saveClicked(); }));
    connect(deleteButton, &QPushButton::clicked, this, controls::handler(this, [this] { deleteClicked(); }));
    connect(resetButton, &QPushButton::clicked, this, controls::handler(this, [this] { resetClicked(); }));
    connect(closeButton, &QPushButton::clicked, this, controls::handler(this, [this] { closeWindow(); }));
    connect(goalIdEdit, &controls::FieldEdit::changed, this,
            controls::handler(this, [this] { goalChanged(); }));
    connect(goalYearEdit, &controls::FieldEdit::changed, this,
            controls::handler(this, [this] { syncYearArrows(); }));
    connect(goalYearArrows, &controls::UpDown::clicked, this,
            controls::handler(this, [this] { stepGoalYear(); }));
    connect(&dm_.goalsSource, &engine::DataSource::changed, this, [this] { updateGoalButtons(); });
}

void GoalsWindow::onCreate() {
    if (dm_.user().settings.noGoalYear)
        for (QWidget* w : std::initializer_list<QWidget*>{yearLabel, goalSpin, goalYearLabel, goalYearEdit,
                                                          goalYearArrows})
            w->hide();
    goalYearArrows->setPosition(QDate::currentDate().year());
    controls::setControlEnabled(ownerBox, dm_.user().rights.canModifyAllGoals);
    resetButton->setEnabled(dm_.user().rights.canAddGlobalGoals);
    goalChanged();
    updateGoalButtons();
}

void GoalsWindow::updateGoalButtons() {
    engine::Table& goals = dm_.goalsTable;
    const bool shown = goals.isOpen() && !goals.isEmpty(); // a goal being inserted counts as shown
    saveButton->setEnabled(shown);
    deleteButton->setEnabled(shown);
    goalYearArrows->setEnabled(shown);
}

void GoalsWindow::goalSpinChanged() {
    try {
        // A pending goal is stored first; the rows are read once, for the new year.
        dm_.goalsTable.settle();
    } catch (...) {
        // It could not be stored (no text yet, locked elsewhere): the list stays on its year,
        // and the year shown says so.
        const std::optional<int> listed = dm_.goalFilter().year;
        const QSignalBlocker quiet(goalSpin);
        if (listed) goalSpin->setValue(*listed);
        throw;
    }
    data::GoalFilter shown = dm_.goalFilter();
    shown.year = goalSpin->value();
    dm_.setGoalFilter(shown);
    dm_.goalsTable.setFiltered(true);
}

void GoalsWindow::goalChanged() {
    const bool global = dm_.goalsTable.field(QStringLiteral("UserNumber")).isNull();
    controls::setControlEnabled(goalForBox, !(global && !dm_.user().rights.canAddGlobalGoals));
}

void GoalsWindow::syncYearArrows() {
    engine::Table& goals = dm_.goalsTable;
    if (!goals.field(QStringLiteral("GoalYear")).isNull())
        goalYearArrows->setPosition(goalYearEdit->text().toInt());
    else
        goalYearArrows->setPosition(QDate::currentDate().year());
}

void GoalsWindow::stepGoalYear() {
    engine::Table& goals = dm_.goalsTable;
    if (goals.isEmpty()) return; // no goal shown: the arrows do not begin one
    // The arrows count from the year shown: like a typed year, never written over a year that
    // another workstation stored meanwhile.
    controls::writeField(&goals, QStringLiteral("GoalYear"), goalYearArrows->position());
}

void GoalsWindow::insertClicked() {
    engine::Table& goals = dm_.goalsTable;
    const int year = QDate::currentDate().year();
    goals.insert();
    goals.field(QStringLiteral("GoalYear")).setValue(year);
    goals.field(QStringLiteral("GoalTypeID"))
        .setValue(dm_.goalTypeTable.field(QStringLiteral("GoalTypeID")).value());
    goals.field(QStringLiteral("GoalOwner")).setValue(dm_.user().number);
    if (!dm_.user().rights.canAddGlobalGoals)
        goals.field(QStringLiteral("UserNumber")).setValue(dm_.user().number);
    goalYearArrows->setPosition(year);
}

void GoalsWindow::saveClicked() {
    engine::Table& goals = dm_.goalsTable;
    if (goals.isEmpty()) return; // stores only what Insert began, never a blank goal
    goals.edit();
    goals.post();
}

void GoalsWindow::resetClicked() {
    engine::Table& goals = dm_.goalsTable;
    if (goals.isEmpty()) return;
    goals.edit();
    goals.field(QStringLiteral("UserNumber")).clear();
}

void GoalsWindow::deleteClicked() {
    if (!desktop().confirm(QStringLiteral("Are you sure you want to delete this goal?"))) return;
    // A goal not yet stored has no strategies: deleting it only drops the insert.
    if (dm_.goalsTable.state() == engine::DataSet::State::Insert) {
        dm_.goalsTable.cancel();
        return;
    }
    const qint64 goalId = dm_.goalsTable.field(QStringLiteral("GoalID")).asInteger();
    // The goal, its strategies and their measurements go together or not at all.
    engine::Transaction tx(dm_.goalDatabase);
    engine::execute(dm_.goalDatabase,
                    "Delete From \"Measure.db\" Where StrategyID In (Select StrategyID From ",
                    "\"Strategys.db\" Where GoalID = ", sql::Int{goalId}, ")");
    engine::execute(dm_.goalDatabase, "Delete From \"Strategys.db\" Where GoalID = ", sql::Int{goalId});
    dm_.goalsTable.remove();
    tx.commit();
}

void GoalsWindow::printClicked() {
    QPrinter& printer = printing::currentPrinter();
    if (!desktop().dialogs().print(printer, this)) return;
    engine::Query q(dm_.goalDatabase);
    q.add("Select G.*, T.TypeDescription From \"Goals.DB\" G, \"GoalType\" T");
    q.add("Where G.GoalTypeID = T.GoalTypeID");
    if (!dm_.user().rights.canModifyAllGoals) q.add("And GoalOwner = ", sql::Int{dm_.user().number});
    q.add("Order By GoalID, GoalDescription");
    q.open();
    reports::GoalsReport report(dm_, q, this);
    if (dm_.user().settings.sendToPrinter)
        report.print(printer);
    else
        report.preview(this, [this](QDialog& d) { return desktop().showModal(d); });
}

void GoalsWindow::closeWindow() {
    dm_.goalsTable.cancel();
    reject();
}

void GoalsWindow::onClose() {
    data::GoalFilter shown = dm_.goalFilter();
    shown.ownOnly = false;
    dm_.setGoalFilter(shown);
    dm_.goalsTable.cancel();
    dm_.goalsTable.setFiltered(false);
    if (usersFiltered_) dm_.visibleUsersTable.setFiltered(false);
}

void GoalsWindow::done(int result) {
    if (!closed_) {
        closed_ = true;
        // The list and the buttons close with the screen: they do not follow the table back to
        // every goal, which would only count them all.
        for (QObject* follower : std::initializer_list<QObject*>{goalGrid, this})
            QObject::disconnect(&dm_.goalsSource, nullptr, follower, nullptr);
        controls::guarded(this, [this] { onClose(); });
    }
    controls::Screen::done(result);
}

} // namespace planning

#include "planning/GoalsWindow.h"

#include "controls/DataControls.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/Plain.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "engine/Database.h"
#include "planning/GoalsExtras.h"
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

namespace sql = engine::sql;

GoalsWindow::GoalsWindow(QWidget* parent) : controls::Screen(parent) {
    DataModule& dm = *ProgramDataForm;
    // The users this person may see are chosen before the box listing them reads its list:
    // filtering them afterwards read all the users twice.
    dm.UserTable2.setFiltered(true);
    setWindowTitle(QStringLiteral("Goals"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* lay = new QVBoxLayout(this);
    auto* yearRow = new QHBoxLayout;
    yearLabel = new QLabel(QStringLiteral("Goal Year:"), this);
    GoalSpin = new controls::SpinBox(2000, 2100, this);
    yearLabel->setBuddy(GoalSpin);
    yearRow->addWidget(yearLabel);
    yearRow->addWidget(GoalSpin);
    yearRow->addStretch();
    lay->addLayout(yearRow);

    auto* body = new QHBoxLayout;
    goalsGroup = new QGroupBox(QStringLiteral("Goals"), this);
    auto* listLay = new QVBoxLayout(goalsGroup);
    goalGrid = new controls::DBGrid(goalsGroup);
    goalGrid->bind(&dm.GoalsSource, {{QStringLiteral("GoalDescription"), QStringLiteral("Goal")}});
    goalGrid->setMinimumWidth(280);
    listLay->addWidget(goalGrid);
    body->addWidget(goalsGroup, 1);

    detailGroup = new QGroupBox(QStringLiteral("Goal Detail"), this);
    auto* grid = new QGridLayout(detailGroup);
    auto addRow = [&](int row, QLabel*& label, const char* caption, QWidget* w, QWidget* extra = nullptr) {
        label = new QLabel(QString::fromLatin1(caption), detailGroup);
        label->setBuddy(w);
        grid->addWidget(label, row, 0);
        if (extra) {
            auto* h = new QHBoxLayout;
            h->addWidget(w, 1);
            h->addWidget(extra);
            grid->addLayout(h, row, 1);
        } else {
            grid->addWidget(w, row, 1);
        }
    };
    goalIdEdit = new controls::DBEdit(detailGroup);
    goalIdEdit->bind(&dm.GoalsSource, QStringLiteral("GoalID"));
    controls::setControlEnabled(goalIdEdit, false);
    addRow(0, goalIdLabel, "Goal ID:", goalIdEdit);
    goalYearEdit = new controls::DBEdit(detailGroup);
    goalYearEdit->bind(&dm.GoalsSource, QStringLiteral("Goalyear"));
    goalYearEdit->setRange(2000, 2100); // as the arrows
    goalYearArrows = new controls::UpDown(2000, 2100, detailGroup);
    addRow(1, goalYearLabel, "Goal Year", goalYearEdit, goalYearArrows);
    goalTypeBox = new controls::DBLookupComboBox(detailGroup);
    goalTypeBox->setList(&dm.GoalTypeSource, QStringLiteral("GoalTypeID"), QStringLiteral("TypeDescription"));
    goalTypeBox->bind(&dm.GoalsSource, QStringLiteral("GoalTypeID"));
    addRow(2, goalTypeLabel, "Goal Type:", goalTypeBox);
    ownerBox = new controls::DBLookupComboBox(detailGroup);
    ownerBox->setList(&dm.UserSettingsSource, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    ownerBox->bind(&dm.GoalsSource, QStringLiteral("GoalOwner"));
    addRow(3, ownerLabel, "Goal Owner", ownerBox);
    descriptionEdit = new controls::DBEdit(detailGroup);
    descriptionEdit->bind(&dm.GoalsSource, QStringLiteral("GoalDescription"));
    descriptionEdit->setMinimumWidth(320);
    addRow(4, goalLabel, "Goal", descriptionEdit);
    goalForBox = new controls::DBLookupComboBox(detailGroup);
    goalForBox->setList(&dm.UserSource2, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    goalForBox->bind(&dm.GoalsSource, QStringLiteral("UserNumber"));
    // A goal for someone outside this person's list names that user, so that it does not look
    // like a global goal; only the listed users can be picked.
    goalForBox->setUnlistedText([](const QVariant& key) {
        TLoginData user;
        ProgramDataForm->LookupUser(int(key.toLongLong()), user);
        return user.UserName.isEmpty() ? QStringLiteral("User %1").arg(key.toLongLong()) : user.UserName;
    });
    ResetBtn = controls::button(QStringLiteral("Reset"), detailGroup);
    addRow(5, goalForLabel, "Goal For:", goalForBox, ResetBtn);
    modifiedByBox = new controls::DBLookupComboBox(detailGroup);
    modifiedByBox->setList(&dm.UserSettingsSource, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    modifiedByBox->bind(&dm.GoalsSource, QStringLiteral("ModifiedBy"));
    modifiedDateEdit = new controls::DBEdit(detailGroup);
    modifiedDateEdit->bind(&dm.GoalsSource, QStringLiteral("ModifieDate"));
    modifiedDateEdit->setMinimumWidth(
        modifiedDateEdit->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) + 16);
    controls::setControlEnabled(modifiedByBox, false);
    controls::setControlEnabled(modifiedDateEdit, false);
    addRow(6, modifiedByLabel, "Modified By:", modifiedByBox, modifiedDateEdit);
    grid->setRowStretch(7, 1);
    body->addWidget(detailGroup, 2);
    lay->addLayout(body, 1);

    auto* buttons = new QHBoxLayout;
    PrintBtn = controls::button(QStringLiteral("Print"), this);
    InsertBtn = controls::button(QStringLiteral("Insert"), this);
    SaveBtn = controls::button(QStringLiteral("Save"), this);
    DeleteBtn = controls::button(QStringLiteral("Delete"), this);
    closeButton = controls::button(QStringLiteral("Close"), this);
    buttons->addWidget(HelpBtn);
    buttons->addStretch();
    for (QPushButton* b : {PrintBtn, InsertBtn, SaveBtn, DeleteBtn, closeButton})
        buttons->addWidget(b);
    AddGoalsExtraButtons(*this, *buttons);
    lay->addLayout(buttons);

    connect(PrintBtn, &QPushButton::clicked, this, controls::handler([this] { PrintBtnClick(); }));
    connect(InsertBtn, &QPushButton::clicked, this, controls::handler([this] { InsertBtnClick(); }));
    connect(SaveBtn, &QPushButton::clicked, this, controls::handler([this] { SaveBtnClick(); }));
    connect(DeleteBtn, &QPushButton::clicked, this, controls::handler([this] { DeleteBtnClick(); }));
    connect(ResetBtn, &QPushButton::clicked, this, controls::handler([this] { ResetBtnClick(); }));
    connect(closeButton, &QPushButton::clicked, this, controls::handler([this] { closeWindow(); }));
    connect(goalIdEdit, &controls::DBEdit::changed, this, controls::handler([this] { goalChanged(); }));
    connect(goalYearEdit, &controls::DBEdit::changed, this, controls::handler([this] { syncYearArrows(); }));
    connect(goalYearArrows, &controls::UpDown::clicked, this, controls::handler([this] { stepGoalYear(); }));
    connect(&dm.GoalsSource, &engine::DataSource::changed, this, [this] { updateGoalButtons(); });

    FormCreate();
    connect(GoalSpin, &QSpinBox::valueChanged, this, controls::handler([this] { GoalSpinChange(); }));
    setFixedSize(820, 420);
}

void GoalsWindow::FormCreate() {
    DataModule& dm = *ProgramDataForm;
    if (SystemSettings.NoGoalYear)
        for (QWidget* w : std::initializer_list<QWidget*>{yearLabel, GoalSpin, goalYearLabel, goalYearEdit,
                                                          goalYearArrows})
            w->hide();
    dm.GoalOwnerFilter = true;
    dm.FilterGoalsByUser = false;
    dm.GoalTypeFilter = -1;
    HelpBtn->setVisible(controls::helpFileExists());
    const int year = QDate::currentDate().year();
    GoalSpin->setValue(year);
    goalYearArrows->setPosition(year);
    GoalSpinChange();
    controls::setControlEnabled(ownerBox, SecurityData.CanModifyAllGoals);
    ResetBtn->setEnabled(SecurityData.CanAddGlobalGoals);
    goalChanged();
    updateGoalButtons();
}

void GoalsWindow::updateGoalButtons() {
    engine::Table& goals = ProgramDataForm->GoalsTable;
    const bool shown = goals.isOpen() && !goals.isEmpty(); // a goal being inserted counts as shown
    SaveBtn->setEnabled(shown);
    DeleteBtn->setEnabled(shown);
    goalYearArrows->setEnabled(shown);
}

void GoalsWindow::GoalSpinChange() {
    DataModule& dm = *ProgramDataForm;
    try {
        dm.GoalsTable.setFiltered(false); // stores a pending goal first
    } catch (...) {
        // It could not be stored (no text yet, locked elsewhere): the list stays on its year,
        // and the year shown says so.
        bool shown = false;
        const int listed = dm.GoalYearFilter.toInt(&shown);
        const QSignalBlocker quiet(GoalSpin);
        if (shown) GoalSpin->setValue(listed);
        throw;
    }
    dm.GoalYearFilter = QString::number(GoalSpin->value());
    dm.GoalsTable.setFiltered(true);
}

void GoalsWindow::goalChanged() {
    const bool global = ProgramDataForm->GoalsTable.field(QStringLiteral("UserNumber")).isNull();
    controls::setControlEnabled(goalForBox, !(global && !SecurityData.CanAddGlobalGoals));
}

void GoalsWindow::syncYearArrows() {
    engine::Table& goals = ProgramDataForm->GoalsTable;
    if (!goals.field(QStringLiteral("GoalYear")).isNull())
        goalYearArrows->setPosition(goalYearEdit->text().toInt());
    else
        goalYearArrows->setPosition(QDate::currentDate().year());
}

void GoalsWindow::stepGoalYear() {
    engine::Table& goals = ProgramDataForm->GoalsTable;
    if (goals.isEmpty()) return; // no goal shown: the arrows do not begin one
    // The arrows count from the year shown: like a typed year, never written over a year that
    // another workstation stored meanwhile.
    controls::writeField(&goals, QStringLiteral("GoalYear"), goalYearArrows->position());
}

void GoalsWindow::InsertBtnClick() {
    DataModule& dm = *ProgramDataForm;
    engine::Table& goals = dm.GoalsTable;
    const int year = QDate::currentDate().year();
    goals.insert();
    goals.field(QStringLiteral("GoalYear")).setValue(year);
    goals.field(QStringLiteral("GoalTypeID"))
        .setValue(dm.GoalTypeTable.field(QStringLiteral("GoalTypeID")).value());
    goals.field(QStringLiteral("GoalOwner")).setValue(LoginData.UserNumber);
    if (!SecurityData.CanAddGlobalGoals)
        goals.field(QStringLiteral("UserNumber")).setValue(LoginData.UserNumber);
    goalYearArrows->setPosition(year);
}

void GoalsWindow::SaveBtnClick() {
    engine::Table& goals = ProgramDataForm->GoalsTable;
    if (goals.isEmpty()) return; // stores only what Insert began, never a blank goal
    goals.edit();
    goals.post();
}

void GoalsWindow::ResetBtnClick() {
    engine::Table& goals = ProgramDataForm->GoalsTable;
    if (goals.isEmpty()) return;
    goals.edit();
    goals.field(QStringLiteral("UserNumber")).clear();
}

void GoalsWindow::DeleteBtnClick() {
    if (!controls::confirm(QStringLiteral("Are you sure you want to delete this goal?"))) return;
    DataModule& dm = *ProgramDataForm;
    // A goal not yet stored has no strategies: deleting it only drops the insert.
    if (dm.GoalsTable.state() == engine::DataSet::State::Insert) {
        dm.GoalsTable.cancel();
        return;
    }
    const qint64 goalId = dm.GoalsTable.field(QStringLiteral("GoalID")).asInteger();
    // The goal, its strategies and their measurements go together or not at all.
    engine::Transaction tx(dm.GoalDatabase);
    dm.MeasureQuery.close();
    dm.MeasureQuery.clear();
    dm.MeasureQuery.add("Delete From \"Measure.db\"");
    dm.MeasureQuery.add("Where StrategyID In (Select StrategyID From \"Strategys.db\" Where GoalID = ",
                        sql::Int{goalId}, ")");
    dm.MeasureQuery.prepare();
    dm.MeasureQuery.execSql();
    dm.MeasureQuery.unprepare();
    dm.Strategyquery.close();
    dm.Strategyquery.clear();
    dm.Strategyquery.add("Delete From \"Strategys.db\"");
    dm.Strategyquery.add("Where GoalID = ", sql::Int{goalId});
    dm.Strategyquery.prepare();
    dm.Strategyquery.execSql();
    dm.Strategyquery.unprepare();
    dm.GoalsTable.remove();
    tx.commit();
}

void GoalsWindow::PrintBtnClick() {
    QPrinter& printer = printing::currentPrinter();
    if (!controls::dialogs().print(printer, this)) return;
    DataModule& dm = *ProgramDataForm;
    engine::Query& q = dm.GoalsQuery;
    q.close();
    q.clear();
    q.add("Select G.*, T.TypeDescription From \"Goals.DB\" G, \"GoalType\" T");
    q.add("Where G.GoalTypeID = T.GoalTypeID");
    if (!SecurityData.CanModifyAllGoals) q.add("And GoalOwner = ", sql::Int{LoginData.UserNumber});
    q.add("Order By GoalID, GoalDescription");
    q.prepare();
    q.open();
    const engine::QueryReleaser release(q);
    GoalsReport report(this);
    if (SystemSettings.SendToPrinter)
        report.print(printer);
    else
        report.preview(this, [](QDialog& d) { return controls::showModal(d); });
}

void GoalsWindow::closeWindow() {
    ProgramDataForm->GoalsTable.cancel();
    reject();
}

void GoalsWindow::FormClose() {
    DataModule& dm = *ProgramDataForm;
    dm.GoalOwnerFilter = false;
    dm.GoalsTable.cancel();
    dm.GoalsTable.setFiltered(false);
    dm.UserTable2.setFiltered(false);
}

void GoalsWindow::done(int result) {
    if (!closed_) {
        closed_ = true;
        controls::guarded([this] { FormClose(); });
    }
    controls::Screen::done(result);
}

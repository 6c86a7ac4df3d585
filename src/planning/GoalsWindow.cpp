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
    Label1 = new QLabel(QStringLiteral("Goal Year:"), this);
    GoalSpin = new controls::SpinBox(2000, 2100, this);
    Label1->setBuddy(GoalSpin);
    yearRow->addWidget(Label1);
    yearRow->addWidget(GoalSpin);
    yearRow->addStretch();
    lay->addLayout(yearRow);

    auto* body = new QHBoxLayout;
    GroupBox1 = new QGroupBox(QStringLiteral("Goals"), this);
    auto* listLay = new QVBoxLayout(GroupBox1);
    DBGrid1 = new controls::DBGrid(GroupBox1);
    DBGrid1->bind(&dm.GoalsSource, {{QStringLiteral("GoalDescription"), QStringLiteral("Goal")}});
    DBGrid1->setMinimumWidth(280);
    listLay->addWidget(DBGrid1);
    body->addWidget(GroupBox1, 1);

    GroupBox2 = new QGroupBox(QStringLiteral("Goal Detail"), this);
    auto* grid = new QGridLayout(GroupBox2);
    auto addRow = [&](int row, QLabel*& label, const char* caption, QWidget* w, QWidget* extra = nullptr) {
        label = new QLabel(QString::fromLatin1(caption), GroupBox2);
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
    DBEdit1 = new controls::DBEdit(GroupBox2);
    DBEdit1->bind(&dm.GoalsSource, QStringLiteral("GoalID"));
    controls::setControlEnabled(DBEdit1, false);
    addRow(0, Label2, "Goal ID:", DBEdit1);
    DBEdit4 = new controls::DBEdit(GroupBox2);
    DBEdit4->bind(&dm.GoalsSource, QStringLiteral("Goalyear"));
    DBEdit4->setRange(2000, 2100); // as the arrows
    UpDown1 = new controls::UpDown(2000, 2100, GroupBox2);
    addRow(1, Label4, "Goal Year", DBEdit4, UpDown1);
    DBLookupComboBox3 = new controls::DBLookupComboBox(GroupBox2);
    DBLookupComboBox3->setList(&dm.GoalTypeSource, QStringLiteral("GoalTypeID"),
                               QStringLiteral("TypeDescription"));
    DBLookupComboBox3->bind(&dm.GoalsSource, QStringLiteral("GoalTypeID"));
    addRow(2, Label7, "Goal Type:", DBLookupComboBox3);
    DBLookupComboBox4 = new controls::DBLookupComboBox(GroupBox2);
    DBLookupComboBox4->setList(&dm.UserSettingsSource, QStringLiteral("UserNumber"),
                               QStringLiteral("UserName"));
    DBLookupComboBox4->bind(&dm.GoalsSource, QStringLiteral("GoalOwner"));
    addRow(3, Label8, "Goal Owner", DBLookupComboBox4);
    DBEdit2 = new controls::DBEdit(GroupBox2);
    DBEdit2->bind(&dm.GoalsSource, QStringLiteral("GoalDescription"));
    DBEdit2->setMinimumWidth(320);
    addRow(4, Label3, "Goal", DBEdit2);
    DBLookupComboBox1 = new controls::DBLookupComboBox(GroupBox2);
    DBLookupComboBox1->setList(&dm.UserSource2, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    DBLookupComboBox1->bind(&dm.GoalsSource, QStringLiteral("UserNumber"));
    // A goal for someone outside this person's list names that user, so that it does not look
    // like a global goal; only the listed users can be picked.
    DBLookupComboBox1->setUnlistedText([](const QVariant& key) {
        TLoginData user;
        ProgramDataForm->LookupUser(int(key.toLongLong()), user);
        return user.UserName.isEmpty() ? QStringLiteral("User %1").arg(key.toLongLong()) : user.UserName;
    });
    ResetBtn = controls::button(QStringLiteral("Reset"), GroupBox2);
    addRow(5, Label5, "Goal For:", DBLookupComboBox1, ResetBtn);
    DBLookupComboBox2 = new controls::DBLookupComboBox(GroupBox2);
    DBLookupComboBox2->setList(&dm.UserSettingsSource, QStringLiteral("UserNumber"),
                               QStringLiteral("UserName"));
    DBLookupComboBox2->bind(&dm.GoalsSource, QStringLiteral("ModifiedBy"));
    DBEdit3 = new controls::DBEdit(GroupBox2);
    DBEdit3->bind(&dm.GoalsSource, QStringLiteral("ModifieDate"));
    DBEdit3->setMinimumWidth(DBEdit3->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) +
                             16);
    controls::setControlEnabled(DBLookupComboBox2, false);
    controls::setControlEnabled(DBEdit3, false);
    addRow(6, Label6, "Modified By:", DBLookupComboBox2, DBEdit3);
    grid->setRowStretch(7, 1);
    body->addWidget(GroupBox2, 2);
    lay->addLayout(body, 1);

    auto* buttons = new QHBoxLayout;
    PrintBtn = controls::button(QStringLiteral("Print"), this);
    InsertBtn = controls::button(QStringLiteral("Insert"), this);
    SaveBtn = controls::button(QStringLiteral("Save"), this);
    DeleteBtn = controls::button(QStringLiteral("Delete"), this);
    BitBtn1 = controls::button(QStringLiteral("Close"), this);
    buttons->addWidget(HelpBtn);
    buttons->addStretch();
    for (QPushButton* b : {PrintBtn, InsertBtn, SaveBtn, DeleteBtn, BitBtn1})
        buttons->addWidget(b);
    AddGoalsExtraButtons(*this, *buttons);
    lay->addLayout(buttons);

    connect(PrintBtn, &QPushButton::clicked, this, controls::handler([this] { PrintBtnClick(); }));
    connect(InsertBtn, &QPushButton::clicked, this, controls::handler([this] { InsertBtnClick(); }));
    connect(SaveBtn, &QPushButton::clicked, this, controls::handler([this] { SaveBtnClick(); }));
    connect(DeleteBtn, &QPushButton::clicked, this, controls::handler([this] { DeleteBtnClick(); }));
    connect(ResetBtn, &QPushButton::clicked, this, controls::handler([this] { ResetBtnClick(); }));
    connect(BitBtn1, &QPushButton::clicked, this, controls::handler([this] { BitBtn1Click(); }));
    connect(DBEdit1, &controls::DBEdit::changed, this, controls::handler([this] { DBEdit1Change(); }));
    connect(DBEdit4, &controls::DBEdit::changed, this, controls::handler([this] { DBEdit4Change(); }));
    connect(UpDown1, &controls::UpDown::clicked, this, controls::handler([this] { UpDown1Click(); }));
    connect(&dm.GoalsSource, &engine::DataSource::changed, this, [this] { updateGoalButtons(); });

    FormCreate();
    connect(GoalSpin, &QSpinBox::valueChanged, this, controls::handler([this] { GoalSpinChange(); }));
    setFixedSize(820, 420);
}

void GoalsWindow::FormCreate() {
    DataModule& dm = *ProgramDataForm;
    if (SystemSettings.NoGoalYear)
        for (QWidget* w : std::initializer_list<QWidget*>{Label1, GoalSpin, Label4, DBEdit4, UpDown1})
            w->hide();
    dm.GoalOwnerFilter = true;
    dm.FilterGoalsByUser = false;
    dm.GoalTypeFilter = -1;
    HelpBtn->setVisible(controls::helpFileExists());
    const int year = QDate::currentDate().year();
    GoalSpin->setValue(year);
    UpDown1->setPosition(year);
    GoalSpinChange();
    controls::setControlEnabled(DBLookupComboBox4, SecurityData.CanModifyAllGoals);
    ResetBtn->setEnabled(SecurityData.CanAddGlobalGoals);
    DBEdit1Change();
    updateGoalButtons();
}

void GoalsWindow::updateGoalButtons() {
    engine::Table& goals = ProgramDataForm->GoalsTable;
    const bool shown = goals.isOpen() && !goals.isEmpty(); // a goal being inserted counts as shown
    SaveBtn->setEnabled(shown);
    DeleteBtn->setEnabled(shown);
    UpDown1->setEnabled(shown);
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

void GoalsWindow::DBEdit1Change() {
    const bool global = ProgramDataForm->GoalsTable.field(QStringLiteral("UserNumber")).isNull();
    controls::setControlEnabled(DBLookupComboBox1, !(global && !SecurityData.CanAddGlobalGoals));
}

void GoalsWindow::DBEdit4Change() {
    engine::Table& goals = ProgramDataForm->GoalsTable;
    if (!goals.field(QStringLiteral("GoalYear")).isNull())
        UpDown1->setPosition(DBEdit4->text().toInt());
    else
        UpDown1->setPosition(QDate::currentDate().year());
}

void GoalsWindow::UpDown1Click() {
    engine::Table& goals = ProgramDataForm->GoalsTable;
    if (goals.isEmpty()) return; // no goal shown: the arrows do not begin one
    // The arrows count from the year shown: like a typed year, never written over a year that
    // another workstation stored meanwhile.
    controls::writeField(&goals, QStringLiteral("GoalYear"), UpDown1->position());
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
    UpDown1->setPosition(year);
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

void GoalsWindow::BitBtn1Click() {
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

#include "admin/SecurityWindow.h"

#include "controls/DataGrid.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

SecurityWindow::SecurityWindow(DataModule& dm, QWidget* parent) : controls::Screen(parent), dm_(dm) {
    setWindowTitle(QStringLiteral("Security"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    // Every profile is listed here, profile 0 included.
    dm_.SecurityTable.setFiltered(false);

    auto* lay = new QHBoxLayout(this);
    profileGrid = new controls::DataGrid(this);
    profileGrid->bind(&dm_.SecuritySource, {{QStringLiteral("SecurityID"), QStringLiteral("ID"), 5},
                                            {QStringLiteral("Description"), QStringLiteral("Profile Name")}});
    profileGrid->setMinimumWidth(240);
    lay->addWidget(profileGrid, 1);

    auto* right = new QVBoxLayout;
    profileGroup = new QGroupBox(QStringLiteral("Security Profile"), this);
    auto* grid = new QGridLayout(profileGroup);
    buildProfileFields(grid);
    buildRightBoxes(grid);
    right->addWidget(profileGroup);
    buildButtonBar(right);
    lay->addLayout(right);

    // Nothing can be changed before the rights of the logged-on user have been looked at.
    SetEditing(false);
    connectSignals();
    profileChanged();
    FormActivate();
    setFixedSize(sizeHint().expandedTo(QSize(640, 380)));
}

void SecurityWindow::buildProfileFields(QGridLayout* grid) {
    nameLabel = new QLabel(QStringLiteral("Profile Name:"), profileGroup);
    nameEdit = new controls::FieldEdit(profileGroup);
    nameEdit->bind(&dm_.SecuritySource, QStringLiteral("Description"));
    nameEdit->setMaxLength(40);
    nameLabel->setBuddy(nameEdit);
    idLabel = new QLabel(QStringLiteral("Security ID:"), profileGroup);
    idEdit = new controls::FieldEdit(profileGroup);
    idEdit->bind(&dm_.SecuritySource, QStringLiteral("SecurityID"));
    controls::setControlEnabled(idEdit, false);
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(nameEdit, 0, 1, 1, 2);
    controls::addGridRow(grid, 1, idLabel, idEdit);
}

void SecurityWindow::buildRightBoxes(QGridLayout* grid) {
    int row = 2, col = 0;
    auto check = [&](controls::FieldCheckBox*& box, const char* caption, const char* field) {
        box = new controls::FieldCheckBox(QString::fromLatin1(caption), profileGroup);
        box->bind(&dm_.SecuritySource, QString::fromLatin1(field));
        grid->addWidget(box, row, col * 2, 1, 2);
        if (++col == 2) {
            col = 0;
            ++row;
        }
    };
    check(SupervisorCheckBox, "Supervisor", "Supervisor");
    check(ChangeSystemCheckBox, "Change System Settings", "CanChangeSystem");
    check(ViewSecurityCheckBox, "View Security", "CanViewSecurity");
    check(PackDatabaseCheckBox, "Pack Database", "CanPackDatabase");
    check(ModifyUserCheckBox, "Modify Users", "CanAddUser");
    check(GoalsCheckBox, "Add Goals", "CanAddGoals");
    check(StrategyCheckBox, "Add Strategies", "CanAddStrategy");
    check(DepartmentsCheckBox, "Add Departments", "CanAddDepartments");
    check(ViewAllStrategys, "Modify All Strategies", "CanViewAllStrategys");
    check(PrintReports, "Print Reports", "CanPrintReports");
    check(GoalTypesCheckBox, "Can Add Goal Types", "CanAddGoalType");
    check(GobalGoalsCheckBox, "Can Add Global Goals", "CanAddGlobalGoals");
    check(ModifyAllGoalsCheckBox, "Can Modify All Goals", "CanModifyAllGoals");
    rightBoxes_ = {ChangeSystemCheckBox, ViewSecurityCheckBox, PackDatabaseCheckBox, ModifyUserCheckBox,
                   GoalsCheckBox,        StrategyCheckBox,     DepartmentsCheckBox,  ViewAllStrategys,
                   PrintReports,         GoalTypesCheckBox,    GobalGoalsCheckBox,   ModifyAllGoalsCheckBox};
}

void SecurityWindow::buildButtonBar(QVBoxLayout* right) {
    SaveBtn = controls::button(QStringLiteral("Save"), this);
    InsertBtn = controls::button(QStringLiteral("Insert"), this);
    DeleteBtn = controls::button(QStringLiteral("Delete"), this);
    closeButton = controls::button(QStringLiteral("Close"), this);
    auto* buttons = controls::buttonBar(HelpBtn, {SaveBtn, InsertBtn, DeleteBtn, closeButton});
    right->addStretch();
    right->addLayout(buttons);
}

void SecurityWindow::connectSignals() {
    connect(SaveBtn, &QPushButton::clicked, this, controls::handler([this] { SaveBtnClick(); }));
    connect(InsertBtn, &QPushButton::clicked, this, controls::handler([this] { InsertBtnClick(); }));
    connect(DeleteBtn, &QPushButton::clicked, this, controls::handler([this] { DeleteBtnClick(); }));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(idEdit, &controls::FieldEdit::changed, this, controls::handler([this] { profileChanged(); }));
    connect(this, &controls::Screen::activated, this, controls::handler([this] { FormActivate(); }));
}

void SecurityWindow::SetEditing(bool on) {
    controls::setControlEnabled(nameEdit, on);
    controls::setControlEnabled(SupervisorCheckBox, false);
    for (controls::FieldCheckBox* box : rightBoxes_)
        box->setEnabled(on);
    SaveBtn->setEnabled(on);
    InsertBtn->setEnabled(on);
    DeleteBtn->setEnabled(on);
}

void SecurityWindow::FormActivate() {
    HelpBtn->setVisible(controls::helpFileExists());
    if (!(dm_.user().rights.profileId == 0))
        SetEditing(false);
    else
        InsertBtn->setEnabled(true);
}

void SecurityWindow::profileChanged() {
    if (!(dm_.user().rights.profileId == 0)) return;
    // With no profile shown there is nothing to change; only a new one can be made.
    const bool none = dm_.SecurityTable.isEmpty();
    if (!none && idEdit->text() != QLatin1String("0")) {
        SetEditing(true);
    } else {
        SetEditing(false);
        InsertBtn->setEnabled(true);
    }
}

void SecurityWindow::InsertBtnClick() {
    engine::Table& t = dm_.SecurityTable;
    t.insert();
    for (const char* right :
         {"Supervisor", "CanChangeSystem", "CanAddUser", "CanPackDatabase", "CanViewSecurity", "CanAddGoals",
          "CanAddStrategy", "CanAddDepartments", "CanViewAllStrategys", "CanPrintReports", "CanAddGoalType",
          "CanAddGlobalGoals", "CanModifyAllGoals"})
        t.field(QString::fromLatin1(right)).setValue(false);
    t.post();
}

void SecurityWindow::SaveBtnClick() {
    engine::Table& t = dm_.SecurityTable;
    t.edit();
    t.post();
}

void SecurityWindow::DeleteBtnClick() {
    if (controls::confirm(QStringLiteral("Are you sure you want to delete This Security Profile?")))
        dm_.SecurityTable.remove();
}

void SecurityWindow::FormClose() {
    // A change not saved is dropped on closing, as on every screen; moving to another profile
    // has stored it already.
    dm_.SecurityTable.cancel();
}

void SecurityWindow::done(int result) {
    if (!closed_) {
        closed_ = true;
        controls::guarded([this] { FormClose(); });
    }
    controls::Screen::done(result);
}

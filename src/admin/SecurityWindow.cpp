#include "admin/SecurityWindow.h"

#include "controls/DataGrid.h"
#include "controls/Desktop.h"
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

namespace admin {

SecurityWindow::SecurityWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), dm_(dm) {
    setWindowTitle(QStringLiteral("Security"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    // Every profile is listed here, profile 0 included.
    dm_.securityTable.setFiltered(false);

    auto* lay = new QHBoxLayout(this);
    profileGrid = new controls::DataGrid(this);
    profileGrid->bind(&dm_.securitySource, {{QStringLiteral("SecurityID"), QStringLiteral("ID"), 5},
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
    setEditing(false);
    connectSignals();
    profileChanged();
    onActivate();
    setFixedSize(sizeHint().expandedTo(QSize(640, 380)));
}

void SecurityWindow::buildProfileFields(QGridLayout* grid) {
    nameLabel = new QLabel(QStringLiteral("Profile Name:"), profileGroup);
    nameEdit = new controls::FieldEdit(profileGroup);
    nameEdit->bind(&dm_.securitySource, QStringLiteral("Description"));
    nameEdit->setMaxLength(40);
    nameLabel->setBuddy(nameEdit);
    idLabel = new QLabel(QStringLiteral("Security ID:"), profileGroup);
    idEdit = new controls::FieldEdit(profileGroup);
    idEdit->bind(&dm_.securitySource, QStringLiteral("SecurityID"));
    controls::setControlEnabled(idEdit, false);
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(nameEdit, 0, 1, 1, 2);
    controls::addGridRow(grid, 1, idLabel, idEdit);
}

void SecurityWindow::buildRightBoxes(QGridLayout* grid) {
    int row = 2, col = 0;
    auto check = [&](controls::FieldCheckBox*& box, const char* caption, const char* field) {
        box = new controls::FieldCheckBox(QString::fromLatin1(caption), profileGroup);
        box->bind(&dm_.securitySource, QString::fromLatin1(field));
        grid->addWidget(box, row, col * 2, 1, 2);
        if (++col == 2) {
            col = 0;
            ++row;
        }
    };
    check(supervisorCheckBox, "Supervisor", "Supervisor");
    check(changeSystemCheckBox, "Change System Settings", "CanChangeSystem");
    check(viewSecurityCheckBox, "View Security", "CanViewSecurity");
    check(packDatabaseCheckBox, "Pack Database", "CanPackDatabase");
    check(modifyUserCheckBox, "Modify Users", "CanAddUser");
    check(goalsCheckBox, "Add Goals", "CanAddGoals");
    check(strategyCheckBox, "Add Strategies", "CanAddStrategy");
    check(departmentsCheckBox, "Add Departments", "CanAddDepartments");
    check(viewAllStrategiesCheckBox, "Modify All Strategies", "CanViewAllStrategys");
    check(printReportsCheckBox, "Print Reports", "CanPrintReports");
    check(goalTypesCheckBox, "Can Add Goal Types", "CanAddGoalType");
    check(globalGoalsCheckBox, "Can Add Global Goals", "CanAddGlobalGoals");
    check(modifyAllGoalsCheckBox, "Can Modify All Goals", "CanModifyAllGoals");
    rightBoxes_ = {
        changeSystemCheckBox, viewSecurityCheckBox, packDatabaseCheckBox, modifyUserCheckBox,
        goalsCheckBox,        strategyCheckBox,     departmentsCheckBox,  viewAllStrategiesCheckBox,
        printReportsCheckBox, goalTypesCheckBox,    globalGoalsCheckBox,  modifyAllGoalsCheckBox};
}

void SecurityWindow::buildButtonBar(QVBoxLayout* right) {
    saveButton = controls::button(QStringLiteral("Save"), this);
    insertButton = controls::button(QStringLiteral("Insert"), this);
    deleteButton = controls::button(QStringLiteral("Delete"), this);
    closeButton = controls::button(QStringLiteral("Close"), this);
    auto* buttons = controls::buttonBar(helpButton, {saveButton, insertButton, deleteButton, closeButton});
    right->addStretch();
    right->addLayout(buttons);
}

void SecurityWindow::connectSignals() {
    connect(saveButton, &QPushButton::clicked, this, controls::handler(this, [this] { saveClicked(); }));
    connect(insertButton, &QPushButton::clicked, this, controls::handler(this, [this] { insertClicked(); }));
    connect(deleteButton, &QPushButton::clicked, this, controls::handler(this, [this] { deleteClicked(); }));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(idEdit, &controls::FieldEdit::changed, this,
            controls::handler(this, [this] { profileChanged(); }));
    connect(this, &controls::Screen::activated, this, controls::handler(this, [this] { onActivate(); }));
}

void SecurityWindow::setEditing(bool on) {
    controls::setControlEnabled(nameEdit, on);
    controls::setControlEnabled(supervisorCheckBox, false);
    for (controls::FieldCheckBox* box : rightBoxes_)
        box->setEnabled(on);
    saveButton->setEnabled(on);
    insertButton->setEnabled(on);
    deleteButton->setEnabled(on);
}

void SecurityWindow::onActivate() {
    if (!(dm_.user().rights.profileId == 0))
        setEditing(false);
    else
        insertButton->setEnabled(true);
}

void SecurityWindow::profileChanged() {
    if (!(dm_.user().rights.profileId == 0)) return;
    // With no profile shown there is nothing to change; only a new one can be made.
    const bool none = dm_.securityTable.isEmpty();
    if (!none && idEdit->text() != QLatin1String("0")) {
        setEditing(true);
    } else {
        setEditing(false);
        insertButton->setEnabled(true);
    }
}

void SecurityWindow::insertClicked() {
    engine::Table& t = dm_.securityTable;
    t.insert();
    for (const char* right :
         {"Supervisor", "CanChangeSystem", "CanAddUser", "CanPackDatabase", "CanViewSecurity", "CanAddGoals",
          "CanAddStrategy", "CanAddDepartments", "CanViewAllStrategys", "CanPrintReports", "CanAddGoalType",
          "CanAddGlobalGoals", "CanModifyAllGoals"})
        t.field(QString::fromLatin1(right)).setValue(false);
    t.post();
}

void SecurityWindow::saveClicked() {
    engine::Table& t = dm_.securityTable;
    t.edit();
    t.post();
}

void SecurityWindow::deleteClicked() {
    if (desktop().confirm(QStringLiteral("Are you sure you want to delete This Security Profile?")))
        dm_.securityTable.remove();
}

void SecurityWindow::onClose() {
    // A change not saved is dropped on closing, as on every screen; moving to another profile
    // has stored it already.
    dm_.securityTable.cancel();
}

void SecurityWindow::done(int result) {
    if (!closed_) {
        closed_ = true;
        controls::guarded(this, [this] { onClose(); });
    }
    controls::Screen::done(result);
}

} // namespace admin

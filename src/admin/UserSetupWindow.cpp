#include "admin/UserSetupWindow.h"

#include "admin/LoggedInUsersWindow.h"
#include "controls/DataGrid.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/LookupComboBox.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "engine/Error.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace sql = engine::sql;

UserSetupWindow::UserSetupWindow(DataModule& dm, QWidget* parent) : controls::Screen(parent), dm_(dm) {
    setWindowTitle(QStringLiteral("User Settings"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    auto* lay = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    userGrid = new controls::DataGrid(this);
    userGrid->bind(&dm_.UserSettingsSource, {{QStringLiteral("UserID"), QStringLiteral("User ID"), 16},
                                             {QStringLiteral("UserName"), QStringLiteral("User Name")}});
    userGrid->setMinimumWidth(300);
    top->addWidget(userGrid, 1);

    auto* detail = new QVBoxLayout;
    buildUserFields(detail);
    buildUserButtons(detail);
    detail->addStretch();
    top->addLayout(detail);
    lay->addLayout(top, 3);
    buildAccessGroup(lay);

    connectSignals();
    FormActivate();
    protectSupervisor();
    setFixedSize(sizeHint().expandedTo(QSize(720, 520)));
}

void UserSetupWindow::buildUserFields(QVBoxLayout* detail) {
    engine::DataSource* users = &dm_.UserSettingsSource;
    userGroup = new QGroupBox(QStringLiteral("User Settings"), this);
    auto* grid = new QGridLayout(userGroup);
    auto addRow = [&](int row, QLabel*& label, const char* caption, QWidget* w) {
        label = new QLabel(QString::fromLatin1(caption), userGroup);
        label->setBuddy(w);
        controls::addGridRow(grid, row, label, w);
    };
    userIdEdit = new controls::FieldEdit(userGroup);
    userIdEdit->bind(users, QStringLiteral("UserID"));
    userIdEdit->setMaxLength(40);
    addRow(0, userIdLabel, "User ID:", userIdEdit);
    passwordEdit = new controls::FieldEdit(userGroup);
    passwordEdit->bind(users, QStringLiteral("UserPassword"));
    passwordEdit->setMaxLength(40);
    addRow(1, passwordLabel, "Password:", passwordEdit);
    securityBox = new controls::LookupComboBox(userGroup);
    securityBox->setList(&dm_.SecuritySource, QStringLiteral("SecurityID"), QStringLiteral("Description"));
    securityBox->bind(users, QStringLiteral("SecurityID"));
    addRow(2, securityLabel, "Security", securityBox);
    fullNameEdit = new controls::FieldEdit(userGroup);
    fullNameEdit->bind(users, QStringLiteral("UserName"));
    fullNameEdit->setMaxLength(40);
    addRow(3, fullNameLabel, "Full Name:", fullNameEdit);
    departmentBox = new controls::LookupComboBox(userGroup);
    departmentBox->setList(&dm_.DepartmentSource, QStringLiteral("DepartmentID"),
                           QStringLiteral("Description"));
    departmentBox->bind(users, QStringLiteral("DepartmentID"));
    addRow(4, departmentLabel, "Department:", departmentBox);
    grid->setColumnStretch(1, 1);
    detail->addWidget(userGroup);
}

void UserSetupWindow::buildUserButtons(QVBoxLayout* detail) {
    auto* userButtons = new QGridLayout;
    CloseB = controls::button(QStringLiteral("Close"), this);
    InsertB = controls::button(QStringLiteral("Insert"), this);
    SaveB = controls::button(QStringLiteral("Save"), this);
    DeleteB = controls::button(QStringLiteral("Delete"), this);
    LoggedInUsers = controls::button(QStringLiteral("Logged In"), this);
    userButtons->addWidget(InsertB, 0, 0);
    userButtons->addWidget(SaveB, 0, 1);
    userButtons->addWidget(DeleteB, 0, 2);
    userButtons->addWidget(LoggedInUsers, 1, 0);
    userButtons->addWidget(HelpBtn, 1, 1);
    userButtons->addWidget(CloseB, 1, 2);
    detail->addLayout(userButtons);
}

void UserSetupWindow::buildAccessGroup(QVBoxLayout* lay) {
    accessGroup = new QGroupBox(QStringLiteral("User To View"), this);
    auto* access = new QHBoxLayout(accessGroup);
    accessGrid = new controls::DataGrid(accessGroup);
    accessGrid->bind(&dm_.AccessListSource, {{QStringLiteral("UserName"), QStringLiteral("User"), 30},
                                             {QStringLiteral("CanEditUser"), QStringLiteral("Can Edit")}});
    access->addWidget(accessGrid, 1);
    auto* accessDetail = new QGridLayout;
    viewedUserLabel = new QLabel(QStringLiteral("User:"), accessGroup);
    viewedUserBox = new controls::LookupComboBox(accessGroup);
    viewedUserBox->setList(&dm_.VisibleUsersSource, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    viewedUserBox->bind(&dm_.AccessListSource, QStringLiteral("CanSeeUser"));
    viewedUserLabel->setBuddy(viewedUserBox);
    canEditBox = new controls::FieldCheckBox(QStringLiteral("Edit"), accessGroup);
    canEditBox->bind(&dm_.AccessListSource, QStringLiteral("CanEditUser"));
    UserInsert = controls::button(QStringLiteral("Insert"), accessGroup);
    UserSave = controls::button(QStringLiteral("Save"), accessGroup);
    UserDelete = controls::button(QStringLiteral("Delete"), accessGroup);
    accessDetail->addWidget(viewedUserLabel, 0, 0);
    accessDetail->addWidget(viewedUserBox, 0, 1, 1, 2);
    accessDetail->addWidget(canEditBox, 1, 1);
    accessDetail->addWidget(UserInsert, 2, 0);
    accessDetail->addWidget(UserSave, 2, 1);
    accessDetail->addWidget(UserDelete, 2, 2);
    accessDetail->setRowStretch(3, 1);
    access->addLayout(accessDetail);
    lay->addWidget(accessGroup, 2);
}

void UserSetupWindow::connectSignals() {
    engine::DataSource* users = &dm_.UserSettingsSource;
    connect(CloseB, &QPushButton::clicked, this, &QDialog::reject);
    connect(InsertB, &QPushButton::clicked, this, controls::handler([this] { InsertBClick(); }));
    connect(SaveB, &QPushButton::clicked, this, controls::handler([this] { SaveBClick(); }));
    connect(DeleteB, &QPushButton::clicked, this, controls::handler([this] { DeleteBClick(); }));
    connect(LoggedInUsers, &QPushButton::clicked, this, controls::handler([this] { LoggedInUsersClick(); }));
    connect(UserInsert, &QPushButton::clicked, this, controls::handler([this] { UserInsertClick(); }));
    connect(UserSave, &QPushButton::clicked, this, controls::handler([this] { UserSaveClick(); }));
    connect(UserDelete, &QPushButton::clicked, this, controls::handler([this] { UserDeleteClick(); }));
    connect(userIdEdit, &controls::FieldEdit::changed, this,
            controls::handler([this] { protectSupervisor(); }));
    // The access rows follow the user row that is current, whatever made it current.
    connect(users, &engine::DataSource::currentChanged, this,
            controls::handler([this] { FollowSelectedUser(); }));
    connect(users, &engine::DataSource::rowsChanged, this,
            controls::handler([this] { FollowSelectedUser(); }));
    connect(this, &controls::Screen::activated, this, controls::handler([this] { FormActivate(); }));
}

void UserSetupWindow::FormActivate() {
    HelpBtn->setVisible(controls::helpFileExists());
    // The filters are set once: nothing another window does while this one is open changes
    // them, and switching them again would move the grid back to its first user.
    if (activated_) return;
    activated_ = true;
    dm_.UserSettingsTable.setFiltered(false);
    dm_.SecurityTable.setFiltered(false);
    if (dm_.user().rights.profileId != 0) {
        dm_.UserSettingsTable.setFiltered(true);
        dm_.SecurityTable.setFiltered(true);
    }
    FollowSelectedUser();
}

void UserSetupWindow::FollowSelectedUser() {
    if (closed_) return;
    const engine::Field number = dm_.UserSettingsTable.field(QStringLiteral("UserNumber"));
    const int owner = number.isNull() ? -1 : number.asInt();
    if (owner == dm_.accessListOwner() && dm_.AccessListTable.filtered()) return;
    dm_.AccessListTable.setFiltered(false);
    dm_.setAccessListOwner(owner);
    dm_.AccessListTable.setFiltered(true);
}

void UserSetupWindow::protectSupervisor() {
    engine::Table& t = dm_.UserSettingsTable;
    // Decided by the row as stored: typing an id, or a new user, never locks the boxes
    // under the person's hands.
    if (t.state() == engine::DataSet::State::Edit) return;
    const bool builtIn = t.state() != engine::DataSet::State::Insert &&
                         t.field(QStringLiteral("UserID")).asString() == QLatin1String("Supervisor");
    controls::setControlEnabled(userIdEdit, !builtIn);
    controls::setControlEnabled(securityBox, !builtIn);
    DeleteB->setEnabled(!builtIn);
}

void UserSetupWindow::InsertBClick() {
    // Inserting stores a changed row first; the row shown need not be locked for that.
    dm_.UserSettingsTable.insert();
}

void UserSetupWindow::SaveBClick() {
    engine::Table& t = dm_.UserSettingsTable;
    if (t.isEmpty()) return; // no user shown: nothing to save, and no empty user made
    t.edit();
    t.post();
}

void UserSetupWindow::DeleteBClick() {
    if (!controls::confirm(QStringLiteral("Are you sure you want to delete this user?"))) return;
    engine::Table& t = dm_.UserSettingsTable;
    if (t.state() == engine::DataSet::State::Insert) {
        t.cancel(); // a user not stored yet owns nothing
        return;
    }
    if (t.isEmpty()) return;
    const engine::Field number = t.field(QStringLiteral("UserNumber"));
    const qint64 n = number.isNull() ? -1 : number.asInteger();
    dm_.AccessListTable.cancel(); // an access row being written for him goes with him
    // The user, his strategies with their measurements and the access rows naming him go
    // together or not at all.
    try {
        engine::Transaction tx(dm_.GoalDatabase);
        engine::execute(dm_.GoalDatabase,
                        "Delete From \"Measure.db\" Where StrategyID In (Select StrategyID ",
                        "From \"Strategys.db\" Where UserNumber = ", sql::Int{n}, ")");
        engine::execute(dm_.GoalDatabase, "Delete From \"Strategys.db\" Where UserNumber = ", sql::Int{n});
        engine::execute(dm_.GoalDatabase, "Delete From \"AccessList.db\" Where UserNumber = ", sql::Int{n},
                        " Or CanSeeUser = ", sql::Int{n});
        t.remove();
        tx.commit();
    } catch (...) {
        // Rolled back: the tables show again what is stored.
        for (engine::Table* table :
             {&dm_.UserSettingsTable, &dm_.AccessListTable, &dm_.StrategyTable, &dm_.MeasureTable})
            try {
                table->refresh();
            } catch (...) {
            }
        throw;
    }
}

void UserSetupWindow::LoggedInUsersClick() {
    LoggedInUsersWindow form(dm_, this);
    controls::showModal(form);
}

void UserSetupWindow::UserInsertClick() {
    engine::Table& users = dm_.UserSettingsTable;
    if (users.isEmpty()) return; // no user to grant a view to
    users.edit();
    users.post();
    const qint64 u = users.field(QStringLiteral("UserNumber")).asInteger();
    FollowSelectedUser();
    dm_.AccessListTable.insert();
    dm_.AccessListTable.field(QStringLiteral("UserNumber")).setValue(u);
    dm_.AccessListTable.field(QStringLiteral("CanEditUser")).setValue(false);
}

void UserSetupWindow::UserSaveClick() {
    engine::Table& t = dm_.AccessListTable;
    if (t.isEmpty()) return;
    t.edit();
    t.post();
}

void UserSetupWindow::UserDeleteClick() {
    engine::Table& t = dm_.AccessListTable;
    if (t.isEmpty()) return;
    if (controls::confirm(QStringLiteral("Are you sure you want to delete access to this user?"))) t.remove();
}

void UserSetupWindow::FormClose() {
    // Closing drops what was not saved; switching the filters must not store it.
    dm_.UserSettingsTable.cancel();
    dm_.AccessListTable.cancel();
    dm_.SecurityTable.setFiltered(false);
    dm_.UserSettingsTable.setFiltered(false);
}

void UserSetupWindow::done(int result) {
    if (!closed_) {
        closed_ = true;
        controls::guarded([this] { FormClose(); });
    }
    controls::Screen::done(result);
}

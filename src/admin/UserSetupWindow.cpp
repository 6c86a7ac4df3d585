#include "admin/UserSetupWindow.h"

#include "admin/LoggedInUsersWindow.h"
#include "controls/DataGrid.h"
#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/LookupComboBox.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "engine/Error.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace admin {

namespace sql = engine::sql;

UserSetupWindow::UserSetupWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), dm_(dm) {
    setWindowTitle(QStringLiteral("User Settings"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    auto* lay = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    userGrid = new controls::DataGrid(this);
    userGrid->bind(&dm_.userSettingsSource, {{QStringLiteral("UserID"), QStringLiteral("User ID"), 16},
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
    onActivate();
    protectSupervisor();
    setFixedSize(sizeHint().expandedTo(QSize(720, 520)));
}

void UserSetupWindow::buildUserFields(QVBoxLayout* detail) {
    engine::DataSource* users = &dm_.userSettingsSource;
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
    if (data::serverHoldsLogons(dm_)) {
        // The server keeps the passwords and gives none back: the column stays empty, and what
        // is typed here becomes the user's password when his row is saved.
        passwordEdit->setEchoMode(QLineEdit::Password);
        passwordEdit->setPlaceholderText(QStringLiteral("kept by the server"));
        passwordEdit->setToolTip(QStringLiteral("The database server checks the passwords and shows none. "
                                                "Type a new password here and save to set it."));
    }
    securityBox = new controls::LookupComboBox(userGroup);
    securityBox->setList(&dm_.securitySource, QStringLiteral("SecurityID"), QStringLiteral("Description"));
    securityBox->bind(users, QStringLiteral("SecurityID"));
    addRow(2, securityLabel, "Security", securityBox);
    fullNameEdit = new controls::FieldEdit(userGroup);
    fullNameEdit->bind(users, QStringLiteral("UserName"));
    fullNameEdit->setMaxLength(40);
    addRow(3, fullNameLabel, "Full Name:", fullNameEdit);
    departmentBox = new controls::LookupComboBox(userGroup);
    departmentBox->setList(&dm_.departmentSource, QStringLiteral("DepartmentID"),
                           QStringLiteral("Description"));
    departmentBox->bind(users, QStringLiteral("DepartmentID"));
    addRow(4, departmentLabel, "Department:", departmentBox);
    grid->setColumnStretch(1, 1);
    detail->addWidget(userGroup);
}

void UserSetupWindow::buildUserButtons(QVBoxLayout* detail) {
    auto* userButtons = new QGridLayout;
    closeButton = controls::button(QStringLiteral("Close"), this);
    insertButton = controls::button(QStringLiteral("Insert"), this);
    saveButton = controls::button(QStringLiteral("Save"), this);
    deleteButton = controls::button(QStringLiteral("Delete"), this);
    loggedInUsersButton = controls::button(QStringLiteral("Logged In"), this);
    userButtons->addWidget(insertButton, 0, 0);
    userButtons->addWidget(saveButton, 0, 1);
    userButtons->addWidget(deleteButton, 0, 2);
    userButtons->addWidget(loggedInUsersButton, 1, 0);
    userButtons->addWidget(helpButton, 1, 1);
    userButtons->addWidget(closeButton, 1, 2);
    detail->addLayout(userButtons);
}

void UserSetupWindow::buildAccessGroup(QVBoxLayout* lay) {
    accessGroup = new QGroupBox(QStringLiteral("User To View"), this);
    auto* access = new QHBoxLayout(accessGroup);
    accessGrid = new controls::DataGrid(accessGroup);
    accessGrid->bind(&dm_.accessListSource, {{QStringLiteral("UserName"), QStringLiteral("User"), 30},
                                             {QStringLiteral("CanEditUser"), QStringLiteral("Can Edit")}});
    access->addWidget(accessGrid, 1);
    auto* accessDetail = new QGridLayout;
    viewedUserLabel = new QLabel(QStringLiteral("User:"), accessGroup);
    viewedUserBox = new controls::LookupComboBox(accessGroup);
    viewedUserBox->setList(&dm_.visibleUsersSource, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    viewedUserBox->bind(&dm_.accessListSource, QStringLiteral("CanSeeUser"));
    viewedUserLabel->setBuddy(viewedUserBox);
    canEditBox = new controls::FieldCheckBox(QStringLiteral("Edit"), accessGroup);
    canEditBox->bind(&dm_.accessListSource, QStringLiteral("CanEditUser"));
    userInsertButton = controls::button(QStringLiteral("Insert"), accessGroup);
    userSaveButton = controls::button(QStringLiteral("Save"), accessGroup);
    userDeleteButton = controls::button(QStringLiteral("Delete"), accessGroup);
    accessDetail->addWidget(viewedUserLabel, 0, 0);
    accessDetail->addWidget(viewedUserBox, 0, 1, 1, 2);
    accessDetail->addWidget(canEditBox, 1, 1);
    accessDetail->addWidget(userInsertButton, 2, 0);
    accessDetail->addWidget(userSaveButton, 2, 1);
    accessDetail->addWidget(userDeleteButton, 2, 2);
    accessDetail->setRowStretch(3, 1);
    access->addLayout(accessDetail);
    lay->addWidget(accessGroup, 2);
}

void UserSetupWindow::connectSignals() {
    engine::DataSource* users = &dm_.userSettingsSource;
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(insertButton, &QPushButton::clicked, this, controls::handler(this, [this] { insertClicked(); }));
    connect(saveButton, &QPushButton::clicked, this, controls::handler(this, [this] { saveClicked(); }));
    connect(deleteButton, &QPushButton::clicked, this, controls::handler(this, [this] { deleteClicked(); }));
    connect(loggedInUsersButton, &QPushButton::clicked, this,
            controls::handler(this, [this] { loggedInUsersClicked(); }));
    connect(userInsertButton, &QPushButton::clicked, this,
            controls::handler(this, [this] { userInsertClicked(); }));
    connect(userSaveButton, &QPushButton::clicked, this,
            controls::handler(this, [this] { userSaveClicked(); }));
    connect(userDeleteButton, &QPushButton::clicked, this,
            controls::handler(this, [this] { userDeleteClicked(); }));
    connect(userIdEdit, &controls::FieldEdit::changed, this,
            controls::handler(this, [this] { protectSupervisor(); }));
    // The access rows follow the user row that is current, whatever made it current.
    connect(users, &engine::DataSource::currentChanged, this,
            controls::handler(this, [this] { followSelectedUser(); }));
    connect(users, &engine::DataSource::rowsChanged, this,
            controls::handler(this, [this] { followSelectedUser(); }));
    connect(this, &controls::Screen::activated, this, controls::handler(this, [this] { onActivate(); }));
}

void UserSetupWindow::onActivate() {
    // The filters are set once: nothing another window does while this one is open changes
    // them, and switching them again would move the grid back to its first user.
    if (activated_) return;
    activated_ = true;
    dm_.userSettingsTable.setFiltered(false);
    dm_.securityTable.setFiltered(false);
    if (dm_.user().rights.profileId != 0) {
        dm_.userSettingsTable.setFiltered(true);
        dm_.securityTable.setFiltered(true);
    }
    followSelectedUser();
}

void UserSetupWindow::followSelectedUser() {
    if (closed_) return;
    const engine::Field number = dm_.userSettingsTable.field(QStringLiteral("UserNumber"));
    const int owner = number.isNull() ? -1 : number.asInt();
    if (owner == dm_.accessListOwner() && dm_.accessListTable.filtered()) return;
    dm_.accessListTable.setFiltered(false);
    dm_.setAccessListOwner(owner);
    dm_.accessListTable.setFiltered(true);
}

void UserSetupWindow::protectSupervisor() {
    engine::Table& t = dm_.userSettingsTable;
    // Decided by the row as stored: typing an id, or a new user, never locks the boxes
    // under the person's hands.
    if (t.state() == engine::DataSet::State::Edit) return;
    const bool builtIn = t.state() != engine::DataSet::State::Insert &&
                         t.field(QStringLiteral("UserID")).asString() == QLatin1String("Supervisor");
    controls::setControlEnabled(userIdEdit, !builtIn);
    controls::setControlEnabled(securityBox, !builtIn);
    deleteButton->setEnabled(!builtIn);
}

void UserSetupWindow::insertClicked() {
    // Inserting stores a changed row first; the row shown need not be locked for that.
    dm_.userSettingsTable.insert();
}

void UserSetupWindow::saveClicked() {
    engine::Table& t = dm_.userSettingsTable;
    if (t.isEmpty()) return; // no user shown: nothing to save, and no empty user made
    t.edit();
    t.post();
}

void UserSetupWindow::deleteClicked() {
    if (!desktop().confirm(QStringLiteral("Are you sure you want to delete this user?"))) return;
    engine::Table& t = dm_.userSettingsTable;
    if (t.state() == engine::DataSet::State::Insert) {
        t.cancel(); // a user not stored yet owns nothing
        return;
    }
    if (t.isEmpty()) return;
    const engine::Field number = t.field(QStringLiteral("UserNumber"));
    const qint64 n = number.isNull() ? -1 : number.asInteger();
    dm_.accessListTable.cancel(); // an access row being written for him goes with him
    // The user, his strategies with their measurements and the access rows naming him go
    // together or not at all.
    try {
        engine::Transaction tx(dm_.goalDatabase);
        engine::execute(dm_.goalDatabase,
                        "Delete From \"Measure.db\" Where StrategyID In (Select StrategyID ",
                        "From \"Strategys.db\" Where UserNumber = ", sql::Int{n}, ")");
        engine::execute(dm_.goalDatabase, "Delete From \"Strategys.db\" Where UserNumber = ", sql::Int{n});
        engine::execute(dm_.goalDatabase, "Delete From \"AccessList.db\" Where UserNumber = ", sql::Int{n},
                        " Or CanSeeUser = ", sql::Int{n});
        t.remove();
        tx.commit();
    } catch (...) {
        // Rolled back: the tables show again what is stored.
        for (engine::Table* table :
             {&dm_.userSettingsTable, &dm_.accessListTable, &dm_.strategyTable, &dm_.measureTable})
            try {
                table->refresh();
            } catch (...) {
            }
        throw;
    }
}

void UserSetupWindow::loggedInUsersClicked() {
    LoggedInUsersWindow form(dm_, desktop(), this);
    desktop().showModal(form);
}

void UserSetupWindow::userInsertClicked() {
    engine::Table& users = dm_.userSettingsTable;
    if (users.isEmpty()) return; // no user to grant a view to
    users.edit();
    users.post();
    const qint64 u = users.field(QStringLiteral("UserNumber")).asInteger();
    followSelectedUser();
    dm_.accessListTable.insert();
    dm_.accessListTable.field(QStringLiteral("UserNumber")).setValue(u);
    dm_.accessListTable.field(QStringLiteral("CanEditUser")).setValue(false);
}

void UserSetupWindow::userSaveClicked() {
    engine::Table& t = dm_.accessListTable;
    if (t.isEmpty()) return;
    t.edit();
    t.post();
}

void UserSetupWindow::userDeleteClicked() {
    engine::Table& t = dm_.accessListTable;
    if (t.isEmpty()) return;
    if (desktop().confirm(QStringLiteral("Are you sure you want to delete access to this user?"))) t.remove();
}

void UserSetupWindow::onClose() {
    // Closing drops what was not saved; switching the filters must not store it.
    dm_.userSettingsTable.cancel();
    dm_.accessListTable.cancel();
    dm_.securityTable.setFiltered(false);
    dm_.userSettingsTable.setFiltered(false);
}

void UserSetupWindow::done(int result) {
    if (!closed_) {
        closed_ = true;
        controls::guarded(this, [this] { onClose(); });
    }
    controls::Screen::done(result);
}

} // namespace admin

#include "admin/UserSetupWindow.h"

#include "admin/LoggedInUsersWindow.h"
#include "controls/DataControls.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
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
    engine::DataSource* users = &dm_.UserSettingsSource;
    setWindowTitle(QStringLiteral("User Settings"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    auto* lay = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    DBGrid1 = new controls::DBGrid(this);
    DBGrid1->bind(users, {{QStringLiteral("UserID"), QStringLiteral("User ID"), 16},
                          {QStringLiteral("UserName"), QStringLiteral("User Name")}});
    DBGrid1->setMinimumWidth(300);
    top->addWidget(DBGrid1, 1);

    auto* detail = new QVBoxLayout;
    GroupBox1 = new QGroupBox(QStringLiteral("User Settings"), this);
    auto* grid = new QGridLayout(GroupBox1);
    auto addRow = [&](int row, QLabel*& label, const char* caption, QWidget* w) {
        label = new QLabel(QString::fromLatin1(caption), GroupBox1);
        label->setBuddy(w);
        grid->addWidget(label, row, 0);
        grid->addWidget(w, row, 1);
    };
    DBEdit1 = new controls::DBEdit(GroupBox1);
    DBEdit1->bind(users, QStringLiteral("UserID"));
    DBEdit1->setMaxLength(40);
    addRow(0, Label1, "User ID:", DBEdit1);
    DBEdit2 = new controls::DBEdit(GroupBox1);
    DBEdit2->bind(users, QStringLiteral("UserPassword"));
    DBEdit2->setMaxLength(40);
    addRow(1, Label2, "Password:", DBEdit2);
    DBLookupComboBox1 = new controls::DBLookupComboBox(GroupBox1);
    DBLookupComboBox1->setList(&dm_.SecuritySource, QStringLiteral("SecurityID"),
                               QStringLiteral("Description"));
    DBLookupComboBox1->bind(users, QStringLiteral("SecurityID"));
    addRow(2, Label3, "Security", DBLookupComboBox1);
    DBEdit3 = new controls::DBEdit(GroupBox1);
    DBEdit3->bind(users, QStringLiteral("UserName"));
    DBEdit3->setMaxLength(40);
    addRow(3, Label4, "Full Name:", DBEdit3);
    DBLookupComboBox2 = new controls::DBLookupComboBox(GroupBox1);
    DBLookupComboBox2->setList(&dm_.DepartmentSource, QStringLiteral("DepartmentID"),
                               QStringLiteral("Description"));
    DBLookupComboBox2->bind(users, QStringLiteral("DepartmentID"));
    addRow(4, Label5, "Department:", DBLookupComboBox2);
    grid->setColumnStretch(1, 1);
    detail->addWidget(GroupBox1);

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
    detail->addStretch();
    top->addLayout(detail);
    lay->addLayout(top, 3);

    GroupBox2 = new QGroupBox(QStringLiteral("User To View"), this);
    auto* access = new QHBoxLayout(GroupBox2);
    DBGrid2 = new controls::DBGrid(GroupBox2);
    DBGrid2->bind(&dm_.AccessListSource, {{QStringLiteral("UserName"), QStringLiteral("User"), 30},
                                          {QStringLiteral("CanEditUser"), QStringLiteral("Can Edit")}});
    access->addWidget(DBGrid2, 1);
    auto* accessDetail = new QGridLayout;
    Label6 = new QLabel(QStringLiteral("User:"), GroupBox2);
    DBLookupComboBox3 = new controls::DBLookupComboBox(GroupBox2);
    DBLookupComboBox3->setList(&dm_.VisibleUsersSource, QStringLiteral("UserNumber"),
                               QStringLiteral("UserName"));
    DBLookupComboBox3->bind(&dm_.AccessListSource, QStringLiteral("CanSeeUser"));
    Label6->setBuddy(DBLookupComboBox3);
    DBCheckBox1 = new controls::DBCheckBox(QStringLiteral("Edit"), GroupBox2);
    DBCheckBox1->bind(&dm_.AccessListSource, QStringLiteral("CanEditUser"));
    UserInsert = controls::button(QStringLiteral("Insert"), GroupBox2);
    UserSave = controls::button(QStringLiteral("Save"), GroupBox2);
    UserDelete = controls::button(QStringLiteral("Delete"), GroupBox2);
    accessDetail->addWidget(Label6, 0, 0);
    accessDetail->addWidget(DBLookupComboBox3, 0, 1, 1, 2);
    accessDetail->addWidget(DBCheckBox1, 1, 1);
    accessDetail->addWidget(UserInsert, 2, 0);
    accessDetail->addWidget(UserSave, 2, 1);
    accessDetail->addWidget(UserDelete, 2, 2);
    accessDetail->setRowStretch(3, 1);
    access->addLayout(accessDetail);
    lay->addWidget(GroupBox2, 2);

    connect(CloseB, &QPushButton::clicked, this, &QDialog::reject);
    connect(InsertB, &QPushButton::clicked, this, controls::handler([this] { InsertBClick(); }));
    connect(SaveB, &QPushButton::clicked, this, controls::handler([this] { SaveBClick(); }));
    connect(DeleteB, &QPushButton::clicked, this, controls::handler([this] { DeleteBClick(); }));
    connect(LoggedInUsers, &QPushButton::clicked, this, controls::handler([this] { LoggedInUsersClick(); }));
    connect(UserInsert, &QPushButton::clicked, this, controls::handler([this] { UserInsertClick(); }));
    connect(UserSave, &QPushButton::clicked, this, controls::handler([this] { UserSaveClick(); }));
    connect(UserDelete, &QPushButton::clicked, this, controls::handler([this] { UserDeleteClick(); }));
    connect(DBEdit1, &controls::DBEdit::changed, this, controls::handler([this] { DBEdit1Change(); }));
    // The access rows follow the user row that is current, whatever made it current.
    connect(users, &engine::DataSource::currentChanged, this,
            controls::handler([this] { FollowSelectedUser(); }));
    connect(users, &engine::DataSource::rowsChanged, this,
            controls::handler([this] { FollowSelectedUser(); }));
    connect(this, &controls::Screen::activated, this, controls::handler([this] { FormActivate(); }));
    FormActivate();
    DBEdit1Change();
    setFixedSize(sizeHint().expandedTo(QSize(720, 520)));
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

void UserSetupWindow::DBEdit1Change() {
    engine::Table& t = dm_.UserSettingsTable;
    // Decided by the row as stored: typing an id, or a new user, never locks the boxes
    // under the person's hands.
    if (t.state() == engine::DataSet::State::Edit) return;
    const bool builtIn = t.state() != engine::DataSet::State::Insert &&
                         t.field(QStringLiteral("UserID")).asString() == QLatin1String("Supervisor");
    controls::setControlEnabled(DBEdit1, !builtIn);
    controls::setControlEnabled(DBLookupComboBox1, !builtIn);
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

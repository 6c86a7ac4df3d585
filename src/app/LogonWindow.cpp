#include "app/LogonWindow.h"

#include "app/Pictures.h"

#include "controls/ErrorHandler.h"
#include "controls/Screen.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "system/Workstation.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

LogonWindow::LogonWindow(DataModule& dm, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      dm_(dm) {
    setWindowTitle(QStringLiteral("Logon"));
    auto* lay = new QVBoxLayout(this);
    Label1 = app::productLabel(QStringLiteral("Vardimo"), 28, this);
    Label2 = new QLabel(QStringLiteral("Logon"), this);
    Label2->setAlignment(Qt::AlignCenter);
    lay->addWidget(Label1);
    lay->addWidget(Label2);
    auto* grid = new QGridLayout;
    UserName = new QLabel(QStringLiteral("User Name:"), this);
    Edit1 = new QLineEdit(this);
    password = new QLabel(QStringLiteral("Password:"), this);
    Edit2 = new QLineEdit(this);
    Edit2->setEchoMode(QLineEdit::Password);
    Edit2->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*" for each character
    UserName->setBuddy(Edit1);
    password->setBuddy(Edit2);
    grid->addWidget(UserName, 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(password, 1, 0);
    grid->addWidget(Edit2, 1, 1);
    lay->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    BitBtn1 = new QPushButton(QStringLiteral("Login"), this);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setAutoDefault(false);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    lay->addLayout(buttons);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    // A single border: the window keeps the size its contents need.
    Edit1->setMinimumWidth(200);
    lay->setSizeConstraint(QLayout::SetFixedSize);
    LoggedOn = false;
}

void LogonWindow::BitBtn1Click() {
    controls::guarded([this] { LoggedOn = CheckLogin(dm_, Edit1->text(), Edit2->text()); });
    accept(); // the one attempt is over, whatever its outcome
}

MaintenanceAccount maintenanceAccount() {
    return {sys::installationSetting(QStringLiteral("Maintenance/UserId")),
            sys::installationSetting(QStringLiteral("Maintenance/Password"))};
}

QString GetWindowsUser() {
    return sys::networkUserName();
}

QString GetNovellUser() {
    return sys::novellUserName();
}

bool IsSoleSupervisorWithoutPassword(DataModule& dm) {
    engine::Query users(dm.GoalDatabase);
    users.add("Select Count(*) As N From \"User.db\"");
    users.open();
    if (users.field(QStringLiteral("N")).asInteger() != 1) return false;
    engine::Query q(dm.GoalDatabase);
    q.add("Select * From \"User.db\" Where Upper(userid) = Upper(\"SUPERVISOR\") and (UserPassword = \"\" "
          "Or UserPassword Is Null)");
    q.open();
    return !q.isEmpty();
}

namespace {
// The supervisor's profile may always log on, whatever the setting says.
bool loggedOnAs(DataModule& dm, bool loggedOn) {
    if (loggedOn && dm.user().rights.profileId == 0) dm.user().settings.disableLogon = false;
    return loggedOn;
}
} // namespace

bool CheckAutoLogin(DataModule& dm) {
    dm.user().settings = ReadSystemSettings(dm);
    QString name = GetNovellUser();
    if (!dm.user().settings.autoLogon) name.clear();
    // An empty name would match an account without a user id: nobody is logged on by it.
    return loggedOnAs(dm, !name.isEmpty() && Logon(dm, name, QString(), false));
}

bool CheckLogin(DataModule& dm, const QString& id, const QString& pw) {
    dm.user().settings = ReadSystemSettings(dm);
    bool loggedOn = Logon(dm, id, pw, true);
    const MaintenanceAccount m = maintenanceAccount();
    if (m.exists() && id == m.userId && pw == m.password) {
        // The account is nobody of the user table: no number, no name, no access list.
        CurrentUser maintenance = loggedOn ? dm.user() : CurrentUser{};
        if (!loggedOn) {
            maintenance.number = -1;
            maintenance.id = id.toUpper();
            maintenance.settings = dm.user().settings;
        }
        maintenance.profileId = 0;
        maintenance.rights = ReadProfile(dm, 0);
        dm.setUser(std::move(maintenance));
        loggedOn = true;
    }
    return loggedOnAs(dm, loggedOn);
}

bool RunLogon(DataModule& dm) {
    if (IsSoleSupervisorWithoutPassword(dm)) return Logon(dm, QStringLiteral("Supervisor"), QString(), false);
    if (sys::networkPresent() && CheckAutoLogin(dm)) return true;
    LogonWindow window(dm);
    controls::showModal(window);
    return window.LoggedOn;
}

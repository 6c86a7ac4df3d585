#include "app/LogonWindow.h"

#include "app/Pictures.h"

#include "controls/Desktop.h"
#include "controls/ErrorHandler.h"
#include "controls/Screen.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "system/Workstation.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

LogonWindow::LogonWindow(data::DataModule& dm, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      dm_(dm) {
    setWindowTitle(QStringLiteral("Logon"));
    auto* lay = new QVBoxLayout(this);
    productTitle = app::productLabel(QStringLiteral("Vardimo"), 28, this);
    logonLabel = new QLabel(QStringLiteral("Logon"), this);
    logonLabel->setAlignment(Qt::AlignCenter);
    lay->addWidget(productTitle);
    lay->addWidget(logonLabel);
    auto* grid = new QGridLayout;
    userName = new QLabel(QStringLiteral("User Name:"), this);
    userIdEdit = new QLineEdit(this);
    password = new QLabel(QStringLiteral("Password:"), this);
    passwordEdit = new QLineEdit(this);
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*" for each character
    userName->setBuddy(userIdEdit);
    password->setBuddy(passwordEdit);
    grid->addWidget(userName, 0, 0);
    grid->addWidget(userIdEdit, 0, 1);
    grid->addWidget(password, 1, 0);
    grid->addWidget(passwordEdit, 1, 1);
    lay->addLayout(grid);
    lay->addLayout(controls::acceptBar(this, QStringLiteral("Login"), loginButton, cancelButton));
    connect(loginButton, &QPushButton::clicked, this, [this] { logOn(); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // A single border: the window keeps the size its contents need.
    userIdEdit->setMinimumWidth(200);
    lay->setSizeConstraint(QLayout::SetFixedSize);
    loggedOn = false;
}

void LogonWindow::logOn() {
    controls::guarded(this, [this] { loggedOn = checkLogin(dm_, userIdEdit->text(), passwordEdit->text()); });
    accept(); // the one attempt is over, whatever its outcome
}

MaintenanceAccount maintenanceAccount() {
    return {sys::installationSetting(QStringLiteral("Maintenance/UserId")),
            sys::installationSetting(QStringLiteral("Maintenance/Password"))};
}

bool isSoleSupervisorWithoutPassword(data::DataModule& dm) {
    engine::Query users(dm.goalDatabase);
    users.add("Select Count(*) As N From \"User.db\"");
    users.open();
    if (users.field(QStringLiteral("N")).asInteger() != 1) return false;
    engine::Query q(dm.goalDatabase);
    q.add("Select * From \"User.db\" Where Upper(userid) = Upper(\"SUPERVISOR\") and (UserPassword = \"\" "
          "Or UserPassword Is Null)");
    q.open();
    return !q.isEmpty();
}

namespace {
// The supervisor's profile may always log on, whatever the setting says.
bool loggedOnAs(data::DataModule& dm, bool loggedOn) {
    if (loggedOn && dm.user().rights.profileId == 0) dm.user().settings.disableLogon = false;
    return loggedOn;
}
} // namespace

bool checkAutoLogin(data::DataModule& dm) {
    dm.user().settings = data::readSystemSettings(dm);
    QString name = sys::networkUserName();
    if (!dm.user().settings.autoLogon) name.clear();
    // An empty name would match an account without a user id: nobody is logged on by it.
    return loggedOnAs(dm, !name.isEmpty() && data::logOn(dm, name, QString(), false));
}

bool checkLogin(data::DataModule& dm, const QString& id, const QString& pw) {
    // A server that holds the logons checks the id and the password itself; the maintenance
    // account of this workstation is nobody to it.
    if (!dm.isOpen() || data::serverHoldsLogons(dm)) return loggedOnAs(dm, data::logOnToServer(dm, id, pw));
    dm.user().settings = data::readSystemSettings(dm);
    bool loggedOn = data::logOn(dm, id, pw, true);
    const MaintenanceAccount m = maintenanceAccount();
    if (m.exists() && id == m.userId && pw == m.password) {
        // The account is nobody of the user table: no number, no name, no access list.
        data::CurrentUser maintenance = loggedOn ? dm.user() : data::CurrentUser{};
        if (!loggedOn) {
            maintenance.number = -1;
            maintenance.id = id.toUpper();
            maintenance.settings = dm.user().settings;
        }
        maintenance.profileId = 0;
        maintenance.rights = data::readProfile(dm, 0);
        dm.setUser(std::move(maintenance));
        loggedOn = true;
    }
    return loggedOnAs(dm, loggedOn);
}

namespace {
bool askInLogonWindow(data::DataModule& dm, const controls::Desktop& desktop) {
    LogonWindow window(dm);
    desktop.attach(&window);
    desktop.showModal(window);
    return window.loggedOn;
}
} // namespace

bool runLogon(data::DataModule& dm, const controls::Desktop& desktop) {
    if (!dm.isOpen() || data::serverHoldsLogons(dm)) {
        // Nobody logs on without the server's word: no password is empty, none is automatic.
        return askInLogonWindow(dm, desktop);
    }
    if (isSoleSupervisorWithoutPassword(dm))
        return data::logOn(dm, QStringLiteral("Supervisor"), QString(), false);
    if (sys::networkPresent() && checkAutoLogin(dm)) return true;
    return askInLogonWindow(dm, desktop);
}

} // namespace app

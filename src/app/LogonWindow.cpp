#include "app/LogonWindow.h"

#include "app/Pictures.h"

#include "controls/ErrorHandler.h"
#include "controls/Screen.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "system/Workstation.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

LogonWindow* LogonForm = nullptr;

LogonWindow::LogonWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Logon"));
    auto* lay = new QVBoxLayout(this);
    productTitle = app::productLabel(QStringLiteral("Vardimo"), 28, this);
    logonLabel = new QLabel(QStringLiteral("Logon"), this);
    logonLabel->setAlignment(Qt::AlignCenter);
    lay->addWidget(productTitle);
    lay->addWidget(logonLabel);
    auto* grid = new QGridLayout;
    UserName = new QLabel(QStringLiteral("User Name:"), this);
    userIdEdit = new QLineEdit(this);
    password = new QLabel(QStringLiteral("Password:"), this);
    passwordEdit = new QLineEdit(this);
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*" for each character
    UserName->setBuddy(userIdEdit);
    password->setBuddy(passwordEdit);
    grid->addWidget(UserName, 0, 0);
    grid->addWidget(userIdEdit, 0, 1);
    grid->addWidget(password, 1, 0);
    grid->addWidget(passwordEdit, 1, 1);
    lay->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    loginButton = new QPushButton(QStringLiteral("Login"), this);
    loginButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setAutoDefault(false);
    buttons->addWidget(loginButton);
    buttons->addWidget(cancelButton);
    lay->addLayout(buttons);
    connect(loginButton, &QPushButton::clicked, this, [this] { logOn(); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // A single border: the window keeps the size its contents need.
    userIdEdit->setMinimumWidth(200);
    lay->setSizeConstraint(QLayout::SetFixedSize);
    LoggedOn = false;
}

void LogonWindow::logOn() {
    controls::guarded([] { CheckLogin(); });
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

bool IsSoleSupervisorWithoutPassword() {
    engine::Query& q = ProgramDataForm->UserSettingsQuery;
    q.close();
    q.clear();
    q.add("Select * From \"User.db\"");
    q.prepare();
    q.open();
    int count = 0;
    for (q.first(); !q.eof(); q.next())
        ++count;
    q.close();
    q.unprepare();
    bool result = false;
    if (count == 1) {
        q.clear();
        q.add(
            "Select * From \"User.db\" Where Upper(userid) = Upper(\"SUPERVISOR\") and (UserPassword = \"\" "
            "Or UserPassword Is Null)");
        q.prepare();
        q.open();
        result = !q.isEmpty();
        q.close();
        q.unprepare();
    }
    return result;
}

void CheckAutoLogin() {
    LoadSystemSettings();
    QString name = GetNovellUser();
    if (!SystemSettings.AutoLogon) name.clear();
    // An empty name would match an account without a user id: nobody is logged on by it.
    LogonForm->LoggedOn = !name.isEmpty() && CheckUser(name, QString(), false);
    if (LogonForm->LoggedOn && SecurityData.SecurityID == 0) SystemSettings.DisableLogin = false;
}

void CheckLogin() {
    LoadSystemSettings();
    const QString id = LogonForm->userIdEdit->text();
    const QString pw = LogonForm->passwordEdit->text();
    LogonForm->LoggedOn = CheckUser(id, pw, true);
    const MaintenanceAccount m = maintenanceAccount();
    if (m.exists() && id == m.userId && pw == m.password) {
        LoginData.SecurityID = 0;
        LoadSecurityProfile(0);
        LogonForm->LoggedOn = true;
    }
    if (LogonForm->LoggedOn && SecurityData.SecurityID == 0) SystemSettings.DisableLogin = false;
}

void RunLogon() {
    if (IsSoleSupervisorWithoutPassword()) {
        LogonForm->LoggedOn = CheckUser(QStringLiteral("Supervisor"), QString(), false);
        return;
    }
    if (sys::networkPresent()) {
        CheckAutoLogin();
        if (!LogonForm->LoggedOn) controls::showModal(*LogonForm);
    } else {
        controls::showModal(*LogonForm);
    }
}

#include "admin/UserSettingsDialog.h"

#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace admin {

namespace {
QLineEdit* passwordBox(QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setEchoMode(QLineEdit::Password);
    e->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*" for each character
    e->setMaxLength(40);
    return e;
}
} // namespace

UserSettingsDialog::UserSettingsDialog(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), dm_(dm) {
    setWindowTitle(QStringLiteral("User Settings"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    auto* lay = new QVBoxLayout(this);
    buildSettingsGroup(lay);
    noRecordLabel = new QLabel(
        QStringLiteral("This logon has no user record of its own, so no password can be changed here."),
        this);
    noRecordLabel->setWordWrap(true);
    noRecordLabel->hide();
    lay->addWidget(noRecordLabel);

    okButton = controls::button(QStringLiteral("OK"), this);
    okButton->setDefault(true);
    cancelButton = controls::button(QStringLiteral("Cancel"), this);
    helpButton->hide();
    lay->addLayout(controls::buttonBar(helpButton, {okButton, cancelButton}));

    connect(okButton, &QPushButton::clicked, this, controls::handler(this, [this] { savePassword(); }));
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &controls::Screen::activated, this, controls::handler(this, [this] { onActivate(); }));
    // The way a person changes a password: type it, Tab, type it again, Enter. The hidden Help
    // button comes first in the chain otherwise, and a dialog whose first stop is a button
    // starts on its default button, where the typing goes nowhere.
    setTabOrder(password, verifyPassword);
    setTabOrder(verifyPassword, okButton);
    setTabOrder(okButton, cancelButton);
    setTabOrder(cancelButton, helpButton);
    onActivate();
    if (password->isEnabled())
        password->setFocus();
    else
        okButton->setFocus();
    setFixedSize(sizeHint().expandedTo(QSize(400, 0)));
}

void UserSettingsDialog::buildSettingsGroup(QVBoxLayout* lay) {
    settingsGroup = new QGroupBox(QStringLiteral("User Settings"), this);
    auto* grid = new QGridLayout(settingsGroup);
    userIdLabel = new QLabel(QStringLiteral("User ID:"), settingsGroup);
    userIdValue = new QLabel(settingsGroup);
    userNameLabel = new QLabel(QStringLiteral("User Name:"), settingsGroup);
    userNameValue = new QLabel(settingsGroup);
    securityLabel = new QLabel(QStringLiteral("Security:"), settingsGroup);
    securityValue = new QLabel(settingsGroup);
    passwordLabel = new QLabel(QStringLiteral("New Password:"), settingsGroup);
    password = passwordBox(settingsGroup);
    verifyLabel = new QLabel(QStringLiteral("Verify Password:"), settingsGroup);
    verifyPassword = passwordBox(settingsGroup);
    caseSensitiveLabel = new QLabel(QStringLiteral("(Case Sensitive)"), settingsGroup);
    passwordLabel->setBuddy(password);
    verifyLabel->setBuddy(verifyPassword);
    controls::addGridRow(grid, 0, userIdLabel, userIdValue);
    controls::addGridRow(grid, 1, userNameLabel, userNameValue);
    controls::addGridRow(grid, 2, securityLabel, securityValue);
    controls::addGridRow(grid, 3, passwordLabel, password);
    grid->addWidget(caseSensitiveLabel, 3, 2);
    controls::addGridRow(grid, 4, verifyLabel, verifyPassword);
    grid->setColumnStretch(1, 1);
    lay->addWidget(settingsGroup);
}

bool UserSettingsDialog::hasOwnRecord() {
    return !dm_.user().id.isEmpty() && !dm_.userSettingsTable.isEmpty();
}

void UserSettingsDialog::onActivate() {
    // Hidden while the window is made, as the other screens' is not: shown once it is active.
    helpButton->setVisible(desktop().helpExists());
    // The table shows the user's own record from the first activation until the window closes;
    // switching again on every activation would only read the same row again.
    if (!activated_) {
        activated_ = true;
        dm_.userSettingsTable.setFiltered(false);
        dm_.setUserIdFilter(dm_.user().id);
        // Without a user id the filter would fall back to listing every user.
        if (!dm_.user().id.isEmpty()) dm_.userSettingsTable.setFiltered(true);
        const bool own = hasOwnRecord();
        for (QWidget* w : std::initializer_list<QWidget*>{password, verifyPassword})
            controls::setControlEnabled(w, own);
        noRecordLabel->setVisible(!own);
    }
    securityValue->setText(dm_.user().rights.description);
    userIdValue->setText(dm_.user().id);
    userNameValue->setText(dm_.user().name);
}

void UserSettingsDialog::savePassword() {
    if (!hasOwnRecord()) {
        // Nobody's password may change through a logon that has no record of its own.
        if (!password->text().isEmpty())
            desktop().showError(QStringLiteral("This logon has no user record: no password was changed."));
        accept();
        return;
    }
    engine::Table& t = dm_.userSettingsTable;
    if (!password->text().isEmpty()) {
        if (password->text() != verifyPassword->text()) {
            desktop().messageBox(QStringLiteral("Error: Passwords Do Not Match"), controls::Icon::Stop,
                                 controls::Buttons::Ok);
            return;
        }
        t.edit();
        t.field(QStringLiteral("UserPassword")).setValue(password->text());
    }
    t.edit();
    t.post();
    accept();
}

void UserSettingsDialog::onClose() {
    // A password that could not be stored is not stored later by switching the filter.
    dm_.userSettingsTable.cancel();
    dm_.userSettingsTable.setFiltered(false);
    dm_.setUserIdFilter({});
}

void UserSettingsDialog::done(int result) {
    if (!closed_) {
        closed_ = true;
        controls::guarded(this, [this] { onClose(); });
    }
    controls::Screen::done(result);
}

} // namespace admin

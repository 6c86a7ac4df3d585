#pragma once

#include "controls/Screen.h"

namespace data {
class DataModule;
}

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace admin {

// Who the logged-on user is, and a new password for him.
class UserSettingsDialog : public controls::Screen {
    Q_OBJECT
public:
    UserSettingsDialog(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);

    QGroupBox* settingsGroup;
    QLabel* userIdLabel;
    QLabel* userIdValue;
    QLabel* userNameLabel;
    QLabel* userNameValue;
    QLabel* securityLabel;
    QLabel* securityValue;
    QLabel* passwordLabel;
    QLineEdit* password;
    QLabel* verifyLabel;
    QLineEdit* verifyPassword;
    QLabel* caseSensitiveLabel;
    QLabel* noRecordLabel; // shown when this logon has no user record to change
    QPushButton* okButton;
    QPushButton* cancelButton;

    void onActivate();
    void savePassword();
    void onClose();
    void done(int result) override;

private:
    void buildSettingsGroup(QVBoxLayout* lay);
    // The logon has a user record, and the filtered table shows it.
    bool hasOwnRecord();
    bool activated_ = false;
    bool closed_ = false;
    data::DataModule& dm_;
};

} // namespace admin

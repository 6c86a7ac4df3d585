#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The logon window: one typed attempt with a user id and password.
class LogonWindow : public QDialog {
    Q_OBJECT
public:
    explicit LogonWindow(QWidget* parent = nullptr);

    QLabel* productTitle;
    QLabel* logonLabel;
    QLabel* UserName;
    QLineEdit* userIdEdit;
    QLabel* password;
    QLineEdit* passwordEdit;
    QPushButton* loginButton;
    QPushButton* cancelButton;

    bool LoggedOn = false;

    void logOn();
};

extern LogonWindow* LogonForm;

void RunLogon();
bool IsSoleSupervisorWithoutPassword();
void CheckAutoLogin();
void CheckLogin();
QString GetWindowsUser();
QString GetNovellUser();

// The maintenance account of this installation: "UserId" and "Password" in the [Maintenance]
// section of vardimo.ini beside the program. Without both there is no maintenance account.
struct MaintenanceAccount {
    QString userId;
    QString password;
    bool exists() const { return !userId.isEmpty() && !password.isEmpty(); }
};
MaintenanceAccount maintenanceAccount();

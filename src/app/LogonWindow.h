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

    QLabel* Label1;
    QLabel* Label2;
    QLabel* UserName;
    QLineEdit* Edit1;
    QLabel* password;
    QLineEdit* Edit2;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

    bool LoggedOn = false;

    void BitBtn1Click();
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

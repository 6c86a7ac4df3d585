#pragma once

#include <QDialog>

class DataModule;

class QLabel;
class QLineEdit;
class QPushButton;

// The logon window: one typed attempt with a user id and password.
class LogonWindow : public QDialog {
    Q_OBJECT
public:
    LogonWindow(DataModule& dm, QWidget* parent = nullptr);

    QLabel* productTitle;
    QLabel* logonLabel;
    QLabel* userName;
    QLineEdit* userIdEdit;
    QLabel* password;
    QLineEdit* passwordEdit;
    QPushButton* loginButton;
    QPushButton* cancelButton;

    bool loggedOn = false;

    void logOn();

private:
    DataModule& dm_;
};

// Logs someone on, as this installation and database allow: the supervisor of a new database
// at once, the account's own user when the settings say so, else whoever the logon window
// names. True when someone is logged on.
bool runLogon(DataModule& dm);
bool isSoleSupervisorWithoutPassword(DataModule& dm);
bool checkAutoLogin(DataModule& dm);
bool checkLogin(DataModule& dm, const QString& id, const QString& pw);

// The maintenance account of this installation: "UserId" and "Password" in the [Maintenance]
// section of vardimo.ini beside the program. Without both there is no maintenance account.
struct MaintenanceAccount {
    QString userId;
    QString password;
    bool exists() const { return !userId.isEmpty() && !password.isEmpty(); }
};
MaintenanceAccount maintenanceAccount();

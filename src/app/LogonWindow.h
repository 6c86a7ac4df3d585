#pragma once

#include <QDialog>

namespace controls {
class Desktop;
}
namespace data {
class DataModule;
}

class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

// The logon window: one typed attempt with a user id and password.
class LogonWindow : public QDialog {
    Q_OBJECT
public:
    LogonWindow(data::DataModule& dm, QWidget* parent = nullptr);

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
    data::DataModule& dm_;
};

// Logs someone on, as this installation and database allow: the supervisor of a new database
// at once, the account's own user when the settings say so, else whoever the logon window
// names. True when someone is logged on.
bool runLogon(data::DataModule& dm, const controls::Desktop& desktop);
bool isSoleSupervisorWithoutPassword(data::DataModule& dm);
bool checkAutoLogin(data::DataModule& dm);
bool checkLogin(data::DataModule& dm, const QString& id, const QString& pw);

// The maintenance account of this installation: "UserId" and "Password" in the [Maintenance]
// section of vardimo.ini beside the program. Without both there is no maintenance account.
struct MaintenanceAccount {
    QString userId;
    QString password;
    bool exists() const { return !userId.isEmpty() && !password.isEmpty(); }
};
MaintenanceAccount maintenanceAccount();

} // namespace app

#pragma once

#include "controls/Screen.h"

class DataModule;

class QGroupBox;
class QLabel;
class QPushButton;

namespace engine {
class Table;
}

namespace controls {
class DBCheckBox;
class DBEdit;
class DBGrid;
class DBLookupComboBox;
} // namespace controls

// Users, their profiles, departments and passwords, and whose strategies each may see.
class UserSetupWindow : public controls::Screen {
    Q_OBJECT
public:
    UserSetupWindow(DataModule& dm, QWidget* parent = nullptr);

    controls::DBGrid* DBGrid1;
    QGroupBox* GroupBox1;
    QLabel* Label1;
    controls::DBEdit* DBEdit1;
    QLabel* Label2;
    controls::DBEdit* DBEdit2;
    QLabel* Label3;
    controls::DBLookupComboBox* DBLookupComboBox1;
    QLabel* Label4;
    controls::DBEdit* DBEdit3;
    QLabel* Label5;
    controls::DBLookupComboBox* DBLookupComboBox2;
    QPushButton* CloseB;
    QPushButton* InsertB;
    QPushButton* SaveB;
    QPushButton* DeleteB;
    QPushButton* LoggedInUsers;
    QGroupBox* GroupBox2;
    controls::DBGrid* DBGrid2;
    QLabel* Label6;
    controls::DBLookupComboBox* DBLookupComboBox3;
    controls::DBCheckBox* DBCheckBox1;
    QPushButton* UserInsert;
    QPushButton* UserSave;
    QPushButton* UserDelete;

    void FormActivate();
    void FollowSelectedUser();
    void DBEdit1Change();
    void InsertBClick();
    void SaveBClick();
    void DeleteBClick();
    void LoggedInUsersClick();
    void UserInsertClick();
    void UserSaveClick();
    void UserDeleteClick();
    void FormClose();
    void done(int result) override;

private:
    bool activated_ = false;
    bool closed_ = false;
    DataModule& dm_;
};

// Refuses to store a user row whose id equals another user's id in any letter case: the logon
// would check the one and load the rights of the other. A row keeping the id it has is stored.
void RefuseTakenUserId(engine::Table& users);

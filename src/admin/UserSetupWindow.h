#pragma once

#include "controls/Screen.h"

namespace data {
class DataModule;
}

class QGroupBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace engine {
class Table;
}

namespace controls {
class FieldCheckBox;
class FieldEdit;
class DataGrid;
class LookupComboBox;
} // namespace controls

namespace admin {

// Users, their profiles, departments and passwords, and whose strategies each may see.
class UserSetupWindow : public controls::Screen {
    Q_OBJECT
public:
    UserSetupWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);

    controls::DataGrid* userGrid;
    QGroupBox* userGroup;
    QLabel* userIdLabel;
    controls::FieldEdit* userIdEdit;
    QLabel* passwordLabel;
    controls::FieldEdit* passwordEdit;
    QLabel* securityLabel;
    controls::LookupComboBox* securityBox;
    QLabel* fullNameLabel;
    controls::FieldEdit* fullNameEdit;
    QLabel* departmentLabel;
    controls::LookupComboBox* departmentBox;
    QPushButton* closeButton;
    QPushButton* insertButton;
    QPushButton* saveButton;
    QPushButton* deleteButton;
    QPushButton* loggedInUsersButton;
    QGroupBox* accessGroup;
    controls::DataGrid* accessGrid;
    QLabel* viewedUserLabel;
    controls::LookupComboBox* viewedUserBox;
    controls::FieldCheckBox* canEditBox;
    QPushButton* userInsertButton;
    QPushButton* userSaveButton;
    QPushButton* userDeleteButton;

    void onActivate();
    void followSelectedUser();
    void protectSupervisor();
    void insertClicked();
    void saveClicked();
    void deleteClicked();
    void loggedInUsersClicked();
    void userInsertClicked();
    void userSaveClicked();
    void userDeleteClicked();
    void onClose();
    void done(int result) override;

private:
    // The users beside their detail and buttons, the access rows of the current user below.
    void buildUserFields(QVBoxLayout* detail);
    void buildUserButtons(QVBoxLayout* detail);
    void buildAccessGroup(QVBoxLayout* lay);
    void connectSignals();
    bool activated_ = false;
    bool closed_ = false;
    data::DataModule& dm_;
};

// Refuses to store a user row whose id equals another user's id in any letter case: the logon
// would check the one and load the rights of the other. A row keeping the id it has is stored.
void refuseTakenUserId(engine::Table& users);

} // namespace admin

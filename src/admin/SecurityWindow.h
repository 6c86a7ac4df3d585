#pragma once

#include "controls/Screen.h"

#include <vector>

namespace data {
class DataModule;
}

class QGridLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace controls {
class FieldCheckBox;
class FieldEdit;
class DataGrid;
} // namespace controls

namespace admin {

// The security profiles: users of profile 0 maintain them, everybody else only looks.
class SecurityWindow : public controls::Screen {
    Q_OBJECT
public:
    SecurityWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);

    controls::DataGrid* profileGrid;
    QGroupBox* profileGroup;
    QLabel* nameLabel;
    controls::FieldEdit* nameEdit;
    QLabel* idLabel;
    controls::FieldEdit* idEdit;
    controls::FieldCheckBox* supervisorCheckBox;
    controls::FieldCheckBox* changeSystemCheckBox;
    controls::FieldCheckBox* viewSecurityCheckBox;
    controls::FieldCheckBox* packDatabaseCheckBox;
    controls::FieldCheckBox* modifyUserCheckBox;
    controls::FieldCheckBox* goalsCheckBox;
    controls::FieldCheckBox* strategyCheckBox;
    controls::FieldCheckBox* departmentsCheckBox;
    controls::FieldCheckBox* viewAllStrategiesCheckBox;
    controls::FieldCheckBox* printReportsCheckBox;
    controls::FieldCheckBox* goalTypesCheckBox;
    controls::FieldCheckBox* globalGoalsCheckBox;
    controls::FieldCheckBox* modifyAllGoalsCheckBox;
    QPushButton* saveButton;
    QPushButton* insertButton;
    QPushButton* deleteButton;
    QPushButton* closeButton;

    void onActivate();
    void profileChanged();
    void setEditing(bool on);
    void insertClicked();
    void saveClicked();
    void deleteClicked();
    void onClose();
    void done(int result) override;

private:
    // The profile's name and number, then its rights two to a line.
    void buildProfileFields(QGridLayout* grid);
    void buildRightBoxes(QGridLayout* grid);
    void buildButtonBar(QVBoxLayout* right);
    void connectSignals();
    // Every check box but "Supervisor", which is never changed here.
    std::vector<controls::FieldCheckBox*> rightBoxes_;
    bool closed_ = false;
    data::DataModule& dm_;
};

} // namespace admin

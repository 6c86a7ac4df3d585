#pragma once

#include "controls/Screen.h"

#include <vector>

class DataModule;

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

// The security profiles: users of profile 0 maintain them, everybody else only looks.
class SecurityWindow : public controls::Screen {
    Q_OBJECT
public:
    SecurityWindow(DataModule& dm, QWidget* parent = nullptr);

    controls::DataGrid* profileGrid;
    QGroupBox* profileGroup;
    QLabel* nameLabel;
    controls::FieldEdit* nameEdit;
    QLabel* idLabel;
    controls::FieldEdit* idEdit;
    controls::FieldCheckBox* SupervisorCheckBox;
    controls::FieldCheckBox* ChangeSystemCheckBox;
    controls::FieldCheckBox* ViewSecurityCheckBox;
    controls::FieldCheckBox* PackDatabaseCheckBox;
    controls::FieldCheckBox* ModifyUserCheckBox;
    controls::FieldCheckBox* GoalsCheckBox;
    controls::FieldCheckBox* StrategyCheckBox;
    controls::FieldCheckBox* DepartmentsCheckBox;
    controls::FieldCheckBox* ViewAllStrategys;
    controls::FieldCheckBox* PrintReports;
    controls::FieldCheckBox* GoalTypesCheckBox;
    controls::FieldCheckBox* GobalGoalsCheckBox;
    controls::FieldCheckBox* ModifyAllGoalsCheckBox;
    QPushButton* SaveBtn;
    QPushButton* InsertBtn;
    QPushButton* DeleteBtn;
    QPushButton* closeButton;

    void FormActivate();
    void profileChanged();
    void SetEditing(bool on);
    void InsertBtnClick();
    void SaveBtnClick();
    void DeleteBtnClick();
    void FormClose();
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
    DataModule& dm_;
};

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
class DBCheckBox;
class DBEdit;
class DBGrid;
} // namespace controls

// The security profiles: users of profile 0 maintain them, everybody else only looks.
class SecurityWindow : public controls::Screen {
    Q_OBJECT
public:
    SecurityWindow(DataModule& dm, QWidget* parent = nullptr);

    controls::DBGrid* profileGrid;
    QGroupBox* profileGroup;
    QLabel* nameLabel;
    controls::DBEdit* nameEdit;
    QLabel* idLabel;
    controls::DBEdit* idEdit;
    controls::DBCheckBox* SupervisorCheckBox;
    controls::DBCheckBox* ChangeSystemCheckBox;
    controls::DBCheckBox* ViewSecurityCheckBox;
    controls::DBCheckBox* PackDatabaseCheckBox;
    controls::DBCheckBox* ModifyUserCheckBox;
    controls::DBCheckBox* GoalsCheckBox;
    controls::DBCheckBox* StrategyCheckBox;
    controls::DBCheckBox* DepartmentsCheckBox;
    controls::DBCheckBox* ViewAllStrategys;
    controls::DBCheckBox* PrintReports;
    controls::DBCheckBox* GoalTypesCheckBox;
    controls::DBCheckBox* GobalGoalsCheckBox;
    controls::DBCheckBox* ModifyAllGoalsCheckBox;
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
    std::vector<controls::DBCheckBox*> rightBoxes_;
    bool closed_ = false;
    DataModule& dm_;
};

#pragma once

#include "controls/Screen.h"

namespace data {
class DataModule;
}

class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace controls {
class FieldEdit;
class DataGrid;
class LookupComboBox;
class SpinBox;
class UpDown;
} // namespace controls

namespace planning {

// The goals of one year: list, detail, insert, store, delete and print.
class GoalsWindow : public controls::Screen {
    Q_OBJECT
public:
    GoalsWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);

    QLabel* yearLabel;
    controls::SpinBox* goalSpin;
    QGroupBox* goalsGroup;
    controls::DataGrid* goalGrid;
    QGroupBox* detailGroup;
    QLabel* goalIdLabel;
    controls::FieldEdit* goalIdEdit;
    QLabel* goalYearLabel;
    controls::FieldEdit* goalYearEdit;
    controls::UpDown* goalYearArrows;
    QLabel* goalTypeLabel;
    controls::LookupComboBox* goalTypeBox;
    QLabel* ownerLabel;
    controls::LookupComboBox* ownerBox;
    QLabel* goalLabel;
    controls::FieldEdit* descriptionEdit;
    QLabel* goalForLabel;
    controls::LookupComboBox* goalForBox;
    QPushButton* resetButton;
    QLabel* modifiedByLabel;
    controls::LookupComboBox* modifiedByBox;
    controls::FieldEdit* modifiedDateEdit;
    QPushButton* printButton;
    QPushButton* insertButton;
    QPushButton* saveButton;
    QPushButton* deleteButton;
    QPushButton* closeButton;

    void onCreate();
    void goalSpinChanged();
    void goalChanged();
    void syncYearArrows();
    void stepGoalYear();
    void insertClicked();
    void saveClicked();
    void resetClicked();
    void deleteClicked();
    void printClicked();
    void closeWindow();
    void onClose();

    void done(int result) override;

private:
    // The window from the top: the year, the goals beside their detail, the buttons.
    void buildYearRow(QVBoxLayout* lay);
    void buildGoalList(QHBoxLayout* body);
    void buildGoalDetail(QHBoxLayout* body);
    void buildGoalRows(QGridLayout* grid);
    void buildPeopleRows(QGridLayout* grid);
    // A caption naming w for its shortcut, and w with what stands beside it (if anything).
    void addDetailRow(QGridLayout* grid, int row, QLabel*& label, const char* caption, QWidget* w,
                      QWidget* extra = nullptr);
    void buildButtonBar(QVBoxLayout* lay);
    void connectSignals();

    // Save, Delete and the arrows act only while a goal is shown (or being inserted).
    void updateGoalButtons();
    bool closed_ = false;
    bool usersFiltered_ = false; // the visible users were filtered for this screen
    data::DataModule& dm_;
};

} // namespace planning

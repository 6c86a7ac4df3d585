#pragma once

#include "controls/Screen.h"

namespace data {
class DataModule;
}

class QGroupBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace controls {
class DataGrid;
class LookupComboBox;
class SpinBox;
} // namespace controls

namespace planning {

// The working screen of the planning cycle: the goals of a year, goal type and user, and the
// chosen user's strategies under the selected goal.
class StrategyListWindow : public controls::Screen {
    Q_OBJECT
public:
    StrategyListWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);

    QLabel* yearLabel;
    controls::SpinBox* yearSpin;
    QLabel* goalTypeLabel;
    controls::LookupComboBox* goalTypeBox;
    QLabel* userLabel;
    controls::LookupComboBox* userBox;
    QGroupBox* goalsGroup;
    controls::DataGrid* goalGrid;
    QGroupBox* strategiesGroup;
    controls::DataGrid* strategyGrid;
    QPushButton* moveButton;
    QPushButton* printButton;
    QPushButton* deleteButton;
    QPushButton* insertButton;
    QPushButton* editButton;
    QPushButton* closeButton;

    void onCreate();
    void yearSpinChanged();
    void userChosen();
    void goalTypeChosen();
    void insertClicked();
    void editClicked();
    void strategyChosen();
    void deleteClicked();
    void printClicked();
    void moveClicked();
    void updateStrategyButtons();

    // Lists the strategies of the goal selected in the goals grid (forced: also when that goal
    // has not changed, to see the strategies as stored now).
    void followSelectedGoal(bool forced = true);

protected:
private:
    // The selection on top, the goals over their strategies, the buttons.
    void buildSelectionRow(QVBoxLayout* lay);
    void buildLists(QVBoxLayout* lay);
    void buildButtonBar(QVBoxLayout* lay);
    void connectButtons();
    // Made after onCreate: the goals it reads while setting up the selection are not followed.
    void connectGoalFollowing();
    void openPrintGoals();
    // Shows a window this screen opens; the strategies follow the selected goal again after it.
    int showChild(QDialog& child);
    // Re-filters the goals; the strategies follow once, after the goals are read again.
    template <typename F> void switchGoals(F setSelection);
    int childOpen_ = 0;
    bool switchingGoals_ = false;
    qint64 followedGoal_ = -2;
    data::DataModule& dm_;
};

} // namespace planning

#pragma once

#include "controls/Screen.h"

class DataModule;

class QGroupBox;
class QLabel;
class QPushButton;

namespace controls {
class DBGrid;
class DBLookupComboBox;
class SpinBox;
} // namespace controls

// The working screen of the planning cycle: the goals of a year, goal type and user, and the
// chosen user's strategies under the selected goal.
class StrategyListWindow : public controls::Screen {
    Q_OBJECT
public:
    StrategyListWindow(DataModule& dm, QWidget* parent = nullptr);

    QLabel* Label1;
    controls::SpinBox* YearSpin;
    QLabel* Label3;
    controls::DBLookupComboBox* DBLookupComboBox2;
    QLabel* Label2;
    controls::DBLookupComboBox* DBLookupComboBox1;
    QGroupBox* GroupBox1;
    controls::DBGrid* DBGrid1;
    QGroupBox* GroupBox2;
    controls::DBGrid* DBGrid2;
    QPushButton* MoveBtn;
    QPushButton* PrintBtn;
    QPushButton* DeleteBtn;
    QPushButton* InsertBtn;
    QPushButton* EditBtn;
    QPushButton* BitBtn1;

    void FormCreate();
    void YearSpinChange();
    void DBLookupComboBox1CloseUp();
    void DBLookupComboBox2CloseUp();
    void InsertBtnClick();
    void EditBtnClick();
    void DBGrid2DblClick();
    void DeleteBtnClick();
    void PrintBtnClick();
    void MoveBtnClick();
    void UpdateStrategyButtons();

    // Lists the strategies of the goal selected in the goals grid (forced: also when that goal
    // has not changed, to see the strategies as stored now).
    void FollowSelectedGoal(bool forced = true);

protected:
private:
    void openPrintGoals();
    // Shows a window this screen opens; the strategies follow the selected goal again after it.
    int showChild(QDialog& child);
    // Re-filters the goals; the strategies follow once, after the goals are read again.
    template <typename F> void switchGoals(F setSelection);
    int childOpen_ = 0;
    bool switchingGoals_ = false;
    qint64 followedGoal_ = -2;
    DataModule& dm_;
};

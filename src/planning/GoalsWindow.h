#pragma once

#include "controls/Screen.h"

class DataModule;

class QGroupBox;
class QLabel;
class QPushButton;

namespace controls {
class DBEdit;
class DBGrid;
class DBLookupComboBox;
class SpinBox;
class UpDown;
} // namespace controls

// The goals of one year: list, detail, insert, store, delete and print.
class GoalsWindow : public controls::Screen {
    Q_OBJECT
public:
    GoalsWindow(DataModule& dm, QWidget* parent = nullptr);

    QLabel* Label1;
    controls::SpinBox* GoalSpin;
    QGroupBox* GroupBox1;
    controls::DBGrid* DBGrid1;
    QGroupBox* GroupBox2;
    QLabel* Label2;
    controls::DBEdit* DBEdit1;
    QLabel* Label4;
    controls::DBEdit* DBEdit4;
    controls::UpDown* UpDown1;
    QLabel* Label7;
    controls::DBLookupComboBox* DBLookupComboBox3;
    QLabel* Label8;
    controls::DBLookupComboBox* DBLookupComboBox4;
    QLabel* Label3;
    controls::DBEdit* DBEdit2;
    QLabel* Label5;
    controls::DBLookupComboBox* DBLookupComboBox1;
    QPushButton* ResetBtn;
    QLabel* Label6;
    controls::DBLookupComboBox* DBLookupComboBox2;
    controls::DBEdit* DBEdit3;
    QPushButton* PrintBtn;
    QPushButton* InsertBtn;
    QPushButton* SaveBtn;
    QPushButton* DeleteBtn;
    QPushButton* BitBtn1;

    void FormCreate();
    void GoalSpinChange();
    void DBEdit1Change();
    void DBEdit4Change();
    void UpDown1Click();
    void InsertBtnClick();
    void SaveBtnClick();
    void ResetBtnClick();
    void DeleteBtnClick();
    void PrintBtnClick();
    void BitBtn1Click();
    void FormClose();

    void done(int result) override;

private:
    // Save, Delete and the arrows act only while a goal is shown (or being inserted).
    void updateGoalButtons();
    bool closed_ = false;
    DataModule& dm_;
};

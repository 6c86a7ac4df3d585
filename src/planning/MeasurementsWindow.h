#pragma once

#include "controls/Screen.h"

class DataModule;

class QGroupBox;
class QLabel;
class QPushButton;

namespace controls {
class DBCheckBox;
class DBDateEdit;
class DBEdit;
class DBGrid;
class DBLookupComboBox;
class DBMemo;
} // namespace controls

// The numbered deliverable and measurement items of the strategy on which the strategy table
// stands: list, detail, insert, store, delete and the completion date.
class MeasurementsWindow : public controls::Screen {
    Q_OBJECT
public:
    MeasurementsWindow(DataModule& dm, QWidget* parent = nullptr);

    controls::DBGrid* DBGrid1;
    QGroupBox* GroupBox1;
    QLabel* Label3;
    controls::DBEdit* DBEdit1;
    QLabel* Label2;
    controls::DBDateEdit* DBEdit2;
    QPushButton* DateBtn;
    QPushButton* ResetBtn;
    controls::DBCheckBox* DBCheckBox1;
    QLabel* Label5;
    controls::DBMemo* DBMemo2;
    QLabel* Label1;
    controls::DBMemo* DBMemo1;
    QLabel* Label4;
    controls::DBLookupComboBox* DBLookupComboBox1;
    controls::DBEdit* DBEdit3;
    QPushButton* DeleteBtn;
    QPushButton* InsertBtn;
    QPushButton* SaveBtn;
    QPushButton* BitBtn1;

    void FormCreate();
    void InsertBtnClick();
    void SaveBtnClick();
    void DeleteBtnClick();
    void DateBtnClick();
    void ResetBtnClick();
    void BitBtn1Click();
    void SetReadOnly(bool flag);

    void done(int result) override;

private:
    void updateButtons();
    bool readOnly_ = true;
    // A new item nobody has changed since Insert numbered it: the next Insert drops it.
    bool untouchedInsert_ = false;
    bool settingUp_ = false;
    bool closed_ = false;
    DataModule& dm_;
};

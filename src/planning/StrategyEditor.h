#pragma once

#include "engine/Query.h"

#include "controls/Screen.h"

#include <QVariantList>

class DataModule;

class QGroupBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QShowEvent;
class QToolButton;

namespace engine {
class DataSource;
class Query;
} // namespace engine

namespace controls {
class DBCheckBox;
class DBDateEdit;
class DBEdit;
class DBLookupComboBox;
class DBMemo;
} // namespace controls

// One strategy in full: edited when its owner's strategies may be changed, otherwise shown
// read-only. Works on the current row of the strategy table.
class StrategyEditor : public controls::Screen {
    Q_OBJECT
public:
    // The stored strategy, as the report prints it.
    engine::Query strategyQuery;
    StrategyEditor(DataModule& dm, QWidget* parent = nullptr);

    QGroupBox* GroupBox1;
    QLabel* Label1;
    controls::DBLookupComboBox* DBLookupComboBox1;
    QLabel* Label2;
    QLineEdit* Edit1;
    QLabel* Label12;
    controls::DBEdit* DBEdit4;
    QLabel* Label3;
    controls::DBEdit* DBEdit1;
    QLabel* Label8;
    controls::DBDateEdit* DBEdit3;
    QToolButton* DateBtn;
    QPushButton* ResetBtn;
    controls::DBCheckBox* DBCheckBox2;
    QLabel* Label4;
    controls::DBMemo* DBMemo1;
    QLabel* Label5;
    controls::DBMemo* DBMemo2;
    QLabel* Label6;
    controls::DBMemo* DBMemo3;
    QLabel* Label7;
    controls::DBMemo* DBMemo4;
    QPushButton* MeasureBtn;
    QLabel* Label9;
    QLabel* Label13;
    controls::DBMemo* DBMemo5;
    QLabel* Label10;
    controls::DBMemo* DBMemo6;
    QLabel* Label11;
    controls::DBLookupComboBox* DBLookupComboBox2;
    controls::DBEdit* DBEdit2;
    controls::DBCheckBox* DBCheckBox1;
    QPushButton* PreviewBtn;
    QPushButton* PrintBtn;
    QPushButton* SaveBtn;
    QPushButton* BitBtn1;

    void FormCreate();
    void FormActivate();
    void DateBtnClick();
    void ResetBtnClick();
    void SaveBtnClick();
    void BitBtn1Click();
    void FormClose();
    void MeasureBtnClick();
    void PrintBtnClick();
    void PreviewBtnClick();
    void SetReadOnly(bool flag);
    void PrepareStrategyQuery();

    bool isReadOnly() const { return readOnly_; }
    void done(int result) override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    // Stores a pending change before the measurement items, then opens them.
    void openMeasurementItems();
    // The do-not-print refusal, the print dialog (when printing), then the report of the
    // stored strategy printed or previewed.
    void printStrategy(bool preview);
    // Memo texts that typing could not write into the row (the row was locked elsewhere).
    bool typingNotStored() const;
    void storeRefusedTyping();
    void storeStrategy();
    QVariantList shownValues() const;
    // The names the two user boxes can show: the owner, the last modifier and the person here.
    void loadUserNames();

    engine::Query* userNames_;
    engine::DataSource* userNamesSource_;
    QList<controls::DBMemo*> memos_;
    QVariantList shown_; // the stored values of the memo fields as last shown
    bool readOnly_ = false;
    bool closed_ = false;
    DataModule& dm_;
};

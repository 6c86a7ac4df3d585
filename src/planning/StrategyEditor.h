#pragma once

#include "engine/Query.h"

#include "controls/Screen.h"

#include <QVariantList>

namespace data {
class DataModule;
}

class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QShowEvent;
class QToolButton;
class QVBoxLayout;

namespace engine {
class DataSource;
class Query;
} // namespace engine

namespace controls {
class FieldCheckBox;
class DBDateEdit;
class FieldEdit;
class LookupComboBox;
class FieldMemo;
} // namespace controls

namespace planning {

// One strategy in full: edited when its owner's strategies may be changed, otherwise shown
// read-only. Works on the current row of the strategy table.
class StrategyEditor : public controls::Screen {
    Q_OBJECT
public:
    // The stored strategy, as the report prints it.
    engine::Query strategyQuery;
    StrategyEditor(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);

    QGroupBox* detailGroup;
    QLabel* userLabel;
    controls::LookupComboBox* userBox;
    QLabel* departmentLabel;
    QLineEdit* departmentEdit;
    QLabel* goalLabel;
    controls::FieldEdit* goalEdit;
    QLabel* numberLabel;
    controls::FieldEdit* numberEdit;
    QLabel* completionDateLabel;
    controls::DBDateEdit* completionDateEdit;
    QToolButton* dateButton;
    QPushButton* resetButton;
    controls::FieldCheckBox* completedBox;
    QLabel* strategyLabel;
    controls::FieldMemo* strategyMemo;
    QLabel* responsibilityLabel;
    controls::FieldMemo* responsibilityMemo;
    QLabel* deliverableLabel;
    controls::FieldMemo* deliverableMemo;
    QLabel* measurementLabel;
    controls::FieldMemo* measurementMemo;
    QPushButton* measureButton;
    QLabel* resourcesLabel;
    QLabel* reallocationLabel;
    controls::FieldMemo* resourcesMemo;
    QLabel* commentsLabel;
    controls::FieldMemo* commentsMemo;
    QLabel* modifiedByLabel;
    controls::LookupComboBox* modifiedByBox;
    controls::FieldEdit* modifiedDateEdit;
    controls::FieldCheckBox* doNotPrintBox;
    QPushButton* previewButton;
    QPushButton* printButton;
    QPushButton* saveButton;
    QPushButton* cancelButton;

    void onCreate();
    void onActivate();
    void dateClicked();
    void resetClicked();
    void saveClicked();
    void cancelEdit();
    void onClose();
    void measureClicked();
    void printClicked();
    void previewClicked();
    void setReadOnly(bool flag);
    void prepareStrategyQuery();

    bool isReadOnly() const { return readOnly_; }
    void done(int result) override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    // The detail rows from the top, each part adding its rows below those before it.
    QLabel* caption(const char* text, bool memoCaption = false);
    void buildOwnerRows(QGridLayout* grid, int& row);
    void buildNumberRow(QGridLayout* grid, int& row);
    controls::FieldMemo* memo(const char* field);
    void buildMemoRows(QGridLayout* grid, int& row);
    void buildModifiedRows(QGridLayout* grid, int& row);
    void buildButtonBar(QVBoxLayout* lay);
    void setFocusChain();
    void connectSignals();

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
    QList<controls::FieldMemo*> memos_;
    QVariantList shown_; // the stored values of the memo fields as last shown
    bool readOnly_ = false;
    bool closed_ = false;
    data::DataModule& dm_;
};

} // namespace planning

#pragma once

#include "controls/Screen.h"

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
class DBDateEdit;
class FieldEdit;
class DataGrid;
class LookupComboBox;
class FieldMemo;
} // namespace controls

namespace planning {

// The numbered deliverable and measurement items of the strategy on which the strategy table
// stands: list, detail, insert, store, delete and the completion date.
class MeasurementsWindow : public controls::Screen {
    Q_OBJECT
public:
    MeasurementsWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);

    controls::DataGrid* measureGrid;
    QGroupBox* detailGroup;
    QLabel* numberLabel;
    controls::FieldEdit* numberEdit;
    QLabel* completionDateLabel;
    controls::DBDateEdit* completionDateEdit;
    QPushButton* dateButton;
    QPushButton* resetButton;
    controls::FieldCheckBox* completedBox;
    QLabel* deliverableLabel;
    controls::FieldMemo* deliverableMemo;
    QLabel* measurementLabel;
    controls::FieldMemo* measurementMemo;
    QLabel* modifiedByLabel;
    controls::LookupComboBox* modifiedByBox;
    controls::FieldEdit* modifiedDateEdit;
    QPushButton* deleteButton;
    QPushButton* insertButton;
    QPushButton* saveButton;
    QPushButton* closeButton;

    void onCreate();
    void insertClicked();
    void saveClicked();
    void deleteClicked();
    void dateClicked();
    void resetClicked();
    void closeWindow();
    void setReadOnly(bool flag);

    void done(int result) override;

private:
    // The detail's controls are all made before any is laid out: their order is the focus chain.
    void buildDetailFields();
    void layOutDetail(QGridLayout* grid);
    void buildButtonBar(QVBoxLayout* lay);
    void connectSignals();
    void updateButtons();
    bool readOnly_ = true;
    // A new item nobody has changed since Insert numbered it: the next Insert drops it.
    bool untouchedInsert_ = false;
    bool settingUp_ = false;
    bool closed_ = false;
    data::DataModule& dm_;
};

} // namespace planning

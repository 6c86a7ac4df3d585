#pragma once

#include <QDialog>

class DataModule;

class QLabel;
class QPushButton;

namespace controls {
class DBLookupComboBox;
class SpinBox;
} // namespace controls

// Hands the strategy that is current in the strategy list to another user under the same goal.
class MoveStrategiesDialog : public QDialog {
    Q_OBJECT
public:
    MoveStrategiesDialog(DataModule& dm, QWidget* parent = nullptr);

    QLabel* Label1;
    controls::DBLookupComboBox* DBLookupComboBox1;
    QLabel* Label2;
    controls::SpinBox* SpinEdit1;
    QPushButton* BitBtn2; // OK, the Enter key
    QPushButton* BitBtn1; // Cancel, the Esc key

    void BitBtn2Click();

private:
    DataModule& dm_;
};

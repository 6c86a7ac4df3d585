#pragma once

#include <QDialog>

class DataModule;

class QLabel;
class QPushButton;

namespace controls {
class LookupComboBox;
class SpinBox;
} // namespace controls

// Hands the strategy that is current in the strategy list to another user under the same goal.
class MoveStrategiesDialog : public QDialog {
    Q_OBJECT
public:
    MoveStrategiesDialog(DataModule& dm, QWidget* parent = nullptr);

    QLabel* userLabel;
    controls::LookupComboBox* userBox;
    QLabel* numberLabel;
    controls::SpinBox* numberSpin;
    QPushButton* okButton;     // OK, the Enter key
    QPushButton* cancelButton; // Cancel, the Esc key

    void moveStrategies();

private:
    DataModule& dm_;
};

#pragma once

#include <QDialog>

namespace data {
class DataModule;
}

class QLabel;
class QPushButton;

namespace controls {
class LookupComboBox;
class SpinBox;
} // namespace controls

namespace planning {

// Hands the strategy that is current in the strategy list to another user under the same goal.
class MoveStrategiesDialog : public QDialog {
    Q_OBJECT
public:
    MoveStrategiesDialog(data::DataModule& dm, QWidget* parent = nullptr);

    QLabel* userLabel;
    controls::LookupComboBox* userBox;
    QLabel* numberLabel;
    controls::SpinBox* numberSpin;
    QPushButton* okButton;     // OK, the Enter key
    QPushButton* cancelButton; // Cancel, the Esc key

    void moveStrategies();

private:
    data::DataModule& dm_;
};

} // namespace planning

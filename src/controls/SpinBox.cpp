#include "controls/SpinBox.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace controls {

SpinBox::SpinBox(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
    setRange(minimum, maximum);
    setKeyboardTracking(true);
}

} // namespace controls

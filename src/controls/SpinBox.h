#pragma once

#include <QSpinBox>

namespace controls {

// A spin box with a range; its change event fires on every change, also one made by code.
class SpinBox : public QSpinBox {
    Q_OBJECT
public:
    SpinBox(int minimum, int maximum, QWidget* parent = nullptr);
};

} // namespace controls

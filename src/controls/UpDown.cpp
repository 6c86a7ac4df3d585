#include "controls/UpDown.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace controls {

UpDown::UpDown(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
    setRange(minimum, maximum);
    lineEdit()->setVisible(false);
    setFixedWidth(22);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
}

void UpDown::setPosition(int p) {
    const QSignalBlocker block(this);
    setValue(p);
}

void UpDown::stepBy(int steps) {
    QSpinBox::stepBy(steps);
    emit clicked();
}

} // namespace controls

#include "controls/SpinBox.h"
#include "controls/DatePicker.h"
#include "controls/UpDown.h"
#include "controls/MonthCalendar.h"
#include "controls/RadioGroup.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace controls {

SpinBox::SpinBox(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
    setRange(minimum, maximum);
    setKeyboardTracking(true);
}

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent) {
    setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
    setCalendarPopup(true);
    setDate(QDate::currentDate());
}

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

MonthCalendar::MonthCalendar(QWidget* parent) : QCalendarWidget(parent) {
    setGridVisible(true);
    setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
}

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
    // The layout and the buttons are owned by the box, which the analyzer cannot see.
    // NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)
    auto* lay = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        group_->addButton(b, i);
        lay->addWidget(b);
    }
    connect(group_, &QButtonGroup::idClicked, this, &RadioGroup::clicked);
    // NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)
}

int RadioGroup::itemIndex() const {
    return group_->checkedId();
}

void RadioGroup::setItemIndex(int index) {
    if (QAbstractButton* b = group_->button(index)) b->setChecked(true);
}

} // namespace controls

#include "controls/MonthCalendar.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace controls {

MonthCalendar::MonthCalendar(QWidget* parent) : QCalendarWidget(parent) {
    setGridVisible(true);
    setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
}

} // namespace controls

#pragma once

#include <QCalendarWidget>

namespace controls {

class MonthCalendar : public QCalendarWidget {
    Q_OBJECT
public:
    explicit MonthCalendar(QWidget* parent = nullptr);
};

} // namespace controls

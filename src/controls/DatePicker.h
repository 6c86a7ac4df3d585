#pragma once

#include <QDateEdit>

namespace controls {

// A date picker showing dates as "mm/dd/yyyy", with a calendar to drop down.
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);
};

} // namespace controls

#include "controls/DatePicker.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace controls {

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent) {
    setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
    setCalendarPopup(true);
    setDate(QDate::currentDate());
}

} // namespace controls

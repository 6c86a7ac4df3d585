#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace engine {

// The engine's date format: month/day/year, "/" as separator, four-digit years, leading zeros.
// It is process-wide, as the system sets it once at start-up.
struct DateFormat {
    QChar separator = QLatin1Char('/');
    bool monthDayYear = true;
    bool fourDigitYear = true;
    bool leadingZeroMonth = true;
    bool leadingZeroDay = true;
};

void setDateFormat(const DateFormat& f);
const DateFormat& dateFormat();

QString formatDate(const QDate& d);
QDate parseDate(const QString& text); // invalid QDate for text that is no date
QString formatDateTime(const QDateTime& dt);

} // namespace engine

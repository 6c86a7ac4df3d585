#include "engine/DateFormat.h"

#include <QStringList>

namespace engine {

namespace {
DateFormat& current() {
    static DateFormat f;
    return f;
}
} // namespace

void setDateFormat(const DateFormat& f) {
    current() = f;
}
const DateFormat& dateFormat() {
    return current();
}

QString formatDate(const QDate& d) {
    if (!d.isValid()) return {};
    const DateFormat& f = current();
    const QString m = f.leadingZeroMonth ? QStringLiteral("%1").arg(d.month(), 2, 10, QLatin1Char('0'))
                                         : QString::number(d.month());
    const QString day = f.leadingZeroDay ? QStringLiteral("%1").arg(d.day(), 2, 10, QLatin1Char('0'))
                                         : QString::number(d.day());
    const QString y = f.fourDigitYear ? QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'))
                                      : QStringLiteral("%1").arg(d.year() % 100, 2, 10, QLatin1Char('0'));
    return f.monthDayYear ? m + f.separator + day + f.separator + y : day + f.separator + m + f.separator + y;
}

QDate parseDate(const QString& text) {
    const DateFormat& f = current();
    const QStringList parts = text.trimmed().split(f.separator);
    if (parts.size() != 3) return {};
    bool ok1 = false, ok2 = false, ok3 = false;
    const int a = parts[0].toInt(&ok1), b = parts[1].toInt(&ok2);
    int y = parts[2].toInt(&ok3);
    if (!ok1 || !ok2 || !ok3) return {};
    if (parts[2].size() <= 2) y += y < 50 ? 2000 : 1900;
    return f.monthDayYear ? QDate(y, a, b) : QDate(y, b, a);
}

QString formatDateTime(const QDateTime& dt) {
    if (!dt.isValid()) return {};
    return formatDate(dt.date()) + QLatin1Char(' ') + dt.time().toString(QStringLiteral("hh:mm:ss"));
}

} // namespace engine

#include "engine/DataSet.h"

#include "engine/DateFormat.h"
#include "engine/Error.h"
#include "engine/WholeNumber.h"

namespace engine {

QVariant toFieldValue(const QVariant& raw, FieldType type) {
    if (raw.isNull() || !raw.isValid()) return {};
    switch (type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
        return QVariant::fromValue<qint64>(wholeNumber(raw));
    case FieldType::Number:
        return raw.toDouble();
    case FieldType::Logical:
        if (raw.typeId() == QMetaType::QString) {
            const QString s = raw.toString().trimmed().toLower();
            return s == QLatin1String("1") || s == QLatin1String("true");
        }
        return wholeNumber(raw) != 0;
    case FieldType::Date: {
        if (raw.typeId() == QMetaType::QDate) return raw;
        const QDate d = QDate::fromString(raw.toString().left(10), Qt::ISODate);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case FieldType::DateTime: {
        if (raw.typeId() == QMetaType::QDateTime) return raw;
        QDateTime dt = QDateTime::fromString(raw.toString(), Qt::ISODate);
        if (!dt.isValid()) {
            const QDate d = QDate::fromString(raw.toString().left(10), Qt::ISODate);
            if (d.isValid()) dt = d.startOfDay();
        }
        return dt.isValid() ? QVariant(dt) : QVariant();
    }
    case FieldType::Text:
    case FieldType::Memo:
        return raw.toString();
    }
    return raw;
}

QVariant toStoredValue(const QVariant& v, FieldType type) {
    if (v.isNull() || !v.isValid()) return {};
    // What a program sets most, a number or a flag of its own type, taken as it is.
    const int given = v.typeId();
    const bool whole = given == QMetaType::Int || given == QMetaType::LongLong || given == QMetaType::Bool;
    if (whole && (type == FieldType::Integer || type == FieldType::AutoInc))
        return QVariant::fromValue<qint64>(wholeNumber(v));
    if (whole && type == FieldType::Logical) return wholeNumber(v) != 0 ? 1 : 0;
    switch (type) {
    case FieldType::AutoInc:
    case FieldType::Integer: {
        bool ok = false;
        const qint64 n =
            v.typeId() == QMetaType::QString ? v.toString().trimmed().toLongLong(&ok) : v.toLongLong(&ok);
        if (!ok) {
            if (v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty()) return {};
            throw Error(QStringLiteral("'%1' is not a valid integer value.").arg(v.toString()));
        }
        return QVariant::fromValue<qint64>(n);
    }
    case FieldType::Number: {
        bool ok = false;
        const double d =
            v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
        if (!ok) {
            if (v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty()) return {};
            throw Error(QStringLiteral("'%1' is not a valid number.").arg(v.toString()));
        }
        return d;
    }
    case FieldType::Logical:
        return toFieldValue(v, type).toBool() ? 1 : 0;
    case FieldType::Date: {
        QDate d;
        if (v.typeId() == QMetaType::QDate)
            d = v.toDate();
        else if (v.typeId() == QMetaType::QDateTime)
            d = v.toDateTime().date();
        else {
            const QString s = v.toString().trimmed();
            if (s.isEmpty()) return {};
            d = parseDate(s);
            if (!d.isValid()) d = QDate::fromString(s, Qt::ISODate);
            if (!d.isValid()) throw Error(QStringLiteral("'%1' is not a valid date.").arg(s));
        }
        return d.toString(Qt::ISODate);
    }
    case FieldType::DateTime: {
        QDateTime dt;
        if (v.typeId() == QMetaType::QDateTime)
            dt = v.toDateTime();
        else if (v.typeId() == QMetaType::QDate)
            dt = v.toDate().startOfDay();
        else {
            const QString s = v.toString().trimmed();
            if (s.isEmpty()) return {};
            dt = QDateTime::fromString(s, Qt::ISODate);
            if (!dt.isValid()) {
                const QStringList parts = s.split(QLatin1Char(' '));
                const QDate d = parseDate(parts.value(0));
                const QTime t =
                    parts.size() > 1 ? QTime::fromString(parts[1], QStringLiteral("h:mm:ss")) : QTime(0, 0);
                if (d.isValid() && t.isValid()) dt = QDateTime(d, t);
            }
            if (!dt.isValid()) throw Error(QStringLiteral("'%1' is not a valid date and time.").arg(s));
        }
        return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case FieldType::Text:
    case FieldType::Memo:
        return v.toString();
    }
    return v;
}

QString displayText(const QVariant& value, FieldType type) {
    if (value.isNull() || !value.isValid()) return {};
    switch (type) {
    case FieldType::Date:
        return formatDate(value.toDate());
    case FieldType::DateTime:
        return formatDateTime(value.toDateTime());
    case FieldType::Logical:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Number: {
        const double d = value.toDouble();
        if (d == double(qint64(d))) return QString::number(qint64(d));
        return QString::number(d);
    }
    default:
        return value.toString();
    }
}

QVariant Field::value() const {
    return ds_->fieldValue(name_);
}
bool Field::isNull() const {
    const QVariant v = value();
    return v.isNull() || !v.isValid();
}
qint64 Field::asInteger() const {
    const QVariant v = value();
    if (v.typeId() == QMetaType::Double) return qint64(v.toDouble());
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? 1 : 0;
    return v.toLongLong();
}
double Field::asFloat() const {
    return value().toDouble();
}
QString Field::asString() const {
    return displayText(value(), type());
}
bool Field::asBoolean() const {
    const QVariant v = value();
    if (v.typeId() == QMetaType::QString) return toFieldValue(v, FieldType::Logical).toBool();
    return v.toBool();
}
QDate Field::asDate() const {
    const QVariant v = value();
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().date();
    return toFieldValue(v, FieldType::Date).toDate();
}
QDateTime Field::asDateTime() const {
    return toFieldValue(value(), FieldType::DateTime).toDateTime();
}
FieldType Field::type() const {
    return ds_->fieldType(name_);
}
void Field::setValue(const QVariant& v) {
    ds_->setFieldValue(name_, v);
}

DataSet::Position DataSet::clamp(int row, int n) {
    if (n == 0) return {-1, true, true};
    if (row < 0) return {0, true, false};
    if (row >= n) return {n - 1, false, true};
    return {row, false, false};
}

void DataSet::next() {
    const int n = recNo();
    if (n + 1 >= recordCount()) {
        moveTo(recordCount()); // past the end: eof
        return;
    }
    moveTo(n + 1);
}

void DataSet::prior() {
    moveTo(recNo() - 1);
}

void DataSet::setFieldValue(const QString& name, const QVariant&) {
    throw Error(QStringLiteral("Cannot modify a read-only data set (field %1).").arg(name));
}
void DataSet::edit() {
    throw Error(QStringLiteral("Cannot modify a read-only data set."));
}
void DataSet::insert() {
    throw Error(QStringLiteral("Cannot modify a read-only data set."));
}
void DataSet::remove() {
    throw Error(QStringLiteral("Cannot modify a read-only data set."));
}

} // namespace engine

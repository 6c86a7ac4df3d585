#include "data/Csv.h"

#include <QDate>
#include <QDateTime>

namespace data {

namespace csv {

namespace {

bool looksLikeFormula(const QString& s) {
    if (s.isEmpty()) return false;
    const QChar c = s.front();
    return c == QLatin1Char('=') || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('@') ||
           c == QLatin1Char('\t') || c == QLatin1Char('\r');
}

QString quoted(QString s) {
    if (looksLikeFormula(s)) s.prepend(QLatin1Char('\''));
    s.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

} // namespace

QString field(const QVariant& v) {
    if (v.isNull() || !v.isValid()) return {};
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
        return v.toString();
    case QMetaType::Double:
    case QMetaType::Float:
        // Whole numbers stored as real numbers (measurement numbers) read as whole numbers.
        return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    default:
        return quoted(v.toString());
    }
}

QString record(const QVariantList& values) {
    QStringList fields;
    fields.reserve(values.size());
    for (const QVariant& v : values)
        fields << field(v);
    return fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

void Writer::header(const QStringList& titles) {
    QVariantList v;
    for (const QString& t : titles)
        v << t;
    add(v);
}

void Writer::add(const QVariantList& values) {
    if (!ok()) return;
    const QByteArray bytes = record(values).toUtf8();
    if (out_.write(bytes) != bytes.size())
        error_ = out_.errorString().isEmpty() ? QStringLiteral("The file could not be written.")
                                              : out_.errorString();
}

} // namespace csv

} // namespace data

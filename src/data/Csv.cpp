#include "data/Csv.h"

#include <QDate>
#include <QDateTime>

namespace data {

namespace csv {

namespace {

// Spreadsheets trim blanks and line breaks before they look for a formula, and read the
// full-width and small forms of the formula signs as the signs themselves, so all of these count.
bool isFormulaSign(QChar c) {
    switch (c.unicode()) {
    case u'=':
    case u'+':
    case u'-':
    case u'@':
    case u'\uFF1D': // full-width = + - @
    case u'\uFF0B':
    case u'\uFF0D':
    case u'\uFF20':
    case u'\uFE66': // small = + - @
    case u'\uFE62':
    case u'\uFE63':
    case u'\uFE6B':
        return true;
    default:
        return false;
    }
}

bool looksLikeFormula(const QString& s) {
    if (s.isEmpty()) return false;
    // A leading tab or line break is itself a start some spreadsheets act on.
    if (s.front().isSpace() && s.front() != QLatin1Char(' ')) return true;
    for (const QChar c : s) {
        if (c.isSpace()) continue;
        return isFormulaSign(c);
    }
    return false;
}

QString quoted(QString s) {
    // A NUL ends the text for many readers (C programs, older csv modules), so it is never written.
    s.remove(QChar(u'\0'));
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

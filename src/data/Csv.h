#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace data {

namespace csv {

// One value as a CSV field (RFC 4180). Numbers are written as they are; every other value is
// quoted, with embedded quotes doubled and line breaks kept, and NUL characters left out. Text
// that a spreadsheet would run as a formula (its first character that is not a blank or line
// break is "=", "+", "-", "@" or their full-width forms, or it begins with a tab or a line break)
// is written with a leading apostrophe, which spreadsheets show as text and do not evaluate.
// Dates are written as ISO dates, date-times as "yyyy-MM-dd HH:mm:ss", logical values as True and False.
QString field(const QVariant& value);

// A record: the fields joined by commas and ended by CR LF.
QString record(const QVariantList& values);

// Writes records in UTF-8 to a device that is open for writing. A failed write (a full disk,
// a closed pipe) is remembered and reported by ok() and error(), never ignored.
class Writer {
public:
    explicit Writer(QIODevice& out) : out_(out) {}
    void header(const QStringList& titles);
    void add(const QVariantList& values);
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }

private:
    QIODevice& out_;
    QString error_;
};

} // namespace csv

} // namespace data

#include "engine/Dialect.h"

namespace engine {

namespace {
constexpr qsizetype kLongListFrom = 500;
} // namespace

QString Dialect::numberList(const QVector<qint64>& values, bool parenthesised, QVariantList& binds) const {
    if (values.size() > kLongListFrom) {
        QByteArray json;
        json.reserve(values.size() * 8 + 2);
        json += '[';
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (i) json += ',';
            json += QByteArray::number(values[i]);
        }
        json += ']';
        binds << QString::fromLatin1(json);
        return parenthesised ? QStringLiteral(" (") + arrayValues() + QStringLiteral(") ")
                             : QLatin1Char(' ') + arrayValues() + QLatin1Char(' ');
    }
    QStringList marks;
    for (qint64 n : values) {
        marks << parameter(QVariant::fromValue<qint64>(n), false);
        binds << QVariant::fromValue<qint64>(n);
    }
    if (marks.isEmpty()) marks << QStringLiteral("NULL");
    const QString body = marks.join(QStringLiteral(", "));
    return parenthesised ? QStringLiteral(" (") + body + QStringLiteral(") ")
                         : QLatin1Char(' ') + body + QLatin1Char(' ');
}

QString Dialect::insertInto(const QString& table, const QStringList& columns) const {
    if (columns.isEmpty()) return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
    QStringList cols, marks;
    for (const QString& c : columns) {
        cols << column(c);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(table, cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
}

namespace {
QString columnList(const Dialect& d, const TableDef& t) {
    QStringList cols;
    for (const auto& c : t.columns)
        cols << d.column(c.name);
    return cols.join(QStringLiteral(", "));
}
} // namespace

QString Dialect::selectAll(const TableDef& t) const {
    return QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(columnList(*this, t), table(t), rowKey(t));
}

QString Dialect::insertAll(const TableDef& t, int rows) const {
    const QStringList marks(qsizetype(t.columns.size()), QStringLiteral("?"));
    const QString row = QLatin1Char('(') + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
    return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
        .arg(table(t), columnList(*this, t), QStringList(rows, row).join(QStringLiteral(", ")));
}

QString Dialect::insertSql(const TableDef& t, const QStringList& columns) const {
    return insertInto(table(t), columns) + insertEnd(t);
}

} // namespace engine

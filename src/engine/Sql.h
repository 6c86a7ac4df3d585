#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <QVector>
#include <variant>
#include <vector>

namespace engine {

class Dialect;

// Typed values that a query text carries. They are shown in the system's own form by text()
// and bound as parameters when the statement runs, never spliced into what a store parses.
namespace sql {
struct Int {
    qint64 value;
};
struct Text {
    QString value;
};
struct Date {
    QDate value;
};
struct Bool {
    bool value;
};
// A parenthesised list of whole numbers, shown as "(12, 4, 9)" or with another separator.
struct IntList {
    QVector<qint64> values;
    QString separator = QStringLiteral(", ");
    bool parenthesised = true;
};
} // namespace sql

using SqlPiece = std::variant<QString, sql::Int, sql::Text, sql::Date, sql::Bool, sql::IntList>;
using SqlLine = std::vector<SqlPiece>;

// A statement in one store's dialect: the text with "?" where values go, and the values in order.
struct Statement {
    QString sql;
    QVariantList binds;
    QStringList tables; // the table files the statement names, as schema names
    bool selects = true;
};

class SqlText {
public:
    void clear() { lines_.clear(); }
    bool isEmpty() const { return lines_.empty(); }
    int lineCount() const { return int(lines_.size()); }

    template <typename... P> void add(P&&... pieces) {
        SqlLine line;
        (line.push_back(piece(std::forward<P>(pieces))), ...);
        lines_.push_back(std::move(line));
    }

    // The system's own rendering: lines joined by line breaks, numbers in plain decimal,
    // texts and dates between double quotes, dates as the engine's date format writes them.
    QString text() const;
    QString line(int i) const;

    // The statement in a store's dialect. Literal pieces are lexed: a double-quoted token that
    // names a table file becomes that table, any other double-quoted token a bound string (or
    // date) literal; typed values are bound.
    Statement render(const Dialect& dialect) const;
    // The same for a condition that is not a whole statement (a filter's pre-selection).
    Statement renderCondition(const Dialect& dialect) const;

private:
    static SqlPiece piece(const char* s) { return QString::fromUtf8(s); }
    static SqlPiece piece(const QString& s) { return s; }
    template <typename T> static SqlPiece piece(T&& v) { return SqlPiece(std::forward<T>(v)); }
    std::vector<SqlLine> lines_;
};

} // namespace engine

#include "engine/Sql.h"

#include "engine/DateFormat.h"
#include "engine/Dialect.h"
#include "engine/Error.h"
#include "engine/Schema.h"

#include <QRegularExpression>

namespace engine {

namespace {

QString renderPiece(const SqlPiece& p) {
    struct V {
        QString operator()(const QString& s) const { return s; }
        QString operator()(const sql::Int& v) const { return QString::number(v.value); }
        QString operator()(const sql::Text& v) const { return QLatin1Char('"') + v.value + QLatin1Char('"'); }
        QString operator()(const sql::Date& v) const {
            return QLatin1Char('"') + formatDate(v.value) + QLatin1Char('"');
        }
        QString operator()(const sql::Bool& v) const {
            return v.value ? QStringLiteral("True") : QStringLiteral("False");
        }
        QString operator()(const sql::IntList& v) const {
            QStringList parts;
            for (qint64 n : v.values)
                parts << QString::number(n);
            const QString body = parts.join(v.separator);
            return v.parenthesised ? QLatin1Char('(') + body + QLatin1Char(')') : body;
        }
    };
    return std::visit(V{}, p);
}

// A date written between double quotes in the engine's date format is bound as a date;
// dates are stored as ISO text, so the comparison then orders them as dates.
QVariant quotedLiteral(const QString& content) {
    static const QRegularExpression dateRe(QStringLiteral("^\\d{1,2}/\\d{1,2}/\\d{4}$"));
    if (dateRe.match(content).hasMatch()) {
        const QDate d = parseDate(content);
        if (d.isValid()) return d.toString(Qt::ISODate);
    }
    return content;
}

// Renders a text's pieces in one dialect, every value bound.
class Renderer {
public:
    Renderer(const Dialect& dialect, Statement& st) : d_(dialect), st_(st) {}

    void operator()(const QString& s) { literal(s); }
    void operator()(const sql::Int& v) { value(QVariant::fromValue<qint64>(v.value)); }
    void operator()(const sql::Text& v) { value(v.value); }
    void operator()(const sql::Date& v) { value(v.value.toString(Qt::ISODate)); }
    void operator()(const sql::Bool& v) { value(v.value ? 1 : 0); }
    void operator()(const sql::IntList& v) {
        st_.sql += d_.numberList(v.values, v.parenthesised, st_.binds);
        lastWord_.clear();
    }
    void lineBreak() { st_.sql += QLatin1Char('\n'); }

private:
    void value(const QVariant& v) {
        // A value right after Then or Else is a branch of a Case, whose place gives it no type.
        const bool untyped = lastWord_.compare(QLatin1String("Then"), Qt::CaseInsensitive) == 0 ||
                             lastWord_.compare(QLatin1String("Else"), Qt::CaseInsensitive) == 0;
        st_.sql += QLatin1Char(' ') + d_.parameter(v, untyped) + QLatin1Char(' ');
        st_.binds << v;
        lastWord_.clear();
    }

    // Lexes a literal piece: a double-quoted token that names a table file becomes that table,
    // any other double-quoted token a bound string (or date) literal, and the words True and
    // False the store's truth values.
    void literal(const QString& text) {
        const int n = int(text.size());
        int i = 0;
        while (i < n) {
            const QChar c = text[i];
            if (c == QLatin1Char('"')) {
                const int end = int(text.indexOf(QLatin1Char('"'), i + 1));
                if (end < 0)
                    throw Error(QStringLiteral("Invalid SQL statement: a double-quoted text is not closed."));
                const QString content = text.mid(i + 1, end - i - 1);
                if (const TableDef* t = findTable(content)) {
                    st_.sql += d_.table(*t);
                    if (!st_.tables.contains(t->schemaName)) st_.tables << t->schemaName;
                    lastWord_.clear();
                } else {
                    value(quotedLiteral(content));
                }
                i = end + 1;
            } else if (c == QLatin1Char('\'')) {
                // Single quotes have no meaning in the system's texts; refusing them keeps every
                // string a bound value.
                throw Error(QStringLiteral("Invalid SQL statement: unexpected single quote."));
            } else if (c == QLatin1Char(';')) {
                throw Error(QStringLiteral("Invalid SQL statement: only one statement may be given."));
            } else if (c.isDigit()) {
                int j = i + 1;
                while (j < n && (text[j].isLetterOrNumber() || text[j] == QLatin1Char('_') ||
                                 text[j] == QLatin1Char('.')))
                    ++j;
                st_.sql += text.mid(i, j - i);
                lastWord_.clear();
                i = j;
            } else if (c.isLetter() || c == QLatin1Char('_')) {
                int j = i + 1;
                while (j < n && (text[j].isLetterOrNumber() || text[j] == QLatin1Char('_') ||
                                 text[j] == QLatin1Char('.')))
                    ++j;
                const QString word = text.mid(i, j - i);
                if (word.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
                    st_.sql += d_.truthValue(true);
                else if (word.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
                    st_.sql += d_.truthValue(false);
                else if (word.compare(QLatin1String("Group_Concat"), Qt::CaseInsensitive) == 0)
                    st_.sql += d_.joinTexts();
                else
                    st_.sql += word;
                lastWord_ = word;
                i = j;
            } else {
                if (!c.isSpace()) lastWord_.clear();
                st_.sql += c;
                ++i;
            }
        }
    }

    const Dialect& d_;
    Statement& st_;
    QString lastWord_; // the word just before, while only blanks follow it
};

} // namespace

QString SqlText::line(int i) const {
    QString s;
    for (const auto& p : lines_.at(size_t(i)))
        s += renderPiece(p);
    return s;
}

QString SqlText::text() const {
    QStringList out;
    for (int i = 0; i < lineCount(); ++i)
        out << line(i);
    return out.join(QLatin1Char('\n'));
}

Statement SqlText::renderCondition(const Dialect& dialect) const {
    Statement st;
    Renderer r(dialect, st);
    for (const auto& l : lines_) {
        for (const auto& p : l)
            std::visit(r, p);
        r.lineBreak();
    }
    return st;
}

Statement SqlText::render(const Dialect& dialect) const {
    Statement st = renderCondition(dialect);
    const QString head = st.sql.trimmed().section(QRegularExpression(QStringLiteral("\\s")), 0, 0).toLower();
    if (head == QLatin1String("select"))
        st.selects = true;
    else if (head == QLatin1String("delete") || head == QLatin1String("update") ||
             head == QLatin1String("insert"))
        st.selects = false;
    else
        throw Error(QStringLiteral("Invalid SQL statement: it must begin with Select or Delete."));
    return st;
}

} // namespace engine

#include "engine/Sql.h"

#include "engine/DateFormat.h"
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

void lexLiteral(const QString& text, Statement& st) {
    QString& out = st.sql;
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
                out += t->qualifiedName();
                if (!st.tables.contains(t->schemaName)) st.tables << t->schemaName;
            } else {
                out += QStringLiteral(" ? ");
                st.binds << quotedLiteral(content);
            }
            i = end + 1;
        } else if (c == QLatin1Char('\'')) {
            // Single quotes have no meaning in the system's texts; refusing them keeps every
            // string a bound value.
            throw Error(QStringLiteral("Invalid SQL statement: unexpected single quote."));
        } else if (c == QLatin1Char(';')) {
            throw Error(QStringLiteral("Invalid SQL statement: only one statement may be given."));
        } else {
            out += c;
            ++i;
        }
    }
}

constexpr qsizetype kLongListFrom = 500;

void bindPiece(const SqlPiece& p, Statement& st) {
    struct V {
        Statement& st;
        void operator()(const QString& s) const { lexLiteral(s, st); }
        void operator()(const sql::Int& v) const {
            st.sql += QStringLiteral(" ? ");
            st.binds << QVariant::fromValue<qint64>(v.value);
        }
        void operator()(const sql::Text& v) const {
            st.sql += QStringLiteral(" ? ");
            st.binds << v.value;
        }
        void operator()(const sql::Date& v) const {
            st.sql += QStringLiteral(" ? ");
            st.binds << v.value.toString(Qt::ISODate);
        }
        void operator()(const sql::Bool& v) const {
            st.sql += QStringLiteral(" ? ");
            st.binds << (v.value ? 1 : 0);
        }
        void operator()(const sql::IntList& v) const {
            // SQLite takes a bounded number of bound values per statement; a long list goes as
            // one bound JSON array that SQLite reads as a one-column table, so the list may be
            // of any length and "x In (...)" keeps its meaning.
            if (v.values.size() > kLongListFrom) {
                QByteArray json;
                json.reserve(v.values.size() * 8 + 2);
                json += '[';
                for (qsizetype i = 0; i < v.values.size(); ++i) {
                    if (i) json += ',';
                    json += QByteArray::number(v.values[i]);
                }
                json += ']';
                st.binds << QString::fromLatin1(json);
                st.sql += v.parenthesised ? QStringLiteral(" (Select value From json_each(?)) ")
                                          : QStringLiteral(" Select value From json_each(?) ");
                return;
            }
            QStringList marks;
            for (qint64 n : v.values) {
                marks << QStringLiteral("?");
                st.binds << QVariant::fromValue<qint64>(n);
            }
            if (marks.isEmpty()) marks << QStringLiteral("NULL");
            st.sql += v.parenthesised
                          ? QStringLiteral(" (") + marks.join(QStringLiteral(", ")) + QStringLiteral(") ")
                          : QStringLiteral(" ") + marks.join(QStringLiteral(", ")) + QStringLiteral(" ");
        }
    };
    std::visit(V{st}, p);
}

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

Statement SqlText::translateFragment() const {
    Statement st;
    for (const auto& l : lines_) {
        for (const auto& p : l)
            bindPiece(p, st);
        st.sql += QLatin1Char('\n');
    }
    return st;
}

Statement SqlText::translate() const {
    Statement st = translateFragment();
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

#include "printing/RichDocument.h"

#include <QStringList>

namespace printing {

void RichDocument::appendLines(const QString& text, Paragraph::Style style, double indentPt) {
    if (text.isEmpty()) {
        append(QString(), style, indentPt);
        return;
    }
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString& line : t.split(QLatin1Char('\n')))
        append(line, style, indentPt);
}

QString RichDocument::plainText() const {
    QStringList out;
    for (const Paragraph& p : paragraphs_)
        out << p.text;
    return out.join(QLatin1Char('\n'));
}

} // namespace printing

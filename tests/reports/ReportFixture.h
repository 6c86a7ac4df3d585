#pragma once

#include "data/CurrentUser.h"
#include "printing/RichDocument.h"
#include "reports/StrategyReport.h"
#include "support/DataFixture.h"

#include <QDate>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStringList>

namespace testing_support {

// pdftotext of a PDF file, pages from..to (all when 0), with the layout kept.
inline QString pdfText(const QString& pdf, int from = 0, int to = 0) {
    QStringList args{"-layout"};
    if (from) args << "-f" << QString::number(from) << "-l" << QString::number(to ? to : from);
    args << pdf << "-";
    QProcess p;
    p.start("pdftotext", args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline int pdfPages(const QString& pdf) {
    QProcess p;
    p.start("pdfinfo", {pdf});
    p.waitForFinished(60000);
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n'))
        if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
    return -1;
}

// One word of a PDF page as pdftotext places it, in points from the page's top-left corner.
struct PdfWord {
    QString text;
    QRectF box;
};
struct PdfPage {
    QSizeF size;
    QList<PdfWord> words;
};

// The words of each page of a PDF with their boxes (pdftotext -bbox).
inline QList<PdfPage> pdfWords(const QString& pdf) {
    QProcess p;
    p.start("pdftotext", {"-bbox", pdf, "-"});
    p.waitForFinished(60000);
    const QString xhtml = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression page(R"re(<page width="([\d.]+)" height="([\d.]+)">)re");
    static const QRegularExpression word(
        R"re(<word xMin="([\d.-]+)" yMin="([\d.-]+)" xMax="([\d.-]+)" yMax="([\d.-]+)">([^<]*)</word>)re");
    QList<PdfPage> pages;
    for (const QString& chunk : xhtml.split("</page>")) {
        const auto pm = page.match(chunk);
        if (!pm.hasMatch()) continue;
        PdfPage pg{QSizeF(pm.captured(1).toDouble(), pm.captured(2).toDouble()), {}};
        for (auto it = word.globalMatch(chunk); it.hasNext();) {
            const auto w = it.next();
            const QPointF a(w.captured(1).toDouble(), w.captured(2).toDouble());
            const QPointF b(w.captured(3).toDouble(), w.captured(4).toDouble());
            pg.words << PdfWord{w.captured(5), QRectF(a, b)};
        }
        pages << pg;
    }
    return pages;
}

// The first pair of words of a page that overlap (two words of one row printed over each other:
// their boxes meet over half the lower one's height; the descent of a title above the next
// line does not count),
// or an empty text when there is none.
inline QString overlappingWords(const PdfPage& page) {
    for (int i = 0; i < page.words.size(); ++i)
        for (int j = i + 1; j < page.words.size(); ++j) {
            const QRectF common = page.words[i].box.intersected(page.words[j].box);
            const double lower = std::min(page.words[i].box.height(), page.words[j].box.height());
            if (common.width() > 0.5 && common.height() > lower / 2)
                return page.words[i].text + " / " + page.words[j].text;
        }
    return {};
}

// The first word of a page that is not wholly inside `area` (points), or an empty text.
inline QString wordOutside(const PdfPage& page, const QRectF& area) {
    for (const PdfWord& w : page.words)
        if (!area.adjusted(-0.5, -0.5, 0.5, 0.5).contains(w.box))
            return QString("%1 at %2,%3-%4,%5")
                .arg(w.text)
                .arg(w.box.left())
                .arg(w.box.top())
                .arg(w.box.right())
                .arg(w.box.bottom());
    return {};
}

// Paragraphs as "style/indent/text" lines ("BI/0/RESPONSIBILITY:"), so that a whole page reads
// as one list in a failure message.
inline QStringList describe(const printing::RichDocument& doc) {
    QStringList out;
    for (const printing::Paragraph& p : doc.paragraphs()) {
        const char* style = p.style == printing::Paragraph::Style::BoldItalic ? "BI"
                            : p.style == printing::Paragraph::Style::Bold     ? "B"
                                                                              : "P";
        out << QString("%1/%2/%3").arg(style).arg(p.leftIndentPt).arg(p.text);
    }
    return out;
}

// A database with a staff profile, three users, a goal type and a logged-on "me".
class ReportFixture : public DataFixture {
protected:
    void SetUp() override {
        DataFixture::SetUp();
        staff = addProfile("Staff", {"CanPrintReports", "CanAddStrategy"});
        me = addUser("me", "", "Mary Me", staff);
        other = addUser("other", "", "Otto Other", staff);
        third = addUser("third", "", "Tina Third", staff);
        type = insertRow(dm->goalTypeTable, {{"TypeDescription", "Corporate"}});
        year = QDate::currentDate().year();
    }
    void logOn(const char* id = "me") { ASSERT_TRUE(logOnAs(id)); }
    // Gives the staff profile the right to view every strategy and logs "me" on again, so that
    // the program and a server that holds the rights both follow it.
    void viewAll() {
        ASSERT_TRUE(dm->securityTable.locate("SecurityID", staff));
        editRow(dm->securityTable, {{"CanViewAllStrategys", true}});
        logOn();
    }
    // Logged on as "me", with a goal of his own and the titles a printed strategy shows.
    int logOnWithTitledGoal() {
        logOn();
        setSetting("ReportTitle1", "Vardimo Test Org");
        setSetting("ReportTitle2", "Strategies");
        return addGoal("Grow sales", year, type, me, me);
    }
    int addStrategy(int goal, int user, int number,
                    std::initializer_list<std::pair<const char*, QVariant>> more = {}) {
        Fields fields{{"GoalID", goal},
                      {"UserNumber", user},
                      {"StrategyNumber", number},
                      {"DoNotPrint", false},
                      {"Compleated", false}};
        fields.insert(fields.end(), more);
        return insertRow(dm->strategyTable, fields);
    }
    int addMeasure(int strategy, double number,
                   std::initializer_list<std::pair<const char*, QVariant>> more = {}) {
        Fields fields{{"StrategyID", strategy}, {"MeasurementNumber", number}, {"Compleated", false}};
        fields.insert(fields.end(), more);
        return insertRow(dm->measureTable, fields);
    }
    // A strategy query of the test's own, on the database open now.
    engine::Query& strategyRows() {
        if (!rows_ || rowsDb_ != &dm->goalDatabase) {
            rows_ = std::make_unique<engine::Query>(dm->goalDatabase);
            rowsDb_ = &dm->goalDatabase;
        }
        return *rows_;
    }
    // The strategy editor's one-row query.
    void openOne(int strategyId) {
        engine::Query& q = strategyRows();
        reports::beginStrategyQuery(q);
        q.add("S.StrategyID = ", engine::sql::Int{strategyId});
        q.prepare();
        q.open();
    }
    // The strategy keys of an open strategy query, in its order.
    QList<int> selected(engine::Query& q) {
        QList<int> ids;
        for (q.first(); !q.eof(); q.next())
            ids << q.field("StrategyID").asInt();
        return ids;
    }
    void setSetting(const char* name, const QVariant& value) { editRow(dm->settingsTable, {{name, value}}); }
    int staff = 0, me = 0, other = 0, third = 0, type = 0, year = 0;

private:
    std::unique_ptr<engine::Query> rows_;
    const engine::Database* rowsDb_ = nullptr;
};

} // namespace testing_support

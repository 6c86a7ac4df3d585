#pragma once

#include "data/CurrentUser.h"
#include "printing/RichDocument.h"
#include "reports/StrategyReport.h"
#include "support/DataFixture.h"

#include <QDate>
#include <QProcess>
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
    void logOn(const char* id = "me") { ASSERT_TRUE(data::logOn(*dm, id, "", false)); }
    int addStrategy(int goal, int user, int number,
                    std::initializer_list<std::pair<const char*, QVariant>> more = {}) {
        engine::Table& s = dm->strategyTable;
        s.insert();
        s.field("GoalID").setValue(goal);
        s.field("UserNumber").setValue(user);
        s.field("StrategyNumber").setValue(number);
        s.field("DoNotPrint").setValue(false);
        s.field("Compleated").setValue(false);
        for (const auto& [name, value] : more)
            s.field(name).setValue(value);
        s.post();
        return s.field("StrategyID").asInt();
    }
    int addMeasure(int strategy, double number,
                   std::initializer_list<std::pair<const char*, QVariant>> more = {}) {
        engine::Table& m = dm->measureTable;
        m.insert();
        m.field("StrategyID").setValue(strategy);
        m.field("MeasurementNumber").setValue(number);
        m.field("Compleated").setValue(false);
        for (const auto& [name, value] : more)
            m.field(name).setValue(value);
        m.post();
        return m.field("MeasurementID").asInt();
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
    void setSetting(const char* name, const QVariant& value) {
        dm->settingsTable.edit();
        dm->settingsTable.field(name).setValue(value);
        dm->settingsTable.post();
    }
    int staff = 0, me = 0, other = 0, third = 0, type = 0, year = 0;

private:
    std::unique_ptr<engine::Query> rows_;
    const engine::Database* rowsDb_ = nullptr;
};

} // namespace testing_support

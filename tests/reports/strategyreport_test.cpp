// The strategy report: the composed page of a row, the pages it prints, and the report engine
// underneath (long bands, printer failures, an unreadable logo), plus the editor's entry point.

#include "engine/Error.h"
#include "printing/Label.h"
#include "printing/Report.h"
#include "reports/ReportFixture.h"
#include "reports/StrategyReport.h"

#include <QDialog>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QScreen>
#include <gtest/gtest.h>

using testing_support::describe;
using testing_support::pdfPages;
using testing_support::pdfText;

class StrategyReportPages : public testing_support::ReportFixture {
protected:
    void SetUp() override {
        ReportFixture::SetUp();
        goal = logOnWithTitledGoal();
    }
    // Composes the page of one strategy as the report does for its row.
    QStringList page(int strategyId, const QString& suffix = {}) {
        openOne(strategyId);
        reports::StrategyReport report(*dm, strategyRows());
        report.titleSuffix = suffix;
        report.startPrint();
        strategyRows().first();
        report.prepareStrategy();
        const QStringList out = describe(*report.body());
        EXPECT_EQ(report.richData->document, report.body());
        report.finishPrint();
        strategyRows().close();
        return out;
    }
    int goal = 0;
};
VARDIMO_ON_ALL_STORES(StrategyReportPages);

TEST_P(StrategyReportPages, PageOfAStrategyWithItsOwnTexts) {
    const int s = addStrategy(goal, me, 3,
                              {{"StrategyDescription", "Line one\nLine two"},
                               {"Responsibility", "Team lead"},
                               {"Deliverable", "A report"},
                               {"Measurement", ""},
                               {"Compleated", true},
                               {"CommentsStatus", "On track"}});
    const QString y = QString::number(year);
    EXPECT_EQ(page(s), QStringList({"BI/0/Goal Year: " + y,
                                    "BI/0/Mary Me Corporate ",
                                    "BI/0/Grow sales",
                                    "P/0/",
                                    "P/0/",
                                    "BI/0/STRATEGY # 3",
                                    "P/50/Line one",
                                    "P/50/Line two",
                                    "P/50/",
                                    "BI/0/RESPONSIBILITY:",
                                    "P/50/Team lead",
                                    "P/50/",
                                    "BI/0/DELIVERABLE:",
                                    "P/50/A report",
                                    "P/50/",
                                    "BI/0/MEASUREMENT:",
                                    "P/50/",
                                    "BI/0/COMPLETION DATE:",
                                    "P/50/ Completed",
                                    "P/50/",
                                    "BI/0/ADDITIONAL RESOURCES (if any):",
                                    "P/50/",
                                    "P/50/",
                                    "BI/0/COMMENTS/STATUS:",
                                    "P/50/On track",
                                    "P/50/"}));

    // A measurement text is followed by one empty paragraph; a date prints without the mark.
    dm->strategyTable.locate("StrategyID", s);
    dm->strategyTable.edit();
    dm->strategyTable.field("Measurement").setValue("Monthly\r\nchecked");
    dm->strategyTable.field("CompleationDate").setValue(QDate(year, 3, 31));
    dm->strategyTable.field("Compleated").setValue(false);
    dm->strategyTable.post();
    const QStringList p = page(s);
    const int m = int(p.indexOf("BI/0/MEASUREMENT:"));
    EXPECT_EQ(p.mid(m, 5), QStringList({"BI/0/MEASUREMENT:", "P/50/Monthly", "P/50/checked", "P/50/",
                                        "BI/0/COMPLETION DATE:"}));
    EXPECT_EQ(p[m + 5], QString("P/50/03/31/%1").arg(year));
}

TEST_P(StrategyReportPages, YearLineOwnerLineAndTitleSuffix) {
    const int s = addStrategy(goal, me, 1);
    dm->user().settings.noGoalYear = true;
    QStringList p = page(s, "Q3 review");
    EXPECT_EQ(p.mid(0, 2), QStringList({"BI/0/Mary Me Corporate Q3 review", "BI/0/Grow sales"}))
        << "without goal years the page starts with the owner line";

    dm->user().settings.noGoalYear = false;
    const int noYearGoal = addGoal("Undated", {}, type, me, me);
    const int t = addStrategy(noYearGoal, me, 1);
    p = page(t);
    EXPECT_EQ(p.first(), "BI/0/Mary Me Corporate ") << "a goal without a year has no year line";
    EXPECT_EQ(p[1], "BI/0/Undated");
}

TEST_P(StrategyReportPages, MultipleMeasurementsInNumberOrder) {
    dm->user().settings.multipleMeasures = true;
    const int bare = addStrategy(goal, me, 1, {{"Deliverable", "own text is not printed"}});
    QStringList p = page(bare);
    int d = int(p.indexOf("BI/0/DELIVERABLE:"));
    EXPECT_EQ(p.mid(d, 5), QStringList({"BI/0/DELIVERABLE:", "P/50/", "BI/0/MEASUREMENT:", "P/50/",
                                        "BI/0/COMPLETION DATE:"}));

    const int s = addStrategy(goal, me, 2);
    addMeasure(s, 3, {{"Deliverable", "Third"}, {"Measurement", "M3"}, {"Compleated", true}});
    addMeasure(s, 1, {{"Measurement", "M1"}});
    addMeasure(s, 2,
               {{"Deliverable", "Second\nin two lines"},
                {"Measurement", "M2"},
                {"CompleationDate", QDate(year, 5, 1)}});
    addMeasure(bare + 1000, 1, {{"Deliverable", "another strategy's"}});
    p = page(s);
    d = int(p.indexOf("BI/0/DELIVERABLE:"));
    const int m = int(p.indexOf("BI/0/MEASUREMENT:"));
    const int c = int(p.indexOf("BI/0/COMPLETION DATE:"));
    EXPECT_EQ(p.mid(d + 1, m - d - 1),
              QStringList({"P/50/1#. ", "B/50/", "P/50/2#. Second", "P/50/in two lines",
                           QString("B/50/Completion Date: 05/01/%1").arg(year), "P/50/", "P/50/3#. Third",
                           "B/50/ Completed", "P/50/"}));
    EXPECT_EQ(p.mid(m + 1, c - m - 1),
              QStringList({"P/50/1#. M1", "P/50/", "P/50/2#. M2", "P/50/", "P/50/3#. M3", "P/50/"}));
}

TEST_P(StrategyReportPages, AnEmptyQueryPrintsOnePageOfEmptyValues) {
    dm->user().settings.multipleMeasures = true;
    openOne(-5);
    ASSERT_TRUE(strategyRows().isEmpty());
    {
        reports::StrategyReport report(*dm, strategyRows());
        report.startPrint();
        report.prepareStrategy();
        const QStringList p = describe(*report.body());
        EXPECT_EQ(p.mid(0, 6),
                  QStringList({"BI/0/  ", "BI/0/", "P/0/", "P/0/", "BI/0/STRATEGY # ", "P/50/"}));
        EXPECT_EQ(p.count("P/50/"), 12) << "every body empty, one paragraph each for the items";
        report.finishPrint();
    }
    const QString pdf = dir.file("empty.pdf");
    {
        reports::StrategyReport report(*dm, strategyRows());
        report.printToPdf(pdf);
        EXPECT_EQ(report.pageCount(), 1);
    }
    EXPECT_EQ(pdfPages(pdf), 1);
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains("Vardimo Test Org"));
    EXPECT_TRUE(text.contains("STRATEGY #"));
    EXPECT_TRUE(text.contains("COMMENTS/STATUS:"));
}

TEST_P(StrategyReportPages, OnePagePerStrategyAndLongBodiesContinue) {
    const int a = addStrategy(goal, me, 1, {{"StrategyDescription", "First strategy"}});
    QStringList lines;
    for (int i = 1; i <= 180; ++i)
        lines << QString("Comment line %1").arg(i);
    const int b = addStrategy(
        goal, me, 2, {{"StrategyDescription", "Second strategy"}, {"CommentsStatus", lines.join('\n')}});
    const int c = addStrategy(goal, me, 3, {{"StrategyDescription", "Third strategy"}});
    engine::Query& q = strategyRows();
    q.close();
    q.clear();
    q.add("Select S.*, G.GoalDescription, G.GoalYear, U.username, T.TypeDescription");
    q.add("From \"Strategys.db\" S, \"Goals.DB\" G, \"User.DB\" U, \"GoalType.DB\" T");
    q.add("Where S.GoalID = G.GoalID And S.Usernumber = U.UserNumber And G.GoalTypeID = T.GoalTypeID");
    q.add("Order by S.StrategyNumber");
    q.open();
    ASSERT_EQ(selected(strategyRows()), QList<int>({a, b, c}));
    const QString pdf = dir.file("three.pdf");
    int pages = 0;
    {
        reports::StrategyReport report(*dm, strategyRows());
        report.printToPdf(pdf);
        pages = report.pageCount();
    }
    EXPECT_GE(pages, 5) << "the long comments run over more than one page";
    EXPECT_EQ(pdfPages(pdf), pages);
    const QString first = pdfText(pdf, 1);
    EXPECT_TRUE(first.contains("First strategy"));
    EXPECT_FALSE(first.contains("Second strategy")) << "every strategy starts a new page";
    EXPECT_TRUE(pdfText(pdf, 2).contains("Second strategy"));
    const QString last = pdfText(pdf, pages);
    EXPECT_TRUE(last.contains("Third strategy"));
    EXPECT_FALSE(last.contains("Comment line"));
    const QString all = pdfText(pdf);
    const qsizetype continued = all.count("STRATEGY # 2 (continued)");
    EXPECT_EQ(continued, pages - 3) << "the pages the second strategy continues onto say so";
    EXPECT_EQ(all.count("Vardimo Test Org"), 3 + continued)
        << "titles once at the top of each strategy, and in the short header of its later pages";
    int at = 0;
    for (int i = 1; i <= 180; ++i) {
        const int next = int(all.indexOf(QRegularExpression(QString("Comment line %1\\b").arg(i)), at));
        ASSERT_GT(next, at) << "line " << i << " missing or out of order";
        at = next;
    }
    qsizetype previous = first.indexOf("Grow sales");
    for (const char* heading : {"STRATEGY #", "RESPONSIBILITY:", "DELIVERABLE:", "MEASUREMENT:",
                                "COMPLETION DATE:", "ADDITIONAL RESOURCES (if any):", "COMMENTS/STATUS:"}) {
        EXPECT_EQ(all.count(heading) - (QString(heading) == "STRATEGY #" ? continued : 0), 3) << heading;
        EXPECT_GT(first.indexOf(heading), previous) << heading << " out of order";
        previous = first.indexOf(heading);
    }
    q.close();
}

TEST_P(StrategyReportPages, TheEngineContinuesATallBandAndReportsPrinterFailures) {
    engine::Query q(dm->goalDatabase);
    q.add("Select * From \"Settings.db\"");
    q.open();
    printing::Report report(&q);
    report.detail.height = 400;
    auto* top = report.detail.add<printing::Label>(QRectF(0, 0, 100, 5));
    top->caption = "Top of the band";
    auto* bottom = report.detail.add<printing::Label>(QRectF(0, 390, 100, 5));
    bottom->caption = "Bottom of the band";
    const QString pdf = dir.file("tall.pdf");
    report.printToPdf(pdf);
    EXPECT_EQ(report.pageCount(), 2);
    EXPECT_TRUE(pdfText(pdf, 1).contains("Top of the band"));
    EXPECT_TRUE(pdfText(pdf, 2).contains("Bottom of the band"));

    const QString missing = dir.file("no such folder/out.pdf");
    try {
        report.printToPdf(missing);
        FAIL() << "printing into a missing folder succeeded";
    } catch (const engine::Error& e) {
        EXPECT_TRUE(e.message().contains(missing)) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains("does not exist"));
    }
    EXPECT_FALSE(QFile::exists(missing));
}

TEST_P(StrategyReportPages, TheLogoIsDrawnOrTheRunGoesOnWithoutIt) {
    addStrategy(goal, me, 1, {{"CommentsStatus", "first page"}});
    addStrategy(goal, me, 2, {{"CommentsStatus", "second page"}});
    engine::Query& q = strategyRows();
    q.add("Select S.*, G.GoalDescription, G.GoalYear, U.username, T.TypeDescription");
    q.add("From \"Strategys.db\" S, \"Goals.DB\" G, \"User.DB\" U, \"GoalType.DB\" T");
    q.add("Where S.GoalID = G.GoalID And S.Usernumber = U.UserNumber And G.GoalTypeID = T.GoalTypeID");
    q.open();

    QImage logo(200, 50, QImage::Format_RGB32);
    logo.fill(Qt::blue);
    ASSERT_TRUE(logo.save(dir.file("logo.bmp")));
    setSetting("ReportBitMap", dir.file("logo.bmp"));
    {
        reports::StrategyReport report(*dm, strategyRows());
        QStringList told;
        report.onWarning = [&](const QString& m) { told << m; };
        report.printToPdf(dir.file("logo.pdf"));
        EXPECT_EQ(report.logoImage->image.size(), QSize(200, 50));
        EXPECT_TRUE(told.isEmpty());
    }

    QFile bad(dir.file("broken.jpg"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("this is no picture");
    bad.close();
    setSetting("ReportBitMap", bad.fileName());
    const QString pdf = dir.file("nologo.pdf");
    {
        reports::StrategyReport report(*dm, strategyRows());
        QStringList told;
        report.onWarning = [&](const QString& m) { told << m; };
        report.printToPdf(pdf);
        EXPECT_EQ(report.pageCount(), 2);
        ASSERT_EQ(told.size(), 1) << "told once per run, not once per page";
        EXPECT_TRUE(told[0].contains(bad.fileName()));
        EXPECT_TRUE(report.logoImage->image.isNull());
    }
    EXPECT_TRUE(pdfText(pdf, 1).contains("first page")) << "the pages are still composed in full";
    EXPECT_TRUE(pdfText(pdf, 2).contains("second page"));
    q.close();
}

TEST_P(StrategyReportPages, TheEditorsPrintAndPreview) {
    const int s = addStrategy(goal, me, 7, {{"StrategyDescription", "Printed from the editor"}});
    const QString pdf = dir.file("editor.pdf");
    dialogs.printToFile = pdf;
    dm->user().settings.sendToPrinter = true;

    openOne(s);
    dialogs.printAnswers = {false};
    reports::printStrategyReport(*dm, strategyRows(), false, desktop, nullptr);
    EXPECT_EQ(dialogs.printDialogs, 1);
    EXPECT_FALSE(QFile::exists(pdf)) << "a cancelled print dialog prints nothing";
    EXPECT_FALSE(strategyRows().isOpen());
    EXPECT_FALSE(strategyRows().prepared());

    openOne(s);
    reports::printStrategyReport(*dm, strategyRows(), false, desktop, nullptr);
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_TRUE(pdfText(pdf).contains("Printed from the editor"));
    EXPECT_TRUE(dialogs.modalTitles.isEmpty()) << "straight to the printer";
    EXPECT_FALSE(strategyRows().isOpen());

    dm->user().settings.sendToPrinter = false;
    openOne(s);
    reports::printStrategyReport(*dm, strategyRows(), false, desktop, nullptr);
    EXPECT_EQ(dialogs.printDialogs, 3);
    EXPECT_EQ(dialogs.modalTitles, QStringList({"Print Preview"})) << "the dialog first, then the preview";

    openOne(s);
    reports::printStrategyReport(*dm, strategyRows(), true, desktop, nullptr);
    EXPECT_EQ(dialogs.printDialogs, 3) << "Preview shows no print dialog";
    EXPECT_EQ(dialogs.modalTitles.size(), 2);
    EXPECT_FALSE(strategyRows().isOpen());

    // A strategy not stored yet: the editor writes no query.
    reports::printStrategyReport(*dm, strategyRows(), false, desktop, nullptr);
    reports::printStrategyReport(*dm, strategyRows(), true, desktop, nullptr);
    EXPECT_EQ(dialogs.printDialogs, 4);
    EXPECT_EQ(dialogs.modalTitles.size(), 2) << "nothing to preview";

    // A printer that cannot be written to is an error the person sees; the query is closed.
    dm->user().settings.sendToPrinter = true;
    dialogs.printToFile = dir.file("missing/editor.pdf");
    openOne(s);
    EXPECT_THROW(reports::printStrategyReport(*dm, strategyRows(), false, desktop, nullptr), engine::Error);
    EXPECT_FALSE(strategyRows().isOpen());
}

TEST_P(StrategyReportPages, TheCommandLineWritesTheReportOfASelection) {
    addStrategy(goal, me, 1, {{"StrategyDescription", "This year's first"}});
    addStrategy(goal, me, 2, {{"StrategyDescription", "Never printed"}, {"DoNotPrint", true}});
    addStrategy(goal, me, 3, {{"StrategyDescription", "This year's second"}});
    const int old = addGoal("Old goal", year - 1, type, me, me);
    addStrategy(old, me, 1, {{"StrategyDescription", "Last year's"}});
    auto run = [&](const QStringList& args, QString* out, QString* err) {
        QProcess p;
        p.start(VARDIMO_ADMIN_PATH, QStringList{"report", "strategies", store.location()} + args);
        p.waitForFinished(120000);
        *out = QString::fromUtf8(p.readAllStandardOutput());
        *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    QString out, err;
    const QString pdf = dir.file("year.pdf");
    ASSERT_EQ(run({"--pdf", pdf, "--year", QString::number(year)}, &out, &err), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("2 strategies, 2 pages")) << out.toStdString();
    const QString text = pdfText(pdf);
    EXPECT_LT(text.indexOf("This year's first"), text.indexOf("This year's second"));
    EXPECT_FALSE(text.contains("Never printed"));
    EXPECT_FALSE(text.contains("Last year's"));

    ASSERT_EQ(run({"--pdf", dir.file("all.pdf")}, &out, &err), 0);
    EXPECT_EQ(pdfPages(dir.file("all.pdf")), 3);

    EXPECT_EQ(run({"--pdf", dir.file("missing/all.pdf")}, &out, &err), 1);
    EXPECT_TRUE(err.contains("does not exist")) << err.toStdString();
    EXPECT_EQ(run({"--pdf", pdf, "--year", "soon"}, &out, &err), 2);
}

TEST_P(StrategyReportPages, ARunAgainComposesAfresh) {
    // The preview renders again when its page setup changes: the same report runs twice.
    const int a = addStrategy(goal, me, 1, {{"StrategyDescription", "Alpha text"}});
    const int b = addStrategy(goal, me, 2, {{"StrategyDescription", "Beta text"}});
    reports::StrategyReport report(*dm, strategyRows());
    openOne(a);
    report.printToPdf(dir.file("a.pdf"));
    strategyRows().close();
    openOne(b);
    report.printToPdf(dir.file("b.pdf"));
    strategyRows().close();
    const QString second = pdfText(dir.file("b.pdf"));
    EXPECT_TRUE(second.contains("Beta text"));
    EXPECT_FALSE(second.contains("Alpha text"));
    EXPECT_EQ(report.body(), nullptr) << "the scratch document lives only during a run";
}

TEST_P(StrategyReportPages, ThePreviewShowsTheStrategyPages) {
    const int a = addStrategy(goal, me, 1);
    openOne(a);
    int pages = -1;
    dialogs.onModal = [&](QDialog& d) {
        auto* preview = d.findChild<QPrintPreviewWidget*>();
        if (!preview) return 0;
        preview->updatePreview();
        pages = preview->pageCount();
        return 0;
    };
    reports::printStrategyReport(*dm, strategyRows(), true, desktop, nullptr);
    EXPECT_EQ(pages, 1);
    EXPECT_FALSE(strategyRows().isOpen());
}

TEST_P(StrategyReportPages, ThePreviewWindowFitsOnTheScreen) {
    openOne(addStrategy(goal, me, 1));
    QSize shown;
    dialogs.onModal = [&](QDialog& d) {
        shown = d.size();
        return int(QDialog::Rejected);
    };
    reports::printStrategyReport(*dm, strategyRows(), true, desktop, nullptr);
    ASSERT_TRUE(shown.isValid());
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_LE(shown.height(), screen.height());
    EXPECT_LE(shown.width(), screen.width());
}

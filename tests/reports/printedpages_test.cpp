// What a reader of the printed pages meets: the goals list keeps every value inside its column,
// a long strategy's later pages say whose they are, a long print can be stopped, the paper of
// printer setup is used, and an icon serves as the logo. Checked on the PDF: its text, and the
// boxes pdftotext finds for the words of each page.

#include "controls/QtDialogs.h"
#include "printing/Printer.h"
#include "reports/GoalsReport.h"
#include "reports/ReportFixture.h"
#include "reports/StrategyReport.h"

#include <QApplication>
#include <QFile>
#include <QImageWriter>
#include <QPageLayout>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using testing_support::overlappingWords;
using testing_support::pdfPages;
using testing_support::pdfText;
using testing_support::pdfWords;
using testing_support::wordOutside;

namespace {
constexpr double kMarginPt = 36; // 0.5 inch

// The printable area of a page in points, with the little the layout reaches into the left
// margin ("Goal Year" at -0.5 mm, the title's box at -2.1 mm).
QRectF printable(const testing_support::PdfPage& page) {
    return QRectF(kMarginPt - 7, kMarginPt - 1, page.size.width() - 2 * kMarginPt + 7,
                  page.size.height() - 2 * kMarginPt + 2);
}

QProgressDialog* progressWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<QProgressDialog*>(w); p && p->isVisible()) return p;
    return nullptr;
}

void pressCancel(QProgressDialog* window) {
    for (QPushButton* b : window->findChildren<QPushButton*>())
        if (b->text() == "Cancel") QTest::mouseClick(b, Qt::LeftButton);
}
} // namespace

class PrintedPages : public testing_support::ReportFixture {
protected:
    void SetUp() override {
        ReportFixture::SetUp();
        goal = logOnWithTitledGoal();
    }
    void openGoals(engine::Query& q) {
        q.add("Select G.*, T.TypeDescription From \"Goals.DB\" G, \"GoalType\" T");
        q.add("Where G.GoalTypeID = T.GoalTypeID");
        q.add("Order By GoalID");
        q.open();
    }
    // Three strategies, the second with comments over several pages.
    void openThreeStrategies() {
        addStrategy(goal, me, 1, {{"StrategyDescription", "First strategy"}});
        QStringList lines;
        for (int i = 1; i <= 180; ++i)
            lines << QString("Comment line %1").arg(i);
        addStrategy(goal, me, 2,
                    {{"StrategyDescription", "Second strategy"}, {"CommentsStatus", lines.join('\n')}});
        addStrategy(goal, me, 3, {{"StrategyDescription", "Third strategy"}});
        engine::Query& q = strategyRows();
        reports::beginStrategyQuery(q);
        q.add("S.DoNotPrint = False");
        q.add("Order by S.StrategyNumber");
        q.open();
    }
    int goal = 0;
};
VARDIMO_ON_ALL_STORES(PrintedPages);

TEST_P(PrintedPages, TheGoalsListKeepsEveryValueInItsColumnOnEveryPage) {
    const int longName = addUser("jand", "", "James Anderson 1304 Northern Region", staff);
    // A type of one word longer than its column, and the longest description a goal holds.
    const int longType =
        insertRow(dm->goalTypeTable, {{"TypeDescription", "Continuousimprovementofquality"}});
    QStringList words;
    for (int i = 0; QStringList(words).join(' ').size() < 104; ++i)
        words << QString("word%1").arg(i);
    words << "ENDMARK";
    const QString description = words.join(' ');
    addGoal(description, year, longType, longName, me);
    for (int i = 0; i < 150; ++i)
        addGoal(QString("Goal number %1").arg(i, 3, 10, QChar('0')), year, type, longName, me);

    for (const QPageSize::PageSizeId paper : {QPageSize::Letter, QPageSize::A4}) {
        SCOPED_TRACE(paper == QPageSize::Letter ? "Letter" : "A4");
        engine::Query q(dm->goalDatabase);
        openGoals(q);
        const QString pdf = dir.file("goals.pdf");
        int pages = 0;
        {
            reports::GoalsReport report(*dm, q);
            report.printToPdf(pdf, QPageSize(paper));
            pages = report.pageCount();
            EXPECT_EQ(report.pageTotal(), pages);
        }
        ASSERT_GE(pages, 3);
        const QList<testing_support::PdfPage> boxes = pdfWords(pdf);
        ASSERT_EQ(boxes.size(), pages);
        EXPECT_NEAR(boxes[0].size.width(), paper == QPageSize::A4 ? 595.3 : 612, 1);
        QString printedAt;
        for (int p = 1; p <= pages; ++p) {
            const QString text = pdfText(pdf, p);
            EXPECT_TRUE(text.contains(QString("Page: %1 of %2").arg(p).arg(pages))) << "page " << p;
            const auto stamp = QRegularExpression(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d)").match(text);
            ASSERT_TRUE(stamp.hasMatch()) << "page " << p;
            if (p == 1) printedAt = stamp.captured();
            EXPECT_EQ(stamp.captured(), printedAt) << "one print time for the whole print, page " << p;
            const testing_support::PdfPage& page = boxes[p - 1];
            EXPECT_EQ(overlappingWords(page), "") << "page " << p;
            EXPECT_EQ(wordOutside(page, printable(page)), "") << "page " << p;
        }
        // Nothing cut: every word of the long description is printed, in the goal column; the
        // long name stays in the name column.
        QStringList printed;
        QString typeColumn;
        const double typeLeftPt = (12.7 + 48.9) / 25.4 * 72;
        const double goalLeftPt = (12.7 + 78.3) / 25.4 * 72;
        for (const testing_support::PdfWord& w : boxes[0].words) {
            printed << w.text;
            if (w.box.left() >= typeLeftPt - 1 && w.box.right() < goalLeftPt) typeColumn += w.text;
            if (w.text == "Anderson" || w.text == "Region") {
                EXPECT_LT(w.box.right(), typeLeftPt) << w.text.toStdString();
            }
            if (w.text.startsWith("Continuous")) {
                EXPECT_LT(w.box.right(), goalLeftPt);
            }
            if (w.text.startsWith("word")) {
                EXPECT_GE(w.box.left(), goalLeftPt - 1);
            }
        }
        for (const QString& w : words)
            EXPECT_TRUE(printed.contains(w)) << w.toStdString();
        EXPECT_TRUE(typeColumn.contains("Continuousimprovementofquality"))
            << "a word longer than its column goes on over lines";
        EXPECT_TRUE(pdfText(pdf, pages).contains("Goal number 149"));
    }
}

TEST_P(PrintedPages, ALongStrategysLaterPagesSayWhoseTheyAreAndHoldEachLineOnce) {
    openThreeStrategies();
    const QString pdf = dir.file("three.pdf");
    int pages = 0;
    {
        reports::StrategyReport report(*dm, strategyRows());
        report.printToPdf(pdf);
        pages = report.pageCount();
    }
    ASSERT_GE(pages, 5);
    const QList<testing_support::PdfPage> boxes = pdfWords(pdf);
    ASSERT_EQ(boxes.size(), pages);
    for (int p = 1; p <= pages; ++p) {
        const QString text = pdfText(pdf, p);
        EXPECT_TRUE(text.contains(QString("Page: %1").arg(p))) << "page " << p;
        const bool continued = p > 2 && p < pages;
        EXPECT_EQ(text.contains("STRATEGY # 2 (continued)"), continued) << "page " << p;
        if (continued) {
            EXPECT_TRUE(text.contains("Vardimo Test Org")) << "page " << p;
            EXPECT_TRUE(text.contains("Mary Me")) << "page " << p;
        }
        EXPECT_EQ(overlappingWords(boxes[p - 1]), "") << "page " << p;
        EXPECT_EQ(wordOutside(boxes[p - 1], printable(boxes[p - 1])), "") << "page " << p;
    }
    // Each line once: nothing drawn outside a page's part of the body is left in the PDF.
    const QString all = pdfText(pdf);
    for (int i = 1; i <= 180; ++i)
        ASSERT_EQ(all.count(QRegularExpression(QString("Comment line %1\\b").arg(i))), 1) << "line " << i;
    EXPECT_EQ(all.count("Strategies"), 3) << "the second title only at the top of each strategy";
    EXPECT_EQ(all.count("COMMENTS/STATUS:"), 3);
    strategyRows().close();
}

TEST_P(PrintedPages, ALongPrintShowsItsProgressAndCancelLeavesNoFile) {
    for (int i = 1; i <= 30; ++i)
        addStrategy(goal, me, i, {{"StrategyDescription", QString("Strategy text %1").arg(i)}});
    engine::Query& q = strategyRows();
    reports::beginStrategyQuery(q);
    q.add("S.DoNotPrint = False");
    q.add("Order by S.StrategyNumber");
    q.open();

    // Uncancelled, every page is printed behind the progress window, which is gone afterwards.
    const QString pdf = dir.file("long.pdf");
    QStringList seen;
    {
        reports::StrategyReport report(*dm, q);
        report.onPage = [&](int page) {
            if (QProgressDialog* w = progressWindow()) seen << QString("%1:%2").arg(page).arg(w->labelText());
        };
        report.printToPdf(pdf);
        EXPECT_FALSE(report.cancelled());
        EXPECT_EQ(report.pageCount(), 30);
    }
    EXPECT_EQ(pdfPages(pdf), 30);
    EXPECT_EQ(seen.size(), 30) << "the window is shown for the whole run";
    EXPECT_TRUE(seen.contains("4:Page 3 (strategy 3 of 30)")) << seen.join(", ").toStdString();
    EXPECT_EQ(progressWindow(), nullptr);

    // Cancel on page 5: the run stops there and the half-written file is removed.
    QFile::remove(pdf);
    {
        reports::StrategyReport report(*dm, q);
        int last = 0;
        report.onPage = [&](int page) {
            last = page;
            if (page == 5) pressCancel(progressWindow());
        };
        report.printToPdf(pdf);
        EXPECT_TRUE(report.cancelled());
        EXPECT_EQ(last, 5) << "no page after the one cancelled on";
    }
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(progressWindow(), nullptr);

    // The preview shows the same progress; cancelled, it closes.
    {
        reports::StrategyReport report(*dm, q);
        report.onPage = [&](int page) {
            if (page == 2) pressCancel(progressWindow());
        };
        bool shown = false;
        report.preview(nullptr, [&](QDialog& d) {
            shown = true;
            QTimer::singleShot(30000, &d, &QDialog::reject); // never hangs the test run
            return d.exec();
        });
        EXPECT_TRUE(shown);
        EXPECT_TRUE(report.cancelled());
    }

    // Where the pages are counted first, the window says "n of m".
    for (int i = 0; i < 200; ++i)
        addGoal(QString("Goal number %1").arg(i), year, type, me, me);
    engine::Query goals(dm->goalDatabase);
    openGoals(goals);
    reports::GoalsReport list(*dm, goals);
    list.progressAbove = 0;
    QString label;
    list.onPage = [&](int page) {
        if (page == 3 && progressWindow()) label = progressWindow()->labelText();
    };
    list.printToPdf(dir.file("goals.pdf"));
    ASSERT_GE(list.pageTotal(), 3);
    EXPECT_EQ(label, QString("Page 2 of %1").arg(list.pageTotal()));
    q.close();
}

TEST_P(PrintedPages, ThePaperOfPrinterSetupIsUsedLetterByDefault) {
    QPrinter& setup = printing::currentPrinter();
    EXPECT_EQ(setup.pageLayout().pageSize().id(), QPageSize::Letter);
    openThreeStrategies();

    // Printing goes on the printer's paper, the layout within its margins.
    QPrinter a4(QPrinter::HighResolution);
    a4.setOutputFormat(QPrinter::PdfFormat);
    a4.setOutputFileName(dir.file("a4.pdf"));
    a4.setPageSize(QPageSize(QPageSize::A4));
    {
        reports::StrategyReport report(*dm, strategyRows());
        report.print(a4);
    }
    const QList<testing_support::PdfPage> boxes = pdfWords(dir.file("a4.pdf"));
    ASSERT_GE(boxes.size(), 5);
    for (const testing_support::PdfPage& page : boxes) {
        EXPECT_NEAR(page.size.width(), 595.3, 1);
        EXPECT_NEAR(page.size.height(), 841.9, 1);
        EXPECT_EQ(wordOutside(page, printable(page)), "");
    }

    // The preview takes the paper chosen in printer setup.
    setup.setPageSize(QPageSize(QPageSize::A4));
    QPageSize::PageSizeId previewed = QPageSize::Custom;
    {
        reports::StrategyReport report(*dm, strategyRows());
        report.preview(nullptr, [&](QDialog& d) {
            previewed = static_cast<QPrintPreviewDialog&>(d).printer()->pageLayout().pageSize().id();
            return 0;
        });
    }
    setup.setPageSize(QPageSize(QPageSize::Letter));
    EXPECT_EQ(previewed, QPageSize::A4);
    strategyRows().close();
}

TEST_P(PrintedPages, AnIconServesAsTheLogo) {
    EXPECT_TRUE(controls::QtDialogs::pictureFilter().contains("*.ico"));
    if (!QImageWriter::supportedImageFormats().contains("ico")) GTEST_SKIP() << "no icon writer";
    QImage image(48, 48, QImage::Format_ARGB32);
    image.fill(Qt::red);
    const QString icon = dir.file("logo.ico");
    ASSERT_TRUE(QImageWriter(icon, "ico").write(image));
    setSetting("ReportBitMap", icon);
    const int s = addStrategy(goal, me, 1);
    openOne(s);
    QStringList warnings;
    {
        reports::StrategyReport report(*dm, strategyRows());
        report.onWarning = [&](const QString& w) { warnings << w; };
        report.printToPdf(dir.file("icon.pdf"));
        EXPECT_FALSE(report.logoImage->image.isNull());
    }
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
    QProcess images;
    images.start("pdfimages", {"-list", dir.file("icon.pdf")});
    images.waitForFinished(30000);
    EXPECT_GE(QString::fromUtf8(images.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts).size(), 3)
        << "a heading, its rule and the logo";
    strategyRows().close();
}

// The "Tracking" menu with its two windows, "Overdue" and "Overview", on a small hand-made
// database, driven offscreen with the scripted dialogs.

#include "app/MainWindow.h"
#include "controls/DataGrid.h"
#include "controls/DatePicker.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/RadioGroup.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "planning/OverdueWindow.h"
#include "planning/StrategyEditor.h"
#include "reports/CsvFile.h"
#include "reports/OverviewWindow.h"
#include "support/DataFixture.h"
#include "support/PythonCsv.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QValueAxis>
#include <gtest/gtest.h>

using testing_support::DataFixture;
using testing_support::readCsvWithPython;
using testing_support::TempDir;

class Tracking : public DataFixture {
protected:
    void SetUp() override {
        DataFixture::SetUp();
        const int all = addProfile("Boss", {"CanViewAllStrategys", "CanPrintReports", "CanAddStrategy"});
        const int sales = insertRow(dm->departmentTable, {{"Description", "Sales"}});
        me = addUser("ME", "", "Mia", all, sales);
        you = addUser("YOU", "", "Yan", all);
        ASSERT_TRUE(logOnAs("ME"));
        type = insertRow(dm->goalTypeTable, {{"TypeDescription", "Corporate"}});
        year = QDate::currentDate().year();
        const int g = addGoal("G", year, type, me, me);
        const QDate today = QDate::currentDate();
        strategy(g, me, today.addDays(-3), false);
        strategy(g, me, today.addDays(-10), true);
        strategy(g, me, today.addDays(5), false);
        strategy(g, you, today.addDays(-1), false);
    }
    void strategy(int goal, int user, QDate due, bool done) {
        insertRow(dm->strategyTable, {{"GoalID", goal},
                                      {"UserNumber", user},
                                      {"StrategyNumber", ++number},
                                      {"CompleationDate", due},
                                      {"Compleated", done}});
    }
    int me = 0, you = 0, type = 0, year = 0, number = 0;
};
VARDIMO_ON_ALL_STORES(Tracking);

TEST_P(Tracking, TheMenuSitsBeforeHelpAndFollowsTheRights) {
    app::MainWindow form(*dm, desktop);
    const QList<QAction*> top = form.menuBar()->actions();
    QStringList titles;
    for (QAction* a : top)
        titles << a->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Setup", "&Strategies", "&Reports", "&Tracking", "&Help"}));
    EXPECT_EQ(form.strategiesAction->menu(), nullptr) << "the Parts' items stay top-level items";
    EXPECT_EQ(form.reportsAction->menu(), nullptr);
    auto* menu = form.findChild<QMenu*>("trackingMenu");
    ASSERT_NE(menu, nullptr);
    auto* overdue = form.findChild<QAction*>("overdueAction");
    auto* overview = form.findChild<QAction*>("overviewAction");
    ASSERT_TRUE(overdue && overview);
    EXPECT_EQ(overdue->text(), "&Overdue");
    EXPECT_EQ(overview->text(), "O&verview");

    dm->user().rights = data::ProfileRights();
    emit menu->aboutToShow();
    EXPECT_FALSE(overdue->isEnabled());
    EXPECT_FALSE(overview->isEnabled());
    dm->user().rights.canPrintReports = true;
    emit menu->aboutToShow();
    EXPECT_FALSE(overdue->isEnabled());
    EXPECT_TRUE(overview->isEnabled());
    dm->user().rights.canAddStrategies = true;
    emit menu->aboutToShow();
    EXPECT_TRUE(overdue->isEnabled());

    // Each item opens its window.
    dialogs.onModal = [](QDialog& d) { return d.result(); };
    overdue->trigger();
    overview->trigger();
    EXPECT_EQ(dialogs.modalTitles, QStringList({"Overdue", "Overview"}));
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.lastText().toStdString();
}

TEST_P(Tracking, OverdueListsSortsAndOpensTheStrategy) {
    planning::OverdueWindow form(*dm, desktop);
    EXPECT_EQ(form.windowTitle(), "Overdue");
    ASSERT_EQ(form.grid->model()->rowCount(), 2);
    EXPECT_EQ(form.model()->owner(0), "Mia") << "most overdue first";
    EXPECT_EQ(form.itemAt(0).daysOverdue, 3);
    EXPECT_EQ(form.model()->owner(1), "Yan");
    EXPECT_EQ(form.grid->model()->index(0, 4).data().toString(),
              QDate::currentDate().addDays(-3).toString("MM/dd/yyyy"));
    form.grid->sortByColumn(0, Qt::DescendingOrder);
    EXPECT_EQ(form.model()->owner(0), "Yan");
    EXPECT_TRUE(form.summaryLabel->text().startsWith("2 items are overdue on "));

    // The double click opens the editor on that very strategy.
    qint64 shown = 0;
    dialogs.onModal = [&](QDialog& d) {
        shown = dm->strategyTable.field("StrategyID").asInteger();
        return d.result();
    };
    form.gridDoubleClicked(0);
    EXPECT_EQ(dialogs.modalTitles.value(dialogs.modalTitles.size() - 1), "Strategy Edit");
    EXPECT_EQ(shown, form.itemAt(0).strategyID);
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.lastText().toStdString();

    // Export: the list in the order shown, read back by another program.
    TempDir out;
    dialogs.saveAs = out.file("overdue.csv");
    form.exportButton->click();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.lastText().toStdString();
    QVector<QStringList> rows;
    QString why;
    if (readCsvWithPython(out.file("overdue.csv"), &rows, &why)) {
        ASSERT_EQ(rows.size(), 3);
        EXPECT_EQ(rows[0],
                  QStringList({"Owner", "Goal", "Number", "Measurement", "Completion Date", "Days Overdue"}));
        EXPECT_EQ(rows[1][0], "Yan") << "sorted as shown";
        EXPECT_EQ(rows[2], QStringList({"Mia", "G", "1", "",
                                        QDate::currentDate().addDays(-3).toString(Qt::ISODate), "3"}));
    }

    // Only what one may see: without the right to see everyone, Yan's strategy is gone.
    dm->user().rights.canViewAllStrategies = false;
    planning::OverdueWindow mine(*dm, desktop);
    EXPECT_EQ(mine.grid->model()->rowCount(), 1);
}

TEST_P(Tracking, TheEditorFromTheListShowsTheStrategysGoalAndTheListFollowsItsChanges) {
    // A strategy of another year and goal, of a user the next person may only see; the goal list
    // stands on another goal, as the strategy list leaves it.
    const int earlier = addGoal("Earlier aim", year - 1, type, you, me);
    strategy(earlier, you, QDate::currentDate().addDays(-20), false);
    ASSERT_TRUE(dm->goalsTable.locate("GoalDescription", "G"));
    const int seer = addUser("SEER", "", "Sam", addProfile("Staff", {"CanAddStrategy"}));
    addAccess(seer, you, false);
    ASSERT_TRUE(logOnAs("SEER"));

    QString goalShown;
    bool readOnly = false;
    dialogs.onModal = [&](QDialog& d) {
        auto* e = dynamic_cast<planning::StrategyEditor*>(&d);
        if (!e) return d.result();
        e->onActivate();
        goalShown = e->goalEdit->text();
        readOnly = e->isReadOnly();
        return d.result();
    };
    planning::OverdueWindow seen(*dm, desktop);
    ASSERT_EQ(seen.grid->model()->rowCount(), 2) << "Yan's two late strategies";
    EXPECT_EQ(seen.model()->goal(0), "Earlier aim");
    seen.gridDoubleClicked(0);
    EXPECT_EQ(goalShown, "Earlier aim");
    EXPECT_TRUE(readOnly) << "Sam may only see Yan's strategies";
    // From the keyboard: Enter on a row opens it too.
    goalShown.clear();
    seen.grid->setCurrentIndex(seen.grid->model()->index(1, 0));
    QTest::keyClick(seen.grid, Qt::Key_Return);
    EXPECT_EQ(goalShown, "G");

    // Completed in the editor: the strategy leaves the list as the editor closes.
    ASSERT_TRUE(logOnAs("ME"));
    planning::OverdueWindow all(*dm, desktop);
    ASSERT_EQ(all.grid->model()->rowCount(), 3);
    dialogs.onModal = [&](QDialog& d) {
        auto* e = dynamic_cast<planning::StrategyEditor*>(&d);
        if (!e) return d.result();
        e->onActivate();
        EXPECT_FALSE(e->isReadOnly());
        dm->strategyTable.edit();
        dm->strategyTable.field("Compleated").setValue(true);
        e->saveClicked();
        return e->result();
    };
    all.gridDoubleClicked(0);
    EXPECT_EQ(all.grid->model()->rowCount(), 2);
    EXPECT_TRUE(all.summaryLabel->text().startsWith("2 items are overdue on "));
    EXPECT_EQ(all.model()->goal(0), "G") << "still most overdue first";
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.lastText().toStdString();
}

TEST_P(Tracking, OverviewShowsCountsChartPrintsAndExports) {
    reports::OverviewWindow form(*dm, desktop);
    EXPECT_EQ(form.windowTitle(), "Overview");
    EXPECT_EQ(form.yearSpin->value(), year);
    ASSERT_EQ(form.userGrid->rowCount(), 2);
    EXPECT_EQ(form.userGrid->item(0, 0)->text(), "Mia");
    EXPECT_EQ(form.userGrid->item(0, 1)->text(), "Sales");
    EXPECT_EQ(form.userGrid->item(0, 2)->text(), "3");
    EXPECT_EQ(form.userGrid->item(0, 3)->text(), "1");
    EXPECT_EQ(form.userGrid->item(0, 4)->text(), "2");
    EXPECT_EQ(form.userGrid->item(0, 5)->text(), "1");
    ASSERT_EQ(form.departmentGrid->rowCount(), 2);
    EXPECT_EQ(form.departmentGrid->findItems("(no department)", Qt::MatchExactly).size(), 1) << "Yan";
    EXPECT_EQ(form.totalLabel->text(), "Total: 4 strategies, 1 completed, 3 open, 2 overdue");
    ASSERT_NE(form.chartView->chart(), nullptr);
    EXPECT_EQ(form.chartView->chart()->series().size(), 1);

    // Another year: nothing to count.
    form.yearSpin->setValue(year - 1);
    EXPECT_EQ(form.userGrid->rowCount(), 0);
    EXPECT_EQ(form.totalLabel->text(), "Total: 0 strategies, 0 completed, 0 open, 0 overdue");
    form.yearSpin->setValue(year);

    // Export: the table shown, read back by another program.
    TempDir out;
    dialogs.saveAs = out.file("overview.csv");
    form.exportButton->click();
    QVector<QStringList> rows;
    QString why;
    if (readCsvWithPython(out.file("overview.csv"), &rows, &why)) {
        ASSERT_EQ(rows.size(), 3);
        EXPECT_EQ(rows[0], QStringList({"User", "Department", "Strategies", "Completed", "Open", "Overdue"}));
        EXPECT_EQ(rows[1], QStringList({"Mia", "Sales", "3", "1", "2", "1"}));
    }

    // Print: through the print dialog, here to a PDF file.
    dm->user().settings.sendToPrinter = true;
    dialogs.printToFile = out.file("overview.pdf");
    form.printButton->click();
    EXPECT_EQ(dialogs.printDialogs, 1);
    ASSERT_TRUE(QFile::exists(out.file("overview.pdf")));
    QProcess p;
    p.start("pdftotext", {"-layout", out.file("overview.pdf"), "-"});
    p.waitForFinished(30000);
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(text.contains("Overview")) << text.toStdString();
    EXPECT_TRUE(text.contains("Sales"));
    EXPECT_TRUE(text.contains("Mia"));
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.lastText().toStdString();

    // A cancelled print dialog prints nothing.
    QFile::remove(out.file("overview.pdf"));
    dialogs.printAnswers = {false};
    form.printButton->click();
    EXPECT_FALSE(QFile::exists(out.file("overview.pdf")));
}

TEST_P(Tracking, OverviewOnManyUsersShowsFullNamesRoundStepsAndHeadingsOnEveryPrintedPage) {
    EXPECT_EQ(reports::OverviewWindow::axisStep(0), 1);
    EXPECT_EQ(reports::OverviewWindow::axisStep(9), 2);
    EXPECT_EQ(reports::OverviewWindow::axisStep(33), 5);
    EXPECT_EQ(reports::OverviewWindow::axisStep(4312), 1000) << "not 539";
    EXPECT_EQ(reports::OverviewWindow::axisStep(120000), 20000);

    const int all = addProfile("Staff", {"CanAddStrategy"});
    const int support = insertRow(dm->departmentTable, {{"Description", "Customer Support And Services"}});
    const int g = addGoal("Many", year, type);
    const QDate due = QDate::currentDate().addDays(3);
    for (int i = 0; i < 90; ++i) {
        const int u =
            addUser(QString("AA%1").arg(i), "", QString("Alice Anderson %1").arg(1300 + i), all, support);
        for (int k = 0; k <= i % 4; ++k)
            strategy(g, u, due, k == 0);
    }
    reports::OverviewWindow form(*dm, desktop);
    form.show();
    QApplication::processEvents();
    QTableWidget* grid = form.userGrid;
    ASSERT_EQ(grid->rowCount(), 92);
    const QFontMetrics fm(grid->font());
    for (int r = 0; r < grid->rowCount(); ++r) {
        const QTableWidgetItem* name = grid->item(r, 0);
        EXPECT_EQ(name->toolTip(), name->text());
        EXPECT_GE(grid->columnWidth(0), fm.horizontalAdvance(name->text())) << name->text().toStdString();
    }
    EXPECT_EQ(grid->textElideMode(), Qt::ElideMiddle) << "a narrowed column keeps the names apart";

    // The chart's count axis steps in round numbers.
    QChart* chart = form.chartView->chart();
    auto axes = chart->axes(Qt::Horizontal);
    ASSERT_EQ(axes.size(), 1);
    auto* counts = qobject_cast<QValueAxis*>(axes[0]);
    ASSERT_NE(counts, nullptr);
    double mantissa = counts->tickInterval();
    while (mantissa >= 10)
        mantissa /= 10;
    EXPECT_TRUE(mantissa == 1 || mantissa == 2 || mantissa == 5) << counts->tickInterval();
    EXPECT_LE(counts->max() / counts->tickInterval(), 8);

    // Printed: the heading row on every page of the users' table, across the page's width.
    TempDir out;
    dm->user().settings.sendToPrinter = true;
    dialogs.printToFile = out.file("many.pdf");
    form.printButton->click();
    ASSERT_TRUE(QFile::exists(out.file("many.pdf")));
    QProcess info;
    info.start("pdfinfo", {out.file("many.pdf")});
    info.waitForFinished(30000);
    const int pages = QRegularExpression(R"(Pages:\s+(\d+))")
                          .match(QString::fromUtf8(info.readAllStandardOutput()))
                          .captured(1)
                          .toInt();
    ASSERT_GE(pages, 3);
    int usersPages = 0;
    for (int p = 1; p <= pages; ++p) {
        QProcess text;
        text.start("pdftotext", {"-layout", "-f", QString::number(p), "-l", QString::number(p),
                                 out.file("many.pdf"), "-"});
        text.waitForFinished(30000);
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        if (!page.contains("Alice Anderson")) continue;
        ++usersPages;
        EXPECT_TRUE(page.contains(
            QRegularExpression(R"(User\s+Department\s+Strategies\s+Completed\s+Open\s+Overdue)")))
            << "page " << p << "\n"
            << page.toStdString();
    }
    EXPECT_GE(usersPages, 2);
    QProcess boxes;
    boxes.start("pdftotext", {"-bbox", "-f", "2", "-l", "2", out.file("many.pdf"), "-"});
    boxes.waitForFinished(30000);
    const QString xhtml = QString::fromUtf8(boxes.readAllStandardOutput());
    double right = 0;
    for (auto it = QRegularExpression(R"re(xMax="([\d.]+)")re").globalMatch(xhtml); it.hasNext();)
        right = std::max(right, it.next().captured(1).toDouble());
    const double width =
        QRegularExpression(R"re(<page width="([\d.]+)")re").match(xhtml).captured(1).toDouble();
    EXPECT_GT(right, width * 0.88) << "the table uses the page's width";
    EXPECT_LT(right, width);
}

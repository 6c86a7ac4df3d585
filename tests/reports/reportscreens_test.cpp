// The reports screen and the deliverable report screen: their controls, the query texts they
// write, the strategies those select from rows written here, and printing and previewing.

#include "controls/DataGrid.h"
#include "controls/DatePicker.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/RadioGroup.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "engine/Database.h"
#include "reports/PrintGoalsDialog.h"
#include "reports/ReportFixture.h"
#include "reports/ReportsWindow.h"
#include "support/PythonCsv.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <algorithm>
#include <gtest/gtest.h>

using testing_support::pdfPages;
using testing_support::pdfText;

namespace {
const QString kHead = "Select S.*, G.GoalDescription, G.GoalYear, U.username, T.TypeDescription\n"
                      "From \"Strategys.db\" S, \"Goals.DB\" G, \"User.DB\" U, \"GoalType.DB\" T\n"
                      "Where S.GoalID = G.GoalID And\n";
const QString kOrder = "Order by s.UserNumber, G.GoalDescription, S.StrategyNumber";
QString d(const QDate& date) {
    return date.toString("MM/dd/yyyy");
}
} // namespace

class ReportScreens : public testing_support::ReportFixture {
protected:
    void SetUp() override {
        ReportFixture::SetUp();
        fourth = addUser("fourth", "", "Fred Fourth", staff);
        otherType = insertRow(dm->goalTypeTable, {{"TypeDescription", "Personal"}});
        dm->goalTypeTable.locate("GoalTypeID", type);
        addAccess(me, other, false);
        addAccess(me, third, true);
        logOn();
        alpha = addGoal("Alpha goal", year, type, me, me);
        beta = addGoal("Beta global", year, type, {}, me);
        lastYear = addGoal("Last year's", year - 1, type, me, me);
        personal = addGoal("Personal goal", year, otherType, me, me);
        s1 = addStrategy(alpha, me, 1, {{"Compleated", true}, {"CompleationDate", march10}});
        s2 = addStrategy(alpha, me, 2);
        s3 = addStrategy(beta, other, 1, {{"Compleated", true}, {"CompleationDate", march20}});
        s4 = addStrategy(beta, fourth, 1);
        s5 = addStrategy(alpha, me, 3, {{"DoNotPrint", true}});
        s6 = addStrategy(lastYear, me, 1);
        s7 = addStrategy(personal, me, 1);
        s8 = addStrategy(beta, me, 1);
    }
    QList<int> build(reports::ReportsWindow& form, int kind) {
        form.reportType->setItemIndex(kind);
        form.reportTypeClicked();
        form.buildStrategyQuery();
        QList<int> ids = selected(form.strategyQuery);
        form.strategyQuery.close();
        return ids;
    }
    QList<int> build(reports::PrintGoalsDialog& form, int kind) {
        form.printOptions->setItemIndex(kind);
        form.optionChosen();
        form.buildStrategyQuery();
        QList<int> ids = selected(form.strategyQuery);
        form.strategyQuery.close();
        return ids;
    }
    // The strategy list's selection, as the print goals screen reads it.
    void listShows(int goalId, int user, int goalYear) {
        dm->setStrategySelection({goalId, user});
        dm->setGoalFilter({.year = goalYear, .type = type, .byUser = true, .user = user});
    }
    // What the strategy list hands its print choice for the selection made by listShows.
    reports::ListedStrategies listed() const {
        return {*dm->goalFilter().year, dm->goalFilter().type, dm->strategySelection().goal,
                dm->strategySelection().user};
    }
    QDate march10{QDate::currentDate().year(), 3, 10};
    QDate march20{QDate::currentDate().year(), 3, 20};
    int fourth = 0, otherType = 0, alpha = 0, beta = 0, lastYear = 0, personal = 0;
    int s1 = 0, s2 = 0, s3 = 0, s4 = 0, s5 = 0, s6 = 0, s7 = 0, s8 = 0;
};
VARDIMO_ON_ALL_STORES(ReportScreens);

TEST_P(ReportScreens, ReportsScreenControlsAndItsQueryText) {
    dm->setGoalFilter({.year = std::nullopt, .byUser = true});
    reports::ReportsWindow form(*dm, desktop);
    EXPECT_EQ(form.windowTitle(), "Reports");
    EXPECT_FALSE(dm->goalFilter().byUser);
    EXPECT_EQ(form.reportType->title(), "Report Type");
    EXPECT_EQ(form.findChildren<QRadioButton*>().size(), 3)
        << "no Deliverable Report without multiple measurements";
    EXPECT_EQ(form.reportType->itemIndex(), 0);
    EXPECT_EQ(form.goalSpin->value(), year);
    EXPECT_EQ(form.goalTypeBox->keyValue().toInt(), type);
    EXPECT_EQ(form.goalTypeBox->currentText(), "Corporate");
    EXPECT_EQ(form.startDatePicker->date(), QDate::currentDate());
    EXPECT_EQ(form.endDatePicker->date(), QDate::currentDate().addDays(1));
    for (QWidget* w :
         {static_cast<QWidget*>(form.startDatePicker), static_cast<QWidget*>(form.endDatePicker)}) {
        EXPECT_FALSE(w->isEnabled());
        EXPECT_EQ(w->palette().color(QPalette::Base), QPalette().color(QPalette::Button));
    }
    EXPECT_TRUE(form.printButton->isEnabled());
    EXPECT_FALSE(form.noGoalTypeLabel->isVisibleTo(&form));

    EXPECT_EQ(build(form, 0), QList<int>({s1, s2, s8, s3})) << "own first, then the users he may see";
    const QString visible = QString("S.UserNumber In (%1, %2, %3) And\n").arg(me).arg(other).arg(third);
    const QString tail =
        QString("G.GoalYear = %1 And\nG.GoalTypeID = %2 And\nS.DoNotPrint = False\n").arg(year).arg(type) +
        kOrder;
    const QString joins = "S.Usernumber = U.UserNumber And\nG.GoalTypeID = T.GoalTypeID And\n";
    EXPECT_EQ(form.strategyQuery.text(), kHead + joins + visible + tail);

    form.startDatePicker->setDate(march10);
    form.endDatePicker->setDate(march10);
    EXPECT_EQ(build(form, 1), QList<int>({s1})) << "a completion date on the range's end counts";
    EXPECT_TRUE(form.startDatePicker->isEnabled());
    EXPECT_EQ(form.endDatePicker->palette().color(QPalette::Base), QPalette().color(QPalette::Base));
    EXPECT_EQ(
        form.strategyQuery.text(),
        kHead + joins + visible +
            QString(
                "S.Compleated = True And S.CompleationDate >= \"%1\" And S.CompleationDate <= \"%1\" And\n")
                .arg(d(march10)) +
            tail);
    form.endDatePicker->setDate(march20);
    EXPECT_EQ(build(form, 1), QList<int>({s1, s3}));
    form.startDatePicker->setDate(march20.addDays(1));
    EXPECT_TRUE(build(form, 1).isEmpty()) << "start after end selects nothing";

    EXPECT_EQ(build(form, 2), QList<int>({s2, s8})) << "the dates play no part";
    EXPECT_FALSE(form.startDatePicker->isEnabled());
    EXPECT_EQ(form.startDatePicker->date(), march20.addDays(1)) << "the dates keep their values";
    EXPECT_EQ(form.strategyQuery.text(), kHead + joins + visible + "S.Compleated = False And\n" + tail);
    EXPECT_FALSE(form.strategyQuery.text().contains("Completion"));
}

TEST_P(ReportScreens, ViewAllNoGoalYearAndTheDeliverableReport) {
    viewAll();
    dm->user().settings.noGoalYear = true;
    dm->user().settings.multipleMeasures = true;
    const QDate start(year, 6, 1), end(year, 6, 30);
    addMeasure(s2, 1, {{"CompleationDate", start}});
    addMeasure(s3, 1, {{"CompleationDate", end}});
    addMeasure(s1, 1, {{"CompleationDate", end.addDays(1)}});
    addMeasure(s2, 2, {{"CompleationDate", QDate(year, 6, 15)}, {"Compleated", true}});
    addMeasure(s4, 1);
    reports::ReportsWindow form(*dm, desktop);
    EXPECT_FALSE(form.goalSpin->isVisibleTo(&form));
    EXPECT_FALSE(form.yearLabel->isVisibleTo(&form));
    EXPECT_EQ(form.findChildren<QRadioButton*>().size(), 4);
    form.goalSpin->setValue(2001);

    EXPECT_EQ(build(form, 0), QList<int>({s1, s2, s8, s6, s3, s4})) << "every user, every year";
    EXPECT_FALSE(form.strategyQuery.text().contains("S.UserNumber In"));
    EXPECT_FALSE(form.strategyQuery.text().contains("GoalYear ="));

    form.startDatePicker->setDate(start);
    form.endDatePicker->setDate(end);
    EXPECT_EQ(build(form, 3), QList<int>({s2, s3}))
        << "a measurement on either end counts; its flag does not";
    EXPECT_TRUE(form.endDatePicker->isEnabled());
    // The list follows the order the measurements came in, which a query without an order
    // leaves to the store: the strategy of each measurement, in any order.
    const QRegularExpressionMatch list =
        QRegularExpression(R"(\nS\.StrategyID in \(-1,(\d+),(\d+),(\d+)\) and\nG\.GoalTypeID = )")
            .match(form.strategyQuery.text());
    ASSERT_TRUE(list.hasMatch()) << form.strategyQuery.text().toStdString();
    QList<int> listed{list.captured(1).toInt(), list.captured(2).toInt(), list.captured(3).toInt()};
    std::sort(listed.begin(), listed.end());
    QList<int> expected{s2, s2, s3};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected) << form.strategyQuery.text().toStdString();

    form.startDatePicker->setDate(end.addDays(2));
    EXPECT_TRUE(build(form, 3).isEmpty());
    EXPECT_TRUE(form.strategyQuery.text().contains("S.StrategyID in (-1) and"));
}

TEST_P(ReportScreens, PrintClosesThePreviewStaysAndTheTitleIsOnEveryPage) {
    dm->user().settings.sendToPrinter = true;
    const QString pdf = dir.file("reports.pdf");
    dialogs.printToFile = pdf;
    {
        reports::ReportsWindow form(*dm, desktop);
        form.reportTitle->setText("Quarterly");
        dialogs.printAnswers = {false};
        form.printClicked();
        EXPECT_FALSE(QFile::exists(pdf));
        EXPECT_NE(form.result(), QDialog::Accepted) << "a cancelled dialog does nothing";
        EXPECT_FALSE(form.strategyQuery.isOpen());

        form.printClicked();
        EXPECT_EQ(form.result(), QDialog::Accepted) << "Print closes the screen";
        EXPECT_FALSE(form.strategyQuery.isOpen());
        EXPECT_FALSE(form.strategyQuery.prepared());
    }
    ASSERT_EQ(pdfPages(pdf), 4);
    const QString text = pdfText(pdf);
    EXPECT_EQ(text.count(QRegularExpression("Mary Me Corporate Quarterly")), 3);
    EXPECT_EQ(text.count(QRegularExpression("Otto Other Corporate Quarterly")), 1);
    EXPECT_TRUE(pdfText(pdf, 4).contains("Beta global"));

    dm->user().settings.sendToPrinter = false;
    reports::ReportsWindow form(*dm, desktop);
    form.previewClicked();
    EXPECT_EQ(dialogs.printDialogs, 2) << "Preview shows no print dialog";
    EXPECT_EQ(dialogs.modalTitles, QStringList({"Print Preview"}));
    EXPECT_NE(form.result(), QDialog::Accepted) << "Preview leaves the screen open";
    form.printClicked();
    EXPECT_EQ(dialogs.modalTitles.size(), 2) << "without SendToPrinter, Print previews after the dialog";
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_P(ReportScreens, ExportWritesWhatPrintWouldPrint) {
    const QString text = "Commas, \"quotes\"\nand a second line";
    const QString formula = "=HYPERLINK(\"http://x\")";
    dm->strategyTable.locate("StrategyID", s2);
    dm->strategyTable.edit();
    dm->strategyTable.field("StrategyDescription").setValue(text);
    dm->strategyTable.field("Responsibility").setValue(formula);
    dm->strategyTable.field("CommentsStatus").setValue("Grüße, 日本語");
    dm->strategyTable.field("CompleationDate").setValue(march20);
    dm->strategyTable.post();
    reports::ReportsWindow form(*dm, desktop);
    form.reportTitle->setText("Quarterly");
    const QList<int> printed = build(form, 2);
    ASSERT_EQ(printed, QList<int>({s2, s8}));

    // A cancelled file dialog writes nothing and says nothing.
    form.exportButton->click();
    ASSERT_EQ(dialogs.saveSuggestions.size(), 1);
    EXPECT_TRUE(dialogs.saveSuggestions[0].endsWith(QString("/strategies-%1.csv").arg(year)));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(form.strategyQuery.isOpen());

    dialogs.saveAs = dir.file("report.csv");
    form.exportButton->click();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.lastText().toStdString();
    EXPECT_NE(form.result(), QDialog::Accepted) << "Export leaves the screen open";
    EXPECT_FALSE(form.strategyQuery.isOpen()) << "closed, as after Print";
    EXPECT_FALSE(form.strategyQuery.prepared());

    QVector<QStringList> rows;
    QString why;
    if (!testing_support::readCsvWithPython(dialogs.saveAs, &rows, &why)) GTEST_SKIP() << why.toStdString();
    ASSERT_EQ(rows.size(), 3) << "a header and the two strategies Print selects";
    EXPECT_EQ(rows[0], QStringList({"Goal ID", "Goal Year", "Goal Type", "Goal", "User", "Strategy Number",
                                    "Strategy", "Responsibility", "Deliverable", "Measurement",
                                    "Completion Date", "Additional Resources", "Comments/Status", "Completed",
                                    "Do Not Print", "Modified By", "Modified Date"}));
    const QStringList first = rows[1].mid(0, 15);
    EXPECT_EQ(first, QStringList({QString::number(alpha), QString::number(year), "Corporate", "Alpha goal",
                                  "Mary Me", "2", text, "'" + formula, "", "", march20.toString(Qt::ISODate),
                                  "", "Grüße, 日本語", "False", "False"}))
        << "the one change to a value is the apostrophe before a formula";
    EXPECT_EQ(rows[2].mid(0, 6), QStringList({QString::number(beta), QString::number(year), "Corporate",
                                              "Beta global", "Mary Me", "1"}))
        << "in Print's order";
}

TEST_P(ReportScreens, ExportWithMeasurementItemsWritesTheItemsAsTheReportPrintsThem) {
    dm->user().settings.multipleMeasures = true;
    dm->strategyTable.locate("StrategyID", s2);
    dm->strategyTable.edit();
    dm->strategyTable.field("Deliverable").setValue("own deliverable, not shown in this mode");
    dm->strategyTable.field("Measurement").setValue("own measurement, not shown in this mode");
    dm->strategyTable.post();
    addMeasure(s2, 2,
               {{"Deliverable", "Second\nin two lines"},
                {"Measurement", "M2"},
                {"CompleationDate", march20},
                {"Compleated", true}});
    addMeasure(s2, 1, {{"Deliverable", "First"}, {"Measurement", "M1"}});
    addMeasure(s1, 1, {{"Deliverable", "not selected"}});
    reports::ReportsWindow form(*dm, desktop);
    ASSERT_EQ(build(form, 2), QList<int>({s2, s8}));
    dialogs.saveAs = dir.file("items.csv");
    form.exportButton->click();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.lastText().toStdString();

    QVector<QStringList> rows;
    QString why;
    if (!testing_support::readCsvWithPython(dialogs.saveAs, &rows, &why)) GTEST_SKIP() << why.toStdString();
    ASSERT_EQ(rows.size(), 3);
    ASSERT_EQ(rows[0].mid(8, 2), QStringList({"Deliverable", "Measurement"}));
    // The report's paragraphs as lines, in number order: an item's completion line, empty when
    // it has neither date nor mark, then a blank line after a completion that says something.
    EXPECT_EQ(
        rows[1].mid(8, 2),
        QStringList({"1#. First\n\n2#. Second\nin two lines\nCompletion Date: " + d(march20) + " Completed",
                     "1#. M1\n\n2#. M2"}));
    EXPECT_EQ(rows[2].mid(8, 2), QStringList({"", ""})) << "a strategy without items";
}

TEST_P(ReportScreens, WithoutAGoalTypeThereIsNothingToPrint) {
    // Past the rights of "me", who may not change goal types.
    engine::Table* owners = ownersTable(dm->goalTypeTable);
    engine::Table& types = owners ? *owners : dm->goalTypeTable;
    types.first();
    while (!types.isEmpty())
        types.remove();
    dm->goalTypeTable.refresh();
    reports::ReportsWindow form(*dm, desktop);
    EXPECT_FALSE(form.printButton->isEnabled());
    EXPECT_FALSE(form.previewButton->isEnabled());
    EXPECT_FALSE(form.exportButton->isEnabled());
    EXPECT_TRUE(form.noGoalTypeLabel->isVisibleTo(&form));
    EXPECT_TRUE(form.noGoalTypeLabel->text().contains("goal type"));
}

TEST_P(ReportScreens, DeliverableReportOverMoreKeysThanSQLiteBinds) {
    viewAll();
    dm->user().settings.multipleMeasures = true;
    {
        engine::Transaction tx(storedDatabase());
        engine::Inserter rows(storedDatabase(), "Measure.db",
                              {"StrategyID", "MeasurementNumber", "CompleationDate"});
        for (int i = 0; i < 40000; ++i)
            rows.add({i % 2 ? s3 : s7, i + 1, QDate(year, 7, 1 + i % 28).toString(Qt::ISODate)});
        tx.commit();
    }
    dm->goalDatabase.notifyChanged("measure");
    reports::ReportsWindow form(*dm, desktop);
    form.startDatePicker->setDate(QDate(year, 7, 1));
    form.endDatePicker->setDate(QDate(year, 7, 31));
    EXPECT_EQ(build(form, 3), QList<int>({s3})) << "the other strategy is of another goal type";
    const QString line = form.strategyQuery.sql().line(5);
    EXPECT_TRUE(line.startsWith("S.StrategyID in (-1,"));
    EXPECT_TRUE(line.endsWith(") and"));
    EXPECT_EQ(line.count(','), 40000) << "one key per measurement";
}

TEST_P(ReportScreens, PrintGoalsItemsAndTheirQueries) {
    listShows(alpha, me, year);
    // The list hands its print choice what it shows when it opens it: a new one per selection.
    auto f = std::make_unique<reports::PrintGoalsDialog>(*dm, listed(), desktop);
    EXPECT_EQ(f->windowTitle(), "Print Goals");
    EXPECT_EQ(f->printOptions->title(), "Print Options");
    EXPECT_EQ(f->findChildren<QRadioButton*>().size(), 2);
    EXPECT_FALSE(f->startDatePicker->isEnabled());
    EXPECT_EQ(f->endDatePicker->date(), QDate::currentDate().addDays(1));
    const QString head = kHead + "G.GoalTypeID = T.GoalTypeID And\nS.Usernumber = U.UserNumber And\n"
                                 "S.DoNotPrint = False And\n";
    const QString common = QString("G.GoalTypeID = %1 And\nG.GoalYear = %2 And\n").arg(type).arg(year);

    EXPECT_EQ(build(*f, 0), QList<int>({s1, s2}));
    EXPECT_EQ(f->strategyQuery.text(), head + QString("S.GoalID = %1 And\n").arg(alpha) + common +
                                           QString("S.UserNumber = %1\n").arg(me) + kOrder);
    f->startDatePicker->setDate(QDate(2001, 1, 1));
    f->endDatePicker->setDate(QDate(2001, 1, 2));
    EXPECT_EQ(build(*f, 1), QList<int>({s1, s2, s8})) << "every goal, the dates ignored";
    EXPECT_EQ(f->strategyQuery.text(), head + common + QString("S.UserNumber = %1\n").arg(me) + kOrder);

    listShows(-1, me, year);
    f = std::make_unique<reports::PrintGoalsDialog>(*dm, listed(), desktop);
    EXPECT_TRUE(build(*f, 0).isEmpty()) << "no goal selected";
    EXPECT_TRUE(f->strategyQuery.text().contains("S.GoalID = -1 And"));

    dm->user().settings.noGoalYear = true;
    listShows(lastYear, me, year - 1);
    f = std::make_unique<reports::PrintGoalsDialog>(*dm, listed(), desktop);
    EXPECT_EQ(build(*f, 0), QList<int>({s6})) << "the hidden year still counts";
    EXPECT_TRUE(f->strategyQuery.text().contains(QString("G.GoalYear = %1 And").arg(year - 1)));
    listShows(alpha, other, year);
    f = std::make_unique<reports::PrintGoalsDialog>(*dm, listed(), desktop);
    EXPECT_EQ(build(*f, 1), QList<int>({s3})) << "the listed user's strategies";
    EXPECT_FALSE(f->strategyQuery.text().contains(" In ")) << "no access-list line here";
}

TEST_P(ReportScreens, PrintGoalsDeliverableReportPrintAndPreview) {
    dm->user().settings.multipleMeasures = true;
    const QDate start(year, 9, 1), end(year, 9, 30);
    addMeasure(s8, 1, {{"CompleationDate", start}});
    addMeasure(s2, 1, {{"CompleationDate", end}});
    addMeasure(s3, 1, {{"CompleationDate", end}});
    listShows(alpha, me, year);
    reports::PrintGoalsDialog form(*dm, listed(), desktop);
    EXPECT_EQ(form.findChildren<QRadioButton*>().size(), 3);
    form.startDatePicker->setDate(start);
    form.endDatePicker->setDate(end);
    EXPECT_EQ(build(form, 2), QList<int>({s2, s8}));
    EXPECT_TRUE(form.startDatePicker->isEnabled());
    EXPECT_TRUE(form.strategyQuery.text().endsWith(
        QString("S.UserNumber = %1 And\nS.StrategyID in (-1,%2,%3,%4)\n").arg(me).arg(s8).arg(s2).arg(s3) +
        kOrder));
    form.startDatePicker->setDate(end.addDays(1));
    EXPECT_TRUE(build(form, 2).isEmpty()) << "start after end";
    form.printOptions->setItemIndex(0);
    form.optionChosen();
    EXPECT_FALSE(form.endDatePicker->isEnabled());

    dm->user().settings.sendToPrinter = true;
    const QString pdf = dir.file("goals.pdf");
    dialogs.printToFile = pdf;
    form.previewClicked();
    EXPECT_EQ(dialogs.modalTitles, QStringList({"Print Preview"}));
    EXPECT_EQ(dialogs.printDialogs, 0);
    EXPECT_NE(form.result(), QDialog::Accepted);
    form.printClicked();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.strategyQuery.isOpen());
    EXPECT_EQ(pdfPages(pdf), 2);
    const QString text = pdfText(pdf);
    EXPECT_EQ(text.count("Mary Me Corporate"), 2);
    EXPECT_FALSE(text.contains("Corporate Quarterly"));
}

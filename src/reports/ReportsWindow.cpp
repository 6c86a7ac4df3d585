#include "reports/ReportsWindow.h"

#include "controls/DatePicker.h"
#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/LookupComboBox.h"
#include "controls/RadioGroup.h"
#include "controls/SpinBox.h"
#include "data/CsvExport.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "printing/Printer.h"
#include "reports/CsvFile.h"
#include "reports/StrategyReport.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace reports {

namespace sql = engine::sql;

engine::sql::IntList strategyIdsByMeasureDate(data::DataModule& dm, const QDate& start, const QDate& end) {
    sql::IntList list;
    list.separator = QStringLiteral(",");
    list.parenthesised = false;
    list.values << -1;
    engine::Query q(dm.goalDatabase);
    q.add("Select * From \"Measure.db\" Where");
    q.add("CompleationDate >= ", sql::Date{start}, " And");
    q.add("CompleationDate <= ", sql::Date{end});
    q.open();
    list.values.reserve(q.recordCount() + 1);
    for (q.first(); !q.eof(); q.next())
        list.values << q.field(QStringLiteral("StrategyID")).asInteger();
    return list;
}

namespace {
// The visible-user set "(12, 4, 9)" as typed numbers, so that it is bound, not spliced.
sql::IntList visibleUsers(const data::CurrentUser& user) {
    sql::IntList users;
    for (int u : user.visibleUsers())
        users.values << u;
    return users;
}
} // namespace

ReportsWindow::ReportsWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), strategyQuery(dm.goalDatabase), dm_(dm) {
    setWindowTitle(QStringLiteral("Reports"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* lay = new QVBoxLayout(this);
    buildSelection(lay);
    QStringList kinds{QStringLiteral("All Goals"), QStringLiteral("All Completed Goals"),
                      QStringLiteral("All Uncompleted Goals")};
    if (dm_.user().settings.multipleMeasures) kinds << QStringLiteral("Deliverable Report");
    reportType = new controls::RadioGroup(QStringLiteral("Report Type"), kinds, this);
    reportType->setItemIndex(0);
    lay->addWidget(reportType);
    buildCompletedDates(lay);

    noGoalTypeLabel = new QLabel(QStringLiteral("There is no goal type to report on: enter a goal type "
                                                "on the goal types screen first."),
                                 this);
    noGoalTypeLabel->setWordWrap(true);
    lay->addWidget(noGoalTypeLabel);
    lay->addStretch();
    buildButtonBar(lay);
    connectSignals();

    onCreate();
    setFixedSize(sizeHint().expandedTo(QSize(380, 0)));
}

void ReportsWindow::buildSelection(QVBoxLayout* lay) {
    auto* form = new QFormLayout;
    titleLabel = new QLabel(QStringLiteral("Report Title:"), this);
    reportTitle = new QLineEdit(this);
    form->addRow(titleLabel, reportTitle);
    yearLabel = new QLabel(QStringLiteral("Goal Year:"), this);
    goalSpin = new controls::SpinBox(2000, 2100, this);
    form->addRow(yearLabel, goalSpin);
    goalTypeLabel = new QLabel(QStringLiteral("Goal Type:"), this);
    goalTypeBox = new controls::LookupComboBox(this);
    goalTypeBox->setList(&dm_.goalTypeSource, QStringLiteral("GoalTypeID"),
                         QStringLiteral("TypeDescription"));
    form->addRow(goalTypeLabel, goalTypeBox);
    titleLabel->setBuddy(reportTitle);
    yearLabel->setBuddy(goalSpin);
    goalTypeLabel->setBuddy(goalTypeBox);
    lay->addLayout(form);
}

void ReportsWindow::buildCompletedDates(QVBoxLayout* lay) {
    completedGroup = new QGroupBox(QStringLiteral("Compleated Goals"), this);
    auto* dates = new QFormLayout(completedGroup);
    startDateLabel = new QLabel(QStringLiteral("Completion Start Date:"), completedGroup);
    startDatePicker = new controls::DatePicker(completedGroup);
    endDateLabel = new QLabel(QStringLiteral("Completion End Date:"), completedGroup);
    endDatePicker = new controls::DatePicker(completedGroup);
    startDateLabel->setBuddy(startDatePicker);
    endDateLabel->setBuddy(endDatePicker);
    dates->addRow(startDateLabel, startDatePicker);
    dates->addRow(endDateLabel, endDatePicker);
    lay->addWidget(completedGroup);
}

void ReportsWindow::buildButtonBar(QVBoxLayout* lay) {
    previewButton = controls::button(QStringLiteral("Preview"), this);
    printButton = controls::button(QStringLiteral("Print"), this);
    cancelButton = controls::button(QStringLiteral("Cancel"), this);
    exportButton = controls::button(QStringLiteral("Export..."), this);
    exportButton->setObjectName(QStringLiteral("ExportBtn"));
    auto* buttons = controls::buttonBar(helpButton, {previewButton, printButton, cancelButton});
    buttons->insertWidget(1, exportButton); // beside Help, apart from the report's own buttons
    lay->addLayout(buttons);
}

void ReportsWindow::connectSignals() {
    connect(reportType, &controls::RadioGroup::clicked, this,
            controls::handler(this, [this] { reportTypeClicked(); }));
    connect(previewButton, &QPushButton::clicked, this,
            controls::handler(this, [this] { previewClicked(); }));
    connect(printButton, &QPushButton::clicked, this, controls::handler(this, [this] { printClicked(); }));
    connect(exportButton, &QPushButton::clicked, this, controls::handler(this, [this] { exportClicked(); }));
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(goalTypeBox, &controls::LookupComboBox::closeUp, this, [this] { updatePrintButtons(); });
    connect(&dm_.goalTypeSource, &engine::DataSource::rowsChanged, this, [this] { updatePrintButtons(); });
}

void ReportsWindow::onCreate() {
    startDatePicker->setDate(QDate::currentDate());
    endDatePicker->setDate(QDate::currentDate().addDays(1));
    controls::setControlEnabled(startDatePicker, false);
    controls::setControlEnabled(endDatePicker, false);
    if (dm_.user().settings.noGoalYear) {
        yearLabel->hide();
        goalSpin->hide();
    }
    data::GoalFilter shown = dm_.goalFilter();
    shown.byUser = false;
    dm_.setGoalFilter(shown);
    engine::Table& types = dm_.goalTypeTable;
    if (types.isOpen() && !types.isEmpty())
        goalTypeBox->setKeyValue(types.field(QStringLiteral("GoalTypeID")).value());
    goalSpin->setValue(QDate::currentDate().year());
    updatePrintButtons();
}

void ReportsWindow::updatePrintButtons() {
    // The query needs a goal type key; without one there is nothing to ask for.
    const QVariant type = goalTypeBox->keyValue();
    const bool chosen = type.isValid() && !type.isNull() && goalTypeBox->currentIndex() >= 0;
    printButton->setEnabled(chosen);
    previewButton->setEnabled(chosen);
    exportButton->setEnabled(chosen);
    noGoalTypeLabel->setVisible(!chosen);
}

void ReportsWindow::reportTypeClicked() {
    const int kind = reportType->itemIndex();
    const bool dated = kind == 1 || kind == 3;
    controls::setControlEnabled(startDatePicker, dated);
    controls::setControlEnabled(endDatePicker, dated);
}

void ReportsWindow::buildStrategyQuery() {
    engine::Query& q = strategyQuery;
    const int kind = reportType->itemIndex();
    beginStrategyQuery(q);
    if (!dm_.user().rights.canViewAllStrategies) q.add("S.UserNumber In ", visibleUsers(dm_.user()), " And");
    if (kind == 1)
        q.add("S.Compleated = True And S.CompleationDate >= ", sql::Date{startDatePicker->date()},
              " And S.CompleationDate <= ", sql::Date{endDatePicker->date()}, " And");
    if (kind == 2) q.add("S.Compleated = False And");
    if (kind == 3)
        q.add("S.StrategyID in (",
              strategyIdsByMeasureDate(dm_, startDatePicker->date(), endDatePicker->date()), ") and");
    if (!dm_.user().settings.noGoalYear) q.add("G.GoalYear = ", sql::Int{goalSpin->value()}, " And");
    q.add("G.GoalTypeID = ", sql::Int{goalTypeBox->keyValue().toLongLong()}, " And");
    q.add("S.DoNotPrint = False");
    q.add("Order by s.UserNumber, G.GoalDescription, S.StrategyNumber");
    q.prepare();
    q.open();
}

void ReportsWindow::printClicked() {
    QPrinter& printer = printing::currentPrinter();
    if (!desktop().dialogs().print(printer, this)) return;
    runStrategySelection(
        dm_, strategyQuery, [this] { buildStrategyQuery(); },
        dm_.user().settings.sendToPrinter ? &printer : nullptr, reportTitle->text(), desktop(), this);
    accept();
}

void ReportsWindow::previewClicked() {
    runStrategySelection(
        dm_, strategyQuery, [this] { buildStrategyQuery(); }, nullptr, reportTitle->text(), desktop(), this);
}

void ReportsWindow::exportClicked() {
    engine::Query& q = strategyQuery;
    // Leave the query closed, as Print and Preview do, also when a step fails.
    struct CloseAfter {
        engine::Query& q;
        ~CloseAfter() {
            q.close();
            q.unprepare();
        }
    } closeAfter{q};
    buildStrategyQuery();
    const QString name = dm_.user().settings.noGoalYear
                             ? QStringLiteral("strategies.csv")
                             : QStringLiteral("strategies-%1.csv").arg(goalSpin->value());
    exportCsvFile(desktop(), this, name, [this, &q](QIODevice& out, QString* error) {
        return data::csv::exportStrategyRows(dm_.goalDatabase, q, dm_.user().settings.multipleMeasures, out,
                                             error);
    });
}

} // namespace reports

#include "reports/ReportsWindow.h"

#include "controls/DatePicker.h"
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

namespace sql = engine::sql;

engine::sql::IntList StrategyIDsByMeasureDate(DataModule& dm, const QDate& start, const QDate& end) {
    sql::IntList list;
    list.separator = QStringLiteral(",");
    list.parenthesised = false;
    list.values << -1;
    engine::Query q(dm.GoalDatabase);
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
sql::IntList visibleUsers(const CurrentUser& user) {
    sql::IntList users;
    for (int u : user.visibleUsers())
        users.values << u;
    return users;
}
} // namespace

ReportsWindow::ReportsWindow(DataModule& dm, QWidget* parent)
    : controls::Screen(parent), strategyQuery(dm.GoalDatabase), dm_(dm) {
    setWindowTitle(QStringLiteral("Reports"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* lay = new QVBoxLayout(this);
    buildSelection(lay);
    QStringList kinds{QStringLiteral("All Goals"), QStringLiteral("All Completed Goals"),
                      QStringLiteral("All Uncompleted Goals")};
    if (dm_.user().settings.multipleMeasures) kinds << QStringLiteral("Deliverable Report");
    ReportType = new controls::RadioGroup(QStringLiteral("Report Type"), kinds, this);
    ReportType->setItemIndex(0);
    lay->addWidget(ReportType);
    buildCompletedDates(lay);

    NoGoalTypeLabel = new QLabel(QStringLiteral("There is no goal type to report on: enter a goal type "
                                                "on the goal types screen first."),
                                 this);
    NoGoalTypeLabel->setWordWrap(true);
    lay->addWidget(NoGoalTypeLabel);
    lay->addStretch();
    buildButtonBar(lay);
    connectSignals();

    FormCreate();
    setFixedSize(sizeHint().expandedTo(QSize(380, 0)));
}

void ReportsWindow::buildSelection(QVBoxLayout* lay) {
    auto* form = new QFormLayout;
    titleLabel = new QLabel(QStringLiteral("Report Title:"), this);
    ReportTitle = new QLineEdit(this);
    form->addRow(titleLabel, ReportTitle);
    yearLabel = new QLabel(QStringLiteral("Goal Year:"), this);
    GoalSpin = new controls::SpinBox(2000, 2100, this);
    form->addRow(yearLabel, GoalSpin);
    goalTypeLabel = new QLabel(QStringLiteral("Goal Type:"), this);
    goalTypeBox = new controls::LookupComboBox(this);
    goalTypeBox->setList(&dm_.GoalTypeSource, QStringLiteral("GoalTypeID"),
                         QStringLiteral("TypeDescription"));
    form->addRow(goalTypeLabel, goalTypeBox);
    titleLabel->setBuddy(ReportTitle);
    yearLabel->setBuddy(GoalSpin);
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
    PreviewBtn = controls::button(QStringLiteral("Preview"), this);
    PrintBtn = controls::button(QStringLiteral("Print"), this);
    cancelButton = controls::button(QStringLiteral("Cancel"), this);
    ExportBtn = controls::button(QStringLiteral("Export..."), this);
    ExportBtn->setObjectName(QStringLiteral("ExportBtn"));
    auto* buttons = controls::buttonBar(HelpBtn, {PreviewBtn, PrintBtn, cancelButton});
    buttons->insertWidget(1, ExportBtn); // beside Help, apart from the report's own buttons
    lay->addLayout(buttons);
}

void ReportsWindow::connectSignals() {
    connect(ReportType, &controls::RadioGroup::clicked, this,
            controls::handler([this] { ReportTypeClick(); }));
    connect(PreviewBtn, &QPushButton::clicked, this, controls::handler([this] { PreviewBtnClick(); }));
    connect(PrintBtn, &QPushButton::clicked, this, controls::handler([this] { PrintBtnClick(); }));
    connect(ExportBtn, &QPushButton::clicked, this, controls::handler([this] { ExportBtnClick(); }));
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(goalTypeBox, &controls::LookupComboBox::closeUp, this, [this] { updatePrintButtons(); });
    connect(&dm_.GoalTypeSource, &engine::DataSource::rowsChanged, this, [this] { updatePrintButtons(); });
}

void ReportsWindow::FormCreate() {
    startDatePicker->setDate(QDate::currentDate());
    endDatePicker->setDate(QDate::currentDate().addDays(1));
    controls::setControlEnabled(startDatePicker, false);
    controls::setControlEnabled(endDatePicker, false);
    if (dm_.user().settings.noGoalYear) {
        yearLabel->hide();
        GoalSpin->hide();
    }
    GoalFilter shown = dm_.goalFilter();
    shown.byUser = false;
    dm_.setGoalFilter(shown);
    engine::Table& types = dm_.GoalTypeTable;
    if (types.isOpen() && !types.isEmpty())
        goalTypeBox->setKeyValue(types.field(QStringLiteral("GoalTypeID")).value());
    HelpBtn->setVisible(controls::helpFileExists());
    GoalSpin->setValue(QDate::currentDate().year());
    updatePrintButtons();
}

void ReportsWindow::updatePrintButtons() {
    // The query needs a goal type key; without one there is nothing to ask for.
    const QVariant type = goalTypeBox->keyValue();
    const bool chosen = type.isValid() && !type.isNull() && goalTypeBox->currentIndex() >= 0;
    PrintBtn->setEnabled(chosen);
    PreviewBtn->setEnabled(chosen);
    ExportBtn->setEnabled(chosen);
    NoGoalTypeLabel->setVisible(!chosen);
}

void ReportsWindow::ReportTypeClick() {
    const int kind = ReportType->itemIndex();
    const bool dated = kind == 1 || kind == 3;
    controls::setControlEnabled(startDatePicker, dated);
    controls::setControlEnabled(endDatePicker, dated);
}

void ReportsWindow::BuildStrategyQuery() {
    engine::Query& q = strategyQuery;
    const int kind = ReportType->itemIndex();
    BeginStrategyQuery(q);
    if (!dm_.user().rights.canViewAllStrategies) q.add("S.UserNumber In ", visibleUsers(dm_.user()), " And");
    if (kind == 1)
        q.add("S.Compleated = True And S.CompleationDate >= ", sql::Date{startDatePicker->date()},
              " And S.CompleationDate <= ", sql::Date{endDatePicker->date()}, " And");
    if (kind == 2) q.add("S.Compleated = False And");
    if (kind == 3)
        q.add("S.StrategyID in (",
              StrategyIDsByMeasureDate(dm_, startDatePicker->date(), endDatePicker->date()), ") and");
    if (!dm_.user().settings.noGoalYear) q.add("G.GoalYear = ", sql::Int{GoalSpin->value()}, " And");
    q.add("G.GoalTypeID = ", sql::Int{goalTypeBox->keyValue().toLongLong()}, " And");
    q.add("S.DoNotPrint = False");
    q.add("Order by s.UserNumber, G.GoalDescription, S.StrategyNumber");
    q.prepare();
    q.open();
}

void ReportsWindow::PrintBtnClick() {
    QPrinter& printer = printing::currentPrinter();
    if (!controls::dialogs().print(printer, this)) return;
    RunStrategySelection(
        dm_, strategyQuery, [this] { BuildStrategyQuery(); },
        dm_.user().settings.sendToPrinter ? &printer : nullptr, ReportTitle->text(), this);
    accept();
}

void ReportsWindow::PreviewBtnClick() {
    RunStrategySelection(
        dm_, strategyQuery, [this] { BuildStrategyQuery(); }, nullptr, ReportTitle->text(), this);
}

void ReportsWindow::ExportBtnClick() {
    engine::Query& q = strategyQuery;
    // Leave the query closed, as Print and Preview do, also when a step fails.
    struct CloseAfter {
        engine::Query& q;
        ~CloseAfter() {
            q.close();
            q.unprepare();
        }
    } closeAfter{q};
    BuildStrategyQuery();
    const QString name = dm_.user().settings.noGoalYear
                             ? QStringLiteral("strategies.csv")
                             : QStringLiteral("strategies-%1.csv").arg(GoalSpin->value());
    ExportCsvFile(this, name, [this, &q](QIODevice& out, QString* error) {
        return csv::exportStrategyRows(dm_.GoalDatabase, q, dm_.user().settings.multipleMeasures, out, error);
    });
}

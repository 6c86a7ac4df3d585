#include "reports/PrintGoalsDialog.h"

#include "controls/DatePicker.h"
#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/RadioGroup.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "printing/Printer.h"
#include "reports/ReportsWindow.h"
#include "reports/StrategyReport.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace reports {

namespace sql = engine::sql;

PrintGoalsDialog::PrintGoalsDialog(data::DataModule& dm, const ListedStrategies& listed,
                                   controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), strategyQuery(dm.goalDatabase), dm_(dm), listed_(listed) {
    setWindowTitle(QStringLiteral("Print Goals"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* lay = new QVBoxLayout(this);
    QStringList items{QStringLiteral("Print All Strategies Under Selected Goal"),
                      QStringLiteral("Print All Goals And All Strategies")};
    if (dm_.user().settings.multipleMeasures) items << QStringLiteral("Deliverable Report");
    printOptions = new controls::RadioGroup(QStringLiteral("Print Options"), items, this);
    printOptions->setItemIndex(0);
    lay->addWidget(printOptions);

    auto* dates = new QFormLayout;
    startDateLabel = new QLabel(QStringLiteral("Completion Date Start:"), this);
    startDatePicker = new controls::DatePicker(this);
    endDateLabel = new QLabel(QStringLiteral("Completion Date End:"), this);
    endDatePicker = new controls::DatePicker(this);
    startDateLabel->setBuddy(startDatePicker);
    endDateLabel->setBuddy(endDatePicker);
    dates->addRow(startDateLabel, startDatePicker);
    dates->addRow(endDateLabel, endDatePicker);
    lay->addLayout(dates);
    lay->addStretch();

    auto* buttons = new QHBoxLayout;
    previewButton = controls::button(QStringLiteral("Preview"), this);
    printButton = controls::button(QStringLiteral("Print"), this);
    cancelButton = controls::button(QStringLiteral("Cancel"), this);
    buttons->addWidget(helpButton);
    buttons->addStretch();
    for (QPushButton* b : {previewButton, printButton, cancelButton})
        buttons->addWidget(b);
    lay->addLayout(buttons);

    connect(printOptions, &controls::RadioGroup::clicked, this,
            controls::handler(this, [this] { optionChosen(); }));
    connect(previewButton, &QPushButton::clicked, this,
            controls::handler(this, [this] { previewClicked(); }));
    connect(printButton, &QPushButton::clicked, this, controls::handler(this, [this] { printClicked(); }));
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    onCreate();
    setFixedSize(sizeHint().expandedTo(QSize(360, 0)));
}

void PrintGoalsDialog::onCreate() {
    startDatePicker->setDate(QDate::currentDate());
    endDatePicker->setDate(QDate::currentDate().addDays(1));
    controls::setControlEnabled(startDatePicker, false);
    controls::setControlEnabled(endDatePicker, false);
}

void PrintGoalsDialog::optionChosen() {
    const bool dated = printOptions->itemIndex() == 2;
    controls::setControlEnabled(startDatePicker, dated);
    controls::setControlEnabled(endDatePicker, dated);
}

void PrintGoalsDialog::buildStrategyQuery() {
    const int year = listed_.year;
    const int kind = printOptions->itemIndex();
    sql::IntList keys;
    if (kind == 2) keys = strategyIdsByMeasureDate(dm_, startDatePicker->date(), endDatePicker->date());

    engine::Query& q = strategyQuery;
    q.close();
    q.clear();
    q.add("Select S.*, G.GoalDescription, G.GoalYear, U.username, T.TypeDescription");
    q.add("From \"Strategys.db\" S, \"Goals.DB\" G, \"User.DB\" U, \"GoalType.DB\" T");
    q.add("Where S.GoalID = G.GoalID And");
    q.add("G.GoalTypeID = T.GoalTypeID And");
    q.add("S.Usernumber = U.UserNumber And");
    q.add("S.DoNotPrint = False And");
    if (kind == 0) q.add("S.GoalID = ", sql::Int{listed_.goal}, " And");
    q.add("G.GoalTypeID = ", sql::Int{listed_.goalType}, " And");
    q.add("G.GoalYear = ", sql::Int{year}, " And");
    if (kind == 2) {
        q.add("S.UserNumber = ", sql::Int{listed_.user}, " And");
        q.add("S.StrategyID in (", keys, ")");
    } else {
        q.add("S.UserNumber = ", sql::Int{listed_.user});
    }
    q.add("Order by s.UserNumber, G.GoalDescription, S.StrategyNumber");
    q.prepare();
    q.open();
}

void PrintGoalsDialog::printClicked() {
    QPrinter& printer = printing::currentPrinter();
    if (!desktop().dialogs().print(printer, this)) return;
    runStrategySelection(
        dm_, strategyQuery, [this] { buildStrategyQuery(); },
        dm_.user().settings.sendToPrinter ? &printer : nullptr, QString(), desktop(), this);
    accept();
}

void PrintGoalsDialog::previewClicked() {
    runStrategySelection(
        dm_, strategyQuery, [this] { buildStrategyQuery(); }, nullptr, QString(), desktop(), this);
}

} // namespace reports

#include "planning/OverdueWindow.h"

#include "controls/Desktop.h"
#include "controls/ErrorHandler.h"
#include "data/Csv.h"
#include "data/DataModule.h"
#include "planning/StrategyEditor.h"
#include "reports/CsvFile.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace planning {

OverdueWindow::OverdueWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), dm_(dm) {
    setWindowTitle(QStringLiteral("Overdue"));
    auto* lay = new QVBoxLayout(this);
    model_ = new OverdueModel(this);
    summaryLabel = new QLabel(this);
    lay->addWidget(summaryLabel);
    reload();
    grid = new QTableView(this);
    grid->setModel(model_);
    // Most overdue first, the order the list comes in: indicated before sorting is enabled, which
    // sorts by the indicated column (the first, unless told) at once.
    grid->horizontalHeader()->setSortIndicator(5, Qt::DescendingOrder);
    grid->setSortingEnabled(true);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
    // Widths from the captions, not from the contents: measuring every row of a long list
    // would cost more than reading it.
    grid->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    grid->setColumnWidth(0, 150);
    QFont bold = grid->horizontalHeader()->font();
    bold.setBold(true);
    for (int c = 2; c < 6; ++c)
        grid->setColumnWidth(
            c, QFontMetrics(bold).horizontalAdvance(QString::fromLatin1(OverdueModel::titles[c])) + 18);
    lay->addWidget(grid, 1);

    auto* buttons = new QHBoxLayout;
    exportButton = controls::button(QStringLiteral("Export..."), this);
    closeButton = controls::button(QStringLiteral("Close"), this);
    buttons->addWidget(helpButton);
    buttons->addStretch();
    buttons->addWidget(exportButton);
    buttons->addWidget(closeButton);
    lay->addLayout(buttons);

    // Activation is the double click, and also Enter for a person working from the keyboard.
    connect(grid, &QTableView::activated, this,
            controls::handler(this, [this](const QModelIndex& i) { gridDoubleClicked(i.row()); }));
    connect(exportButton, &QPushButton::clicked, this, controls::handler(this, [this] { exportClicked(); }));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    resize(960, 480);
}

void OverdueWindow::reload() {
    const QDate today = QDate::currentDate();
    model_->setItems(data::listOverdue(dm_, today));
    // Read again, the list keeps the order the person chose.
    if (grid)
        model_->sort(grid->horizontalHeader()->sortIndicatorSection(),
                     grid->horizontalHeader()->sortIndicatorOrder());
    summaryLabel->setText(QStringLiteral("%1 overdue on %2")
                              .arg(model_->rowCount() == 1
                                       ? QStringLiteral("1 item is")
                                       : QStringLiteral("%1 items are").arg(model_->rowCount()))
                              .arg(today.toString(QStringLiteral("MM/dd/yyyy"))));
}

const data::OverdueItem& OverdueWindow::itemAt(int viewRow) const {
    return model_->item(viewRow);
}

void OverdueWindow::gridDoubleClicked(int viewRow) {
    if (viewRow < 0 || viewRow >= model_->rowCount()) return;
    openStrategyEditorOn(dm_, itemAt(viewRow), desktop(), this);
    // A strategy completed or given another date in the editor leaves the list, or moves in it.
    reload();
}

void OverdueWindow::exportClicked() {
    reports::exportCsvFile(desktop(), this,
                           QStringLiteral("overdue-%1.csv").arg(QDate::currentDate().toString(Qt::ISODate)),
                           [this](QIODevice& out, QString* error) {
                               data::csv::Writer w(out);
                               QStringList titles;
                               for (const char* t : OverdueModel::titles)
                                   titles << QString::fromLatin1(t);
                               w.header(titles);
                               for (int r = 0; r < model_->rowCount() && w.ok(); ++r) {
                                   const data::OverdueItem& it = itemAt(r);
                                   w.add({model_->owner(r), model_->goal(r), it.strategyNumber,
                                          it.isMeasurement ? QVariant(it.measurementNumber) : QVariant(),
                                          it.due, it.daysOverdue});
                               }
                               if (!w.ok() && error) *error = w.error();
                               return w.ok();
                           });
}

void openStrategyEditorOn(data::DataModule& dm, const data::OverdueItem& item, controls::Desktop& desktop,
                          QWidget* parent) {
    engine::Table& s = dm.strategyTable;
    s.setFiltered(false);
    dm.setStrategySelection({int(item.goalID), item.userNumber});
    s.setFiltered(true);
    if (!s.locate(QStringLiteral("StrategyID"), item.strategyID)) {
        desktop.showError(QStringLiteral("This strategy no longer exists."));
        return;
    }
    // The editor names the goal on which the goal list stands, and the list stands wherever the
    // last screen left it: it is put on this strategy's goal, whichever year, type or user it has.
    engine::Table& goals = dm.goalsTable;
    goals.setFiltered(false);
    goals.locate(QStringLiteral("GoalID"), item.goalID);
    StrategyEditor editor(dm, desktop, parent);
    desktop.showModal(editor);
}

} // namespace planning

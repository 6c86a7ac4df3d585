#include "reports/OverviewWindow.h"

#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/SpinBox.h"
#include "data/Csv.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "engine/Query.h"
#include "printing/Printer.h"
#include "reports/CsvFile.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDate>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QValueAxis>

namespace reports {

namespace {

const QStringList kCountTitles{"Strategies", "Completed", "Open", "Overdue"};

QTableWidget* makeGrid(const QStringList& titles, QWidget* parent) {
    auto* g = new QTableWidget(0, int(titles.size()), parent);
    g->setHorizontalHeaderLabels(titles);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSortingEnabled(true);
    g->verticalHeader()->hide();
    g->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    // Names are shown in full; where a person narrows a column, the middle of a name gives way,
    // so that "Alice Anderson 1304" and "Alice Anderson 1305" still read apart.
    g->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    g->horizontalHeader()->setStretchLastSection(true);
    g->setTextElideMode(Qt::ElideMiddle);
    g->setWordWrap(false);
    return g;
}

void fill(QTableWidget* g, const QVector<data::ProgressRow>& rows, bool withDepartment) {
    g->setSortingEnabled(false);
    g->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const data::ProgressRow& row = rows[r];
        int c = 0;
        for (const QString& name :
             withDepartment ? QStringList{row.name, row.department} : QStringList{row.name}) {
            auto* item = new QTableWidgetItem(name);
            item->setToolTip(name);
            g->setItem(r, c++, item);
        }
        for (int n : {row.counts.strategies, row.counts.completed, row.counts.open, row.counts.overdue}) {
            auto* item = new QTableWidgetItem;
            item->setData(Qt::DisplayRole, n); // sorts as a number
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            g->setItem(r, c++, item);
        }
    }
    g->setSortingEnabled(true);
}

QString htmlTable(const QTableWidget* g) {
    // The heading row is the table's head, which a printed table repeats on every page.
    QString h =
        QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><thead><tr>");
    for (int c = 0; c < g->columnCount(); ++c)
        h += QStringLiteral("<th>%1</th>").arg(g->horizontalHeaderItem(c)->text().toHtmlEscaped());
    h += QStringLiteral("</tr></thead>");
    for (int r = 0; r < g->rowCount(); ++r) {
        h += QStringLiteral("<tr>");
        for (int c = 0; c < g->columnCount(); ++c) {
            const QTableWidgetItem* it = g->item(r, c);
            const bool number = it && it->data(Qt::DisplayRole).typeId() == QMetaType::Int;
            h += QStringLiteral("<td%1>%2</td>")
                     .arg(number ? QStringLiteral(" align=\"right\"") : QString(),
                          it ? it->text().toHtmlEscaped() : QString());
        }
        h += QStringLiteral("</tr>");
    }
    return h + QStringLiteral("</table>");
}

} // namespace

int OverviewWindow::axisStep(int highest) {
    // A round step (1, 2 or 5 times a power of ten) giving at most about eight steps over the
    // longest bar: 0, 200, 400 ... reads at a glance, 0, 539, 1078 ... does not.
    const int rough = std::max(1, (highest + 7) / 8);
    for (int power = 1;; power *= 10)
        for (int factor : {1, 2, 5})
            if (factor * power >= rough) return factor * power;
}

OverviewWindow::OverviewWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), dm_(dm) {
    setWindowTitle(QStringLiteral("Overview"));
    auto* lay = new QVBoxLayout(this);
    buildSelectionRow(lay);

    auto* split = new QSplitter(Qt::Horizontal, this);
    tabs = new QTabWidget(split);
    userGrid = makeGrid(QStringList{"User", "Department"} + kCountTitles, tabs);
    departmentGrid = makeGrid(QStringList{"Department"} + kCountTitles, tabs);
    tabs->addTab(userGrid, QStringLiteral("Users"));
    tabs->addTab(departmentGrid, QStringLiteral("Departments"));
    chartView = new QChartView(split);
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumSize(420, 320);
    split->addWidget(tabs);
    split->addWidget(chartView);
    // The tables show full names and four counts: they get the room for them, the chart the rest.
    split->setSizes({660, 420});
    lay->addWidget(split, 1);
    totalLabel = new QLabel(this);
    lay->addWidget(totalLabel);

    printButton = controls::button(QStringLiteral("Print"), this);
    exportButton = controls::button(QStringLiteral("Export..."), this);
    closeButton = controls::button(QStringLiteral("Close"), this);
    lay->addLayout(controls::buttonBar(helpButton, {printButton, exportButton, closeButton}));

    connect(printButton, &QPushButton::clicked, this, controls::handler(this, [this] { printClicked(); }));
    connect(exportButton, &QPushButton::clicked, this, controls::handler(this, [this] { exportClicked(); }));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(yearSpin, &QSpinBox::valueChanged, this, controls::handler(this, [this] { selectionChanged(); }));
    connect(typeCombo, &QComboBox::currentIndexChanged, this,
            controls::handler(this, [this] { selectionChanged(); }));
    resize(1120, 600);
    selectionChanged();
}

void OverviewWindow::buildSelectionRow(QVBoxLayout* lay) {
    yearLabel = new QLabel(QStringLiteral("Year:"), this);
    yearSpin = new controls::SpinBox(2000, 2100, this);
    yearSpin->setValue(QDate::currentDate().year());
    yearLabel->setBuddy(yearSpin);
    goalTypeLabel = new QLabel(QStringLiteral("Goal Type:"), this);
    typeCombo = new QComboBox(this);
    typeCombo->setFocusPolicy(Qt::StrongFocus); // a stray wheel turn does not change the selection
    goalTypeLabel->setBuddy(typeCombo);
    typeCombo->addItem(QStringLiteral("(all types)"), -1);
    {
        engine::Query q(dm_.goalDatabase);
        q.add("Select GoalTypeID, TypeDescription From \"GoalType.db\" Order By TypeDescription");
        q.open();
        for (int r = 0; r < q.recordCount(); ++r)
            typeCombo->addItem(q.valueAt(r, "TypeDescription").toString(), q.valueAt(r, "GoalTypeID"));
    }
    typeCombo->setMinimumContentsLength(20);
    lay->addLayout(controls::lineOf({yearLabel, yearSpin, goalTypeLabel, typeCombo}));
}

void OverviewWindow::selectionChanged() {
    overview_ = data::computeProgressOverview(dm_, yearSpin->value(), typeCombo->currentData().toInt());
    fill(userGrid, overview_.users, true);
    fill(departmentGrid, overview_.departments, false);
    const data::ProgressCounts& t = overview_.total;
    totalLabel->setText(QStringLiteral("Total: %1 strategies, %2 completed, %3 open, %4 overdue")
                            .arg(t.strategies)
                            .arg(t.completed)
                            .arg(t.open)
                            .arg(t.overdue));
    QChart* old = chartView->chart();
    chartView->setChart(makeChart());
    delete old; // a chart view does not own a chart it gives up
}

QString OverviewWindow::selectionText() const {
    return QStringLiteral("%1, %2").arg(yearSpin->value()).arg(typeCombo->currentText());
}

QChart* OverviewWindow::makeChart() const {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Strategies by department, %1").arg(selectionText()));
    // Horizontal bars: department names stay readable however many there are.
    auto* series = new QHorizontalBarSeries;
    const std::pair<const char*, QColor> sets[] = {{"Completed", QColor(0x2A, 0x9D, 0x5C)},
                                                   {"Open", QColor(0x3C, 0x7D, 0xC4)},
                                                   {"Overdue", QColor(0xB0, 0x1E, 0x23)}};
    // Bars are laid out from the bottom up: reversed, the departments read in order from the top.
    QVector<data::ProgressRow> rows(overview_.departments.rbegin(), overview_.departments.rend());
    QStringList categories;
    for (const data::ProgressRow& d : rows)
        categories << d.name;
    int highest = 0;
    for (int s = 0; s < 3; ++s) {
        auto* set = new QBarSet(QLatin1String(sets[s].first));
        set->setColor(sets[s].second);
        for (const data::ProgressRow& d : rows) {
            const int v = s == 0 ? d.counts.completed : s == 1 ? d.counts.open : d.counts.overdue;
            *set << v;
            highest = std::max(highest, v);
        }
        series->append(set);
    }
    chart->addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(categories);
    chart->addAxis(x, Qt::AlignLeft);
    series->attachAxis(x);
    auto* y = new QValueAxis;
    const int step = axisStep(highest);
    y->setRange(0, std::max(step, (highest + step - 1) / step * step));
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(step);
    y->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(y, Qt::AlignBottom);
    series->attachAxis(y);
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

void OverviewWindow::render(QPrinter& printer) {
    // The chart is drawn at a fixed size, independent of the window's.
    // The chart is laid out at 700 by 400 and drawn at twice that resolution, so that its text
    // keeps a readable size on paper.
    const QSizeF size(700, 400);
    QImage picture((size * 2).toSize(), QImage::Format_ARGB32);
    picture.fill(Qt::white);
    {
        QGraphicsScene scene;
        QChart* chart = makeChart();
        scene.addItem(chart); // the scene owns it
        chart->setGeometry(QRectF(QPointF(0, 0), size));
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing);
        scene.render(&p, QRectF(QPointF(0, 0), size * 2), QRectF(QPointF(0, 0), size));
    }
    QTextDocument doc;
    doc.setDefaultFont(QFont(QStringLiteral("Times New Roman"), 10));
    doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("chart.png")), picture);
    const data::ProgressCounts& t = overview_.total;
    doc.setHtml(QStringLiteral("<h1>Overview</h1><p>%1 &mdash; %2 strategies, %3 completed, %4 open, "
                               "%5 overdue (printed %6)</p>"
                               "<h2>Departments</h2>%7<p><img src=\"chart.png\" width=\"620\"></p>"
                               "<h2>Users</h2>%8")
                    .arg(selectionText().toHtmlEscaped())
                    .arg(t.strategies)
                    .arg(t.completed)
                    .arg(t.open)
                    .arg(t.overdue)
                    .arg(QDate::currentDate().toString(QStringLiteral("MM/dd/yyyy")))
                    .arg(htmlTable(departmentGrid), htmlTable(userGrid)));
    // A document printed this way keeps a margin of its own (2 cm) inside the printer's; with the
    // printer's set to nothing, the tables get the width of the paper less that one margin.
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    doc.print(&printer);
}

void OverviewWindow::printClicked() {
    QPrinter& printer = printing::currentPrinter();
    if (!desktop().dialogs().print(printer, this)) return;
    if (dm_.user().settings.sendToPrinter) {
        render(printer);
        return;
    }
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            controls::handler(this, [this](QPrinter* p) { render(*p); }));
    desktop().showModal(preview);
}

void OverviewWindow::exportClicked() {
    const bool users = tabs->currentWidget() == userGrid;
    const QTableWidget* g = users ? userGrid : departmentGrid;
    exportCsvFile(
        desktop(), this,
        QStringLiteral("overview-%1-%2.csv").arg(users ? "users" : "departments").arg(yearSpin->value()),
        [g](QIODevice& out, QString* error) {
            data::csv::Writer w(out);
            QStringList titles;
            for (int c = 0; c < g->columnCount(); ++c)
                titles << g->horizontalHeaderItem(c)->text();
            w.header(titles);
            // In the order shown, as the person sorted it.
            for (int r = 0; r < g->rowCount() && w.ok(); ++r) {
                QVariantList values;
                for (int c = 0; c < g->columnCount(); ++c)
                    values << (g->item(r, c) ? g->item(r, c)->data(Qt::DisplayRole) : QVariant());
                w.add(values);
            }
            if (!w.ok() && error) *error = w.error();
            return w.ok();
        });
}

} // namespace reports

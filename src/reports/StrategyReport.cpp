#include "reports/StrategyReport.h"

#include "controls/Desktop.h"
#include "controls/Screen.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/MeasurementItems.h"
#include "printing/Printer.h"

#include <QDir>
#include <QImageReader>
#include <QScopeGuard>
#include <functional>

namespace reports {

using printing::Paragraph;
using printing::RichDocument;
namespace sql = engine::sql;

namespace {
constexpr double kIndent = 50; // points: 1000 twips
constexpr auto BI = Paragraph::Style::BoldItalic;
constexpr auto B = Paragraph::Style::Bold;
constexpr auto P = Paragraph::Style::Plain;

QString text(engine::DataSet& ds, const char* name) {
    return ds.field(QString::fromLatin1(name)).asString();
}

} // namespace

StrategyReport::StrategyReport(data::DataModule& dm, engine::Query& rows, QObject* owner)
    : printing::Report(&rows, owner), strategyBand(detail), dm_(dm), rows_(rows) {
    printIfEmpty = true;
    pageHeader.enabled = false;
    strategyBand.height = 44.7;
    strategyBand.stretch = true;
    strategyBand.forceNewPage = true;

    // Drawn first, so that the titles lie over it.
    logoImage = strategyBand.add<printing::Picture>(QRectF(0, -0.3, 76.5, 21.7));
    logoImage->stretch = false;
    titleLabel = strategyBand.add<printing::Label>(QRectF(0, 0, 190.5, 9.8));
    titleLabel->font = reportFont(24);
    titleLabel->alignment = Qt::AlignHCenter | Qt::AlignTop;
    titleLabel->autoSize = false;
    titleLabel->followsRightEdge = true;
    subtitleLabel = strategyBand.add<printing::Label>(QRectF(2.1, 8.5, 190.5, 5.8));
    subtitleLabel->font = reportFont(14);
    subtitleLabel->alignment = Qt::AlignHCenter | Qt::AlignTop;
    subtitleLabel->autoSize = false;
    subtitleLabel->followsRightEdge = true;
    richData = strategyBand.add<printing::RichTextBox>(QRectF(0, 22.5, 190.0, 26.5));
    richData->font = reportFont(10);
    richData->followsRightEdge = true;

    // A strategy of many pages can be put back in order: every page after its first says
    // whose strategy it continues, and every page has its number.
    rowName = QStringLiteral("strategy");
    const double width = layoutWidthMm();
    continuationHeader.stretch = true;
    continuationHeader.height = 11;
    continuedTitleLabel = continuationHeader.add<printing::Label>(QRectF(0, 0, width, 5));
    continuedTitleLabel->font = reportFont(12);
    continuedTitleLabel->alignment = Qt::AlignHCenter | Qt::AlignTop;
    continuedTitleLabel->autoSize = false;
    continuedTitleLabel->wrap = true;
    continuedTitleLabel->followsRightEdge = true;
    continuedStrategyLabel = continuationHeader.add<printing::Label>(QRectF(0, 5.5, width / 2 - 1, 4.5));
    continuedStrategyLabel->font = reportFont(10, true, true);
    continuedStrategyLabel->autoSize = false;
    continuedStrategyLabel->wrap = true;
    continuedOwnerLabel = continuationHeader.add<printing::Label>(QRectF(width / 2, 5.5, width / 2, 4.5));
    continuedOwnerLabel->font = reportFont(10, true, true);
    continuedOwnerLabel->alignment = Qt::AlignRight | Qt::AlignTop;
    continuedOwnerLabel->autoSize = false;
    continuedOwnerLabel->wrap = true;
    continuedOwnerLabel->followsRightEdge = true;
    pageFooter.height = 6;
    pageNumberText = pageFooter.add<printing::PrintInfoText>(QRectF(0, 1.5, width, 4.5));
    pageNumberText->kind = printing::PrintInfoText::Kind::PageNumber;
    pageNumberText->prefix = QStringLiteral("Page: ");
    pageNumberText->font = reportFont(10);
    pageNumberText->alignment = Qt::AlignRight;
    pageNumberText->followsRightEdge = true;

    beforePrint = [this] { startPrint(); };
    beforeDetail = [this] { prepareStrategy(); };
    afterPrint = [this] { finishPrint(); };
}

StrategyReport::~StrategyReport() = default;

void StrategyReport::startPrint() {
    scratch_ = std::make_unique<RichDocument>();
}

void StrategyReport::finishPrint() {
    richData->document = nullptr;
    scratch_.reset();
    if (!logoProblem_.isEmpty() && !logoTold_) {
        logoTold_ = true;
        if (onWarning) onWarning(logoProblem_);
    }
}

void StrategyReport::loadLogo(const QString& path) {
    // The file is read once per run; a file that cannot be read leaves the page without a
    // logo rather than half composed, and the person is told after the run.
    if (path == logoPath_) return;
    logoPath_ = path;
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull()) {
        logoImage->image = QImage();
        logoProblem_ = QStringLiteral("The report logo %1 cannot be read (%2); the report is printed "
                                      "without it.")
                           .arg(QDir::toNativeSeparators(path), reader.errorString());
        return;
    }
    logoImage->image = std::move(image);
}

void StrategyReport::prepareStrategy() {
    data::DataModule& dm = dm_;
    engine::Query& row = rows_;
    if (!scratch_) startPrint();

    const engine::Field id = row.field(QStringLiteral("StrategyID"));
    const qint64 key = id.isNull() ? -1 : id.asInteger();

    engine::Table& settings = dm.settingsTable;
    if (!settings.field(QStringLiteral("ReportBitMap")).isNull())
        loadLogo(settings.field(QStringLiteral("ReportBitMap")).asString());
    titleLabel->caption = text(settings, "ReportTitle1");
    subtitleLabel->caption = text(settings, "ReportTitle2");

    RichDocument& doc = *scratch_;
    doc.clear();
    if (!row.field(QStringLiteral("GoalYear")).isNull() && !dm.user().settings.noGoalYear)
        doc.append(QStringLiteral("Goal Year: ") + text(row, "GoalYear"), BI);
    doc.append(text(row, "username") + QLatin1Char(' ') + text(row, "TypeDescription") + QLatin1Char(' ') +
                   titleSuffix,
               BI);
    doc.append(text(row, "GoalDescription"), BI);
    doc.append(QString(), P);
    doc.append(QString(), P);
    doc.append(QStringLiteral("STRATEGY # ") + text(row, "StrategyNumber"), BI);
    doc.appendLines(text(row, "StrategyDescription"), P, kIndent);
    doc.append(QString(), P, kIndent);
    doc.append(QStringLiteral("RESPONSIBILITY:"), BI);
    doc.appendLines(text(row, "Responsibility"), P, kIndent);
    doc.append(QString(), P, kIndent);
    doc.append(QStringLiteral("DELIVERABLE:"), BI);
    appendDeliverables(doc, key);
    doc.append(QStringLiteral("MEASUREMENT:"), BI);
    appendMeasurements(doc, key);
    doc.append(QStringLiteral("COMPLETION DATE:"), BI);
    QString completion = text(row, "CompleationDate");
    if (row.field(QStringLiteral("Compleated")).asBoolean()) completion += QStringLiteral(" Completed");
    doc.append(completion, P, kIndent);
    doc.append(QString(), P, kIndent);
    doc.append(QStringLiteral("ADDITIONAL RESOURCES (if any):"), BI);
    doc.appendLines(text(row, "AddationalResources"), P, kIndent);
    doc.append(QString(), P, kIndent);
    doc.append(QStringLiteral("COMMENTS/STATUS:"), BI);
    doc.appendLines(text(row, "CommentsStatus"), P, kIndent);
    doc.append(QString(), P, kIndent);

    richData->document = &doc;

    continuedTitleLabel->caption = titleLabel->caption;
    continuedStrategyLabel->caption =
        QStringLiteral("STRATEGY # %1 (continued)").arg(text(row, "StrategyNumber"));
    continuedOwnerLabel->caption = text(row, "username");
}

namespace {
// The measurement items of a strategy, in number order.
QList<data::items::Item> itemsOf(data::DataModule& dm, qint64 strategyKey) {
    engine::Query q(dm.goalDatabase);
    q.add("Select * From \"Measure.db\" Where");
    q.add("StrategyID = ", sql::Int{strategyKey});
    q.add("Order By MeasurementNumber");
    q.open();
    return data::items::read(q);
}

void appendSection(RichDocument& doc, const QList<data::items::Paragraph>& section) {
    for (const data::items::Paragraph& p : section)
        doc.appendLines(p.text, p.bold ? B : P, kIndent);
}
} // namespace

void StrategyReport::appendDeliverables(RichDocument& doc, qint64 strategyKey) {
    engine::Query& strategy = rows_;
    if (!dm_.user().settings.multipleMeasures) {
        doc.appendLines(text(strategy, "Deliverable"), P, kIndent);
        doc.append(QString(), P, kIndent);
        return;
    }
    appendSection(doc, data::items::deliverables(itemsOf(dm_, strategyKey)));
}

void StrategyReport::appendMeasurements(RichDocument& doc, qint64 strategyKey) {
    engine::Query& strategy = rows_;
    if (!dm_.user().settings.multipleMeasures) {
        const QString own = text(strategy, "Measurement");
        doc.appendLines(own, P, kIndent);
        if (!own.isEmpty()) doc.append(QString(), P, kIndent);
        return;
    }
    appendSection(doc, data::items::measurements(itemsOf(dm_, strategyKey)));
}

// ---- Running the report for the screens -----------------------------------------------------

void runStrategyReport(data::DataModule& dm, engine::Query& rows, QPrinter* printer,
                       const QString& titleSuffix, const controls::Desktop& desktop, QWidget* parent) {
    // The rows are read once: closed on leaving, also on an error, so no read stays open.
    const auto release = qScopeGuard([&rows] {
        rows.close();
        rows.unprepare();
    });
    if (!rows.isOpen()) return;
    StrategyReport report(dm, rows, parent);
    report.titleSuffix = titleSuffix;
    report.onWarning = [&desktop](const QString& message) { desktop.showError(message); };
    if (printer)
        report.print(*printer);
    else
        report.preview(parent, [&desktop](QDialog& d) { return desktop.showModal(d); });
}

void printStrategyReport(data::DataModule& dm, engine::Query& rows, bool preview,
                         const controls::Desktop& desktop, QWidget* parent) {
    // The rows are read once: closed on leaving, also on an error, so no read stays open.
    const auto release = qScopeGuard([&rows] {
        rows.close();
        rows.unprepare();
    });
    if (preview) {
        runStrategyReport(dm, rows, nullptr, QString(), desktop, parent);
        return;
    }
    QPrinter& printer = printing::currentPrinter();
    if (!desktop.dialogs().print(printer, parent)) return;
    runStrategyReport(dm, rows, dm.user().settings.sendToPrinter ? &printer : nullptr, QString(), desktop,
                      parent);
}

void beginStrategyQuery(engine::Query& q) {
    q.close();
    q.clear();
    q.add("Select S.*, G.GoalDescription, G.GoalYear, U.username, T.TypeDescription");
    q.add("From \"Strategys.db\" S, \"Goals.DB\" G, \"User.DB\" U, \"GoalType.DB\" T");
    q.add("Where S.GoalID = G.GoalID And");
    q.add("S.Usernumber = U.UserNumber And");
    q.add("G.GoalTypeID = T.GoalTypeID And");
}

void runStrategySelection(data::DataModule& dm, engine::Query& rows, const std::function<void()>& build,
                          QPrinter* printer, const QString& titleSuffix, const controls::Desktop& desktop,
                          QWidget* parent) {
    try {
        build();
    } catch (...) {
        rows.close();
        rows.unprepare();
        throw;
    }
    runStrategyReport(dm, rows, printer, titleSuffix, desktop, parent);
}

} // namespace reports

#pragma once

#include "printing/Band.h"
#include "printing/DrawContext.h"

#include <QDateTime>
#include <QFont>
#include <QObject>
#include <QPageSize>
#include <QString>
#include <functional>

class QDialog;
class QPainter;
class QPrinter;
class QWidget;

namespace engine {
class DataSet;
}

namespace printing {

class PrintProgress;

// A banded report bound to a data set: a page header on every page, a detail band per row walked
// from the first row, and a page footer at the foot of every page. 0.5 inch margins, "Times New
// Roman" 10 pt; laid out for US Letter portrait, the default paper, and printed on the paper the
// printer is set up with: items that follow the right edge keep to that paper's margins.
// A detail band taller than the rest of its page continues on the next pages, cut between lines,
// under the continuation header. A printer that cannot be written to is an engine::Error, never an
// empty result. A long run shows its progress and may be cancelled: nothing is left printed.
class Report : public QObject {
    Q_OBJECT
public:
    explicit Report(engine::DataSet* data, QObject* parent = nullptr);
    ~Report() override;

    engine::DataSet* dataSet() const { return data_; }
    Band pageHeader;
    Band detail;
    // At the top of a page that a detail band continues onto, below the page header.
    Band continuationHeader;
    Band pageFooter;
    QFont font;
    double marginMm = 12.7;
    // The printable width the layout was made for: US Letter less the margins.
    double layoutWidthMm() const { return 215.9 - 2 * marginMm; }

    std::function<void()> beforePrint;
    std::function<void()> afterPrint;
    std::function<void()> beforeDetail; // once per row, before its band is measured and drawn
    // An empty data set still prints the detail band once, from empty values.
    bool printIfEmpty = false;
    // The pages are counted before they are printed, so that a page can say "n of m".
    bool countPages = false;

    // The progress window appears for runs of more rows (or pages) than this.
    int progressAbove = 25;
    QWidget* progressParent = nullptr;
    // What a row is called in the progress window ("Page 12 (strategy 10 of 400)").
    QString rowName = QStringLiteral("row");
    // Called as every page is begun, with its number.
    std::function<void(int page)> onPage;

    // Renders every page onto the printer as it is set up (its paper and orientation).
    void print(QPrinter& printer);
    void printToPdf(const QString& file, const QPageSize& paper = QPageSize(QPageSize::Letter));
    // The modal preview, from which one may print, on the paper chosen in printer setup;
    // showModal runs it (tests pass their own).
    void preview(QWidget* parent, const std::function<int(QDialog&)>& showModal = {});
    int pageCount() const { return pages_; }
    // Whether the last run was cancelled in its progress window; its output is then gone.
    bool cancelled() const { return cancelled_; }
    // The pages of the run, when they are counted; 0 otherwise.
    int pageTotal() const { return pageTotal_; }
    // One time for the whole run, taken as it starts.
    QDateTime printedAt() const { return printedAt_; }

    // A new font in the report's family.
    QFont reportFont(double points, bool bold = false, bool italic = false) const;

private:
    void render(QPrinter& printer);
    // Lays out every page; draws them when `painter` is given, else only counts them.
    void walk(QPrinter& printer, QPainter* painter, PrintProgress* progress);
    void drawBand(Band& band, DrawContext& c, double top, double height);
    // Draws the part [offset, offset + height) of a band at `top` of the page.
    void drawSlice(Band& band, DrawContext& c, double top, double offset, double height);
    double breakAt(Band& band, DrawContext& c, double limit);
    double bandHeight(Band& band, DrawContext& c);
    engine::DataSet* data_;
    int pages_ = 0;
    int pageTotal_ = 0;
    bool cancelled_ = false;
    QDateTime printedAt_;
    QWidget* previewWindow_ = nullptr; // while the preview runs
};

} // namespace printing

#pragma once

#include "printing/Band.h"
#include "printing/DrawContext.h"

#include <QFont>
#include <QObject>
#include <QString>
#include <functional>

class QDialog;
class QPrinter;
class QWidget;

namespace engine {
class DataSet;
}

namespace printing {

// A banded report bound to a data set: a page header on every page and a detail band per row,
// walked from the first row. US Letter portrait, 0.5 inch margins, "Times New Roman" 10 pt.
// A detail band taller than the rest of its page continues on the next pages, cut between lines.
// A printer that cannot be written to is an engine::Error, never an empty result.
class Report : public QObject {
    Q_OBJECT
public:
    explicit Report(engine::DataSet* data, QObject* parent = nullptr);
    ~Report() override;

    engine::DataSet* dataSet() const { return data_; }
    Band pageHeader;
    Band detail;
    QFont font;
    double marginMm = 12.7;

    std::function<void()> beforePrint;
    std::function<void()> afterPrint;
    std::function<void()> beforeDetail; // once per row, before its band is measured and drawn
    // An empty data set still prints the detail band once, from empty values.
    bool printIfEmpty = false;

    // Renders every page onto the printer as it is set up.
    void print(QPrinter& printer);
    void printToPdf(const QString& file);
    // The modal preview, from which one may print; showModal runs it (tests pass their own).
    void preview(QWidget* parent, const std::function<int(QDialog&)>& showModal = {});
    int pageCount() const { return pages_; }
    static void prepare(QPrinter& printer);

    // A new font in the report's family.
    QFont reportFont(double points, bool bold = false, bool italic = false) const;

private:
    void render(QPrinter& printer);
    void drawBand(Band& band, DrawContext& c, double top, double height);
    // Draws the part [offset, offset + height) of a band at `top` of the page.
    void drawSlice(Band& band, DrawContext& c, double top, double offset, double height);
    double breakAt(Band& band, DrawContext& c, double limit);
    double bandHeight(Band& band, DrawContext& c);
    engine::DataSet* data_;
    int pages_ = 0;
};

} // namespace printing

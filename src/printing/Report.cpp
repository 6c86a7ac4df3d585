#include "printing/Report.h"

#include "engine/DataSet.h"
#include "engine/Error.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QTimer>
#include <exception>

namespace printing {

Report::Report(engine::DataSet* data, QObject* parent) : QObject(parent), data_(data) {
    font = QFont(QStringLiteral("Times New Roman"), 10);
    pageHeader.height = 0;
    detail.height = 0;
}

Report::~Report() = default;

QFont Report::reportFont(double points, bool bold, bool italic) const {
    QFont f = font;
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

void Report::prepare(QPrinter& printer) {
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(false);
}

double Report::bandHeight(Band& band, DrawContext& c) {
    double h = band.height;
    if (band.stretch)
        for (auto& item : band.items)
            if (item->visible) h = std::max(h, item->geometry.y() + item->contentHeight(c));
    return h;
}

void Report::drawBand(Band& band, DrawContext& c, double top, double height) {
    c.bandTop = top;
    if (band.background != Qt::white && band.background.isValid())
        c.painter->fillRect(QRectF(0, top * c.scale, c.painter->device()->width(), height * c.scale),
                            band.background);
    for (auto& item : band.items)
        if (item->visible) item->draw(c);
}

void Report::drawSlice(Band& band, DrawContext& c, double top, double offset, double height) {
    c.painter->save();
    c.painter->setClipRect(QRectF(0, top * c.scale, c.painter->device()->width(), height * c.scale));
    drawBand(band, c, top - offset, band.height);
    c.painter->restore();
}

double Report::breakAt(Band& band, DrawContext& c, double limit) {
    double cut = limit;
    for (auto& item : band.items)
        if (item->visible) cut = std::min(cut, item->breakBefore(c, limit));
    return cut;
}

namespace {
QString printerFailure(const QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        const QString file = QDir::toNativeSeparators(printer.outputFileName());
        const QFileInfo dir(QFileInfo(printer.outputFileName()).absolutePath());
        if (!dir.isDir())
            return QStringLiteral("Cannot print to the file %1: its folder does not exist.").arg(file);
        return QStringLiteral("Cannot print to the file %1: it cannot be written.").arg(file);
    }
    return QStringLiteral("Cannot print on the printer %1.").arg(printer.printerName());
}
} // namespace

void Report::render(QPrinter& printer) {
    printer.setPageMargins(QMarginsF(marginMm, marginMm, marginMm, marginMm), QPageLayout::Millimeter);
    pages_ = 0;
    QPainter painter;
    if (!painter.begin(&printer)) throw engine::Error(printerFailure(printer));
    DrawContext c{&painter, this, 1, printer.resolution() / 25.4};
    const double pageHeightMm = printer.pageLayout().paintRect(QPageLayout::Millimeter).height();
    double y = 0;
    auto startPage = [&] {
        c.pageNumber = pages_;
        y = 0;
        if (pageHeader.enabled) {
            drawBand(pageHeader, c, 0, pageHeader.height);
            y = pageHeader.height;
        }
    };
    auto newPage = [&] {
        if (!printer.newPage()) throw engine::Error(printerFailure(printer));
        ++pages_;
        startPage();
    };
    auto printDetail = [&](bool firstRow) {
        const double h = bandHeight(detail, c);
        if ((detail.forceNewPage && !firstRow) || (y + h > pageHeightMm && y > pageHeader.height)) newPage();
        // A band longer than what is left of the page goes on over the next pages.
        double offset = 0;
        while (h - offset > pageHeightMm - y) {
            const double room = pageHeightMm - y;
            double cut = breakAt(detail, c, offset + room);
            if (cut <= offset + 0.01) cut = offset + room; // one line taller than a page
            drawSlice(detail, c, y, offset, cut - offset);
            offset = cut;
            newPage();
        }
        if (offset == 0)
            drawBand(detail, c, y, h);
        else
            drawSlice(detail, c, y, offset, h - offset);
        y += h - offset;
    };
    try {
        pages_ = 1;
        if (beforePrint) beforePrint();
        startPage();
        if (data_ && data_->isOpen()) {
            bool firstRow = true;
            for (data_->first(); !data_->eof(); data_->next()) {
                if (beforeDetail) beforeDetail();
                if (!detail.enabled) continue;
                printDetail(firstRow);
                firstRow = false;
            }
            if (firstRow && printIfEmpty) {
                if (beforeDetail) beforeDetail();
                if (detail.enabled) printDetail(true);
            }
        }
        if (afterPrint) afterPrint();
    } catch (...) {
        painter.end();
        throw;
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw engine::Error(printerFailure(printer));
}

void Report::print(QPrinter& printer) {
    prepare(printer);
    render(printer);
}

void Report::printToPdf(const QString& file) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    print(printer);
}

void Report::preview(QWidget* parent, const std::function<int(QDialog&)>& showModal) {
    QPrinter printer(QPrinter::HighResolution);
    prepare(printer);
    QPrintPreviewDialog dlg(&printer, parent);
    dlg.setWindowTitle(QStringLiteral("Print Preview"));
    // A failure while the preview paints cannot travel through Qt's signal; the preview closes
    // and the failure is raised once it has.
    std::exception_ptr failure;
    connect(&dlg, &QPrintPreviewDialog::paintRequested, this, [this, &dlg, &failure](QPrinter* p) {
        if (failure) return;
        try {
            render(*p);
        } catch (...) {
            failure = std::current_exception();
            QTimer::singleShot(0, &dlg, &QDialog::reject);
        }
    });
    // About a page high, but never beyond the screen it opens on: a laptop's screen is lower
    // than a page, and a window taller than the screen hides its own lower part.
    QSize size(900, 1000);
    if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.92);
    dlg.resize(size);
    if (showModal)
        showModal(dlg);
    else
        dlg.exec();
    if (failure) std::rethrow_exception(failure);
}

} // namespace printing

#include "printing/Report.h"

#include "engine/DataSet.h"
#include "engine/Error.h"
#include "printing/PrintProgress.h"
#include "printing/Printer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
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

double Report::bandHeight(Band& band, DrawContext& c) {
    double h = band.height;
    if (band.stretch)
        for (auto& item : band.items)
            if (item->visible) h = std::max(h, item->geometry.y() + item->contentHeight(c));
    return h;
}

void Report::drawBand(Band& band, DrawContext& c, double top, double height) {
    c.bandTop = top;
    if (!c.painter) return;
    if (band.background != Qt::white && band.background.isValid())
        c.painter->fillRect(QRectF(0, top * c.scale, c.painter->device()->width(), height * c.scale),
                            band.background);
    for (auto& item : band.items)
        if (item->visible) item->draw(c);
}

void Report::drawSlice(Band& band, DrawContext& c, double top, double offset, double height) {
    if (!c.painter) return;
    c.painter->save();
    c.painter->setClipRect(QRectF(0, top * c.scale, c.painter->device()->width(), height * c.scale));
    c.bandTop = top - offset;
    // An item wholly outside this page's part is not drawn at all: clipped away it would still be
    // in the PDF, found by a search on every page the band continues onto.
    for (auto& item : band.items) {
        if (!item->visible) continue;
        const QRectF r = item->area(c);
        const double bottom = r.y() + std::max(r.height(), item->contentHeight(c));
        if (bottom <= offset || r.y() >= offset + height) continue;
        item->draw(c);
    }
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

// Thrown out of the page loop when the person cancels in the progress window.
struct Cancelled {};
} // namespace

void Report::walk(QPrinter& printer, QPainter* painter, PrintProgress* progress) {
    DrawContext c{painter, this, 1, printer.resolution() / 25.4};
    c.device = &printer;
    const QRectF paper = printer.pageLayout().paintRect(QPageLayout::Millimeter);
    c.extraWidth = paper.width() - layoutWidthMm();
    const double footerHeight = pageFooter.enabled ? pageFooter.height : 0;
    const double pageHeightMm = paper.height() - footerHeight;
    const int rows = data_ && data_->isOpen() ? data_->recordCount() : 0;
    int row = 0;
    double y = 0;
    double headerHeight = 0;
    auto step = [&] {
        if (!progress) return;
        const bool ok =
            pageTotal_ > 0
                ? progress->update(pages_, QStringLiteral("Page %1 of %2").arg(pages_).arg(pageTotal_))
                : progress->update(row, QStringLiteral("Page %1 (%2 %3 of %4)")
                                            .arg(pages_)
                                            .arg(rowName)
                                            .arg(std::min(row + 1, rows))
                                            .arg(rows));
        if (!ok) throw Cancelled{};
    };
    auto startPage = [&] {
        c.pageNumber = pages_;
        y = 0;
        if (pageHeader.enabled) {
            drawBand(pageHeader, c, 0, pageHeader.height);
            y = pageHeader.height;
        }
        headerHeight = y;
        if (painter && onPage) onPage(pages_);
        step();
    };
    auto endPage = [&] {
        if (pageFooter.enabled) drawBand(pageFooter, c, paper.height() - footerHeight, footerHeight);
    };
    auto newPage = [&] {
        endPage();
        if (painter && !printer.newPage()) throw engine::Error(printerFailure(printer));
        ++pages_;
        startPage();
    };
    auto printDetail = [&](bool firstRow) {
        const double h = bandHeight(detail, c);
        if ((detail.forceNewPage && !firstRow) || (y + h > pageHeightMm && y > headerHeight)) newPage();
        // A band longer than what is left of the page goes on over the next pages, each of
        // which says under its header whose continuation it is.
        double offset = 0;
        while (h - offset > pageHeightMm - y) {
            const double room = pageHeightMm - y;
            double cut = breakAt(detail, c, offset + room);
            if (cut <= offset + 0.01) cut = offset + room; // one line taller than a page
            drawSlice(detail, c, y, offset, cut - offset);
            offset = cut;
            newPage();
            if (continuationHeader.enabled) {
                const double ch = bandHeight(continuationHeader, c);
                drawBand(continuationHeader, c, y, ch);
                y += ch;
            }
        }
        if (offset == 0)
            drawBand(detail, c, y, h);
        else
            drawSlice(detail, c, y, offset, h - offset);
        y += h - offset;
    };
    pages_ = 1;
    if (beforePrint) beforePrint();
    startPage();
    if (data_ && data_->isOpen()) {
        bool firstRow = true;
        for (data_->first(); !data_->eof(); data_->next(), ++row) {
            if (beforeDetail) beforeDetail();
            if (!detail.enabled) continue;
            printDetail(firstRow);
            firstRow = false;
            step();
        }
        if (firstRow && printIfEmpty) {
            if (beforeDetail) beforeDetail();
            if (detail.enabled) printDetail(true);
        }
    }
    endPage();
    if (afterPrint) afterPrint();
}

void Report::render(QPrinter& printer) {
    printer.setFullPage(false);
    printer.setPageMargins(QMarginsF(marginMm, marginMm, marginMm, marginMm), QPageLayout::Millimeter);
    pages_ = 0;
    pageTotal_ = 0;
    cancelled_ = false;
    printedAt_ = QDateTime::currentDateTime();
    std::unique_ptr<PrintProgress> progress;
    const bool canShow = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    const int rows = data_ && data_->isOpen() ? data_->recordCount() : 0;
    QWidget* owner = progressParent   ? progressParent
                     : previewWindow_ ? previewWindow_
                                      : qobject_cast<QWidget*>(parent());
    try {
        if (countPages) {
            if (canShow && rows > progressAbove) progress = std::make_unique<PrintProgress>(owner, rows);
            walk(printer, nullptr, progress.get());
            pageTotal_ = pages_;
            progress.reset();
        }
        if (canShow && (pageTotal_ > progressAbove || (!countPages && rows > progressAbove)))
            progress = std::make_unique<PrintProgress>(owner, countPages ? pageTotal_ : rows);
    } catch (const Cancelled&) {
        cancelled_ = true;
        return;
    }
    QPainter painter;
    if (!painter.begin(&printer)) throw engine::Error(printerFailure(printer));
    try {
        walk(printer, &painter, progress.get());
    } catch (const Cancelled&) {
        // Nothing half printed is left behind: the job is withdrawn, a file removed.
        cancelled_ = true;
        // A preview's pages are its own to drop; a printer's job is withdrawn.
        if (!previewWindow_ && printer.outputFormat() == QPrinter::NativeFormat) printer.abort();
        if (painter.isActive()) painter.end();
        if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
            QFile::remove(printer.outputFileName());
        return;
    } catch (...) {
        painter.end();
        throw;
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw engine::Error(printerFailure(printer));
}

void Report::print(QPrinter& printer) {
    render(printer);
}

void Report::printToPdf(const QString& file, const QPageSize& paper) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPageSize(paper);
    printer.setPageOrientation(QPageLayout::Portrait);
    print(printer);
}

void Report::preview(QWidget* parent, const std::function<int(QDialog&)>& showModal) {
    QPrinter printer(QPrinter::HighResolution);
    const QPrinter& setup = currentPrinter();
    printer.setPageSize(setup.pageLayout().pageSize());
    printer.setPageOrientation(setup.pageLayout().orientation());
    QPrintPreviewDialog dlg(&printer, parent);
    dlg.setWindowTitle(QStringLiteral("Print Preview"));
    previewWindow_ = &dlg; // the progress window of a preview belongs to it
    // A failure while the preview paints cannot travel through Qt's signal; the preview closes
    // and the failure is raised once it has. A preview cancelled in its progress window closes.
    std::exception_ptr failure;
    connect(&dlg, &QPrintPreviewDialog::paintRequested, this, [this, &dlg, &failure](QPrinter* p) {
        if (failure) return;
        try {
            render(*p);
            if (cancelled_) QMetaObject::invokeMethod(&dlg, "reject", Qt::QueuedConnection);
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
    previewWindow_ = nullptr;
    if (failure) std::rethrow_exception(failure);
}

} // namespace printing

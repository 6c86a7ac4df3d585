#include "printing/Report.h"

#include "engine/DataSet.h"
#include "engine/DateFormat.h"
#include "engine/Error.h"

#include <QAbstractTextDocumentLayout>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <exception>

namespace printing {

namespace {
QRectF toDevice(const QRectF& mm, const DrawContext& c) {
    return QRectF(mm.x() * c.scale, (c.bandTop + mm.y()) * c.scale, mm.width() * c.scale,
                  mm.height() * c.scale);
}

void buildTextDocument(QTextDocument& doc, const RichDocument& rich, const QFont& base, double widthPx,
                       QPaintDevice* device) {
    doc.setDocumentMargin(0);
    doc.setDefaultFont(base);
    if (device) doc.documentLayout()->setPaintDevice(device);
    doc.setTextWidth(widthPx);
    QTextCursor cur(&doc);
    bool first = true;
    const double pxPerPt = device ? device->logicalDpiX() / 72.0 : 1.0;
    for (const Paragraph& p : rich.paragraphs()) {
        QTextBlockFormat bf;
        bf.setLeftMargin(p.leftIndentPt * pxPerPt);
        QTextCharFormat cf;
        cf.setFont(base);
        cf.setFontWeight(p.style == Paragraph::Style::Plain ? QFont::Normal : QFont::Bold);
        cf.setFontItalic(p.style == Paragraph::Style::BoldItalic);
        if (first) {
            cur.setBlockFormat(bf);
            cur.setBlockCharFormat(cf);
            first = false;
        } else {
            cur.insertBlock(bf, cf);
        }
        cur.insertText(p.text, cf);
    }
}
} // namespace

void RichDocument::appendLines(const QString& text, Paragraph::Style style, double indentPt) {
    if (text.isEmpty()) {
        append(QString(), style, indentPt);
        return;
    }
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString& line : t.split(QLatin1Char('\n')))
        append(line, style, indentPt);
}

QString RichDocument::plainText() const {
    QStringList out;
    for (const Paragraph& p : paragraphs_)
        out << p.text;
    return out.join(QLatin1Char('\n'));
}

// ---- Items ----------------------------------------------------------------------------------

void Item::drawText(DrawContext& c, const QString& t) {
    QPainter& p = *c.painter;
    p.setFont(font);
    p.setPen(color);
    const QRectF r = toDevice(geometry, c);
    const QFontMetricsF fm(font, p.device());
    if (autoSize) {
        const double w = fm.horizontalAdvance(t);
        double x = r.x();
        if (alignment & Qt::AlignRight)
            x = r.right() - w;
        else if (alignment & Qt::AlignHCenter)
            x = r.x() + (r.width() - w) / 2;
        p.drawText(QPointF(x, r.y() + fm.ascent()), t);
    } else {
        p.drawText(r, int(alignment) | Qt::TextWordWrap, t);
    }
}

void Item::draw(DrawContext& c) {
    QString t = text(c);
    if (onPrint) onPrint(t);
    drawText(c, t);
}

double Item::contentHeight(DrawContext&) {
    return geometry.height();
}

double Item::breakBefore(DrawContext&, double limitMm) {
    return limitMm;
}

QString DBText::text(DrawContext& c) {
    engine::DataSet* ds = c.report->dataSet();
    if (!ds || !ds->isOpen() || ds->isEmpty()) return {};
    return engine::displayText(ds->fieldValue(field), ds->fieldType(field));
}

QString SysData::text(DrawContext& c) {
    if (kind == Kind::PageNumber) return prefix + QString::number(c.pageNumber);
    return prefix + engine::formatDateTime(QDateTime::currentDateTime());
}

void Shape::draw(DrawContext& c) {
    c.painter->fillRect(toDevice(geometry, c), brush);
}

void Picture::draw(DrawContext& c) {
    if (image.isNull()) return;
    const QRectF r = toDevice(geometry, c);
    if (!stretch) {
        // The picture's own size is its pixels at its stored resolution (the screen's 96 dpi
        // when it stores none), whatever the printer's resolution.
        const double screenDpm = 96 / 0.0254;
        const double dpmX = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() : screenDpm;
        const double dpmY = image.dotsPerMeterY() > 0 ? image.dotsPerMeterY() : screenDpm;
        const QSizeF size(image.width() / dpmX * 1000 * c.scale, image.height() / dpmY * 1000 * c.scale);
        c.painter->save();
        c.painter->setClipRect(r, Qt::IntersectClip);
        c.painter->drawImage(QRectF(r.topLeft(), size), image);
        c.painter->restore();
        return;
    }
    QSizeF s = image.size();
    s.scale(r.size(), Qt::KeepAspectRatio);
    c.painter->drawImage(QRectF(r.topLeft(), s), image);
}

RichTextBox::RichTextBox() = default;
RichTextBox::~RichTextBox() = default;

QTextDocument& RichTextBox::layout(DrawContext& c) {
    const double width = geometry.width() * c.scale;
    QPaintDevice* device = c.painter->device();
    if (!layout_ || laidOut_ != document || laidOutRevision_ != document->revision() ||
        laidOutWidth_ != width || laidOutDevice_ != device) {
        layout_ = std::make_unique<QTextDocument>();
        buildTextDocument(*layout_, *document, font, width, device);
        laidOut_ = document;
        laidOutRevision_ = document->revision();
        laidOutWidth_ = width;
        laidOutDevice_ = device;
    }
    return *layout_;
}

double RichTextBox::contentHeight(DrawContext& c) {
    if (!document) return geometry.height();
    return std::max(geometry.height(), layout(c).size().height() / c.scale);
}

double RichTextBox::breakBefore(DrawContext& c, double limitMm) {
    if (!document) return limitMm;
    const double limit = (limitMm - geometry.y()) * c.scale; // in the layout's device units
    if (limit <= 0) return limitMm;
    QTextDocument& doc = layout(c);
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextLayout* lay = b.layout();
        const double blockTop = lay->position().y();
        if (blockTop > limit) break;
        for (int i = 0; i < lay->lineCount(); ++i) {
            const QTextLine line = lay->lineAt(i);
            const double top = blockTop + line.y();
            if (top < limit && top + line.height() > limit) return geometry.y() + top / c.scale;
        }
    }
    return limitMm;
}

void RichTextBox::draw(DrawContext& c) {
    if (!document) return;
    QTextDocument& doc = layout(c);
    const QRectF r = toDevice(geometry, c);
    c.painter->save();
    c.painter->translate(r.topLeft());
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.palette.setColor(QPalette::Text, color);
    if (c.painter->hasClipping()) ctx.clip = c.painter->clipBoundingRect();
    doc.documentLayout()->draw(c.painter, ctx);
    c.painter->restore();
}

// ---- Report ---------------------------------------------------------------------------------

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

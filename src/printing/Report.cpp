#include "printing/Report.h"

#include "engine/DataSet.h"
#include "engine/DateFormat.h"

#include <QAbstractTextDocumentLayout>
#include <QDateTime>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

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
        c.painter->drawImage(r.topLeft(), image);
        return;
    }
    QSizeF s = image.size();
    s.scale(r.size(), Qt::KeepAspectRatio);
    c.painter->drawImage(QRectF(r.topLeft(), s), image);
}

double RichTextBox::contentHeight(DrawContext& c) {
    if (!document) return geometry.height();
    QTextDocument doc;
    buildTextDocument(doc, *document, font, geometry.width() * c.scale, c.painter->device());
    return std::max(geometry.height(), doc.size().height() / c.scale);
}

void RichTextBox::draw(DrawContext& c) {
    if (!document) return;
    QTextDocument doc;
    const QRectF r = toDevice(geometry, c);
    buildTextDocument(doc, *document, font, r.width(), c.painter->device());
    c.painter->save();
    c.painter->translate(r.topLeft());
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.palette.setColor(QPalette::Text, color);
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

void Report::render(QPrinter& printer) {
    printer.setPageMargins(QMarginsF(marginMm, marginMm, marginMm, marginMm), QPageLayout::Millimeter);
    QPainter painter;
    if (!painter.begin(&printer)) return;
    DrawContext c{&painter, this, 1, printer.resolution() / 25.4};
    const double pageHeightMm = printer.pageLayout().paintRect(QPageLayout::Millimeter).height();
    pages_ = 1;
    if (beforePrint) beforePrint();
    double y = 0;
    auto startPage = [&] {
        c.pageNumber = pages_;
        y = 0;
        if (pageHeader.enabled) {
            drawBand(pageHeader, c, 0, pageHeader.height);
            y = pageHeader.height;
        }
    };
    startPage();
    if (data_ && data_->isOpen()) {
        bool firstRow = true;
        for (data_->first(); !data_->eof(); data_->next()) {
            if (beforeDetail) beforeDetail();
            if (!detail.enabled) continue;
            const double h = bandHeight(detail, c);
            if ((detail.forceNewPage && !firstRow) || (y + h > pageHeightMm && y > pageHeader.height)) {
                printer.newPage();
                ++pages_;
                startPage();
            }
            drawBand(detail, c, y, h);
            y += h;
            firstRow = false;
        }
    }
    if (afterPrint) afterPrint();
    painter.end();
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
    connect(&dlg, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { render(*p); });
    dlg.resize(900, 1000);
    if (showModal)
        showModal(dlg);
    else
        dlg.exec();
}

} // namespace printing

#include "printing/RichTextBox.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

namespace printing {

namespace {
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

RichTextBox::RichTextBox() = default;
RichTextBox::~RichTextBox() = default;

QTextDocument& RichTextBox::layout(DrawContext& c) {
    const double width = area(c).width() * c.scale;
    QPaintDevice* device = c.device;
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
    const QRectF r = toDevice(area(c), c);
    c.painter->save();
    c.painter->translate(r.topLeft());
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.palette.setColor(QPalette::Text, color);
    // Only the lines inside the page's part of the band are written: a line left out of the
    // clip but still drawn would be in the PDF twice, hidden on one page and shown on the next.
    // The band is cut between lines, so a line touching the cut from the far side is excluded.
    if (c.painter->hasClipping()) ctx.clip = c.painter->clipBoundingRect().adjusted(0, 0.5, 0, -0.5);
    doc.documentLayout()->draw(c.painter, ctx);
    c.painter->restore();
}

} // namespace printing

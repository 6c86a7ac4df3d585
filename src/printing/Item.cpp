#include "printing/Item.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

namespace printing {

namespace {
// Lays a text out in lines no wider than `width` device units: at word boundaries where it
// can, inside a word that is longer than the width. Returns the height of the lines.
double wrapLines(QTextLayout& lay, double width) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    lay.setTextOption(option);
    lay.beginLayout();
    double y = 0;
    for (QTextLine line = lay.createLine(); line.isValid(); line = lay.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    lay.endLayout();
    return y;
}
} // namespace

QRectF Item::area(const DrawContext& c) const {
    QRectF r = geometry;
    if (followsRightEdge) r.setWidth(std::max(0.0, r.width() + c.extraWidth));
    return r;
}

QString Item::printedText(DrawContext& c) {
    QString t = text(c);
    if (onPrint) onPrint(t);
    return t;
}

void Item::drawText(DrawContext& c, const QString& t) {
    QPainter& p = *c.painter;
    p.setFont(font);
    p.setPen(color);
    const QRectF r = toDevice(area(c), c);
    const QFontMetricsF fm(font, p.device());
    if (wrap) {
        QTextLayout lay(t, font, p.device());
        wrapLines(lay, r.width());
        for (int i = 0; i < lay.lineCount(); ++i) {
            const QTextLine line = lay.lineAt(i);
            double x = r.x();
            if (alignment & Qt::AlignRight)
                x = r.right() - line.naturalTextWidth();
            else if (alignment & Qt::AlignHCenter)
                x = r.x() + (r.width() - line.naturalTextWidth()) / 2;
            line.draw(&p, QPointF(x, r.y()));
        }
    } else if (autoSize) {
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
    drawText(c, printedText(c));
}

double Item::contentHeight(DrawContext& c) {
    if (!wrap) return geometry.height();
    const QString t = printedText(c);
    QTextLayout lay(t, font, c.device);
    const double h = wrapLines(lay, area(c).width() * c.scale) / c.scale;
    return std::max(geometry.height(), h);
}

double Item::breakBefore(DrawContext&, double limitMm) {
    return limitMm;
}

} // namespace printing

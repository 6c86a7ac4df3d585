#include "printing/Item.h"

#include <QFontMetricsF>
#include <QPainter>

namespace printing {

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

} // namespace printing

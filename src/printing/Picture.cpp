#include "printing/Picture.h"

#include <QPainter>

namespace printing {

void Picture::draw(DrawContext& c) {
    if (image.isNull()) return;
    const QRectF r = toDevice(area(c), c);
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

} // namespace printing

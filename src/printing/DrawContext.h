#pragma once

#include <QRectF>

class QPainter;

namespace printing {

class Report;

// What an item is drawn with. Items place themselves in millimetres from their band's top-left
// corner; the band's top is in millimetres from the printable area's.
struct DrawContext {
    QPainter* painter;
    Report* report;
    int pageNumber;
    double scale; // device units per millimetre
    double bandTop = 0;
};

// A rectangle in band millimetres as device units on the page.
inline QRectF toDevice(const QRectF& mm, const DrawContext& c) {
    return QRectF(mm.x() * c.scale, (c.bandTop + mm.y()) * c.scale, mm.width() * c.scale,
                  mm.height() * c.scale);
}

} // namespace printing

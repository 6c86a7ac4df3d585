#pragma once

#include <QRectF>

class QPainter;
class QPaintDevice;

namespace printing {

class Report;

// What an item is drawn with. Items place themselves in millimetres from their band's top-left
// corner; the band's top is in millimetres from the printable area's.
struct DrawContext {
    QPainter* painter; // null while the pages are only counted
    Report* report;
    int pageNumber;
    double scale; // device units per millimetre
    double bandTop = 0;
    QPaintDevice* device = nullptr; // what text is measured for
    // How much wider the printable area is than the one the layout was made for (negative on
    // narrower paper); items that follow the right edge grow or shrink by it.
    double extraWidth = 0;
};

// A rectangle in band millimetres as device units on the page.
inline QRectF toDevice(const QRectF& mm, const DrawContext& c) {
    return QRectF(mm.x() * c.scale, (c.bandTop + mm.y()) * c.scale, mm.width() * c.scale,
                  mm.height() * c.scale);
}

} // namespace printing

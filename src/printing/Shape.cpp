#include "printing/Shape.h"

#include <QPainter>

namespace printing {

void Shape::draw(DrawContext& c) {
    c.painter->fillRect(toDevice(area(c), c), brush);
}

} // namespace printing

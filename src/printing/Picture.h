#pragma once

#include "printing/Item.h"

#include <QImage>

namespace printing {

class Picture : public Item {
public:
    QImage image;
    // Scaled into its box keeping the aspect ratio; otherwise drawn at the picture's own size
    // from the box's top-left corner and clipped to the box.
    bool stretch = true;
    void draw(DrawContext& c) override;

protected:
    QString text(DrawContext&) override { return {}; }
};

} // namespace printing

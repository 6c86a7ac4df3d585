#pragma once

#include "printing/Item.h"

namespace printing {

class Shape : public Item {
public:
    QColor brush = Qt::black;
    void draw(DrawContext& c) override;

protected:
    QString text(DrawContext&) override { return {}; }
};

} // namespace printing

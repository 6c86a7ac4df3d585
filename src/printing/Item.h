#pragma once

#include "printing/DrawContext.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <functional>

namespace printing {

// One thing on a band; positions and sizes in millimetres.
class Item {
public:
    virtual ~Item() = default;
    QRectF geometry;
    QFont font;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    bool autoSize = true; // sized to its text
    bool visible = true;
    QColor color = Qt::black;
    // The right edge keeps its distance from the printable area's right edge, whatever the paper.
    bool followsRightEdge = false;
    // A text longer than its width goes on over further lines inside its own width, and the item
    // is as high as those lines.
    bool wrap = false;
    // The item's print event: may replace the text it prints.
    std::function<void(QString& text)> onPrint;

    virtual void draw(DrawContext& c);
    // Height the item needs for the current row, for bands that stretch.
    virtual double contentHeight(DrawContext& c);
    // Where a band that does not fit on its page may be cut at or above `limitMm` (band
    // millimetres) without cutting through this item's lines; `limitMm` when it does not mind.
    virtual double breakBefore(DrawContext& c, double limitMm);

    // Where the item lies on the paper in use, in band millimetres.
    QRectF area(const DrawContext& c) const;

protected:
    virtual QString text(DrawContext& c) = 0;
    // The text as printed, after the print event.
    QString printedText(DrawContext& c);
    void drawText(DrawContext& c, const QString& text);
};

} // namespace printing

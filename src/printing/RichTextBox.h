#pragma once

#include "printing/Item.h"
#include "printing/RichDocument.h"

#include <memory>

class QPaintDevice;
class QTextDocument;

namespace printing {

// A rich-text box rendering a document model; it grows with its text when its band stretches.
// The layout of a document is made once and kept until the document, width or device changes.
class RichTextBox : public Item {
public:
    RichTextBox();
    ~RichTextBox() override;
    RichDocument* document = nullptr;
    void draw(DrawContext& c) override;
    double contentHeight(DrawContext& c) override;
    double breakBefore(DrawContext& c, double limitMm) override;

protected:
    QString text(DrawContext&) override { return {}; }

private:
    QTextDocument& layout(DrawContext& c);
    std::unique_ptr<QTextDocument> layout_;
    const RichDocument* laidOut_ = nullptr;
    quint64 laidOutRevision_ = 0;
    double laidOutWidth_ = -1;
    QPaintDevice* laidOutDevice_ = nullptr;
};

} // namespace printing

#pragma once

#include "printing/RichDocument.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QObject>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QDialog;
class QPainter;
class QPaintDevice;
class QPrinter;
class QTextDocument;
class QWidget;

namespace engine {
class DataSet;
}

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
    // The item's print event: may replace the text it prints.
    std::function<void(QString& text)> onPrint;

    virtual void draw(DrawContext& c);
    // Height the item needs for the current row, for bands that stretch.
    virtual double contentHeight(DrawContext& c);
    // Where a band that does not fit on its page may be cut at or above `limitMm` (band
    // millimetres) without cutting through this item's lines; `limitMm` when it does not mind.
    virtual double breakBefore(DrawContext& c, double limitMm);

protected:
    virtual QString text(DrawContext& c) = 0;
    void drawText(DrawContext& c, const QString& text);
};

class Label : public Item {
public:
    QString caption;

protected:
    QString text(DrawContext&) override { return caption; }
};

class DBText : public Item {
public:
    QString field;

protected:
    QString text(DrawContext& c) override;
};

class SysData : public Item {
public:
    enum class Kind { DateTime, PageNumber };
    Kind kind = Kind::DateTime;
    QString prefix;

protected:
    QString text(DrawContext& c) override;
};

class Shape : public Item {
public:
    QColor brush = Qt::black;
    void draw(DrawContext& c) override;

protected:
    QString text(DrawContext&) override { return {}; }
};

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

class Band {
public:
    double height = 0; // millimetres
    QColor background = Qt::white;
    bool stretch = false;      // grows to its items' content
    bool forceNewPage = false; // every detail row starts a new page
    bool enabled = true;
    std::vector<std::unique_ptr<Item>> items;

    template <typename T> T* add(const QRectF& geometry) {
        auto item = std::make_unique<T>();
        item->geometry = geometry;
        T* raw = item.get();
        items.push_back(std::move(item));
        return raw;
    }
};

// A banded report bound to a data set: a page header on every page and a detail band per row,
// walked from the first row. US Letter portrait, 0.5 inch margins, "Times New Roman" 10 pt.
// A detail band taller than the rest of its page continues on the next pages, cut between lines.
// A printer that cannot be written to is an engine::Error, never an empty result.
class Report : public QObject {
    Q_OBJECT
public:
    explicit Report(engine::DataSet* data, QObject* parent = nullptr);
    ~Report() override;

    engine::DataSet* dataSet() const { return data_; }
    Band pageHeader;
    Band detail;
    QFont font;
    double marginMm = 12.7;

    std::function<void()> beforePrint;
    std::function<void()> afterPrint;
    std::function<void()> beforeDetail; // once per row, before its band is measured and drawn
    // An empty data set still prints the detail band once, from empty values.
    bool printIfEmpty = false;

    // Renders every page onto the printer as it is set up.
    void print(QPrinter& printer);
    void printToPdf(const QString& file);
    // The modal preview, from which one may print; showModal runs it (tests pass their own).
    void preview(QWidget* parent, const std::function<int(QDialog&)>& showModal = {});
    int pageCount() const { return pages_; }
    static void prepare(QPrinter& printer);

    // A new font in the report's family.
    QFont reportFont(double points, bool bold = false, bool italic = false) const;

private:
    void render(QPrinter& printer);
    void drawBand(Band& band, DrawContext& c, double top, double height);
    // Draws the part [offset, offset + height) of a band at `top` of the page.
    void drawSlice(Band& band, DrawContext& c, double top, double offset, double height);
    double breakAt(Band& band, DrawContext& c, double limit);
    double bandHeight(Band& band, DrawContext& c);
    engine::DataSet* data_;
    int pages_ = 0;
};

} // namespace printing

#pragma once

#include <QString>
#include <vector>

namespace printing {

// A document of paragraphs, each one style and a left indent: what the strategy report composes
// per row, and what tests read back without rendering.
struct Paragraph {
    enum class Style { Plain, Bold, BoldItalic };
    QString text;
    Style style = Style::Plain;
    double leftIndentPt = 0;
};

class RichDocument {
public:
    void clear() { paragraphs_.clear(); }
    void append(const QString& text, Paragraph::Style style = Paragraph::Style::Plain, double indentPt = 0) {
        paragraphs_.push_back({text, style, indentPt});
    }
    const std::vector<Paragraph>& paragraphs() const { return paragraphs_; }
    bool isEmpty() const { return paragraphs_.empty(); }
    QString plainText() const;

private:
    std::vector<Paragraph> paragraphs_;
};

} // namespace printing

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
    void clear() {
        paragraphs_.clear();
        revision_ = nextRevision();
    }
    void append(const QString& text, Paragraph::Style style = Paragraph::Style::Plain, double indentPt = 0) {
        paragraphs_.push_back({text, style, indentPt});
        revision_ = nextRevision();
    }
    // Appends a text that may hold line breaks: each line becomes a paragraph of the same style
    // and indent; an empty text gives one empty paragraph.
    void appendLines(const QString& text, Paragraph::Style style = Paragraph::Style::Plain,
                     double indentPt = 0);
    const std::vector<Paragraph>& paragraphs() const { return paragraphs_; }
    bool isEmpty() const { return paragraphs_.empty(); }
    QString plainText() const;
    // Changes with every change of the paragraphs, so that a renderer can keep its layout. Unique
    // across documents too: a new document at a freed one's address never passes for it.
    quint64 revision() const { return revision_; }

private:
    static quint64 nextRevision() {
        static quint64 last = 0;
        return ++last;
    }
    std::vector<Paragraph> paragraphs_;
    quint64 revision_ = nextRevision();
};

} // namespace printing

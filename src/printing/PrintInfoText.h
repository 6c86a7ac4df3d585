#pragma once

#include "printing/Item.h"

namespace printing {

// What the print itself carries: the time it was printed, or the page number.
class PrintInfoText : public Item {
public:
    enum class Kind { DateTime, PageNumber };
    Kind kind = Kind::DateTime;
    QString prefix;

protected:
    QString text(DrawContext& c) override;
};

} // namespace printing

#pragma once

#include "printing/Item.h"

namespace printing {

// What the print itself carries: the time it was printed (one time for the whole print), the
// page number, or the page number with the number of pages ("3 of 12").
class PrintInfoText : public Item {
public:
    enum class Kind { DateTime, PageNumber, PageOfPages };
    Kind kind = Kind::DateTime;
    QString prefix;

protected:
    QString text(DrawContext& c) override;
};

} // namespace printing

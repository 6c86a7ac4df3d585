#pragma once

#include "printing/Item.h"

namespace printing {

// The value of one field of the report's current row.
class FieldText : public Item {
public:
    QString field;

protected:
    QString text(DrawContext& c) override;
};

} // namespace printing

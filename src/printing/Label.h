#pragma once

#include "printing/Item.h"

namespace printing {

class Label : public Item {
public:
    QString caption;

protected:
    QString text(DrawContext&) override { return caption; }
};

} // namespace printing

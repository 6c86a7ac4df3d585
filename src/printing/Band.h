#pragma once

#include "printing/Item.h"

#include <QColor>
#include <memory>
#include <vector>

namespace printing {

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

} // namespace printing

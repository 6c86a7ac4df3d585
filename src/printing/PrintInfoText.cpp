#include "printing/PrintInfoText.h"

#include "engine/DateFormat.h"

#include <QDateTime>

namespace printing {

QString PrintInfoText::text(DrawContext& c) {
    if (kind == Kind::PageNumber) return prefix + QString::number(c.pageNumber);
    return prefix + engine::formatDateTime(QDateTime::currentDateTime());
}

} // namespace printing

#include "printing/PrintInfoText.h"

#include "engine/DateFormat.h"
#include "printing/Report.h"

namespace printing {

QString PrintInfoText::text(DrawContext& c) {
    switch (kind) {
    case Kind::PageNumber:
        return prefix + QString::number(c.pageNumber);
    case Kind::PageOfPages:
        return prefix + QStringLiteral("%1 of %2").arg(c.pageNumber).arg(c.report->pageTotal());
    case Kind::DateTime:
        break;
    }
    return prefix + engine::formatDateTime(c.report->printedAt());
}

} // namespace printing

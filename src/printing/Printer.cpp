#include "printing/Printer.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>

namespace printing {

QPrinter& currentPrinter() {
    static QPrinter printer(QPrinter::HighResolution);
    static bool initialised = false;
    if (!initialised) {
        initialised = true;
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setPageOrientation(QPageLayout::Portrait);
    }
    return printer;
}

} // namespace printing

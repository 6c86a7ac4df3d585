#pragma once

class QPrinter;

namespace printing {

// The printer of this run: chosen in the printer-setup dialog, used by every report.
QPrinter& currentPrinter();

} // namespace printing

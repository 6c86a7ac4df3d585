#pragma once

#include <QString>
#include <functional>

class QIODevice;
class QWidget;

namespace controls {
class Desktop;
}

namespace reports {

// Asks for a file name (the desktop's save dialog, starting in the home folder with the suggested
// name) and writes a CSV file there: the export of a screen's list. The file is written whole or
// not at all (a failed write leaves an existing file as it was), and a failure is shown in the
// desktop's error box. Returns true when a file was written.
using CsvWriteFn = std::function<bool(QIODevice& out, QString* error)>;
bool exportCsvFile(const controls::Desktop& desktop, QWidget* parent, const QString& suggestedName,
                   const CsvWriteFn& write);

} // namespace reports

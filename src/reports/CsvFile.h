#pragma once

#include <QString>
#include <functional>

class QIODevice;
class QWidget;

namespace reports {

// Asks for a file name (the save dialog of controls::Dialogs, starting in the home folder with
// the suggested name) and writes a CSV file there: the export of a screen's list. The file is
// written whole or not at all (a failed write leaves an existing file as it was), and a failure
// is shown in the default error box. Returns true when a file was written.
using CsvWriteFn = std::function<bool(QIODevice& out, QString* error)>;
bool exportCsvFile(QWidget* parent, const QString& suggestedName, const CsvWriteFn& write);

} // namespace reports

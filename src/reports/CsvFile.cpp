#include "reports/CsvFile.h"

#include "controls/Desktop.h"
#include "engine/Error.h"

#include <QDir>
#include <QSaveFile>

namespace reports {

bool exportCsvFile(const controls::Desktop& desktop, QWidget* parent, const QString& suggestedName,
                   const CsvWriteFn& write) {
    const QString path =
        desktop.dialogs().saveFile(QStringLiteral("Export"), QDir::home().filePath(suggestedName),
                                   QStringLiteral("CSV files (*.csv);;All files (*)"), parent);
    if (path.isEmpty()) return false;
    QSaveFile file(path);
    QString failure;
    if (!file.open(QIODevice::WriteOnly)) {
        failure = file.errorString();
    } else {
        try {
            if (!write(file, &failure) || !file.commit()) {
                if (failure.isEmpty()) failure = file.errorString();
                file.cancelWriting();
            }
        } catch (const engine::Error& e) {
            file.cancelWriting();
            failure = e.message();
        }
    }
    if (!failure.isEmpty()) {
        desktop.showError(QStringLiteral("The file %1 could not be written: %2")
                              .arg(QDir::toNativeSeparators(path), failure));
        return false;
    }
    return true;
}

} // namespace reports

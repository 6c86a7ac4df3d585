#include "controls/Dialogs.h"

namespace controls {

QString Dialogs::saveFile(const QString&, const QString&, const QString&, QWidget*) {
    return {};
}

} // namespace controls

#include "controls/Dialogs.h"

#include "controls/QtDialogs.h"

namespace controls {

namespace {
Dialogs* replaced = nullptr;
}

Dialogs& dialogs() {
    static QtDialogs qt;
    return replaced ? *replaced : qt;
}

void setDialogs(Dialogs* d) {
    replaced = d;
}

QString Dialogs::saveFile(const QString&, const QString&, const QString&, QWidget*) {
    return {};
}

void showError(const QString& text) {
    dialogs().message(text, QStringLiteral("Vardimo"), Icon::Stop, Buttons::Ok);
}

} // namespace controls

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

Answer messageBox(const QString& text, Icon icon, Buttons buttons, const QString& title) {
    return dialogs().message(text, title, icon, buttons);
}

void showError(const QString& text) {
    messageBox(text, Icon::Stop, Buttons::Ok);
}

bool confirm(const QString& question) {
    return messageBox(question, Icon::Stop, Buttons::YesNo) == Answer::Yes;
}

} // namespace controls

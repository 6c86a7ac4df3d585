#include "controls/ScriptedDialogs.h"

#include <QDialog>
#include <QPrinter>

namespace controls {

Answer ScriptedDialogs::message(const QString& text, const QString& title, Icon icon, Buttons buttons) {
    messages.push_back({text, title, icon, buttons});
    if (onMessage) onMessage(messages.back());
    if (!answers.empty()) {
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes : Answer::Ok;
}

bool ScriptedDialogs::print(QPrinter& printer, QWidget*) {
    ++printDialogs;
    bool ok = true;
    if (!printAnswers.empty()) {
        ok = printAnswers.front();
        printAnswers.pop_front();
    }
    if (ok && !printToFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printToFile);
    }
    return ok;
}

bool ScriptedDialogs::printerSetup(QPrinter&, QWidget*) {
    ++printerSetups;
    return true;
}

QString ScriptedDialogs::pictureFile(const QString&, QWidget*) {
    return picture;
}

QString ScriptedDialogs::saveFile(const QString&, const QString& suggested, const QString&, QWidget*) {
    saveSuggestions << suggested;
    return saveAs;
}

int ScriptedDialogs::showModal(QDialog& dialog) {
    modalTitles << dialog.windowTitle();
    if (onModal) return onModal(dialog);
    return QDialog::Accepted;
}

} // namespace controls

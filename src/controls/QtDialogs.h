#pragma once

#include "controls/Dialogs.h"

namespace controls {

// The dialogs of the platform, shown to the person at the screen.
class QtDialogs : public Dialogs {
public:
    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    bool print(QPrinter& printer, QWidget* parent) override;
    bool printerSetup(QPrinter& printer, QWidget* parent) override;
    QString pictureFile(const QString& current, QWidget* parent) override;
    // The kinds of picture the picture dialog offers: those a report logo may be that Qt reads.
    static QString pictureFilter();
    QString saveFile(const QString& title, const QString& suggested, const QString& filter,
                     QWidget* parent) override;
    int showModal(QDialog& dialog) override;
};

} // namespace controls

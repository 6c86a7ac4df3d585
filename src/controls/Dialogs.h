#pragma once

#include <QString>

class QDialog;
class QPrinter;
class QWidget;

namespace controls {

enum class Icon { None, Information, Warning, Stop, Question };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

// Every message box and platform dialog goes through one replaceable object, so that tests can
// answer for the person at the screen and see what was shown. Whoever runs the screens makes one
// (the platform's, a test's script, a console) and hands it on in a `Desktop`.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) = 0;
    // The print dialog: the person picks a printer (or printing to a file); false when cancelled.
    virtual bool print(QPrinter& printer, QWidget* parent) = 0;
    virtual bool printerSetup(QPrinter& printer, QWidget* parent) = 0;
    // A picture file chosen with a preview; empty when cancelled.
    virtual QString pictureFile(const QString& current, QWidget* parent) = 0;
    // Where to save a file, starting from a suggested path and offering the given name filter
    // ("CSV files (*.csv)"); empty when cancelled, as it is where nobody can answer.
    virtual QString saveFile(const QString& title, const QString& suggested, const QString& filter,
                             QWidget* parent);
    // Shows a window modally and returns its result code.
    virtual int showModal(QDialog& dialog) = 0;
};

} // namespace controls

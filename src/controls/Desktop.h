#pragma once

#include "controls/Dialogs.h"

#include <QString>
#include <functional>

class QDialog;
class QObject;
class QWidget;

namespace controls {

// What the screens of one run share about the desktop they are shown on: the dialogs the person
// answers (the platform's, or a test's script), whether there is help to open and what opens it,
// and the work done before a screen is built. Made by whoever runs the screens and handed to
// each of them, so that two runs (two tests) never see each other's. There is no desktop of the
// process: an error that escapes a handler is shown on the desktop of the window it happened in.
class Desktop {
public:
    struct Help {
        bool exists = false;
        // Opens help for the window asking; empty: Help does nothing.
        std::function<void(QWidget* from)> open;
    };

    // `prepareScreen` runs before every screen is built (empty: nothing); a failure is the
    // screen's, which then does not open.
    Desktop(Dialogs& dialogs, Help help, std::function<void()> prepareScreen);
    // No help, nothing to prepare.
    explicit Desktop(Dialogs& dialogs);

    Dialogs& dialogs() const { return dialogs_; }

    // Makes this the desktop of `window` and of everything inside it. Screens are attached when
    // made; a window that is not a screen (the main window, the logon) is attached by whoever
    // shows it.
    void attach(QObject* window) const;
    // The desktop of the window `inside` lives in now: the nearest attached one up its parents;
    // nullptr when it is in none.
    static const Desktop* of(const QObject* inside);

    // A message box titled "Vardimo" unless told otherwise.
    Answer messageBox(const QString& text, Icon icon, Buttons buttons,
                      const QString& title = QStringLiteral("Vardimo")) const;
    // An error: title "Vardimo", stop icon, OK.
    void showError(const QString& text) const;
    // "Are you sure you want to ..." questions: Yes and No, stop icon; true on Yes.
    bool confirm(const QString& question) const;
    // Shows a window modally and returns its result code.
    int showModal(QDialog& dialog) const;

    bool helpExists() const { return help_.exists; }
    // Opens help for the given window; false when there is nothing to open.
    bool openHelp(QWidget* from) const;

    void prepareScreen() const;

private:
    Dialogs& dialogs_;
    Help help_;
    std::function<void()> prepareScreen_;
};

} // namespace controls

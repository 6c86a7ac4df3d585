#pragma once

#include "controls/Dialogs.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace controls {

// Answers from a script and records what was shown. With no scripted answer left, a box is
// answered with its first button (OK or Yes) and a dialog is accepted.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
    };
    std::vector<Shown> messages;
    std::deque<Answer> answers;
    // Called with each box before it is answered, as a person would read it first.
    std::function<void(const Shown&)> onMessage;
    std::deque<bool> printAnswers; // print dialog: true = OK
    QString printToFile;           // when set, the chosen printer writes a PDF here
    int printDialogs = 0;
    int printerSetups = 0;
    QString picture;             // the picture file "picked"
    QString saveAs;              // the file name "chosen" in a save dialog; empty: the dialog is cancelled
    QStringList saveSuggestions; // the suggested path of each save dialog shown
    // Called with each modal window instead of running its loop; returns its result code.
    std::function<int(QDialog&)> onModal;
    QStringList modalTitles;

    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    bool print(QPrinter& printer, QWidget* parent) override;
    bool printerSetup(QPrinter& printer, QWidget* parent) override;
    QString pictureFile(const QString& current, QWidget* parent) override;
    QString saveFile(const QString& title, const QString& suggested, const QString& filter,
                     QWidget* parent) override;
    int showModal(QDialog& dialog) override;

    QString lastText() const { return messages.empty() ? QString() : messages.back().text; }
};

} // namespace controls

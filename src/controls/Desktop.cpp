#include "controls/Desktop.h"

#include <QObject>
#include <QVariant>
#include <utility>

namespace controls {

namespace {
// The property of a window that holds its desktop.
constexpr char attachedDesktop[] = "controls::Desktop";
} // namespace

Desktop::Desktop(Dialogs& dialogs, Help help, std::function<void()> prepareScreen)
    : dialogs_(dialogs), help_(std::move(help)), prepareScreen_(std::move(prepareScreen)) {}

Desktop::Desktop(Dialogs& dialogs) : Desktop(dialogs, Help(), {}) {}

void Desktop::attach(QObject* window) const {
    window->setProperty(attachedDesktop, QVariant::fromValue(this));
}

const Desktop* Desktop::of(const QObject* inside) {
    for (const QObject* o = inside; o; o = o->parent()) {
        const QVariant attached = o->property(attachedDesktop);
        if (attached.isValid()) return attached.value<const Desktop*>();
    }
    return nullptr;
}

Answer Desktop::messageBox(const QString& text, Icon icon, Buttons buttons, const QString& title) const {
    return dialogs_.message(text, title, icon, buttons);
}

void Desktop::showError(const QString& text) const {
    messageBox(text, Icon::Stop, Buttons::Ok);
}

bool Desktop::confirm(const QString& question) const {
    return messageBox(question, Icon::Stop, Buttons::YesNo) == Answer::Yes;
}

int Desktop::showModal(QDialog& dialog) const {
    return dialogs_.showModal(dialog);
}

bool Desktop::openHelp(QWidget* from) const {
    if (!help_.open) return false;
    help_.open(from);
    return true;
}

void Desktop::prepareScreen() const {
    if (prepareScreen_) prepareScreen_();
}

} // namespace controls

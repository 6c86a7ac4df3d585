#include "controls/ErrorHandler.h"

#include "controls/Desktop.h"
#include "engine/Error.h"

#include <QtGlobal>

namespace controls {

namespace {
void showOn(const Desktop* desktop, const QString& text) {
    if (desktop)
        desktop->showError(text);
    else
        qCritical("%s", qUtf8Printable(text));
}
} // namespace

QString currentExceptionMessage() {
    try {
        throw;
    } catch (const engine::Error& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("An unexpected error occurred.");
    }
}

void handleCurrentException(const QObject* where) {
    reportError(where, currentExceptionMessage());
}

void reportError(const QObject* where, const QString& text) {
    showOn(Desktop::of(where), text);
}

void guarded(const QObject* where, const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        handleCurrentException(where);
    }
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        const Desktop* desktop = Desktop::of(receiver);
        showOn(desktop ? desktop : desktop_, currentExceptionMessage());
        return true;
    }
}

} // namespace controls

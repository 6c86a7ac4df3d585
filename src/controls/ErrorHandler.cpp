#include "controls/ErrorHandler.h"

#include "controls/Dialogs.h"
#include "engine/Error.h"

namespace controls {

void handleCurrentException() {
    try {
        throw;
    } catch (const engine::Error& e) {
        showError(e.message());
    } catch (const std::exception& e) {
        showError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        showError(QStringLiteral("An unexpected error occurred."));
    }
}

void guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        handleCurrentException();
    }
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        handleCurrentException();
        return true;
    }
}

} // namespace controls

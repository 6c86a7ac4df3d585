#pragma once

#include <QApplication>
#include <functional>
#include <type_traits>

namespace controls {

// Shows the message of the exception being handled in the default error box (title "Vardimo",
// stop icon, OK). Call only from a catch block.
void handleCurrentException();

// Runs an event handler; an exception that escapes it goes to the default error handler, and
// the screen stays as the handler left it.
void guarded(const std::function<void()>& handler);

// Wraps a handler for connecting to a signal; the signal's arguments are passed on only to a
// handler that takes them.
template <typename F> auto handler(F f) {
    return [f](auto&&... args) {
        // Decided outside the guarded call, where the arguments' types are still known.
        if constexpr (std::is_invocable_v<F, decltype(args)...>)
            guarded([&] { f(std::forward<decltype(args)>(args)...); });
        else
            guarded([&] { f(); });
    };
}

// The application object: the last place an exception that escaped an event handler is caught.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace controls

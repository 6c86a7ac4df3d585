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

namespace detail {
// Calls a handler with the signal's arguments when it takes them, else without. A function
// template of its own, so that only the branch taken is compiled (clang compiles both when the
// choice sits inside a lambda).
template <typename F, typename... A> void callHandler(const F& f, A&&... args) {
    if constexpr (std::is_invocable_v<const F&, A...>)
        f(std::forward<A>(args)...);
    else
        f();
}
} // namespace detail

// Wraps a handler for connecting to a signal; the signal's arguments are passed on only to a
// handler that takes them.
template <typename F> auto handler(F f) {
    return [f](auto&&... args) {
        guarded([&] { detail::callHandler(f, std::forward<decltype(args)>(args)...); });
    };
}

// The application object: the last place an exception that escaped an event handler is caught.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace controls

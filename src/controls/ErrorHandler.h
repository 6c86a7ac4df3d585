#pragma once

#include <QApplication>
#include <functional>
#include <type_traits>

class QObject;

namespace controls {

class Desktop;

// An error is shown on the desktop of the window it happened in (`Desktop::of(where)`), in the
// default error box: title "Vardimo", stop icon, OK. Where no desktop can be found, a programming
// error, the message is written to the log instead of being lost.

// The message of the exception being handled. Call only from a catch block.
QString currentExceptionMessage();

// Shows the message of the exception being handled. Call only from a catch block.
void handleCurrentException(const QObject* where);

// Shows an error message that was caught earlier.
void reportError(const QObject* where, const QString& text);

// Runs an event handler of `where` (a screen, a control, a window); an exception that escapes it
// is shown on that window's desktop, and the screen stays as the handler left it.
void guarded(const QObject* where, const std::function<void()>& handler);

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

// Wraps a handler of `where` for connecting to a signal, with `where` as the connection's context
// so that it lives as long as the handler; the signal's arguments are passed on only to a handler
// that takes them.
template <typename F> auto handler(const QObject* where, F f) {
    return [where, f](auto&&... args) {
        guarded(where, [&] { detail::callHandler(f, std::forward<decltype(args)>(args)...); });
    };
}

// The application object: the last place an exception that escaped an event handler is caught.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    // Where errors of objects in no window are shown, from when the program has made its
    // desktop; nullptr: none yet (they are logged).
    void setDesktop(const Desktop* desktop) { desktop_ = desktop; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    const Desktop* desktop_ = nullptr;
};

} // namespace controls

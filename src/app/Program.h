#pragma once

#include "controls/BusyWaitNote.h"
#include "controls/Desktop.h"
#include "controls/QtDialogs.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace controls {
class Application;
}
namespace data {
class DataModule;
}
namespace app {
class MainWindow;
}
namespace app {
class SplashWindow;
}
namespace app {
class Program;
}

namespace app {

// What the start-up asks of its surroundings; tests replace parts of it.
struct StartupHooks {
    // The engine's version; by default the engine session's answer.
    std::function<std::optional<int>()> engineVersion;
    // Runs the main window's message loop; by default the application's.
    std::function<int(Program&)> runLoop;
    // Where the program's messages and dialogs are shown; by default the platform's.
    controls::Dialogs* dialogs = nullptr;
    // The application object that catches what escapes an event handler of no window: told the
    // program's desktop while it runs. None (a test's plain application): nothing to tell.
    controls::Application* application = nullptr;
};

// The splash window while the program loads, unless the command line asks for none ("-s").
class Splash {
public:
    explicit Splash(bool wanted);
    ~Splash();
    Splash(const Splash&) = delete;
    Splash& operator=(const Splash&) = delete;

    // Whether the command line leaves the splash on: "-s" or "/s", in any case, turns it off.
    static bool wanted(const QStringList& arguments);
    // Shows the window with a gauge of the given steps (none when 0).
    void open(int steps);
    void step();
    void close();
    SplashWindow* window() const { return window_.get(); }

private:
    bool wanted_;
    std::unique_ptr<SplashWindow> window_;
};

// One run of the program: what it creates at start (the data module, the windows) and hands to
// the screens that need them.
class Program {
public:
    explicit Program(const QStringList& arguments);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The start-up sequence, then the main window's message loop. Returns the process's exit
    // status: 0 after a normal end, non-zero when start-up could not complete.
    int run(const StartupHooks& hooks = {});

    data::DataModule& data() { return *data_; }
    MainWindow* mainWindow() { return main_.get(); }

private:
    int startAndRun(const StartupHooks& hooks);
    // Closes what the run made, windows first.
    void end();

    Splash splash_;
    // Declared before the data module, which uses it until its end.
    controls::BusyWaitNote busyWait_;
    // Declared before the windows shown on it.
    controls::QtDialogs platformDialogs_;
    std::unique_ptr<controls::Desktop> desktop_;
    controls::Application* application_ = nullptr; // told the desktop while it lives
    std::unique_ptr<data::DataModule> data_;
    std::unique_ptr<MainWindow> main_;
};

// Runs the program once, as main does.
int programBody(const QStringList& arguments, const StartupHooks& hooks = {});

} // namespace app

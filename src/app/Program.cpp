#include "app/Program.h"

#include "app/DisabledWindow.h"
#include "app/HelpWindow.h"
#include "app/LogonWindow.h"
#include "app/MainWindow.h"
#include "app/SplashWindow.h"
#include "controls/ErrorHandler.h"
#include "controls/Screen.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "engine/Error.h"
#include "engine/Session.h"
#include "system/Workstation.h"

#include <QApplication>
#include <QProgressBar>

namespace app {

namespace {
enum ExitStatus { Normal = 0, Failed = 1, EngineMissing = 3 };

// The engine session that opening the database needs: the alias Goal (the working folder unless
// the engine's configuration names another), who works here, and the shared directories.
void prepareSession(engine::Session& session) {
    if (!session.hasAlias(QStringLiteral("Goal")))
        session.addAlias(QStringLiteral("Goal"), QStringLiteral("."));
    session.setUserName(sys::networkUserName());
    session.setPrivateDir(sys::temporaryDirectory());
    session.setNetDir(sys::executableFolder());
    session.setDateFormat(engine::DateFormat{});
}

} // namespace

Splash::Splash(bool wanted) : wanted_(wanted) {}

Splash::~Splash() {
    close();
}

bool Splash::wanted(const QStringList& arguments) {
    for (int i = 1; i < arguments.size(); ++i) {
        const QString a = arguments[i].toUpper();
        if (a == QLatin1String("-S") || a == QLatin1String("/S")) return false;
    }
    return true;
}

void Splash::open(int steps) {
    if (!wanted_) return;
    close();
    window_ = std::make_unique<SplashWindow>();
    if (steps > 0)
        window_->progressBar->setMaximum(steps);
    else
        window_->progressBar->hide();
    controls::showPainted(window_.get());
}

void Splash::step() {
    if (!window_ || !window_->progressBar->isVisible()) return;
    window_->progressBar->setValue(window_->progressBar->value() + 1);
    controls::paintNow(window_.get());
}

void Splash::close() {
    if (!window_) return;
    window_->hide();
    window_.reset();
}

Program::Program(const QStringList& arguments) : splash_(Splash::wanted(arguments)) {}

Program::~Program() {
    end();
}

void Program::end() {
    // The windows go before the data module they show.
    splash_.close();
    main_.reset();
    data_.reset();
    if (application_) application_->setDesktop(nullptr);
    desktop_.reset();
}

int Program::run(const StartupHooks& hooks) {
    const int status = startAndRun(hooks);
    end();
    return status;
}

int Program::startAndRun(const StartupHooks& hooks) {
    // Facts of the workstation that every screen reads.
    // Without the help file, the manual installed with the program answers Help.
    const bool helpFile = sys::helpFileExists();
    const QString manual = helpFile ? QString() : sys::manualFolder();
    controls::Desktop::Help help;
    help.exists = helpFile || !manual.isEmpty();
    if (!manual.isEmpty()) help.open = [manual](QWidget* from) { app::showManual(manual, from); };
    // Every screen opening reads the lookup lists again: a running program never offers a row
    // that another workstation has deleted.
    controls::Dialogs& dialogs = hooks.dialogs ? *hooks.dialogs : platformDialogs_;
    desktop_ = std::make_unique<controls::Desktop>(dialogs, std::move(help), [this] {
        if (data_) data_->refreshLookupLists();
    });
    application_ = hooks.application;
    if (application_) application_->setDesktop(desktop_.get());
    engine::setDateFormat(engine::DateFormat{});
    // Without a database engine of the version the tables need, nothing else can run.
    const std::optional<int> version =
        hooks.engineVersion ? hooks.engineVersion() : engine::Session::instance().version();
    if (!version || *version < 500) {
        desktop_->showError(
            QStringLiteral("This Applicaion Requires the Qt SQLite Driver (QSQLITE) To Be Installed"));
        return EngineMissing;
    }
    splash_.open(3);
    // Every message box carries the application's title.
    QApplication::setApplicationName(QStringLiteral("Vardimo"));
    try {
        engine::Session& session = engine::Session::instance();
        prepareSession(session);
        data_ = std::make_unique<data::DataModule>(session);
        data_->goalDatabase.setBusyWait(&busyWait_);
        main_ = std::make_unique<MainWindow>(*data_, *desktop_);
        splash_.step();
        try {
            data_->open();
        } catch (const engine::Error& e) {
            // A server that holds the logons lets nobody in before the logon names him.
            if (!data::serverAsksLogon(e.message())) throw;
        }
    } catch (const engine::Error& e) {
        splash_.close();
        desktop_->showError(e.message());
        return Failed;
    }
    splash_.step();
    splash_.step();
    int status = Normal;
    try {
        data_->user().settings = data::readSystemSettings(*data_);
        splash_.close();
        if (!runLogon(*data_, *desktop_)) {
            desktop_->showError(QStringLiteral("Access Denied To Vardimo, Invalid Login"));
            status = Failed;
        } else if (data_->user().settings.disableLogon) {
            // The wait blocks the event loop: the window must be on the screen before it.
            DisabledWindow disabled;
            controls::showPainted(&disabled);
            sys::waitMilliseconds(5000);
            disabled.hide();
        } else {
            main_->show();
            main_->applyRights();
            status = hooks.runLoop ? hooks.runLoop(*this) : QApplication::exec();
        }
    } catch (const engine::Error& e) {
        splash_.close();
        desktop_->showError(e.message());
        status = Failed;
    }
    return status;
}

int programBody(const QStringList& arguments, const StartupHooks& hooks) {
    Program program(arguments);
    return program.run(hooks);
}

} // namespace app

#include "app/Vardimo.h"

#include "app/DisabledWindow.h"
#include "app/LogonWindow.h"
#include "app/MainWindow.h"
#include "app/SplashWindow.h"
#include "controls/Dialogs.h"
#include "controls/Screen.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "engine/Error.h"
#include "engine/Session.h"
#include "system/Workstation.h"

#include <QApplication>

bool HelpFileExists = false;

namespace {
enum ExitStatus { Normal = 0, Failed = 1, EngineMissing = 3 };
} // namespace

void ProgramEnd() {
    CloseSplash();
    delete LogonForm;
    LogonForm = nullptr;
    delete MainForm;
    MainForm = nullptr;
    delete ProgramDataForm;
}

int ProgramBody(const QStringList& arguments, const StartupHooks& hooks) {
    // Facts of the workstation that every screen reads.
    HelpFileExists = sys::helpFileExists();
    controls::setHelpFileExists(HelpFileExists);
    engine::setDateFormat(engine::DateFormat{});
    // Without a database engine of the version the tables need, nothing else can run.
    const std::optional<int> version =
        hooks.engineVersion ? hooks.engineVersion() : engine::Session::instance().version();
    if (!version || *version < 500) {
        controls::showError(
            QStringLiteral("This Applicaion Requires the Borland Database 5.0 Or Higher To Be Installed"));
        return EngineMissing;
    }
    ShowSplash = SplashWanted(arguments);
    OpenSplash(3);
    // Every message box carries the application's title.
    QApplication::setApplicationName(QStringLiteral("Vardimo"));
    // The main window comes before the data module: it prepares the engine session (the alias
    // Goal and the shared directories) that opening the database needs.
    try {
        MainForm = new MainWindow;
    } catch (const engine::Error& e) {
        CloseSplash();
        controls::showError(e.message());
        ProgramEnd();
        return Failed;
    }
    StepSplash();
    auto* dm = new DataModule;
    if (!dm->DataModuleCreate()) {
        CloseSplash();
        ProgramEnd();
        return Failed;
    }
    StepSplash();
    LogonForm = new LogonWindow;
    LogonForm->LoggedOn = false;
    StepSplash();
    int status = Normal;
    try {
        LoadSystemSettings();
        CloseSplash();
        RunLogon();
        if (!LogonForm->LoggedOn) {
            controls::showError(QStringLiteral("Access Denied To Vardimo, Invalid Login"));
            status = Failed;
        } else if (SystemSettings.DisableLogin) {
            // The wait blocks the event loop: the window must be on the screen before it.
            DisabledWindow disabled;
            controls::showPainted(&disabled);
            sys::WaitMilliseconds(5000);
            disabled.hide();
        } else {
            MainForm->show();
            MainForm->ApplyRights();
            status = hooks.runLoop ? hooks.runLoop() : QApplication::exec();
        }
    } catch (const engine::Error& e) {
        CloseSplash();
        controls::showError(e.message());
        status = Failed;
    }
    ProgramEnd();
    return status;
}

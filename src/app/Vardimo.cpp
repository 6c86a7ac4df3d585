#include "app/Vardimo.h"

#include "app/MainFrm.h"
#include "app/Windows.h"
#include "app/login.h"
#include "controls/Dialogs.h"
#include "controls/Screen.h"
#include "data/CurrentUser.h"
#include "data/ProgramDataFrm.h"
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
    // 1 and 2: help file and date format.
    HelpFileExists = sys::helpFileExists();
    controls::setHelpFileExists(HelpFileExists);
    engine::setDateFormat(engine::DateFormat{});
    // 3 and 4: the engine.
    const std::optional<int> version =
        hooks.engineVersion ? hooks.engineVersion() : engine::Session::instance().version();
    if (!version || *version < 500) {
        controls::showError(
            QStringLiteral("This Applicaion Requires the Borland Database 5.0 Or Higher To Be Installed"));
        return EngineMissing;
    }
    // 5 and 6: the splash window.
    ShowSplash = SplashWanted(arguments);
    OpenSplash(3);
    // 7: the application's title.
    QApplication::setApplicationName(QStringLiteral("Vardimo"));
    // 8: the main window, which prepares the engine session.
    try {
        MainForm = new TMainForm;
    } catch (const engine::Error& e) {
        CloseSplash();
        controls::showError(e.message());
        ProgramEnd();
        return Failed;
    }
    StepSplash();
    // 9: the data module opens the database and every table.
    auto* dm = new TProgramDataForm;
    if (!dm->DataModuleCreate()) {
        CloseSplash();
        ProgramEnd();
        return Failed;
    }
    StepSplash();
    // 10: the logon window.
    LogonForm = new TLogonForm;
    LogonForm->LoggedOn = false;
    StepSplash();
    int status = Normal;
    try {
        // 11 to 13.
        LoadSystemSettings();
        CloseSplash();
        RunLogon();
        // 14.
        if (!LogonForm->LoggedOn) {
            controls::showError(QStringLiteral("Access Denied To Vardimo, Invalid Login"));
            status = Failed;
        } else if (SystemSettings.DisableLogin) {
            TDisabledForm disabled;
            disabled.show();
            disabled.repaint();
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
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
    // 15.
    ProgramEnd();
    return status;
}

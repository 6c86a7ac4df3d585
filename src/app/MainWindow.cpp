#include "app/MainWindow.h"

#include "admin/InformationWindow.h"
#include "admin/SecurityWindow.h"
#include "admin/SystemSettingsDialog.h"
#include "admin/UserSettingsDialog.h"
#include "admin/UserSetupWindow.h"
#include "app/AboutDialog.h"
#include "app/MessageWindow.h"
#include "app/Pictures.h"
#include "app/TrackingMenu.h"
#include "controls/Desktop.h"
#include "controls/ErrorHandler.h"
#include "controls/Screen.h"
#include "data/DataModule.h"
#include "data/Packing.h"
#include "engine/Session.h"
#include "planning/DepartmentsWindow.h"
#include "planning/GoalTypesWindow.h"
#include "planning/GoalsWindow.h"
#include "planning/StrategyListWindow.h"
#include "printing/Printer.h"
#include "reports/ReportsWindow.h"
#include "system/Workstation.h"

#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QShortcutEvent>
#include <QStatusBar>
#include <QVBoxLayout>

namespace app {

QAction* MainWindow::item(QMenu* menu, const QString& caption, void (MainWindow::*slot)()) {
    QAction* a = menu ? menu->addAction(caption) : menuBar()->addAction(caption);
    connect(a, &QAction::triggered, this,
            [this, slot] { controls::guarded(this, [this, slot] { (this->*slot)(); }); });
    return a;
}

MainWindow::MainWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : QMainWindow(parent), dm_(dm), desktop_(desktop) {
    desktop_.attach(this);
    setWindowTitle(QStringLiteral("Vardimo"));
    resize(760, 480);
    buildMenus();
    addTrackingMenu(*this, dm_, desktop_);

    menuBar()->installEventFilter(this);
    for (QAction* a : menuBar()->actions())
        if (a->menu()) a->menu()->installEventFilter(this);

    statusLine = statusBar();
    // Main window creation, in the system's order.
    // A widget of the bar, not a message: menus clear messages when they open.
    statusLine->addWidget(
        new QLabel(QStringLiteral("Vardimo - yearly goals and strategies of the organisation"), statusLine),
        1);
    productHelpAction->setEnabled(desktop_.helpExists());
    buildWorkingArea();
}

void MainWindow::buildMenus() {
    fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    printerSetupAction = item(fileMenu, QStringLiteral("&Printer Setup"), &MainWindow::setUpPrinter);
    fileMenu->addSeparator();
    userSettingsAction = item(fileMenu, QStringLiteral("&User Settings"), &MainWindow::openUserSettings);
    systemSettingsAction =
        item(fileMenu, QStringLiteral("&System Settings"), &MainWindow::openSystemSettings);
    userSetupAction = item(fileMenu, QStringLiteral("Us&er Setup"), &MainWindow::openUserSetup);
    securityAction = item(fileMenu, QStringLiteral("Se&curity"), &MainWindow::openSecurity);
    fileMenu->addSeparator();
    packDatabaseAction = item(fileMenu, QStringLiteral("&Pack Database"), &MainWindow::packDatabase);
    informationAction = item(fileMenu, QStringLiteral("&Information"), &MainWindow::showInformation);
    fileMenu->addSeparator();
    exitAction = item(fileMenu, QStringLiteral("&Exit"), &MainWindow::exitProgram);
    setupMenu = menuBar()->addMenu(QStringLiteral("&Setup"));
    goalsAction = item(setupMenu, QStringLiteral("&Goals"), &MainWindow::openGoals);
    setupMenu->addSeparator();
    goalTypesAction = item(setupMenu, QStringLiteral("G&oal Types"), &MainWindow::openGoalTypes);
    setupMenu->addSeparator();
    departmentsAction = item(setupMenu, QStringLiteral("&Departments"), &MainWindow::openDepartments);
    strategiesAction = item(nullptr, QStringLiteral("&Strategies"), &MainWindow::openStrategies);
    reportsAction = item(nullptr, QStringLiteral("&Reports"), &MainWindow::openReports);
    helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    productHelpAction = helpMenu->addAction(QStringLiteral("&Prodcut Help"));
    connect(productHelpAction, &QAction::triggered, this, [this] { desktop_.openHelp(this); });
    helpMenu->addSeparator();
    aboutAction = item(helpMenu, QStringLiteral("&About"), &MainWindow::showAbout);
}

void MainWindow::buildWorkingArea() {
    // The working area shows the product while no screen is open.
    auto* central = new QWidget(this);
    central->setAutoFillBackground(true);
    QPalette pal = central->palette();
    pal.setColor(QPalette::Window, QColor(0xF4, 0xF1, 0xEA));
    central->setPalette(pal);
    auto* lay = new QVBoxLayout(central);
    lay->addStretch(2);
    auto* picture = new QLabel(central);
    picture->setPixmap(app::targetPicture(128));
    picture->setAlignment(Qt::AlignCenter);
    auto* name = app::productLabel(QStringLiteral("Vardimo"), 40, central);
    auto* hint =
        new QLabel(QStringLiteral("Goals and strategies of the organisation, year by year"), central);
    hint->setAlignment(Qt::AlignCenter);
    lay->addWidget(picture);
    lay->addWidget(name);
    lay->addWidget(hint);
    lay->addStretch(3);
    setCentralWidget(central);
}

QList<QAction*> MainWindow::menuItems() const {
    return {printerSetupAction, userSettingsAction, systemSettingsAction, userSetupAction,   securityAction,
            packDatabaseAction, informationAction,  exitAction,           goalsAction,       goalTypesAction,
            departmentsAction,  strategiesAction,   reportsAction,        productHelpAction, aboutAction};
}

bool MainWindow::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) {
        applyRights();
    }
    return QMainWindow::event(e);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    // "&Setup" and "&Strategies" share the letter S. Qt hands such an ambiguous Alt+letter to
    // each item in turn, so every other Alt+S would go to the wrong item (or nowhere, for a
    // keyboard user who expects the Setup menu). As on the system's own platform, the key
    // belongs to the first item with that letter; the others are reached with the arrow keys.
    if (watched == menuBar() && e->type() == QEvent::Shortcut) {
        auto* se = static_cast<QShortcutEvent*>(e);
        if (se->isAmbiguous()) {
            for (QAction* a : menuBar()->actions()) {
                if (!a->isVisible() || QKeySequence::mnemonic(a->text()) != se->key()) continue;
                if (a->isEnabled()) {
                    if (a->menu())
                        menuBar()->setActiveAction(a);
                    else
                        a->trigger();
                }
                return true;
            }
        }
    }
    // Inside a menu, "&Exit" and "Us&er Setup" share the letter E. Qt then only moves the
    // highlight between them, also onto a disabled item, so for most users E did nothing at
    // all. When just one of the items with the letter can be chosen, the letter chooses it.
    if (e->type() == QEvent::KeyPress) {
        auto* menu = qobject_cast<QMenu*>(watched);
        auto* ke = static_cast<QKeyEvent*>(e);
        if (menu && ke->modifiers() == Qt::NoModifier && ke->text().size() == 1) {
            const QString letter = ke->text().toUpper();
            int matching = 0;
            QAction* enabled = nullptr;
            int enabledCount = 0;
            for (QAction* a : menu->actions()) {
                if (!a->isVisible() || a->isSeparator()) continue;
                if (QKeySequence::mnemonic(a->text()).toString().compare(QStringLiteral("Alt+") + letter,
                                                                         Qt::CaseInsensitive) != 0)
                    continue;
                ++matching;
                if (a->isEnabled()) {
                    enabled = a;
                    ++enabledCount;
                }
            }
            if (matching > 1 && enabledCount == 1) {
                menu->setActiveAction(enabled);
                QCoreApplication::postEvent(menu,
                                            new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

void MainWindow::applyRights() {
    const data::ProfileRights& r = dm_.user().rights;
    systemSettingsAction->setEnabled(r.canChangeSystem);
    userSetupAction->setEnabled(r.canAddUsers);
    securityAction->setEnabled(r.canViewSecurity || r.supervisor);
    packDatabaseAction->setEnabled(r.canPackDatabase);
    goalsAction->setEnabled(r.canAddGoals);
    departmentsAction->setEnabled(r.canAddDepartments);
    goalTypesAction->setEnabled(r.canAddGoalTypes);
    strategiesAction->setEnabled(r.canAddStrategies);
    reportsAction->setEnabled(r.canPrintReports);
}

template <typename Form> void MainWindow::showScreen() {
    Form form(dm_, desktop_, this);
    desktop_.showModal(form);
    applyRights();
}

void MainWindow::setUpPrinter() {
    desktop_.dialogs().printerSetup(printing::currentPrinter(), this);
}

void MainWindow::openUserSettings() {
    showScreen<admin::UserSettingsDialog>();
}
void MainWindow::openSystemSettings() {
    showScreen<admin::SystemSettingsDialog>();
}
void MainWindow::openUserSetup() {
    showScreen<admin::UserSetupWindow>();
}
void MainWindow::openSecurity() {
    showScreen<admin::SecurityWindow>();
}

void MainWindow::openStrategies() {
    showScreen<planning::StrategyListWindow>();
}
void MainWindow::openReports() {
    showScreen<reports::ReportsWindow>();
}

void MainWindow::packDatabase() {
    if (!desktop_.confirm(QStringLiteral("Are you sure you want to Pack The Database?"))) return;
    struct Progress : data::PackProgress {
        MessageWindow form;
        const controls::Desktop& desktop;
        Progress(QWidget* owner, const controls::Desktop& d) : form(owner), desktop(d) {}
        void setStatus(const QString& text) override { form.setStatus(text); }
        bool retry(const QString& question, const QString& title) override {
            return desktop.messageBox(question, controls::Icon::Stop, controls::Buttons::OkCancel, title) ==
                   controls::Answer::Ok;
        }
    } progress(this, desktop_);
    controls::showPainted(&progress.form);
    data::packDatabase(dm_, progress);
}

void MainWindow::openGoals() {
    showScreen<planning::GoalsWindow>();
}
void MainWindow::openGoalTypes() {
    showScreen<planning::GoalTypesWindow>();
}
void MainWindow::openDepartments() {
    showScreen<planning::DepartmentsWindow>();
}

void MainWindow::showInformation() {
    showScreen<admin::InformationWindow>();
}

void MainWindow::exitProgram() {
    close();
}

void MainWindow::showAbout() {
    AboutDialog about(this);
    desktop_.showModal(about);
}

} // namespace app

#include "app/MainWindow.h"

#include "admin/SecurityWindow.h"
#include "admin/SystemSettingsDialog.h"
#include "admin/UserSettingsDialog.h"
#include "admin/UserSetupWindow.h"
#include "app/Pictures.h"
#include "app/TrackingMenu.h"
#include "app/Windows.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/Screen.h"
#include "data/DataModule.h"
#include "data/InformationWindow.h"
#include "data/Packing.h"
#include "engine/Session.h"
#include "planning/GoalsWindow.h"
#include "planning/ReferenceWindow.h"
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

QAction* MainWindow::item(QMenu* menu, const QString& caption, void (MainWindow::*slot)()) {
    QAction* a = menu ? menu->addAction(caption) : menuBar()->addAction(caption);
    connect(a, &QAction::triggered, this,
            [this, slot] { controls::guarded([this, slot] { (this->*slot)(); }); });
    return a;
}

MainWindow::MainWindow(DataModule& dm, QWidget* parent) : QMainWindow(parent), dm_(dm) {
    setWindowTitle(QStringLiteral("Vardimo"));
    resize(760, 480);
    File1 = menuBar()->addMenu(QStringLiteral("&File"));
    PrinterSetup1 = item(File1, QStringLiteral("&Printer Setup"), &MainWindow::PrinterSetup1Click);
    File1->addSeparator();
    UserSettings1 = item(File1, QStringLiteral("&User Settings"), &MainWindow::UserSettings1Click);
    SystemSettings1 = item(File1, QStringLiteral("&System Settings"), &MainWindow::SystemSettings1Click);
    UserSetup1 = item(File1, QStringLiteral("Us&er Setup"), &MainWindow::UserSetup1Click);
    Security1 = item(File1, QStringLiteral("Se&curity"), &MainWindow::Security1Click);
    File1->addSeparator();
    PackDatabase1 = item(File1, QStringLiteral("&Pack Database"), &MainWindow::PackDatabase1Click);
    Information1 = item(File1, QStringLiteral("&Information"), &MainWindow::Information1Click);
    File1->addSeparator();
    Exit1 = item(File1, QStringLiteral("&Exit"), &MainWindow::Exit1Click);
    Setup1 = menuBar()->addMenu(QStringLiteral("&Setup"));
    Goals2 = item(Setup1, QStringLiteral("&Goals"), &MainWindow::Goals2Click);
    Setup1->addSeparator();
    GoalTypes1 = item(Setup1, QStringLiteral("G&oal Types"), &MainWindow::GoalTypes1Click);
    Setup1->addSeparator();
    Departments2 = item(Setup1, QStringLiteral("&Departments"), &MainWindow::Departments2Click);
    Strategys1 = item(nullptr, QStringLiteral("&Strategies"), &MainWindow::Strategys1Click);
    Reports1 = item(nullptr, QStringLiteral("&Reports"), &MainWindow::Reports1Click);
    Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
    ProdcutHelp1 = Help1->addAction(QStringLiteral("&Prodcut Help"));
    Help1->addSeparator();
    About1 = item(Help1, QStringLiteral("&About"), &MainWindow::About1Click);
    AddTrackingMenu(*this, dm_);

    menuBar()->installEventFilter(this);
    for (QAction* a : menuBar()->actions())
        if (a->menu()) a->menu()->installEventFilter(this);

    StatusBar1 = statusBar();
    // Main window creation, in the system's order.
    // A widget of the bar, not a message: menus clear messages when they open.
    StatusBar1->addWidget(
        new QLabel(QStringLiteral("Vardimo - yearly goals and strategies of the organisation"), StatusBar1),
        1);
    ProdcutHelp1->setEnabled(controls::helpFileExists());

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
    return {PrinterSetup1, UserSettings1, SystemSettings1, UserSetup1,   Security1,
            PackDatabase1, Information1,  Exit1,           Goals2,       GoalTypes1,
            Departments2,  Strategys1,    Reports1,        ProdcutHelp1, About1};
}

bool MainWindow::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) {
        ApplyRights();
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

void MainWindow::ApplyRights() {
    const ProfileRights& r = dm_.user().rights;
    SystemSettings1->setEnabled(r.canChangeSystem);
    UserSetup1->setEnabled(r.canAddUsers);
    Security1->setEnabled(r.canViewSecurity || r.supervisor);
    PackDatabase1->setEnabled(r.canPackDatabase);
    Goals2->setEnabled(r.canAddGoals);
    Departments2->setEnabled(r.canAddDepartments);
    GoalTypes1->setEnabled(r.canAddGoalTypes);
    Strategys1->setEnabled(r.canAddStrategies);
    Reports1->setEnabled(r.canPrintReports);
}

template <typename Form> void MainWindow::showScreen() {
    Form form(dm_, this);
    controls::showModal(form);
    ApplyRights();
}

void MainWindow::PrinterSetup1Click() {
    controls::dialogs().printerSetup(printing::currentPrinter(), this);
}

void MainWindow::UserSettings1Click() {
    showScreen<UserSettingsDialog>();
}
void MainWindow::SystemSettings1Click() {
    showScreen<SystemSettingsDialog>();
}
void MainWindow::UserSetup1Click() {
    showScreen<UserSetupWindow>();
}
void MainWindow::Security1Click() {
    showScreen<SecurityWindow>();
}

void MainWindow::Strategys1Click() {
    showScreen<StrategyListWindow>();
}
void MainWindow::Reports1Click() {
    showScreen<ReportsWindow>();
}

void MainWindow::PackDatabase1Click() {
    if (!controls::confirm(QStringLiteral("Are you sure you want to Pack The Database?"))) return;
    struct Progress : PackProgress {
        MessageWindow form;
        explicit Progress(QWidget* owner) : form(owner) {}
        void setStatus(const QString& text) override { form.setStatus(text); }
    } progress(this);
    controls::showPainted(&progress.form);
    PackDatabase(dm_, progress);
}

void MainWindow::Goals2Click() {
    showScreen<GoalsWindow>();
}
void MainWindow::GoalTypes1Click() {
    showScreen<GoalTypesWindow>();
}
void MainWindow::Departments2Click() {
    showScreen<DepartmentsWindow>();
}

void MainWindow::Information1Click() {
    showScreen<InformationWindow>();
}

void MainWindow::Exit1Click() {
    close();
}

void MainWindow::About1Click() {
    AboutDialog about(this);
    controls::showModal(about);
}

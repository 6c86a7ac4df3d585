#include "app/TrackingMenu.h"

#include "app/MainWindow.h"
#include "controls/Desktop.h"
#include "controls/ErrorHandler.h"
#include "controls/Screen.h"
#include "data/DataModule.h"
#include "planning/OverdueWindow.h"
#include "reports/OverviewWindow.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace app {

void TrackingMenu::applyRights(const data::ProfileRights& rights) const {
    overdueAction->setEnabled(rights.canAddStrategies);
    overviewAction->setEnabled(rights.canPrintReports);
}

namespace {
template <typename Form> void show(data::DataModule& dm, controls::Desktop& desktop, MainWindow* owner) {
    Form form(dm, desktop, owner);
    desktop.showModal(form);
}
} // namespace

TrackingMenu addTrackingMenu(MainWindow& form, data::DataModule& dm, controls::Desktop& desktop) {
    TrackingMenu m;
    m.trackingMenu = new QMenu(QStringLiteral("&Tracking"), &form);
    m.trackingMenu->setObjectName(QStringLiteral("trackingMenu"));
    form.menuBar()->insertMenu(form.helpMenu->menuAction(), m.trackingMenu);
    m.overdueAction = m.trackingMenu->addAction(QStringLiteral("&Overdue"));
    m.overdueAction->setObjectName(QStringLiteral("overdueAction"));
    m.overviewAction = m.trackingMenu->addAction(QStringLiteral("O&verview"));
    m.overviewAction->setObjectName(QStringLiteral("overviewAction"));
    MainWindow* owner = &form;
    QObject::connect(m.overdueAction, &QAction::triggered, &form, [owner, &dm, &desktop] {
        controls::guarded(owner,
                          [owner, &dm, &desktop] { show<planning::OverdueWindow>(dm, desktop, owner); });
    });
    QObject::connect(m.overviewAction, &QAction::triggered, &form, [owner, &dm, &desktop] {
        controls::guarded(owner,
                          [owner, &dm, &desktop] { show<reports::OverviewWindow>(dm, desktop, owner); });
    });
    // Rights are read each time the menu opens, as the main window does on activation.
    QObject::connect(m.trackingMenu, &QMenu::aboutToShow, &form,
                     [m, &dm] { m.applyRights(dm.user().rights); });
    m.applyRights(dm.user().rights);
    return m;
}

} // namespace app

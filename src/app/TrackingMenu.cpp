#include "app/TrackingMenu.h"

#include "app/MainWindow.h"
#include "controls/ErrorHandler.h"
#include "controls/Screen.h"
#include "data/CurrentUser.h"
#include "planning/OverdueWindow.h"
#include "reports/OverviewWindow.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

void TrackingMenu::ApplyRights() const {
    overdueAction->setEnabled(SecurityData.CanAddStrategy);
    overviewAction->setEnabled(SecurityData.CanPrintReports);
}

namespace {
template <typename Form> void show(MainWindow* owner) {
    Form form(owner);
    controls::showModal(form);
}
} // namespace

TrackingMenu AddTrackingMenu(MainWindow& form) {
    TrackingMenu m;
    m.trackingMenu = new QMenu(QStringLiteral("&Tracking"), &form);
    m.trackingMenu->setObjectName(QStringLiteral("trackingMenu"));
    form.menuBar()->insertMenu(form.helpMenu->menuAction(), m.trackingMenu);
    m.overdueAction = m.trackingMenu->addAction(QStringLiteral("&Overdue"));
    m.overdueAction->setObjectName(QStringLiteral("overdueAction"));
    m.overviewAction = m.trackingMenu->addAction(QStringLiteral("O&verview"));
    m.overviewAction->setObjectName(QStringLiteral("overviewAction"));
    MainWindow* owner = &form;
    QObject::connect(m.overdueAction, &QAction::triggered, &form,
                     [owner] { controls::guarded([owner] { show<OverdueWindow>(owner); }); });
    QObject::connect(m.overviewAction, &QAction::triggered, &form,
                     [owner] { controls::guarded([owner] { show<OverviewWindow>(owner); }); });
    // Rights are read each time the menu opens, as the main window does on activation.
    QObject::connect(m.trackingMenu, &QMenu::aboutToShow, &form, [m] { m.ApplyRights(); });
    m.ApplyRights();
    return m;
}

#include "app/TrackingMenu.h"

#include "app/MainWindow.h"
#include "controls/ErrorHandler.h"
#include "controls/Screen.h"
#include "data/DataModule.h"
#include "planning/OverdueWindow.h"
#include "reports/OverviewWindow.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

void TTrackingMenu::ApplyRights(const ProfileRights& rights) const {
    Overdue1->setEnabled(rights.canAddStrategies);
    Overview1->setEnabled(rights.canPrintReports);
}

namespace {
template <typename Form> void show(DataModule& dm, MainWindow* owner) {
    Form form(dm, owner);
    controls::showModal(form);
}
} // namespace

TTrackingMenu AddTrackingMenu(MainWindow& form, DataModule& dm) {
    TTrackingMenu m;
    m.Tracking1 = new QMenu(QStringLiteral("&Tracking"), &form);
    m.Tracking1->setObjectName(QStringLiteral("Tracking1"));
    form.menuBar()->insertMenu(form.Help1->menuAction(), m.Tracking1);
    m.Overdue1 = m.Tracking1->addAction(QStringLiteral("&Overdue"));
    m.Overdue1->setObjectName(QStringLiteral("Overdue1"));
    m.Overview1 = m.Tracking1->addAction(QStringLiteral("O&verview"));
    m.Overview1->setObjectName(QStringLiteral("Overview1"));
    MainWindow* owner = &form;
    QObject::connect(m.Overdue1, &QAction::triggered, &form,
                     [owner, &dm] { controls::guarded([owner, &dm] { show<OverdueWindow>(dm, owner); }); });
    QObject::connect(m.Overview1, &QAction::triggered, &form,
                     [owner, &dm] { controls::guarded([owner, &dm] { show<OverviewWindow>(dm, owner); }); });
    // Rights are read each time the menu opens, as the main window does on activation.
    QObject::connect(m.Tracking1, &QMenu::aboutToShow, &form, [m, &dm] { m.ApplyRights(dm.user().rights); });
    m.ApplyRights(dm.user().rights);
    return m;
}

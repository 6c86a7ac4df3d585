#pragma once

class QAction;
class QMenu;
namespace app {
class MainWindow;
}
namespace controls {
class Desktop;
}
namespace data {
class DataModule;
struct ProfileRights;
} // namespace data

namespace app {

// The menu of the follow-up windows, "&Tracking", between "&Reports" and "&Help": "&Overdue"
// (with CanAddStrategy, the right that opens the strategies) and "O&verview" (with
// CanPrintReports). It leaves the letters and the rights of every other item as they are.
struct TrackingMenu {
    QMenu* trackingMenu = nullptr;
    QAction* overdueAction = nullptr;
    QAction* overviewAction = nullptr;
    void applyRights(const data::ProfileRights& rights) const;
};

TrackingMenu addTrackingMenu(MainWindow& form, data::DataModule& dm, controls::Desktop& desktop);

} // namespace app

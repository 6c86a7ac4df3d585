#pragma once

class QAction;
class QMenu;
class MainWindow;
class DataModule;
struct ProfileRights;

// The menu of the follow-up windows, "&Tracking", between "&Reports" and "&Help": "&Overdue"
// (with CanAddStrategy, the right that opens the strategies) and "O&verview" (with
// CanPrintReports). It leaves the letters and the rights of every other item as they are.
struct TTrackingMenu {
    QMenu* Tracking1 = nullptr;
    QAction* Overdue1 = nullptr;
    QAction* Overview1 = nullptr;
    void ApplyRights(const ProfileRights& rights) const;
};

TTrackingMenu AddTrackingMenu(MainWindow& form, DataModule& dm);

#pragma once

#include <QMainWindow>

namespace controls {
class Desktop;
}
namespace data {
class DataModule;
}
class QAction;
class QMenu;
class QStatusBar;

namespace app {

// The main window: the menu is the only way into the system.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Every screen the menu opens is shown on `desktop`.
    MainWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);

    QMenu* fileMenu;
    QAction* printerSetupAction;
    QAction* userSettingsAction;
    QAction* systemSettingsAction;
    QAction* userSetupAction;
    QAction* securityAction;
    QAction* packDatabaseAction;
    QAction* informationAction;
    QAction* exitAction;
    QMenu* setupMenu;
    QAction* goalsAction;
    QAction* goalTypesAction;
    QAction* departmentsAction;
    QAction* strategiesAction;
    QAction* reportsAction;
    QMenu* helpMenu;
    QAction* productHelpAction;
    QAction* aboutAction;
    QStatusBar* statusLine;

    void applyRights();

    void setUpPrinter();
    void openUserSettings();
    void openSystemSettings();
    void openUserSetup();
    void openSecurity();
    void packDatabase();
    void showInformation();
    void exitProgram();
    void openGoals();
    void openGoalTypes();
    void openDepartments();
    void openStrategies();
    void openReports();
    void showAbout();

    // Every item in menu order, for tests and the rights table.
    QList<QAction*> menuItems() const;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildMenus();
    void buildWorkingArea();
    QAction* item(QMenu* menu, const QString& caption, void (MainWindow::*slot)());
    template <typename Form> void showScreen();
    data::DataModule& dm_;
    controls::Desktop& desktop_;
};

} // namespace app

#pragma once

#include <QMainWindow>

class DataModule;
class QAction;
class QMenu;
class QStatusBar;

// The main window: the menu is the only way into the system.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(DataModule& dm, QWidget* parent = nullptr);

    QMenu* File1;
    QAction* PrinterSetup1;
    QAction* UserSettings1;
    QAction* SystemSettings1;
    QAction* UserSetup1;
    QAction* Security1;
    QAction* PackDatabase1;
    QAction* Information1;
    QAction* Exit1;
    QMenu* Setup1;
    QAction* Goals2;
    QAction* GoalTypes1;
    QAction* Departments2;
    QAction* Strategys1;
    QAction* Reports1;
    QMenu* Help1;
    QAction* ProdcutHelp1;
    QAction* About1;
    QStatusBar* StatusBar1;

    void ApplyRights();

    void PrinterSetup1Click();
    void UserSettings1Click();
    void SystemSettings1Click();
    void UserSetup1Click();
    void Security1Click();
    void PackDatabase1Click();
    void Information1Click();
    void Exit1Click();
    void Goals2Click();
    void GoalTypes1Click();
    void Departments2Click();
    void Strategys1Click();
    void Reports1Click();
    void About1Click();

    // Every item in menu order, for tests and the rights table.
    QList<QAction*> menuItems() const;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QAction* item(QMenu* menu, const QString& caption, void (MainWindow::*slot)());
    template <typename Form> void showScreen();
    DataModule& dm_;
};

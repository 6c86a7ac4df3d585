// The user manual behind Help: each screen's Help button opens the manual at that screen's own
// page, the main window's help item at the contents, and the help window finds words in it.

#include "admin/InformationWindow.h"
#include "admin/LoggedInUsersWindow.h"
#include "admin/SecurityWindow.h"
#include "admin/SystemSettingsDialog.h"
#include "admin/UserSettingsDialog.h"
#include "admin/UserSetupWindow.h"
#include "app/HelpWindow.h"
#include "app/MainWindow.h"
#include "controls/DataGrid.h"
#include "controls/DatePicker.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/RadioGroup.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "planning/DeletedDialog.h"
#include "planning/DepartmentsWindow.h"
#include "planning/GoalTypesWindow.h"
#include "planning/GoalsWindow.h"
#include "planning/HistoryDialog.h"
#include "planning/MeasurementsWindow.h"
#include "planning/OverdueWindow.h"
#include "planning/StrategyEditor.h"
#include "planning/StrategyListWindow.h"
#include "reports/OverviewWindow.h"
#include "reports/PrintGoalsDialog.h"
#include "reports/ReportsWindow.h"
#include "support/DataFixture.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString manualFolder = QStringLiteral(VARDIMO_MANUAL_DIR);

class Help : public testing_support::OnFolder<testing_support::DataFixture> {
protected:
    void SetUp() override {
        DataFixture::SetUp();
        engine::Table& profiles = dm->securityTable;
        profiles.insert();
        profiles.field("Description").setValue("Everything");
        for (const data::SecurityRight& r : data::SecurityRights())
            profiles.field(r.name).setValue(true);
        profiles.post();
        const int me = addUser("ME", "", "Mia", profiles.field("SecurityID").asInt());
        ASSERT_TRUE(data::logOn(*dm, "ME", "", false));
        const int type = insertRow(dm->goalTypeTable, {{"TypeDescription", "Corporate"}});
        dm->goalTypeTable.locate("GoalTypeID", type);
        const int goal = addGoal("Grow", QDate::currentDate().year(), type, me, me);
        goal_ = goal;
        insertRow(dm->strategyTable,
                  {{"GoalID", goal}, {"UserNumber", me}, {"StrategyNumber", 1}, {"Compleated", false}});
    }
    int goal_ = 0;
    // The screens of these tests are shown where the manual answers Help.
    controls::Desktop helped =
        makeDesktop({true, [](QWidget* from) { app::showManual(manualFolder, from); }});
    // Presses the screen's Help button with the keyboard; the help window it opened, if any.
    static app::HelpWindow* pressHelp(controls::Screen& screen) {
        screen.show();
        screen.helpButton->setFocus();
        QTest::keyClick(screen.helpButton, Qt::Key_Space);
        return screen.findChild<app::HelpWindow*>();
    }
};

TEST_F(Help, EveryScreensHelpOpensItsOwnPage) {
    struct Case {
        const char* page;
        std::function<std::unique_ptr<controls::Screen>(QWidget* parent)> make;
    };
    data::DataModule& d = *dm;
    // The editor and the measurement items need the strategy the list has made current.
    planning::StrategyListWindow list(d, helped);
    planning::StrategyEditor editor(d, helped, &list);
    const Case cases[] = {
        {"goals.html", [&](QWidget* p) { return std::make_unique<planning::GoalsWindow>(d, helped, p); }},
        {"strategies.html",
         [&](QWidget* p) { return std::make_unique<planning::StrategyListWindow>(d, helped, p); }},
        {"strategy-editor.html",
         [&](QWidget*) { return std::make_unique<planning::StrategyEditor>(d, helped, &list); }},
        {"measurements.html",
         [&](QWidget*) { return std::make_unique<planning::MeasurementsWindow>(d, helped, &editor); }},
        {"goal-types.html",
         [&](QWidget* p) { return std::make_unique<planning::GoalTypesWindow>(d, helped, p); }},
        {"departments.html",
         [&](QWidget* p) { return std::make_unique<planning::DepartmentsWindow>(d, helped, p); }},
        {"reports.html", [&](QWidget* p) { return std::make_unique<reports::ReportsWindow>(d, helped, p); }},
        {"print-goals.html",
         [&](QWidget*) {
             return std::make_unique<reports::PrintGoalsDialog>(d, reports::ListedStrategies{}, helped,
                                                                &list);
         }},
        {"overdue.html", [&](QWidget* p) { return std::make_unique<planning::OverdueWindow>(d, helped, p); }},
        {"overview.html",
         [&](QWidget* p) { return std::make_unique<reports::OverviewWindow>(d, helped, p); }},
        {"security.html", [&](QWidget* p) { return std::make_unique<admin::SecurityWindow>(d, helped, p); }},
        {"user-setup.html",
         [&](QWidget* p) { return std::make_unique<admin::UserSetupWindow>(d, helped, p); }},
        {"user-settings.html",
         [&](QWidget* p) { return std::make_unique<admin::UserSettingsDialog>(d, helped, p); }},
        {"system-settings.html",
         [&](QWidget* p) { return std::make_unique<admin::SystemSettingsDialog>(d, helped, p); }},
        {"information.html",
         [&](QWidget* p) { return std::make_unique<admin::InformationWindow>(d, helped, p); }},
        {"history.html",
         [&](QWidget* p) {
             return std::make_unique<planning::HistoryDialog>(d, planning::HistoryDialog::Kind::Goal, goal_,
                                                              true, helped, p);
         }},
        {"deleted.html",
         [&](QWidget* p) {
             return std::make_unique<planning::DeletedDialog>(d, planning::DeletedDialog::Kind::Goals, helped,
                                                              p);
         }},
    };
    QStringList opened;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        std::unique_ptr<controls::Screen> screen = c.make(nullptr);
        screen->show();
        // Some screens decide on their Help button when they become active.
        screen->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(screen.get()));
        ASSERT_TRUE(screen->helpButton->isVisible()) << "the manual makes Help show";
        app::HelpWindow* help = pressHelp(*screen);
        ASSERT_NE(help, nullptr) << "Help opened no help window";
        EXPECT_TRUE(help->isVisible());
        EXPECT_EQ(help->currentPage(), QString::fromLatin1(c.page));
        EXPECT_TRUE(QFileInfo(help->browser->source().toLocalFile()).isFile());
        // The page is a page of its own, with its heading, not the contents.
        EXPECT_NE(help->browser->documentTitle(), "Vardimo Manual");
        EXPECT_TRUE(help->browser->toPlainText().startsWith(help->browser->documentTitle()))
            << help->browser->toPlainText().left(80).toStdString();
        // Pressed again, Help shows the same window, not a second one.
        EXPECT_EQ(pressHelp(*screen), help);
        EXPECT_EQ(screen->findChildren<app::HelpWindow*>().size(), 1);
        opened << help->currentPage();
        // The help window goes with the screen.
        screen->close();
    }
    // Every page the screens open is listed in the contents, which name each page once.
    app::HelpWindow contents(manualFolder, nullptr);
    QStringList listed;
    for (int i = 0; i < contents.pageList->count(); ++i)
        listed << contents.pageList->item(i)->data(Qt::UserRole).toString();
    EXPECT_EQ(listed.removeDuplicates(), 0);
    for (const QString& page : opened)
        EXPECT_TRUE(listed.contains(page)) << page.toStdString();
    for (const char* page : {"getting-started.html", "administrators.html", "server-mode.html",
                             "logged-in-users.html", "main-window.html"})
        EXPECT_TRUE(listed.contains(page)) << page;
}

TEST_F(Help, TheLoggedInUsersWindowHasNoHelpButtonButAPage) {
    admin::LoggedInUsersWindow users(*dm, helped);
    users.show();
    EXPECT_FALSE(users.helpButton->isVisible());
    EXPECT_EQ(app::manualPageFor(&users), "logged-in-users.html");
    EXPECT_TRUE(QFileInfo::exists(QDir(manualFolder).filePath("logged-in-users.html")));
}

TEST_F(Help, TheHelpMenuOpensTheContents) {
    app::MainWindow form(*dm, helped);
    form.show();
    ASSERT_TRUE(form.productHelpAction->isEnabled());
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_H, Qt::AltModifier);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_EQ(menu, form.helpMenu);
    QTest::keyClick(menu, Qt::Key_P);
    auto* help = form.findChild<app::HelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->currentPage(), "index.html");
    EXPECT_EQ(help->browser->documentTitle(), "Vardimo Manual");
    // The first link of the contents, reached with Tab and followed with Enter, leads to its
    // page; Back returns.
    help->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    help->browser->setFocus();
    QTest::keyClick(help->browser, Qt::Key_Tab);
    QTest::keyClick(help->browser, Qt::Key_Return);
    EXPECT_EQ(help->currentPage(), "getting-started.html");
    ASSERT_TRUE(help->backButton->isEnabled());
    QTest::keyClick(help->backButton, Qt::Key_Space);
    EXPECT_EQ(help->currentPage(), "index.html");
}

TEST_F(Help, SearchListsThePagesHoldingEveryWordAndMarksTheFirst) {
    app::HelpWindow help(manualFolder, nullptr);
    help.show();
    help.showPage("index.html");
    help.searchEdit->setFocus();
    QTest::keyClicks(help.searchEdit, "convert MEASUREMENTS");
    QTest::keyClick(help.searchEdit, Qt::Key_Return);
    ASSERT_GT(help.pageList->count(), 0) << help.listLabel->text().toStdString();
    for (int i = 0; i < help.pageList->count(); ++i) {
        QTextDocument page;
        QFile f(QDir(manualFolder).filePath(help.pageList->item(i)->data(Qt::UserRole).toString()));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        page.setHtml(QString::fromUtf8(f.readAll()));
        EXPECT_TRUE(page.toPlainText().contains("convert", Qt::CaseInsensitive));
        EXPECT_TRUE(page.toPlainText().contains("measurements", Qt::CaseInsensitive));
    }
    EXPECT_EQ(help.currentPage(), help.pageList->item(0)->data(Qt::UserRole).toString());
    EXPECT_EQ(help.currentPage(), "system-settings.html");
    EXPECT_EQ(help.browser->textCursor().selectedText().toLower(), "convert");
    // Enter again goes on to the next place of the word on the page.
    const int first = help.browser->textCursor().position();
    QTest::keyClick(help.searchEdit, Qt::Key_Return);
    EXPECT_NE(help.browser->textCursor().position(), first);
    EXPECT_EQ(help.browser->textCursor().selectedText().toLower(), "convert");

    // Words no page holds: the list says so and the page stays.
    help.searchEdit->clear();
    QTest::keyClicks(help.searchEdit, "zebra");
    QTest::keyClick(help.searchEdit, Qt::Key_Return);
    EXPECT_EQ(help.pageList->count(), 0);
    EXPECT_EQ(help.listLabel->text(), "No page holds \"zebra\"");
    EXPECT_EQ(help.currentPage(), "system-settings.html");
    // An empty search lists the contents again.
    help.searchEdit->clear();
    EXPECT_EQ(help.listLabel->text(), "Contents");
    EXPECT_GE(help.pageList->count(), 20);
}

} // namespace

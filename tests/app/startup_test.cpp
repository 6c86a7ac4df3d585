// The program body, the main window's menu and rights, and the logon, run offscreen with the
// scripted dialogs against real database folders.

#include "Sample.h"
#include "ServerAdmin.h"
#include "app/AboutDialog.h"
#include "app/LogonWindow.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/SplashWindow.h"
#include "controls/DataGrid.h"
#include "controls/DatePicker.h"
#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/RadioGroup.h"
#include "controls/ScriptedDialogs.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "engine/Database.h"
#include "support/PgServer.h"
#include "support/Stores.h"
#include "support/TempDir.h"
#include "system/Workstation.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The menu items each profile of the sample's users finds enabled.
const QStringList kEveryItem{"&Printer Setup", "&User Settings", "&System Settings", "Us&er Setup",
                             "Se&curity",      "&Pack Database", "&Information",     "&Exit",
                             "&Goals",         "G&oal Types",    "&Departments",     "&Strategies",
                             "&Reports",       "&About"};
const QStringList kPlanningItems{"&Printer Setup", "&User Settings", "&Information", "&Exit",
                                 "&Goals",         "&Strategies",    "&Reports",     "&About"};

QStringList enabledItems(const app::MainWindow& f) {
    QStringList out;
    for (QAction* a : f.menuItems())
        if (a->isEnabled()) out << a->text();
    return out;
}

} // namespace

class StartupFixture : public ::testing::TestWithParam<testing_support::Store> {
protected:
    virtual testing_support::Store storeUnderTest() const { return GetParam(); }
    void SetUp() override {
        previous = QDir::currentPath();
        sys::overrideNetworkPresent(0);
        sys::overrideNetworkUserName({});
        qunsetenv("NWUSERNAME");
    }
    void TearDown() override {
        QDir::setCurrent(previous);
        sys::overrideNetworkPresent(-1);
        qunsetenv("NWUSERNAME");
        QFile::remove(iniPath());
        // A logon to a server that holds the logons lasts as long as the session: not into
        // the next test.
        engine::Session::instance().setServerLogon({}, {});
        // Back to the program's own default, the working folder.
        engine::Session::instance().addAlias("Goal", ".");
    }
    static QString iniPath() { return QDir(QCoreApplication::applicationDirPath()).filePath("vardimo.ini"); }
    void makeDatabase() {
        ASSERT_NO_FATAL_FAILURE(store.make(storeUnderTest()));
        useDatabase(store.location());
    }
    // Points the program at a database: a folder is its working folder, which the program opens
    // when no alias says otherwise; a server is named by the alias.
    void useDatabase(const QString& location) {
        location_ = location;
        QDir::setCurrent(dir.path());
        engine::Session& session = engine::Session::instance();
        session.addAlias("Goal", onServer() ? location : QString("."));
        ASSERT_EQ(session.aliasPath("Goal"), onServer() ? location : QString("."))
            << "an engine configuration beside the test program names another database";
    }
    bool onServer() const { return storeUnderTest() != testing_support::Store::Folder; }
    // Where the server holds the logons, the program asks for one before it reads anything, the
    // built-in account's too.
    bool asksFirst() const { return storeUnderTest() == testing_support::Store::SecureServer; }
    void answerSupervisorWhereAsked() {
        if (asksFirst()) answerLogon("Supervisor", testing_support::TestStore::supervisorPassword());
    }
    // Adds rows with the engine directly, as another program would have.
    void addRows(const std::function<void(data::DataModule&)>& fill) {
        engine::Session s;
        s.addAlias("Goal", location_);
        data::DataModule module(s);
        ASSERT_NO_THROW(module.open());
        fill(module);
    }
    // Runs the program; the hook sees the main window while the loop would run.
    int run(const QStringList& args = {"vardimo"}, std::function<void()> whileRunning = {},
            std::function<std::optional<int>()> version = {}) {
        app::StartupHooks hooks;
        hooks.engineVersion = std::move(version);
        hooks.dialogs = &dialogs;
        hooks.runLoop = [&](app::Program& p) {
            program = &p;
            ranLoop = true;
            mainShown = p.mainWindow() && p.mainWindow()->isVisible();
            if (whileRunning) whileRunning();
            program = nullptr;
            return 0;
        };
        return app::programBody(args, hooks);
    }
    void answerLogon(const QString& id, const QString& pw) {
        dialogs.onModal = [this, id, pw](QDialog& d) {
            if (d.windowTitle() == "Logon") {
                ++logonShown;
                auto& logon = dynamic_cast<app::LogonWindow&>(d);
                logon.userIdEdit->setText(id);
                logon.passwordEdit->setText(pw);
                logon.logOn();
            }
            return d.result();
        };
    }

    testing_support::TestStore store;
    const testing_support::TempDir& dir = store.dir();
    QString location_;
    // An empty server database, for a sample made by the server tools.
    std::unique_ptr<testing_support::PgTestDatabase> sampleServer;
    controls::ScriptedDialogs dialogs;
    // Where the main windows the tests make themselves are shown: no help.
    controls::Desktop desktop{dialogs};
    QString previous;
    bool ranLoop = false;
    bool mainShown = false;
    int logonShown = 0;
    // The program while its loop runs.
    app::Program* program = nullptr;
    app::MainWindow& mainWindow() { return *program->mainWindow(); }
    data::CurrentUser& user() { return program->data().user(); }
};

// The program with a database of either store.
class StartupWithDatabase : public StartupFixture {};
VARDIMO_ON_ALL_STORES(StartupWithDatabase);
// The program without a database, and with the files of a database folder.
using Startup = testing_support::OnFolder<StartupFixture>;

TEST_P(StartupWithDatabase, AFreshDatabaseStartsStraightIntoTheMainWindow) {
    makeDatabase();
    answerSupervisorWhereAsked();
    QStringList enabled;
    const int status = run({"vardimo"}, [&] {
        enabled = enabledItems(mainWindow());
        EXPECT_EQ(mainWindow().windowTitle(), "Vardimo");
        EXPECT_EQ(user().id, "SUPERVISOR");
        EXPECT_EQ(user().profileId, 0);
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(ranLoop);
    EXPECT_TRUE(mainShown);
    EXPECT_EQ(logonShown, asksFirst() ? 1 : 0);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(enabled.size(), 14) << "profile 0 has every right; only the help item is off";
    EXPECT_FALSE(enabled.contains("&Prodcut Help"));
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<app::MainWindow*>(w), nullptr) << "the windows are gone when the program ends";
}

TEST_P(StartupWithDatabase, TheEngineVersionDecides) {
    makeDatabase();
    answerSupervisorWhereAsked();
    for (std::optional<int> v : {std::optional<int>(), std::optional<int>(400), std::optional<int>(499)}) {
        dialogs.messages.clear();
        ranLoop = false;
        EXPECT_NE(run({"vardimo"}, {}, [v] { return v; }), 0);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text,
                  "This Applicaion Requires the Qt SQLite Driver (QSQLITE) To Be Installed");
        EXPECT_EQ(dialogs.messages[0].title, "Vardimo");
        EXPECT_FALSE(ranLoop);
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_EQ(qobject_cast<app::MainWindow*>(w), nullptr) << "no window and no database";
    }
    for (int v : {500, 510}) {
        ranLoop = false;
        EXPECT_EQ(run({"vardimo"}, {}, [v] { return v; }), 0);
        EXPECT_TRUE(ranLoop);
    }
}

TEST_P(StartupWithDatabase, AMissingTableEndsTheProgramBeforeLogon) {
    makeDatabase();
    if (onServer())
        ASSERT_TRUE(store.server()->run("DROP TABLE strategys CASCADE")); // with the policies naming it
    else
        QFile::remove(dir.file("Strategys.db"));
    EXPECT_NE(run(), 0);
    EXPECT_FALSE(ranLoop);
    EXPECT_EQ(logonShown, 0);
    EXPECT_TRUE(dialogs.modalTitles.isEmpty()) << "neither logon nor main window";
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains("Strategys.db"));
    EXPECT_EQ(dialogs.messages[0].icon, controls::Icon::Stop);
}

TEST_F(Startup, SplashSwitchInAnyCaseAnywhere) {
    EXPECT_TRUE(app::Splash::wanted({"vardimo"}));
    EXPECT_FALSE(app::Splash::wanted({"vardimo", "-S"}));
    EXPECT_FALSE(app::Splash::wanted({"vardimo", "x", "-s"}));
    EXPECT_FALSE(app::Splash::wanted({"vardimo", "/s", "y"}));
    EXPECT_TRUE(app::Splash::wanted({"vardimo", "-SS"}));
    app::Splash none(false);
    none.open(3);
    EXPECT_EQ(none.window(), nullptr);
    app::Splash splash(true);
    splash.open(3);
    app::SplashWindow* shown = splash.window();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->progressBar->maximum(), 3);
    splash.step();
    EXPECT_EQ(shown->progressBar->value(), 1);
    EXPECT_EQ(shown->messageLabel->text(), "Loading....");
    EXPECT_EQ(shown->version->text(), "Version 1.1");
    EXPECT_LE(QFontMetrics(shown->productName->font()).horizontalAdvance("Vardimo"), 273);
    splash.close();
    EXPECT_EQ(splash.window(), nullptr);
    app::AboutDialog about;
    EXPECT_EQ(about.productName->text(), "Vardimo");
    EXPECT_LE(QFontMetrics(about.productName->font()).horizontalAdvance("Vardimo"), 273);
}

TEST_F(Startup, EachRightEnablesItsMenuItems) {
    data::DataModule data;
    app::MainWindow form(data, desktop);
    const QStringList always{"&Printer Setup", "&User Settings", "&Information", "&Exit", "&About"};
    data.user().rights = data::ProfileRights();
    form.applyRights();
    EXPECT_EQ(enabledItems(form), always) << "a profile with no right";
    const QMap<QString, QStringList> expected{{"Supervisor", {"Se&curity"}},
                                              {"CanChangeSystem", {"&System Settings"}},
                                              {"CanAddUser", {"Us&er Setup"}},
                                              {"CanPackDatabase", {"&Pack Database"}},
                                              {"CanViewSecurity", {"Se&curity"}},
                                              {"CanAddGoals", {"&Goals"}},
                                              {"CanAddDepartments", {"&Departments"}},
                                              {"CanPrintReports", {"&Reports"}},
                                              {"CanAddStrategy", {"&Strategies"}},
                                              {"CanViewAllStrategys", {}},
                                              {"CanAddGoalType", {"G&oal Types"}},
                                              {"CanAddGlobalGoals", {}},
                                              {"CanModifyAllGoals", {}}};
    for (const data::SecurityRight& r : data::SecurityRights()) {
        data.user().rights = data::ProfileRights();
        data.user().rights.*(r.member) = true;
        form.applyRights();
        QStringList extra = enabledItems(form);
        for (const QString& a : always)
            extra.removeOne(a);
        EXPECT_EQ(extra, expected.value(r.name)) << r.name;
    }
    EXPECT_EQ(form.strategiesAction->menu(), nullptr) << "a top-level item without a submenu";
    EXPECT_EQ(form.fileMenu->title(), "&File");
    EXPECT_EQ(form.setupMenu->title(), "&Setup");
    EXPECT_EQ(form.helpMenu->title(), "&Help");
}

TEST_F(Startup, PackQuestionNoLeavesEveryFileUntouched) {
    makeDatabase();
    QMap<QString, QByteArray> before;
    for (const QString& f : QDir(dir.path()).entryList({"*.db"}, QDir::Files)) {
        QFile file(dir.file(f));
        file.open(QIODevice::ReadOnly);
        before[f] = file.readAll();
    }
    dialogs.answers = {controls::Answer::No};
    run({"vardimo"}, [this] { mainWindow().packDatabaseAction->trigger(); });
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Are you sure you want to Pack The Database?");
    EXPECT_EQ(dialogs.messages[0].buttons, controls::Buttons::YesNo);
    for (auto it = before.begin(); it != before.end(); ++it) {
        QFile file(dir.file(it.key()));
        file.open(QIODevice::ReadOnly);
        EXPECT_EQ(file.readAll(), it.value()) << it.key().toStdString();
    }
    // Yes packs, and the main window still works afterwards.
    dialogs.messages.clear();
    dialogs.answers = {controls::Answer::Yes};
    run({"vardimo"}, [this] {
        mainWindow().packDatabaseAction->trigger();
        EXPECT_TRUE(program->data().goalsTable.isOpen());
    });
    EXPECT_EQ(dialogs.messages.size(), 1u) << "no error";
}

TEST_P(StartupWithDatabase, TheSampleDatabaseAsksForALogon) {
    makeDatabase();
    int staff = 0;
    addRows([&](data::DataModule& m) {
        m.securityTable.insert();
        m.securityTable.field("Description").setValue("Staff");
        m.securityTable.field("CanAddGoals").setValue(true);
        m.securityTable.post();
        staff = m.securityTable.field("SecurityID").asInt();
        m.userSettingsTable.insert();
        m.userSettingsTable.field("UserID").setValue("JSmith");
        m.userSettingsTable.field("UserPassword").setValue("Smith");
        m.userSettingsTable.field("UserName").setValue("John Smith");
        m.userSettingsTable.field("SecurityID").setValue(staff);
        m.userSettingsTable.post();
    });
    answerLogon("jsmith", "Smith");
    QStringList enabled;
    EXPECT_EQ(run({"vardimo"}, [&] { enabled = enabledItems(mainWindow()); }), 0);
    EXPECT_EQ(logonShown, 1);
    EXPECT_TRUE(ranLoop);
    EXPECT_TRUE(enabled.contains("&Goals"));
    EXPECT_FALSE(enabled.contains("&Reports"));

    // The wrong case of the password refuses, with the system's message; one attempt only.
    ranLoop = false;
    logonShown = 0;
    answerLogon("JSMITH", "smith");
    EXPECT_NE(run(), 0);
    EXPECT_EQ(logonShown, 1);
    EXPECT_FALSE(ranLoop);
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.messages.back().text, "Access Denied To Vardimo, Invalid Login");

    // Cancelling is a refusal too.
    ranLoop = false;
    dialogs.onModal = [](QDialog& d) {
        d.reject();
        return int(QDialog::Rejected);
    };
    EXPECT_NE(run(), 0);
    EXPECT_FALSE(ranLoop);

    if (asksFirst())
        GTEST_SKIP()
            << "a server that holds the logons asks everybody's password: no logon by the network name";
    // Automatic logon by the network name, in any letter case.
    sys::overrideNetworkPresent(1);
    addRows([](data::DataModule& m) {
        m.settingsTable.edit();
        m.settingsTable.field("AutoLogon").setValue(true);
        m.settingsTable.post();
    });
    logonShown = 0;
    answerLogon("", "");
    sys::overrideNetworkUserName("jSmItH");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(logonShown, 0);
    EXPECT_TRUE(ranLoop);
    // Nobody becomes another user by setting a variable: the name is the account's.
    sys::overrideNetworkUserName({});
    qputenv("NWUSERNAME", "jsmith");
    const QByteArray user = qgetenv("USER");
    qputenv("USER", "jsmith");
    EXPECT_NE(sys::networkUserName().toLower(), "jsmith");
    ranLoop = false;
    answerLogon("", "");
    run();
    EXPECT_EQ(logonShown, 1) << "the automatic logon did not take the variable's name";
    EXPECT_FALSE(ranLoop);
    qunsetenv("NWUSERNAME");
    qputenv("USER", user);
    logonShown = 0;
    sys::overrideNetworkUserName("jsmith");
    // No network: the window, even with automatic logon on.
    sys::overrideNetworkPresent(0);
    run();
    EXPECT_EQ(logonShown, 1);
    sys::overrideNetworkUserName({});
}

TEST_P(StartupWithDatabase, NastyIdsAndPasswordsLogOnOnlyTheirOwner) {
    makeDatabase();
    const QStringList nasty{"a\"b", "x\" Or \"1\"=\"1", "') Or (1=1", "Select;Drop", "o'neil"};
    addRows([&](data::DataModule& m) {
        for (const QString& v : nasty) {
            m.userSettingsTable.insert();
            m.userSettingsTable.field("UserID").setValue(v);
            m.userSettingsTable.field("UserPassword").setValue(v + "pw");
            m.userSettingsTable.field("UserName").setValue("Owner of " + v);
            m.userSettingsTable.field("SecurityID").setValue(0);
            m.userSettingsTable.post();
        }
    });
    for (const QString& v : nasty) {
        QString who;
        answerLogon(v, v + "pw");
        EXPECT_EQ(run({"vardimo"}, [&] { who = user().name; }), 0) << v.toStdString();
        EXPECT_EQ(who, "Owner of " + v);
        ranLoop = false;
        answerLogon(v, "x\" Or \"1\"=\"1");
        EXPECT_NE(run(), 0) << v.toStdString();
        EXPECT_FALSE(ranLoop);
    }
}

TEST_P(StartupWithDatabase, MaintenanceAccountAndDisabledLogins) {
    if (asksFirst())
        GTEST_SKIP() << "the installation's maintenance account is nobody to a server that holds the logons";
    makeDatabase();
    addRows([](data::DataModule& m) {
        m.securityTable.insert();
        m.securityTable.field("Description").setValue("Staff");
        m.securityTable.post();
        const int staff = m.securityTable.field("SecurityID").asInt();
        m.userSettingsTable.insert();
        m.userSettingsTable.field("UserID").setValue("worker");
        m.userSettingsTable.field("UserPassword").setValue("pw");
        m.userSettingsTable.field("SecurityID").setValue(staff);
        m.userSettingsTable.post();
        m.settingsTable.edit();
        m.settingsTable.field("DisableLogin").setValue(true);
        m.settingsTable.post();
    });
    // Without the installation's file there is no maintenance account.
    answerLogon("maint", "m41nt");
    EXPECT_NE(run(), 0);
    {
        QSettings ini(iniPath(), QSettings::IniFormat);
        ini.setValue("Maintenance/UserId", "maint");
        ini.setValue("Maintenance/Password", "m41nt");
    }
    ranLoop = false;
    data::CurrentUser who;
    data::ProfileRights rights;
    EXPECT_EQ(run({"vardimo"},
                  [&] {
                      who = user();
                      rights = user().rights;
                  }),
              0);
    EXPECT_TRUE(ranLoop) << "disabled logins do not stop the maintenance account";
    EXPECT_EQ(who.number, -1);
    EXPECT_TRUE(who.name.isEmpty());
    EXPECT_EQ(rights.profileId, 0);
    EXPECT_TRUE(rights.canPackDatabase);
    ranLoop = false;
    answerLogon("Maint", "m41nt");
    EXPECT_NE(run(), 0) << "the pair is compared exactly";

    // A user of another profile: the logon succeeds, the disabled window shows, the program ends.
    ranLoop = false;
    answerLogon("worker", "pw");
    EXPECT_EQ(run(), 0);
    EXPECT_FALSE(ranLoop);
    EXPECT_EQ(dialogs.messages.size(), 2u) << "no message box for disabled logins";
}

TEST_P(StartupWithDatabase, TheMaintenancePairIsReadVerbatim) {
    const QByteArray ini = "; the installation's own values\r\n"
                           "[Security]\nPassword=not this one\n"
                           "[Maintenance]\r\n"
                           "UserId=maint\r\n"
                           "Password=secret;tail  \r\n"
                           "Quoted=\"in quotes\"\n"
                           "List=a,b\n"
                           "Hash=x#y=z\n";
    EXPECT_EQ(sys::settingIn(ini, "Maintenance/UserId"), "maint");
    EXPECT_EQ(sys::settingIn(ini, "Maintenance/Password"), "secret;tail  ");
    EXPECT_EQ(sys::settingIn(ini, "Maintenance/Quoted"), "\"in quotes\"");
    EXPECT_EQ(sys::settingIn(ini, "Maintenance/List"), "a,b");
    EXPECT_EQ(sys::settingIn(ini, "Maintenance/Hash"), "x#y=z");
    EXPECT_EQ(sys::settingIn(ini, "Security/Password"), "not this one");
    EXPECT_EQ(sys::settingIn(ini, "Maintenance/Missing"), "");

    if (asksFirst())
        GTEST_SKIP() << "the installation's maintenance account is nobody to a server that holds the logons";
    // Through the program: a password with a semicolon and a comma logs on as written.
    makeDatabase();
    addRows([](data::DataModule& m) {
        // Stored as it was before a user needed a profile.
        engine::Inserter(m.goalDatabase, "User.db", {"UserID", "UserPassword"}).add({"worker", "pw"});
    });
    {
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Maintenance]\nUserId=maint\nPassword=a,b;c \n");
    }
    answerLogon("maint", "a,b;c ");
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(ranLoop);
    ranLoop = false;
    answerLogon("maint", "a,b;c");
    EXPECT_NE(run(), 0);
    EXPECT_FALSE(ranLoop);
}

TEST_P(StartupWithDatabase, ASoleSupervisorWithoutAPasswordValue) {
    if (asksFirst()) GTEST_SKIP() << "a server that holds the logons keeps no empty password";
    makeDatabase();
    addRows([](data::DataModule& m) {
        m.userSettingsTable.first();
        m.userSettingsTable.edit();
        m.userSettingsTable.field("UserPassword").clear();
        m.userSettingsTable.post();
    });
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(ranLoop);
    EXPECT_EQ(logonShown, 0) << "an empty password value is no password";
}

TEST_P(StartupWithDatabase, EveryReadmeUserSeesTheMenuItemsOfHisProfile) {
    // The sample as the README's commands make it on either store.
    if (onServer()) {
        sampleServer = std::make_unique<testing_support::PgTestDatabase>();
        ASSERT_FALSE(sampleServer->uri().isEmpty());
        if (asksFirst()) {
            tools::createSecureServerDatabase(sampleServer->uri(), true, tools::SampleSize::Small);
            tools::setServerPassword(sampleServer->uri(), "Supervisor",
                                     testing_support::TestStore::supervisorPassword());
        } else {
            tools::createServerDatabase(sampleServer->uri(), true, tools::SampleSize::Small);
        }
        useDatabase(sampleServer->uri());
    } else {
        tools::createDatabase(dir.path(), true, tools::SampleSize::Small);
        useDatabase(dir.path());
    }
    const QStringList& all = kEveryItem;
    const QStringList& planning = kPlanningItems;
    const struct {
        const char* id;
        const char* password;
        QStringList items;
    } readme[] = {{"Supervisor", asksFirst() ? "keeper" : "", all},
                  {"JSMITH", "smith", all},
                  {"MJONES", "jones", planning},
                  {"RBROWN", "brown", planning},
                  {"AWHITE", "white", planning}};
    for (const auto& user : readme) {
        ranLoop = false;
        engine::Session::instance().setServerLogon({}, {});
        answerLogon(user.id, user.password);
        QStringList enabled;
        EXPECT_EQ(run({"vardimo"}, [&] { enabled = enabledItems(mainWindow()); }), 0) << user.id;
        EXPECT_TRUE(ranLoop) << user.id;
        EXPECT_EQ(enabled, user.items) << user.id;
    }
}

// The program on a server that holds the logons and the rights itself.
class StartupOnServer : public StartupFixture {
protected:
    testing_support::Store storeUnderTest() const override { return testing_support::Store::Server; }
};

TEST_F(StartupOnServer, EachReadmeUserTypesHisOwnPasswordAndTheServerLetsHimInWithHisProfile) {
    sampleServer = std::make_unique<testing_support::PgTestDatabase>();
    ASSERT_FALSE(sampleServer->uri().isEmpty());
    EXPECT_EQ(tools::createSecureServerDatabase(sampleServer->uri(), true, tools::SampleSize::Small),
              QStringList{"Supervisor"});
    tools::setServerPassword(sampleServer->uri(), "Supervisor", "top secret");
    useDatabase(sampleServer->uri());
    const QStringList& all = kEveryItem;
    const QStringList& planning = kPlanningItems;
    const struct {
        const char* id;
        const char* password;
        QStringList items;
    } users[] = {{"Supervisor", "top secret", all}, {"jsmith", "smith", all}, {"MJONES", "jones", planning},
                 {"AWHITE", "white", planning},     {"AWHITE", "smith", {}},  {"Supervisor", "", {}}};
    for (const auto& user : users) {
        ranLoop = false;
        logonShown = 0;
        engine::Session::instance().setServerLogon({}, {});
        dialogs.onModal = [this, &user](QDialog& d) {
            if (d.windowTitle() == "Logon") {
                ++logonShown;
                auto& logon = dynamic_cast<app::LogonWindow&>(d);
                QTest::keyClicks(logon.userIdEdit, QString::fromUtf8(user.id));
                QTest::keyClicks(logon.passwordEdit, QString::fromUtf8(user.password));
                logon.loginButton->click();
            }
            return d.result();
        };
        QStringList enabled;
        const int status = run({"vardimo"}, [&] { enabled = enabledItems(mainWindow()); });
        EXPECT_EQ(logonShown, 1) << user.id << ": nobody is let in without the logon";
        EXPECT_EQ(ranLoop, !user.items.isEmpty()) << user.id << " " << user.password;
        EXPECT_EQ(status == 0, !user.items.isEmpty()) << user.id << " " << user.password;
        EXPECT_EQ(enabled, user.items) << user.id;
    }
}

TEST_F(Startup, LogonWindowKeepsItsSizeAndTheNoticeStays) {
    data::DataModule data;
    app::LogonWindow logon(data);
    logon.show();
    logon.layout()->activate();
    EXPECT_EQ(logon.minimumSize(), logon.maximumSize()) << "a single border: not resizable";

    app::MainWindow form(data, desktop);
    form.show();
    const QList<QLabel*> labels = form.statusLine->findChildren<QLabel*>();
    auto notice = [&] {
        for (QLabel* l : labels)
            if (l->text().startsWith("Vardimo") && l->isVisible()) return true;
        return false;
    };
    EXPECT_TRUE(notice());
    // Opening a menu sends an empty status tip, which clears the bar's message.
    QStatusTipEvent tip(QString{});
    QApplication::sendEvent(form.fileMenu, &tip);
    form.statusLine->clearMessage();
    EXPECT_TRUE(notice()) << "the notice is part of the bar, not a passing message";
}

TEST_F(Startup, AltSAlwaysOpensTheSetupMenu) {
    data::DataModule data;
    app::MainWindow form(data, desktop);
    data.user().rights.canAddStrategies = true;
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    int strategies = 0;
    QObject::connect(form.strategiesAction, &QAction::triggered, [&] { ++strategies; });
    // "&Setup" and "&Strategies" share their letter: each Alt+S is the Setup menu's, not every other one.
    for (int round = 0; round < 3; ++round) {
        QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_EQ(popup, form.setupMenu) << "round " << round;
        QTest::keyClick(popup, Qt::Key_Escape);
        QTest::keyClick(&form, Qt::Key_Escape);
    }
    EXPECT_EQ(strategies, 0);
}

TEST_F(Startup, AMenuLetterTwoItemsShareChoosesTheOneThatCanBeChosen) {
    data::DataModule data;
    app::MainWindow form(data, desktop);
    data.user().rights = data::ProfileRights();
    data.user().rights.canAddUsers = true;
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.applyRights();
    int exits = 0, setups = 0;
    QObject::connect(form.exitAction, &QAction::triggered, [&] { ++exits; });
    QObject::connect(form.userSetupAction, &QAction::triggered, [&] { ++setups; });

    // "&Exit" and "Us&er Setup" share E: with both open to the user, E only moves between them.
    QTest::keyClick(&form, Qt::Key_F, Qt::AltModifier);
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_EQ(popup, form.fileMenu);
    QTest::keyClick(popup, Qt::Key_E);
    QCoreApplication::processEvents();
    EXPECT_EQ(exits + setups, 0);
    QTest::keyClick(popup, Qt::Key_Escape);
    QTest::keyClick(&form, Qt::Key_Escape);

    // Without the right to set up users, E is Exit's alone.
    data.user().rights.canAddUsers = false;
    form.applyRights();
    QTest::keyClick(&form, Qt::Key_F, Qt::AltModifier);
    popup = QApplication::activePopupWidget();
    ASSERT_EQ(popup, form.fileMenu);
    QTest::keyClick(popup, Qt::Key_E);
    QCoreApplication::processEvents();
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(setups, 0);
}

// The user settings window, the logged-in users window and the user setup screen, driven
// offscreen with the scripted dialogs; the logged-in list with real second processes.

#include "admin/LoggedInUsersWindow.h"
#include "admin/UserSettingsDialog.h"
#include "admin/UserSetupWindow.h"
#include "controls/DataGrid.h"
#include "controls/DatePicker.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/RadioGroup.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "engine/Error.h"
#include "engine/PgBackend.h"
#include "engine/PgRoles.h"
#include "support/DataFixture.h"
#include "support/Eventually.h"
#include "support/Peer.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

using testing_support::DataFixture;
using testing_support::Peer;

namespace {
int rows(data::DataModule& dm, const QString& sqlText) {
    engine::Query q(dm.goalDatabase);
    q.add(sqlText);
    q.open();
    return q.recordCount();
}
QString storedPassword(data::DataModule& dm, int user) {
    engine::Query q(dm.goalDatabase);
    q.add("Select * From \"User.db\" Where UserNumber = ", engine::sql::Int{user});
    q.open();
    return q.field("UserPassword").asString();
}

// The user fixtures: a user's password is the one his row keeps, or on a server that holds the
// logons, the one his role logs on with.
class UserFixture : public DataFixture {
protected:
    bool passwordIs(int user, const QString& password) {
        if (!store.secure()) return storedPassword(*dm, user) == password;
        const data::UserRecord u = data::readUser(ownerModule(), user);
        engine::PgBackend pg;
        try {
            pg.open(engine::PgRoles::logonUri(store.location(), u.id, password), QStringLiteral("test"));
            return true;
        } catch (const engine::Error&) {
            return false;
        }
    }
};
} // namespace

// ---- User settings --------------------------------------------------------------------------

class UserSettingsWindow : public UserFixture {
protected:
    void SetUp() override {
        UserFixture::SetUp();
        staff = addProfile("Staff", {});
        me = addUser("Mary", "old", "Mary Me", staff);
        other = addUser("otto", "his", "Otto Other", staff);
    }
    int staff = 0, me = 0, other = 0;
};
VARDIMO_ON_ALL_STORES(UserSettingsWindow);

TEST_P(UserSettingsWindow, ShowsTheUserAndStoresAMatchingPasswordExactly) {
    ASSERT_TRUE(logOnAs("mary"));
    {
        admin::UserSettingsDialog form(*dm, desktop);
        EXPECT_EQ(form.windowTitle(), "User Settings");
        EXPECT_EQ(form.userIdValue->text(), "MARY");
        EXPECT_EQ(form.userNameValue->text(), "Mary Me");
        EXPECT_EQ(form.securityValue->text(), "Staff");
        EXPECT_EQ(form.caseSensitiveLabel->text(), "(Case Sensitive)");
        EXPECT_EQ(dm->userIdFilter(), "MARY");
        EXPECT_EQ(dm->userSettingsTable.recordCount(), 1) << "only his own record";

        form.password->setText("Abc");
        form.verifyPassword->setText("abc");
        form.okButton->click();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.lastText(), "Error: Passwords Do Not Match");
        EXPECT_EQ(dialogs.messages.back().title, "Vardimo");
        EXPECT_EQ(dialogs.messages.back().icon, controls::Icon::Stop);
        EXPECT_NE(form.result(), QDialog::Accepted) << "the window stays open";
        EXPECT_TRUE(passwordIs(me, "old"));

        form.verifyPassword->setText("Abc");
        form.okButton->click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
    }
    EXPECT_TRUE(passwordIs(me, "Abc"));
    EXPECT_TRUE(passwordIs(other, "his"));
    EXPECT_FALSE(dm->userSettingsTable.filtered()) << "the filter lives only while the window is open";
    EXPECT_TRUE(dm->userIdFilter().isEmpty());
}

TEST_P(UserSettingsWindow, EmptyPasswordAndCancelStoreNothing) {
    ASSERT_TRUE(logOnAs("mary"));
    {
        admin::UserSettingsDialog form(*dm, desktop);
        form.verifyPassword->setText("ignored");
        form.okButton->click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_TRUE(dialogs.messages.empty()) << "the verification is not looked at";
    }
    EXPECT_TRUE(passwordIs(me, "old"));
    {
        admin::UserSettingsDialog form(*dm, desktop);
        form.password->setText("new");
        form.verifyPassword->setText("new");
        form.cancelButton->click();
    }
    EXPECT_TRUE(passwordIs(me, "old"));
}

TEST_P(UserSettingsWindow, TypeTabTypeEnterStoresTheNewPassword) {
    ASSERT_TRUE(logOnAs("mary"));
    const auto focused = [] { return QApplication::focusWidget(); };
    {
        admin::UserSettingsDialog form(*dm, desktop);
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        ASSERT_EQ(focused(), form.password) << "the typing goes into \"New Password:\"";
        QTest::keyClicks(focused(), "Secret 1");
        QTest::keyClick(focused(), Qt::Key_Tab);
        ASSERT_EQ(focused(), form.verifyPassword);
        QTest::keyClicks(focused(), "Secret 1");
        QTest::keyClick(focused(), Qt::Key_Return);
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_FALSE(form.isVisible());
    }
    EXPECT_TRUE(passwordIs(me, "Secret 1"));

    // Enter in the first box is OK as well; the tab order runs on to OK, then Cancel.
    admin::UserSettingsDialog form(*dm, desktop);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    ASSERT_EQ(focused(), form.password);
    QTest::keyClicks(focused(), "Other");
    QTest::keyClick(focused(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(dialogs.lastText(), "Error: Passwords Do Not Match");
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(passwordIs(me, "Secret 1"));
    QTest::keyClick(focused(), Qt::Key_Tab);
    EXPECT_EQ(focused(), form.verifyPassword);
    QTest::keyClick(focused(), Qt::Key_Tab);
    EXPECT_EQ(focused(), form.okButton);
    QTest::keyClick(focused(), Qt::Key_Tab);
    EXPECT_EQ(focused(), form.cancelButton);
    QTest::keyClick(focused(), Qt::Key_Tab, Qt::ShiftModifier);
    QTest::keyClick(focused(), Qt::Key_Tab, Qt::ShiftModifier);
    QTest::keyClick(focused(), Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(focused(), form.password);
    QTest::keyClick(focused(), Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(passwordIs(me, "Secret 1"));
}

TEST_P(UserSettingsWindow, ALogonWithoutARecordChangesNobodysPassword) {
    // The maintenance account: profile 0 without a user record.
    dm->user().number = -1;
    dm->user().profileId = 0;
    dm->user().rights = data::readProfile(*dm, 0);
    {
        admin::UserSettingsDialog form(*dm, desktop);
        EXPECT_FALSE(form.password->isEnabled());
        EXPECT_FALSE(form.verifyPassword->isEnabled());
        EXPECT_FALSE(form.noRecordLabel->isHidden());
        EXPECT_FALSE(dm->userSettingsTable.filtered()) << "an empty id must not list every user";
        form.password->setText("x");
        form.verifyPassword->setText("x");
        form.okButton->click();
        EXPECT_EQ(dialogs.lastText(), "This logon has no user record: no password was changed.");
    }
    EXPECT_TRUE(passwordIs(me, "old"));
    EXPECT_TRUE(passwordIs(other, "his"));
    EXPECT_EQ(rows(*dm, "Select * From \"User.db\""), 3) << "no user row was made";
}

// ---- Logged-in users ------------------------------------------------------------------------

class LoggedInUsersScreen : public DataFixture {
protected:
    void SetUp() override {
        DataFixture::SetUp();
        staff = addProfile("Staff", {});
        addUser("JSmith", "", "John Smith", staff);
        addUser("nameless", "", "", staff);
        // This workstation registers where the peers do.
        dm.reset();
        session = std::make_unique<engine::Session>();
        session->setNetDir(QCoreApplication::applicationDirPath());
        session->setUserName("here-admin-test");
        session->addAlias("Goal", store.location());
        dm = std::make_unique<data::DataModule>(*session);
        ASSERT_NO_THROW(dm->open());
    }
    int staff = 0;
};
VARDIMO_ON_ALL_STORES(LoggedInUsersScreen);

using testing_support::eventually;

TEST_P(LoggedInUsersScreen, NamesUsersByTheirIdAndFullNameOtherwiseAsTheEngineDoes) {
    Peer user(store.location(), "jsmith");
    Peer stranger(store.location(), "visitor-admin-test");
    Peer empty(store.location(), "NAMELESS");
    admin::LoggedInUsersWindow form(*dm, desktop);
    EXPECT_EQ(form.windowTitle(), "Logged In Users");
    EXPECT_TRUE(form.userList->isReadOnly());
    const QStringList lines = form.userList->toPlainText().split('\n');
    EXPECT_TRUE(lines.contains("JSMITH (John Smith)")) << form.userList->toPlainText().toStdString();
    EXPECT_TRUE(lines.contains("User name: visitor-admin-test"));
    EXPECT_TRUE(lines.contains("User name: NAMELESS"))
        << "a user without a full name keeps the engine's line";
    EXPECT_TRUE(lines.contains("User name: here-admin-test"));
    EXPECT_EQ(dm->user().number, 0) << "the current user's record is not touched";

    // Built once: a workstation that leaves is still listed until the window opens again.
    stranger.kill();
    EXPECT_TRUE(form.userList->toPlainText().contains("visitor-admin-test"));
    if (onServer()) {
        ASSERT_TRUE(eventually([&] { return !dm->goalDatabase.sessions().contains("visitor-admin-test"); }));
    }
    admin::LoggedInUsersWindow again(*dm, desktop);
    EXPECT_FALSE(again.userList->toPlainText().contains("visitor-admin-test"));
}

// ---- User setup -----------------------------------------------------------------------------

class UserSetupScreen : public UserFixture {
protected:
    void SetUp() override {
        UserFixture::SetUp();
        admins = addProfile("Administrators", {"CanAddUser"});
        staff = addProfile("Staff", {});
        dm->departmentTable.insert();
        dm->departmentTable.field("Description").setValue("Sales");
        dm->departmentTable.post();
        admin = addUser("admin", "a", "Ann Admin", admins);
        // Stored before ids had to differ in more than letter case, so past the rule. A server
        // that holds the logons has one role for both, so no such pair there: an ordinary id.
        engine::Inserter users(dm->goalDatabase, "User.db",
                               {"UserID", "UserPassword", "UserName", "SecurityID"});
        lower = int(users.add({store.secure() ? "lower" : "supervisor", "s", "Lower Case", staff}));
        // Stored before a user needed a profile.
        noProfile = int(users.add({"drifter", QVariant(), "Dan Drifter", QVariant()}));
        dm->userSettingsTable.refresh();
        bob = addUser("bob", "b", "Bob Builder", staff);
        carol = addUser("carol", "c", "Carol Clerk", staff);
    }
    int admins = 0, staff = 0, admin = 0, lower = 0, noProfile = 0, bob = 0, carol = 0;
};
VARDIMO_ON_ALL_STORES(UserSetupScreen);

TEST_P(UserSetupScreen, AdministratorsOutsideProfileZeroSeeNeitherItNorItsUsers) {
    ASSERT_TRUE(logOnAs("admin"));
    {
        admin::UserSetupWindow form(*dm, desktop);
        EXPECT_EQ(form.windowTitle(), "User Settings");
        EXPECT_TRUE(dm->userSettingsTable.filtered());
        QStringList ids;
        for (int r = 0; r < dm->userSettingsTable.recordCount(); ++r)
            ids << dm->userSettingsTable.valueAt(r, "UserID").toString();
        EXPECT_FALSE(ids.contains("Supervisor"));
        EXPECT_TRUE(ids.contains("drifter")) << "a user without a profile is listed, to be given one";
        EXPECT_TRUE(ids.contains("bob"));
        QStringList offered;
        for (int i = 0; i < form.securityBox->count(); ++i)
            offered << form.securityBox->itemText(i);
        EXPECT_EQ(offered, QStringList({"Administrators", "Staff"}));
        form.closeButton->click();
    }
    EXPECT_FALSE(dm->userSettingsTable.filtered());
    EXPECT_FALSE(dm->securityTable.filtered());
    EXPECT_TRUE(dm->accessListTable.filtered()) << "the access list filter stays on";

    ASSERT_TRUE(logOnAs("Supervisor"));
    admin::UserSetupWindow form(*dm, desktop);
    EXPECT_EQ(dm->userSettingsTable.recordCount(), 6);
    EXPECT_EQ(form.securityBox->count(), 3);
}

TEST_P(UserSetupScreen, TheBuiltInAccountKeepsItsIdProfileAndExistence) {
    ASSERT_TRUE(logOnAs("Supervisor"));
    admin::UserSetupWindow form(*dm, desktop);
    ASSERT_TRUE(dm->userSettingsTable.locate("UserNumber", lower));
    EXPECT_TRUE(form.userIdEdit->isEnabled()) << "the same word in lower case is an ordinary user";
    EXPECT_TRUE(form.deleteButton->isEnabled());
    ASSERT_TRUE(dm->userSettingsTable.locate("UserID", "Supervisor"));
    EXPECT_FALSE(form.userIdEdit->isEnabled());
    EXPECT_FALSE(form.securityBox->isEnabled());
    EXPECT_FALSE(form.deleteButton->isEnabled());
    EXPECT_TRUE(form.passwordEdit->isEnabled()) << "its password can change";
    EXPECT_TRUE(form.fullNameEdit->isEnabled());
    form.insertButton->click();
    EXPECT_TRUE(form.userIdEdit->isEnabled()) << "a new user is never the built-in one";
    EXPECT_TRUE(form.deleteButton->isEnabled());
}

TEST_P(UserSetupScreen, UserIdsEqualInAnyLetterCaseAreRefused) {
    ASSERT_TRUE(logOnAs("Supervisor"));
    admin::UserSetupWindow form(*dm, desktop);
    form.insertButton->click();
    dm->userSettingsTable.field("UserID").setValue("BOB");
    dm->userSettingsTable.field("UserName").setValue("Another Bob");
    form.saveButton->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.lastText().contains("\"BOB\" is already in use")) << dialogs.lastText().toStdString();
    EXPECT_TRUE(dm->userSettingsTable.isEditing()) << "the typed row stays to be corrected";
    EXPECT_EQ(rows(*dm, "Select * From \"User.db\" Where UserName = \"Another Bob\""), 0);
    dm->userSettingsTable.field("UserID").setValue("bob2");
    dm->userSettingsTable.field("SecurityID").setValue(staff);
    form.saveButton->click();
    EXPECT_EQ(rows(*dm, "Select * From \"User.db\" Where UserName = \"Another Bob\""), 1);

    // Ids stored twice before stay editable in everything else.
    ASSERT_TRUE(dm->userSettingsTable.locate("UserNumber", lower));
    dm->userSettingsTable.edit();
    dm->userSettingsTable.field("UserPassword").setValue("changed");
    form.saveButton->click();
    EXPECT_TRUE(passwordIs(lower, "changed"));
    dm->userSettingsTable.edit();
    dm->userSettingsTable.field("UserID").setValue("Carol");
    form.saveButton->click();
    EXPECT_TRUE(dialogs.lastText().contains("\"Carol\" is already in use"));
}

TEST_P(UserSetupScreen, DeletingAUserRemovesHisStrategiesTheirMeasurementsAndAccessRows) {
    ASSERT_TRUE(logOnAs("Supervisor"));
    const int goal = addGoal("For Bob", 2024, 1, bob, carol);
    const int ownedGoal = addGoal("Bob's own", 2024, 1, carol, bob);
    auto strategy = [&](int user) {
        return insertRow(dm->strategyTable, {{"GoalID", goal}, {"UserNumber", user}, {"StrategyNumber", 1}});
    };
    const int bob1 = strategy(bob), bob2 = strategy(bob), carol1 = strategy(carol);
    for (int s : {bob1, bob1, bob2, carol1})
        insertRow(dm->measureTable, {{"StrategyID", s}, {"MeasurementNumber", 1}});
    addAccess(bob, carol, true);
    addAccess(carol, bob, false);
    addAccess(admin, bob, false);
    addAccess(carol, admin, true);

    admin::UserSetupWindow form(*dm, desktop);
    ASSERT_TRUE(dm->userSettingsTable.locate("UserNumber", bob));
    dialogs.answers = {controls::Answer::No};
    form.deleteButton->click();
    EXPECT_EQ(dialogs.lastText(), "Are you sure you want to delete this user?");
    EXPECT_EQ(rows(*dm, "Select * From \"User.db\""), 6);
    form.deleteButton->click(); // Yes
    EXPECT_EQ(rows(*dm, "Select * From \"User.db\""), 5);
    EXPECT_EQ(rows(*dm, QString("Select * From \"User.db\" Where UserNumber = %1").arg(bob)), 0);
    EXPECT_EQ(rows(*dm, "Select * From \"Strategys.db\""), 1);
    EXPECT_EQ(rows(*dm, QString("Select * From \"Strategys.db\" Where StrategyID = %1").arg(carol1)), 1);
    EXPECT_EQ(rows(*dm, "Select * From \"Measure.db\""), 1) << "his strategies' measurements go with them";
    EXPECT_EQ(rows(*dm, QString("Select * From \"Measure.db\" Where StrategyID = %1").arg(carol1)), 1);
    EXPECT_EQ(rows(*dm, "Select * From \"AccessList.db\""), 1);
    EXPECT_EQ(rows(*dm, QString("Select * From \"AccessList.db\" Where UserNumber = %1").arg(carol)), 1);
    EXPECT_EQ(rows(*dm, "Select * From \"goals.db\""), 2) << "goals for him or owned by him stay";
    (void)ownedGoal;
}

TEST_P(UserSetupScreen, ADeleteThatFailsPartWayLeavesEverything) {
    ASSERT_TRUE(logOnAs("Supervisor"));
    const int goal = addGoal("For Bob", 2024, 1, bob, carol);
    const int s = insertRow(dm->strategyTable, {{"GoalID", goal}, {"UserNumber", bob}});
    insertRow(dm->measureTable, {{"StrategyID", s}, {"MeasurementNumber", 1}});
    addAccess(carol, bob, false);
    admin::UserSetupWindow form(*dm, desktop);
    ASSERT_TRUE(dm->userSettingsTable.locate("UserNumber", bob));
    // Another workstation is changing Bob's row: his row cannot be removed.
    Peer peer(store.location());
    ASSERT_EQ(peer.send(QString("edit User.db UserNumber %1 UserName Robert").arg(bob)), "ok");
    form.deleteButton->click();
    EXPECT_EQ(dialogs.lastText(), "Record locked by another user.");
    EXPECT_EQ(rows(*dm, "Select * From \"Strategys.db\""), 1);
    EXPECT_EQ(rows(*dm, "Select * From \"Measure.db\""), 1);
    EXPECT_EQ(rows(*dm, "Select * From \"AccessList.db\""), 1);
    EXPECT_EQ(rows(*dm, "Select * From \"User.db\""), 6);
    EXPECT_EQ(dm->userSettingsTable.field("UserNumber").asInt(), bob) << "the screen still shows him";
}

TEST_P(UserSetupScreen, TheAccessRowsFollowTheSelectedUser) {
    ASSERT_TRUE(logOnAs("Supervisor"));
    addAccess(bob, carol, true);
    addAccess(bob, admin, false);
    addAccess(carol, bob, false);
    admin::UserSetupWindow form(*dm, desktop);
    ASSERT_TRUE(dm->userSettingsTable.locate("UserNumber", bob));
    EXPECT_EQ(dm->accessListOwner(), bob);
    EXPECT_EQ(dm->accessListTable.recordCount(), 2);
    // As the person does it: a click on Carol's row in the grid.
    int carolRow = -1;
    for (int r = 0; r < dm->userSettingsTable.recordCount(); ++r)
        if (dm->userSettingsTable.valueAt(r, "UserNumber").toInt() == carol) carolRow = r;
    form.userGrid->selectRow(carolRow);
    EXPECT_EQ(dm->userSettingsTable.field("UserNumber").asInt(), carol);
    EXPECT_EQ(dm->accessListOwner(), carol);
    ASSERT_EQ(dm->accessListTable.recordCount(), 1);
    EXPECT_EQ(form.accessGrid->model()->index(0, 0).data().toString(), "Bob Builder");
}

TEST_P(UserSetupScreen, InsertUnderUserToViewFirstSavesTheNewUser) {
    ASSERT_TRUE(logOnAs("Supervisor"));
    admin::UserSetupWindow form(*dm, desktop);
    form.insertButton->click();
    form.userIdEdit->setFocus();
    QTest::keyClicks(form.userIdEdit, "dave");
    QTest::keyClicks(form.fullNameEdit, "Dave Driver");
    form.securityBox->setCurrentIndex(form.securityBox->findText("Staff"));
    emit form.securityBox->activated(form.securityBox->currentIndex());
    form.userInsertButton->click();
    EXPECT_FALSE(dm->userSettingsTable.isEditing());
    const int dave = dm->userSettingsTable.field("UserNumber").asInt();
    EXPECT_GT(dave, carol);
    EXPECT_EQ(rows(*dm, "Select * From \"User.db\" Where UserID = \"dave\""), 1);
    ASSERT_EQ(dm->accessListTable.state(), engine::DataSet::State::Insert);
    EXPECT_EQ(dm->accessListTable.field("UserNumber").asInt(), dave);
    EXPECT_FALSE(dm->accessListTable.field("CanEditUser").isNull());
    EXPECT_FALSE(dm->accessListTable.field("CanEditUser").asBoolean());
    form.viewedUserBox->setCurrentIndex(form.viewedUserBox->findText("Carol Clerk"));
    emit form.viewedUserBox->activated(form.viewedUserBox->currentIndex());
    form.canEditBox->click();
    form.userSaveButton->click();
    EXPECT_EQ(rows(*dm, QString("Select * From \"AccessList.db\" Where UserNumber = %1 And CanSeeUser = %2 "
                                "And CanEditUser = True")
                            .arg(dave)
                            .arg(carol)),
              1);
    dialogs.answers = {controls::Answer::No};
    form.userDeleteButton->click();
    EXPECT_EQ(dialogs.lastText(), "Are you sure you want to delete access to this user?");
    EXPECT_EQ(dm->accessListTable.recordCount(), 1);
    form.userDeleteButton->click();
    EXPECT_EQ(dm->accessListTable.recordCount(), 0);

    form.loggedInUsersButton->click();
    EXPECT_TRUE(dialogs.modalTitles.contains("Logged In Users"));
}

TEST_P(UserSetupScreen, DepartmentsAndProfilesChangedElsewhereShowWhenTheScreenOpens) {
    ASSERT_TRUE(logOnAs("Supervisor"));
    const int sales = dm->departmentTable.field("DepartmentID").asInt();
    QStringList profiles;
    {
        admin::UserSetupWindow form(*dm, desktop);
        ASSERT_EQ(entries(form.departmentBox), QStringList({"Sales"}));
        profiles = entries(form.securityBox);
        ASSERT_TRUE(profiles.contains("Staff"));
        form.closeButton->click();
    }
    // Another workstation, while this program runs on.
    Peer peer(store.location());
    ASSERT_EQ(peer.send(QString("delete Department.db DepartmentID %1").arg(sales)), "ok");
    ASSERT_TRUE(peer.send("insert Department.db Description Finance").startsWith("ok "));
    ASSERT_TRUE(peer.send("insert Security.db Description Auditors").startsWith("ok "));
    admin::UserSetupWindow form(*dm, desktop);
    EXPECT_EQ(entries(form.departmentBox), QStringList({"Finance"})) << "no deleted department offered";
    EXPECT_EQ(entries(form.securityBox), profiles + QStringList({"Auditors"}));
}

TEST_P(UserSetupScreen, ClosingDropsWhatWasNotSaved) {
    ASSERT_TRUE(logOnAs("Supervisor"));
    {
        admin::UserSetupWindow form(*dm, desktop);
        ASSERT_TRUE(dm->userSettingsTable.locate("UserNumber", bob));
        dm->userSettingsTable.edit();
        dm->userSettingsTable.field("UserPassword").setValue("unsaved");
        form.closeButton->click();
    }
    EXPECT_TRUE(passwordIs(bob, "b"));
    EXPECT_FALSE(dm->userSettingsTable.isEditing());
}

// A user is stored only with a profile; one stored without one before is listed, with an empty
// profile, and can be given one.
TEST_P(UserSetupScreen, AUserIsStoredOnlyWithAProfile) {
    ASSERT_TRUE(logOnAs("admin"));
    admin::UserSetupWindow form(*dm, desktop);
    form.insertButton->click();
    form.userIdEdit->setFocus();
    QTest::keyClicks(form.userIdEdit, "eve");
    QTest::keyClicks(form.fullNameEdit, "Eve Empty");
    form.saveButton->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.lastText(), "Please enter a Security profile.");
    EXPECT_TRUE(dm->userSettingsTable.isEditing()) << "the typed row stays to be completed";
    EXPECT_EQ(rows(*dm, "Select * From \"User.db\" Where UserID = \"eve\""), 0);
    form.userInsertButton->click(); // saving him for an access row is refused alike
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(rows(*dm, "Select * From \"User.db\" Where UserID = \"eve\""), 0);
    form.securityBox->setCurrentIndex(form.securityBox->findText("Staff"));
    emit form.securityBox->activated(form.securityBox->currentIndex());
    form.saveButton->click();
    EXPECT_EQ(rows(*dm, "Select * From \"User.db\" Where UserID = \"eve\""), 1);

    ASSERT_TRUE(dm->userSettingsTable.locate("UserNumber", noProfile)) << "the user without one is listed";
    EXPECT_EQ(form.securityBox->currentText(), "");
    dm->userSettingsTable.edit();
    dm->userSettingsTable.field("UserPassword").setValue("d");
    form.saveButton->click();
    EXPECT_EQ(dialogs.lastText(), "Please enter a Security profile.");
    form.securityBox->setCurrentIndex(form.securityBox->findText("Administrators"));
    emit form.securityBox->activated(form.securityBox->currentIndex());
    form.saveButton->click();
    EXPECT_EQ(rows(*dm, QString("Select * From \"User.db\" Where SecurityID = %1").arg(admins)), 2);
    EXPECT_TRUE(passwordIs(noProfile, "d"));
}

TEST_P(UserSetupScreen, AnAccessRowNamesOneUserOnce) {
    ASSERT_TRUE(logOnAs("Supervisor"));
    addAccess(bob, carol, false);
    admin::UserSetupWindow form(*dm, desktop);
    ASSERT_TRUE(dm->userSettingsTable.locate("UserNumber", bob));
    form.userInsertButton->click();
    form.userSaveButton->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.lastText(), "Please enter a User to view.");
    EXPECT_EQ(dm->accessListTable.state(), engine::DataSet::State::Insert);
    form.viewedUserBox->setCurrentIndex(form.viewedUserBox->findText("Carol Clerk"));
    emit form.viewedUserBox->activated(form.viewedUserBox->currentIndex());
    form.userSaveButton->click();
    EXPECT_EQ(dialogs.lastText(),
              "Carol Clerk is already in this user's list: change the row there instead.");
    EXPECT_EQ(rows(*dm, QString("Select * From \"AccessList.db\" Where UserNumber = %1").arg(bob)), 1);
    form.viewedUserBox->setCurrentIndex(form.viewedUserBox->findText("Ann Admin"));
    emit form.viewedUserBox->activated(form.viewedUserBox->currentIndex());
    form.userSaveButton->click();
    EXPECT_EQ(rows(*dm, QString("Select * From \"AccessList.db\" Where UserNumber = %1").arg(bob)), 2);

    // The stored row itself may change: ticking "Edit" on Carol's row is no second row.
    ASSERT_TRUE(dm->accessListTable.locate("CanSeeUser", carol));
    form.canEditBox->click();
    form.userSaveButton->click();
    EXPECT_EQ(rows(*dm, QString("Select * From \"AccessList.db\" Where UserNumber = %1 And CanSeeUser = %2 "
                                "And CanEditUser = True")
                            .arg(bob)
                            .arg(carol)),
              1);
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

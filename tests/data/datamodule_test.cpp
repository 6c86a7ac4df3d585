// The data module: creation and its failure path, the current user's records, access lists.

#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "support/DataFixture.h"

#include "engine/Error.h"

#include <QFile>
#include <gtest/gtest.h>
#include <tuple>

using testing_support::DataFixture;

class DataModuleRules : public DataFixture {};
VARDIMO_ON_BOTH_STORES(DataModuleRules);

TEST_P(DataModuleRules, OpensEveryTableWithItsOrderAndCarriesTheGoalsQuery) {
    for (engine::Table* t : dm->tablesInOpenOrder())
        EXPECT_TRUE(t->isOpen()) << t->tableName().toStdString();
    EXPECT_EQ(dm->GoalsQuery.text(), "Select G.*, T.TypeDescription From \"Goals.DB\" G, \"GoalType\" T\n"
                                     "Where G.GoalTypeID = T.GoalTypeID");
    EXPECT_EQ(dm->UserTable2.tableName(), "User.DB");
    EXPECT_EQ(dm->MeasureTable.indexName(), "MNumber");
    EXPECT_EQ(dm->UserSource2.dataSet(), &dm->UserTable2);
    EXPECT_EQ(dm->StrategySource.dataSet(), &dm->StrategyTable);
    EXPECT_EQ(dm->SelectedUserNumber, 0);
    EXPECT_TRUE(dm->GoalYearFilter.isEmpty());
    EXPECT_FALSE(dm->GoalOwnerFilter);
    // The built-in account of a new database.
    EXPECT_EQ(dm->UserSettingsTable.recordCount(), 1);
    EXPECT_EQ(dm->UserSettingsTable.field("UserID").asString(), "Supervisor");
    EXPECT_EQ(dm->SettingsTable.recordCount(), 1);
}

TEST_P(DataModuleRules, AMissingTableStopsCreationWithAnErrorBox) {
    dm.reset();
    if (onServer())
        ASSERT_TRUE(store.server()->run("DROP TABLE department"));
    else
        QFile::remove(dir.file("Department.db"));
    session = std::make_unique<engine::Session>();
    session->addStandardAlias("Goal", store.location(), "Paradox");
    DataModule module(*session);
    EXPECT_FALSE(module.DataModuleCreate());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Vardimo");
    EXPECT_EQ(dialogs.messages[0].icon, controls::Icon::Stop);
    EXPECT_TRUE(dialogs.messages[0].text.contains("Department.db"));
    EXPECT_TRUE(module.StrategyTable.isOpen()) << "tables before the missing one were opened";
    EXPECT_FALSE(module.GoalTypeTable.isOpen()) << "no further table is opened";
    EXPECT_FALSE(module.MeasureTable.isOpen());
    if (onServer())
        EXPECT_TRUE(store.server()->run("CREATE TABLE department (x integer)"))
            << "the table was not made again";
    else
        EXPECT_FALSE(QFile::exists(dir.file("Department.db")));
}

TEST_P(DataModuleRules, CheckUserFillsTheRecordsFromTheMatchedUser) {
    const int staff = addProfile("Staff", {"CanAddGoals", "CanAddStrategy"});
    const int smith = addUser("JSmith", "Secret", "John Smith", staff);
    EXPECT_FALSE(CheckUser("jsmith", "secret", true)) << "the password is compared exactly";
    EXPECT_EQ(LoginData.UserNumber, -1);
    EXPECT_EQ(LoginData.SecurityID, -1);
    EXPECT_EQ(dm->UserSettingsQuery.text(), "Select * From \"User.db\"\nWhere UserPassword = \"secret\"");
    EXPECT_FALSE(dm->UserSettingsQuery.isOpen());

    ASSERT_TRUE(CheckUser("jsmith", "Secret", true));
    EXPECT_EQ(LoginData.UserId, "JSMITH");
    EXPECT_EQ(LoginData.UserNumber, smith);
    EXPECT_EQ(LoginData.UserName, "John Smith");
    EXPECT_EQ(SecurityData.SecurityID, staff);
    EXPECT_EQ(SecurityData.Description, "Staff");
    EXPECT_TRUE(SecurityData.CanAddGoals);
    EXPECT_TRUE(SecurityData.CanAddStrategy);
    EXPECT_FALSE(SecurityData.Supervisor);
    EXPECT_EQ(dm->SecurityQuery.text(),
              QString("Select * From \"Security.db\" Where SecurityID = \"%1\"").arg(staff));
    EXPECT_EQ(dm->VisibleUserSet, QString("(%1)").arg(smith));

    // After a failed lookup the rights of the last success remain.
    EXPECT_FALSE(CheckUser("nobody", "", false));
    EXPECT_EQ(LoginData.UserNumber, -1);
    EXPECT_EQ(LoginData.UserId, "JSMITH");
    EXPECT_EQ(SecurityData.Description, "Staff");

    // A user whose profile does not exist: logged on, "Undefined", every right false.
    addUser("ghost", "", "Ghost", 77);
    ASSERT_TRUE(CheckUser("GHOST", "", false));
    EXPECT_EQ(SecurityData.SecurityID, 77);
    EXPECT_EQ(SecurityData.Description, "Undefined");
    EXPECT_FALSE(SecurityData.CanAddGoals);
    EXPECT_FALSE(SecurityData.Supervisor);
}

TEST_P(DataModuleRules, NullFieldsAreNeverCopied) {
    engine::Table& s = dm->SettingsTable;
    s.edit();
    for (const char* f : {"DisableLogin", "AutoLogon", "NoGoalYear", "SendToPrinter", "MultipulMeasure"})
        s.field(f).clear();
    s.post();
    SystemSettings.NoGoalYear = true;
    LoadSystemSettings();
    EXPECT_TRUE(SystemSettings.SendToPrinter) << "an empty SendToPrinter means the printer";
    EXPECT_FALSE(SystemSettings.DisableLogin);
    EXPECT_TRUE(SystemSettings.NoGoalYear) << "NoGoalYear keeps its value when the field is empty";
    s.edit();
    s.field("SendToPrinter").setValue(false);
    s.field("NoGoalYear").setValue(false);
    s.field("MultipulMeasure").setValue(true);
    s.post();
    LoadSystemSettings();
    EXPECT_FALSE(SystemSettings.SendToPrinter);
    EXPECT_FALSE(SystemSettings.NoGoalYear);
    EXPECT_TRUE(SystemSettings.MultipulMeasure);

    // A user row with empty fields keeps the reset values.
    // Stored before a user needed a profile.
    engine::Inserter(dm->GoalDatabase, "User.db", {"UserID"}).add({"blank"});
    TLoginData d;
    d.UserId = "before";
    LoadLoginData("Blank", d);
    EXPECT_EQ(d.UserId, "BLANK");
    EXPECT_EQ(d.SecurityID, -1);
    EXPECT_TRUE(d.UserName.isEmpty());
    EXPECT_GT(d.UserNumber, 0);
    LoadLoginData("missing", d);
    EXPECT_EQ(d.UserId, "BLANK") << "the id is left as it was when no user is found";
    EXPECT_EQ(d.UserNumber, -1);
}

TEST_P(DataModuleRules, AccessListsAndLookups) {
    const int staff = addProfile("Staff", {});
    const int u4 = addUser("four", "", "Four", staff);
    const int dept = [&] {
        dm->DepartmentTable.insert();
        dm->DepartmentTable.field("Description").setValue("Sales");
        dm->DepartmentTable.post();
        return dm->DepartmentTable.field("DepartmentID").asInt();
    }();
    const int u9 = addUser("nine", "", "", staff, dept);
    const int u12 = addUser("twelve", "", "Twelve", staff);
    addAccess(u12, u4, false);
    addAccess(u12, u9, true);
    {
        // Rows stored before access rows had to name one user once: loading them still copes.
        engine::Inserter access(dm->GoalDatabase, "accesslist.db",
                                {"UserNumber", "CanSeeUser", "CanEditUser"});
        // Logical columns are stored as 0 and 1.
        access.add({u12, u4, QVariant(QMetaType::fromType<int>())});
        access.add({u12, QVariant(QMetaType::fromType<int>()), 1});
    }
    addAccess(u4, u12, true);
    ASSERT_TRUE(CheckUser("twelve", "", false));
    EXPECT_EQ(dm->AccessListQuery.text(),
              QString("Select * From \"AccessList.db\"\nWhere UserNumber = %1").arg(u12));
    EXPECT_EQ(dm->CanSeeList->items(), QStringList({QString::number(u4), QString::number(u9)}));
    EXPECT_EQ(dm->CanEditList->items(), QStringList({QString::number(u9)}));
    EXPECT_EQ(dm->VisibleUserSet, QString("(%1, %2, %3, %2)").arg(u12).arg(u4).arg(u9));
    EXPECT_TRUE(dm->MaySeeUser(u4));
    EXPECT_TRUE(dm->MaySeeUser(u12));
    EXPECT_TRUE(dm->MayEditUser(u9));
    EXPECT_FALSE(dm->MayEditUser(u4));
    EXPECT_FALSE(dm->MaySeeUser(1));
    // The second user view lists exactly the users he may see.
    dm->UserTable2.setFiltered(true);
    EXPECT_EQ(dm->UserTable2.recordCount(), 3);

    SecurityData.Supervisor = true;
    EXPECT_TRUE(dm->MaySeeUser(1));
    EXPECT_TRUE(dm->MayEditUser(12345));
    SecurityData.Supervisor = false;
    SecurityData.CanViewAllStrategys = true;
    EXPECT_TRUE(dm->MayEditUser(1));

    TLoginData r;
    r.UserId = "kept";
    dm->LookupUser(u9, r);
    EXPECT_EQ(r.UserNumber, u9);
    EXPECT_EQ(r.SecurityID, staff);
    EXPECT_TRUE(r.UserName.isEmpty());
    EXPECT_EQ(r.UserId, "kept");
    EXPECT_EQ(dm->UserSettingsQuery.text(),
              QString("Select * From \"User.db\" Where UserNumber = %1").arg(u9));
    dm->LookupUser(999, r);
    EXPECT_EQ(r.UserNumber, -1);
    EXPECT_EQ(r.SecurityID, -1);
    EXPECT_EQ(dm->UserDepartmentName(u9), "Sales");
    EXPECT_EQ(dm->DepartmentQuery.text(),
              QString("Select * From \"Department.db\" Where DepartmentID = %1").arg(dept));
    EXPECT_EQ(dm->UserDepartmentID(u4), -1);
    EXPECT_EQ(dm->UserDepartmentName(u4), "");
    EXPECT_EQ(dm->DepartmentQuery.text(), "Select * From \"Department.db\" Where DepartmentID = -1");
    EXPECT_EQ(dm->UserDepartmentName(999), "");
}

TEST_P(DataModuleRules, ASupervisorWithoutAccessRows) {
    const int boss = addProfile("Boss", {"Supervisor"});
    addUser("boss", "", "Boss", boss);
    ASSERT_TRUE(CheckUser("boss", "", false));
    EXPECT_EQ(dm->VisibleUserSet, QString("(%1)").arg(LoginData.UserNumber));
    EXPECT_EQ(dm->CanSeeList->count(), 0);
    EXPECT_TRUE(dm->MaySeeUser(1));
    EXPECT_TRUE(dm->MayEditUser(1));
}

TEST_P(DataModuleRules, UserIdsMatchInAnyCaseOfAnyAlphabetAndLoadTheMatchedRow) {
    const int staff = addProfile("Staff", {"CanAddGoals"});
    const int boss = addProfile("Boss", {"CanPackDatabase"});
    // Two rows whose ids differ only in letter case, stored before ids were kept apart.
    {
        engine::Table raw(dm->GoalDatabase, "User.db");
        raw.open();
        for (auto [id, pw, profile] :
             {std::tuple{"rbrown", "other", boss}, std::tuple{"RBROWN", "brown", staff}}) {
            raw.insert();
            raw.field("UserID").setValue(id);
            raw.field("UserPassword").setValue(pw);
            raw.field("UserName").setValue(QString("Owner of ") + id);
            raw.field("SecurityID").setValue(profile);
            raw.post();
        }
    }
    ASSERT_TRUE(CheckUser("RBROWN", "brown", true));
    EXPECT_EQ(LoginData.UserName, "Owner of RBROWN") << "the rights follow the row whose password matched";
    EXPECT_EQ(SecurityData.SecurityID, staff);
    EXPECT_FALSE(SecurityData.CanPackDatabase);
    ASSERT_TRUE(CheckUser("Rbrown", "other", true));
    EXPECT_EQ(SecurityData.SecurityID, boss);

    // Ids outside ASCII, typed exactly or in other letters.
    addUser("Jürgen", "jpw", "Jürgen Maier", staff);
    addUser("josé", "", "José Ortiz", staff);
    EXPECT_TRUE(CheckUser("Jürgen", "jpw", true));
    EXPECT_EQ(LoginData.UserName, "Jürgen Maier");
    EXPECT_EQ(LoginData.UserId, "JÜRGEN");
    EXPECT_TRUE(CheckUser("JÜRGEN", "jpw", true));
    EXPECT_TRUE(CheckUser("josé", "", true));
    EXPECT_TRUE(CheckUser("JOSÉ", "", false));
    EXPECT_FALSE(CheckUser("jose", "", false)) << "an accent is no letter case";
    // The user table filtered to one id (the user settings screen) uses the same comparison.
    dm->UserIdFilter = "JÜRGEN";
    dm->UserSettingsTable.setFiltered(true);
    EXPECT_EQ(dm->UserSettingsTable.recordCount(), 1);
    EXPECT_EQ(dm->UserSettingsTable.field("UserName").asString(), "Jürgen Maier");
    dm->UserSettingsTable.setFiltered(false);
    dm->UserIdFilter.clear();

    // A password never set is an empty one.
    engine::Table& u = dm->UserSettingsTable;
    u.insert();
    u.field("UserID").setValue("nopass");
    u.field("SecurityID").setValue(staff);
    u.post();
    EXPECT_TRUE(CheckUser("NOPASS", "", true));
    EXPECT_FALSE(CheckUser("NOPASS", "x", true));

    // A new id, or a changed one, that another user holds in any letter case is refused.
    u.insert();
    u.field("UserID").setValue("JürGEN");
    EXPECT_THROW(u.post(), engine::Error);
    u.cancel();
    ASSERT_TRUE(u.locate("UserID", "josé"));
    u.edit();
    u.field("UserID").setValue("NOPASS");
    EXPECT_THROW(u.post(), engine::Error);
    u.field("UserID").setValue("JOSÉ");
    EXPECT_NO_THROW(u.post()) << "a user may change the letters of his own id";
    ASSERT_TRUE(u.locate("UserID", "RBROWN"));
    u.edit();
    u.field("UserName").setValue("Robert Brown");
    EXPECT_NO_THROW(u.post()) << "a row stored before the rule keeps working while its id stays";
}

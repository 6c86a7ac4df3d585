// The data module: creation and its failure path, the current user's records, access lists.

#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "support/DataFixture.h"

#include "engine/Error.h"
#include "engine/Query.h"
#include "support/Peer.h"

#include <QDateTime>
#include <QFile>
#include <gtest/gtest.h>
#include <tuple>

using testing_support::DataFixture;

class DataModuleRules : public DataFixture {};
VARDIMO_ON_ALL_STORES(DataModuleRules);

TEST_P(DataModuleRules, OpensEveryTableWithItsOrder) {
    for (engine::Table* t : dm->tablesInOpenOrder())
        EXPECT_TRUE(t->isOpen()) << t->tableName().toStdString();
    EXPECT_EQ(dm->visibleUsersTable.tableName(), "User.DB");
    EXPECT_EQ(dm->measureTable.indexName(), "MNumber");
    EXPECT_EQ(dm->visibleUsersSource.dataSet(), &dm->visibleUsersTable);
    EXPECT_EQ(dm->strategySource.dataSet(), &dm->strategyTable);
    EXPECT_EQ(dm->strategySelection().user, 0);
    EXPECT_FALSE(dm->goalFilter().year);
    EXPECT_FALSE(dm->goalFilter().ownOnly);
    // The built-in account of a new database.
    EXPECT_EQ(dm->userSettingsTable.recordCount(), 1);
    EXPECT_EQ(dm->userSettingsTable.field("UserID").asString(), "Supervisor");
    EXPECT_EQ(dm->settingsTable.recordCount(), 1);
}

TEST_P(DataModuleRules, AMissingTableStopsOpeningWithTheEnginesError) {
    dm.reset();
    if (onServer())
        ASSERT_TRUE(store.server()->run("DROP TABLE department"));
    else
        QFile::remove(dir.file("Department.db"));
    session = std::make_unique<engine::Session>();
    session->addAlias("Goal", store.location());
    data::DataModule module(*session);
    QString error;
    try {
        module.open();
    } catch (const engine::Error& e) {
        error = e.message();
    }
    EXPECT_TRUE(error.contains("Department.db")) << error.toStdString();
    EXPECT_TRUE(dialogs.messages.empty()) << "the caller reports it";
    EXPECT_FALSE(module.isOpen());
    EXPECT_TRUE(module.strategyTable.isOpen()) << "tables before the missing one were opened";
    EXPECT_FALSE(module.goalTypeTable.isOpen()) << "no further table is opened";
    EXPECT_FALSE(module.measureTable.isOpen());
    if (onServer())
        EXPECT_TRUE(store.server()->run("CREATE TABLE department (x integer)"))
            << "the table was not made again";
    else
        EXPECT_FALSE(QFile::exists(dir.file("Department.db")));
}

namespace {
// The departments a lookup list of the table object shows, in its order, read as a list reads them.
QStringList listed(engine::Table& t) {
    QStringList out;
    for (int r = 0, n = t.recordCount(); r < n; ++r)
        out << t.valueAt(r, "Description").toString();
    return out;
}
void addDepartment(engine::Table& t, const char* name) {
    t.insert();
    t.field("Description").setValue(name);
    t.post();
}
} // namespace

TEST_P(DataModuleRules, LookupListsShowExactlyTheStoredRowsAfterAnotherWorkstationWrote) {
    for (const char* name : {"Bravo", "Alpha", "Delta", "Charlie"})
        addDepartment(dm->departmentTable, name);
    // Another workstation: a connection of its own.
    engine::Session theirSession;
    theirSession.addAlias("Goal", store.location());
    data::DataModule theirs(theirSession);
    ASSERT_NO_THROW(theirs.open());
    engine::Table& other = theirs.departmentTable;

    // Read whole as it opens: in its order, on its first row, the list then read without the store.
    openModule();
    engine::Table& mine = dm->departmentTable;
    const engine::Backend& ours = dm->goalDatabase.backend();
    EXPECT_EQ(mine.recNo(), 0);
    EXPECT_EQ(mine.field("Description").asString(), "Alpha");
    qint64 before = ours.statementsSent();
    EXPECT_EQ(listed(mine), QStringList({"Alpha", "Bravo", "Charlie", "Delta"}));
    EXPECT_EQ(ours.statementsSent(), before) << "the rows came with the keys";
    ASSERT_TRUE(mine.locate("Description", "Charlie"));

    int reads = 0;
    QObject::connect(&mine, &engine::DataSet::rowsChanged, [&reads] { ++reads; });
    dm->refreshLookupLists();
    EXPECT_EQ(reads, 0) << "nobody wrote: nothing is read again";

    // Deleted, added and renamed elsewhere: the next screen's list shows exactly the stored rows,
    // still on the row it stood on.
    ASSERT_TRUE(other.locate("Description", "Alpha"));
    other.remove();
    addDepartment(other, "Echo");
    ASSERT_TRUE(other.locate("Description", "Delta"));
    other.edit();
    other.field("Description").setValue("Aardvark");
    other.post();
    dm->refreshLookupLists();
    EXPECT_EQ(reads, 1);
    before = ours.statementsSent();
    EXPECT_EQ(listed(mine), QStringList({"Aardvark", "Bravo", "Charlie", "Echo"}));
    EXPECT_EQ(ours.statementsSent(), before);
    EXPECT_EQ(mine.field("Description").asString(), "Charlie");
    EXPECT_EQ(mine.recNo(), 2);

    // The row it stands on deleted elsewhere: it stands on the row that took its place.
    ASSERT_TRUE(other.locate("Description", "Charlie"));
    other.remove();
    dm->refreshLookupLists();
    EXPECT_EQ(listed(mine), QStringList({"Aardvark", "Bravo", "Echo"}));
    EXPECT_EQ(mine.recNo(), 2);
    EXPECT_EQ(mine.field("Description").asString(), "Echo");
    mine.prior();
    EXPECT_EQ(mine.field("Description").asString(), "Bravo");
    mine.last();
    mine.next();
    EXPECT_TRUE(mine.eof());

    // Every row deleted elsewhere: an empty list, and no row to stand on.
    for (other.first(); !other.isEmpty(); other.first())
        other.remove();
    dm->refreshLookupLists();
    EXPECT_EQ(listed(mine), QStringList());
    EXPECT_TRUE(mine.isEmpty());
    EXPECT_TRUE(mine.field("Description").isNull());
}

TEST_P(DataModuleRules, LogonFillsTheUserFromTheMatchedRow) {
    const int staff = addProfile("Staff", {"CanAddGoals", "CanAddStrategy"});
    const int smith = addUser("JSmith", "Secret", "John Smith", staff);
    // Where the server holds the logons, it compares the password, through the user's role.
    EXPECT_FALSE(store.secure() ? data::logOnToServer(*dm, "jsmith", "secret")
                                : data::logOn(*dm, "jsmith", "secret", true))
        << "the password is compared exactly";
    EXPECT_EQ(dm->user().number, 0) << "nobody is logged on";

    ASSERT_TRUE(store.secure() ? logOnAs("jsmith") : data::logOn(*dm, "jsmith", "Secret", true));
    EXPECT_EQ(dm->user().id, "JSMITH");
    EXPECT_EQ(dm->user().number, smith);
    EXPECT_EQ(dm->user().name, "John Smith");
    EXPECT_EQ(dm->user().rights.profileId, staff);
    EXPECT_EQ(dm->user().rights.description, "Staff");
    EXPECT_TRUE(dm->user().rights.canAddGoals);
    EXPECT_TRUE(dm->user().rights.canAddStrategies);
    EXPECT_FALSE(dm->user().rights.supervisor);
    EXPECT_EQ(dm->user().visibleUsers(), QList<int>({smith}));

    // After a failed lookup the user and rights of the last success remain.
    EXPECT_FALSE(data::logOn(*dm, "nobody", "", false));
    EXPECT_EQ(dm->user().number, smith);
    EXPECT_EQ(dm->user().id, "JSMITH");
    EXPECT_EQ(dm->user().rights.description, "Staff");

    // A user whose profile does not exist: logged on, "Undefined", every right false.
    addUser("ghost", "", "Ghost", 77);
    ASSERT_TRUE(store.secure() ? logOnAs("GHOST") : data::logOn(*dm, "GHOST", "", false));
    EXPECT_EQ(dm->user().rights.profileId, 77);
    EXPECT_EQ(dm->user().rights.description, "Undefined");
    EXPECT_FALSE(dm->user().rights.canAddGoals);
    EXPECT_FALSE(dm->user().rights.supervisor);
}

TEST_P(DataModuleRules, NullFieldsAreNeverCopied) {
    engine::Table& s = dm->settingsTable;
    s.edit();
    for (const char* f : {"DisableLogin", "AutoLogon", "NoGoalYear", "SendToPrinter", "MultipulMeasure"})
        s.field(f).clear();
    s.post();
    dm->user().settings.noGoalYear = true;
    dm->user().settings = data::readSystemSettings(*dm);
    EXPECT_TRUE(dm->user().settings.sendToPrinter) << "an empty SendToPrinter means the printer";
    EXPECT_FALSE(dm->user().settings.disableLogon);
    EXPECT_TRUE(dm->user().settings.noGoalYear) << "NoGoalYear keeps its value when the field is empty";
    s.edit();
    s.field("SendToPrinter").setValue(false);
    s.field("NoGoalYear").setValue(false);
    s.field("MultipulMeasure").setValue(true);
    s.post();
    dm->user().settings = data::readSystemSettings(*dm);
    EXPECT_FALSE(dm->user().settings.sendToPrinter);
    EXPECT_FALSE(dm->user().settings.noGoalYear);
    EXPECT_TRUE(dm->user().settings.multipleMeasures);

    // A user row with empty fields keeps the reset values.
    // Stored before a user needed a profile.
    engine::Inserter(dm->goalDatabase, "User.db", {"UserID"}).add({"blank"});
    data::UserRecord d = data::readUser(*dm, QString("Blank"));
    EXPECT_EQ(d.id, "BLANK");
    EXPECT_EQ(d.profileId, -1);
    EXPECT_TRUE(d.name.isEmpty());
    EXPECT_GT(d.number, 0);
    d = data::readUser(*dm, QString("missing"));
    EXPECT_TRUE(d.id.isEmpty());
    EXPECT_EQ(d.number, -1);
}

TEST_P(DataModuleRules, AccessListsAndLookups) {
    const int staff = addProfile("Staff", {});
    const int u4 = addUser("four", "", "Four", staff);
    const int dept = [&] {
        dm->departmentTable.insert();
        dm->departmentTable.field("Description").setValue("Sales");
        dm->departmentTable.post();
        return dm->departmentTable.field("DepartmentID").asInt();
    }();
    const int u9 = addUser("nine", "", "", staff, dept);
    const int u12 = addUser("twelve", "", "Twelve", staff);
    addAccess(u12, u4, false);
    addAccess(u12, u9, true);
    {
        // Rows stored before access rows had to name one user once: loading them still copes.
        engine::Inserter access(dm->goalDatabase, "accesslist.db",
                                {"UserNumber", "CanSeeUser", "CanEditUser"});
        // Logical columns are stored as 0 and 1.
        access.add({u12, u4, QVariant(QMetaType::fromType<int>())});
        access.add({u12, QVariant(QMetaType::fromType<int>()), 1});
    }
    addAccess(u4, u12, true);
    ASSERT_TRUE(data::logOn(*dm, "twelve", "", false));
    const data::CurrentUser& me = dm->user();
    EXPECT_EQ(me.canSee, QSet<int>({u4, u9}));
    EXPECT_EQ(me.canEdit, QSet<int>({u9}));
    EXPECT_EQ(me.visibleUsers(), QList<int>({u4, u9, u12}));
    EXPECT_TRUE(me.maySee(u4));
    EXPECT_TRUE(me.maySee(u12));
    EXPECT_TRUE(me.mayEdit(u9));
    EXPECT_FALSE(me.mayEdit(u4));
    EXPECT_FALSE(me.maySee(1));
    // The second user view lists exactly the users he may see.
    dm->visibleUsersTable.setFiltered(true);
    EXPECT_EQ(dm->visibleUsersTable.recordCount(), 3);

    dm->user().rights.supervisor = true;
    EXPECT_TRUE(dm->user().maySee(1));
    EXPECT_TRUE(dm->user().mayEdit(12345));
    dm->user().rights.supervisor = false;
    dm->user().rights.canViewAllStrategies = true;
    EXPECT_TRUE(dm->user().mayEdit(1));

    data::UserRecord r = data::readUser(*dm, u9);
    EXPECT_EQ(r.number, u9);
    EXPECT_EQ(r.profileId, staff);
    EXPECT_TRUE(r.name.isEmpty());
    EXPECT_EQ(r.id, "nine");
    r = data::readUser(*dm, 999);
    EXPECT_EQ(r.number, -1);
    EXPECT_EQ(r.profileId, -1);
    EXPECT_EQ(dm->userDepartmentName(u9), "Sales");
    EXPECT_EQ(dm->userDepartmentID(u9), dept);
    EXPECT_EQ(dm->userDepartmentID(u4), -1);
    EXPECT_EQ(dm->userDepartmentName(u4), "");
    EXPECT_EQ(dm->userDepartmentName(999), "");
}

TEST_P(DataModuleRules, ASupervisorWithoutAccessRows) {
    const int boss = addProfile("Boss", {"Supervisor"});
    addUser("boss", "", "Boss", boss);
    ASSERT_TRUE(data::logOn(*dm, "boss", "", false));
    EXPECT_EQ(dm->user().visibleUsers(), QList<int>({dm->user().number}));
    EXPECT_TRUE(dm->user().canSee.isEmpty());
    EXPECT_TRUE(dm->user().maySee(1));
    EXPECT_TRUE(dm->user().mayEdit(1));
}

TEST_P(DataModuleRules, UserIdsMatchInAnyCaseOfAnyAlphabetAndLoadTheMatchedRow) {
    if (store.secure())
        GTEST_SKIP() << "a server that holds the logons compares the passwords itself and has one role for "
                        "ids equal but for letter case, so no such pair is stored there";
    const int staff = addProfile("Staff", {"CanAddGoals"});
    const int boss = addProfile("Boss", {"CanPackDatabase"});
    // Two rows whose ids differ only in letter case, stored before ids were kept apart.
    {
        engine::Table raw(dm->goalDatabase, "User.db");
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
    ASSERT_TRUE(data::logOn(*dm, "RBROWN", "brown", true));
    EXPECT_EQ(dm->user().name, "Owner of RBROWN") << "the rights follow the row whose password matched";
    EXPECT_EQ(dm->user().rights.profileId, staff);
    EXPECT_FALSE(dm->user().rights.canPackDatabase);
    ASSERT_TRUE(data::logOn(*dm, "Rbrown", "other", true));
    EXPECT_EQ(dm->user().rights.profileId, boss);

    // Ids outside ASCII, typed exactly or in other letters.
    addUser("Jürgen", "jpw", "Jürgen Maier", staff);
    addUser("josé", "", "José Ortiz", staff);
    EXPECT_TRUE(data::logOn(*dm, "Jürgen", "jpw", true));
    EXPECT_EQ(dm->user().name, "Jürgen Maier");
    EXPECT_EQ(dm->user().id, "JÜRGEN");
    EXPECT_TRUE(data::logOn(*dm, "JÜRGEN", "jpw", true));
    EXPECT_TRUE(data::logOn(*dm, "josé", "", true));
    EXPECT_TRUE(data::logOn(*dm, "JOSÉ", "", false));
    EXPECT_FALSE(data::logOn(*dm, "jose", "", false)) << "an accent is no letter case";
    // The user table filtered to one id (the user settings screen) uses the same comparison.
    dm->setUserIdFilter("JÜRGEN");
    dm->userSettingsTable.setFiltered(true);
    EXPECT_EQ(dm->userSettingsTable.recordCount(), 1);
    EXPECT_EQ(dm->userSettingsTable.field("UserName").asString(), "Jürgen Maier");
    dm->userSettingsTable.setFiltered(false);
    dm->setUserIdFilter({});

    // A password never set is an empty one.
    engine::Table& u = dm->userSettingsTable;
    u.insert();
    u.field("UserID").setValue("nopass");
    u.field("SecurityID").setValue(staff);
    u.post();
    EXPECT_TRUE(data::logOn(*dm, "NOPASS", "", true));
    EXPECT_FALSE(data::logOn(*dm, "NOPASS", "x", true));

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

// A batch of edits through the strategy table: each row gets its change and the stamp, every other
// column stays as stored, what the batch keeps back is in place for its own reads, and no other
// workstation starts editing a row until the batch has ended.
TEST_P(DataModuleRules, BatchEditsChangeOneColumnStampTheRowAndKeepTheRest) {
    const int staff = addProfile("Staff", {});
    const int me = addUser("me", "", "Mary Me", staff);
    ASSERT_TRUE(data::logOn(*dm, "me", "", false));
    const int goal = addGoal("Grow", 2024, 1, QVariant(), me);
    engine::Table& t = dm->strategyTable;
    std::vector<int> keys;
    for (int i = 0; i < 7; ++i)
        keys.push_back(insertRow(t, {{"GoalID", goal},
                                     {"UserNumber", me},
                                     {"StrategyNumber", i + 1},
                                     {"StrategyDescription", QString("Strategy \"%1\"; it's").arg(i)},
                                     {"Deliverable", QString("d%1").arg(i)},
                                     {"CompleationDate", QDate(2024, 1, 1 + i)},
                                     {"DoNotPrint", i % 2 == 0},
                                     {"ModifiedBy", 99},
                                     {"ModifiedDate", QDateTime(QDate(2001, 1, 1), QTime(1, 2, 3))}}));
    auto rows = [&] {
        engine::Query q(dm->goalDatabase);
        q.add("Select * From \"Strategys.db\" Order By StrategyID");
        q.open();
        QList<QStringList> out;
        for (; !q.eof(); q.next()) {
            QStringList r;
            for (const QString& f : q.fieldNames())
                r << (q.field(f).isNull() ? "<null>" : q.field(f).asString());
            out << r;
        }
        return out;
    };
    const QList<QStringList> before = rows();
    const int donotprint = t.def().columnIndex("DoNotPrint"), by = t.def().columnIndex("ModifiedBy"),
              when = t.def().columnIndex("ModifiedDate");
    // Another workstation has the table open, then edits a row once the batch has begun.
    testing_support::Peer peer(store.location());
    ASSERT_EQ(peer.send("open Strategys.db"), "ok");
    const QDateTime start = QDateTime::currentDateTime().addSecs(-1);
    {
        engine::BatchScope batch(dm->goalDatabase);
        t.setFiltered(false);
        int n = 0;
        for (t.first(); !t.eof(); t.next(), ++n) {
            t.edit();
            t.field("DoNotPrint").setValue(!t.field("DoNotPrint").asBoolean());
            t.post();
            if (n == 2) {
                // A server cannot keep other sessions from locking rows without costing every
                // edit a second lock: there, their posts wait for the batch instead.
                if (!onServer()) {
                    EXPECT_TRUE(
                        peer.send(QString("edit Strategys.db StrategyID %1 Deliverable theirs").arg(keys[5]))
                            .contains("Record locked by another user."))
                        << "no row can be edited while the batch holds the table";
                }
                // The batch's own reads see what it wrote so far.
                engine::Query q(dm->goalDatabase);
                q.add("Select Count(*) As N From \"Strategys.db\" Where DoNotPrint = 0 And StrategyID <= ",
                      engine::sql::Int{keys[2]});
                q.open();
                EXPECT_EQ(q.field("N").asInteger(), 2)
                    << "the first and third rows, no longer only the second";
            }
        }
        EXPECT_EQ(n, 7);
        batch.commit();
    }
    const QDateTime end = QDateTime::currentDateTime().addSecs(1);
    const QList<QStringList> after = rows();
    ASSERT_EQ(after.size(), before.size());
    for (int r = 0; r < after.size(); ++r)
        for (int c = 0; c < after[r].size(); ++c) {
            if (c == donotprint)
                EXPECT_NE(after[r][c], before[r][c]) << r;
            else if (c == by)
                EXPECT_EQ(after[r][c], QString::number(me)) << r;
            else if (c == when) {
                const QDateTime stamped = dm->strategyTable.valueAt(r, "ModifiedDate").toDateTime();
                EXPECT_TRUE(stamped >= start.addMSecs(-start.time().msec()) && stamped <= end)
                    << r << " " << stamped.toString().toStdString();
            } else
                EXPECT_EQ(after[r][c], before[r][c]) << r << " column " << c;
        }
    // The batch has ended: rows can be edited again, here and there.
    EXPECT_EQ(peer.send(QString("edit Strategys.db StrategyID %1 Deliverable theirs").arg(keys[5])), "ok");
    // A batch that meets a row being edited elsewhere locks row by row, and that row says so.
    {
        engine::BatchScope batch(dm->goalDatabase);
        ASSERT_TRUE(t.locate("StrategyID", keys[4]));
        t.edit();
        t.field("DoNotPrint").setValue(true);
        t.post();
        ASSERT_TRUE(t.locate("StrategyID", keys[5]));
        try {
            t.edit();
            ADD_FAILURE() << "the row being edited elsewhere was edited";
        } catch (const engine::Error& e) {
            EXPECT_EQ(e.message(), engine::Error::recordLockedText());
        }
        batch.commit();
    }
    ASSERT_EQ(peer.send("post Strategys.db"), "ok");
    t.refresh();
    ASSERT_TRUE(t.locate("StrategyID", keys[5]));
    EXPECT_EQ(t.field("Deliverable").asString(), "theirs");
    ASSERT_TRUE(t.locate("StrategyID", keys[4]));
    EXPECT_TRUE(t.field("DoNotPrint").asBoolean());
}

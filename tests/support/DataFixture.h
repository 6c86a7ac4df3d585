#pragma once

#include "controls/Desktop.h"
#include "controls/Screen.h"
#include "controls/ScriptedDialogs.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "engine/Database.h"
#include "support/Stores.h"
#include "support/TempDir.h"

#include <QComboBox>
#include <QDir>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

namespace testing_support {

// A fresh database of the test's store with the data module open on it and scripted dialogs.
// Tests use TEST_P and VARDIMO_ON_ALL_STORES, logging users on with logOnAs as a workstation of
// each store does; tests about the files of a folder database use a fixture made with OnFolder
// instead (TEST_F).
class DataFixture : public ::testing::TestWithParam<Store> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(store.make(storeUnderTest()));
        // Without a database (no test server to make one on) the test has nothing to run on.
        ASSERT_FALSE(HasFailure()) << "no database of this store to test on";
        ASSERT_NO_FATAL_FAILURE(openModule());
    }
    void TearDown() override {
        dm.reset();
        owner_.reset();
        ownerSession_.reset();
    }
    virtual Store storeUnderTest() const { return GetParam(); }
    bool onServer() const { return store.onServer(); }
    void openModule() {
        dm.reset();
        asRole_ = false;
        session = std::make_unique<engine::Session>();
        session->addAlias("Goal", store.location());
        dm = std::make_unique<data::DataModule>(*session);
        ASSERT_NO_THROW(dm->open());
    }
    // A desktop of the test's scripted dialogs where, as in the program, every screen opening
    // reads the lookup lists of `dm` again (tests that open a module of their own keep it there).
    controls::Desktop makeDesktop(controls::Desktop::Help help) {
        return controls::Desktop(dialogs, std::move(help), [this] {
            if (dm) dm->refreshLookupLists();
        });
    }
    // Inserts and posts a row through a table object; returns its key. A user logged on as his
    // own role (logOnAs on a server that holds the logons) may not write what a test sets up for
    // him: the row is written as the database's owner and then made current where he sees it.
    using Fields = std::vector<std::pair<const char*, QVariant>>;
    int insertRow(engine::Table& t, const Fields& fields) {
        if (engine::Table* o = ownersTable(t)) {
            const int key = writeRow(*o, fields);
            t.refresh();
            t.locate(t.def().columns[0].name, key);
            return key;
        }
        return writeRow(t, fields);
    }
    // Changes the row a table object stands on, the same way past the logged-on user's rights.
    void editRow(engine::Table& t, const Fields& fields) {
        engine::Table* o = ownersTable(t);
        const bool keyed = t.def().columns[0].type == engine::FieldType::AutoInc;
        const QString key = t.def().columns[0].name;
        if (o) {
            if (keyed)
                o->locate(key, t.field(key).value());
            else
                o->moveTo(t.recNo());
        }
        engine::Table& target = o ? *o : t;
        target.edit();
        for (const auto& [name, value] : fields)
            target.field(name).setValue(value);
        target.post();
        if (!o) return;
        const int row = t.recNo();
        t.refresh();
        if (keyed)
            t.locate(key, o->field(key).value());
        else
            t.moveTo(row);
    }
    // The database as stored, past the rights of whoever is logged on: what the tests count.
    engine::Database& storedDatabase() { return asRole_ ? ownerModule().goalDatabase : dm->goalDatabase; }
    data::DataModule& ownerModule() {
        if (!owner_) {
            ownerSession_ = std::make_unique<engine::Session>();
            ownerSession_->addAlias("Goal", store.location());
            owner_ = std::make_unique<data::DataModule>(*ownerSession_);
            owner_->open();
        }
        return *owner_;
    }
    // The owner's table object of the same table, read afresh, where the user logged on is his
    // own role; null elsewhere.
    engine::Table* ownersTable(engine::Table& t) {
        if (!asRole_) return nullptr;
        const std::vector<engine::Table*> his = dm->tablesInOpenOrder();
        const auto at = std::find(his.begin(), his.end(), &t);
        if (at == his.end()) return nullptr;
        engine::Table* o = ownerModule().tablesInOpenOrder()[size_t(at - his.begin())];
        o->refresh();
        return o;
    }
    static int writeRow(engine::Table& t, const Fields& fields) {
        t.insert();
        for (const auto& [name, value] : fields)
            t.field(name).setValue(value);
        t.post();
        return t.field(t.def().columns[0].name).asInt();
    }
    // Adds a profile with the named rights; returns its number.
    int addProfile(const QString& name, std::initializer_list<const char*> rights) {
        engine::Table& t = asRole_ ? ownerModule().securityTable : dm->securityTable;
        if (asRole_) t.refresh();
        t.insert();
        t.field("Description").setValue(name);
        for (const data::SecurityRight& r : data::SecurityRights())
            t.field(r.name).setValue(false);
        for (const char* r : rights)
            t.field(r).setValue(true);
        t.post();
        const int id = t.field("SecurityID").asInt();
        if (asRole_) dm->securityTable.refresh();
        return id;
    }
    int addUser(const QString& id, const QString& password, const QString& name, int profile,
                QVariant department = {}) {
        // The server keeps no empty password: such a user gets one of the fixture's.
        QString given = password;
        if (store.secure()) {
            if (given.isEmpty()) given = QStringLiteral("pass of ") + id;
            passwords_[id.toCaseFolded()] = given;
        }
        return insertRow(dm->userSettingsTable, {{"UserID", id},
                                                 {"UserPassword", given},
                                                 {"UserName", name},
                                                 {"SecurityID", profile},
                                                 {"DepartmentID", department}});
    }
    int addGoal(const QString& text, QVariant year, QVariant type, QVariant forUser = {},
                QVariant owner = {}) {
        return insertRow(dm->goalsTable, {{"GoalDescription", text},
                                          {"GoalYear", year},
                                          {"GoalTypeID", type},
                                          {"UserNumber", forUser},
                                          {"GoalOwner", owner}});
    }
    // Deletes a user row as the test's setup, past the rights of whoever is logged on.
    void removeUser(int number) {
        engine::Table& t = asRole_ ? ownerModule().userSettingsTable : dm->userSettingsTable;
        if (asRole_) t.refresh();
        ASSERT_TRUE(t.locate("UserNumber", number));
        t.remove();
        if (asRole_) dm->userSettingsTable.refresh();
    }
    void addAccess(int user, QVariant sees, QVariant edit) {
        insertRow(dm->accessListTable, {{"UserNumber", user}, {"CanSeeUser", sees}, {"CanEditUser", edit}});
    }

    // Logs a user of the test's database on as the program does on its store: on a server that
    // holds the logons, through the logon of his own role with his password (the module opens
    // again); elsewhere by reading his row, rights and access list.
    bool logOnAs(const QString& id) {
        if (!store.secure()) return data::logOn(*dm, id, QString(), false);
        const QString password = sameId(id, QStringLiteral("Supervisor"))
                                     ? TestStore::supervisorPassword()
                                     : passwords_.value(id.toCaseFolded());
        // The settings stay the test's, as a logon by row keeps them.
        const data::SystemSettings settings = dm->user().settings;
        asRole_ = data::logOnToServer(*dm, id, password);
        if (asRole_) dm->user().settings = settings;
        return asRole_;
    }
    static bool sameId(const QString& a, const QString& b) { return a.toCaseFolded() == b.toCaseFolded(); }

    // The texts a drop-down offers, in order.
    static QStringList entries(const QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }

    TestStore store;
    // A folder of the test's own for files it writes (reports, exports); on a folder store also
    // the database's folder.
    const TempDir& dir = store.dir();
    controls::ScriptedDialogs dialogs;
    // Where the test's screens are shown: no help.
    controls::Desktop desktop = makeDesktop({});
    std::unique_ptr<engine::Session> session;
    std::unique_ptr<data::DataModule> dm;

private:
    QHash<QString, QString> passwords_;
    bool asRole_ = false;
    std::unique_ptr<engine::Session> ownerSession_;
    std::unique_ptr<data::DataModule> owner_;
};

} // namespace testing_support

#pragma once

#include "controls/Dialogs.h"
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
#include <QStringList>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>

namespace testing_support {

// A fresh database of the test's store with the data module open on it and scripted dialogs.
// Tests use TEST_P and VARDIMO_ON_BOTH_STORES; tests about the files of a folder database use a
// fixture made with OnFolder instead (TEST_F).
class DataFixture : public ::testing::TestWithParam<Store> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(store.make(storeUnderTest()));
        openModule();
    }
    void TearDown() override {
        controls::setScreenOpening({});
        dm.reset();
    }
    virtual Store storeUnderTest() const { return GetParam(); }
    bool onServer() const { return store.onServer(); }
    void openModule() {
        dm.reset();
        session = std::make_unique<engine::Session>();
        session->addAlias("Goal", store.location());
        dm = std::make_unique<data::DataModule>(*session);
        ASSERT_NO_THROW(dm->open());
        // As the program does: every screen opening reads the lookup lists again.
        // Tests that open a module of their own keep it in `dm` too.
        controls::setScreenOpening([this] {
            if (dm) dm->refreshLookupLists();
        });
    }
    // Inserts and posts a row through a table object; returns its key.
    static int insertRow(engine::Table& t, std::initializer_list<std::pair<const char*, QVariant>> fields) {
        t.insert();
        for (const auto& [name, value] : fields)
            t.field(name).setValue(value);
        t.post();
        return t.field(t.def().columns[0].name).asInt();
    }
    // Adds a profile with the named rights; returns its number.
    int addProfile(const QString& name, std::initializer_list<const char*> rights) {
        engine::Table& t = dm->securityTable;
        t.insert();
        t.field("Description").setValue(name);
        for (const data::SecurityRight& r : data::SecurityRights())
            t.field(r.name).setValue(false);
        for (const char* r : rights)
            t.field(r).setValue(true);
        t.post();
        return t.field("SecurityID").asInt();
    }
    int addUser(const QString& id, const QString& password, const QString& name, int profile,
                QVariant department = {}) {
        return insertRow(dm->userSettingsTable, {{"UserID", id},
                                                 {"UserPassword", password},
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
    void addAccess(int user, QVariant sees, QVariant edit) {
        insertRow(dm->accessListTable, {{"UserNumber", user}, {"CanSeeUser", sees}, {"CanEditUser", edit}});
    }

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
    std::unique_ptr<engine::Session> session;
    std::unique_ptr<data::DataModule> dm;
};

} // namespace testing_support

#pragma once

#include "controls/Dialogs.h"
#include "data/CurrentUser.h"
#include "data/ProgramDataFrm.h"
#include "engine/Database.h"
#include "support/TempDir.h"

#include <QDir>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>

namespace testing_support {

// A fresh database folder with the data module open on it and scripted dialogs.
class DataFixture : public ::testing::Test {
protected:
    void SetUp() override {
        engine::Database::create(dir.path());
        openModule();
    }
    void TearDown() override {
        dm.reset();
        ResetCurrentUser();
    }
    void openModule() {
        dm.reset();
        session = std::make_unique<engine::Session>();
        session->addStandardAlias("Goal", dir.path(), "Paradox");
        dm = std::make_unique<TProgramDataForm>(*session);
        ASSERT_TRUE(dm->DataModuleCreate()) << dialogs.lastText().toStdString();
        ResetCurrentUser();
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
        engine::Table& t = dm->SecurityTable;
        t.insert();
        t.field("Description").setValue(name);
        for (const SecurityRight& r : SecurityRights())
            t.field(r.name).setValue(false);
        for (const char* r : rights)
            t.field(r).setValue(true);
        t.post();
        return t.field("SecurityID").asInt();
    }
    int addUser(const QString& id, const QString& password, const QString& name, int profile,
                QVariant department = {}) {
        return insertRow(dm->UserSettingsTable, {{"UserID", id},
                                                 {"UserPassword", password},
                                                 {"UserName", name},
                                                 {"SecurityID", profile},
                                                 {"DepartmentID", department}});
    }
    int addGoal(const QString& text, QVariant year, QVariant type, QVariant forUser = {},
                QVariant owner = {}) {
        return insertRow(dm->GoalsTable, {{"GoalDescription", text},
                                          {"GoalYear", year},
                                          {"GoalTypeID", type},
                                          {"UserNumber", forUser},
                                          {"GoalOwner", owner}});
    }
    void addAccess(int user, QVariant sees, QVariant edit) {
        insertRow(dm->AccessListTable, {{"UserNumber", user}, {"CanSeeUser", sees}, {"CanEditUser", edit}});
    }

    TempDir dir;
    controls::ScriptedDialogs dialogs;
    std::unique_ptr<engine::Session> session;
    std::unique_ptr<TProgramDataForm> dm;
};

} // namespace testing_support

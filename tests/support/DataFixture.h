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
    // Adds a profile with the named rights; returns its number.
    int addProfile(const QString& name, std::initializer_list<const char*> rights) {
        engine::Table& t = dm->SecurityTable;
        t.insert();
        t.field("Description").setValue(name);
        for (const char* r :
             {"Supervisor", "CanChangeSystem", "CanAddUser", "CanPackDatabase", "CanViewSecurity",
              "CanAddGoals", "CanAddDepartments", "CanPrintReports", "CanAddStrategy", "CanViewAllStrategys",
              "CanAddGoalType", "CanAddGlobalGoals", "CanModifyAllGoals"})
            t.field(r).setValue(false);
        for (const char* r : rights)
            t.field(r).setValue(true);
        t.post();
        return t.field("SecurityID").asInt();
    }
    int addUser(const QString& id, const QString& password, const QString& name, int profile,
                QVariant department = {}) {
        engine::Table& t = dm->UserSettingsTable;
        t.insert();
        t.field("UserID").setValue(id);
        t.field("UserPassword").setValue(password);
        t.field("UserName").setValue(name);
        t.field("SecurityID").setValue(profile);
        t.field("DepartmentID").setValue(department);
        t.post();
        return t.field("UserNumber").asInt();
    }
    int addGoal(const QString& text, QVariant year, QVariant type, QVariant forUser = {},
                QVariant owner = {}) {
        engine::Table& g = dm->GoalsTable;
        g.insert();
        g.field("GoalDescription").setValue(text);
        g.field("GoalYear").setValue(year);
        g.field("GoalTypeID").setValue(type);
        g.field("UserNumber").setValue(forUser);
        g.field("GoalOwner").setValue(owner);
        g.post();
        return g.field("GoalID").asInt();
    }
    void addAccess(int user, QVariant sees, QVariant edit) {
        engine::Table& t = dm->AccessListTable;
        t.insert();
        t.field("UserNumber").setValue(user);
        t.field("CanSeeUser").setValue(sees);
        t.field("CanEditUser").setValue(edit);
        t.post();
    }

    TempDir dir;
    controls::ScriptedDialogs dialogs;
    std::unique_ptr<engine::Session> session;
    std::unique_ptr<TProgramDataForm> dm;
};

} // namespace testing_support

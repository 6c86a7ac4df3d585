// The security profiles screen, driven offscreen with the scripted dialogs.

#include "admin/SecurityWindow.h"
#include "controls/DataGrid.h"
#include "controls/DatePicker.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/RadioGroup.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "support/DataFixture.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using testing_support::DataFixture;

class SecurityScreen : public DataFixture {
protected:
    void SetUp() override {
        DataFixture::SetUp();
        staff = addProfile("Staff", {"CanAddGoals", "CanViewSecurity"});
        addUser("viewer", "", "Vic Viewer", staff);
    }
    // Every control that edits a profile, with whether it is enabled now.
    std::vector<bool> editState(admin::SecurityWindow& f) {
        std::vector<bool> s{f.nameEdit->isEnabled(), f.saveButton->isEnabled(), f.insertButton->isEnabled(),
                            f.deleteButton->isEnabled()};
        for (auto* box :
             {f.changeSystemCheckBox, f.viewSecurityCheckBox, f.packDatabaseCheckBox, f.modifyUserCheckBox,
              f.goalsCheckBox, f.strategyCheckBox, f.departmentsCheckBox, f.viewAllStrategiesCheckBox,
              f.printReportsCheckBox, f.goalTypesCheckBox, f.globalGoalsCheckBox, f.modifyAllGoalsCheckBox})
            s.push_back(box->isEnabled());
        return s;
    }
    bool storedRight(int profile, const char* right) {
        engine::Query q(dm->goalDatabase);
        q.add("Select * From \"Security.db\" Where SecurityID = ", engine::sql::Int{profile});
        q.open();
        return q.field(right).asBoolean();
    }
    int staff = 0;
};
VARDIMO_ON_ALL_STORES(SecurityScreen);

TEST_P(SecurityScreen, OtherProfilesOnlyView) {
    ASSERT_TRUE(logOnAs("viewer"));
    dm->securityTable.setFiltered(true); // left on by the user setup screen of somebody
    admin::SecurityWindow form(*dm, desktop);
    EXPECT_EQ(form.windowTitle(), "Security");
    EXPECT_EQ(dm->securityTable.recordCount(), 2) << "profile 0 is listed here too";
    const std::vector<bool> allOff(16, false);
    for (int row = 0; row < dm->securityTable.recordCount(); ++row) {
        dm->securityTable.moveTo(row);
        form.onActivate();
        EXPECT_EQ(editState(form), allOff) << "row " << row;
        EXPECT_FALSE(form.supervisorCheckBox->isEnabled());
    }
}

TEST_P(SecurityScreen, TopProfileEditsEveryProfileButItsOwn) {
    ASSERT_TRUE(logOnAs("Supervisor"));
    admin::SecurityWindow form(*dm, desktop);
    ASSERT_TRUE(dm->securityTable.locate("SecurityID", 0));
    std::vector<bool> onlyInsert(16, false);
    onlyInsert[2] = true;
    EXPECT_EQ(editState(form), onlyInsert) << "profile 0 is never editable";

    ASSERT_TRUE(dm->securityTable.locate("SecurityID", staff));
    EXPECT_EQ(editState(form), std::vector<bool>(16, true));
    EXPECT_FALSE(form.supervisorCheckBox->isEnabled()) << "the supervisor flag is never changed here";

    // A change is stored on moving to another profile, and dropped on closing.
    form.nameEdit->selectAll();
    QTest::keyClicks(form.nameEdit, "Staff members");
    form.packDatabaseCheckBox->click();
    dm->securityTable.first();
    EXPECT_TRUE(storedRight(staff, "CanPackDatabase"));
    ASSERT_TRUE(dm->securityTable.locate("SecurityID", staff));
    EXPECT_EQ(dm->securityTable.field("Description").asString(), "Staff members");
    form.printReportsCheckBox->click();
    form.reject();
    EXPECT_FALSE(storedRight(staff, "CanPrintReports"));
    EXPECT_FALSE(dm->securityTable.isEditing());
}

TEST_P(SecurityScreen, InsertStoresAnEmptyProfileAtOnceAndDeleteAsks) {
    ASSERT_TRUE(logOnAs("Supervisor"));
    admin::SecurityWindow form(*dm, desktop);
    ASSERT_TRUE(dm->securityTable.locate("SecurityID", 0));
    form.insertButton->click();
    EXPECT_FALSE(dm->securityTable.isEditing()) << "stored at once";
    const int fresh = dm->securityTable.field("SecurityID").asInt();
    EXPECT_GT(fresh, staff);
    EXPECT_TRUE(dm->securityTable.field("Description").asString().isEmpty());
    for (const data::SecurityRight& r : data::SecurityRights()) {
        EXPECT_FALSE(dm->securityTable.field(r.name).isNull()) << r.name << " is stored as false";
        EXPECT_FALSE(storedRight(fresh, r.name)) << r.name;
    }
    EXPECT_TRUE(form.nameEdit->isEnabled()) << "the new profile is editable";
    form.goalsCheckBox->click();
    form.saveButton->click();
    EXPECT_TRUE(storedRight(fresh, "CanAddGoals"));

    dialogs.answers = {controls::Answer::No};
    form.deleteButton->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.lastText(), "Are you sure you want to delete This Security Profile?");
    EXPECT_EQ(dialogs.messages.back().icon, controls::Icon::Stop);
    EXPECT_EQ(dialogs.messages.back().buttons, controls::Buttons::YesNo);
    EXPECT_EQ(dm->securityTable.recordCount(), 3);
    form.deleteButton->click(); // Yes
    EXPECT_EQ(dm->securityTable.recordCount(), 2);
    EXPECT_FALSE(dm->securityTable.locate("SecurityID", fresh));
}

// Every sample user sees the same on the goals screen and the strategy list whether the server
// holds the logons and the rights or the program does: one small sample on a plain server
// database and the same sample on a secured one, each user logged on to both through the
// program's logon.

#include "ServerAdmin.h"
#include "controls/LookupComboBox.h"
#include "controls/SpinBox.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "planning/GoalsWindow.h"
#include "planning/StrategyListWindow.h"
#include "support/PgServer.h"

#include <QStringList>
#include <gtest/gtest.h>

using testing_support::PgTestDatabase;

namespace {

struct Seen {
    QStringList goals, owners, goalFor, users, strategies;
};

QString row(engine::Table& t, std::initializer_list<const char*> fields) {
    QStringList parts;
    for (const char* f : fields)
        parts << t.field(f).asString();
    return parts.join(QLatin1Char('|'));
}

QStringList entries(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// What the two screens show a user: the goals he keeps, the names offered, and for every user
// of the strategy list's box and every year of the sample, the goals listed and their strategies.
Seen whatTheScreensShow(data::DataModule& dm) {
    Seen seen;
    {
        planning::GoalsWindow goals(dm);
        for (int r = 0; r < dm.goalsTable.recordCount(); ++r) {
            dm.goalsTable.moveTo(r);
            seen.goals << row(dm.goalsTable,
                              {"GoalID", "GoalDescription", "GoalYear", "UserNumber", "GoalOwner"});
        }
        seen.owners = entries(goals.ownerBox);
        seen.goalFor = entries(goals.goalForBox);
        goals.reject();
    }
    planning::StrategyListWindow list(dm);
    seen.users = entries(list.userBox);
    const int thisYear = list.yearSpin->value();
    for (int u = 0; u < list.userBox->count(); ++u) {
        list.userBox->setCurrentIndex(u);
        list.userChosen();
        for (int year = thisYear - 1; year <= thisYear + 1; ++year) {
            list.yearSpin->setValue(year);
            for (int g = 0; g < dm.goalsTable.recordCount(); ++g) {
                dm.goalsTable.moveTo(g);
                seen.strategies << list.userBox->currentText() + QStringLiteral(" goal ") +
                                       dm.goalsTable.field("GoalID").asString();
                for (int s = 0; s < dm.strategyTable.recordCount(); ++s) {
                    dm.strategyTable.moveTo(s);
                    seen.strategies << row(dm.strategyTable, {"StrategyID", "StrategyNumber", "UserNumber",
                                                              "StrategyDescription", "Compleated"});
                }
            }
        }
    }
    list.reject();
    return seen;
}

} // namespace

TEST(SecureScreens, EverySampleUserSeesWhatThePlainServerShowsHim) {
    PgTestDatabase plain, secure;
    ASSERT_FALSE(plain.uri().isEmpty());
    ASSERT_FALSE(secure.uri().isEmpty());
    tools::createServerDatabase(plain.uri(), true, tools::SampleSize::Small);
    tools::createSecureServerDatabase(secure.uri(), true, tools::SampleSize::Small);
    tools::setServerPassword(secure.uri(), "Supervisor", "keeper");

    const struct {
        const char* id;
        const char* password;
    } users[] = {{"JSMITH", "smith"},
                 {"MJONES", "jones"},
                 {"RBROWN", "brown"},
                 {"AWHITE", "white"},
                 {"Supervisor", ""}};
    for (const auto& u : users) {
        SCOPED_TRACE(u.id);
        engine::Session plainSession, secureSession;
        plainSession.addAlias("Goal", plain.uri());
        secureSession.addAlias("Goal", secure.uri());
        data::DataModule byProgram(plainSession), byServer(secureSession);
        byProgram.open();
        byProgram.user().settings = data::readSystemSettings(byProgram);
        ASSERT_TRUE(data::logOn(byProgram, u.id, u.password, true));
        ASSERT_TRUE(data::logOnToServer(byServer, u.id, *u.password ? u.password : "keeper"));
        const Seen a = whatTheScreensShow(byProgram), b = whatTheScreensShow(byServer);
        // Staff keep no goals of their own in the sample; everybody lists strategies.
        if (byProgram.user().rights.canModifyAllGoals) {
            EXPECT_FALSE(a.goals.isEmpty());
        }
        EXPECT_GT(a.strategies.size(), a.users.size());
        EXPECT_EQ(a.goals, b.goals);
        EXPECT_EQ(a.goalFor, b.goalFor);
        EXPECT_EQ(a.users, b.users);
        EXPECT_EQ(a.strategies, b.strategies);
        // Only an administrator reads every user's row: the others are offered as goal owners
        // only those they may see.
        if (byProgram.user().rights.canAddUsers || byProgram.user().profileId == 0) {
            EXPECT_EQ(a.owners, b.owners);
        } else {
            for (const QString& name : b.owners)
                EXPECT_TRUE(a.owners.contains(name)) << name.toStdString();
        }
    }
}

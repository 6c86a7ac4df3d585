// Every sample user sees the same on the goals screen and the strategy list whether the server
// holds the logons and the rights or the program does: one small sample on a plain server
// database and the same sample on a secured one, each user logged on to both through the
// program's logon.

#include "ServerAdmin.h"
#include "controls/Desktop.h"
#include "controls/LookupComboBox.h"
#include "controls/ScriptedDialogs.h"
#include "controls/SpinBox.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "engine/PgBackend.h"
#include "planning/DeletedDialog.h"
#include "planning/GoalsWindow.h"
#include "planning/StrategyListWindow.h"
#include "support/PgServer.h"

#include <QDate>
#include <QPushButton>
#include <QSqlQuery>
#include <QStringList>
#include <QTreeWidget>
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
Seen whatTheScreensShow(data::DataModule& dm, controls::Desktop& desktop) {
    Seen seen;
    {
        planning::GoalsWindow goals(dm, desktop);
        for (int r = 0; r < dm.goalsTable.recordCount(); ++r) {
            dm.goalsTable.moveTo(r);
            seen.goals << row(dm.goalsTable,
                              {"GoalID", "GoalDescription", "GoalYear", "UserNumber", "GoalOwner"});
        }
        seen.owners = entries(goals.ownerBox);
        seen.goalFor = entries(goals.goalForBox);
        goals.reject();
    }
    planning::StrategyListWindow list(dm, desktop);
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

// A number the database's owner reads, past every policy.
qint64 asOwner(const QString& uri, const QString& sql) {
    engine::PgBackend pg;
    pg.open(uri, QStringLiteral("test"));
    QSqlQuery q = pg.exec(sql);
    return q.next() ? q.value(0).toLongLong() : -1;
}

// What "Deleted Goals" and "Deleted Strategies" list for the user logged on; with `byWhom`, who
// deleted each.
QStringList deletedShown(data::DataModule& dm, bool byWhom, controls::Desktop& desktop) {
    QStringList out;
    for (auto kind : {planning::DeletedDialog::Kind::Goals, planning::DeletedDialog::Kind::Strategies}) {
        planning::DeletedDialog deleted(dm, kind, desktop);
        for (int i = 0; i < deleted.deletedList->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* row = deleted.deletedList->topLevelItem(i);
            out << (byWhom ? row->text(0) + QLatin1Char('|') + row->text(1) : row->text(0));
        }
    }
    return out;
}

struct SampleUser {
    const char* id;
    const char* password;
};
const SampleUser kSampleUsers[] = {
    {"JSMITH", "smith"}, {"MJONES", "jones"}, {"RBROWN", "brown"}, {"AWHITE", "white"}, {"Supervisor", ""}};

// A workstation of each server, neither logged on yet.
struct Both {
    Both(const PgTestDatabase& plain, const PgTestDatabase& secure) {
        plainSession.addAlias("Goal", plain.uri());
        secureSession.addAlias("Goal", secure.uri());
    }
    engine::Session plainSession, secureSession;
    data::DataModule byProgram{plainSession}, byServer{secureSession};
};

// Logs a sample user on to the plain server as the program does there, and to the secured one
// through his role.
void logOnToBoth(const SampleUser& u, data::DataModule& byProgram, data::DataModule& byServer) {
    byProgram.open();
    byProgram.user().settings = data::readSystemSettings(byProgram);
    ASSERT_TRUE(data::logOn(byProgram, u.id, u.password, true));
    ASSERT_TRUE(data::logOnToServer(byServer, u.id, *u.password ? u.password : "keeper"));
}

// A sample on a plain server and the same sample on a secured one, MJONES (who changes every
// goal) having deleted on both the goal of this year whose strategies belong to most users; gives
// the goal's key.
qint64 deleteTheSameGoal(const PgTestDatabase& plain, const PgTestDatabase& secure,
                         controls::Desktop& desktop) {
    tools::createServerDatabase(plain.uri(), true, tools::SampleSize::Small);
    tools::createSecureServerDatabase(secure.uri(), true, tools::SampleSize::Small);
    tools::setServerPassword(secure.uri(), "Supervisor", "keeper");
    const qint64 goal = asOwner(
        plain.uri(), QStringLiteral("SELECT g.goalid FROM goals g JOIN strategys s ON s.goalid = g.goalid "
                                    "WHERE g.goalyear = %1 GROUP BY g.goalid "
                                    "ORDER BY count(DISTINCT s.usernumber) DESC, g.goalid LIMIT 1")
                         .arg(QDate::currentDate().year()));
    EXPECT_GT(goal, 0);
    Both both(plain, secure);
    data::DataModule &byProgram = both.byProgram, &byServer = both.byServer;
    logOnToBoth(kSampleUsers[1], byProgram, byServer);
    for (data::DataModule* dm : {&byProgram, &byServer}) {
        planning::GoalsWindow goals(*dm, desktop);
        EXPECT_TRUE(dm->goalsTable.locate("GoalID", goal));
        goals.deleteButton->click();
        goals.reject();
    }
    return goal;
}

} // namespace

TEST(SecureScreens, EverySampleUserSeesWhatThePlainServerShowsHim) {
    PgTestDatabase plain, secure;
    ASSERT_FALSE(plain.uri().isEmpty());
    ASSERT_FALSE(secure.uri().isEmpty());
    tools::createServerDatabase(plain.uri(), true, tools::SampleSize::Small);
    tools::createSecureServerDatabase(secure.uri(), true, tools::SampleSize::Small);
    tools::setServerPassword(secure.uri(), "Supervisor", "keeper");
    controls::ScriptedDialogs dialogs;
    controls::Desktop desktop{dialogs};

    for (const SampleUser& u : kSampleUsers) {
        SCOPED_TRACE(u.id);
        Both both(plain, secure);
        data::DataModule &byProgram = both.byProgram, &byServer = both.byServer;
        ASSERT_NO_FATAL_FAILURE(logOnToBoth(u, byProgram, byServer));
        const Seen a = whatTheScreensShow(byProgram, desktop), b = whatTheScreensShow(byServer, desktop);
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

// After the same goal is deleted on both, with strategies of users its deleter may not change,
// every sample user is offered the same deleted goals and strategies. Who deleted them is named
// only to those who may read the deleter's user row: the others see his number.
class DeletedOnBoth : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(plain.uri().isEmpty());
        ASSERT_FALSE(secure.uri().isEmpty());
        goal = deleteTheSameGoal(plain, secure, desktop);
    }
    // How many strategies the goal has now, past every policy.
    qint64 strategiesUnder(const PgTestDatabase& db) const {
        return asOwner(db.uri(),
                       QStringLiteral("SELECT count(*) FROM strategys WHERE goalid = %1").arg(goal));
    }
    PgTestDatabase plain, secure;
    controls::ScriptedDialogs dialogs;
    controls::Desktop desktop{dialogs};
    qint64 goal = 0;
};

TEST_F(DeletedOnBoth, DeletedGoalsAndStrategiesAreOfferedAsOnThePlainServer) {
    EXPECT_EQ(strategiesUnder(plain), 0);
    EXPECT_EQ(strategiesUnder(secure), 0);
    for (const SampleUser& u : kSampleUsers) {
        SCOPED_TRACE(u.id);
        Both both(plain, secure);
        data::DataModule &byProgram = both.byProgram, &byServer = both.byServer;
        ASSERT_NO_FATAL_FAILURE(logOnToBoth(u, byProgram, byServer));
        const bool readsHerRow = byProgram.user().rights.canAddUsers || byProgram.user().profileId == 0 ||
                                 byProgram.user().id == "MJONES";
        if (byProgram.user().id == "MJONES") {
            EXPECT_FALSE(deletedShown(byProgram, false, desktop).isEmpty());
        }
        EXPECT_EQ(deletedShown(byProgram, readsHerRow, desktop),
                  deletedShown(byServer, readsHerRow, desktop));
    }
}

// The goal's deleter brings it back with every strategy deleted with it, also those of users she
// may not see, as the plain server does.
TEST_F(DeletedOnBoth, ADeletedGoalComesBackWithEveryStrategyAsOnThePlainServer) {
    QStringList told;
    Both both(plain, secure);
    data::DataModule &byProgram = both.byProgram, &byServer = both.byServer;
    ASSERT_NO_FATAL_FAILURE(logOnToBoth(kSampleUsers[1], byProgram, byServer));
    for (data::DataModule* dm : {&byProgram, &byServer}) {
        planning::DeletedDialog deleted(*dm, planning::DeletedDialog::Kind::Goals, desktop);
        ASSERT_EQ(deleted.deletedList->topLevelItemCount(), 1);
        deleted.restoreButton->click();
        told << dialogs.lastText();
    }
    EXPECT_EQ(told[0], told[1]);
    EXPECT_EQ(strategiesUnder(plain), strategiesUnder(secure));
}

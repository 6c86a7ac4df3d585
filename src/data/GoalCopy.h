#pragma once

#include <QDate>
#include <QString>
#include <QVector>

namespace data {
class DataModule;
}

namespace data {

// What "Copy to Next Year..." will do for the logged-on user: the goals of a year that he may
// carry over (his own, or every goal with CanModifyAllGoals; global goals only with
// CanAddGlobalGoals), less those the next year already holds with the same description, type
// and user, and how many unfinished strategies they have. Strategies come along only for the
// users whose strategies he may change (the strategy list's rule); the others' are counted
// apart, so that the question can say they stay behind.
struct GoalCopyPlan {
    int fromYear = 0;
    int toYear = 0;
    QVector<qint64> goals; // in goal number order
    int strategies = 0;    // unfinished strategies under those goals that he may change
    int items = 0;         // the measurement items of those strategies
    int leftOut = 0;       // unfinished strategies under those goals of users he may not change
    int alreadyThere = 0;  // goals left out because the next year has them
    // The users whose strategies are copied, -1 standing for strategies of no user.
    QVector<qint64> users;
    // He may change the strategies of every user: the copy asks nothing of their users.
    bool everyUser = false;
};

struct GoalCopyResult {
    int goals = 0;
    int strategies = 0;
    int items = 0;
};

GoalCopyPlan planGoalCopy(DataModule& dm, int fromYear);

// Copies the planned goals into the next year, with type, owner and "Goal For" kept and new
// stamps; with strategies, also the planned users' unfinished strategies, renumbered from 1 per
// user and goal, with their measurement items (numbers kept), all with new stamps, not
// completed and dated one year on. All of it is one transaction: on any failure nothing is
// copied and the engine's error is thrown.
GoalCopyResult copyGoalsToNextYear(DataModule& dm, const GoalCopyPlan& plan, bool withStrategies);

// The same day one year later; 29 February becomes 28 February.
QDate oneYearOn(const QDate& date);

} // namespace data

#pragma once

#include <QString>
#include <QVector>

class DataModule;

// What "Copy to Next Year..." will do for the logged-on user: the goals of a year that he may
// carry over (his own, or every goal with CanModifyAllGoals; global goals only with
// CanAddGlobalGoals), less those the next year already holds with the same description, type
// and user, and how many unfinished strategies they have.
struct GoalCopyPlan {
    int FromYear = 0;
    int ToYear = 0;
    QVector<qint64> Goals; // in goal number order
    int Strategies = 0;    // unfinished strategies under those goals
    int AlreadyThere = 0;  // goals left out because the next year has them
};

struct GoalCopyResult {
    int Goals = 0;
    int Strategies = 0;
};

GoalCopyPlan PlanGoalCopy(DataModule& dm, int fromYear);

// Copies the planned goals into the next year, with type, owner and "Goal For" kept and new
// stamps; with strategies, also their unfinished strategies, renumbered from 1 per user and
// goal, with new stamps and not completed. All of it is one transaction: on any failure
// nothing is copied and the engine's error is thrown.
GoalCopyResult CopyGoalsToNextYear(DataModule& dm, const GoalCopyPlan& plan, bool withStrategies);

#pragma once

#include "engine/History.h"
#include "engine/Table.h"

#include <QString>
#include <vector>

namespace data {

class DataModule;

// The kept versions of goals and strategies as the logged-on user may use them: he sees the
// history of the rows he may see, and brings back versions and deleted rows he may change.
class ChangeHistory {
public:
    explicit ChangeHistory(DataModule& dm) : dm_(dm) {}

    // The versions of a goal or a strategy, newest first. Throws engine::Error when the user may
    // not see the row.
    std::vector<engine::Version> goalVersions(qint64 goal);
    std::vector<engine::Version> strategyVersions(qint64 strategy);

    // Brings a version back into the current row of the goal table (the strategy table) as a save
    // does: it locks and stamps the row, and the row keeps its place (owner, goal, person).
    void restoreGoal(const engine::Version& v);
    void restoreStrategy(const engine::Version& v);

    // The goals and strategies deleted now that the user may change, newest deletion first.
    std::vector<engine::Version> deletedGoals();
    std::vector<engine::Version> deletedStrategies();
    // Brings a deleted goal back with the strategies and measurement items deleted with it, in
    // one transaction; a strategy or item whose number is taken meanwhile gets the next free one.
    // Gives what the user is to be told.
    QString restoreDeletedGoal(const engine::Version& v);
    // The same for a strategy (with its items) whose goal is still there.
    QString restoreDeletedStrategy(const engine::Version& v);

    // Removes the versions older than the system setting's number of days.
    qint64 prune();

    // A user's name for the lists, or his number when he is gone; "" for nobody known.
    QString userName(int number);
    // A one-line description of a kept row.
    static QString describe(const engine::Version& v);

private:
    bool mayEditGoal(const QJsonObject& values) const;
    void restoreInto(engine::Table& t, const engine::Version& v, const QStringList& keep);
    // The strategies (and their items) of a group of deletions, put back; numbers taken meanwhile
    // are replaced and reported in `notes`.
    int restoreStrategies(const std::vector<engine::Version>& strategies, qint64 group, QStringList& notes,
                          int& items);
    // A deleted goal brought back by the server where it holds the rights; the strategies given
    // back, their items counted in `items`.
    int restoreOnServer(const engine::Version& v, QStringList& notes, int& items);

    DataModule& dm_;
};

} // namespace data

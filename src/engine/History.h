#pragma once

#include "engine/Schema.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <vector>

namespace engine {

class Database;

// One kept version of a row: what a change did to it, who made it and when.
struct Version {
    enum class Action { Insert, Update, Delete };
    qint64 id = 0;
    qint64 key = 0;    // the row's key
    qint64 parent = 0; // the goal of a strategy, the strategy of a measurement item; 0 for a goal
    Action action = Action::Update;
    int changedBy = 0;         // user number; 0 when unknown (a tool, a workstation that keeps no history)
    QString changedAt;         // local time, "yyyy-MM-dd HH:mm:ss"
    qint64 group = 0;          // the same for every change of one transaction
    QJsonObject before, after; // column name as the table defines it -> value; empty where none

    // The values the row had after this change (before it, for a delete).
    const QJsonObject& values() const { return action == Action::Delete ? before : after; }
    // Columns whose value the change altered (every column of an insert or delete that has one).
    QStringList changedColumns(const TableDef& t) const;
};

// The kept versions of the goals, strategies and measurement items. The stores record them
// themselves, in the transaction of the change, whatever statement made it (a table object's
// post, a batch, a cascade): a folder through triggers of each connection into a table kept in
// the same file as the watched table (so a one-row save stays a one-file commit), a server
// through triggers of its own.
class History {
public:
    static constexpr int kDefaultKeepDays = 365;
    // The tables whose rows are kept: goals, strategies, measurement items.
    static bool watches(const TableDef& t);
    // The column that names a row's parent (empty for goals).
    static QString parentColumn(const TableDef& t);

    // Every version of one row, newest first. Empty when the store keeps no history.
    static std::vector<Version> versions(Database& db, const TableDef& t, qint64 key);
    // The last version of every row of `t` that is deleted now (newest first); with `parent`
    // > 0, only those of that parent.
    static std::vector<Version> deletedRows(Database& db, const TableDef& t, qint64 parent = 0);
    // The deletions of rows of `t` made in one transaction.
    static std::vector<Version> deletedInGroup(Database& db, const TableDef& t, qint64 group);
    // Puts a deleted row back under its own key with the values of a kept version (`values`
    // holds them by column name; columns it lacks stay empty). Runs in the caller's transaction
    // and tells the table objects.
    static void reinsert(Database& db, const TableDef& t, const QJsonObject& values);
    // Whether a row with this key is stored now.
    static bool exists(Database& db, const TableDef& t, qint64 key);
    // For how many days versions are kept (365 unless set); kept with the system settings.
    static int keepDays(Database& db);
    static void setKeepDays(Database& db, int days);
    // Removes the versions older than `days` days from every watched table; gives how many.
    static qint64 prune(Database& db, int days);
};

} // namespace engine

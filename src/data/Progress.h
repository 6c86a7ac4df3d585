#pragma once

#include <QDate>
#include <QHash>
#include <QString>
#include <QVector>

namespace data {
class DataModule;
}

namespace data {

// How far the strategies of a year have come, and what has fallen behind, for the users the
// logged-on user may see (every user with Supervisor or CanViewAllStrategys; otherwise himself
// and the users of his access list).

struct ProgressCounts {
    int strategies = 0;
    int completed = 0;
    int open = 0;    // not completed
    int overdue = 0; // not completed and the completion date has passed (a part of Open)
    ProgressCounts& operator+=(const ProgressCounts& o);
};

struct ProgressRow {
    qint64 key = -1; // user or department number; -1 for none
    QString name;
    QString department; // of a user row
    ProgressCounts counts;
};

struct ProgressOverview {
    QVector<ProgressRow> users;       // by name
    QVector<ProgressRow> departments; // by name; users without a department last
    ProgressCounts total;
};

// The strategies under the goals of a year and goal type (-1: every type), counted per user and
// per department. "Overdue" compares the completion date with today.
ProgressOverview computeProgressOverview(DataModule& dm, int year, int goalType,
                                         const QDate& today = QDate::currentDate());

struct OverdueItem {
    qint64 strategyID = 0;
    qint64 measurementID = 0; // of a measurement item
    qint64 goalID = 0;
    QDate due;
    int userNumber = 0;
    int strategyNumber = 0;
    int measurementNumber = 0; // of a measurement item
    int daysOverdue = 0;
    bool isMeasurement = false;
};

} // namespace data

// Moved in memory as a whole when a list of them grows.
Q_DECLARE_TYPEINFO(data::OverdueItem, Q_RELOCATABLE_TYPE);

namespace data {

// The items with the names they show. A list of a few hundred thousand items names a few
// thousand users and goals: each name is kept once, not copied into every item of its owner or
// goal, where making and dropping the copies would cost more than reading the items.
struct OverdueList {
    QVector<OverdueItem> items;
    QHash<qint64, QString> owners; // user names by user number
    QHash<qint64, QString> goals;  // goal descriptions by goal key
    // Empty for a user who is not there (any more).
    const QString& owner(const OverdueItem& it) const;
    const QString& goal(const OverdueItem& it) const;
    qsizetype size() const { return items.size(); }
    const OverdueItem& operator[](qsizetype i) const { return items[i]; }
    auto begin() const { return items.cbegin(); }
    auto end() const { return items.cend(); }
};

// The strategies, and with multiple measurements the measurement items, whose completion date
// lies before today and which are not completed, most overdue first.
OverdueList listOverdue(DataModule& dm, const QDate& today = QDate::currentDate());

} // namespace data

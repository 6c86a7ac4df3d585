#pragma once

#include <QDate>
#include <QString>
#include <QVector>

class DataModule;

// How far the strategies of a year have come, and what has fallen behind, for the users the
// logged-on user may see (every user with Supervisor or CanViewAllStrategys; otherwise himself
// and the users of his access list).

struct ProgressCounts {
    int Strategies = 0;
    int Completed = 0;
    int Open = 0;    // not completed
    int Overdue = 0; // not completed and the completion date has passed (a part of Open)
    ProgressCounts& operator+=(const ProgressCounts& o);
};

struct ProgressRow {
    qint64 Key = -1; // user or department number; -1 for none
    QString Name;
    QString Department; // of a user row
    ProgressCounts Counts;
};

struct ProgressOverview {
    QVector<ProgressRow> Users;       // by name
    QVector<ProgressRow> Departments; // by name; users without a department last
    ProgressCounts Total;
};

// The strategies under the goals of a year and goal type (-1: every type), counted per user and
// per department. "Overdue" compares the completion date with today.
ProgressOverview ComputeProgressOverview(DataModule& dm, int year, int goalType,
                                         const QDate& today = QDate::currentDate());

struct OverdueItem {
    bool IsMeasurement = false;
    qint64 StrategyID = 0;
    qint64 MeasurementID = 0; // of a measurement item
    int UserNumber = 0;
    QString Owner;
    qint64 GoalID = 0;
    QString Goal;
    int StrategyNumber = 0;
    int MeasurementNumber = 0; // of a measurement item
    QDate Due;
    int DaysOverdue = 0;
};

// The strategies, and with multiple measurements the measurement items, whose completion date
// lies before today and which are not completed, most overdue first.
QVector<OverdueItem> ListOverdue(DataModule& dm, const QDate& today = QDate::currentDate());

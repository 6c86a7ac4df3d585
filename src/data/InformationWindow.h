#pragma once

#include "controls/Screen.h"

class DataModule;

class QLabel;
class QPushButton;

// Record counts and file sizes of the goals, strategies, departments and goal types.
class InformationWindow : public controls::Screen {
    Q_OBJECT
public:
    InformationWindow(DataModule& dm, QWidget* parent = nullptr);
    void FormActivate();

    QLabel* GoalsNumber;
    QLabel* GoalsSpace;
    QLabel* StrategyNumber;
    QLabel* StrategysSpace;
    QLabel* DepartmentNumber;
    QLabel* DepartmentsSpace;
    QLabel* GoalTypeNumber;
    QLabel* GoalTypeSpace;
    QPushButton* okButton;

    // "1,234" and "12 K Bytes", with the thousands separator of the locale.
    static QString countText(qint64 n);
    static QString sizeText(qint64 bytes);

private:
    DataModule& dm_;
};

#pragma once

#include "controls/Screen.h"

namespace data {
class DataModule;
}

class QLabel;
class QPushButton;

namespace admin {

// Record counts and file sizes of the goals, strategies, departments and goal types.
class InformationWindow : public controls::Screen {
    Q_OBJECT
public:
    InformationWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);
    void onActivate();

    QLabel* goalsNumber;
    QLabel* goalsSpace;
    QLabel* strategyNumber;
    QLabel* strategiesSpace;
    QLabel* departmentNumber;
    QLabel* departmentsSpace;
    QLabel* goalTypeNumber;
    QLabel* goalTypeSpace;
    QPushButton* okButton;

    // "1,234" and "12 K Bytes", with the thousands separator of the locale.
    static QString countText(qint64 n);
    static QString sizeText(qint64 bytes);

private:
    data::DataModule& dm_;
};

} // namespace admin

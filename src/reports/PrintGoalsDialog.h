#pragma once

#include "engine/Query.h"

#include "controls/Screen.h"

namespace data {
class DataModule;
}

class QLabel;
class QPushButton;

namespace controls {
class DatePicker;
class RadioGroup;
} // namespace controls

namespace reports {

// What the strategy list shows when it opens the print choice.
struct ListedStrategies {
    int year = 0;
    int goalType = -1;
    int goal = 0;
    int user = 0;
};

// The strategy list's print choice: the strategies of the selected goal, of all goals, or those
// with a measurement due within a date range, for the user, goal type and year the list shows.
class PrintGoalsDialog : public controls::Screen {
    Q_OBJECT
public:
    PrintGoalsDialog(data::DataModule& dm, const ListedStrategies& listed, controls::Desktop& desktop,
                     QWidget* parent = nullptr);

    controls::RadioGroup* printOptions;
    QLabel* startDateLabel;
    controls::DatePicker* startDatePicker;
    QLabel* endDateLabel;
    controls::DatePicker* endDatePicker;
    QPushButton* previewButton;
    QPushButton* printButton;
    QPushButton* cancelButton;

    void onCreate();
    void optionChosen();
    void printClicked();
    void previewClicked();
    // Writes, prepares and opens strategyQuery for the chosen item.
    void buildStrategyQuery();

    // The strategies the chosen item prints.
    engine::Query strategyQuery;

private:
    data::DataModule& dm_;
    ListedStrategies listed_;
};

} // namespace reports

#pragma once

class QBoxLayout;
class QPushButton;

namespace controls {
class Screen;
}

namespace data {
class DataModule;
}

namespace planning {

class GoalsWindow;
class StrategyEditor;
class StrategyListWindow;

// "History..." and "Deleted..." on the goals screen, put into its button row before "Print".
void addGoalHistoryButtons(data::DataModule& dm, GoalsWindow& form, QBoxLayout& buttons);
// "History..." in the strategy editor, before "Preview"; `mayChange` tells whether the editor
// lets this user change the strategy.
QPushButton* addStrategyHistoryButton(data::DataModule& dm, controls::Screen& editor, QBoxLayout& buttons,
                                      QPushButton* before);
// "Deleted..." on the strategy list, before "Move".
void addDeletedStrategiesButton(data::DataModule& dm, controls::Screen& list, QBoxLayout& buttons,
                                QPushButton* before);

} // namespace planning

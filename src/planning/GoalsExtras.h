#pragma once

class QBoxLayout;
namespace planning {
class GoalsWindow;
}
namespace data {
class DataModule;
}

namespace planning {

// The goals screen's yearly-cycle buttons: "Copy to Next Year..." and "Export...", put into its
// button row before "Print" (object names CopyBtn and ExportBtn).
void addGoalsExtraButtons(data::DataModule& dm, GoalsWindow& form, QBoxLayout& buttons);

// Copies the goals of the year shown into the next year, after a question that says how many
// goals and strategies will be made, then shows the next year.
void copyToNextYearClicked(data::DataModule& dm, GoalsWindow& form);

// Writes the goals listed to a CSV file chosen in the file dialog.
void exportGoalsClicked(data::DataModule& dm, GoalsWindow& form);

} // namespace planning

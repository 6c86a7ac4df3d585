#pragma once

#include "controls/Screen.h"
#include "planning/OverdueModel.h"

namespace data {
class DataModule;
}
class QLabel;
class QPushButton;
class QTableView;

namespace planning {

// "Overdue": what has passed its completion date without being completed, for the users the
// logged-on user may see; a double click opens the strategy.
class OverdueWindow : public controls::Screen {
    Q_OBJECT
public:
    OverdueWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);

    QLabel* summaryLabel;
    QTableView* grid = nullptr;
    QPushButton* exportButton;
    QPushButton* closeButton;

    OverdueModel* model() const { return model_; }
    // The item of a row as the grid shows it now (after sorting).
    const data::OverdueItem& itemAt(int viewRow) const;

    void gridDoubleClicked(int viewRow);
    void exportClicked();

private:
    // Reads the list afresh: at opening, and after the editor may have changed a strategy.
    void reload();

    OverdueModel* model_;
    data::DataModule& dm_;
};

// Opens the strategy editor on an item's strategy, for viewing or editing as the access lists
// allow: the strategy table is switched to the strategy's goal and owner, and the goal list
// is put on the strategy's goal, first.
void openStrategyEditorOn(data::DataModule& dm, const data::OverdueItem& item, controls::Desktop& desktop,
                          QWidget* parent);

} // namespace planning

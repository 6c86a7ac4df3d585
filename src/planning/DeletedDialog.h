#pragma once

#include "controls/Screen.h"
#include "engine/History.h"

#include <vector>

class QPushButton;
class QTreeWidget;

namespace data {
class DataModule;
}

namespace planning {

// "Deleted": the goals (or strategies) deleted that this user may change, who deleted them and
// when; "Restore" brings the chosen one back with what was deleted with it.
class DeletedDialog : public controls::Screen {
    Q_OBJECT
public:
    enum class Kind { Goals, Strategies };
    DeletedDialog(data::DataModule& dm, Kind kind, controls::Desktop& desktop, QWidget* parent = nullptr);

    QTreeWidget* deletedList;
    QPushButton* restoreButton;
    QPushButton* closeButton;

    void restoreClicked();

private:
    void reload();

    data::DataModule& dm_;
    Kind kind_;
    std::vector<engine::Version> rows_;
};

} // namespace planning

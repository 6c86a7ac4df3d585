#pragma once

#include "controls/Screen.h"
#include "engine/History.h"

#include <vector>

class QPushButton;
class QTextBrowser;
class QTreeWidget;

namespace data {
class DataModule;
}

namespace planning {

// "History": the kept versions of the goal or strategy the screen shows, newest first, with
// who changed what; the texts of a chosen version against the row as it is now; "Restore"
// brings the chosen version back as a new change (the row's lock and stamp as a save).
class HistoryDialog : public controls::Screen {
    Q_OBJECT
public:
    enum class Kind { Goal, Strategy };
    // `mayRestore`: whether the screen lets this user change the row.
    HistoryDialog(data::DataModule& dm, Kind kind, qint64 key, bool mayRestore, controls::Desktop& desktop,
                  QWidget* parent = nullptr);

    QTreeWidget* versionList;
    QTextBrowser* differenceView;
    QPushButton* restoreButton;
    QPushButton* closeButton;

    void restoreClicked();

private:
    void reload();
    void versionChosen();
    const engine::TableDef& def() const;

    data::DataModule& dm_;
    Kind kind_;
    qint64 key_;
    bool mayRestore_;
    std::vector<engine::Version> versions_;
};

} // namespace planning

#pragma once

#include <QDialog>

class QIcon;
class QPushButton;

namespace engine {
class Table;
}

namespace controls {
class Desktop;
class MonthCalendar;
} // namespace controls

namespace planning {

// Picks one date from a month calendar. The caller sets the calendar before showing the dialog
// and reads it back after OK.
class SelectDateDialog : public QDialog {
    Q_OBJECT
public:
    explicit SelectDateDialog(QWidget* parent = nullptr);

    controls::MonthCalendar* calendar;
    QPushButton* okButton;     // OK, the Enter key
    QPushButton* cancelButton; // Cancel, the Esc key
};

// Lets the person pick a date for a date field of the current row, starting from the stored
// date (or today); OK writes the pick into the row, beginning an edit. False when cancelled.
bool selectDateInto(engine::Table& table, const QString& field, const controls::Desktop& desktop,
                    QWidget* parent);

// The small calendar page on the buttons that open the dialog.
QIcon selectDateIcon();

} // namespace planning

#pragma once

#include "engine/Query.h"

#include "controls/Screen.h"
#include "engine/Sql.h"

#include <QDate>

namespace data {
class DataModule;
}

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace controls {
class DatePicker;
class LookupComboBox;
class RadioGroup;
class SpinBox;
} // namespace controls

namespace reports {

// The strategies that have a measurement dated within [start, end], both ends included: -1
// first, then one key per such measurement in the order the measurements are read.
engine::sql::IntList strategyIdsByMeasureDate(data::DataModule& dm, const QDate& start, const QDate& end);

// Strategy reports for a goal year and goal type, by kind: all, completed within a date range,
// uncompleted, or with a measurement due within a date range.
class ReportsWindow : public controls::Screen {
    Q_OBJECT
public:
    ReportsWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);

    QLabel* titleLabel;
    QLineEdit* reportTitle;
    QLabel* yearLabel;
    controls::SpinBox* goalSpin;
    QLabel* goalTypeLabel;
    controls::LookupComboBox* goalTypeBox;
    controls::RadioGroup* reportType;
    QGroupBox* completedGroup;
    QLabel* startDateLabel;
    controls::DatePicker* startDatePicker;
    QLabel* endDateLabel;
    controls::DatePicker* endDatePicker;
    QLabel* noGoalTypeLabel;
    QPushButton* previewButton;
    QPushButton* printButton;
    QPushButton* exportButton;
    QPushButton* cancelButton;

    void onCreate();
    void reportTypeClicked();
    void printClicked();
    void previewClicked();
    // Writes the strategies Print would print to a CSV file, one row per strategy.
    void exportClicked();
    // Writes, prepares and opens strategyQuery for the choices shown.
    void buildStrategyQuery();

    // The strategies the chosen report prints.
    engine::Query strategyQuery;

private:
    // The title, year and type on top, the kind of report, its completion dates, the buttons.
    void buildSelection(QVBoxLayout* lay);
    void buildCompletedDates(QVBoxLayout* lay);
    void buildButtonBar(QVBoxLayout* lay);
    void connectSignals();
    void updatePrintButtons();
    data::DataModule& dm_;
};

} // namespace reports

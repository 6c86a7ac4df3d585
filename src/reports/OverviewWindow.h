#pragma once

#include "controls/Screen.h"
#include "data/Progress.h"

namespace data {
class DataModule;
}

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QPrinter;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QVBoxLayout;

namespace controls {
class SpinBox;
}

namespace reports {

// The completion overview: for a year and goal type, the strategies per user and per department,
// completed, open and overdue, as tables and as a bar chart by department. Printed and exported
// like the other reports.
class OverviewWindow : public controls::Screen {
    Q_OBJECT
public:
    OverviewWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);

    QLabel* yearLabel;
    controls::SpinBox* yearSpin;
    QLabel* goalTypeLabel;
    QComboBox* typeCombo;
    QTabWidget* tabs;
    QTableWidget* userGrid;
    QTableWidget* departmentGrid;
    QLabel* totalLabel;
    QChartView* chartView;
    QPushButton* printButton;
    QPushButton* exportButton;
    QPushButton* closeButton;

    // Counts again for the year and type chosen.
    void selectionChanged();
    void printClicked();
    void exportClicked();

    const data::ProgressOverview& overview() const { return overview_; }
    // The step of the chart's count axis for a longest bar of `highest`.
    static int axisStep(int highest);
    // The chart of the counts shown, for the window and for printing.
    QChart* makeChart() const;
    // The printed pages: title, selection, the two tables and the chart.
    void render(QPrinter& printer);

private:
    void buildSelectionRow(QVBoxLayout* lay);
    QString selectionText() const;
    data::ProgressOverview overview_;
    data::DataModule& dm_;
};

} // namespace reports

#pragma once

#include "controls/DataSetModel.h"

#include <QPointer>
#include <QTableView>

class QKeyEvent;

namespace controls {

// A grid over a data source: one row per row of the data set, following its current row.
// It is one stop of the window's tab order, as any other control.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);
    void bind(engine::DataSource* source, const QVector<GridColumn>& columns, bool readOnly = true);
    DataSetModel* dataModel() const { return model_; }

signals:
    // The person chose the current row: a double click, or Enter while no cell is edited.
    void rowChosen();

protected:
    // Tab and Shift+Tab leave the grid, also from a cell being edited; the arrows, Page Up and
    // Page Down, Home and End move between rows.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void followCurrent();
    QPointer<engine::DataSource> source_;
    DataSetModel* model_ = nullptr;
    bool moving_ = false;
};

} // namespace controls

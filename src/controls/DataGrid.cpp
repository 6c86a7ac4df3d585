#include "controls/DataGrid.h"

#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/FieldLink.h"
#include "engine/DataSet.h"
#include "engine/Error.h"
#include "engine/Table.h"

#include <QAbstractListModel>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QWheelEvent>
#include <QtMath>

namespace controls {

using engine::DataSet;
using engine::FieldType;

namespace {
// In-place editors of text columns take at most the field's width, those of numbers no letters.
class FieldDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        const auto* model = qobject_cast<const DataSetModel*>(index.model());
        if (auto* line = qobject_cast<QLineEdit*>(editor); line && model) {
            const QString field = model->columns().value(index.column()).field;
            const int w = fieldWidth(model->dataSet(), field);
            if (w > 0) line->setMaxLength(w);
            if (QValidator* v = numberValidator(model->dataSet(), field, line)) line->setValidator(v);
        }
        return editor;
    }
};
} // namespace

DataGrid::DataGrid(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setStretchLastSection(true);
    setAlternatingRowColors(false);
    setItemDelegate(new FieldDelegate(this));
    setTabKeyNavigation(false);
    connect(this, &QTableView::doubleClicked, this, [this] { emit rowChosen(); });
}

void DataGrid::bind(engine::DataSource* source, const QVector<GridColumn>& columns, bool readOnly) {
    source_ = source;
    model_ = new DataSetModel(source, columns, this);
    model_->setEditable(!readOnly);
    setModel(model_);
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                             : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                   QAbstractItemView::AnyKeyPressed);
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].width > 0) setColumnWidth(i, fontMetrics().averageCharWidth() * columns[i].width);
    connect(source, &engine::DataSource::rowsChanged, this, [this] {
        model_->reset();
        followCurrent();
    });
    connect(source, &engine::DataSource::currentChanged, this, [this] {
        viewport()->update();
        followCurrent();
    });
    connect(source, &engine::DataSource::stateChanged, this, [this] {
        // Beginning or ending an insert adds or removes the new row's line.
        DataSet* ds = source_ ? source_->dataSet() : nullptr;
        const bool inserting = ds && ds->state() == DataSet::State::Insert;
        if (inserting != (model_->insertRow() >= 0)) {
            model_->reset();
            followCurrent();
        }
        viewport()->update();
    });
    connect(source, &engine::DataSource::fieldChanged, this, [this] { viewport()->update(); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (moving_ || !current.isValid() || !source_ || !source_->dataSet()) return;
                if (current.row() == model_->insertRow()) return;
                guarded(this, [&] {
                    if (model_->insertRow() >= 0 || source_->dataSet()->recNo() != current.row())
                        source_->dataSet()->moveTo(current.row());
                });
                followCurrent();
            });
    followCurrent();
}

QModelIndex DataGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = currentIndex();
    const int column = current.isValid() ? current.column() : 0;
    switch (action) {
    case MoveHome:
        return model()->index(0, column);
    case MoveEnd:
        return model()->index(model()->rowCount() - 1, column);
    case MoveNext:
    case MovePrevious:
        return current; // the tab order, not the cells
    default:
        return QTableView::moveCursor(action, modifiers);
    }
}

void DataGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    const bool next = hint == QAbstractItemDelegate::EditNextItem;
    const bool previous = hint == QAbstractItemDelegate::EditPreviousItem;
    QTableView::closeEditor(editor, next || previous ? QAbstractItemDelegate::NoHint : hint);
    if (next || previous) focusNextPrevChild(next);
}

void DataGrid::keyPressEvent(QKeyEvent* e) {
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    // A grid whose rows nobody chooses leaves Enter to the window (its default button).
    if (enter && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && state() != EditingState &&
        isSignalConnected(QMetaMethod::fromSignal(&DataGrid::rowChosen))) {
        emit rowChosen();
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

void DataGrid::followCurrent() {
    DataSet* ds = source_ ? source_->dataSet() : nullptr;
    if (!ds || !ds->isOpen() || !model_) return;
    const int row = model_->currentLine();
    moving_ = true;
    if (row >= 0 && row < model_->rowCount()) {
        // The column the person is in stays: F2 or typing edits the cell they chose.
        const QModelIndex idx = model_->index(row, currentIndex().isValid() ? currentIndex().column() : 0);
        selectionModel()->setCurrentIndex(idx,
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    } else {
        selectionModel()->clearSelection();
    }
    moving_ = false;
}

} // namespace controls

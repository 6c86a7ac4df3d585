#pragma once

#include "engine/DataSource.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTableView>
#include <functional>

class QKeyEvent;
class QShowEvent;
class QValidator;
class QWheelEvent;

namespace controls {

// The width of a text field in characters, as its table declares it; 0 when it has none.
int fieldWidth(engine::DataSet* ds, const QString& field);
// A validator that lets only the characters of a number into a box for a number field; nullptr
// for a field of any other type.
QValidator* numberValidator(engine::DataSet* ds, const QString& field, QObject* parent);

// Writes a field of a data set's current row as a control does: starts editing the row when it
// is not being edited, then writes. A control never writes over a change it did not show: when
// starting the edit finds the row changed by another workstation, the edit is dropped, the
// controls show the stored row and an engine error tells the person; nothing is written. On an
// empty data set nothing is written either (Insert begins a row); returns false then.
bool writeField(engine::DataSet* ds, const QString& field, const QVariant& v);
// The first half of writeField: starts editing the current row unless it is being edited, and
// throws (having dropped the edit) when the row was changed by another workstation meanwhile.
// False on an empty data set.
bool beginRowEdit(engine::DataSet* ds);

// Binding of a control to a field of a data source's current row.
class FieldLink {
public:
    void set(engine::DataSource* source, const QString& field);
    engine::DataSource* source() const { return source_; }
    engine::DataSet* dataSet() const { return source_ ? source_->dataSet() : nullptr; }
    const QString& field() const { return field_; }
    bool active() const;
    // Whether typing may change the field now: a row is shown or being inserted.
    bool writable() const;
    QVariant value() const;
    QString text() const;
    bool write(const QVariant& v) const { return writeField(dataSet(), field_, v); }

    // Writes what the person typed into the control, as `write` does. While it runs, the row's
    // notices (the edit reading the row afresh, the field's change) must not set the control's
    // text: that would move the cursor and drop the undo history of the typing, and the next
    // key would land elsewhere. Controls skip their refresh while `typing()`.
    // A refused write (the row is locked, or was changed on another workstation) calls
    // `showStored` so that no typed text stays on screen that is in no record, then tells the
    // person once: keys that arrive while that message is up are dropped the same way, without
    // another message. Returns what `write` returned; false when refused.
    bool writeTyped(const QVariant& v, const std::function<void()>& showStored);
    // As writeTyped, for a control that writes later (a date written when the box is left):
    // only starts editing the row.
    bool beginTyped(const std::function<void()>& showStored);
    bool typing() const { return typing_; }

private:
    bool typed(const std::function<bool()>& step, const std::function<void()>& showStored);
    QPointer<engine::DataSource> source_;
    QString field_;
    bool typing_ = false;
    bool refusing_ = false;
};

// A single-line edit bound to a field; typing writes the field at once. A text field takes at
// most its declared width. A number field is written only when the whole text is a number (in
// the range, when one is set); leaving the box with any other text refuses it and shows the
// field's value again.
class FieldEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit FieldEdit(QWidget* parent = nullptr);
    void bind(engine::DataSource* source, const QString& field);
    const FieldLink& link() const { return link_; }
    void setDataReadOnly(bool ro);
    void setRange(qint64 minimum, qint64 maximum);

signals:
    void changed(); // whenever the text shown changes, also when another row becomes current

private:
    void typed(const QString& text);
    void refresh();
    // The value the text stands for; throws the engine's error when it is none.
    QVariant accepted(const QString& text) const;
    FieldLink link_;
    QString shown_;
    bool dataReadOnly_ = false;
    bool pending_ = false; // typed text not (yet) a value
    bool ranged_ = false;
    qint64 min_ = 0, max_ = 0;
};

class FieldMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit FieldMemo(QWidget* parent = nullptr);
    void bind(engine::DataSource* source, const QString& field);
    const FieldLink& link() const { return link_; }

private:
    void refresh();
    FieldLink link_;
    int width_ = 0;
    bool updating_ = false;
};

// A check box bound to a logical field; stores true and false.
class FieldCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit FieldCheckBox(const QString& caption, QWidget* parent = nullptr);
    void bind(engine::DataSource* source, const QString& field);

private:
    void refresh();
    FieldLink link_;
    bool updating_ = false;
};

class LookupListModel;

// A drop-down whose entries come from a list source (key field, list field). Bound, it shows
// and writes a field of its data source; unbound, it holds a key value of its own. Boxes over
// the same list share its entries, which are read again only when the list's rows change. The
// value changes only by a deliberate pick: a wheel turn over a box without focus scrolls on.
class LookupComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit LookupComboBox(QWidget* parent = nullptr);
    void setList(engine::DataSource* listSource, const QString& keyField, const QString& listField);
    void bind(engine::DataSource* source, const QString& field);
    QVariant keyValue() const;
    void setKeyValue(const QVariant& key);
    // Reads the list again for every box that shows it (its rows changed without notice).
    void reloadList();
    // What the box shows, greyed and not offered for picking, for a key that is not in its list
    // (a user the person may not see); without it such a box looks as empty as one with no key.
    void setUnlistedText(std::function<QString(const QVariant& key)> text);
    // As QComboBox sizes itself to its widest entry, but from the widths the list keeps: a plain
    // QComboBox measures every entry again for each box and each hint (thousands of users).
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void closeUp(); // after the user picked an entry

protected:
    void wheelEvent(QWheelEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void refresh();
    bool sizedFromList() const;
    QSize contentsHint() const;
    FieldLink link_;
    LookupListModel* list_ = nullptr;
    QVariant unboundKey_;
    std::function<QString(const QVariant&)> unlistedText_;
    bool updating_ = false;
    bool shownOnce_ = false;
    // Kept, and dropped, when QComboBox keeps and drops its own.
    mutable QSize hint_, minimumHint_;
};

struct GridColumn {
    QString field;
    QString title;
    int width = 0; // characters; 0 = fit
};

class DataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    DataSetModel(engine::DataSource* source, QVector<GridColumn> columns, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    void setEditable(bool on) { editable_ = on; }
    const QVector<GridColumn>& columns() const { return columns_; }
    engine::DataSet* dataSet() const { return source_ ? source_->dataSet() : nullptr; }
    void reset();
    // The line of a row being inserted (after the stored rows); -1 when none is.
    int insertRow() const;
    // The line that shows the data set's current row.
    int currentLine() const;

private:
    // A failure to read is shown once, after the view has finished asking.
    void report() const;
    QPointer<engine::DataSource> source_;
    QVector<GridColumn> columns_;
    bool editable_ = false;
    bool inserting_ = false;
    mutable int rows_ = -1;
    mutable bool failed_ = false;
};

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

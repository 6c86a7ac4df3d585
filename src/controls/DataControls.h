#pragma once

#include "engine/DataSource.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTableView>

namespace controls {

// Binding of a control to a field of a data source's current row.
class FieldLink {
public:
    void set(engine::DataSource* source, const QString& field);
    engine::DataSource* source() const { return source_; }
    engine::DataSet* dataSet() const { return source_ ? source_->dataSet() : nullptr; }
    const QString& field() const { return field_; }
    bool active() const;
    QVariant value() const;
    QString text() const;
    // Starts editing the row when it is not being edited, then writes the field.
    void write(const QVariant& v) const;

private:
    QPointer<engine::DataSource> source_;
    QString field_;
};

// A single-line edit bound to a field; typing writes the field at once.
class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBEdit(QWidget* parent = nullptr);
    void bind(engine::DataSource* source, const QString& field);
    const FieldLink& link() const { return link_; }
    void setDataReadOnly(bool ro);

signals:
    void changed(); // whenever the text shown changes, also when another row becomes current

private:
    void refresh();
    FieldLink link_;
    QString shown_;
    bool dataReadOnly_ = false;
    bool deferred_ = false;
};

class DBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DBMemo(QWidget* parent = nullptr);
    void bind(engine::DataSource* source, const QString& field);

private:
    void refresh();
    FieldLink link_;
    bool updating_ = false;
};

// A check box bound to a logical field; stores true and false.
class DBCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit DBCheckBox(const QString& caption, QWidget* parent = nullptr);
    void bind(engine::DataSource* source, const QString& field);

private:
    void refresh();
    FieldLink link_;
    bool updating_ = false;
};

// A drop-down whose entries come from a list source (key field, list field). Bound, it shows
// and writes a field of its data source; unbound, it holds a key value of its own.
class DBLookupComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DBLookupComboBox(QWidget* parent = nullptr);
    void setList(engine::DataSource* listSource, const QString& keyField, const QString& listField);
    void bind(engine::DataSource* source, const QString& field);
    QVariant keyValue() const;
    void setKeyValue(const QVariant& key);
    void reloadList();

signals:
    void closeUp(); // after the user picked an entry

private:
    void refresh();
    FieldLink link_;
    QPointer<engine::DataSource> list_;
    QString keyField_;
    QString listField_;
    QVariant unboundKey_;
    bool updating_ = false;
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
    void reset();

private:
    QPointer<engine::DataSource> source_;
    QVector<GridColumn> columns_;
    bool editable_ = false;
    mutable int rows_ = -1;
};

// A grid over a data source: one row per row of the data set, following its current row.
class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget* parent = nullptr);
    void bind(engine::DataSource* source, const QVector<GridColumn>& columns, bool readOnly = true);
    DataSetModel* dataModel() const { return model_; }

signals:
    void rowDoubleClicked();

private:
    void followCurrent();
    QPointer<engine::DataSource> source_;
    DataSetModel* model_ = nullptr;
    bool moving_ = false;
};

} // namespace controls

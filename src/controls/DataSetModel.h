#pragma once

#include "engine/DataSource.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QVector>

namespace controls {

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

signals:
    // A read failed; shown on the desktop of the model's grid once the view is done asking.
    void readFailed(const QString& message);

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

} // namespace controls

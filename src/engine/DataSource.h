#pragma once

#include "engine/DataSet.h"

#include <QObject>
#include <QPointer>

namespace engine {

// Links controls to a data set: passes on its notifications, so that controls never need to
// know whether they show a table or a query.
class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(DataSet* ds = nullptr, QObject* parent = nullptr);
    void setDataSet(DataSet* ds);
    DataSet* dataSet() const { return ds_; }

signals:
    void rowsChanged();
    void currentChanged();
    void stateChanged();
    void fieldChanged(const QString& name);
    // After any of the rows, the current row or the state changed.
    void changed();

private:
    template <void (DataSource::*Signal)()> void pass();
    QPointer<DataSet> ds_;
    QMetaObject::Connection c1_, c2_, c3_, c4_;
};

} // namespace engine

#include "engine/DataSource.h"

namespace engine {

DataSource::DataSource(DataSet* ds, QObject* parent) : QObject(parent) {
    for (auto signal : {&DataSource::rowsChanged, &DataSource::currentChanged, &DataSource::stateChanged})
        connect(this, signal, this, &DataSource::changed);
    setDataSet(ds);
}

void DataSource::setDataSet(DataSet* ds) {
    disconnect(c1_);
    disconnect(c2_);
    disconnect(c3_);
    disconnect(c4_);
    ds_ = ds;
    if (!ds) return;
    c1_ = connect(ds, &DataSet::rowsChanged, this, &DataSource::rowsChanged);
    c2_ = connect(ds, &DataSet::currentChanged, this, &DataSource::currentChanged);
    c3_ = connect(ds, &DataSet::stateChanged, this, &DataSource::stateChanged);
    c4_ = connect(ds, &DataSet::fieldChanged, this, &DataSource::fieldChanged);
}

} // namespace engine

#include "engine/DataSource.h"

namespace engine {

DataSource::DataSource(DataSet* ds, QObject* parent) : QObject(parent) {
    setDataSet(ds);
}

// Passed on by a call rather than through a connection of this object's signals to `changed`:
// a batch changes a table row after row with nobody listening, and a signal nobody is connected
// to costs next to nothing, while one connected even to another signal costs the whole dispatch.
// `changed` goes first, as it did when it was the first connection.
template <void (DataSource::*Signal)()> void DataSource::pass() {
    emit changed();
    (this->*Signal)();
}

void DataSource::setDataSet(DataSet* ds) {
    disconnect(c1_);
    disconnect(c2_);
    disconnect(c3_);
    disconnect(c4_);
    ds_ = ds;
    if (!ds) return;
    c1_ = connect(ds, &DataSet::rowsChanged, this, &DataSource::pass<&DataSource::rowsChanged>);
    c2_ = connect(ds, &DataSet::currentChanged, this, &DataSource::pass<&DataSource::currentChanged>);
    c3_ = connect(ds, &DataSet::stateChanged, this, &DataSource::pass<&DataSource::stateChanged>);
    c4_ = connect(ds, &DataSet::fieldChanged, this, &DataSource::fieldChanged);
}

} // namespace engine

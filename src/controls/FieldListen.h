#pragma once

#include "controls/ErrorHandler.h"
#include "engine/DataSource.h"

#include <QObject>
#include <QString>
#include <QtGlobal>

namespace controls::detail {
// Where the cursor goes when a box that has the focus shows its field's value again (a refused
// key, the stored row after a change elsewhere): where it stood before the refused typing,
// as a plain box leaves it when it refuses a key.
inline int cursorAfterRevert(int cursor, int shownLength, int storedLength) {
    return qBound(0, cursor - (shownLength - storedLength), storedLength);
}

template <typename W, typename F> void listen(W* w, engine::DataSource* s, const QString& field, F refresh) {
    QObject::connect(s, &engine::DataSource::changed, w, [w, refresh] { guarded(w, refresh); });
    QObject::connect(s, &engine::DataSource::fieldChanged, w, [w, refresh, field](const QString& name) {
        if (name.compare(field, Qt::CaseInsensitive) == 0) guarded(w, refresh);
    });
}
} // namespace controls::detail

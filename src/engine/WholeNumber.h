#pragma once

#include <QVariant>

namespace engine {

// The whole number a value holds, read where it lies for the kinds the engine keeps numbers in:
// QVariant's own conversion costs a few hundred instructions, which a batch would pay for every
// key, flag and number of every row.
inline qint64 wholeNumber(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return *static_cast<const qlonglong*>(v.constData());
    case QMetaType::Int:
        return *static_cast<const int*>(v.constData());
    case QMetaType::Bool:
        return *static_cast<const bool*>(v.constData()) ? 1 : 0;
    default:
        return v.toLongLong();
    }
}

} // namespace engine

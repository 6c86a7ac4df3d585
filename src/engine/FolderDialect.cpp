#include "engine/FolderDialect.h"

namespace engine {

QString FolderDialect::orderTerm(const TableDef& t, const QString& column) const {
    const int i = t.columnIndex(column);
    const bool text = i >= 0 && t.columns[size_t(i)].type == FieldType::Text;
    return quoteIdentifier(column) + (text ? QStringLiteral(" COLLATE NOCASE") : QString());
}

} // namespace engine

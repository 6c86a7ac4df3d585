#include "engine/PgDialect.h"

namespace engine {

namespace {
bool isTextColumn(const TableDef& t, const QString& column) {
    const int i = t.columnIndex(column);
    return i >= 0 && t.columns[size_t(i)].type == FieldType::Text;
}
} // namespace

QString PgDialect::quoted(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

const ColumnDef* PgDialect::keyColumn(const TableDef& t) {
    for (const auto& c : t.columns)
        if (c.type == FieldType::AutoInc) return &c;
    return nullptr;
}

QString PgDialect::table(const TableDef& t) const {
    return quoted(t.schemaName.toLower());
}

QString PgDialect::column(const QString& name) const {
    return quoted(name.toLower());
}

QString PgDialect::rowKey(const TableDef& t) const {
    const ColumnDef* key = keyColumn(t);
    return key ? column(key->name) : QStringLiteral("rowid");
}

QString PgDialect::selectTerm(const TableDef& t, const QString& name) const {
    // The session's DateStyle is ISO and the columns keep whole seconds: their text is the
    // engine's own form ("2002-01-10", "2002-01-10 08:30:00").
    const int i = t.columnIndex(name);
    const FieldType type = i >= 0 ? t.columns[size_t(i)].type : FieldType::Text;
    if (type == FieldType::Date || type == FieldType::DateTime)
        return QStringLiteral("CAST(%1 AS text)").arg(column(name));
    return column(name);
}

QString PgDialect::orderTerm(const TableDef& t, const QString& name) const {
    // Byte order of the lower-cased text is the folder store's NOCASE order for every ASCII text.
    // Empty values come first, as in the folder store.
    if (isTextColumn(t, name)) return QStringLiteral("lower(%1) COLLATE \"C\" NULLS FIRST").arg(column(name));
    return column(name) + QStringLiteral(" NULLS FIRST");
}

QString PgDialect::parameter(const QVariant& value, bool untyped) const {
    // The server gives a value without a type the type its place asks for; the branches of a
    // Case ask for none and would make a whole number text, which an integer column then
    // refuses ("Case GoalID When ? Then ? End" in an Insert ... Select).
    const int type = value.typeId();
    if (untyped && (type == QMetaType::LongLong || type == QMetaType::Int))
        return QStringLiteral("CAST(? AS bigint)");
    return QStringLiteral("?");
}

} // namespace engine

#include "engine/FolderDialect.h"

namespace engine {

namespace {
QString sqlType(FieldType t) {
    switch (t) {
    case FieldType::AutoInc:
        return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    case FieldType::Integer:
        return QStringLiteral("INTEGER");
    case FieldType::Number:
        return QStringLiteral("REAL");
    case FieldType::Text:
    case FieldType::Memo:
        return QStringLiteral("TEXT");
    case FieldType::Logical:
        return QStringLiteral("INTEGER");
    case FieldType::Date:
        return QStringLiteral("DATE");
    case FieldType::DateTime:
        return QStringLiteral("DATETIME");
    }
    return QStringLiteral("TEXT");
}
} // namespace

QString FolderDialect::orderTerm(const TableDef& t, const QString& column) const {
    const int i = t.columnIndex(column);
    const bool text = i >= 0 && t.columns[size_t(i)].type == FieldType::Text;
    return quoteIdentifier(column) + (text ? QStringLiteral(" COLLATE NOCASE") : QString());
}

QStringList FolderDialect::createTable(const TableDef& t) const {
    // Made in the table's own file, before it is attached: the table goes by its bare name.
    QStringList cols;
    for (const auto& c : t.columns)
        cols << quoteIdentifier(c.name) + QLatin1Char(' ') + sqlType(c.type);
    QStringList statements{QStringLiteral("CREATE TABLE %1 (%2)")
                               .arg(quoteIdentifier(t.schemaName), cols.join(QStringLiteral(", ")))};
    for (const auto& ix : t.indexes)
        statements << createIndex(t, ix, false);
    return statements;
}

QString FolderDialect::countOwnTables(const TableDef& beside) const {
    return QStringLiteral("SELECT count(*) FROM %1.sqlite_master WHERE type = 'table' AND name = ?")
        .arg(quoteIdentifier(beside.schemaName));
}

QString FolderDialect::createIndex(const TableDef& t, const IndexDef& ix, bool attached) const {
    QStringList terms;
    for (const auto& c : ix.columns)
        terms << orderTerm(t, c);
    // SQLite names the file of an index before the index; its table stays unqualified.
    const QString file = attached ? quoteIdentifier(t.schemaName) + QLatin1Char('.') : QString();
    return QStringLiteral("CREATE INDEX IF NOT EXISTS %1%2 ON %3 (%4)")
        .arg(file, quoteIdentifier(ix.name), quoteIdentifier(t.schemaName), terms.join(QStringLiteral(", ")));
}

} // namespace engine

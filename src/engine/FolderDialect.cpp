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

QString FolderDialect::updateRows(const TableDef& t, const QStringList& columns, int rows) const {
    // Each UPDATE statement costs SQLite more than a row it changes (the history's triggers are
    // set up once per statement): a batch's rows go many at once, joined on the key. SQLite names
    // the columns of VALUES column1, column2, ...
    QStringList sets;
    for (int i = 0; i < columns.size(); ++i)
        sets << QStringLiteral("%1 = v.column%2").arg(column(columns[i])).arg(i + 2);
    const QStringList marks(columns.size() + 1, QStringLiteral("?"));
    const QString row = QLatin1Char('(') + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
    return QStringLiteral("UPDATE %1 SET %2 FROM (VALUES %3) AS v WHERE %1.%4 = v.column1")
        .arg(table(t), sets.join(QStringLiteral(", ")), QStringList(rows, row).join(QStringLiteral(", ")),
             rowKey(t));
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

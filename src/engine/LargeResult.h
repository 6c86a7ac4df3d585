#pragma once

#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>

namespace engine {

// A query result too large to hold in memory: counted once, then read forward from any row.
// Each store keeps it where reading it again costs least.
class LargeResult {
public:
    // Runs a statement on the database's connection, so that a failure counts against the
    // transaction it ran in.
    using Exec =
        std::function<QSqlQuery(const QString& sql, const QVariantList& binds, const QString& files)>;

    virtual ~LargeResult() = default;
    virtual int count() const = 0;
    // The result's columns; `names` gives their names as the statement gave them where the
    // record's differ (empty: the record's own).
    virtual QSqlRecord record() const = 0;
    virtual QStringList names() const = 0;
    // A query that reads the result forward, its first row being `row`.
    virtual QSqlQuery readFrom(int row) = 0;
    // Gives back what the store holds for the result; nothing is read from it afterwards.
    virtual void release() = 0;
};

} // namespace engine

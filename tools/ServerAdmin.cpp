#include "ServerAdmin.h"

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/PgBackend.h"
#include "engine/PgRoles.h"

#include <QSqlError>
#include <QTemporaryDir>

namespace tools {

namespace {

// Rows per INSERT statement while copying: few round trips to the server, bounded memory.
constexpr int kRowsPerInsert = 400;

// A folder value in the form both stores compare and the server accepts. The folder store
// keeps dates as text; an empty one is no date.
QVariant folderValue(const QVariant& v, engine::FieldType type) {
    using F = engine::FieldType;
    if (v.isNull()) return QVariant();
    switch (type) {
    case F::AutoInc:
    case F::Integer:
    case F::Logical:
        return QVariant::fromValue<qint64>(v.toLongLong());
    case F::Number:
        return v.toDouble();
    case F::Date:
    case F::DateTime: {
        const QString s = v.toString().trimmed();
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case F::Text:
    case F::Memo:
        return v.toString();
    }
    return v;
}

void copyRows(engine::Database& folder, engine::PgBackend& pg,
              const std::function<void(const QString&)>& say) {
    for (const auto& t : engine::tables())
        folder.attach(t);
    for (const auto& t : engine::tables()) {
        // The first rows of a new database give way to the folder's own.
        pg.exec(QStringLiteral("DELETE FROM %1").arg(pg.tableName(t)));
        QSqlQuery full(pg.connection());
        if (!full.prepare(pg.dialect().insertAll(t, kRowsPerInsert)))
            throw engine::Error(pg.describe(full.lastError()));
        QSqlQuery rows = folder.exec(folder.backend().dialect().selectAll(t), {}, t.fileName);
        QVariantList binds;
        qint64 count = 0;
        auto flush = [&](bool last) {
            const int n = int(binds.size() / qsizetype(t.columns.size()));
            if (n == 0) return;
            if (!last || n == kRowsPerInsert) {
                for (int i = 0; i < binds.size(); ++i)
                    full.bindValue(i, binds[i]);
                if (!full.exec())
                    throw engine::Error(
                        QStringLiteral("%1: %2").arg(t.fileName, pg.describe(full.lastError())));
            } else {
                try {
                    pg.exec(pg.dialect().insertAll(t, n), binds);
                } catch (const engine::Error& e) {
                    throw engine::Error(QStringLiteral("%1: %2").arg(t.fileName, e.message()));
                }
            }
            binds.clear();
        };
        while (rows.next()) {
            for (size_t i = 0; i < t.columns.size(); ++i)
                binds << folderValue(rows.value(int(i)), t.columns[i].type);
            ++count;
            if (binds.size() >= qsizetype(kRowsPerInsert) * qsizetype(t.columns.size())) flush(false);
        }
        flush(true);
        // Without statistics the server guesses every table large: the first work on the copy
        // (a conversion of a million items) was then planned as costly, compiled statement by
        // statement, and ran four times slower, until the server got round to reading them.
        pg.exec(QStringLiteral("ANALYZE %1").arg(pg.tableName(t)));
        if (say) say(QStringLiteral("Copied %1: %2 rows").arg(t.fileName).arg(count));
    }
    pg.advanceKeys();
}

} // namespace

std::vector<TableInfo> serverInfo(const QString& uri) {
    engine::PgBackend pg;
    pg.open(uri, QStringLiteral("vardimo-admin"));
    std::vector<TableInfo> out;
    for (const auto& t : engine::tables()) {
        pg.prepareTable(t, false);
        QSqlQuery q = pg.exec(QStringLiteral("SELECT count(*) FROM %1").arg(pg.tableName(t)));
        TableInfo info;
        info.fileName = t.fileName;
        info.records = q.next() ? q.value(0).toLongLong() : 0;
        info.bytes = pg.tableSize(t);
        out.push_back(info);
    }
    return out;
}

namespace {

void createOnServer(const QString& uri, bool withSample, SampleSize size,
                    const std::function<void(const QString&)>& progress,
                    const std::function<void(engine::PgBackend&)>& finish, int scale) {
    if (!withSample) {
        engine::PgBackend().create(uri, finish);
        if (progress)
            progress(QStringLiteral("Created the tables on %1").arg(engine::PgLocation::parse(uri).display));
        return;
    }
    // The sample is made in a folder first, so both stores get the very same rows.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw engine::Error(QStringLiteral("Cannot make a temporary folder for the sample."));
    const QString folder = scratch.filePath(QStringLiteral("sample"));
    createDatabase(folder, true, size, progress, scale);
    copyToServer(folder, uri, progress, finish);
}

} // namespace

void createServerDatabase(const QString& uri, bool withSample, SampleSize size,
                          const std::function<void(const QString&)>& progress, int scale) {
    createOnServer(uri, withSample, size, progress, {}, scale);
}

QStringList createSecureServerDatabase(const QString& uri, bool withSample, SampleSize size,
                                       const std::function<void(const QString&)>& progress, int scale) {
    QStringList withoutPassword;
    createOnServer(
        uri, withSample, size, progress,
        [&](engine::PgBackend& pg) { withoutPassword = engine::PgRoles::secure(pg); }, scale);
    return withoutPassword;
}

Secured secureServerDatabase(const QString& uri) {
    engine::PgBackend pg;
    pg.open(uri, QStringLiteral("vardimo-admin"));
    QSqlDatabase db = pg.connection();
    if (!db.transaction()) throw engine::Error(pg.describe(db.lastError()));
    try {
        Secured done;
        done.renewed = engine::PgRoles::isSecure(pg);
        if (done.renewed)
            done.roles = engine::PgRoles::renew(pg);
        else
            done.roles.withoutPassword = engine::PgRoles::secure(pg);
        if (!db.commit()) throw engine::Error(pg.describe(db.lastError()));
        return done;
    } catch (...) {
        db.rollback();
        throw;
    }
}

void packServerDatabase(const QString& uri, const std::function<void(const QString&)>& progress) {
    engine::PgBackend pg;
    pg.open(uri, QStringLiteral("vardimo-admin"));
    for (const auto& t : engine::tables()) {
        pg.prepareTable(t, false);
        pg.compact(t);
        if (progress) progress(QStringLiteral("Packed %1").arg(t.fileName));
    }
}

void setServerPassword(const QString& uri, const QString& userId, const QString& password) {
    engine::PgBackend pg;
    pg.open(uri, QStringLiteral("vardimo-admin"));
    if (!engine::PgRoles::isSecure(pg))
        throw engine::Error(QStringLiteral("%1 keeps its passwords in the user table; the program sets them.")
                                .arg(pg.displayName()));
    engine::PgRoles::setPassword(pg, userId, password);
}

void copyToServer(const QString& folder, const QString& uri,
                  const std::function<void(const QString&)>& progress,
                  const std::function<void(engine::PgBackend&)>& finish) {
    {
        engine::Session session;
        engine::Database source(session);
        source.open(folder);
        engine::PgBackend().create(uri, [&](engine::PgBackend& pg) {
            copyRows(source, pg, progress);
            if (finish) finish(pg);
        });
    }
    const QStringList differences = compareWithServer(folder, uri);
    if (!differences.isEmpty())
        throw engine::Error(QStringLiteral("The copy differs from the folder:\n") +
                            differences.join(QLatin1Char('\n')));
    if (progress) progress(QStringLiteral("Compared every row: the server holds what the folder holds."));
}

QStringList compareWithServer(const QString& folder, const QString& uri, int limit) {
    engine::Session session;
    engine::Database source(session);
    source.open(folder);
    engine::PgBackend pg;
    pg.open(uri, QStringLiteral("vardimo-admin"));
    // Where the server holds the logons, the passwords live in its roles, not in the user table.
    const bool secure = engine::PgRoles::isSecure(pg);
    QStringList out;
    for (const auto& t : engine::tables()) {
        source.attach(t);
        QSqlQuery a = source.exec(source.backend().dialect().selectAll(t), {}, t.fileName);
        QSqlQuery b = pg.exec(pg.dialect().selectAll(t));
        for (qint64 row = 1;; ++row) {
            const bool hasA = a.next(), hasB = b.next();
            if (!hasA && !hasB) break;
            if (hasA != hasB) {
                out << QStringLiteral("%1: the %2 holds more rows (from row %3 on)")
                           .arg(t.fileName, hasA ? QStringLiteral("folder") : QStringLiteral("server"))
                           .arg(row);
                break;
            }
            for (size_t i = 0; i < t.columns.size(); ++i) {
                if (secure && t.columns[i].name == QLatin1String("UserPassword")) continue;
                const QVariant va = folderValue(a.value(int(i)), t.columns[i].type);
                const QVariant vb = pg.readValue(b.value(int(i)), t.columns[i].type);
                if (va.isNull() != vb.isNull() || (!va.isNull() && va != vb)) {
                    out << QStringLiteral("%1 row %2, %3: folder %4, server %5")
                               .arg(t.fileName)
                               .arg(row)
                               .arg(t.columns[i].name,
                                    va.isNull() ? QStringLiteral("(empty)") : va.toString(),
                                    vb.isNull() ? QStringLiteral("(empty)") : vb.toString());
                    if (out.size() >= limit) return out;
                }
            }
        }
        if (out.size() >= limit) return out;
    }
    return out;
}

} // namespace tools

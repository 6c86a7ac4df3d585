#include "engine/Backend.h"

#include "engine/FolderBackend.h"
#include "engine/PgBackend.h"

namespace engine {

// The one place that names the stores: another store is one more implementation of Backend, with
// a Dialect of its own, chosen here by the form of its location.
std::unique_ptr<Backend> Backend::make(const QString& location, Session& session) {
    if (isServerLocation(location)) return std::make_unique<PgBackend>();
    return std::make_unique<FolderBackend>(session);
}

void Backend::rollbackTransaction() {
    if (!holdsTransaction()) return;
    countStatements();
    QSqlQuery(connection()).exec(QStringLiteral("ROLLBACK"));
}

bool Backend::rollbackToSavepoint(const QString& name) {
    if (!holdsTransaction()) return true;
    countStatements(2);
    QSqlQuery q(connection());
    return q.exec(QStringLiteral("ROLLBACK TO ") + name) && q.exec(QStringLiteral("RELEASE ") + name);
}

} // namespace engine

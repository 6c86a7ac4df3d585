#include "engine/Backend.h"

#include "engine/FolderBackend.h"
#include "engine/PgBackend.h"

namespace engine {

std::unique_ptr<Backend> Backend::make(const QString& location, Session& session) {
    if (isServerLocation(location)) return std::make_unique<PgBackend>();
    return std::make_unique<FolderBackend>(session);
}

} // namespace engine

#pragma once

#include <QString>
#include <QStringList>

namespace tools {

// What a database holds that the program never makes and the screens cannot show right: two
// strategies of one user under one goal with the same number, strategies whose goal is gone,
// and measurement items whose strategy is gone. One line per finding, in a stable order; empty
// when the database is clean. Throws engine::Error when the database cannot be read.
QStringList checkDatabase(const QString& location);

} // namespace tools

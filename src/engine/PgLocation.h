#pragma once

#include <QString>
#include <QStringList>

namespace engine {

// The parts of a postgresql:// URI that the driver takes one by one. Passwords follow the
// server's own conventions (~/.pgpass, PGPASSWORD, service files); one written into the URI is
// used but never shown.
struct PgLocation {
    QString host; // a name, an address, or the folder of a Unix socket; empty: the default
    int port = -1;
    QString user;
    QString password;
    QString database;
    QStringList options; // further key=value settings of the URI's query
    QString display;     // the URI without the password

    // Throws engine::Error for a text that is no postgresql:// URI.
    static PgLocation parse(const QString& uri);
};

} // namespace engine

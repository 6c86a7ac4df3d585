#include "engine/PgLocation.h"

#include "engine/Backend.h"
#include "engine/Error.h"

#include <QUrl>
#include <QUrlQuery>

namespace engine {

bool isServerLocation(const QString& location) {
    const QString l = location.trimmed();
    return l.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           l.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

PgLocation PgLocation::parse(const QString& uri) {
    if (!isServerLocation(uri)) throw Error(QStringLiteral("Not a PostgreSQL connection URI: %1").arg(uri));
    // QUrl refuses an empty host followed by a user ("postgresql://user@/db"), which libpq allows
    // for the default socket; a placeholder host keeps the rest parseable.
    QString text = uri.trimmed();
    const int scheme = int(text.indexOf(QLatin1String("://")));
    const int slash = int(text.indexOf(QLatin1Char('/'), scheme + 3));
    const int at = int(text.lastIndexOf(QLatin1Char('@'), slash < 0 ? -1 : slash));
    bool noHost = false;
    if (at >= 0 && (slash == at + 1 || (slash < 0 && at == text.size() - 1))) {
        text.insert(at + 1, QLatin1String("vardimo-default-host"));
        noHost = true;
    } else if (at < 0 && slash == scheme + 3) {
        text.insert(scheme + 3, QLatin1String("vardimo-default-host"));
        noHost = true;
    }
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) throw Error(QStringLiteral("Not a valid PostgreSQL connection URI: %1").arg(uri));
    PgLocation loc;
    loc.host = noHost ? QString() : url.host();
    loc.port = url.port(-1);
    loc.user = url.userName(QUrl::FullyDecoded);
    loc.password = url.password(QUrl::FullyDecoded);
    loc.database = url.path(QUrl::FullyDecoded).mid(1);
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host"))
            loc.host = value;
        else if (key == QLatin1String("port"))
            loc.port = value.toInt();
        else if (key == QLatin1String("user"))
            loc.user = value;
        else if (key == QLatin1String("password"))
            loc.password = value;
        else if (key == QLatin1String("dbname"))
            loc.database = value;
        else {
            // The driver passes options on as key=value words; a space would split one.
            if (value.contains(QLatin1Char(' ')) || value.contains(QLatin1Char(';')) ||
                key.contains(QLatin1Char(' ')))
                throw Error(
                    QStringLiteral("The connection setting %1 of %2 cannot hold spaces or semicolons.")
                        .arg(key, uri));
            loc.options << key + QLatin1Char('=') + value;
        }
    }
    QUrl shown = url;
    shown.setPassword(QString());
    QUrlQuery shownQuery(query);
    shownQuery.removeAllQueryItems(QStringLiteral("password"));
    shown.setQuery(shownQuery);
    loc.display = shown.toString();
    if (noHost) loc.display.replace(QLatin1String("vardimo-default-host"), QString());
    return loc;
}

} // namespace engine

#include "engine/PgErrors.h"

namespace engine {

namespace {
bool connectionLost(const QSqlError& e) {
    const QString code = e.nativeErrorCode();
    if (code.startsWith(QLatin1String("08")) || code == QLatin1String("57P01") ||
        code == QLatin1String("57P02") || code == QLatin1String("57P03"))
        return true;
    const QString text = (e.databaseText() + QLatin1Char(' ') + e.driverText()).toLower();
    return text.contains(QLatin1String("server closed the connection")) ||
           text.contains(QLatin1String("no connection to the server")) ||
           text.contains(QLatin1String("terminating connection")) ||
           text.contains(QLatin1String("connection to server")) ||
           text.contains(QLatin1String("could not send data to server"));
}
} // namespace

Error PgErrors::failure(const QSqlError& error, const QString& files, bool preparing) const {
    const QString code = error.nativeErrorCode();
    const QString described = describe(error, files);
    if (code == QLatin1String("55P03") || code == QLatin1String("40P01") || code == QLatin1String("40001"))
        return Error(described, Error::Kind::Busy);
    // Syntax errors and unknown names are faults of the statement.
    if (preparing && !connectionLost(error) && code.startsWith(QLatin1String("42")) &&
        code != QLatin1String("42501") && code != QLatin1String("42P01"))
        return Error(QStringLiteral("Invalid SQL statement: %1").arg(described));
    return Error(described);
}

QString PgErrors::describe(const QSqlError& error, const QString& fileName) const {
    const QString code = error.nativeErrorCode();
    QString text = error.databaseText().trimmed();
    if (text.isEmpty()) text = error.text().trimmed();
    // A server always says why it refused a statement; a failure without a word and without a
    // code comes from the client library whose connection is gone.
    if (connectionLost(error) || (text.isEmpty() && code.isEmpty())) {
        lost_ = true;
        return lostText(text.isEmpty() ? QStringLiteral("no answer from the server") : text);
    }
    if (code == QLatin1String("55P03") || code == QLatin1String("40P01") || code == QLatin1String("40001"))
        return Error::lockedText(fileName);
    if (code == QLatin1String("42P01")) return Error::noTable(fileName.isEmpty() ? text : fileName).message();
    // The folder store compares such a value as text and finds no row; the server refuses it.
    if (code == QLatin1String("22007") || code == QLatin1String("22008"))
        return fileName.isEmpty() ? QStringLiteral("Not a valid date: %1").arg(text)
                                  : QStringLiteral("%1: not a valid date: %2").arg(fileName, text);
    if (code == QLatin1String("22P02") || code == QLatin1String("22003"))
        return fileName.isEmpty() ? QStringLiteral("Not a valid value: %1").arg(text)
                                  : QStringLiteral("%1: not a valid value: %2").arg(fileName, text);
    if (code == QLatin1String("53100")) return Error::diskFullText();
    if (code == QLatin1String("P0001")) {
        // Raised by the database's own functions with words for the person: those alone, without
        // the client library's prefix and the function's place.
        text = text.section(QLatin1String("\nCONTEXT:"), 0, 0).trimmed();
        if (text.startsWith(QLatin1String("ERROR:"))) text = text.mid(6).trimmed();
    }
    if (code == QLatin1String("42501"))
        return fileName.isEmpty() ? QStringLiteral("Permission denied on the database server: %1").arg(text)
                                  : Error::readOnlyText(fileName);
    if (code == QLatin1String("53300"))
        return QStringLiteral("The database server %1 accepts no more connections: %2").arg(location_, text);
    return fileName.isEmpty() ? text : QStringLiteral("%1: %2").arg(fileName, text);
}

QString PgErrors::lostText(const QString& why) const {
    return QStringLiteral("The connection to the database server %1 was lost%2. Nothing after the last saved "
                          "change was stored. Your next action connects again once the server can be "
                          "reached.")
        .arg(location_, why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why));
}

QString PgErrors::stillLostText(const QString& why) const {
    return QStringLiteral("The connection to the database server %1 is lost and cannot be made again yet "
                          "(%2). Nothing after the last saved change was stored. Check the network, or ask "
                          "the administrator whether the server runs, then try again.")
        .arg(location_, why);
}

QString PgErrors::reconnectedText() const {
    return QStringLiteral("The connection to the database server %1 was lost and has been made again. "
                          "Nothing after the last saved change before the loss was stored, and your last "
                          "action was not carried out: check what is shown and do it again.")
        .arg(location_);
}

} // namespace engine

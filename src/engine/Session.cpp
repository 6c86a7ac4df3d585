#include "engine/Session.h"

#include "engine/Backend.h"
#include "engine/Error.h"
#include "engine/Files.h"
#include "engine/PgLocation.h"
#include "engine/PgRoles.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSqlDatabase>
#include <QUuid>
#include <QtGlobal>
#include <unistd.h>

namespace engine {

namespace {
const char* const kUsersFolder = "vardimo-users";

QString defaultUserName() {
    QString n = qEnvironmentVariable("USER");
    if (n.isEmpty()) n = qEnvironmentVariable("LOGNAME");
    return n;
}

} // namespace

Session::Session() : userName_(defaultUserName()) {
    QString config = qEnvironmentVariable("VARDIMO_ENGINE_CONFIG");
    if (config.isEmpty() && QCoreApplication::instance())
        config = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vardimo-engine.ini"));
    if (!config.isEmpty() && QFileInfo::exists(config)) {
        QSettings ini(config, QSettings::IniFormat);
        ini.beginGroup(QStringLiteral("Aliases"));
        for (const QString& key : ini.childKeys())
            configuredAliases_.insert(key.toLower(), ini.value(key).toString());
        ini.endGroup();
    }
}

Session::~Session() {
    for (auto& [folder, r] : registrations_) {
        if (!r.lock) continue;
        const QString path = r.lock->path();
        r.lock.reset();
        QFile::remove(path);
    }
}

Session& Session::instance() {
    static Session s;
    return s;
}

bool Session::hasAlias(const QString& name) const {
    return configuredAliases_.contains(name.toLower()) || sessionAliases_.contains(name.toLower());
}

void Session::addAlias(const QString& name, const QString& path) {
    if (configuredAliases_.contains(name.toLower())) return;
    sessionAliases_.insert(name.toLower(), path);
}

void Session::setServerLogon(const QString& userId, const QString& password) {
    serverLogonUser_ = userId;
    serverLogonPassword_ = password;
}

QString Session::aliasPath(const QString& name) const {
    QString path;
    if (auto it = configuredAliases_.find(name.toLower()); it != configuredAliases_.end())
        path = it.value();
    else if (auto own = sessionAliases_.find(name.toLower()); own != sessionAliases_.end())
        path = own.value();
    if (!path.isNull()) {
        if (serverLogonUser_.isEmpty() || !isServerLocation(path)) return path;
        return PgRoles::logonUri(path, serverLogonUser_, serverLogonPassword_);
    }
    throw Error(QStringLiteral("Unknown database alias: %1").arg(name));
}

void Session::setDateFormat(const DateFormat& f) {
    if (f.separator.isNull() || f.separator.isLetterOrNumber())
        throw Error(QStringLiteral("Invalid date separator."));
    engine::setDateFormat(f);
}

std::optional<int> Session::version() const {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) return std::nullopt;
    return 500;
}

namespace {
QString usersFolderOf(const QString& databaseFolder) {
    return QDir(controlFolderOf(databaseFolder)).filePath(QString::fromLatin1(kUsersFolder));
}
} // namespace

void Session::registerUser(const QString& databaseFolder) {
    const QString folder = QDir::cleanPath(QFileInfo(databaseFolder).absoluteFilePath());
    lastFolder_ = folder;
    Registration& r = registrations_[folder];
    if (r.opens++ > 0) return;
    const QString control = controlFolderOf(folder);
    const QString dir = usersFolderOf(folder);
    // Someone who may only read the database cannot be listed in it; the session still runs.
    if (!ensureSharedFolder(control, folder) || !ensureSharedFolder(dir, control)) return;
    auto lock = std::make_unique<LockFile>();
    // Locked under a name the listing ignores, then renamed: a listing never sees an unlocked
    // entry of a live session and so never takes it for a crashed one.
    const QString stem = QDir(dir).filePath(
        QStringLiteral("%1-%2").arg(getpid()).arg(QUuid::createUuid().toString(QUuid::Id128)));
    lock->create(stem + QStringLiteral(".new"));
    shareLikeFolder(lock->fd(), dir);
    const QByteArray name = userName_.toUtf8();
    if (!lock->lockExclusive(0, 1) || ::write(lock->fd(), name.constData(), size_t(name.size())) < 0 ||
        !QFile::rename(stem + QStringLiteral(".new"), stem + QStringLiteral(".usr"))) {
        QFile::remove(stem + QStringLiteral(".new"));
        registrations_.erase(folder);
        throw Error(QStringLiteral("Cannot register this workstation in %1").arg(dir));
    }
    lock->renamed(stem + QStringLiteral(".usr"));
    r.lock = std::move(lock);
    users(folder); // drops the entries that killed sessions left behind
}

void Session::unregisterUser(const QString& databaseFolder) {
    const QString folder = QDir::cleanPath(QFileInfo(databaseFolder).absoluteFilePath());
    auto it = registrations_.find(folder);
    if (it == registrations_.end() || --it->second.opens > 0) return;
    if (it->second.lock) {
        const QString path = it->second.lock->path();
        it->second.lock.reset();
        QFile::remove(path);
    }
    registrations_.erase(it);
}

QStringList Session::users(const QString& databaseFolder) const {
    QStringList out;
    if (databaseFolder.isEmpty()) return out;
    QDir d(usersFolderOf(databaseFolder));
    for (const QFileInfo& fi : d.entryInfoList({QStringLiteral("*.usr")}, QDir::Files, QDir::Name)) {
        // Other people's entries are theirs: read only, never created or followed through a link.
        LockFile probe;
        if (!probe.openExisting(fi.absoluteFilePath())) continue;
        if (!probe.lockedByOther(0, 1)) {
            // Its session ended without unregistering; nobody holds it any more.
            probe.close();
            QFile::remove(fi.absoluteFilePath());
            continue;
        }
        char name[512];
        const ssize_t n = ::pread(probe.fd(), name, sizeof name, 0);
        if (n >= 0) out << QString::fromUtf8(name, int(n));
    }
    return out;
}

void Session::addPassword(const QString& password) {
    if (!passwords_.contains(password)) passwords_ << password;
}

bool Session::knowsPasswordHash(const QString& hash) const {
    for (const QString& p : passwords_)
        if (passwordHash(p) == hash) return true;
    return false;
}

QString Session::passwordHash(const QString& password) {
    return QString::fromLatin1(
        QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha256).toHex());
}

bool Session::askPassword() {
    return passwordHandler_ ? passwordHandler_(*this) : false;
}

} // namespace engine

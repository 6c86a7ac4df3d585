#include "engine/Session.h"

#include "engine/Error.h"
#include "engine/Files.h"

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
    if (registration_) {
        const QString path = registration_->path();
        registration_.reset();
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

void Session::addStandardAlias(const QString& name, const QString& path, const QString& driver) {
    if (driver.compare(QStringLiteral("Paradox"), Qt::CaseInsensitive) != 0 &&
        driver.compare(QStringLiteral("STANDARD"), Qt::CaseInsensitive) != 0)
        throw Error(QStringLiteral("Unknown database driver: %1").arg(driver));
    if (configuredAliases_.contains(name.toLower())) return;
    sessionAliases_.insert(name.toLower(), path);
}

QString Session::aliasPath(const QString& name) const {
    auto it = configuredAliases_.find(name.toLower());
    if (it != configuredAliases_.end()) return it.value();
    it = sessionAliases_.find(name.toLower());
    if (it != sessionAliases_.end()) return it.value();
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

void Session::registerUser(const QString& databaseFolder) {
    if (registration_) return;
    QString base = netDir_;
    if (base.isEmpty() || !QFileInfo(base).isDir() || !folderWritable(base)) {
        base = controlFolderOf(databaseFolder);
        ensureSharedFolder(base, databaseFolder);
    }
    const QString dir = QDir(base).filePath(QString::fromLatin1(kUsersFolder));
    if (!ensureSharedFolder(dir, base))
        throw Error(QStringLiteral("Cannot create the network control folder %1").arg(dir));
    auto lock = std::make_unique<LockFile>();
    // Locked under a name the listing ignores, then renamed: a listing never sees an unlocked
    // entry of a live session and so never takes it for a crashed one.
    const QString stem = QDir(dir).filePath(
        QStringLiteral("%1-%2").arg(getpid()).arg(QUuid::createUuid().toString(QUuid::Id128)));
    lock->create(stem + QStringLiteral(".new"));
    const QByteArray name = userName_.toUtf8();
    if (!lock->lockExclusive(0, 1) || ::write(lock->fd(), name.constData(), size_t(name.size())) < 0 ||
        !QFile::rename(stem + QStringLiteral(".new"), stem + QStringLiteral(".usr")))
        throw Error(QStringLiteral("Cannot register this workstation in %1").arg(dir));
    lock->renamed(stem + QStringLiteral(".usr"));
    controlDir_ = dir;
    registration_ = std::move(lock);
    users(); // drops the entries that killed sessions left behind
}

QStringList Session::users() const {
    QStringList out;
    if (controlDir_.isEmpty()) return out;
    QDir d(controlDir_);
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

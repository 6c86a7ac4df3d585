#pragma once

#include "engine/DateFormat.h"
#include "engine/LockFile.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace engine {

// The engine's session: aliases, the private and network control directories, the date format,
// the passwords of protected tables, and this workstation's entry in the list of users of each
// folder database it has open.
class Session {
public:
    // Reads aliases from the engine's configuration: the file named by VARDIMO_ENGINE_CONFIG, or
    // "vardimo-engine.ini" beside the executable, with a section [Aliases] of NAME=path lines.
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    static Session& instance();

    bool hasAlias(const QString& name) const;
    // Adds an alias for this session only; a configured alias of that name stays as it is.
    void addAlias(const QString& name, const QString& path);
    QString aliasPath(const QString& name) const; // throws when unknown
    // Whom a server that holds the logons itself is reached as: every server alias then connects
    // as that user's role with the password typed at logon, which lives only in this session's
    // memory. An empty id reaches the server as the alias says.
    void setServerLogon(const QString& userId, const QString& password);
    const QString& serverLogonUser() const { return serverLogonUser_; }

    void setPrivateDir(const QString& dir) { privateDir_ = dir; }
    const QString& privateDir() const { return privateDir_; }
    void setNetDir(const QString& dir) { netDir_ = dir; }
    const QString& netDir() const { return netDir_; }

    void setDateFormat(const DateFormat& f);

    // The engine's version as an integer (500 for 5.0); none when the store cannot be reached.
    std::optional<int> version() const;

    // The name this workstation is listed under; by default the login name.
    void setUserName(const QString& name) { userName_ = name; }
    const QString& userName() const { return userName_; }

    // Registers this session with a folder database, in its control folder: the list of users is
    // the database's, whichever program folder each workstation runs from. Called when a database
    // opens; each call is undone by one unregisterUser. A person who may only read the database
    // is not listed (nothing can be written there), but still sees the list.
    void registerUser(const QString& databaseFolder);
    void unregisterUser(const QString& databaseFolder);
    // The names of every running session registered with a folder database (by default the one
    // registered last); a crashed session has lost its lock and is not listed.
    QStringList users(const QString& databaseFolder) const;
    QStringList users() const { return users(lastFolder_); }

    // Passwords for protected tables. The handler is asked when a protected table is opened with
    // no matching password known; it may add one and answer true to have the open retried.
    void addPassword(const QString& password);
    bool knowsPasswordHash(const QString& hash) const;
    static QString passwordHash(const QString& password);
    void setPasswordHandler(std::function<bool(Session&)> handler) { passwordHandler_ = std::move(handler); }
    bool askPassword();

private:
    QHash<QString, QString> configuredAliases_;
    QHash<QString, QString> sessionAliases_;
    QString serverLogonUser_;
    QString serverLogonPassword_;
    QString privateDir_;
    QString netDir_;
    QString userName_;
    struct Registration {
        std::unique_ptr<LockFile> lock; // none where the database cannot be written
        int opens = 0;
    };
    std::map<QString, Registration> registrations_; // by database folder
    QString lastFolder_;
    QStringList passwords_;
    std::function<bool(Session&)> passwordHandler_;
};

} // namespace engine

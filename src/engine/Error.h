#pragma once

#include <QString>
#include <stdexcept>

namespace engine {

// The one failure type of the database engine. Its message is written for the person at the
// workstation: it names the file or the condition, and what to do about it where that is known.
// The kind lets the engine itself tell a lock held by another workstation from other failures
// (it waits and retries those); callers normally only show the message.
class Error : public std::runtime_error {
public:
    enum class Kind { General, Busy, TransactionLost };
    explicit Error(const QString& message, Kind kind = Kind::General)
        : std::runtime_error(message.toStdString()), message_(message), kind_(kind) {}
    const QString& message() const { return message_; }
    Kind kind() const { return kind_; }
    bool busy() const { return kind_ == Kind::Busy; }

    // Failures that every store and every part of the engine report in the same words.
    static Error notOpen() { return Error(QStringLiteral("The database is not open.")); }
    static Error noTable(const QString& fileName) {
        return Error(QStringLiteral("Table does not exist: %1").arg(fileName));
    }
    static QString lockedText(const QString& fileName) {
        return fileName.isEmpty()
                   ? QStringLiteral("The table is locked by another user. Try again in a moment.")
                   : QStringLiteral("Table is busy: %1 is locked by another user. Try again in a moment.")
                         .arg(fileName);
    }
    static QString recordLockedText() { return QStringLiteral("Record locked by another user."); }
    static QString readOnlyText(const QString& fileName) {
        return QStringLiteral("Table is read only: %1").arg(fileName);
    }
    static QString diskFullText() { return QStringLiteral("The disk holding the database is full."); }

private:
    QString message_;
    Kind kind_;
};

} // namespace engine

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

private:
    QString message_;
    Kind kind_;
};

} // namespace engine

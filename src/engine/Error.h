#pragma once

#include <QString>
#include <stdexcept>

namespace engine {

// The one failure type of the database engine. Its message is written for the person at the
// workstation: it names the file or the condition, and what to do about it where that is known.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

} // namespace engine

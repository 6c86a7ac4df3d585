#pragma once

#include <QDeadlineTimer>
#include <QThread>

namespace testing_support {

// Waits, up to a generous limit, for what another process or the server makes true on its own
// time (a server noticing a killed workstation's closed connection). The caller asserts.
template <typename F> bool eventually(F condition) {
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (condition()) return true;
        QThread::msleep(50);
    }
    return condition();
}

} // namespace testing_support

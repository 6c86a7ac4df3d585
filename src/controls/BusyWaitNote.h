#pragma once

#include "engine/BusyWait.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace controls {

// The visible side of a read that waits for a table another workstation writes: the busy cursor
// at once, and after a moment a small note "Waiting for <table> (held by <user>)…" with Cancel,
// painted while the wait lasts. Cancel gives the wait up; the read then fails with the engine's
// locked message. The note does not hold up the program in a loop of its own: the engine asks it
// between its tries. Meanwhile only the note takes input and paints, so that nothing else
// starts reading or writing in the middle of the read; the other windows paint again after it.
class BusyWaitNote : public QObject, public engine::BusyWait {
    Q_OBJECT
public:
    BusyWaitNote();
    ~BusyWaitNote() override;
    BusyWaitNote(const BusyWaitNote&) = delete;
    BusyWaitNote& operator=(const BusyWaitNote&) = delete;

    bool waiting(const QString& table, const QString& holder, qint64 waitedMs) override;
    void ended() override;

    // The note while it is shown (for tests and the hand checks); null otherwise.
    QWidget* note() const { return note_; }
    // The text of a note, as it is shown.
    static QString text(const QString& table, const QString& holder);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showNote();

    QPointer<QWidget> note_;
    QLabel* label_ = nullptr;
    bool started_ = false;
    bool cancelled_ = false;
    QElapsedTimer painted_;
};

} // namespace controls

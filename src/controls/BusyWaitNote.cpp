#include "controls/BusyWaitNote.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QWindow>

namespace controls {

namespace {
// A wait shorter than this is one commit of another workstation: the cursor says enough.
constexpr qint64 kCursorAfterMs = 100;
constexpr qint64 kNoteAfterMs = 700;

bool isInput(QEvent::Type t) {
    switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}
} // namespace

BusyWaitNote::BusyWaitNote() = default;

BusyWaitNote::~BusyWaitNote() {
    if (started_) BusyWaitNote::ended();
}

QString BusyWaitNote::text(const QString& table, const QString& holder) {
    return QStringLiteral("Waiting for %1 (held by %2)…")
        .arg(table, holder.isEmpty() ? QStringLiteral("another user") : holder);
}

bool BusyWaitNote::waiting(const QString& table, const QString& holder, qint64 waitedMs) {
    if (!started_) {
        if (waitedMs < kCursorAfterMs) return true;
        started_ = true;
        cancelled_ = false;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        qApp->installEventFilter(this);
    }
    if (waitedMs >= kNoteAfterMs) {
        if (!note_) showNote();
        label_->setText(text(table, holder));
    }
    // The engine calls between short sleeps; painting and the note's input go on at most every
    // 50 ms, so the read takes the table as soon as it is free.
    if (!painted_.isValid() || painted_.hasExpired(50)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        painted_.start();
    }
    return !cancelled_;
}

void BusyWaitNote::showNote() {
    QWidget* over = QApplication::activeWindow();
    auto* w = new QWidget(over, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    w->setObjectName(QStringLiteral("busyWaitNote"));
    w->setWindowTitle(QStringLiteral("Vardimo"));
    w->setAttribute(Qt::WA_DeleteOnClose);
    label_ = new QLabel(w);
    label_->setObjectName(QStringLiteral("waitLabel"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), w);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setCursor(Qt::ArrowCursor);
    connect(cancel, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(w);
    layout->addWidget(label_);
    layout->addLayout(buttons);
    note_ = w;
    w->adjustSize();
    w->setMinimumWidth(320);
    if (over) w->move(over->geometry().center() - QPoint(w->width() / 2, w->height() / 2));
    w->show();
    cancel->setFocus();
}

void BusyWaitNote::ended() {
    if (!started_) return;
    started_ = false;
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    if (note_) note_->close();
    note_ = nullptr;
    label_ = nullptr;
    painted_.invalidate();
    // What was kept from painting during the wait paints now.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) w->update();
}

bool BusyWaitNote::eventFilter(QObject* watched, QEvent* event) {
    // Paint and input reach the note alone: a screen that paints or acts would read the database
    // in the middle of the read that waits.
    const QEvent::Type t = event->type();
    if (!isInput(t) && t != QEvent::Paint && t != QEvent::UpdateRequest) return false;
    QWidget* w = qobject_cast<QWidget*>(watched);
    if (!w) {
        if (auto* window = qobject_cast<QWindow*>(watched))
            return isInput(t) && !(note_ && note_->windowHandle() == window);
        return false;
    }
    return !(note_ && (w == note_ || note_->isAncestorOf(w)));
}

} // namespace controls

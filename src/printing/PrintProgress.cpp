#include "printing/PrintProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace printing {

PrintProgress::PrintProgress(QWidget* parent, int total)
    : window_(std::make_unique<QProgressDialog>(QString(), QStringLiteral("Cancel"), 0, total, parent)) {
    window_->setWindowTitle(QStringLiteral("Printing"));
    window_->setWindowModality(Qt::ApplicationModal);
    window_->setMinimumDuration(0);
    window_->setAutoClose(false);
    window_->setAutoReset(false);
    window_->setMinimumWidth(360);
    window_->setLabelText(QStringLiteral("Preparing the pages..."));
    window_->show();
    // Exposed and painted before the first page is laid out, however long that takes.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    sincePaint_.start();
}

PrintProgress::~PrintProgress() = default;

bool PrintProgress::update(int done, const QString& text) {
    window_->setLabelText(text);
    // Painting and the Cancel button are served at most every 50 ms: more often would slow a
    // print of thousands of pages for nothing a person could see.
    if (sincePaint_.elapsed() >= 50 || done >= window_->maximum()) {
        window_->setValue(std::min(done, window_->maximum()));
        QCoreApplication::processEvents();
        sincePaint_.restart();
    }
    return !window_->wasCanceled();
}

} // namespace printing

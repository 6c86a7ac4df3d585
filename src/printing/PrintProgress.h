#pragma once

#include <QElapsedTimer>
#include <QString>
#include <memory>

class QProgressDialog;
class QWidget;

namespace printing {

// The window a long print or preview shows while it lays out its pages: how far it is, and a
// Cancel that stops it. It paints before the work starts and as the work goes on.
class PrintProgress {
public:
    PrintProgress(QWidget* parent, int total);
    ~PrintProgress();
    PrintProgress(const PrintProgress&) = delete;
    PrintProgress& operator=(const PrintProgress&) = delete;

    // Shows `done` of the total with `text`; false once Cancel was pressed.
    bool update(int done, const QString& text);
    QProgressDialog& window() { return *window_; }

private:
    std::unique_ptr<QProgressDialog> window_;
    QElapsedTimer sincePaint_;
};

} // namespace printing

#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace app {

// The small progress window used while the database is packed.
class MessageWindow : public QDialog {
    Q_OBJECT
public:
    explicit MessageWindow(QWidget* parent = nullptr);
    QLabel* messageLabel;
    QLabel* titleLabel;
    QProgressBar* busyBar;
    // Sets the status line and repaints at once.
    void setStatus(const QString& text);
};

} // namespace app

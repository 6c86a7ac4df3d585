#pragma once

#include <QDialog>

class QLabel;

namespace app {

// Tells that logins are disabled.
class DisabledWindow : public QDialog {
    Q_OBJECT
public:
    explicit DisabledWindow(QWidget* parent = nullptr);
    QLabel* messageLabel;
    QLabel* titleLabel;
    QLabel* adviceLabel;
};

} // namespace app

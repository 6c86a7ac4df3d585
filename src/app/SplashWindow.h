#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace app {

// The splash window shown while the program loads.
class SplashWindow : public QDialog {
    Q_OBJECT
public:
    explicit SplashWindow(QWidget* parent = nullptr);
    QLabel* messageLabel;
    QProgressBar* progressBar;
    QLabel* targetImage;
    QLabel* chartImage;
    QLabel* productName;
    QLabel* version;
};

} // namespace app

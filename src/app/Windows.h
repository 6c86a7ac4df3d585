#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// The splash window shown while the program loads.
class SplashWindow : public QDialog {
    Q_OBJECT
public:
    explicit SplashWindow(QWidget* parent = nullptr);
    QLabel* messageLabel;
    QProgressBar* progressBar;
    QLabel* targetImage;
    QLabel* chartImage;
    QLabel* ProductName;
    QLabel* Version;
};

// Tells that logins are disabled.
class DisabledWindow : public QDialog {
    Q_OBJECT
public:
    explicit DisabledWindow(QWidget* parent = nullptr);
    QLabel* messageLabel;
    QLabel* titleLabel;
    QLabel* adviceLabel;
};

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

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    QLabel* ProductName;
    QLabel* Version;
    QLabel* targetImage;
    QLabel* chartImage;
    QPushButton* OKButton;
};

extern SplashWindow* SplashForm;
extern bool ShowSplash;

bool SplashWanted(const QStringList& arguments);
void OpenSplash(int steps);
void StepSplash();
void CloseSplash();

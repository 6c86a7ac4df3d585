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
    QLabel* Label1;
    QProgressBar* Gauge1;
    QLabel* Image1;
    QLabel* Image2;
    QLabel* ProductName;
    QLabel* Version;
};

// Tells that logins are disabled.
class DisabledWindow : public QDialog {
    Q_OBJECT
public:
    explicit DisabledWindow(QWidget* parent = nullptr);
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
};

// The small progress window used while the database is packed.
class MessageWindow : public QDialog {
    Q_OBJECT
public:
    explicit MessageWindow(QWidget* parent = nullptr);
    QLabel* Label1;
    QLabel* Label2;
    QProgressBar* Animate1;
    // Sets the status line and repaints at once.
    void setStatus(const QString& text);
};

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Image1;
    QLabel* Image2;
    QPushButton* OKButton;
};

#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// The splash window shown while the program loads.
class TSplashForm : public QDialog {
    Q_OBJECT
public:
    explicit TSplashForm(QWidget* parent = nullptr);
    QLabel* Label1;
    QProgressBar* Gauge1;
    QLabel* Image1;
    QLabel* Image2;
    QLabel* ProductName;
    QLabel* Version;
};

// Tells that logins are disabled.
class TDisabledForm : public QDialog {
    Q_OBJECT
public:
    explicit TDisabledForm(QWidget* parent = nullptr);
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
};

// The small progress window used while the database is packed.
class TMessageForm : public QDialog {
    Q_OBJECT
public:
    explicit TMessageForm(QWidget* parent = nullptr);
    QLabel* Label1;
    QLabel* Label2;
    QProgressBar* Animate1;
    // Sets the status line and repaints at once.
    void setStatus(const QString& text);
};

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Image1;
    QLabel* Image2;
    QPushButton* OKButton;
};

extern TSplashForm* SplashForm;
extern bool ShowSplash;

bool SplashWanted(const QStringList& arguments);
void OpenSplash(int steps);
void StepSplash();
void CloseSplash();

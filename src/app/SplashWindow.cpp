#include "app/SplashWindow.h"

#include "app/Pictures.h"
#include "controls/Screen.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

SplashWindow* SplashForm = nullptr;
bool ShowSplash = true;

SplashWindow::SplashWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral("Vardimo"));
    auto* lay = new QVBoxLayout(this);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    app::productPanel(panel, 96, targetImage, chartImage, ProductName, Version);
    lay->addWidget(panel);
    messageLabel = new QLabel(QStringLiteral("Loading...."), this);
    lay->addWidget(messageLabel);
    progressBar = new QProgressBar(this);
    progressBar->setTextVisible(false);
    progressBar->setValue(0);
    progressBar->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: blue; }"));
    lay->addWidget(progressBar);
    app::centre(this);
}

bool SplashWanted(const QStringList& arguments) {
    for (int i = 1; i < arguments.size(); ++i) {
        const QString a = arguments[i].toUpper();
        if (a == QLatin1String("-S") || a == QLatin1String("/S")) return false;
    }
    return true;
}

void OpenSplash(int steps) {
    if (!ShowSplash) return;
    if (SplashForm) CloseSplash();
    SplashForm = new SplashWindow;
    if (steps > 0)
        SplashForm->progressBar->setMaximum(steps);
    else
        SplashForm->progressBar->hide();
    controls::showPainted(SplashForm);
}

void StepSplash() {
    if (!ShowSplash || !SplashForm || !SplashForm->progressBar->isVisible()) return;
    SplashForm->progressBar->setValue(SplashForm->progressBar->value() + 1);
    controls::paintNow(SplashForm);
}

void CloseSplash() {
    if (!ShowSplash || !SplashForm) return;
    SplashForm->hide();
    delete SplashForm;
    SplashForm = nullptr;
}

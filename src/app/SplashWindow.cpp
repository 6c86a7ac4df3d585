#include "app/SplashWindow.h"

#include "app/Pictures.h"
#include "controls/Screen.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace app {

SplashWindow::SplashWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral("Vardimo"));
    auto* lay = new QVBoxLayout(this);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    app::productPanel(panel, 96, targetImage, chartImage, productName, version);
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

} // namespace app

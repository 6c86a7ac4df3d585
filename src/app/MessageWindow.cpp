#include "app/MessageWindow.h"

#include "app/Pictures.h"
#include "controls/Screen.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace app {

MessageWindow::MessageWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vardimo"));
    auto* lay = new QVBoxLayout(this);
    titleLabel = app::productLabel(QStringLiteral("Vardimo"), 28, this);
    busyBar = new QProgressBar(this);
    busyBar->setRange(0, 0); // the busy animation
    busyBar->setTextVisible(false);
    messageLabel = new QLabel(QString(), this);
    messageLabel->setAlignment(Qt::AlignCenter);
    messageLabel->setMinimumWidth(280);
    lay->addWidget(titleLabel);
    lay->addWidget(busyBar);
    lay->addWidget(messageLabel);
    app::centre(this);
}

void MessageWindow::setStatus(const QString& text) {
    messageLabel->setText(text);
    controls::paintNow(this);
}

} // namespace app

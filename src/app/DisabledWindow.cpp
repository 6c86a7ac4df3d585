#include "app/DisabledWindow.h"

#include "app/Pictures.h"

#include <QLabel>
#include <QVBoxLayout>

namespace app {

DisabledWindow::DisabledWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vardimo"));
    auto* lay = new QVBoxLayout(this);
    titleLabel = app::productLabel(QStringLiteral("Vardimo"), 28, this);
    messageLabel = new QLabel(QStringLiteral("Logins Disabled"), this);
    adviceLabel = new QLabel(QStringLiteral("Contact System Administrator"), this);
    QFont f = messageLabel->font();
    f.setPointSize(f.pointSize() + 4);
    f.setBold(true);
    messageLabel->setFont(f);
    for (QLabel* l : {messageLabel, adviceLabel})
        l->setAlignment(Qt::AlignCenter);
    lay->addWidget(titleLabel);
    lay->addWidget(messageLabel);
    lay->addWidget(adviceLabel);
    lay->setContentsMargins(30, 20, 30, 20);
    app::centre(this);
}

} // namespace app

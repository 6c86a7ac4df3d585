#include "app/AboutDialog.h"

#include "app/Pictures.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vardimo"));
    setModal(true);
    auto* lay = new QVBoxLayout(this);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    QVBoxLayout* texts = app::productPanel(panel, 80, targetImage, chartImage, productName, version);
    auto* purpose = new QLabel(QStringLiteral("Yearly goals and strategies"), panel);
    purpose->setAlignment(Qt::AlignCenter);
    texts->addWidget(purpose);
    lay->addWidget(panel);
    okButton = new QPushButton(QStringLiteral("&OK"), this);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addStretch();
    lay->addLayout(buttons);
}

} // namespace app

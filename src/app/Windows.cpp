#include "app/Windows.h"

#include "app/Pictures.h"
#include "controls/Screen.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {
constexpr int kProductNameWidth = 273;

using app::productLabel;

QLabel* picture(const QPixmap& pm, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setPixmap(pm);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

// The panel the splash and About windows share: two pictures around the product name and
// version; returns the column of texts, to which a window may add more.
QVBoxLayout* productPanel(QFrame* panel, int pictureSize, QLabel*& image1, QLabel*& image2, QLabel*& name,
                          QLabel*& version) {
    auto* pl = new QHBoxLayout(panel);
    image1 = picture(app::targetPicture(pictureSize), panel);
    image2 = picture(app::chartPicture(pictureSize), panel);
    auto* texts = new QVBoxLayout;
    name = productLabel(QStringLiteral("Vardimo"), 36, panel);
    app::fitLabel(name, kProductNameWidth);
    version = new QLabel(QStringLiteral("Version 1.1"), panel);
    version->setAlignment(Qt::AlignCenter);
    texts->addWidget(name);
    texts->addWidget(version);
    pl->addWidget(image1);
    pl->addLayout(texts, 1);
    pl->addWidget(image2);
    return texts;
}

void centre(QWidget* w) {
    w->adjustSize();
    if (QScreen* s = QGuiApplication::primaryScreen())
        w->move(s->availableGeometry().center() - w->rect().center());
}
} // namespace

SplashWindow::SplashWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral("Vardimo"));
    auto* lay = new QVBoxLayout(this);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    productPanel(panel, 96, Image1, Image2, ProductName, Version);
    lay->addWidget(panel);
    Label1 = new QLabel(QStringLiteral("Loading...."), this);
    lay->addWidget(Label1);
    Gauge1 = new QProgressBar(this);
    Gauge1->setTextVisible(false);
    Gauge1->setValue(0);
    Gauge1->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: blue; }"));
    lay->addWidget(Gauge1);
    centre(this);
}

DisabledWindow::DisabledWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vardimo"));
    auto* lay = new QVBoxLayout(this);
    Label2 = productLabel(QStringLiteral("Vardimo"), 28, this);
    Label1 = new QLabel(QStringLiteral("Logins Disabled"), this);
    Label3 = new QLabel(QStringLiteral("Contact System Administrator"), this);
    QFont f = Label1->font();
    f.setPointSize(f.pointSize() + 4);
    f.setBold(true);
    Label1->setFont(f);
    for (QLabel* l : {Label1, Label3})
        l->setAlignment(Qt::AlignCenter);
    lay->addWidget(Label2);
    lay->addWidget(Label1);
    lay->addWidget(Label3);
    lay->setContentsMargins(30, 20, 30, 20);
    centre(this);
}

MessageWindow::MessageWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vardimo"));
    auto* lay = new QVBoxLayout(this);
    Label2 = productLabel(QStringLiteral("Vardimo"), 28, this);
    Animate1 = new QProgressBar(this);
    Animate1->setRange(0, 0); // the busy animation
    Animate1->setTextVisible(false);
    Label1 = new QLabel(QString(), this);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setMinimumWidth(280);
    lay->addWidget(Label2);
    lay->addWidget(Animate1);
    lay->addWidget(Label1);
    centre(this);
}

void MessageWindow::setStatus(const QString& text) {
    Label1->setText(text);
    controls::paintNow(this);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vardimo"));
    setModal(true);
    auto* lay = new QVBoxLayout(this);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    QVBoxLayout* texts = productPanel(panel, 80, Image1, Image2, ProductName, Version);
    auto* purpose = new QLabel(QStringLiteral("Yearly goals and strategies"), panel);
    purpose->setAlignment(Qt::AlignCenter);
    texts->addWidget(purpose);
    lay->addWidget(panel);
    OKButton = new QPushButton(QStringLiteral("&OK"), this);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addStretch();
    lay->addLayout(buttons);
}

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

SplashWindow* SplashForm = nullptr;
bool ShowSplash = true;

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
    productPanel(panel, 96, targetImage, chartImage, ProductName, Version);
    lay->addWidget(panel);
    messageLabel = new QLabel(QStringLiteral("Loading...."), this);
    lay->addWidget(messageLabel);
    progressBar = new QProgressBar(this);
    progressBar->setTextVisible(false);
    progressBar->setValue(0);
    progressBar->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: blue; }"));
    lay->addWidget(progressBar);
    centre(this);
}

DisabledWindow::DisabledWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vardimo"));
    auto* lay = new QVBoxLayout(this);
    titleLabel = productLabel(QStringLiteral("Vardimo"), 28, this);
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
    centre(this);
}

MessageWindow::MessageWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vardimo"));
    auto* lay = new QVBoxLayout(this);
    titleLabel = productLabel(QStringLiteral("Vardimo"), 28, this);
    busyBar = new QProgressBar(this);
    busyBar->setRange(0, 0); // the busy animation
    busyBar->setTextVisible(false);
    messageLabel = new QLabel(QString(), this);
    messageLabel->setAlignment(Qt::AlignCenter);
    messageLabel->setMinimumWidth(280);
    lay->addWidget(titleLabel);
    lay->addWidget(busyBar);
    lay->addWidget(messageLabel);
    centre(this);
}

void MessageWindow::setStatus(const QString& text) {
    messageLabel->setText(text);
    controls::paintNow(this);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vardimo"));
    setModal(true);
    auto* lay = new QVBoxLayout(this);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    QVBoxLayout* texts = productPanel(panel, 80, targetImage, chartImage, ProductName, Version);
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

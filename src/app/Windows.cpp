#include "app/Windows.h"

#include "app/Pictures.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TSplashForm* SplashForm = nullptr;
bool ShowSplash = true;

namespace {
constexpr int kProductNameWidth = 273;

QLabel* bigLabel(const QString& text, int points, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QFont f(QStringLiteral("Times New Roman"), points, QFont::Bold);
    f.setItalic(true);
    l->setFont(f);
    l->setAlignment(Qt::AlignCenter);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, QColor(0x80, 0x00, 0x00));
    l->setPalette(p);
    return l;
}

QLabel* picture(const QPixmap& pm, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setPixmap(pm);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

void centre(QWidget* w) {
    w->adjustSize();
    if (QScreen* s = QGuiApplication::primaryScreen())
        w->move(s->availableGeometry().center() - w->rect().center());
}
} // namespace

TSplashForm::TSplashForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral("Vardimo"));
    auto* lay = new QVBoxLayout(this);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    auto* pl = new QHBoxLayout(panel);
    Image1 = picture(app::targetPicture(96), panel);
    Image2 = picture(app::chartPicture(96), panel);
    auto* texts = new QVBoxLayout;
    ProductName = bigLabel(QStringLiteral("Vardimo"), 36, panel);
    app::fitLabel(ProductName, kProductNameWidth);
    Version = new QLabel(QStringLiteral("Version 1.1"), panel);
    Version->setAlignment(Qt::AlignCenter);
    texts->addWidget(ProductName);
    texts->addWidget(Version);
    pl->addWidget(Image1);
    pl->addLayout(texts, 1);
    pl->addWidget(Image2);
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

TDisabledForm::TDisabledForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vardimo"));
    auto* lay = new QVBoxLayout(this);
    Label2 = bigLabel(QStringLiteral("Vardimo"), 28, this);
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

TMessageForm::TMessageForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vardimo"));
    auto* lay = new QVBoxLayout(this);
    Label2 = bigLabel(QStringLiteral("Vardimo"), 28, this);
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

void TMessageForm::setStatus(const QString& text) {
    Label1->setText(text);
    repaint();
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vardimo"));
    setModal(true);
    auto* lay = new QVBoxLayout(this);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    auto* pl = new QHBoxLayout(panel);
    Image1 = picture(app::targetPicture(80), panel);
    Image2 = picture(app::chartPicture(80), panel);
    auto* texts = new QVBoxLayout;
    ProductName = bigLabel(QStringLiteral("Vardimo"), 36, panel);
    app::fitLabel(ProductName, kProductNameWidth);
    Version = new QLabel(QStringLiteral("Version 1.1"), panel);
    Version->setAlignment(Qt::AlignCenter);
    auto* purpose = new QLabel(QStringLiteral("Yearly goals and strategies"), panel);
    purpose->setAlignment(Qt::AlignCenter);
    texts->addWidget(ProductName);
    texts->addWidget(Version);
    texts->addWidget(purpose);
    pl->addWidget(Image1);
    pl->addLayout(texts, 1);
    pl->addWidget(Image2);
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
        if (a == QLatin1String("-S") || a == QLatin1String("/S"))
            return false;
    }
    return true;
}

void OpenSplash(int steps) {
    if (!ShowSplash)
        return;
    if (SplashForm)
        CloseSplash();
    SplashForm = new TSplashForm;
    if (steps > 0)
        SplashForm->Gauge1->setMaximum(steps);
    else
        SplashForm->Gauge1->hide();
    SplashForm->show();
    SplashForm->repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void StepSplash() {
    if (!ShowSplash || !SplashForm || !SplashForm->Gauge1->isVisible())
        return;
    SplashForm->Gauge1->setValue(SplashForm->Gauge1->value() + 1);
    SplashForm->repaint();
}

void CloseSplash() {
    if (!ShowSplash || !SplashForm)
        return;
    SplashForm->hide();
    delete SplashForm;
    SplashForm = nullptr;
}

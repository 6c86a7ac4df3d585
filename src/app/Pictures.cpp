#include "app/Pictures.h"

#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

namespace app {

namespace {
constexpr int kProductNameWidth = 273;

QLabel* picture(const QPixmap& pm, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setPixmap(pm);
    l->setAlignment(Qt::AlignCenter);
    return l;
}
} // namespace

QPixmap targetPicture(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor rings[] = {QColor(0xB0, 0x1E, 0x23), Qt::white, QColor(0xB0, 0x1E, 0x23), Qt::white,
                            QColor(0xB0, 0x1E, 0x23)};
    const QPointF c(size * 0.45, size * 0.55);
    for (int i = 0; i < 5; ++i) {
        const double r = size * 0.42 * (5 - i) / 5.0;
        p.setPen(QPen(QColor(0x60, 0x10, 0x10), 1));
        p.setBrush(rings[i]);
        p.drawEllipse(c, r, r);
    }
    p.setPen(QPen(QColor(0x20, 0x30, 0x60), size / 24.0, Qt::SolidLine, Qt::RoundCap));
    const QPointF tail(size * 0.95, size * 0.08);
    p.drawLine(tail, c);
    p.setBrush(QColor(0x20, 0x30, 0x60));
    QPainterPath fletch;
    fletch.moveTo(tail);
    fletch.lineTo(tail + QPointF(-size * 0.16, size * 0.02));
    fletch.lineTo(tail + QPointF(-size * 0.06, size * 0.08));
    fletch.closeSubpath();
    p.drawPath(fletch);
    return pm;
}

QPixmap chartPicture(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::gray, 1));
    p.drawLine(size / 8, size * 7 / 8, size * 7 / 8, size * 7 / 8);
    p.drawLine(size / 8, size / 8, size / 8, size * 7 / 8);
    const QColor bars[] = {QColor(0x2E, 0x5C, 0x9A), QColor(0x3C, 0x7D, 0xC4), QColor(0x4F, 0x9B, 0xE0),
                           QColor(0x2A, 0x9D, 0x5C)};
    for (int i = 0; i < 4; ++i) {
        const int w = size / 8, x = size / 8 + w / 2 + i * (w + w / 2);
        const int h = size * (2 + i * 1.5) / 10;
        p.fillRect(x, size * 7 / 8 - h, w, h, bars[i]);
    }
    return pm;
}

QLabel* productLabel(const QString& text, int points, QWidget* parent) {
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

void fitLabel(QLabel* label, int maxWidth) {
    QFont f = label->font();
    while (QFontMetrics(f).horizontalAdvance(label->text()) > maxWidth && f.pointSize() > 1)
        f.setPointSize(f.pointSize() - 1);
    label->setFont(f);
}

QVBoxLayout* productPanel(QFrame* panel, int pictureSize, QLabel*& image1, QLabel*& image2, QLabel*& name,
                          QLabel*& version) {
    auto* pl = new QHBoxLayout(panel);
    image1 = picture(targetPicture(pictureSize), panel);
    image2 = picture(chartPicture(pictureSize), panel);
    auto* texts = new QVBoxLayout;
    name = productLabel(QStringLiteral("Vardimo"), 36, panel);
    fitLabel(name, kProductNameWidth);
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

} // namespace app

#include "controls/Screen.h"

#include "controls/Desktop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QThread>
#include <QWindow>

namespace controls {

void paintReadOnly(QWidget* w, bool readOnly) {
    QPalette p = w->palette();
    const QPalette app;
    p.setColor(QPalette::Base, readOnly ? app.color(QPalette::Button) : app.color(QPalette::Base));
    w->setPalette(p);
}

void setControlEnabled(QWidget* w, bool enabled) {
    w->setEnabled(enabled);
    paintReadOnly(w, !enabled);
}

Screen::Screen(Desktop& desktop, QWidget* parent) : QDialog(parent), desktop_(desktop) {
    desktop_.attach(this);
    // Before any box of the screen reads its list, and before the screen reads the current row
    // of a list's table (the default goal type of the strategy list, of a new goal).
    desktop_.prepareScreen();
    helpButton = new QPushButton(QStringLiteral("&Help"), this);
    helpButton->setAutoDefault(false);
    helpButton->setVisible(desktop_.helpExists());
    connect(helpButton, &QPushButton::clicked, this, [this] { desktop_.openHelp(this); });
}

bool Screen::event(QEvent* e) {
    const bool r = QDialog::event(e);
    if (e->type() == QEvent::WindowActivate) emit activated();
    return r;
}

QPushButton* button(const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    return b;
}

QHBoxLayout* buttonBar(QPushButton* help, std::initializer_list<QPushButton*> buttons) {
    auto* bar = new QHBoxLayout;
    bar->addWidget(help);
    bar->addStretch();
    for (QPushButton* b : buttons)
        bar->addWidget(b);
    return bar;
}

QHBoxLayout* acceptBar(QWidget* dialog, const QString& acceptCaption, QPushButton*& accept,
                       QPushButton*& cancel) {
    accept = new QPushButton(acceptCaption, dialog);
    accept->setDefault(true);
    cancel = button(QStringLiteral("Cancel"), dialog);
    auto* bar = new QHBoxLayout;
    bar->addStretch();
    bar->addWidget(accept);
    bar->addWidget(cancel);
    return bar;
}

void addGridRow(QGridLayout* grid, int row, QLabel* label, QWidget* field, Qt::Alignment labelAlignment) {
    grid->addWidget(label, row, 0, labelAlignment);
    grid->addWidget(field, row, 1);
}

void addGridRow(QGridLayout* grid, int row, QLabel* label, QLayout* field) {
    grid->addWidget(label, row, 0);
    grid->addLayout(field, row, 1);
}

QHBoxLayout* lineOf(std::initializer_list<QWidget*> widgets) {
    auto* line = new QHBoxLayout;
    for (QWidget* w : widgets)
        line->addWidget(w);
    line->addStretch();
    return line;
}

void paintNow(QWidget* window) {
    if (!window || !window->isVisible()) return;
    // Pending layout and paint work (also of windows uncovered meanwhile) is done first.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    window->repaint();
    QGuiApplication::sync();
}

void showPainted(QWidget* window) {
    window->show();
    window->raise();
    QElapsedTimer waited;
    waited.start();
    auto exposed = [window] { return window->windowHandle() && window->windowHandle()->isExposed(); };
    while (!exposed() && waited.elapsed() < 2000) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (!exposed()) QThread::msleep(5);
    }
    paintNow(window);
}

} // namespace controls

#pragma once

#include <QDialog>
#include <initializer_list>

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLayout;
class QPushButton;
class QWidget;

namespace controls {

class Desktop;

// Enables or disables a control and paints it: window colour when enabled, button face (grey)
// when disabled or read-only.
void setControlEnabled(QWidget* w, bool enabled);
void paintReadOnly(QWidget* w, bool readOnly);

// The base of every screen: a dialog with a Help button that shows only when the desktop it is
// shown on has help (decided when the screen is made). Before it is built, the desktop's
// preparation runs: the lookup lists a screen offers must show the rows stored now, also those
// other workstations changed meanwhile; a failure there is the screen's, which does not open.
class Screen : public QDialog {
    Q_OBJECT
public:
    explicit Screen(Desktop& desktop, QWidget* parent = nullptr);
    QPushButton* helpButton;

    // Where the screen's messages, dialogs and the windows it opens are shown.
    Desktop& desktop() const { return desktop_; }

signals:
    void activated(); // on first showing, when a window it opened closes, when switched back to

protected:
    bool event(QEvent* e) override;

private:
    Desktop& desktop_;
};

// A push button that does not act on Enter unless it is made the default one.
QPushButton* button(const QString& caption, QWidget* parent);

// The bar under a screen: Help alone at the left, the screen's own buttons together at the right.
// Only lays out buttons already made, so that the focus chain keeps the order they were made in.
QHBoxLayout* buttonBar(QPushButton* help, std::initializer_list<QPushButton*> buttons);

// The bar under a small dialog: its default button (Enter presses it) and Cancel at the right.
QHBoxLayout* acceptBar(QWidget* dialog, const QString& acceptCaption, QPushButton*& accept,
                       QPushButton*& cancel);

// A caption in the first column of a form grid and what it captions in the second.
void addGridRow(QGridLayout* grid, int row, QLabel* label, QWidget* field, Qt::Alignment labelAlignment = {});
void addGridRow(QGridLayout* grid, int row, QLabel* label, QLayout* field);

// Several controls on one line of a form, the line's free room left at its end.
QHBoxLayout* lineOf(std::initializer_list<QWidget*> widgets);

// Shows a window that blocking work follows and returns once it is on the screen: waits, for
// at most two seconds, until the window system has exposed it, then paints it.
void showPainted(QWidget* window);
// Paints a shown window at once, after its texts changed, and hands the pixels to the window
// system, so that they are seen although no event loop runs until the next change.
void paintNow(QWidget* window);

} // namespace controls

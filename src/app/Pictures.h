#pragma once

#include <QPixmap>

class QFrame;
class QLabel;
class QVBoxLayout;
class QWidget;

namespace app {

// The program's pictures, drawn rather than loaded: a target with an arrow, and a rising chart.
QPixmap targetPicture(int size);
QPixmap chartPicture(int size);

// A label in the product's large type: italic bold serif, dark red, centred.
QLabel* productLabel(const QString& text, int points, QWidget* parent);

// Lowers a label's font size while the pixel width of its text exceeds the given width.
void fitLabel(QLabel* label, int maxWidth);

// The panel the splash and About windows share: two pictures around the product name and
// version; returns the column of texts, to which a window may add more.
QVBoxLayout* productPanel(QFrame* panel, int pictureSize, QLabel*& image1, QLabel*& image2, QLabel*& name,
                          QLabel*& version);

// Sizes a window to its contents and puts it in the middle of the primary screen.
void centre(QWidget* w);

} // namespace app

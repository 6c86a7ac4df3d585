#pragma once

#include <QPixmap>

class QLabel;
class QWidget;

namespace app {

// The program's pictures, drawn rather than loaded: a target with an arrow, and a rising chart.
QPixmap targetPicture(int size);
QPixmap chartPicture(int size);

// A label in the product's large type: italic bold serif, dark red, centred.
QLabel* productLabel(const QString& text, int points, QWidget* parent);

// Lowers a label's font size while the pixel width of its text exceeds the given width.
void fitLabel(QLabel* label, int maxWidth);

} // namespace app

#pragma once

#include <QPixmap>

class QLabel;

namespace app {

// The program's pictures, drawn rather than loaded: a target with an arrow, and a rising chart.
QPixmap targetPicture(int size);
QPixmap chartPicture(int size);

// Lowers a label's font size while the pixel width of its text exceeds the given width.
void fitLabel(QLabel* label, int maxWidth);

} // namespace app

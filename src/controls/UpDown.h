#pragma once

#include <QSpinBox>

namespace controls {

// Up and down arrows without a text box; "clicked" fires when the person presses an arrow,
// not when the position is set by code.
class UpDown : public QSpinBox {
    Q_OBJECT
public:
    UpDown(int minimum, int maximum, QWidget* parent = nullptr);
    int position() const { return value(); }
    void setPosition(int p);
    void stepBy(int steps) override;

signals:
    void clicked();
};

} // namespace controls

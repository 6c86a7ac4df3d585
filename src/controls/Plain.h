#pragma once

#include <QButtonGroup>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QGroupBox>
#include <QSpinBox>
#include <QStringList>

namespace controls {

// A spin box with a range; its change event fires on every change, also one made by code.
class SpinBox : public QSpinBox {
    Q_OBJECT
public:
    SpinBox(int minimum, int maximum, QWidget* parent = nullptr);
};

// A date picker showing dates as "mm/dd/yyyy", with a calendar to drop down.
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);
};

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

class MonthCalendar : public QCalendarWidget {
    Q_OBJECT
public:
    explicit MonthCalendar(QWidget* parent = nullptr);
};

// A framed group of radio buttons with the index of the chosen one (-1 for none).
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);
    int itemIndex() const;
    void setItemIndex(int index);

signals:
    void clicked(int index);

private:
    QButtonGroup* group_;
};

} // namespace controls

#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

namespace controls {

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

#pragma once

#include "controls/FieldLink.h"

#include <QCheckBox>

namespace controls {

// A check box bound to a logical field; stores true and false.
class FieldCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit FieldCheckBox(const QString& caption, QWidget* parent = nullptr);
    void bind(engine::DataSource* source, const QString& field);

private:
    void refresh();
    FieldLink link_{this};
    bool updating_ = false;
};

} // namespace controls

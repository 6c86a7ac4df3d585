#pragma once

#include "controls/FieldLink.h"

#include <QLineEdit>

namespace controls {

// A single-line edit bound to a field; typing writes the field at once. A text field takes at
// most its declared width. A number field is written only when the whole text is a number (in
// the range, when one is set); leaving the box with any other text refuses it and shows the
// field's value again.
class FieldEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit FieldEdit(QWidget* parent = nullptr);
    void bind(engine::DataSource* source, const QString& field);
    const FieldLink& link() const { return link_; }
    void setDataReadOnly(bool ro);
    void setRange(qint64 minimum, qint64 maximum);

signals:
    void changed(); // whenever the text shown changes, also when another row becomes current

private:
    void typed(const QString& text);
    void refresh();
    // The value the text stands for; throws the engine's error when it is none.
    QVariant accepted(const QString& text) const;
    FieldLink link_{this};
    QString shown_;
    bool dataReadOnly_ = false;
    bool pending_ = false; // typed text not (yet) a value
    bool ranged_ = false;
    qint64 min_ = 0, max_ = 0;
};

} // namespace controls

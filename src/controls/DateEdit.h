#pragma once

#include "controls/FieldLink.h"

#include <QLineEdit>

namespace controls {

// A box bound to a date field, typed as the short date format. Typing starts editing the row;
// the field is written only when the whole text is a date (or empty, which clears it), when
// the box is left or the text is committed. A text that is no date is refused with an error;
// it stays in the box, selected and with the focus, to be corrected.
class DBDateEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBDateEdit(QWidget* parent = nullptr);
    void bind(engine::DataSource* source, const QString& field);
    const FieldLink& link() const { return link_; }
    void setDataReadOnly(bool ro);
    // Writes what was typed; throws engine::Error for a text that is no date.
    void commit();

protected:
    void focusOutEvent(QFocusEvent* e) override;

private:
    void refresh();
    FieldLink link_{this};
    bool typing_ = false;
    bool dataReadOnly_ = false;
};

} // namespace controls

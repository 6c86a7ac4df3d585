#pragma once

#include "controls/FieldLink.h"

#include <QPlainTextEdit>

namespace controls {

class FieldMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit FieldMemo(QWidget* parent = nullptr);
    void bind(engine::DataSource* source, const QString& field);
    const FieldLink& link() const { return link_; }

private:
    void refresh();
    FieldLink link_{this};
    int width_ = 0;
    bool updating_ = false;
};

} // namespace controls

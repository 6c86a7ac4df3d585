#pragma once

#include "controls/FieldLink.h"

#include <QComboBox>
#include <functional>

class QShowEvent;
class QWheelEvent;

namespace controls {

class LookupListModel;

// A drop-down whose entries come from a list source (key field, list field). Bound, it shows
// and writes a field of its data source; unbound, it holds a key value of its own. Boxes over
// the same list share its entries, which are read again only when the list's rows change. The
// value changes only by a deliberate pick: a wheel turn over a box without focus scrolls on.
class LookupComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit LookupComboBox(QWidget* parent = nullptr);
    void setList(engine::DataSource* listSource, const QString& keyField, const QString& listField);
    void bind(engine::DataSource* source, const QString& field);
    QVariant keyValue() const;
    void setKeyValue(const QVariant& key);
    // Reads the list again for every box that shows it (its rows changed without notice).
    void reloadList();
    // What the box shows, greyed and not offered for picking, for a key that is not in its list
    // (a user the person may not see); without it such a box looks as empty as one with no key.
    void setUnlistedText(std::function<QString(const QVariant& key)> text);
    // As QComboBox sizes itself to its widest entry, but from the widths the list keeps: a plain
    // QComboBox measures every entry again for each box and each hint (thousands of users).
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void closeUp(); // after the user picked an entry

protected:
    void wheelEvent(QWheelEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void refresh();
    bool sizedFromList() const;
    QSize contentsHint() const;
    FieldLink link_{this};
    LookupListModel* list_ = nullptr;
    QVariant unboundKey_;
    std::function<QString(const QVariant&)> unlistedText_;
    bool updating_ = false;
    bool shownOnce_ = false;
    // Kept, and dropped, when QComboBox keeps and drops its own.
    mutable QSize hint_, minimumHint_;
};

} // namespace controls

#include "controls/DateEdit.h"

#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "engine/DateFormat.h"
#include "engine/Error.h"

#include <QRegularExpressionValidator>

namespace controls {

DBDateEdit::DBDateEdit(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(10);
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9/]{0,10}")), this));
    connect(this, &QLineEdit::textEdited, this, handler([this] {
                if (dataReadOnly_ || typing_ || !link_.active()) return;
                const QString before = shown_;
                typing_ = true; // what is typed stays while the row is read afresh for editing
                try {
                    if (!link_.dataSet()->isEditing()) link_.dataSet()->edit();
                } catch (...) {
                    typing_ = false;
                    refresh();
                    throw;
                }
                // Typing over a date that another workstation has changed since it was shown
                // would overwrite that change unseen: the stored date is shown first.
                if (link_.text() != before) {
                    typing_ = false;
                    refresh();
                    messageBox(QStringLiteral("This record was changed by another user. Its stored date "
                                              "is shown; please type your change again."),
                               Icon::Warning, Buttons::Ok);
                }
            }));
    connect(this, &QLineEdit::editingFinished, this, [this] { guarded([this] { commit(); }); });
}

void DBDateEdit::bind(engine::DataSource* source, const QString& field) {
    link_.set(source, field);
    connect(source, &engine::DataSource::changed, this, [this] {
        engine::DataSet* ds = link_.dataSet();
        if (!ds || !ds->isEditing()) typing_ = false; // a stored or dropped row ends the typing
        guarded([this] { refresh(); });
    });
    connect(source, &engine::DataSource::fieldChanged, this, [this](const QString& name) {
        if (name.compare(link_.field(), Qt::CaseInsensitive) != 0) return;
        typing_ = false; // written from elsewhere (a date button, Reset): that value is shown
        guarded([this] { refresh(); });
    });
    refresh();
}

void DBDateEdit::setDataReadOnly(bool ro) {
    dataReadOnly_ = ro;
    setReadOnly(ro);
}

void DBDateEdit::commit() {
    if (!typing_) return;
    typing_ = false;
    const QString t = text().trimmed();
    if (!link_.active()) return;
    if (t.isEmpty()) {
        link_.write(QVariant());
        refresh();
        return;
    }
    const QDate d = engine::parseDate(t);
    // Only a full year is taken: "1/2/3" is no date a person means.
    const QStringList parts = t.split(engine::dateFormat().separator);
    if (!d.isValid() || parts.size() != 3 || parts[2].size() != 4) {
        refresh();
        throw engine::Error(QStringLiteral("'%1' is not a valid date.").arg(t));
    }
    link_.write(d);
    refresh();
}

void DBDateEdit::refresh() {
    if (typing_) return;
    shown_ = link_.text();
    if (shown_ != text()) setText(shown_);
}

} // namespace controls

#include "controls/DateEdit.h"

#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "engine/DateFormat.h"
#include "engine/Error.h"

#include <QFocusEvent>
#include <QRegularExpressionValidator>

namespace controls {

DBDateEdit::DBDateEdit(QWidget* parent) : QLineEdit(parent) {
    // Room for a year typed with too many digits, so that it is refused rather than cut short.
    setMaxLength(12);
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9/]{0,12}")), this));
    connect(this, &QLineEdit::textEdited, this, handler(this, [this] {
                if (dataReadOnly_ || typing_ || !link_.active()) return;
                typing_ = true; // what is typed stays while the row is read afresh for editing
                const auto showStored = [this] {
                    typing_ = false;
                    refresh();
                };
                if (!link_.beginTyped(showStored)) showStored();
            }));
    connect(this, &QLineEdit::returnPressed, this, [this] { guarded(this, [this] { commit(); }); });
}

void DBDateEdit::focusOutEvent(QFocusEvent* e) {
    QLineEdit::focusOutEvent(e);
    // Only the person leaving the box commits: a window taking the focus (a message box, its
    // own refusal's among them, or another program) leaves the typing pending.
    if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason) return;
    guarded(this, [this] { commit(); });
}

void DBDateEdit::bind(engine::DataSource* source, const QString& field) {
    link_.set(source, field);
    connect(source, &engine::DataSource::changed, this, [this] {
        if (link_.typing()) return; // the edit the typing began reads the row afresh
        engine::DataSet* ds = link_.dataSet();
        if (!ds || !ds->isEditing()) typing_ = false; // a stored or dropped row ends the typing
        guarded(this, [this] { refresh(); });
    });
    connect(source, &engine::DataSource::fieldChanged, this, [this](const QString& name) {
        if (name.compare(link_.field(), Qt::CaseInsensitive) != 0) return;
        typing_ = false; // written from elsewhere (a date button, Reset): that value is shown
        guarded(this, [this] { refresh(); });
    });
    refresh();
}

void DBDateEdit::setDataReadOnly(bool ro) {
    dataReadOnly_ = ro;
    setReadOnly(ro);
}

void DBDateEdit::commit() {
    if (!typing_) return;
    const QString t = text().trimmed();
    if (!link_.active()) {
        typing_ = false;
        return;
    }
    QVariant value;
    if (!t.isEmpty()) {
        const QDate d = engine::parseDate(t);
        // Only a full year is taken: "1/2/3" is no date a person means.
        const QStringList parts = t.split(engine::dateFormat().separator);
        if (!d.isValid() || parts.size() != 3 || parts[2].size() != 4) {
            // The typing stays, selected, for the person to correct: the box may already have
            // been left, and keys meant for the next box would otherwise go on elsewhere.
            setFocus(Qt::OtherFocusReason);
            selectAll();
            throw engine::Error(QStringLiteral("'%1' is not a valid date.").arg(t));
        }
        value = d;
    }
    typing_ = false;
    link_.write(value);
    refresh();
}

void DBDateEdit::refresh() {
    if (typing_) return;
    const QString stored = link_.text();
    if (stored != text()) setText(stored);
}

} // namespace controls

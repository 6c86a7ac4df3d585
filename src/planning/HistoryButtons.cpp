#include "planning/HistoryButtons.h"

#include "controls/Desktop.h"
#include "controls/ErrorHandler.h"
#include "controls/Screen.h"
#include "data/DataModule.h"
#include "planning/DeletedDialog.h"
#include "planning/GoalsWindow.h"
#include "planning/HistoryDialog.h"

#include <QBoxLayout>
#include <QPushButton>

namespace planning {

namespace {

QPushButton* addBefore(QWidget& form, QBoxLayout& buttons, QPushButton* before, const QString& caption,
                       const QString& name) {
    auto* b = controls::button(caption, &form);
    b->setObjectName(name);
    int at = buttons.indexOf(before);
    if (at < 0) at = buttons.count();
    buttons.insertWidget(at, b);
    return b;
}

void showGoalHistory(data::DataModule& dm, controls::Screen& form) {
    engine::Table& goals = dm.goalsTable;
    // A goal being changed is stored first, as when another goal is chosen.
    if (goals.isEditing()) goals.post();
    if (goals.isEmpty()) return;
    const data::CurrentUser& u = dm.user();
    const bool mayChange = u.rights.supervisor || u.rights.canModifyAllGoals ||
                           goals.field(QStringLiteral("GoalOwner")).asInt() == u.number;
    HistoryDialog history(dm, HistoryDialog::Kind::Goal, goals.field(QStringLiteral("GoalID")).asInteger(),
                          mayChange, form.desktop(), &form);
    form.desktop().showModal(history);
}

void showDeleted(data::DataModule& dm, controls::Screen& form, DeletedDialog::Kind kind) {
    DeletedDialog deleted(dm, kind, form.desktop(), &form);
    form.desktop().showModal(deleted);
}

} // namespace

void addGoalHistoryButtons(data::DataModule& dm, GoalsWindow& form, QBoxLayout& buttons) {
    QPushButton* history = addBefore(form, buttons, form.printButton, QStringLiteral("History..."),
                                     QStringLiteral("HistoryBtn"));
    QPushButton* deleted = addBefore(form, buttons, form.printButton, QStringLiteral("Deleted..."),
                                     QStringLiteral("DeletedBtn"));
    QObject::connect(history, &QPushButton::clicked, &form,
                     controls::handler(&form, [&dm, &form] { showGoalHistory(dm, form); }));
    QObject::connect(deleted, &QPushButton::clicked, &form, controls::handler(&form, [&dm, &form] {
                         showDeleted(dm, form, DeletedDialog::Kind::Goals);
                     }));
}

QPushButton* addStrategyHistoryButton(data::DataModule& dm, controls::Screen& editor, QBoxLayout& buttons,
                                      QPushButton* before) {
    QPushButton* history =
        addBefore(editor, buttons, before, QStringLiteral("History..."), QStringLiteral("HistoryBtn"));
    QObject::connect(history, &QPushButton::clicked, &editor, controls::handler(&editor, [&dm, &editor] {
                         engine::Table& s = dm.strategyTable;
                         if (s.isEditing()) {
                             editor.desktop().messageBox(
                                 QStringLiteral("Save or cancel the changes to this strategy "
                                                "first: the history compares with what is stored."),
                                 controls::Icon::Information, controls::Buttons::Ok);
                             return;
                         }
                         if (s.isEmpty() || s.field(QStringLiteral("StrategyID")).isNull()) return;
                         const bool mayChange =
                             dm.user().mayEdit(s.field(QStringLiteral("UserNumber")).asInt());
                         HistoryDialog dialog(dm, HistoryDialog::Kind::Strategy,
                                              s.field(QStringLiteral("StrategyID")).asInteger(), mayChange,
                                              editor.desktop(), &editor);
                         editor.desktop().showModal(dialog);
                     }));
    return history;
}

void addDeletedStrategiesButton(data::DataModule& dm, controls::Screen& list, QBoxLayout& buttons,
                                QPushButton* before) {
    QPushButton* deleted =
        addBefore(list, buttons, before, QStringLiteral("Deleted..."), QStringLiteral("DeletedBtn"));
    QObject::connect(deleted, &QPushButton::clicked, &list, controls::handler(&list, [&dm, &list] {
                         showDeleted(dm, list, DeletedDialog::Kind::Strategies);
                     }));
}

} // namespace planning

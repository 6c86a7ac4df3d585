#include "planning/GoalsExtras.h"

#include "controls/Desktop.h"
#include "controls/ErrorHandler.h"
#include "controls/Screen.h"
#include "controls/SpinBox.h"
#include "data/CsvExport.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/GoalCopy.h"
#include "planning/GoalsWindow.h"
#include "reports/CsvFile.h"

#include <QBoxLayout>
#include <QPushButton>

namespace planning {

void addGoalsExtraButtons(data::DataModule& dm, GoalsWindow& form, QBoxLayout& buttons) {
    auto* copy = controls::button(QStringLiteral("Copy to Next Year..."), &form);
    copy->setObjectName(QStringLiteral("CopyBtn"));
    auto* exportBtn = controls::button(QStringLiteral("Export..."), &form);
    exportBtn->setObjectName(QStringLiteral("ExportBtn"));
    int at = buttons.indexOf(form.printButton);
    if (at < 0) at = buttons.count();
    buttons.insertWidget(at, exportBtn);
    buttons.insertWidget(at, copy);
    QObject::connect(copy, &QPushButton::clicked, &form,
                     controls::handler(&form, [&dm, &form] { copyToNextYearClicked(dm, form); }));
    QObject::connect(exportBtn, &QPushButton::clicked, &form,
                     controls::handler(&form, [&dm, &form] { exportGoalsClicked(dm, form); }));
}

namespace {
QString count(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}
} // namespace

void copyToNextYearClicked(data::DataModule& dm, GoalsWindow& form) {
    // A goal being changed is stored first, as when another year is chosen.
    if (dm.goalsTable.isEditing()) dm.goalsTable.post();
    const int year = form.goalSpin->value();
    const data::GoalCopyPlan plan = data::planGoalCopy(dm, year);
    if (plan.goals.isEmpty()) {
        QString text = QStringLiteral("There are no goals of %1 to copy into %2.").arg(year).arg(plan.toYear);
        if (plan.alreadyThere > 0)
            text += QStringLiteral(" %1 already in %2.")
                        .arg(count(plan.alreadyThere, "goal is", "goals are"))
                        .arg(plan.toYear);
        form.desktop().messageBox(text, controls::Icon::Information, controls::Buttons::Ok);
        return;
    }
    const QString goals = count(int(plan.goals.size()), "goal", "goals");
    QString skipped;
    if (plan.alreadyThere > 0)
        skipped = QStringLiteral("\n%1 already in %2 will not be copied again.")
                      .arg(count(plan.alreadyThere, "goal", "goals"))
                      .arg(plan.toYear);
    if (plan.leftOut > 0)
        skipped += QStringLiteral("\n%1 of users whose strategies you may not change will not be copied.")
                       .arg(count(plan.leftOut, "strategy", "strategies"));
    bool withStrategies = false;
    if (plan.strategies > 0) {
        const QString strategies = count(plan.strategies, "strategy", "strategies");
        const QString made =
            plan.items > 0
                ? QStringLiteral("%1, %2 (their unfinished strategies) and %3")
                      .arg(goals, strategies, count(plan.items, "measurement item", "measurement items"))
                : QStringLiteral("%1 and %2 (their unfinished strategies)").arg(goals, strategies);
        const controls::Answer a =
            form.desktop().messageBox(QStringLiteral("Copy %1 of %2 into %3?%4\n\n"
                                                     "Yes: %5 will be made.\n"
                                                     "No: only the %1 will be made.\n"
                                                     "Cancel: nothing is copied.")
                                          .arg(goals)
                                          .arg(year)
                                          .arg(plan.toYear)
                                          .arg(skipped, made),
                                      controls::Icon::Question, controls::Buttons::YesNoCancel);
        if (a == controls::Answer::Cancel) return;
        withStrategies = a == controls::Answer::Yes;
    } else if (form.desktop().messageBox(QStringLiteral("Copy %1 of %2 into %3?%4\n\n%5 will be made.")
                                             .arg(goals)
                                             .arg(year)
                                             .arg(plan.toYear)
                                             .arg(skipped, goals.at(0).toUpper() + goals.mid(1)),
                                         controls::Icon::Question,
                                         controls::Buttons::YesNo) != controls::Answer::Yes) {
        return;
    }
    const data::GoalCopyResult done = data::copyGoalsToNextYear(dm, plan, withStrategies);
    // Show the year that now holds the copies, unless the screen keeps to the current year.
    if (!dm.user().settings.noGoalYear) form.goalSpin->setValue(plan.toYear);
    const QString copied = count(done.goals, "goal", "goals");
    const QString strategies = count(done.strategies, "strategy", "strategies");
    form.desktop().messageBox(
        (done.items > 0
             ? QStringLiteral("%1, %2 and %3 were copied into %4.")
                   .arg(copied, strategies, count(done.items, "measurement item", "measurement items"))
             : QStringLiteral("%1 and %2 were copied into %3.").arg(copied, strategies))
            .arg(plan.toYear),
        controls::Icon::Information, controls::Buttons::Ok);
}

void exportGoalsClicked(data::DataModule& dm, GoalsWindow& form) {
    if (dm.goalsTable.isEditing()) dm.goalsTable.post();
    QVector<qint64> ids;
    const int n = dm.goalsTable.recordCount();
    for (int r = 0; r < n; ++r)
        ids << dm.goalsTable.valueAt(r, QStringLiteral("GoalID")).toLongLong();
    reports::exportCsvFile(form.desktop(), &form, QStringLiteral("goals-%1.csv").arg(form.goalSpin->value()),
                           [&](QIODevice& out, QString* error) {
                               return data::csv::exportGoalList(dm.goalDatabase, ids, out, error);
                           });
}

} // namespace planning

#include "planning/GoalsExtras.h"

#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/Plain.h"
#include "controls/Screen.h"
#include "data/CsvExport.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/GoalCopy.h"
#include "planning/GoalsWindow.h"
#include "reports/CsvFile.h"

#include <QBoxLayout>
#include <QPushButton>

void AddGoalsExtraButtons(GoalsWindow& form, QBoxLayout& buttons) {
    auto* copy = controls::button(QStringLiteral("Copy to Next Year..."), &form);
    copy->setObjectName(QStringLiteral("CopyBtn"));
    auto* exportBtn = controls::button(QStringLiteral("Export..."), &form);
    exportBtn->setObjectName(QStringLiteral("ExportBtn"));
    int at = buttons.indexOf(form.PrintBtn);
    if (at < 0) at = buttons.count();
    buttons.insertWidget(at, exportBtn);
    buttons.insertWidget(at, copy);
    QObject::connect(copy, &QPushButton::clicked, &form,
                     controls::handler([&form] { CopyToNextYearClick(form); }));
    QObject::connect(exportBtn, &QPushButton::clicked, &form,
                     controls::handler([&form] { ExportGoalsClick(form); }));
}

namespace {
QString count(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}
} // namespace

void CopyToNextYearClick(GoalsWindow& form) {
    DataModule& dm = *ProgramDataForm;
    // A goal being changed is stored first, as when another year is chosen.
    if (dm.GoalsTable.isEditing()) dm.GoalsTable.post();
    const int year = form.GoalSpin->value();
    const GoalCopyPlan plan = PlanGoalCopy(dm, year);
    if (plan.Goals.isEmpty()) {
        QString text = QStringLiteral("There are no goals of %1 to copy into %2.").arg(year).arg(plan.ToYear);
        if (plan.AlreadyThere > 0)
            text += QStringLiteral(" %1 already in %2.")
                        .arg(count(plan.AlreadyThere, "goal is", "goals are"))
                        .arg(plan.ToYear);
        controls::messageBox(text, controls::Icon::Information, controls::Buttons::Ok);
        return;
    }
    const QString goals = count(int(plan.Goals.size()), "goal", "goals");
    QString skipped;
    if (plan.AlreadyThere > 0)
        skipped = QStringLiteral("\n%1 already in %2 will not be copied again.")
                      .arg(count(plan.AlreadyThere, "goal", "goals"))
                      .arg(plan.ToYear);
    bool withStrategies = false;
    if (plan.Strategies > 0) {
        const controls::Answer a =
            controls::messageBox(QStringLiteral("Copy %1 of %2 into %3?%4\n\n"
                                                "Yes: %1 and %5 (their unfinished strategies) will be made.\n"
                                                "No: only the %1 will be made.\n"
                                                "Cancel: nothing is copied.")
                                     .arg(goals)
                                     .arg(year)
                                     .arg(plan.ToYear)
                                     .arg(skipped, count(plan.Strategies, "strategy", "strategies")),
                                 controls::Icon::Question, controls::Buttons::YesNoCancel);
        if (a == controls::Answer::Cancel) return;
        withStrategies = a == controls::Answer::Yes;
    } else if (controls::messageBox(QStringLiteral("Copy %1 of %2 into %3?%4\n\n%5 will be made.")
                                        .arg(goals)
                                        .arg(year)
                                        .arg(plan.ToYear)
                                        .arg(skipped, goals.at(0).toUpper() + goals.mid(1)),
                                    controls::Icon::Question,
                                    controls::Buttons::YesNo) != controls::Answer::Yes) {
        return;
    }
    const GoalCopyResult done = CopyGoalsToNextYear(dm, plan, withStrategies);
    // Show the year that now holds the copies, unless the screen keeps to the current year.
    if (!SystemSettings.NoGoalYear) form.GoalSpin->setValue(plan.ToYear);
    controls::messageBox(
        QStringLiteral("%1 and %2 were copied into %3.")
            .arg(count(done.Goals, "goal", "goals"), count(done.Strategies, "strategy", "strategies"))
            .arg(plan.ToYear),
        controls::Icon::Information, controls::Buttons::Ok);
}

void ExportGoalsClick(GoalsWindow& form) {
    DataModule& dm = *ProgramDataForm;
    if (dm.GoalsTable.isEditing()) dm.GoalsTable.post();
    QVector<qint64> ids;
    const int n = dm.GoalsTable.recordCount();
    for (int r = 0; r < n; ++r)
        ids << dm.GoalsTable.valueAt(r, QStringLiteral("GoalID")).toLongLong();
    ExportCsvFile(&form, QStringLiteral("goals-%1.csv").arg(form.GoalSpin->value()),
                  [&](QIODevice& out, QString* error) {
                      return csv::exportGoalList(dm.GoalDatabase, ids, out, error);
                  });
}

#include "Sample.h"

#include "engine/Database.h"
#include "engine/Error.h"

#include <QDate>
#include <QDateTime>
#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
#include <map>
#include <vector>

namespace tools {

namespace {

const QStringList kDepartments{"Administration",         "Finance",        "Operations", "Sales",
                               "Information Technology", "Human Resources"};
const QStringList kGoalTypes{"Corporate", "Departmental", "Personal", "Quality"};
const QStringList kFirst{"John",  "Mary",  "Robert", "Alice", "David", "Susan", "James", "Linda",
                         "Peter", "Karen", "Thomas", "Nancy", "Paul",  "Laura", "Mark",  "Helen"};
const QStringList kLast{"Smith",  "Jones",    "Brown", "White", "Miller", "Davis", "Wilson", "Moore",
                        "Taylor", "Anderson", "Clark", "Lewis", "Walker", "Hall",  "Young",  "King"};
const QStringList kGoalTexts{"Increase customer satisfaction", "Reduce operating costs",
                             "Improve staff training",         "Expand into new markets",
                             "Shorten order processing time",  "Raise product quality",
                             "Modernise the office network",   "Strengthen team communication",
                             "Grow recurring revenue",         "Cut waste in production"};
const QStringList kStrategyTexts{"Survey every customer after delivery and act on the results",
                                 "Review supplier contracts and renegotiate the largest",
                                 "Run a monthly workshop for new employees",
                                 "Visit three prospective distributors each quarter",
                                 "Automate the entry of standard orders",
                                 "Introduce a second inspection step on the assembly line"};

SampleCounts counts(SampleSize size) {
    if (size == SampleSize::Large) return {2000, 20000, 10, 5};
    return {10, 36, 0, 2};
}

QVariant rights(const std::vector<int>& on, int i) {
    return std::find(on.begin(), on.end(), i) != on.end() ? 1 : 0;
}

} // namespace

std::optional<int> parseSampleScale(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < 1 || n > kMaxSampleScale) return std::nullopt;
    return n;
}

void createDatabase(const QString& folder, bool withSample, SampleSize size,
                    const std::function<void(const QString&)>& progress, int scale) {
    if (scale < 1 || scale > kMaxSampleScale)
        throw engine::Error(QStringLiteral("The sample's scale must be from 1 to %1, not %2.")
                                .arg(kMaxSampleScale)
                                .arg(scale));
    auto say = [&](const QString& s) {
        if (progress) progress(s);
    };
    engine::Database::create(folder);
    say(QStringLiteral("Created the tables in %1").arg(folder));
    if (!withSample) return;

    engine::Session session;
    engine::Database db(session);
    // Made-up rows are nobody's changes: a new database starts without history.
    db.keepHistory(false);
    db.open(folder);
    QRandomGenerator rng(20021);
    SampleCounts c = counts(size);
    c.goals *= scale;
    const bool large = size == SampleSize::Large;
    const int thisYear = QDate::currentDate().year();
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));

    for (const auto& t : engine::tables())
        db.attach(t); // attaching is not possible inside the transaction
    engine::Transaction tx(db);
    {
        engine::Inserter dept(db, QStringLiteral("Department.db"),
                              {"Description", "ModifiedBy", "ModifiedDate"});
        for (const QString& d : kDepartments)
            dept.add({d, 1, now});
        engine::Inserter types(db, QStringLiteral("GoalType.db"),
                               {"TypeDescription", "ModifiedBy", "ModifiedDate"});
        for (const QString& t : kGoalTypes)
            types.add({t, 1, now});

        // Profiles 1 to 3; 0 exists already. Rights in record order, numbered from 0.
        engine::Inserter prof(db, QStringLiteral("Security.db"),
                              {"Description", "Supervisor", "CanChangeSystem", "CanAddUser",
                               "CanPackDatabase", "CanViewSecurity", "CanAddGoals", "CanAddDepartments",
                               "CanPrintReports", "CanAddStrategy", "CanViewAllStrategys", "CanAddGoalType",
                               "CanAddGlobalGoals", "CanModifyAllGoals"});
        // Held by value: a braced list inside a pair would not outlive this statement.
        const std::vector<std::pair<QString, std::vector<int>>> profiles{
            {"Administrator", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
            {"Manager", {5, 7, 8, 11, 12}},
            {"Staff", {5, 7, 8}}};
        for (const auto& [name, on] : profiles) {
            QVariantList v{name};
            for (int i = 0; i < 13; ++i)
                v << rights(on, i);
            prof.add(v);
        }
        db.exec(QStringLiteral("UPDATE \"settings\".\"settings\" SET ReportTitle1 = ?, ReportTitle2 = ?"),
                {QStringLiteral("Vardimo Sample Organisation"),
                 QStringLiteral("Goals and Strategies %1").arg(thisYear)});
        say(QStringLiteral("Departments, goal types and profiles"));

        // Users: the first ten have fixed ids and passwords that the README names.
        engine::Inserter users(db, QStringLiteral("User.db"),
                               {"UserID", "UserPassword", "UserName", "SecurityID", "DepartmentID"});
        std::vector<qint64> userNumbers;
        for (int i = 0; i < c.users; ++i) {
            const QString& first = kFirst[i % kFirst.size()];
            const QString& last = kLast[(i / kFirst.size() + i) % kLast.size()];
            QString id = (first.left(1) + last).toUpper();
            QString pw = last.toLower();
            if (i >= 10) {
                id = QStringLiteral("USER%1").arg(i, 4, 10, QLatin1Char('0'));
                pw = QStringLiteral("pw%1").arg(i);
            }
            const int profile = i == 0 ? 1 : (i < 3 ? 2 : 3);
            userNumbers.push_back(
                users.add({id, pw,
                           first + QLatin1Char(' ') + last +
                               (i >= kFirst.size() ? QStringLiteral(" %1").arg(i) : QString()),
                           profile, 1 + i % kDepartments.size()}));
        }
        say(QStringLiteral("%1 users").arg(c.users + 1));

        engine::Inserter access(db, QStringLiteral("accesslist.db"),
                                {"UserNumber", "CanSeeUser", "CanEditUser"});
        for (size_t i = 1; i < userNumbers.size(); ++i) {
            // Each user sees the next one; managers also edit the one after that.
            access.add({userNumbers[i], userNumbers[(i + 1) % userNumbers.size()], 0});
            if (i < 3) access.add({userNumbers[i], userNumbers[(i + 2) % userNumbers.size()], 1});
        }

        engine::Inserter goals(db, QStringLiteral("goals.db"),
                               {"GoalDescription", "UserNumber", "GoalOwner", "GoalTypeID", "GoalYear",
                                "ModifiedBy", "ModifieDate"});
        engine::Inserter strategies(db, QStringLiteral("Strategys.db"),
                                    {"StrategyNumber", "StrategyDescription", "Responsibility", "Deliverable",
                                     "Measurement", "CompleationDate", "AddationalResources",
                                     "CommentsStatus", "DoNotPrint", "UserNumber", "ModifiedBy",
                                     "ModifiedDate", "GoalID", "Compleated"});
        engine::Inserter measures(db, QStringLiteral("Measure.db"),
                                  {"StrategyID", "MeasurementNumber", "Measurement", "CompleationDate",
                                   "Compleated", "ModifiedBy", "ModifiedDate", "Deliverable"});
        const int years = large ? 5 : 3;
        qint64 strategyCount = 0, measureCount = 0;
        for (int g = 0; g < c.goals; ++g) {
            const int year = thisYear - 1 + g % years - (large ? 1 : 0);
            const int type = 1 + (g / years) % kGoalTypes.size();
            const bool global = g % 4 == 0;
            const qint64 owner = userNumbers[size_t(rng.bounded(std::min<int>(3, c.users)))];
            const QVariant forUser =
                global ? QVariant() : QVariant(userNumbers[size_t(rng.bounded(c.users))]);
            const QString text =
                kGoalTexts[g % kGoalTexts.size()] +
                (g >= kGoalTexts.size() ? QStringLiteral(" (%1)").arg(g / kGoalTexts.size() + 1) : QString());
            const qint64 goalId = goals.add({text, forUser, owner, type, year, owner, now});

            // Strategies: under a goal for a user, that user's; under a global goal, two users'.
            std::vector<qint64> writers;
            if (global) {
                writers.push_back(userNumbers[size_t(rng.bounded(c.users))]);
                writers.push_back(userNumbers[size_t(rng.bounded(c.users))]);
            } else {
                writers.push_back(forUser.toLongLong());
            }
            const int perGoal = large ? c.strategiesPerGoal : 2 + g % 2;
            // Numbered per user: the two writers of a global goal may be one and the same user.
            std::map<qint64, int> numbers;
            for (int s = 0; s < perGoal; ++s) {
                const qint64 user = writers[size_t(s) % writers.size()];
                const int number = ++numbers[user];
                const QDate due(year, 1 + (s * 3 + g) % 12, 1 + (g + s) % 28);
                const bool done = due < QDate::currentDate() && (g + s) % 3 != 0;
                const QString& st = kStrategyTexts[(g + s) % kStrategyTexts.size()];
                const qint64 sid = strategies.add(
                    {number, st,
                     QStringLiteral("Team lead, %1").arg(kDepartments[(g + s) % kDepartments.size()]),
                     QStringLiteral("A written report on %1").arg(st.toLower()),
                     QStringLiteral("Measured monthly against the plan"), due.toString(Qt::ISODate),
                     QStringLiteral("None needed"),
                     done ? QStringLiteral("Completed on time") : QStringLiteral("On track"),
                     (s == 3 && !large) ? 1 : 0, user, user, now, goalId, done ? 1 : 0});
                ++strategyCount;
                for (int m = 0; m < c.measuresPerStrategy; ++m) {
                    const QDate md = due.addDays(qint64(-30) * (c.measuresPerStrategy - m));
                    measures.add({sid, m + 1, QStringLiteral("Milestone %1 reached").arg(m + 1),
                                  md.toString(Qt::ISODate), done ? 1 : 0, user, now,
                                  QStringLiteral("Deliverable %1 handed over").arg(m + 1)});
                    ++measureCount;
                }
            }
            if (large && (g + 1) % 2000 == 0)
                say(QStringLiteral("%1 goals, %2 strategies, %3 measurements")
                        .arg(g + 1)
                        .arg(strategyCount)
                        .arg(measureCount));
        }
        say(QStringLiteral("%1 goals, %2 strategies, %3 measurements")
                .arg(c.goals)
                .arg(strategyCount)
                .arg(measureCount));
    }
    tx.commit();
    db.close();
}

} // namespace tools

#include "admin/MeasureConversion.h"

#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "engine/Database.h"
#include "engine/DateFormat.h"
#include "engine/Error.h"
#include "engine/Query.h"

#include <QElapsedTimer>

#include <algorithm>
#include <optional>

namespace admin {

namespace sql = engine::sql;

namespace {

struct MeasurementTexts {
    QString measurement;
    QString deliverable;
};

// Appends the query's current measurement row to both texts.
void appendMeasurement(engine::Query& q, MeasurementTexts& texts) {
    const QChar cr(13);
    const QString number = QString::number(q.field(QStringLiteral("MeasurementNumber")).asInteger());
    texts.measurement +=
        number + QStringLiteral("#. ") + q.field(QStringLiteral("Measurement")).asString() + cr;
    texts.deliverable +=
        number + QStringLiteral("#. ") + q.field(QStringLiteral("Deliverable")).asString() + cr;
    const engine::Field date = q.field(QStringLiteral("CompleationDate"));
    if (!date.isNull()) texts.deliverable += QStringLiteral("Compleation Date: ") + date.asString();
    if (q.field(QStringLiteral("Compleated")).asBoolean()) texts.deliverable += QStringLiteral(" Compleated");
    texts.deliverable += cr;
}

// Both texts come from one reading of the strategy's measurement records.
MeasurementTexts buildTexts(data::DataModule& dm, qint64 strategyId) {
    engine::Query q(dm.goalDatabase);
    q.add("Select * From \"Measure.db\" Where");
    q.add("StrategyID = ", sql::Int{strategyId});
    q.add("Order By MeasurementNumber");
    q.open();
    MeasurementTexts texts;
    for (q.first(); !q.eof(); q.next())
        appendMeasurement(q, texts);
    return texts;
}

// Strategies per statement: few enough that the window repaints and hears Cancel several times a
// second, many enough that the statements cost what the work costs. A step slower than that on
// this machine (a busy processor or server, a slow disk) makes the next ones smaller; quick
// ones let them grow back.
constexpr int kStrategiesPerStep = 500;
constexpr int kFewestPerStep = 50;
constexpr qint64 kSlowStepMs = 100;
constexpr qint64 kQuickStepMs = 40;

// The strategies in steps of keys, each step one statement of the conversion over the keys
// from `first` up to (not including) `end` (no end: to the last).
class StrategySteps {
public:
    explicit StrategySteps(data::DataModule& dm) : dm_(dm) {
        engine::Query q(dm.goalDatabase);
        q.add("Select Min(StrategyID) As First From \"Strategys.db\"");
        q.open();
        if (!q.isEmpty() && !q.field(QStringLiteral("First")).isNull())
            first_ = q.field(QStringLiteral("First")).asInteger();
    }
    bool done() const { return !first_; }
    qint64 first() const { return *first_; }
    // The key that begins the next step; none when this step takes the rest. Asked as each step
    // begins, so that the one before it is timed.
    std::optional<qint64> end() {
        if (!took_.isValid()) {
            took_.start();
        } else {
            const qint64 ms = took_.restart();
            if (ms > kSlowStepMs)
                size_ = std::max(kFewestPerStep, size_ / 2);
            else if (ms < kQuickStepMs)
                size_ = std::min(kStrategiesPerStep, size_ * 2);
        }
        engine::Query q(dm_.goalDatabase);
        q.add("Select StrategyID From \"Strategys.db\" Where StrategyID >= ", sql::Int{*first_});
        q.add("Order By StrategyID Limit 1 Offset ", sql::Int{size_});
        q.open();
        if (q.isEmpty()) return std::nullopt;
        return q.field(QStringLiteral("StrategyID")).asInteger();
    }
    void next(const std::optional<qint64>& end) { first_ = end; }

private:
    data::DataModule& dm_;
    std::optional<qint64> first_;
    int size_ = kStrategiesPerStep;
    QElapsedTimer took_;
};

// The keys of one step as a condition on a column.
void addRange(engine::Query& q, const char* column, qint64 first, const std::optional<qint64>& end) {
    q.add(QStringLiteral("Where %1 >= ").arg(QLatin1String(column)), sql::Int{first});
    if (end) q.add(QStringLiteral("And %1 < ").arg(QLatin1String(column)), sql::Int{*end});
}

// A date column as the short date format writes it, built by the store from the ISO text.
QString shortDateOf(const QString& column) {
    const engine::DateFormat& f = engine::dateFormat();
    const QString iso = QStringLiteral("Cast(%1 As Text)").arg(column);
    auto part = [&](int from, int length, bool leadingZero) {
        const QString digits = QStringLiteral("Substr(%1, %2, %3)").arg(iso).arg(from).arg(length);
        return leadingZero ? digits : QStringLiteral("Cast(Cast(%1 As Integer) As Text)").arg(digits);
    };
    const QString month = part(6, 2, f.leadingZeroMonth);
    const QString day = part(9, 2, f.leadingZeroDay);
    const QString year = f.fourDigitYear ? part(1, 4, true) : part(3, 2, true);
    const QString sep = QStringLiteral(" || \"%1\" || ").arg(f.separator);
    return f.monthDayYear ? month + sep + day + sep + year : day + sep + month + sep + year;
}

// The stamp every row the conversion writes carries, as a post of the table object would give it.
struct Stamp {
    qint64 user;
    QString time;
};
Stamp stampNow(data::DataModule& dm) {
    return {dm.user().number, data::stampText()};
}

// The measurement items go a step of strategies at a time, between the progress calls: every
// deleted item is kept as a version, and a million of them in one statement would leave the
// window standing still. The items of no strategy, and those before the first, go first.
// The items table object stays open: told of the change at the commit, it reads its rows again
// when a screen asks for them. Read at once, on a server it would walk past every item just
// deleted while the window waits.
class ItemDeletion {
public:
    ItemDeletion(data::DataModule& dm, const StrategySteps& steps) : dm_(dm) {
        // An item being edited goes with the others.
        dm_.measureTable.cancel();
        engine::Query q(dm_.goalDatabase);
        q.add("Delete From \"Measure.db\"");
        if (!steps.done()) q.add("Where StrategyID Is Null Or StrategyID < ", sql::Int{steps.first()});
        q.execSql();
    }
    void deleteStep(qint64 first, const std::optional<qint64>& end) {
        engine::Query q(dm_.goalDatabase);
        q.add("Delete From \"Measure.db\"");
        addRange(q, "StrategyID", first, end);
        q.execSql();
    }

private:
    data::DataModule& dm_;
};

void storeSetting(data::DataModule& dm, bool multiple) {
    engine::Query q(dm.goalDatabase);
    q.add("Update \"Settings.db\" Set MultipulMeasure = ", sql::Bool{multiple});
    q.execSql();
}

// The strategy that stopped a conversion, as a person finds it on the strategy list: its
// number, its user and its goal. Read after the rollback, so that any store can answer.
QString describeStrategy(data::DataModule& dm, qint64 key) {
    engine::Query q(dm.goalDatabase);
    q.add("Select S.StrategyNumber, S.UserNumber, G.GoalDescription From \"Strategys.db\" S");
    q.add("Left Join \"goals.db\" G On G.GoalID = S.GoalID Where S.StrategyID = ", sql::Int{key});
    q.open();
    if (q.isEmpty()) return QStringLiteral("A strategy");
    QString text = QStringLiteral("Strategy %1").arg(q.field(QStringLiteral("StrategyNumber")).asInteger());
    const engine::Field user = q.field(QStringLiteral("UserNumber"));
    if (!user.isNull()) {
        const QString named = data::readUser(dm, int(user.asInteger())).name;
        if (!named.isEmpty()) text += QStringLiteral(" of %1").arg(named);
    }
    const engine::Field goal = q.field(QStringLiteral("GoalDescription"));
    if (!goal.isNull()) text += QStringLiteral(" under the goal \"%1\"").arg(goal.asString());
    return text;
}

// The error a failed conversion ends with, from the one that stopped it (other failures go on
// as they are).
engine::Error stopped(data::DataModule& dm, const std::optional<qint64>& stoppedAt) {
    try {
        throw;
    } catch (const engine::Error& e) {
        QString reason = e.message();
        if (stoppedAt) {
            QString which;
            try {
                which = describeStrategy(dm, *stoppedAt);
            } catch (...) {
                which = QStringLiteral("Strategy number %1 in the database").arg(*stoppedAt);
            }
            reason = e.message() == engine::Error::recordLockedText()
                         ? QStringLiteral("%1 is being edited at another workstation (%2). Try again once it "
                                          "has been saved or closed there.")
                               .arg(which, e.message())
                         : QStringLiteral("%1 could not be changed: %2").arg(which, e.message());
        }
        return engine::Error(
            QStringLiteral("The conversion was stopped and nothing was changed: every strategy "
                           "and measurement item is as it was, and so is the \"Multiple "
                           "Measurements\" setting.\n\n%1")
                .arg(reason),
            e.kind());
    }
}

// Runs a conversion as one batch: every post of it, and the setting, in one transaction, all or
// nothing. When it fails, the database is as it was before, the table objects that saw its rows
// read again, and the error says so. `stoppedAt` names the strategy being written, if any.
// Other workstations go on reading the old rows while a conversion runs, until it commits.
class ReadersKeepReading {
public:
    explicit ReadersKeepReading(engine::Database& db) : db_(db) { db_.backend().keepChangesInMemory(true); }
    ~ReadersKeepReading() {
        try {
            db_.backend().keepChangesInMemory(false);
        } catch (...) {
            // The connection is gone; it keeps nothing any more.
        }
    }
    ReadersKeepReading(const ReadersKeepReading&) = delete;
    ReadersKeepReading& operator=(const ReadersKeepReading&) = delete;

private:
    engine::Database& db_;
};

template <typename Work>
void atomically(data::DataModule& dm, bool multiple, const ConversionProgress& progress, Work work) {
    checkMayConvertEveryStrategy(dm);
    std::optional<qint64> stoppedAt;
    try {
        const ReadersKeepReading readers(dm.goalDatabase);
        const engine::CommitTicking storing(dm.goalDatabase, [&progress] { progress(kStoringConversion); });
        engine::BatchScope tx(dm.goalDatabase);
        work(stoppedAt);
        storeSetting(dm, multiple);
        tx.commit();
    } catch (...) {
        for (engine::Table* t : {&dm.strategyTable, &dm.measureTable}) {
            try {
                t->cancel();
                if (t->isOpen())
                    t->refresh();
                else
                    t->open();
            } catch (...) {
                // The failure that ended the conversion is the one to report.
            }
        }
        throw stopped(dm, stoppedAt);
    }
}

} // namespace

void checkMayConvertEveryStrategy(data::DataModule& dm) {
    const data::CurrentUser& u = dm.user();
    if (u.profileId == 0 || u.rights.supervisor || u.rights.canViewAllStrategies ||
        !data::serverHoldsLogons(dm))
        return;
    throw engine::Error(QStringLiteral(
        "The server shows you only the strategies of the users you may see, so the measurement items of the "
        "others cannot be converted with them. Nothing was changed: the conversion is for a user whose "
        "profile may view all strategies."));
}

QString buildMeasurementText(data::DataModule& dm, qint64 strategyId) {
    return buildTexts(dm, strategyId).measurement;
}

QString buildDeliverableText(data::DataModule& dm, qint64 strategyId) {
    return buildTexts(dm, strategyId).deliverable;
}

void convertToMultipleMeasures(data::DataModule& dm, const ConversionProgress& progress) {
    atomically(dm, true, progress, [&](std::optional<qint64>&) {
        const Stamp stamp = stampNow(dm);
        int count = 0;
        StrategySteps steps(dm);
        ItemDeletion items(dm, steps);
        while (!steps.done()) {
            const std::optional<qint64> end = steps.end();
            items.deleteStep(steps.first(), end);
            // Each strategy's own texts become its one item, numbered 1 (its items were deleted
            // just before, inside this transaction, which keeps every other writer out), not
            // completed.
            engine::Query insert(dm.goalDatabase);
            insert.add("Insert Into \"Measure.db\" (StrategyID, MeasurementNumber, Compleated, Measurement, "
                       "Deliverable, ModifiedBy, ModifiedDate)");
            insert.add("Select StrategyID, 1, False, Measurement, Deliverable,");
            // A value bound in a Select has no type of its own, which a server then refuses for a
            // number or a time column: the strategy's own column (never taken, its key is never
            // empty) gives the stamp its type, so that the rows are written once, stamped.
            insert.add("Case When StrategyID Is Null Then ModifiedBy Else ", sql::Int{stamp.user}, " End,");
            insert.add("Case When StrategyID Is Null Then ModifiedDate Else ", sql::Text{stamp.time}, " End");
            insert.add("From \"Strategys.db\"");
            addRange(insert, "StrategyID", steps.first(), end);
            insert.add("Order By StrategyID");
            insert.execSql();
            for (int i = 0; i < insert.rowsAffected(); ++i)
                progress(++count);
            steps.next(end);
        }
    });
    progress(0);
}

void convertToSingleMeasure(data::DataModule& dm, const ConversionProgress& progress) {
    atomically(dm, false, progress, [&](std::optional<qint64>& stoppedAt) {
        engine::Table& strategies = dm.strategyTable;
        // Every strategy is rewritten: nobody may be editing one, and nobody begins to until the
        // conversion has ended.
        qint64 busy = -1;
        try {
            strategies.holdRows(&busy);
        } catch (const engine::Error&) {
            if (busy >= 0) stoppedAt = busy;
            throw;
        }
        const Stamp stamp = stampNow(dm);
        // Each item's lines, in number order, as BuildMeasurementText and BuildDeliverableText
        // write them; a strategy without items gets no text.
        const QString cr(QChar(13));
        const QString number =
            QStringLiteral("Cast(Coalesce(Cast(M.MeasurementNumber As Integer), 0) As Text)");
        const QString measurementLine =
            number + QStringLiteral(" || \"#. \" || Coalesce(M.Measurement, \"\") || \"%1\"").arg(cr);
        const QString deliverableLine =
            number +
            QStringLiteral(" || \"#. \" || Coalesce(M.Deliverable, \"\") || \"%1\" || Case When "
                           "M.CompleationDate Is Null Then \"\" Else \"Compleation Date: \" || ")
                .arg(cr) +
            shortDateOf(QStringLiteral("M.CompleationDate")) +
            QStringLiteral(" End || Case When M.Compleated <> 0 Then \" Compleated\" Else \"\" End || \"%1\"")
                .arg(cr);
        auto joined = [](const QString& line) {
            return QStringLiteral("(Select Group_Concat(T, \"\") From (Select %1 As T From \"Measure.db\" M "
                                  "Where M.StrategyID = Strategys.StrategyID "
                                  "Order By M.MeasurementNumber, M.MeasurementID) Lines)")
                .arg(line);
        };
        const QString measurementText = joined(measurementLine);
        const QString deliverableText = joined(deliverableLine);
        int position = 0;
        StrategySteps steps(dm);
        ItemDeletion items(dm, steps);
        while (!steps.done()) {
            const std::optional<qint64> end = steps.end();
            engine::Query update(dm.goalDatabase);
            update.add("Update \"Strategys.db\" Set");
            update.add(QStringLiteral("Deliverable = ") + deliverableText + QLatin1Char(','));
            update.add(QStringLiteral("Measurement = ") + measurementText + QLatin1Char(','));
            update.add("ModifiedBy = ", sql::Int{stamp.user}, ", ModifiedDate = ", sql::Text{stamp.time});
            addRange(update, "StrategyID", steps.first(), end);
            update.execSql();
            for (int i = 0; i < update.rowsAffected(); ++i)
                progress(position++);
            items.deleteStep(steps.first(), end);
            steps.next(end);
        }
    });
    progress(0);
}

int measurementItemCount(data::DataModule& dm) {
    engine::Query q(dm.goalDatabase);
    q.add("Select Count(*) As Items From \"Measure.db\"");
    q.open();
    return q.isEmpty() ? 0 : int(q.field(QStringLiteral("Items")).asInteger());
}

int strategyCount(data::DataModule& dm) {
    engine::Query q(dm.goalDatabase);
    q.add("Select Count(*) As N From \"Strategys.db\"");
    q.open();
    return q.isEmpty() ? 0 : int(q.field(QStringLiteral("N")).asInteger());
}

QVariant storedMultipleMeasurements(data::DataModule& dm) {
    engine::Query q(dm.goalDatabase);
    q.add("Select MultipulMeasure From \"Settings.db\"");
    q.open();
    if (q.isEmpty() || q.field(QStringLiteral("MultipulMeasure")).isNull()) return {};
    return q.field(QStringLiteral("MultipulMeasure")).asBoolean();
}

} // namespace admin

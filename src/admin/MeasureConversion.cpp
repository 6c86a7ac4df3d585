#include "admin/MeasureConversion.h"

#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "engine/Error.h"

#include <limits>
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

// Every measurement record read once, in strategy-key order, for a walk over the strategies in
// the same order: one statement for the whole conversion instead of one per strategy, read
// forward from a snapshot so memory stays bounded however many measurements there are.
class MeasurementCursor {
public:
    explicit MeasurementCursor(engine::Query& q) : q_(q) {
        q_.close();
        q_.clear();
        q_.setUniDirectional(true);
        q_.add("Select * From \"Measure.db\"");
        q_.add("Order By StrategyID, MeasurementNumber");
        try {
            q_.prepare();
            q_.open();
        } catch (...) {
            release();
            throw;
        }
    }
    ~MeasurementCursor() { release(); }
    MeasurementCursor(const MeasurementCursor&) = delete;
    MeasurementCursor& operator=(const MeasurementCursor&) = delete;

    // The texts of the strategy; the strategies must come in ascending key order for the
    // records to be read once, any other order only costs a rewind.
    MeasurementTexts textsOf(qint64 strategyId) {
        if (strategyId < previous_) q_.first();
        previous_ = strategyId;
        while (!q_.eof() && currentStrategy() < strategyId)
            q_.next();
        MeasurementTexts texts;
        for (; !q_.eof() && currentStrategy() == strategyId; q_.next())
            appendMeasurement(q_, texts);
        return texts;
    }

private:
    void release() {
        q_.close();
        q_.unprepare();
        q_.setUniDirectional(false);
    }
    qint64 currentStrategy() { return q_.field(QStringLiteral("StrategyID")).asInteger(); }

    engine::Query& q_;
    qint64 previous_ = std::numeric_limits<qint64>::min();
};

void deleteAllMeasurements(data::DataModule& dm) {
    dm.measureTable.close();
    engine::execute(dm.goalDatabase, "Delete From \"Measure.db\"");
    dm.measureTable.open();
}

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
template <typename Work> void atomically(data::DataModule& dm, bool multiple, Work work) {
    std::optional<qint64> stoppedAt;
    try {
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

QString buildMeasurementText(data::DataModule& dm, qint64 strategyId) {
    return buildTexts(dm, strategyId).measurement;
}

QString buildDeliverableText(data::DataModule& dm, qint64 strategyId) {
    return buildTexts(dm, strategyId).deliverable;
}

void convertToMultipleMeasures(data::DataModule& dm, const ConversionProgress& progress) {
    atomically(dm, true, [&](std::optional<qint64>&) {
        deleteAllMeasurements(dm);
        engine::Query strategies(dm.goalDatabase);
        strategies.add("Select * From \"Strategys.db\"");
        strategies.open();
        engine::Table& measures = dm.measureTable;
        int count = 0;
        for (strategies.first(); !strategies.eof(); strategies.next()) {
            ++count;
            progress(count);
            const QString deliverable = strategies.field(QStringLiteral("Deliverable")).asString();
            const QString measurement = strategies.field(QStringLiteral("Measurement")).asString();
            const qint64 key = strategies.field(QStringLiteral("StrategyID")).asInteger();
            measures.insert();
            measures.field(QStringLiteral("StrategyID")).setValue(key);
            // The table was emptied inside this transaction, which keeps every other writer
            // out: each strategy's next measurement number is its first.
            measures.field(QStringLiteral("MeasurementNumber")).setValue(1);
            measures.field(QStringLiteral("Compleated")).setValue(false);
            measures.field(QStringLiteral("Measurement")).setValue(measurement);
            measures.field(QStringLiteral("Deliverable")).setValue(deliverable);
            measures.post();
        }
    });
    progress(0);
}

void convertToSingleMeasure(data::DataModule& dm, const ConversionProgress& progress) {
    atomically(dm, false, [&](std::optional<qint64>& stoppedAt) {
        engine::Table& strategies = dm.strategyTable;
        strategies.setFiltered(false);
        strategies.first();
        {
            // The table walks in key order, the order the measurements are read in.
            engine::Query items(dm.goalDatabase);
            MeasurementCursor measurements(items);
            for (int position = 0; !strategies.eof(); ++position) {
                progress(position);
                const qint64 key = strategies.field(QStringLiteral("StrategyID")).asInteger();
                const MeasurementTexts texts = measurements.textsOf(key);
                stoppedAt = key;
                strategies.edit();
                strategies.field(QStringLiteral("Deliverable")).setValue(texts.deliverable);
                strategies.field(QStringLiteral("Measurement")).setValue(texts.measurement);
                strategies.post();
                stoppedAt.reset();
                strategies.next();
            }
        }
        deleteAllMeasurements(dm);
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

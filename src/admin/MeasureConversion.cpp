#include "admin/MeasureConversion.h"

#include "data/DataModule.h"

#include <limits>

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
MeasurementTexts buildTexts(DataModule& dm, qint64 strategyId) {
    engine::Query q(dm.GoalDatabase);
    q.add("Select * From \"Measure.db\" Where");
    q.add("StrategyID = ", sql::Int{strategyId});
    q.add("Order By MeasurementNumber");
    q.prepare();
    q.open();
    MeasurementTexts texts;
    for (q.first(); !q.eof(); q.next())
        appendMeasurement(q, texts);
    q.close();
    q.unprepare();
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

void deleteAllMeasurements(DataModule& dm) {
    dm.MeasureTable.close();
    engine::execute(dm.GoalDatabase, "Delete From \"Measure.db\"");
    dm.MeasureTable.open();
}

// Runs a conversion as one batch: every post of it in one transaction, all or nothing. When it
// fails, the database is as it was before, and the table objects that saw its rows read again.
template <typename Work> void atomically(DataModule& dm, Work work) {
    try {
        engine::BatchScope tx(dm.GoalDatabase);
        work();
        tx.commit();
    } catch (...) {
        for (engine::Table* t : {&dm.StrategyTable, &dm.MeasureTable}) {
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
        throw;
    }
}

} // namespace

QString BuildMeasurementText(DataModule& dm, qint64 strategyId) {
    return buildTexts(dm, strategyId).measurement;
}

QString BuildDeliverableText(DataModule& dm, qint64 strategyId) {
    return buildTexts(dm, strategyId).deliverable;
}

void ConvertToMultipleMeasures(DataModule& dm, const ConversionProgress& progress) {
    atomically(dm, [&] {
        deleteAllMeasurements(dm);
        engine::Query strategies(dm.GoalDatabase);
        strategies.add("Select * From \"Strategys.db\"");
        strategies.prepare();
        strategies.open();
        engine::Table& measures = dm.MeasureTable;
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
        strategies.close();
        strategies.unprepare();
    });
    progress(0);
}

void ConvertToSingleMeasure(DataModule& dm, const ConversionProgress& progress) {
    atomically(dm, [&] {
        engine::Table& strategies = dm.StrategyTable;
        strategies.setFiltered(false);
        strategies.first();
        {
            // The table walks in key order, the order the measurements are read in.
            engine::Query items(dm.GoalDatabase);
            MeasurementCursor measurements(items);
            for (int position = 0; !strategies.eof(); ++position) {
                progress(position);
                const qint64 key = strategies.field(QStringLiteral("StrategyID")).asInteger();
                const MeasurementTexts texts = measurements.textsOf(key);
                strategies.edit();
                strategies.field(QStringLiteral("Deliverable")).setValue(texts.deliverable);
                strategies.field(QStringLiteral("Measurement")).setValue(texts.measurement);
                strategies.post();
                strategies.next();
            }
        }
        deleteAllMeasurements(dm);
    });
    progress(0);
}

int MeasurementItemCount(DataModule& dm) {
    engine::Query q(dm.GoalDatabase);
    q.add("Select Count(*) As Items From \"Measure.db\"");
    q.prepare();
    q.open();
    const int n = q.isEmpty() ? 0 : int(q.field(QStringLiteral("Items")).asInteger());
    q.close();
    q.unprepare();
    return n;
}

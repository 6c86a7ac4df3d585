#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <exception>
#include <functional>

namespace data {
class DataModule;
}

namespace admin {

// The record a conversion has reached, called for each one as the conversion works through them
// (a step of records at a time); 0 once it has finished. It may throw ConversionCancelled to
// stop the conversion, which then leaves everything as it was.
using ConversionProgress = std::function<void(int record)>;
// Given instead of a record, about twenty times a second, while the conversion is being stored: that
// step can no longer be cancelled, and the callback must not use the database meanwhile.
constexpr int kStoringConversion = -1;

class ConversionCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "The conversion was cancelled."; }
};

// The texts of a strategy's measurement records, in measurement-number order, each line ended
// by a carriage return; empty when the strategy has none.
QString buildMeasurementText(data::DataModule& dm, qint64 strategyId);
QString buildDeliverableText(data::DataModule& dm, qint64 strategyId);

// Every strategy's own deliverable and measurement texts become its one measurement record;
// every measurement record there was is replaced, and the "multiple measurements" setting is
// stored on. All of it is stored, or none of it: a failure throws an engine::Error saying that
// nothing was changed, why, and which strategy was in the way when one was.
void convertToMultipleMeasures(data::DataModule& dm, const ConversionProgress& progress);
// Every strategy's texts are rebuilt from its measurement records, which are then removed, and
// the setting is stored off. All of it is stored, or none of it, as above. Other workstations
// read the old data until the conversion commits; none may be editing a strategy meanwhile.
void convertToSingleMeasure(data::DataModule& dm, const ConversionProgress& progress);

// Throws engine::Error, before anything is changed, where the logged-on user may not convert
// every strategy: on a server that holds the rights he reads and changes only the strategies
// his access list names, and converting only those would leave the others in the other form.
void checkMayConvertEveryStrategy(data::DataModule& dm);

// How many measurement records the database holds, of every strategy.
int measurementItemCount(data::DataModule& dm);
// How many strategies the database holds, of every user.
int strategyCount(data::DataModule& dm);
// The "multiple measurements" setting as stored; null when it has no value.
QVariant storedMultipleMeasurements(data::DataModule& dm);

} // namespace admin

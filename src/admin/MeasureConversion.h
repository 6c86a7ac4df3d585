#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

class DataModule;

// The record a conversion is processing, called before each one; 0 once it has finished.
using ConversionProgress = std::function<void(int record)>;

// The texts of a strategy's measurement records, in measurement-number order, each line ended
// by a carriage return; empty when the strategy has none.
QString BuildMeasurementText(DataModule& dm, qint64 strategyId);
QString BuildDeliverableText(DataModule& dm, qint64 strategyId);

// Every strategy's own deliverable and measurement texts become its one measurement record;
// every measurement record there was is replaced. All of it is stored, or none of it.
void ConvertToMultipleMeasures(DataModule& dm, const ConversionProgress& progress);
// Every strategy's texts are rebuilt from its measurement records, which are then removed.
// All of it is stored, or none of it.
void ConvertToSingleMeasure(DataModule& dm, const ConversionProgress& progress);

// How many measurement records the database holds, of every strategy.
int MeasurementItemCount(DataModule& dm);

#pragma once

#include "data/Csv.h"

#include <QList>
#include <QPair>
#include <QVector>
#include <optional>

namespace engine {
class Database;
class DataSet;
} // namespace engine

namespace data {

namespace csv {

// Every goal (of one year when given), in year and goal order, with the names of its type, the
// user it is for, its owner and the user who changed it last. Throws engine::Error when the
// database cannot be read; returns false when the device could not be written.
bool exportGoals(engine::Database& db, std::optional<int> year, QIODevice& out, QString* error = nullptr);

// The given goals, in the given order (the goals a screen lists), with the same columns.
bool exportGoalList(engine::Database& db, const QVector<qint64>& goalIds, QIODevice& out,
                    QString* error = nullptr);

// Every strategy under the goals of one year (or of every year), goal by goal, user by user,
// in strategy number order, with every text of the strategy. With `measurementItems` (strategies
// carry numbered items, the system setting) Deliverable and Measurement hold the items as the
// strategy report prints them, instead of the strategy's own two texts.
bool exportStrategies(engine::Database& db, std::optional<int> year, bool measurementItems, QIODevice& out,
                      QString* error = nullptr);

// The rows of a query over strategies and their goals, in its order (a report's selection),
// with the same columns as exportStrategies. The query holds the strategy's fields with the
// goal's GoalYear, GoalDescription and TypeDescription; its position does not move.
bool exportStrategyRows(engine::Database& db, engine::DataSet& rows, bool measurementItems, QIODevice& out,
                        QString* error = nullptr);

// The rows a data set presents now, from the first, in the given columns (field, title). The
// data set's position is restored afterwards.
bool exportDataSet(engine::DataSet& data, const QList<QPair<QString, QString>>& columns, QIODevice& out,
                   QString* error = nullptr);

} // namespace csv

} // namespace data

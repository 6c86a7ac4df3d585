#pragma once

#include <QList>
#include <QString>

namespace engine {
class DataSet;
}

namespace data {

// The numbered deliverable/measurement items of strategies (the Measure table), as the strategy
// report prints them when strategies carry items instead of one text each. The report and the
// CSV export both write them from here, so the two always say the same.
namespace items {

struct Item {
    qint64 strategy = 0;
    QString number;
    QString deliverable;
    QString measurement;
    QString completionDate; // null when the item has none
    bool completed = false;
};

// The items of a data set over Measure table rows, from its first row to its last, in its order.
QList<Item> read(engine::DataSet& rows);

// One paragraph of the report's DELIVERABLE or MEASUREMENT section; its text may hold line breaks.
struct Paragraph {
    QString text;
    bool bold = false;
};

// The sections for one strategy's items, in number order. Without items each is one empty
// paragraph.
QList<Paragraph> deliverables(const QList<Item>& items);
QList<Paragraph> measurements(const QList<Item>& items);

// A section as one text: its paragraphs as lines, without the empty ones at the end.
QString text(const QList<Paragraph>& section);

} // namespace items

} // namespace data

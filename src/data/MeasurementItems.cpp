#include "data/MeasurementItems.h"

#include "engine/DataSet.h"

namespace data {

namespace items {

QList<Item> read(engine::DataSet& rows) {
    QList<Item> out;
    auto text = [&](const char* name) { return rows.field(QLatin1String(name)).asString(); };
    for (rows.first(); !rows.eof(); rows.next()) {
        Item it;
        it.strategy = rows.field(QStringLiteral("StrategyID")).asInteger();
        it.number = text("MeasurementNumber");
        it.deliverable = text("Deliverable");
        it.measurement = text("Measurement");
        if (!rows.field(QStringLiteral("CompleationDate")).isNull())
            it.completionDate = text("CompleationDate");
        it.completed = rows.field(QStringLiteral("Compleated")).asBoolean();
        out << it;
    }
    return out;
}

QList<Paragraph> deliverables(const QList<Item>& items) {
    if (items.isEmpty()) return {Paragraph{}};
    QList<Paragraph> out;
    for (const Item& it : items) {
        out << Paragraph{it.number + QStringLiteral("#. ") + it.deliverable};
        // Always a line of its own, empty when there is nothing to say, so the items keep their
        // spacing.
        QString completion;
        if (!it.completionDate.isNull()) completion = QStringLiteral("Completion Date: ") + it.completionDate;
        if (it.completed) completion += QStringLiteral(" Completed");
        out << Paragraph{completion, true};
        if (!completion.isEmpty()) out << Paragraph{};
    }
    return out;
}

QList<Paragraph> measurements(const QList<Item>& items) {
    if (items.isEmpty()) return {Paragraph{}};
    QList<Paragraph> out;
    for (const Item& it : items)
        out << Paragraph{it.number + QStringLiteral("#. ") + it.measurement} << Paragraph{};
    return out;
}

QString text(const QList<Paragraph>& section) {
    qsizetype end = section.size();
    while (end > 0 && section[end - 1].text.isEmpty())
        --end;
    QStringList lines;
    for (qsizetype i = 0; i < end; ++i)
        lines << section[i].text;
    return lines.join(QLatin1Char('\n'));
}

} // namespace items

} // namespace data

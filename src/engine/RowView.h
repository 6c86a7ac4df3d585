#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>

namespace engine {

class Query;

// One row of a forward read, its columns read by position. Each accessor gives what the value
// read as a QVariant (Query::forEachRow) gives when converted the same way, so a large read can
// take integers, texts and dates without a QVariant made for every value of every row. A view is
// only valid during the call it is handed to.
class RowView {
public:
    virtual ~RowView() = default;
    virtual int columns() const = 0;
    virtual bool isNull(int column) const = 0;
    // As QVariant::toLongLong(), toDouble() and toString() of the value.
    virtual qint64 integer(int column) const = 0;
    virtual double number(int column) const = 0;
    virtual QString text(int column) const = 0;
    // As a date field reads the value (toFieldValue); invalid for NULL or a text that is no date.
    virtual QDate date(int column) const = 0;
    // The value as the engine keeps it (texts may be UTF-8 bytes).
    virtual QVariant value(int column) const = 0;

protected:
    RowView() = default;
    RowView(const RowView&) = default;
    RowView& operator=(const RowView&) = default;
};

// A row sink of the value-list kind (Backend::ValuesSink) that takes views as well: a store that
// reads straight through SQLite recognises it and hands it views of its statement's rows; any
// other store's value lists are handed on as views of the list.
class RowViewSink {
public:
    explicit RowViewSink(const std::function<void(const RowView&)>& row) : row_(&row) {}
    void operator()(const QVariantList& values) const;
    void operator()(const RowView& row) const { (*row_)(row); }

private:
    const std::function<void(const RowView&)>* row_; // outlives the read
};

// Reads the query's result once, forward, as Query::forEachRow does, each row handed as a view.
// Returns the number of rows read.
int forEachRow(Query& query, const std::function<void(const RowView&)>& row);

} // namespace engine

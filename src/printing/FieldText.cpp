#include "printing/FieldText.h"

#include "engine/DataSet.h"
#include "engine/DateFormat.h"
#include "printing/Report.h"

namespace printing {

QString FieldText::text(DrawContext& c) {
    engine::DataSet* ds = c.report->dataSet();
    if (!ds || !ds->isOpen() || ds->isEmpty()) return {};
    return engine::displayText(ds->fieldValue(field), ds->fieldType(field));
}

} // namespace printing

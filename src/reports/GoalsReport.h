#pragma once

#include "printing/Report.h"

namespace data {
class DataModule;
}
namespace engine {
class Query;
}

namespace reports {

// The printed list of goals: one line per row of a goals query.
class GoalsReport : public printing::Report {
    Q_OBJECT
public:
    GoalsReport(data::DataModule& dm, engine::Query& rows, QObject* owner = nullptr);

    printing::Label* titleLabel;
    printing::SysData* printedAtData;
    printing::SysData* pageNumberData;
    printing::Label* yearHeading;
    printing::Label* nameHeading;
    printing::Label* typeHeading;
    printing::Label* goalHeading;
    printing::Shape* headingRule;
    printing::DBText* yearText;
    printing::Label* nameText;
    printing::DBText* typeText;
    printing::DBText* goalText;

    // The name of the user the current goal is for.
    void fillUserName(QString& value);

private:
    data::DataModule& dm_;
    engine::Query& rows_;
};

} // namespace reports

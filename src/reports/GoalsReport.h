#pragma once

#include "printing/Report.h"

// The printed list of goals: one line per row of the data module's GoalsQuery.
class GoalsReport : public printing::Report {
    Q_OBJECT
public:
    explicit GoalsReport(QObject* owner = nullptr);

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
};

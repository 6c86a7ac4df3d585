#pragma once

#include "printing/Report.h"

// The printed list of goals: one line per row of the data module's GoalsQuery.
class GoalsReport : public printing::Report {
    Q_OBJECT
public:
    explicit GoalsReport(QObject* owner = nullptr);

    printing::Label* QRLabel1;
    printing::SysData* QRSysData2;
    printing::SysData* QRSysData1;
    printing::Label* QRLabel2;
    printing::Label* QRLabel4;
    printing::Label* QRLabel6;
    printing::Label* QRLabel3;
    printing::Shape* QRShape1;
    printing::DBText* QRDBText1;
    printing::Label* QRLabel5;
    printing::DBText* QRDBText3;
    printing::DBText* QRDBText2;

    // The name of the user the current goal is for.
    void QRLabel5Print(QString& value);
};

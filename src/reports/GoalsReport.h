#pragma once

#include "printing/Report.h"

class DataModule;
namespace engine {
class Query;
}

// The printed list of goals: one line per row of a goals query.
class GoalsReport : public printing::Report {
    Q_OBJECT
public:
    GoalsReport(DataModule& dm, engine::Query& rows, QObject* owner = nullptr);

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

private:
    DataModule& dm_;
    engine::Query& rows_;
};

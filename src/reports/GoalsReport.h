#pragma once

#include "printing/FieldText.h"
#include "printing/Label.h"
#include "printing/PrintInfoText.h"
#include "printing/Report.h"
#include "printing/Shape.h"

#include <QHash>

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
    printing::PrintInfoText* printedAtData;
    printing::PrintInfoText* pageNumberData;
    printing::Label* yearHeading;
    printing::Label* nameHeading;
    printing::Label* typeHeading;
    printing::Label* goalHeading;
    printing::Shape* headingRule;
    printing::FieldText* yearText;
    printing::Label* nameText;
    printing::FieldText* typeText;
    printing::FieldText* goalText;

    // The name of the user the current goal is for.
    void fillUserName(QString& value);

private:
    void buildPageHeader();
    void buildDetail();
    data::DataModule& dm_;
    engine::Query& rows_;
    QHash<int, QString> userNames_; // of the run
};

} // namespace reports

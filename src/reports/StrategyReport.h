#pragma once

#include "printing/Label.h"
#include "printing/Picture.h"
#include "printing/PrintInfoText.h"
#include "printing/Report.h"
#include "printing/RichTextBox.h"

#include <functional>
#include <memory>

class QPrinter;
namespace engine {
class Query;
}
class QWidget;
namespace controls {
class Desktop;
}
namespace data {
class DataModule;
}

namespace reports {

// The printed form of strategies: one page per row of a strategy query, headed
// by the logo and the two report titles of the settings, with the composed body below.
class StrategyReport : public printing::Report {
    Q_OBJECT
public:
    StrategyReport(data::DataModule& dm, engine::Query& rows, QObject* owner = nullptr);
    ~StrategyReport() override;

    printing::Band& strategyBand;
    printing::Label* titleLabel;
    printing::Label* subtitleLabel;
    printing::Picture* logoImage;
    printing::RichTextBox* richData;
    // On the pages a long strategy continues onto: the report title, the strategy, its owner.
    printing::Label* continuedTitleLabel;
    printing::Label* continuedStrategyLabel;
    printing::Label* continuedOwnerLabel;
    printing::PrintInfoText* pageNumberText;

    // Added after the owner's name and goal type on every page; empty unless a caller sets it.
    QString titleSuffix;

    // Run events: the scratch document lives from the first to the last.
    void startPrint();
    // Composes the page of the current row into the scratch document.
    void prepareStrategy();
    void finishPrint();

    // The body composed for the current row; null outside a run.
    const printing::RichDocument* body() const { return scratch_.get(); }

    // How the person is told that the logo could not be read (once per report): the screens' error
    // box (set by the runs below), the command-line tool's error output; unset, nobody is told.
    std::function<void(const QString&)> onWarning;

private:
    void loadLogo(const QString& path);
    void appendDeliverables(printing::RichDocument& doc, qint64 strategyKey);
    void appendMeasurements(printing::RichDocument& doc, qint64 strategyKey);
    data::DataModule& dm_;
    engine::Query& rows_;
    std::unique_ptr<printing::RichDocument> scratch_;
    QString logoPath_;      // the file LogoImage holds, or failed to read
    QString logoProblem_;   // what went wrong reading it, until told
    bool logoTold_ = false; // the person hears of an unreadable logo once
};

// The one way the strategy editor prints and previews its strategy.
//
// The caller has written and opened `rows` (or left it closed when there is nothing to print,
// e.g. a strategy not stored yet). Then:
//  - preview == false (Print): the print dialog is shown first; cancelling it prints nothing.
//    Otherwise the report goes straight to the chosen printer when "send to printer" is on, and
//    to the modal preview when it is off.
//  - preview == true (Preview): the modal preview, without a print dialog.
// With `rows` closed, Print shows the dialog and prints nothing, and Preview shows nothing. The
// title suffix stays empty. `rows` is closed and unprepared afterwards in every case, also when
// printing fails (the failure is thrown as engine::Error for the default error handler; the
// do-not-print refusal is the caller's, before calling this).
void printStrategyReport(data::DataModule& dm, engine::Query& rows, bool preview,
                         const controls::Desktop& desktop, QWidget* parent);

// For screens that show the print dialog before writing their query: runs one report over the
// open `rows` with a title suffix, to `printer` when given and to the modal preview otherwise,
// then closes and unprepares `rows` (also on failure).
void runStrategyReport(data::DataModule& dm, engine::Query& rows, QPrinter* printer,
                       const QString& titleSuffix, const controls::Desktop& desktop, QWidget* parent);

// For the report screens: builds their selection into `rows` with `build`, then runs the report
// over it as RunStrategyReport does. A selection that fails to build leaves the query closed and
// unprepared, like a report that fails.
void runStrategySelection(data::DataModule& dm, engine::Query& rows, const std::function<void()>& build,
                          QPrinter* printer, const QString& titleSuffix, const controls::Desktop& desktop,
                          QWidget* parent);

// Closes and clears a strategy query and writes the lines its selections share: the strategy with
// its goal, owner and goal type, ending in "And" for the caller's own conditions.
void beginStrategyQuery(engine::Query& q);

} // namespace reports

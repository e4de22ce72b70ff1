// The Seek page's generated selections and exchanged lists: "Generate
// selections…" (the dialog decides, the tree receives), and importing and
// exporting the list as CSV or EDL.

#include "app/MainWindow.h"

#include "analysis/SelectionExchange.h"
#include "views/DialogService.h"
#include "views/generate/GenerateDialog.h"
#include "views/timeline/Timeline.h"

#include <QAction>
#include <QFileInfo>

namespace stillora {

namespace {
const QString kListFilter = QStringLiteral("Selection lists (*.csv *.edl)");
const QString kExportFilters = QStringLiteral("CSV lists (*.csv);;Edit decision lists (*.edl)");
} // namespace

bool TfrmMain::canExchangeSelections(const QString& what) {
    // Live frames have no times to exchange, and a lent source is busy rendering.
    if (!SourceOpened || CurrentSourceKind == 0 || lentMedia_ || media_->frameCount() <= 0) {
        Dialogs().message(DialogService::Information, QString(),
                          what + " needs a video file, DVD or stream that is open and not rendering.",
                          DialogService::Ok, this);
        return false;
    }
    return true;
}

void TfrmMain::actGenerateExecute() {
    if (!canExchangeSelections("Generating selections")) return;
    actPauseExecute();
    GenerateDialog::Source source;
    source.path = SourceName;
    source.sourceKind = CurrentSourceKind;
    source.frameCount = media_->frameCount();
    source.times = media_->frameTimes();
    source.markIn = TrackBar->SelStart();
    source.markOut = TrackBar->SelEnd();
    // Scenes and sharpness decode the file a second time on their own.
    source.canDecode = CurrentSourceKind == static_cast<int>(SourceKind::File);
    GenerateDialog dialog(std::move(source), this);
    if (dialog.exec() != QDialog::Accepted) return;
    addGeneratedSelections(dialog.takeSelections());
}

void TfrmMain::addGeneratedSelections(SelectionList made) {
    const size_t count = made.size();
    for (auto& selection : made)
        treeModel_->AddSelectionToTree(std::move(selection));
    setStatus(QString::number(count) + (count == 1 ? " selection added." : " selections added."));
    if (frmTimeline) frmTimeline->RefreshGrid();
    UpdateNextButton();
}

void TfrmMain::actImportListExecute() {
    if (!canExchangeSelections("Importing a selection list")) return;
    const QString path = Dialogs().openFile("Import selections", QFileInfo(SourceName).absolutePath(), kListFilter, this);
    if (path.isEmpty()) return;
    const ExchangeReadResult read = readSelectionsFile(path, FrameClock(media_->frameTimes(), media_->frameRate()));
    if (!read.error.isEmpty()) {
        Dialogs().message(DialogService::Error, QString(), read.error, DialogService::Ok, this);
        return;
    }
    addGeneratedSelections(selectionsFrom(read.selections, CurrentSourceKind));
    if (!read.problems.isEmpty())
        Dialogs().message(DialogService::Warning, QString(),
                          QString("%1 selection(s) were added; these lines could not be used:\n")
                                  .arg(read.selections.size()) +
                              read.problems.join('\n'),
                          DialogService::Ok, this);
}

void TfrmMain::actExportListExecute() {
    if (!canExchangeSelections("Exporting the selection list")) return;
    QString filter;
    const QFileInfo source(SourceName);
    QString path = Dialogs().saveFile("Export selections", source.absolutePath() + '/' + source.completeBaseName() + ".csv",
                                      kExportFilters, &filter, this);
    if (path.isEmpty()) return;
    if (exchangeFormatOf(path) == ExchangeFormat::Unknown)
        path += filter.contains("*.edl") ? QStringLiteral(".edl") : QStringLiteral(".csv");
    QString error;
    if (!writeSelectionsFile(path, exchangedFrom(treeModel_->TopLevelSelections()),
                             FrameClock(media_->frameTimes(), media_->frameRate()), source.fileName(), &error))
        Dialogs().message(DialogService::Error, QString(), error, DialogService::Ok, this);
    else
        setStatus("Selections exported to " + QFileInfo(path).fileName() + ".");
}

} // namespace stillora

// The wizard: page changes with their enter and exit handlers, the wizard
// buttons, the Select page set-up, closing.

#include "app/MainWindow.h"

#include "app/Artwork.h"
#include "app/settings/SettingsBinder.h"
#include "pluginhost/EffectChain.h"
#include "views/DialogService.h"
#include "views/VideoWindow.h"
#include "views/browser/GraphicSelector.h"
#include "views/pages/ConfigPage.h"
#include "views/pages/FinalizePage.h"
#include "views/timeline/GetFrame.h"
#include "views/timeline/Timeline.h"
#include "views/viewer/ImageViewer.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>

namespace stillora {

void TfrmMain::SetActivePage(int page) {
    if (page < 0 || page >= PageCount || page == activePage_) return;
    const int old = activePage_;
    if (old >= 0) exitPage(old);
    activePage_ = page;
    kw->setCurrentIndex(page);
    KWNodes->setCurrentRow(page);
    lblTitle->setText(kw->widget(page)->property("title").toString());
    lblSubtitle->setText(kw->widget(page)->property("subtitle").toString());
    updateWizardButtons();
    enterPage(page);
    pageShown(page);
}

void TfrmMain::updateWizardButtons() {
    // Visible buttons by page; all start enabled.
    const int page = activePage_;
    btnBack->setVisible(page != kwWelcome);
    btnNext->setVisible(page != kwFinish);
    btnFinish->setVisible(page == kwFinish);
    btnCancel->setVisible(page != kwFinish || FinalizePage->running());
    btnBack->setEnabled(true);
    btnNext->setEnabled(true);
    btnFinish->setEnabled(true);
}

void TfrmMain::enterPage(int page) {
    switch (page) {
    case kwWelcome: Animation->start(); break;
    case kwSelectSource: SetupSelectPage(); break;
    case kwSelect: EnterSeek(); break;
    case kwIP: {
        QImage frame;
        GrabFrame(frame);
        preview_ = frame;
        Stretch1Click(Stretch1->isChecked());
        break;
    }
    case kwExport: ConfigPage->EnterPage(); break;
    case kwFinish: btnFinish->setEnabled(false); break;
    }
}

void TfrmMain::exitPage(int page) {
    switch (page) {
    case kwWelcome:
        Animation->stop();
        Animation->rewind();
        break;
    case kwSelectSource: SetupSelectPage(); break;
    case kwSelect:
        if (!LiveSource()) actPauseExecute();
        break;
    case kwExport: ConfigPage->ExitPage(); break;
    default: break;
    }
}

void TfrmMain::pageShown(int page) {
    QWidget* container = page == kwSelect ? pnlSelContainerFrames : page == kwIP ? pnlSelContainerFilters : nullptr;
    if (container && pnlSelections->parentWidget() != container) container->layout()->addWidget(pnlSelections);
}

void TfrmMain::btnBackClick() { SetActivePage(activePage_ - 1); }
void TfrmMain::btnNextClick() { SetActivePage(activePage_ + 1); }

void TfrmMain::btnCancelClick() {
    // While a source opens, Cancel stops the open and nothing else.
    if (opening_) {
        openCancelRequested_ = true;
        return;
    }
    if (activePage_ == kwFinish) {
        StopRequested = true;
        FinalizePage->RequestStop();
        return;
    }
    if (activePage_ == kwWelcome || activePage_ == kwSelectSource || AskSaveChanges()) {
        closing_ = true;
        close();
    }
}

void TfrmMain::btnFinishClick() {
    closing_ = true;
    close();
}

bool TfrmMain::AskSaveChanges() {
    if (treeModel_->isEmpty()) return true;
    const auto answer = Dialogs().message(DialogService::Warning, QString(),
                                          "Do you want to save the changes before exit?",
                                          DialogService::Yes | DialogService::No | DialogService::Cancel, this);
    if (answer == DialogService::Cancel) return false;
    if (answer == DialogService::Yes) actSave->trigger();
    return true;
}

void TfrmMain::UpdateNextButton() {
    if (activePage_ == kwSelect) btnNext->setEnabled(!treeModel_->isEmpty());
}

void TfrmMain::sourceButtonClick() {
    SourceOpened = false;
    SetupSelectPage();
}

void TfrmMain::SetupSelectPage() {
    CurrentSourceKind = 0;
    auto enable = [](std::initializer_list<QWidget*> on, std::initializer_list<QWidget*> off) {
        for (QWidget* w : on) w->setEnabled(true);
        for (QWidget* w : off) w->setEnabled(false);
    };
    if (btnCapture->isChecked()) {
        setStatus("Live capture video streams.");
        enable({edtCapture}, {edtFiles, edtDVDSource, edtURL, cbFrameRate});
        CurrentSourceKind = 0;
        // Keep the device the user chose when it is still there.
        const QString chosen = edtCapture->currentText();
        if (RefreshCaptureDevices() == 0) {
            edtCapture->setEnabled(false);
        } else {
            const int keep = edtCapture->findText(chosen);
            const int byName = edtCapture->findText(SourceName);
            edtCapture->setCurrentIndex(keep >= 0 ? keep : byName >= 0 ? byName : 0);
        }
        SourceName = edtCapture->currentText();
    } else if (btnFiles->isChecked()) {
        setStatus("Off-line video files.");
        enable({edtFiles, cbFrameRate}, {edtCapture, edtDVDSource, edtURL});
        cbFrameRate->setCurrentIndex(0);
        CurrentSourceKind = 1;
        if (edtFiles->text().isEmpty()) browseFiles();
        SourceName = edtFiles->text();
    } else if (btnDVD->isChecked()) {
        setStatus("DVD Video");
        enable({edtDVDSource}, {edtCapture, edtFiles, edtURL});
        CurrentSourceKind = 3;
        SourceName = edtDVDSource->text();
    } else if (btnURL->isChecked()) {
        setStatus("Internet stream files.");
        enable({edtURL}, {edtCapture, edtFiles, edtDVDSource, cbFrameRate});
        CurrentSourceKind = 2;
        SourceName = edtURL->text();
    }
}

void TfrmMain::browseFiles() {
    const QString path = Dialogs().openFile("Select a video file (e.g. AVI, MPG, MOV, etc.)", edtFiles->text(),
                                            "Video files (*.avi *.mpg *.mpeg *.mp4 *.m4v *.mov *.mkv *.webm "
                                            "*.wmv *.flv *.ts *.vob *.ogv);;All files (*)",
                                            this);
    if (!path.isEmpty()) edtFiles->setText(path);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (opening_) {
        // An open that indexes a file or waits for a server holds the
        // source: stop it, and close when it has returned.
        closeAfterOpen_ = true;
        openCancelRequested_ = true;
        event->ignore();
        return;
    }
    if (FinalizePage->running()) {
        // The run owns the source until its next frame boundary: stop it
        // there, let the exporter finish, and close when the run has ended.
        closeAfterRun_ = true;
        StopRequested = true;
        FinalizePage->RequestStop();
        event->ignore();
        return;
    }
    event->accept();
    if (closed_) return;
    closed_ = true;
    // Closing always proceeds: stop the source, then store what is to be
    // kept. Every other window goes with this one, so the program ends here.
    CloseSource();
    CaptureDeviceList.clear();
    try {
        if (settings_) SaveWindowPlacements(*settings_, {this, frmRender.get(), frmTimeline.get(), frmGetFrame.get()});
        StoreSettings();
    } catch (const std::exception&) {
    }
    closeOtherWindows();
    QCoreApplication::quit();
}

void TfrmMain::LoadSettings() {
    if (!settings_) return;
    binder_ = std::make_unique<SettingsBinder>(this);
    binder_->SetFont(FinalizePage->overlayFont());
    binder_->SetHook("SelectedSource", {[this] { return SettingValue(CurrentSourceKind); },
                                        [this](const SettingValue& value) {
                                            if (auto* kind = std::get_if<int32_t>(&value)) CurrentSourceKind = *kind;
                                        }});
    BindAviSettings(*binder_);
    binder_->SetupControls();
    RefreshCaptureDevices();
    const SettingsLoadResult result = binder_->LoadAll(*settings_);
    if (!result.sourceFile.isEmpty()) SourceName = result.sourceFile;
    SourceOpened = false;
    // An unreadable settings file is kept aside before it can be replaced;
    // the user hears about it once, here.
    if (settings_->readFailed()) {
        if (settings_->KeepDamagedCopy())
            setStatus(settings_->problem() + " A copy is kept as " + settings_->damagedCopy() + ".");
        else
            setStatus(settings_->problem());
    }
}

void TfrmMain::StoreSettings() {
    if (!settings_ || !binder_) return;
    binder_->StoreAll(*settings_);
    StorePluginSettings();
    settings_->Save(); // a failed save keeps the previous file
}

void TfrmMain::setStatus(const QString& text) { lblState->setText(text); }

std::vector<TSelection*> TfrmMain::selections() { return treeModel_->TopLevelSelections(); }

bool TfrmMain::fetchFrame(int64_t frame, QImage& picture, QString* error) {
    SeekToFrame(frame, false);
    QImage grabbed;
    GrabFrame(grabbed);
    if (grabbed.isNull()) {
        if (error) *error = "Cannot grab frame " + QString::number(frame) + ".";
        return false;
    }
    picture = grabbed;
    return true;
}

RenderFrameSource* TfrmMain::renderSource() {
    // The safe-seek delay waits on this thread between seek and grab, and
    // live sources render from their stored slots: both stay sequential.
    if (cbSeekDelay->isChecked() || LiveSource() || !SourceOpened || !media_->isOpen())
        return nullptr;
    std::string error;
    if (media_->state() == MediaState::Running) media_->pause(&error);
    lentMedia_ = std::make_unique<MediaFrameSource>(*media_);
    return lentMedia_.get();
}

void TfrmMain::runStarted(bool) {
    StopRequested = false;
    KWNodes->setEnabled(false);
    KWNodes->setCursor(Qt::WaitCursor);
    btnBack->setEnabled(false);
    // Nothing may end the program or the source under a run.
    finishBeforeRun_ = btnFinish->isEnabled();
    // The run positions the source itself; the position timer would only
    // write stale frame numbers into the status line.
    TimerPos->stop();
    btnFinish->setEnabled(false);
    btnCancel->setVisible(true);
}

void TfrmMain::runEnded(bool preview) {
    StopRequested = true;
    if (lentMedia_) {
        // The run's fetch thread has ended: show where it left the source.
        lentMedia_.reset();
        const QSignalBlocker block(TrackBar);
        TrackBar->setValue(low32(media_->currentFrame()));
        Video->frameArrived();
    }
    KWNodes->setEnabled(true);
    KWNodes->unsetCursor();
    btnBack->setEnabled(true);
    btnCancel->setVisible(activePage_ != kwFinish);
    btnFinish->setEnabled(!preview || finishBeforeRun_);
    if (closeAfterRun_) {
        // The run's exporter has finished; the close that came meanwhile
        // goes ahead once the run has returned.
        closeAfterRun_ = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void TfrmMain::runProgress(const QString& text) { setStatus(text); }

void TfrmMain::showImageBrowser(const QString& folder, const QString& mask) {
    // A run stopped by closing the window ends without opening the browser.
    if (closeAfterRun_ || closed_) return;
    if (frmGraphicSelector) frmGraphicSelector->showFolder(folder, mask);
}

EffectApplier TfrmMain::effectApplier() {
    return [](const TPluginRecord& effect, const QImage& src, QImage& dst) {
        QImage input = src;
        ApplyEffectEntry(effect, input, dst);
    };
}

void TfrmMain::Stretch1Click(bool down) {
    if (preview_.isNull()) {
        Image32->clear();
        return;
    }
    const QSize box = Image32->contentsRect().size();
    Image32->setPixmap(QPixmap::fromImage(
        down ? preview_.scaled(box, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
             : preview_.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void TfrmMain::showPreview(const QImage& picture) {
    preview_ = picture;
    Stretch1Click(Stretch1->isChecked());
}

} // namespace stillora

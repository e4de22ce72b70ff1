// The Seek page's source: opening the four kinds, playback, the position
// slider, seeking to a frame, grabbing it, and the live capture ring.

#include "app/MainWindow.h"

#include "selection/SelectionFile.h"
#include "video/DvdTitle.h"
#include "views/DialogService.h"
#include "views/VideoWindow.h"
#include "views/pages/FinalizePage.h"
#include "views/timeline/Timeline.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

namespace stillora {

namespace {
// Shows the wait cursor for as long as it lives.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

QString TfrmMain::StripQuotes(const QString& text) {
    QString result = text;
    if (result.startsWith('"')) result.remove(0, 1);
    if (result.endsWith('"')) result.chop(1);
    return result;
}

bool TfrmMain::VMRMode() const { return cbVMRMode->isChecked(); }

bool TfrmMain::LiveSource() const { return CurrentSourceKind == 0 || (CurrentSourceKind == 2 && liveStream_); }

void TfrmMain::suspendActions(bool suspended) {
    for (QAction* a : {actMarkIn, actMarkOut, actPlay, actPause, actStop, actGetCurrentFrame, actAddCurrentSelection,
                       actGenerate, actImportList, actExportList})
        a->setEnabled(!suspended);
}

void TfrmMain::EnterSeek() {
    UpdateNextButton();
    if (!SourceOpened) {
        actNew->trigger();
        if (OpenSource(CurrentSourceKind, SourceName))
            actPlay->trigger();
        else
            setStatus("Cannot open: " + SourceName + (openFailure_.isEmpty() ? QString() : " \u2013 " + openFailure_));
    }
    TrackBar->setEnabled(!LiveSource() && SourceOpened);
    btnCapSettingsAction->setVisible(btnCapture->isChecked());
}

bool TfrmMain::OpenSource(int kind, const QString& name) {
    WaitCursor wait;
    treeModel_->Clear();
    TrackBar->SetSelStart(0);
    TrackBar->SetSelEnd(0);
    suspendActions(true);
    Video->clearFrame();
    liveStream_ = false;
    openFailure_.clear();
    bool opened = false;
    switch (kind) {
    case 0: opened = OpenCaptureDevice(name); break;
    case 1: opened = OpenMediaFile(name); break;
    case 2: opened = OpenStreamUrl(name); break;
    case 3: opened = OpenDvd(name); break;
    default: break;
    }
    if (opened) {
        // A stream says what it turned out to be: a remote file with a
        // position and exact frames, or a broadcast whose frames go to the ring.
        if (kind == 2)
            setStatus(liveStream_ ? QStringLiteral("Media opened. Live stream: frames are kept as they arrive.")
                                  : QStringLiteral("Media opened. Remote file of %1 frames.").arg(FrameCount()));
        else
            setStatus("Media opened.");
        SourceOpened = true;
        suspendActions(false);
        media_->setFrameNotifier([this] { Video->frameArrived(); });
        // The source's own selection list comes back; a missing file reads nothing.
        // A DVD's list is named after its IFO file, also when a folder was given.
        // A URL names no local file, so no list is looked up beside it.
        const QString listed = kind == 1 || kind == 3 ? dvdIfoPath(name) : name;
        if (kind != 2) LoadSelectionFile(SelectionFileName(listed), *treeModel_, plugins_);
        emit sourceOpened(name);
    } else {
        setStatus("Error opening media.");
        SourceOpened = false;
        TrackBar->setEnabled(false);
    }
    if (frmTimeline) frmTimeline->RefreshGrid();
    UpdateNextButton();
    if (closeAfterOpen_) {
        // The window was closed while the source opened: the open has
        // stopped, and the close goes ahead once this handler has returned.
        closeAfterOpen_ = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
    return opened;
}

bool TfrmMain::OpenCaptureDevice(const QString& name) {
    CaptureBufferActive = false;
    media_->setFrameCallback({});
    CaptureDeviceList = media_->captureDevices();
    const std::string wanted = name.toStdString();
    bool found = false;
    for (const auto& device : CaptureDeviceList) found = found || device.name == wanted;
    if (!found) return false;
    std::string error;
    const bool opened = media_->open(SourceKind::Live, wanted, &error);
    if (opened) {
        std::string ignored;
        media_->run(&ignored);
    }
    CaptureBufferActive = false;
    media_->setFrameCallback([this](const QImage& frame, int64_t) { GrabberBuffer(frame); });
    CaptureBufferActive = AllocateCaptureStack();
    return opened;
}

namespace {

// Holds back the user's input while a file is indexed or a server is
// waited for, so that no handler runs inside the open; an Escape key press
// asks the open to stop, and so does a click on `cancel` (when given), the
// one control that stays usable.
class OpenInputGate : public QObject {
public:
    explicit OpenInputGate(QWidget* cancel = nullptr) : cancel_(cancel) { qApp->installEventFilter(this); }
    ~OpenInputGate() override { qApp->removeEventFilter(this); }
    bool cancelled() const { return cancelled_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (cancel_ && isMouseEvent(event->type())) {
            // Mouse input reaches a widget through its window: let the
            // window's share pass, and of the widgets' only the cancel button's.
            auto* widget = qobject_cast<QWidget*>(watched);
            if (!widget && watched->isWindowType()) return false;
            if (widget && (widget == cancel_ || cancel_->isAncestorOf(widget))) return false;
            return true;
        }
        switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) cancelled_ = true;
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        case QEvent::Close:
            // The main window defers its own close until the open has
            // stopped; other windows stay as they are meanwhile.
            return !isMainWindow(watched);
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    // The main window, or the platform window it is shown in (a close from
    // the window system, or QWidget::close(), comes to the latter first).
    static bool isMainWindow(QObject* watched) {
        if (qobject_cast<TfrmMain*>(watched)) return true;
        if (!watched->isWindowType()) return false;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (qobject_cast<TfrmMain*>(top) && top->windowHandle() == watched) return true;
        return false;
    }
    static bool isMouseEvent(QEvent::Type type) {
        return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
               type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove;
    }
    QWidget* cancel_;
    bool cancelled_ = false;
};

} // namespace

bool TfrmMain::OpenMediaFile(const QString& path) {
    // A DVD's folder, IFO file or image picked as a file plays as the DVD it is.
    if (isDvdVolumePath(path)) return OpenDvd(path);
    std::string error;
    media_->setFrameCallback({});
    // The index pass over a long file.
    const bool opened = waitOnMedia([&] { return media_->open(SourceKind::File, path.toStdString(), &error); });
    if (!opened) return false;
    TrackBar->setEnabled(false);
    SetTrackBarRange();
    return true;
}

void TfrmMain::SetTrackBarRange() {
    // A count that cannot be read keeps the slider's previous maximum.
    TrackBar->setMinimum(0);
    const int64_t n = FrameCount();
    if (n > 0) {
        const QSignalBlocker block(TrackBar);
        TrackBar->setMaximum(low32(n - 1));
    }
    TrackBar->setEnabled(true);
}

bool TfrmMain::streamSource() const { return media_->isOpen() && media_->kind() == SourceKind::Stream; }

bool TfrmMain::waitOnMedia(const std::function<bool()>& call) {
    // The work runs on the media layer's thread; the window keeps painting
    // and shows how far it got.
    OpenInputGate gate(btnCancel);
    opening_ = true;
    openCancelRequested_ = false;
    media_->setOpenProgress([this, &gate](int percent) {
        if (percent == MediaSource::kConnecting)
            setStatus(QStringLiteral("Connecting\u2026"));
        else
            setStatus(percent < 0 ? QStringLiteral("Indexing\u2026")
                                  : QStringLiteral("Indexing\u2026 %1 %").arg(percent));
        QCoreApplication::processEvents();
        return !gate.cancelled() && !openCancelRequested_;
    });
    const bool result = call();
    media_->setOpenProgress(nullptr);
    opening_ = false;
    return result;
}

bool TfrmMain::OpenStreamUrl(const QString& url) {
    if (url.isEmpty()) return false;
    std::string error;
    CaptureBufferActive = false;
    media_->setFrameCallback({});
    // Connecting, reading the stream's header and indexing a remote file.
    const bool opened = waitOnMedia(
        [&] { return media_->open(SourceKind::Stream, StripQuotes(url).toStdString(), &error); });
    if (!opened) {
        openFailure_ = QString::fromStdString(error);
        return false;
    }
    liveStream_ = media_->isLive();
    if (!liveStream_) {
        SetTrackBarRange();
        return true;
    }
    // A broadcast is a live source: its frames go to the ring while it plays.
    TrackBar->setEnabled(true);
    media_->setFrameCallback([this](const QImage& frame, int64_t) { GrabberBuffer(frame); });
    CaptureBufferActive = AllocateCaptureStack();
    return true;
}

bool TfrmMain::OpenDvd(const QString& path) {
    std::string error;
    media_->setFrameCallback({});
    if (!media_->open(SourceKind::Dvd, path.toStdString(), &error)) {
        Dialogs().message(DialogService::Error, "Error", QString::fromStdString(error), DialogService::Ok, this);
        return false;
    }
    SetTrackBarRange();
    std::string ignored;
    media_->run(&ignored);
    return true;
}

int TfrmMain::RefreshCaptureDevices() {
    const QSignalBlocker block(edtCapture);
    edtCapture->clear();
    CaptureDeviceList = media_->captureDevices();
    for (const auto& device : CaptureDeviceList) edtCapture->addItem(QString::fromStdString(device.name));
    if (CaptureDeviceList.empty()) {
        edtCapture->addItem("- No Capture Devices Found -");
        edtCapture->setCurrentIndex(0);
    } else {
        edtCapture->setCurrentIndex(edtCapture->findText(SourceName));
    }
    return static_cast<int>(CaptureDeviceList.size());
}

void TfrmMain::PlayFromPosition(int64_t frame) {
    const int64_t n = FrameCount();
    media_->setStopFrame(n > 0 ? n - 1 : -1);
    std::string error;
    if (media_->seek(frame, &error)) TimerPos->start();
    if (!media_->run(&error)) throw std::runtime_error(error);
}

void TfrmMain::CloseSource() {
    if (LiveSource()) media_->setFrameCallback({});
    CaptureBufferActive = false;
    media_->setFrameNotifier({});
    media_->close();
    TimerPos->stop();
}

void TfrmMain::actPlayExecute() {
    try {
        std::string error;
        if (LiveSource()) {
            media_->pause(&error);
            // After a read that was aborted, a stream reconnects first.
            if (!waitOnMedia([&] { return media_->run(&error); })) throw std::runtime_error(error);
        } else if (streamSource()) {
            std::exception_ptr failure;
            waitOnMedia([&] {
                try {
                    PlayFromPosition(TrackBar->value());
                } catch (...) {
                    failure = std::current_exception();
                }
                return !failure;
            });
            if (failure) std::rethrow_exception(failure);
            PlaybackState = 1;
        } else {
            PlayFromPosition(TrackBar->value());
            PlaybackState = 1;
        }
        setStatus("Stream is playing...");
    } catch (const std::exception&) {
        setStatus("Error Playing");
    }
}

void TfrmMain::actPauseExecute() {
    std::string error;
    if (!media_->pause(&error)) {
        setStatus("Error on Pause");
        return;
    }
    PlaybackState = 2;
    setStatus("Stream is paused.");
}

void TfrmMain::actStopExecute() {
    std::string error;
    if (!media_->stop(&error)) {
        setStatus("Error on Stop");
        return;
    }
    PlaybackState = 0;
    setStatus("Stream is stopped.");
}

void TfrmMain::TrackBarEnter() { actPauseExecute(); }

void TfrmMain::TrackBarChange(int position) {
    setStatus("Frame " + QString::number(position));
    if (PlaybackState != 1) {
        TimerPos->stop();
        PlaybackState = 3;
        SeekToFrame(position, true);
    }
}

void TfrmMain::TimerPosTimer() { TrackBar->setValue(low32(CurrentFrame())); }

int64_t TfrmMain::FrameCount() { return media_->frameCount(); }

int64_t TfrmMain::CurrentFrame() { return media_->currentFrame(); }

void TfrmMain::SeekToFrame(int64_t frame, bool noWait) {
    if (LiveSource()) return;
    std::string error;
    if (media_->state() == MediaState::Running) media_->pause(&error);
    const bool safeDelay = cbSeekDelay->isChecked();
    const bool sought = streamSource() ? waitOnMedia([&] { return media_->seek(frame, &error); })
                                       : media_->seek(frame, &error);
    if (!sought) {
        setStatus(QString::fromStdString(error));
        return;
    }
    // During a run the status line shows the run's progress instead.
    if (!FinalizePage->running()) setStatus(QString::number(FrameCount()));
    {
        // The slider follows without seeking a second time.
        const QSignalBlocker block(TrackBar);
        TrackBar->setValue(low32(frame));
    }
    TrackBar->repaint();
    Video->frameArrived();
    if (noWait) return;
    QThread::yieldCurrentThread();
    for (int round = 0; round < 5000; ++round) {
        QCoreApplication::processEvents();
        if (media_->state() == MediaState::Paused) break;
    }
    if (safeDelay) WaitMilliseconds(spinSeekDelay->value());
}

void TfrmMain::WaitMilliseconds(int n) {
    for (int i = 0; i < n; ++i) {
        QThread::msleep(1);
        QCoreApplication::processEvents();
    }
}

bool TfrmMain::GrabToBitmap(QImage& bitmap) { return media_->grab(bitmap); }

void TfrmMain::GrabFrame(QImage& frameBitmap) {
    QImage grabbed;
    const bool ok = GrabToBitmap(grabbed);
    // An open source that yields no picture at all cannot be grabbed from:
    // offer the other rendering mode.
    if (!ok && SourceOpened && media_->isOpen() && !LiveSource()) {
        const auto answer = Dialogs().message(
            DialogService::Warning, QString(),
            "Stillora cannot grab the frame.\r\n\r\nDo you want to activate VMR mode and check again?",
            DialogService::Yes | DialogService::No, this);
        if (answer == DialogService::Yes) {
            SetActivePage(kwSelectSource);
            cbVMRMode->setChecked(true);
            SourceOpened = false;
            raise();
            activateWindow();
        }
        return;
    }
    frameBitmap = grabbed;
}

bool TfrmMain::AllocateCaptureStack() {
    QImage probe;
    GrabToBitmap(probe);
    QSize size = probe.isNull() ? media_->frameSize() : probe.size();
    std::lock_guard<std::mutex> lock(CaptureStack_->SlotLock);
    CaptureStack_->AllocateSlots(size);
    CaptureStack_->Index = 0;
    return true;
}

void TfrmMain::GrabberBuffer(const QImage& frame) {
    // Runs on the decoding thread. The handler is installed for live sources
    // only, and CaptureBufferActive is lowered before any other open or close,
    // so the flag alone says whether this frame belongs in the ring.
    if (!CaptureBufferActive || !CaptureStack_) return;
    std::lock_guard<std::mutex> lock(CaptureStack_->SlotLock);
    const int count = CaptureStack_->IconsCount();
    if (count == 0) return;
    if (CaptureStack_->Index < 0 || CaptureStack_->Index >= count) CaptureStack_->Index = 0;
    TMemBitmap& slot = CaptureStack_->MemSlots[static_cast<size_t>(CaptureStack_->Index)];
    // The frame is only lent for this call: keep a deep copy.
    slot.Picture = frame.format() == QImage::Format_RGB32 ? frame.copy() : frame.convertToFormat(QImage::Format_RGB32);
    CaptureStack_->Index = CaptureStack_->Index + 1 >= count ? 0 : CaptureStack_->Index + 1;
}

} // namespace stillora

namespace stillora {

void TfrmMain::edtFilesChange() {
    SourceOpened = false;
    const QString stripped = StripQuotes(edtFiles->text());
    if (stripped != edtFiles->text()) {
        edtFiles->setText(stripped); // runs this handler once more
        return;
    }
    if (QFileInfo::exists(stripped)) SourceName = stripped;
}

void TfrmMain::edtURLChange() {
    QCoreApplication::processEvents();
    if (edtURL->text() != SourceName) SourceName = edtURL->text();
}

void TfrmMain::edtCaptureChange() {
    QCoreApplication::processEvents();
    SourceName = edtCapture->currentText();
}

} // namespace stillora

#pragma once
// The main window: a six-page wizard (Start, Select, Seek, ApplyFX, Config,
// Finalize) with a navigation panel, the status line, the selection tree and
// the Seek page's video controls. Logic that can live elsewhere does: the
// selection model in selection/, media in video/, dialogs in views/.

#include "pluginhost/PluginRecord.h"
#include "selection/Selection.h"
#include "selection/SelectionTree.h"
#include "video/MediaSource.h"
#include "export/ExportShell.h"
#include "views/pages/RenderHost.h"
#include "views/timeline/TimelineHost.h"

#include <QIcon>
#include <QImage>
#include <QSlider>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QToolBar;
class QToolButton;

namespace stillora {

class SettingsBinder;
class SettingsStore;
class TVideoWindow;
namespace art { class Animation; }

// The slider holds 32-bit positions: a frame number goes on it by its low 32 bits.
inline int low32(int64_t frame) { return static_cast<int>(static_cast<uint32_t>(frame)); }

// The position slider: a slider that also shows the in/out marks.
class TTrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TTrackBar(QWidget* parent = nullptr);
    int SelStart() const { return selStart_; }
    int SelEnd() const { return selEnd_; }
    void SetSelStart(int value);
    void SetSelEnd(int value);

signals:
    void focusEntered();

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    int selStart_ = 0;
    int selEnd_ = 0;
};

// The selection tree view: accepts drags of root nodes only and hands drops
// to the model, which keeps every group at the top level.
class TSelTree : public QTreeView {
    Q_OBJECT
public:
    explicit TSelTree(QWidget* parent = nullptr);

protected:
    void startDrag(Qt::DropActions actions) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    int dragRow_ = -1;
};

class TConfigPage;
class TFinalizePage;
class TfrmRender;
class TfrmGraphicSelector;
class TfrmTimeline;
class TfrmGetFrame;
class FirstShowPlacer;

class TfrmMain : public QWidget, public RenderHost, public TimelineHost {
    Q_OBJECT
public:
    enum Page { kwWelcome = 0, kwSelectSource, kwSelect, kwIP, kwExport, kwFinish, PageCount };

    // `settings` (may be null: nothing is read or stored) must outlive the window.
    explicit TfrmMain(std::unique_ptr<MediaSource> media, SettingsStore* settings = nullptr,
                      QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Wizard
    int ActivePage() const { return activePage_; }
    void SetActivePage(int page);
    void UpdateNextButton();
    bool AskSaveChanges();
    // Restores the stored placement of this window and the viewer, timeline
    // and frame picker (once, after every window exists). Windows with no
    // stored placement open beside this one when first shown.
    void RestorePlacements();

    // Sources
    bool OpenSource(int kind, const QString& name);
    bool OpenCaptureDevice(const QString& name);
    bool OpenMediaFile(const QString& path);
    bool OpenStreamUrl(const QString& url);
    bool OpenDvd(const QString& path);
    int RefreshCaptureDevices();
    void PlayFromPosition(int64_t frame);
    void CloseSource();
    static QString StripQuotes(const QString& text);

    // Frames
    int64_t FrameCount();
    int64_t CurrentFrame();
    void SeekToFrame(int64_t frame, bool noWait);
    bool GrabToBitmap(QImage& bitmap);
    void GrabFrame(QImage& frameBitmap);
    void WaitMilliseconds(int n);
    bool AllocateCaptureStack();
    void GrabberBuffer(const QImage& frame);

    // Effects
    void LoadPluginList();
    // Writes each plug-in's stored dialog settings back into the plug-in
    // (start-up runs it after loading the plug-ins and the settings).
    void LoadPluginSettings();
    std::vector<TPluginRecord> HighlightedEffects() const;
    void AttachHighlighted(const QModelIndex& node, bool keep);
    void btnConfigureIPClick();
    void ToolButton17Click();

    // Selections
    void ActivateNode(const QModelIndex& node);
    void AddCurrentFrame();
    void AddCurrentSelection();

    // State shared with the other parts of the program.
    SelectionList& Selections() { return SelectionList_; }
    SelectionTree& Tree() { return *treeModel_; }
    TSelection& CaptureStack() { return *CaptureStack_; }
    MediaSource& Media() { return *media_; }
    PluginTable& Plugins() { return plugins_; }
    int CurrentSourceKind = 0;
    QString SourceName = QStringLiteral("Untitled");
    bool SourceOpened = false;
    bool StopRequested = true;
    QString ApplicationFolder;
    int PlaybackState = 0; // 0 stopped, 1 playing, 2 paused, 3 positioned by the user
    std::atomic<bool> CaptureBufferActive{false};
    bool VMRMode() const;
    // True while the source delivers live frames into CaptureStack: a
    // capture device, or a stream URL that turned out to be a broadcast.
    // Such a source has no position; its selections come from the ring.
    bool LiveSource() const;

    // What a render or preview run needs of the window.
    std::vector<TSelection*> selections() override;
    // A live stream is a live source to the run and the timeline.
    int sourceKind() override { return LiveSource() ? 0 : CurrentSourceKind; }
    bool fetchFrame(int64_t frame, QImage& picture, QString* error) override;
    RenderFrameSource* renderSource() override;
    QString sourceName() override { return SourceName; }
    void runStarted(bool preview) override;
    void runEnded(bool preview) override;
    void runProgress(const QString& text) override;
    EffectApplier effectApplier() override;
    void showImageBrowser(const QString& folder, const QString& mask) override;
    RenderExporter* exporter(const RenderSettings& settings) override;
    // The remembered AVI codec choice as rows of the settings store.
    void BindAviSettings(SettingsBinder& binder);

    // What the timeline window and the frame picker need of the window.
    std::vector<TSelection*> selectionList() override;
    TSelection& captureStack() override { return *CaptureStack_; }
    bool seekAndGrab(int64_t frame, QImage& picture) override;
    void seekTo(int64_t frame) override { SeekToFrame(frame, false); }
    void addSelection(std::unique_ptr<TSelection> selection) override;
    void showFrameInViewer(const TSelection& selection, const QImage* picture) override;

signals:
    // A source was opened; its selection list file may be read now.
    void sourceOpened(const QString& name);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Building the window
    void buildWindow();
    QWidget* buildWelcomePage();
    QWidget* buildSelectSourcePage();
    QWidget* buildSeekPage();
    QWidget* buildApplyFxPage();
    QWidget* buildConfigPage();
    QWidget* buildFinalizePage();
    void buildActions();
    void buildSelectionsPanel();
    void FormCreate();
    void LoadSettings();
    void StoreSettings();
    void StorePluginSettings();
    void closeOtherWindows();
    void actSaveExecute();
    void actLoadExecute();
    // Generated selections and exchanged lists (MainWindowGenerate.cpp).
    bool canExchangeSelections(const QString& what);
    void actGenerateExecute();
    void actImportListExecute();
    void actExportListExecute();
    void addGeneratedSelections(SelectionList made);

    // Page handlers
    void enterPage(int page);
    void exitPage(int page);
    void pageShown(int page);
    void SetupSelectPage();
    void EnterSeek();
    void updateWizardButtons();
    void suspendActions(bool suspended);
    void SetTrackBarRange();
    // Runs `call`, a call of the media layer that may take long (an open that
    // indexes a file or waits on a server, a play or seek of a stream that
    // reconnects), while the window keeps running: the status line says what
    // it waits for, user input waits, Escape and Cancel stop the wait.
    // Returns what `call` returned.
    bool waitOnMedia(const std::function<bool()>& call);
    // True when the open source is a stream URL.
    bool streamSource() const;

    // Handlers
    void btnBackClick();
    void btnNextClick();
    void btnCancelClick();
    void btnFinishClick();
    void sourceButtonClick();
    void edtFilesChange();
    void edtURLChange();
    void edtCaptureChange();
    void browseFiles();
    void actPlayExecute();
    void actPauseExecute();
    void actStopExecute();
    void actMarkInExecute();
    void actMarkOutExecute();
    void actNewExecute();
    void actCutExecute();
    void TrackBarChange(int position);
    void TrackBarEnter();
    void TimerPosTimer();
    void SelTreeCurrentChanged(const QModelIndex& current);
    void tlbRenderClick(bool down);
    void tlbCollapseClick(bool down);
    void Stretch1Click(bool down);
    void setStatus(const QString& text);
    void showPreview(const QImage& picture);
    void UpdateViewer(const TSelection* selection, const QImage& frame);

    std::unique_ptr<MediaSource> media_;
    // Set while a render fetches from media_ on a thread of its own: the
    // video window and the slider leave the media alone until the run ends.
    std::unique_ptr<RenderFrameSource> lentMedia_;
    // The exporter of the current (or last) render and the shell it talks through.
    std::unique_ptr<ExportShell> exportShell_;
    std::unique_ptr<RenderExporter> exporter_;
    SettingsStore* settings_ = nullptr;
    std::unique_ptr<SettingsBinder> binder_;
    SelectionList SelectionList_;
    std::unique_ptr<TSelection> CaptureStack_;
    SelectionTree* treeModel_ = nullptr;
    PluginTable plugins_;
    std::vector<CaptureDevice> CaptureDeviceList;
    int activePage_ = -1;
    bool closing_ = false;
    bool closeAfterRun_ = false;  // a close came during a run: close when it has ended
    bool finishBeforeRun_ = false; // Finish as it was when the run started
    bool closed_ = false;         // settings and placement are stored once
    bool liveStream_ = false;     // the open stream URL is a broadcast
    bool opening_ = false;        // an open waits on the media layer; Cancel stops it
    bool openCancelRequested_ = false;
    bool closeAfterOpen_ = false; // a close came during an open: close when it has ended
    QString openFailure_;         // why the last open failed, in a sentence; may be empty
    FirstShowPlacer* placer_ = nullptr;
    QImage preview_;      // the ApplyFX preview picture Image32
    QImage previewCache_; // ImageCache: the untouched frame while a plug-in dialog is open

public:
    // Controls, named as the program's other parts and the tests know them.
    QListWidget* KWNodes = nullptr;
    QStackedWidget* kw = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblSubtitle = nullptr;
    QPushButton* btnBack = nullptr;
    QPushButton* btnNext = nullptr;
    QPushButton* btnFinish = nullptr;
    QPushButton* btnCancel = nullptr;
    QLabel* lblState = nullptr;
    art::Animation* Animation = nullptr;
    // Select page
    QToolButton* btnCapture = nullptr;
    QToolButton* btnFiles = nullptr;
    QToolButton* btnURL = nullptr;
    QToolButton* btnDVD = nullptr;
    QComboBox* edtCapture = nullptr;
    QLineEdit* edtFiles = nullptr;
    QLineEdit* edtURL = nullptr;
    QLineEdit* edtDVDSource = nullptr;
    QComboBox* cbFrameRate = nullptr;
    QCheckBox* cbVMRMode = nullptr;
    QCheckBox* cbSeekDelay = nullptr;
    QSpinBox* spinSeekDelay = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    // Seek page
    TVideoWindow* Video = nullptr;
    TTrackBar* TrackBar = nullptr;
    QTimer* TimerPos = nullptr;
    QToolBar* tlbMain = nullptr;
    QToolButton* btnCapSettings = nullptr;
    QAction* btnCapSettingsAction = nullptr; // shows or hides btnCapSettings on its tool bar
    QLabel* lblStart = nullptr;
    QLabel* lblStop = nullptr;
    QWidget* pnlSelContainerFrames = nullptr;
    QWidget* pnlSelections = nullptr;
    QToolBar* tlbSel = nullptr;
    TSelTree* SelTree = nullptr;
    QToolButton* tbtnDelete = nullptr;
    QToolButton* tlbRender = nullptr;
    QToolButton* tlbCollapse = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* actMarkIn = nullptr;
    QAction* actMarkOut = nullptr;
    QAction* actGetCurrentFrame = nullptr;
    QAction* actAddCurrentSelection = nullptr;
    QAction* actPlay = nullptr;
    QAction* actPause = nullptr;
    QAction* actStop = nullptr;
    QAction* actFullScreen = nullptr;
    QAction* actNew = nullptr;
    QAction* actLoad = nullptr;
    QAction* actSave = nullptr;
    QAction* actCut = nullptr;
    QAction* actTimeline = nullptr;
    QAction* actGenerate = nullptr;
    QAction* actImportList = nullptr;
    QAction* actExportList = nullptr;
    QMenu* SelTreeMenu = nullptr;
    // ApplyFX page
    QLabel* Image32 = nullptr;
    QToolButton* Stretch1 = nullptr;
    QListWidget* CheckList = nullptr;
    QPushButton* btnAddIPToSelection = nullptr;
    QPushButton* btnAssignIP = nullptr;
    QPushButton* btnAddIPToAll = nullptr;
    QPushButton* btnAssignIPToAll = nullptr;
    QPushButton* btnRemoveIP = nullptr;
    QPushButton* btnRemoveAllIP = nullptr;
    QToolButton* btnConfigureIP = nullptr;
    QToolButton* btnRenderResult = nullptr;
    QWidget* pnlSelContainerFilters = nullptr;
    // The image viewer (a window of its own, owned here).
    std::unique_ptr<TfrmRender> frmRender;
    // The browser of exported stills, shown after a numbered-frames render.
    std::unique_ptr<TfrmGraphicSelector> frmGraphicSelector;
    // The render timeline and the live frame picker.
    std::unique_ptr<TfrmTimeline> frmTimeline;
    std::unique_ptr<TfrmGetFrame> frmGetFrame;
    // Config and Finalize pages
    TConfigPage* ConfigPage = nullptr;
    TFinalizePage* FinalizePage = nullptr;
};

} // namespace stillora

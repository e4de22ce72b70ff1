// Building the main window: pages, tool bars, actions, and the start-up steps.

#include "app/MainWindow.h"

#include "app/Artwork.h"
#include "app/WindowPlacement.h"
#include "app/settings/SettingsBinder.h"
#include "selection/SelectionFile.h"
#include "views/DialogService.h"
#include "views/VideoWindow.h"
#include "views/browser/GraphicSelector.h"
#include "views/timeline/GetFrame.h"
#include "views/timeline/Timeline.h"
#include "views/mediainfo/MediaInfoBox.h"
#include "views/pages/ConfigPage.h"
#include "views/pages/FinalizePage.h"
#include "views/pages/PageWidgets.h"
#include "views/viewer/ImageViewer.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyleOptionSlider>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace stillora {

namespace {

struct PageText {
    const char* name;
    const char* title;
    const char* subtitle;
};

const PageText kPages[TfrmMain::PageCount] = {
    {"kwWelcome", "Start",
     "This wizard will help the user to extract his favorite stills from a video source. Stillora will try to "
     "hide his complexity in order to help the user getting quick and qualitative result. For a quick start "
     "read the information on this page."},
    {"kwSelectSource", "Select",
     "In this screen a video source can be selected. A selection of On-Line source (e.g. DV Camcorder or USB "
     "Camera) or an Off-Line source (e.g. Windows Media Video, MPEG or Quicktime) is given."},
    {"kwSelect", "Seek",
     "Pay a special attention on this screen. Here the choosen frames need to be selected. Selecting "
     "individual frames or sequences of consecutive frames is possible. If a On-Line video source was selected "
     "the right frames can be selected from history."},
    {"kwIP", "ApplyFX",
     "If the source video needs some image processing (e.g. color or contrast correction) a selection of image "
     "processing filters can be applied on individual stills or on all. Don't forget to apply the filter to the "
     "corresponding frame/selection."},
    {"kwExport", "Config",
     "In this screen the output format can be selected. The user can export to a sequence of numbered "
     "pictures, HTML web gallery or movie/slideshow. Currently Stillora can export JPEG files, BMP Files, "
     "Window AVI and Macromedia SWF Flash files."},
    {"kwFinish", "Finalize",
     "This is the final step of the conversion process. The frames will be extracted, image processing effects "
     "applied, titles superimposed and the result shown in the destination picture. Only the Render button will "
     "export the files in the selected format."},
};

const char* const kAboutLines[] = {
    "With Stillora you can easily capture stills from:",
    "   - miniDV or Digital8 Camcorder (On-Line Capture)",
    "   - USB Digital Camera or WebCam",
    "   - DirectShow Video Source (AVI, QuickTime or MPEG 1 or 2)",
    "",
    "Captured stills can be exported as follows:",
    "   - Sequence of numbered JPEG's or BMP's",
    "   - On-Line ready Web Photo Gallery (HTML and JPEG)",
    "   - Macromedia FLASH presentation (swf)",
    "   - Windows AVI using installed Video for Video for Windows codecs",
};

template <typename T> T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QAction* makeAction(QObject* owner, const char* name, const QString& caption, const QString& hint,
                    art::Glyph glyph) {
    auto* action = new QAction(art::icon(glyph), caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(hint);
    action->setStatusTip(hint);
    return action;
}

QToolButton* sourceButton(const char* name, const QString& text, art::Glyph glyph, int tag) {
    auto* button = named(new QToolButton, name);
    button->setText(text);
    button->setIcon(art::icon(glyph, 24));
    button->setIconSize(QSize(24, 24));
    button->setCheckable(true);
    button->setAutoRaise(false);
    button->setFixedSize(40, 40);
    button->setProperty("tag", tag);
    return button;
}

} // namespace

// ---------------------------------------------------------------- TTrackBar

TTrackBar::TTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::TicksAbove);
    setTickInterval(1);
    setFocusPolicy(Qt::StrongFocus);
}

void TTrackBar::SetSelStart(int value) {
    selStart_ = value;
    update();
}

void TTrackBar::SetSelEnd(int value) {
    selEnd_ = value;
    update();
}

void TTrackBar::paintEvent(QPaintEvent* event) {
    QSlider::paintEvent(event);
    if (selStart_ == selEnd_ && selStart_ == 0) return;
    // The marked interval as a band under the groove.
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const int span = groove.width() - style()->pixelMetric(QStyle::PM_SliderLength, &option, this);
    auto x = [&](int value) {
        return groove.left() + style()->pixelMetric(QStyle::PM_SliderLength, &option, this) / 2 +
               QStyle::sliderPositionFromValue(minimum(), maximum(), value, span);
    };
    const int a = x(std::min(selStart_, selEnd_)), b = x(std::max(selStart_, selEnd_));
    QPainter p(this);
    p.fillRect(QRect(a, groove.bottom() + 2, std::max(2, b - a), 3), QColor(41, 128, 185));
}

void TTrackBar::focusInEvent(QFocusEvent* event) {
    QSlider::focusInEvent(event);
    emit focusEntered();
}

// ----------------------------------------------------------------- TSelTree

TSelTree::TSelTree(QWidget* parent) : QTreeView(parent) {
    setHeaderHidden(true);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::InternalMove);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void TSelTree::startDrag(Qt::DropActions actions) {
    const QModelIndex current = currentIndex();
    // Only whole groups move: a drag must start on a root.
    if (!current.isValid() || current.parent().isValid()) return;
    dragRow_ = current.row();
    QTreeView::startDrag(actions);
    dragRow_ = -1;
}

void TSelTree::dragMoveEvent(QDragMoveEvent* event) {
    if (event->source() != this || dragRow_ < 0) {
        event->ignore();
        return;
    }
    QTreeView::dragMoveEvent(event);
    event->acceptProposedAction();
}

void TSelTree::dropEvent(QDropEvent* event) {
    auto* tree = qobject_cast<SelectionTree*>(model());
    if (event->source() != this || dragRow_ < 0 || !tree) {
        event->ignore();
        return;
    }
    tree->MoveRoot(dragRow_, indexAt(event->position().toPoint()));
    // The model has moved the group; keep Qt from removing the dragged rows.
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

// ----------------------------------------------------------------- TfrmMain

TfrmMain::TfrmMain(std::unique_ptr<MediaSource> media, SettingsStore* settings, QWidget* parent)
    : QWidget(parent), media_(std::move(media)), settings_(settings) {
    setObjectName("frmMain");
    setWindowTitle("Stillora - Catch the moment...");
    buildActions();
    buildWindow();
    FormCreate();
    frmRender = std::make_unique<TfrmRender>();
    frmGraphicSelector = std::make_unique<TfrmGraphicSelector>();
    frmTimeline = std::make_unique<TfrmTimeline>(*this, this);
    frmGetFrame = std::make_unique<TfrmGetFrame>(this);
    connect(frmRender.get(), &TfrmRender::closed, this, [this] { tlbRender->setChecked(false); });
    placer_ = new FirstShowPlacer(this);
    for (QWidget* w : std::initializer_list<QWidget*>{frmRender.get(), frmGraphicSelector.get(),
                                                      frmTimeline.get(), frmGetFrame.get()})
        placer_->watch(w);
}

TfrmMain::~TfrmMain() {
    // Closing order: the source first, then the capture ring, then the selections.
    media_->setFrameCallback({});
    media_->setFrameNotifier({});
    media_->close();
    frmTimeline.reset();
    frmGetFrame.reset();
    frmRender.reset();
    frmGraphicSelector.reset();
    CaptureStack_.reset();
    treeModel_->Clear();
}

void TfrmMain::FormCreate() {
    StopRequested = true;
    SourceName = "Untitled";
    SourceOpened = false;
    ApplicationFolder = QCoreApplication::applicationDirPath() + '/';
    CaptureStack_ = std::make_unique<TSelection>("Capture Stack");
    CaptureStack_->StartFrame = 0;
    CaptureStack_->EndFrame = 24;
    CaptureStack_->frmLength = 25;
    CaptureStack_->SourceKind = 0;
    CaptureStack_->Index = 0;
    LoadPluginList();
    FinalizePage->imgSrc->clear();
    FinalizePage->imgDest->clear();
    btnFiles->setChecked(true); // until stored settings say otherwise
    CurrentSourceKind = 1;
    try {
        LoadSettings();
        // The effects' values the user set in the last session.
        LoadPluginSettings();
    } catch (const std::exception&) {
        // Start-up goes on with whatever was applied.
    }
    Video->setLogo(art::logo(QSize(384, 288)));
    QCoreApplication::processEvents();
    SetActivePage(kwWelcome);
}

void TfrmMain::buildActions() {
    using art::Glyph;
    actMarkIn = makeAction(this, "actMarkIn", "Mark &In",
                           "Marks Selection In Point.\r\nSelection will START with this frame.", Glyph::MarkIn);
    actMarkOut = makeAction(this, "actMarkOut", "Mark &Out",
                            "Marks Selection Out Point.\r\nSelection will STOP on this frame.", Glyph::MarkOut);
    actGetCurrentFrame =
        makeAction(this, "actGetCurrentFrame", "Add &Frame", "Add current frame to selection.", Glyph::AddFrame);
    actAddCurrentSelection = makeAction(this, "actAddCurrentSelection", "Add &Selection",
                                        "Add the selected selection to the selection list.", Glyph::AddSelection);
    actPlay = makeAction(this, "actPlay", "&Play",
                         "Plays the Off-line video file or starts the Live video streaming.", Glyph::Play);
    actPause = makeAction(this, "actPause", "Pa&use",
                          "Pause the Off-line video file or stops the Live video streaming.", Glyph::Pause);
    actStop = makeAction(this, "actStop", "&Stop",
                         "Stops the Off-line video file or stops the Live video streaming.", Glyph::Stop);
    actFullScreen = makeAction(this, "actFullScreen", "Toogle &Full Screen", QString(), Glyph::Stretch);
    actFullScreen->setEnabled(false);
    actNew = makeAction(this, "actNew", "New", "Starts an empty selection list.", Glyph::New);
    actLoad = makeAction(this, "actLoad", "Load", kLoadSelectionsHint, Glyph::Load);
    actSave = makeAction(this, "actSave", "Save", kSaveSelectionsHint, Glyph::Save);
    actCut = makeAction(this, "actCut", "Delete", "Delete selected node.", Glyph::Delete);
    actTimeline = makeAction(this, "actTimeline", "Show Timeline", "Beta Version.\r\nShow rendering timeline.",
                             Glyph::Timeline);

    connect(actMarkIn, &QAction::triggered, this, &TfrmMain::actMarkInExecute);
    connect(actMarkOut, &QAction::triggered, this, &TfrmMain::actMarkOutExecute);
    connect(actGetCurrentFrame, &QAction::triggered, this, &TfrmMain::AddCurrentFrame);
    connect(actAddCurrentSelection, &QAction::triggered, this, &TfrmMain::AddCurrentSelection);
    connect(actPlay, &QAction::triggered, this, &TfrmMain::actPlayExecute);
    connect(actPause, &QAction::triggered, this, &TfrmMain::actPauseExecute);
    connect(actStop, &QAction::triggered, this, &TfrmMain::actStopExecute);
    connect(actNew, &QAction::triggered, this, &TfrmMain::actNewExecute);
    connect(actCut, &QAction::triggered, this, &TfrmMain::actCutExecute);
    connect(actSave, &QAction::triggered, this, &TfrmMain::actSaveExecute);
    connect(actLoad, &QAction::triggered, this, &TfrmMain::actLoadExecute);
    actGenerate = makeAction(this, "actGenerate", "Generate selections\u2026",
                             "Adds selections every N frames or seconds, one per scene, or the sharpest frames.",
                             Glyph::AddSelection);
    actImportList = makeAction(this, "actImportList", "Import list\u2026",
                               "Adds the selections of a CSV list or an edit decision list.", Glyph::Load);
    actExportList = makeAction(this, "actExportList", "Export list\u2026",
                               "Saves the selection list as CSV or as an edit decision list.", Glyph::Save);
    connect(actGenerate, &QAction::triggered, this, &TfrmMain::actGenerateExecute);
    connect(actImportList, &QAction::triggered, this, &TfrmMain::actImportListExecute);
    connect(actExportList, &QAction::triggered, this, &TfrmMain::actExportListExecute);
    connect(actTimeline, &QAction::triggered, this, [this] { frmTimeline->ShowTimeline(); });
}

void TfrmMain::buildWindow() {
    resize(706, 494);
    setMinimumSize(706, 494);
    move(236, 156);

    KWNodes = named(new QListWidget, "KWNodes");
    KWNodes->setToolTip("Navigation Panel");
    KWNodes->setFixedWidth(104);
    KWNodes->setIconSize(QSize(16, 16));
    const art::Glyph pageGlyphs[PageCount] = {art::Glyph::Info,   art::Glyph::Film,    art::Glyph::AddSelection,
                                              art::Glyph::Chain,  art::Glyph::Save,    art::Glyph::Render};
    for (int page = 0; page < PageCount; ++page)
        KWNodes->addItem(new QListWidgetItem(art::icon(pageGlyphs[page]), QString::fromLatin1(kPages[page].title)));
    connect(KWNodes, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (item->flags() & Qt::ItemIsEnabled) SetActivePage(KWNodes->row(item));
    });

    lblTitle = named(new QLabel, "lblTitle");
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    lblTitle->setFont(titleFont);
    lblSubtitle = named(new QLabel, "lblSubtitle");
    lblSubtitle->setWordWrap(true);
    QFont subtitleFont = lblSubtitle->font();
    subtitleFont.setPointSizeF(subtitleFont.pointSizeF() * 0.9);
    lblSubtitle->setFont(subtitleFont);
    auto* header = new QFrame;
    header->setObjectName("pnlHeader");
    header->setAutoFillBackground(true);
    QPalette headerPalette = header->palette();
    headerPalette.setColor(QPalette::Window, QColor(250, 250, 250));
    header->setPalette(headerPalette);
    auto* headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(10, 6, 10, 6);
    headerLayout->setSpacing(2);
    headerLayout->addWidget(lblTitle);
    headerLayout->addWidget(lblSubtitle);

    kw = named(new QStackedWidget, "kw");
    kw->addWidget(buildWelcomePage());
    kw->addWidget(buildSelectSourcePage());
    kw->addWidget(buildSeekPage());
    kw->addWidget(buildApplyFxPage());
    kw->addWidget(buildConfigPage());
    kw->addWidget(buildFinalizePage());
    for (int page = 0; page < PageCount; ++page) {
        kw->widget(page)->setProperty("title", QString::fromLatin1(kPages[page].title));
        kw->widget(page)->setProperty("subtitle", QString::fromLatin1(kPages[page].subtitle));
    }

    btnBack = named(new QPushButton("< &Back"), "btnBack");
    btnNext = named(new QPushButton("&Next >"), "btnNext");
    btnFinish = named(new QPushButton("&Finish"), "btnFinish");
    btnCancel = named(new QPushButton("Cancel"), "btnCancel");
    connect(btnBack, &QPushButton::clicked, this, &TfrmMain::btnBackClick);
    connect(btnNext, &QPushButton::clicked, this, &TfrmMain::btnNextClick);
    connect(btnFinish, &QPushButton::clicked, this, &TfrmMain::btnFinishClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmMain::btnCancelClick);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, 4, 8, 4);
    buttons->addStretch();
    for (QPushButton* b : {btnBack, btnNext, btnFinish, btnCancel}) {
        b->setMinimumWidth(80);
        buttons->addWidget(b);
    }

    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* right = new QVBoxLayout;
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    right->addWidget(header);
    right->addWidget(line);
    right->addWidget(kw, 1);
    right->addLayout(buttons);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addWidget(KWNodes);
    body->addLayout(right, 1);

    lblState = named(new QLabel("Ready..."), "lblState");
    lblState->setToolTip("Status/Hints");
    lblState->setFrameShape(QFrame::StyledPanel);
    lblState->setFrameShadow(QFrame::Sunken);
    lblState->setContentsMargins(4, 1, 4, 1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addLayout(body, 1);
    // A run writes its progress here for every frame: in a slot of its own
    // the line repaints alone instead of laying the window out again.
    outer->addWidget(new TTextSlot(lblState));

    TimerPos = named(new QTimer(this), "TimerPos");
    TimerPos->setInterval(50);
    connect(TimerPos, &QTimer::timeout, this, &TfrmMain::TimerPosTimer);
}

QWidget* TfrmMain::buildWelcomePage() {
    auto* page = named(new QWidget, "kwWelcome");
    auto* about = new QGroupBox(" About ");
    Animation = named(new art::Animation, "Animate1");
    QStringList lines;
    for (const char* l : kAboutLines) lines << QString::fromLatin1(l);
    auto* text = named(new QLabel(lines.join('\n')), "lblAbout");
    text->setTextFormat(Qt::PlainText);
    text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* aboutLayout = new QHBoxLayout(about);
    aboutLayout->addWidget(Animation, 0, Qt::AlignVCenter);
    aboutLayout->addSpacing(8);
    aboutLayout->addWidget(text, 1);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->addWidget(about);
    layout->addStretch();
    return page;
}

QWidget* TfrmMain::buildSelectSourcePage() {
    auto* page = named(new QWidget, "kwSelectSource");
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    grid->setColumnStretch(2, 1);

    btnCapture = sourceButton("btnCapture", "Live", art::Glyph::Camera, 0);
    btnFiles = sourceButton("btnFiles", "File", art::Glyph::Film, 1);
    btnURL = sourceButton("btnURL", "URL", art::Glyph::Globe, 2);
    btnDVD = sourceButton("btnDVD", "DVD", art::Glyph::Disc, 4);
    auto* group = new QButtonGroup(page);
    group->setExclusive(true);
    for (QToolButton* b : {btnCapture, btnFiles, btnURL, btnDVD}) {
        group->addButton(b);
        connect(b, &QToolButton::clicked, this, &TfrmMain::sourceButtonClick);
    }

    auto heading = [](const QString& text) {
        auto* label = new QLabel(text);
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
        return label;
    };

    edtCapture = named(new QComboBox, "edtCapture");
    edtCapture->setToolTip("The list of installed live video source.");
    edtCapture->addItem("- Select Prefered Capture Device -");
    connect(edtCapture, &QComboBox::currentIndexChanged, this, &TfrmMain::edtCaptureChange);

    edtFiles = named(new QLineEdit, "edtFiles");
    edtFiles->setToolTip("Path to the Off-line video filename");
    connect(edtFiles, &QLineEdit::textChanged, this, &TfrmMain::edtFilesChange);
    auto* browse = named(new QToolButton, "btnBrowseFiles");
    browse->setText("...");
    browse->setToolTip("Select a video file (e.g. AVI, MPG, MOV, etc.)");
    connect(browse, &QToolButton::clicked, this, &TfrmMain::browseFiles);
    SpeedButton2 = named(new QToolButton, "SpeedButton2");
    SpeedButton2->setText("?");
    SpeedButton2->setToolTip("Media information");
    connect(SpeedButton2, &QToolButton::clicked, this, [this] {
        showMediaInfo(CurrentSourceKind == 3 ? edtDVDSource->text() : edtFiles->text(), this);
    });

    edtURL = named(new QLineEdit, "edtURL");
    connect(edtURL, &QLineEdit::textChanged, this, &TfrmMain::edtURLChange);

    edtDVDSource = named(new QLineEdit, "edtDVDSource");
    edtDVDSource->setToolTip("Path to the Off-line video filename");
    connect(edtDVDSource, &QLineEdit::textChanged, this, [this] { SourceOpened = false; });

    cbFrameRate = named(new QComboBox, "cbFrameRate");
    cbFrameRate->addItems({"PAL (25 fps)", "NTSC (30 fps)", "Autodetect...", "Other..."});
    cbFrameRate->hide();

    int row = 0;
    grid->addWidget(btnCapture, row, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(heading("Video Capture Devices"), row, 1, 1, 3);
    grid->addWidget(new QLabel("Device Name:"), ++row, 1);
    grid->addWidget(edtCapture, row, 2, 1, 2);
    grid->setRowMinimumHeight(++row, 8);
    grid->addWidget(btnFiles, ++row, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(heading("Offline Video Files"), row, 1, 1, 3);
    auto* fileRow = new QHBoxLayout;
    fileRow->setSpacing(2);
    fileRow->addWidget(edtFiles, 1);
    fileRow->addWidget(browse);
    fileRow->addWidget(SpeedButton2);
    grid->addWidget(new QLabel("File Name:"), ++row, 1);
    grid->addLayout(fileRow, row, 2, 1, 2);
    grid->setRowMinimumHeight(++row, 8);
    grid->addWidget(btnURL, ++row, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(heading("Windows Streaming Media (Beta)"), row, 1, 1, 3);
    grid->addWidget(new QLabel("URL: "), ++row, 1);
    grid->addWidget(edtURL, row, 2, 1, 2);
    // The DVD kind is reached only through stored settings; its controls stay hidden.
    auto* dvdHeading = heading("DVD");
    auto* dvdLabel = new QLabel("IFO File:");
    grid->addWidget(btnDVD, ++row, 0);
    grid->addWidget(dvdHeading, row, 1);
    grid->addWidget(dvdLabel, row, 2);
    grid->addWidget(edtDVDSource, row, 3);
    for (QWidget* w : {static_cast<QWidget*>(btnDVD), static_cast<QWidget*>(dvdHeading),
                       static_cast<QWidget*>(dvdLabel), static_cast<QWidget*>(edtDVDSource)})
        w->hide();

    grid->setRowMinimumHeight(++row, 10);
    cbVMRMode = named(new QCheckBox("VMR Mode"), "cbVMRMode");
    cbVMRMode->setToolTip("In case that is not possible to grab frames from the video activate this checbox.");
    cbSeekDelay = named(new QCheckBox("Safe Frame Seek"), "cbSeekDelay");
    cbSeekDelay->setChecked(true);
    cbSeekDelay->setToolTip(
        "Uncheck this to speed-up the frame seek process.\r\nIf you have problems getting some frames roll this "
        "option back.");
    spinSeekDelay = named(new QSpinBox, "spinSeekDelay");
    spinSeekDelay->setRange(1, 999);
    spinSeekDelay->setValue(100);
    spinSeekDelay->setToolTip("Time Delay for seek.");
    auto* options = new QHBoxLayout;
    options->addWidget(cbVMRMode);
    options->addSpacing(16);
    options->addWidget(cbSeekDelay);
    options->addWidget(spinSeekDelay);
    options->addWidget(new QLabel("milisecond(s)"));
    options->addWidget(cbFrameRate);
    options->addStretch();
    grid->addLayout(options, ++row, 0, 1, 4);
    grid->setRowStretch(++row, 1);
    return page;
}

void TfrmMain::buildSelectionsPanel() {
    pnlSelections = named(new QWidget, "pnlSelections");
    tlbSel = named(new QToolBar, "tlbSel");
    tlbSel->setIconSize(QSize(16, 16));
    tlbSel->addAction(actNew);
    tlbSel->addAction(actLoad);
    tlbSel->addAction(actSave);
    tlbSel->addAction(actCut);
    tbtnDelete = qobject_cast<QToolButton*>(tlbSel->widgetForAction(actCut));
    if (tbtnDelete) tbtnDelete->setObjectName("tbtnDelete");
    tlbSel->addSeparator();
    tlbSel->addAction(actTimeline);
    tlbRender = named(new QToolButton, "tlbRender");
    tlbRender->setText("Render");
    tlbRender->setToolTip("Open/Close the Image Viewer");
    tlbRender->setIcon(art::icon(art::Glyph::Render));
    tlbRender->setCheckable(true);
    tlbSel->addWidget(tlbRender);
    tlbCollapse = named(new QToolButton, "tlbCollapse");
    tlbCollapse->setToolTip("Collapse/Expand");
    tlbCollapse->setIcon(art::icon(art::Glyph::Collapse));
    tlbCollapse->setCheckable(true);
    tlbSel->addWidget(tlbCollapse);
    connect(tlbRender, &QToolButton::toggled, this, &TfrmMain::tlbRenderClick);
    connect(tlbCollapse, &QToolButton::toggled, this, &TfrmMain::tlbCollapseClick);

    SelTree = named(new TSelTree, "SelTree");
    treeModel_ = new SelectionTree(SelectionList_, this);
    treeModel_->setIcons({art::icon(art::Glyph::IntervalRoot), art::icon(art::Glyph::FrameRoot),
                          art::icon(art::Glyph::InPoint), art::icon(art::Glyph::OutPoint),
                          art::icon(art::Glyph::FrameCount), art::icon(art::Glyph::Chain)});
    SelTree->setModel(treeModel_);
    connect(SelTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { SelTreeCurrentChanged(current); });
    connect(SelTree, &QTreeView::clicked, this, [this](const QModelIndex& index) { ActivateNode(index); });
    connect(treeModel_, &SelectionTree::NodeEdited, this, [this](const QModelIndex& index) { ActivateNode(index); });
    SelTreeMenu = named(new QMenu(this), "SelTreeMenu");
    SelTreeMenu->addAction(actGenerate);
    SelTreeMenu->addSeparator();
    SelTreeMenu->addAction(actImportList);
    SelTreeMenu->addAction(actExportList);
    SelTree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(SelTree, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { SelTreeMenu->popup(SelTree->viewport()->mapToGlobal(at)); });

    auto* layout = new QVBoxLayout(pnlSelections);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(tlbSel);
    layout->addWidget(SelTree, 1);
}

QWidget* TfrmMain::buildSeekPage() {
    auto* page = named(new QWidget, "kwSelect");
    Video = named(new TVideoWindow, "Video");
    Video->setToolTip("Video window.");
    Video->setMinimumSize(384, 288);
    Video->setFrameSource([this](QImage& frame) { return !lentMedia_ && media_->grab(frame); });
    Video->setContextMenuPolicy(Qt::CustomContextMenu);

    PopupMenu1 = named(new QMenu(this), "PopupMenu1");
    PopupMenu1->addAction(actMarkIn);
    PopupMenu1->addAction(actMarkOut);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(actGetCurrentFrame);
    PopupMenu1->addAction(actAddCurrentSelection);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(actPlay);
    PopupMenu1->addAction(actPause);
    PopupMenu1->addAction(actStop);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(actFullScreen);
    connect(Video, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(Video->mapToGlobal(at)); });

    TrackBar = named(new TTrackBar, "TrackBar");
    TrackBar->setToolTip("Video Navigation Slidebar.");
    TrackBar->setRange(0, 0);
    connect(TrackBar, &QSlider::valueChanged, this, &TfrmMain::TrackBarChange);
    connect(TrackBar, &TTrackBar::focusEntered, this, &TfrmMain::TrackBarEnter);

    tlbMain = named(new QToolBar, "tlbMain");
    tlbMain->setIconSize(QSize(16, 16));
    tlbMain->addAction(actMarkIn);
    tlbMain->addAction(actMarkOut);
    tlbMain->addAction(actAddCurrentSelection);
    tlbMain->addAction(actGetCurrentFrame);
    // Beside the other ways of adding selections; the selections tool bar has
    // no room left for it at the window's first size.
    tlbMain->addAction(actGenerate);
    if (QWidget* generate = tlbMain->widgetForAction(actGenerate)) generate->setObjectName("tbtnGenerate");
    tlbMain->addSeparator();
    tlbMain->addAction(actPlay);
    tlbMain->addAction(actPause);
    if (QWidget* pauseButton = tlbMain->widgetForAction(actPause))
        pauseButton->setToolTip("Pauses the Off-line video file or stops the Live video streaming.");
    tlbMain->addAction(actStop);
    btnCapSettings = named(new QToolButton, "btnCapSettings");
    btnCapSettings->setToolTip("Capture Settings");
    btnCapSettings->setIcon(art::icon(art::Glyph::CaptureSettings));
    btnCapSettingsAction = tlbMain->addWidget(btnCapSettings);

    lblStart = named(new QLabel("0"), "lblStart");
    lblStart->setToolTip("In Point Frame");
    lblStop = named(new QLabel("0"), "lblStop");
    lblStop->setToolTip("Out Point Frame");
    for (QLabel* l : {lblStart, lblStop}) {
        l->setMinimumWidth(48);
        l->setFrameShape(QFrame::StyledPanel);
        l->setAlignment(Qt::AlignCenter);
    }
    auto* controls = new QHBoxLayout;
    controls->setSpacing(4);
    controls->addWidget(tlbMain);
    controls->addStretch();
    controls->addWidget(new QLabel("In:"));
    controls->addWidget(lblStart);
    controls->addWidget(new QLabel("Out:"));
    controls->addWidget(lblStop);

    auto* left = new QVBoxLayout;
    left->setSpacing(2);
    left->addWidget(Video, 1);
    left->addWidget(TrackBar);
    left->addLayout(controls);

    buildSelectionsPanel();
    pnlSelContainerFrames = named(new QWidget, "pnlSelContainerFrames");
    auto* container = new QVBoxLayout(pnlSelContainerFrames);
    container->setContentsMargins(0, 0, 0, 0);
    // The panel lives here until the ApplyFX page borrows it; owned from the
    // start, so a window that never shows the Seek page still frees it.
    container->addWidget(pnlSelections);
    pnlSelContainerFrames->setMinimumWidth(150);

    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 4);
    layout->addLayout(left, 1);
    layout->addWidget(pnlSelContainerFrames);
    return page;
}

QWidget* TfrmMain::buildApplyFxPage() {
    auto* page = named(new QWidget, "kwIP");
    Image32 = named(new QLabel, "Image32");
    Image32->setMinimumSize(200, 150);
    Image32->setAlignment(Qt::AlignCenter);
    Image32->setFrameShape(QFrame::StyledPanel);
    Image32->setStyleSheet("background: black");
    Stretch1 = named(new QToolButton, "Stretch1");
    Stretch1->setToolTip("Toogles stretching of preview picture");
    Stretch1->setIcon(art::icon(art::Glyph::Stretch));
    Stretch1->setCheckable(true);
    connect(Stretch1, &QToolButton::toggled, this, &TfrmMain::Stretch1Click);
    CheckList = named(new QListWidget, "CheckList");
    CheckList->setSelectionMode(QAbstractItemView::MultiSelection);
    connect(CheckList, &QListWidget::itemDoubleClicked, this, [this] { btnConfigureIPClick(); });

    auto button = [this](const char* name, const char* caption, const char* hint) {
        auto* b = named(new QPushButton(caption), name);
        b->setToolTip(hint);
        return b;
    };
    btnAddIPToSelection = button("btnAddIPToSelection", "Add",
                                 "Add selected Image Processing Effects to the selected Selection.");
    btnAssignIP = button("btnAssignIP", "Assign", "Assigns selected Image Processing Effects to the selected Selection.");
    btnAddIPToAll = button("btnAddIPToAll", "Add to all...", "Add selected Image Processing Effects to ALL Selection Nodes.");
    btnAssignIPToAll = button("btnAssignIPToAll", "Assign to all...",
                              "Assigns selected Image Processing Effects to ALL Selection Nodes.");
    btnRemoveIP = button("btnRemoveIP", "Remove", "Remove Image Processing Effects from the currently selected Selection.");
    btnRemoveAllIP = button("btnRemoveAllIP", "Remove all...", "");
    btnConfigureIP = named(new QToolButton, "btnConfigureIP");
    btnConfigureIP->setToolTip("Configure the selected I.P.");
    btnConfigureIP->setText("Configure");
    btnConfigureIP->setIcon(art::icon(art::Glyph::CaptureSettings));
    btnConfigureIP->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btnRenderResult = named(new QToolButton, "btnRenderResult");
    btnRenderResult->setToolTip("Render I.P.");
    btnRenderResult->setText("Preview");
    btnRenderResult->setIcon(art::icon(art::Glyph::Render));
    btnRenderResult->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(btnAddIPToSelection, &QPushButton::clicked, this, [this] { AttachHighlighted(SelTree->currentIndex(), true); });
    connect(btnAssignIP, &QPushButton::clicked, this, [this] { AttachHighlighted(SelTree->currentIndex(), false); });
    connect(btnAddIPToAll, &QPushButton::clicked, this, [this] {
        for (int row = 0; row < treeModel_->rowCount(); ++row) AttachHighlighted(treeModel_->index(row, 0), true);
    });
    connect(btnAssignIPToAll, &QPushButton::clicked, this, [this] {
        for (int row = 0; row < treeModel_->rowCount(); ++row) AttachHighlighted(treeModel_->index(row, 0), false);
    });
    connect(btnRemoveIP, &QPushButton::clicked, this, [this] {
        const QModelIndex node = SelTree->currentIndex();
        if (TSelection* selection = SelectionTree::SelectionOf(node)) {
            selection->Effects.clear();
            treeModel_->RefreshSelectionNode(SelectionTree::RootOf(node));
        }
    });
    connect(btnRemoveAllIP, &QPushButton::clicked, this, [this] {
        for (int row = 0; row < treeModel_->rowCount(); ++row) {
            const QModelIndex root = treeModel_->index(row, 0);
            if (TSelection* selection = SelectionTree::SelectionOf(root)) selection->Effects.clear();
            treeModel_->RefreshSelectionNode(root);
        }
    });
    connect(btnConfigureIP, &QToolButton::clicked, this, &TfrmMain::btnConfigureIPClick);
    connect(btnRenderResult, &QToolButton::clicked, this, &TfrmMain::ToolButton17Click);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(3);
    for (QWidget* b : std::initializer_list<QWidget*>{btnAddIPToSelection, btnAssignIP, btnAddIPToAll, btnAssignIPToAll,
                                                      btnRemoveIP, btnRemoveAllIP}) {
        b->setMinimumWidth(96);
        buttons->addWidget(b);
    }
    buttons->addSpacing(6);
    buttons->addWidget(btnConfigureIP);
    buttons->addWidget(btnRenderResult);
    buttons->addStretch();

    auto* left = new QVBoxLayout;
    auto* previewRow = new QHBoxLayout;
    previewRow->addWidget(Image32, 1);
    previewRow->addWidget(Stretch1, 0, Qt::AlignTop);
    left->addLayout(previewRow, 3);
    left->addWidget(new QLabel("Image processing effects:"));
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(CheckList, 1);
    listRow->addLayout(buttons);
    left->addLayout(listRow, 2);

    pnlSelContainerFilters = named(new QWidget, "pnlSelContainerFilters");
    auto* container = new QVBoxLayout(pnlSelContainerFilters);
    container->setContentsMargins(0, 0, 0, 0);
    pnlSelContainerFilters->setMinimumWidth(150);

    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 4);
    layout->addLayout(left, 1);
    layout->addWidget(pnlSelContainerFilters);
    return page;
}

QWidget* TfrmMain::buildConfigPage() {
    auto* page = named(new QWidget, "kwExport");
    ConfigPage = named(new TConfigPage, "ConfigPage");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ConfigPage);
    return page;
}

QWidget* TfrmMain::buildFinalizePage() {
    auto* page = named(new QWidget, "kwFinish");
    FinalizePage = named(new TFinalizePage(*this, *ConfigPage), "FinalizePage");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FinalizePage);
    return page;
}

} // namespace stillora

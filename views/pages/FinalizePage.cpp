#include "views/pages/FinalizePage.h"
#include "views/WidgetNames.h"
#include "views/pages/DialogExportShell.h"

#include "render/FrameSource.h"
#include "render/QuickSuperimpose.h"
#include "views/DialogService.h"
#include "views/pages/ConfigPage.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <exception>

namespace stillora {

namespace {

// Passes the run's questions on to the dialog service.
class DialogPrompter : public RenderPrompter {
public:
    explicit DialogPrompter(QWidget* parent) : parent_(parent) {}
    Button ask(Kind kind, const QString& text, int buttons) override {
        return AskThroughDialogs(kind, text, buttons, parent_);
    }

private:
    QWidget* parent_;
};

// Undoes the busy state of a run however the run ends.
class BusyGuard {
public:
    BusyGuard(RenderHost& host, QWidget* page, bool preview, bool& running,
              std::initializer_list<QWidget*> buttons)
        : host_(host), page_(page), preview_(preview), running_(running), buttons_(buttons) {
        running_ = true;
        for (QWidget* b : buttons_)
            b->setEnabled(false);
        page_->setCursor(Qt::WaitCursor);
        host_.runStarted(preview_);
    }
    ~BusyGuard() {
        page_->unsetCursor();
        for (QWidget* b : buttons_)
            b->setEnabled(true);
        running_ = false;
        host_.runEnded(preview_);
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    RenderHost& host_;
    QWidget* page_;
    bool preview_;
    bool& running_;
    std::vector<QWidget*> buttons_;
};

QSlider* gauge(const char* name) {
    auto* slider = named(new QSlider(Qt::Vertical), name);
    slider->setRange(1, 10);
    slider->setPageStep(5);
    slider->setValue(1);
    slider->setToolTip("Zoom");
    return slider;
}

} // namespace

TFinalizePage::TFinalizePage(RenderHost& host, TConfigPage& config, QWidget* parent)
    : QWidget(parent), host_(host), config_(config), font_(QStringLiteral("Verdana"), 12) {
    setObjectName("TFinalizePage");
    imgSrc = named(new TPictureView, "imgSrc");
    imgSrc->setToolTip("Source Picture.");
    imgDest = named(new TPictureView, "imgDest");
    imgDest->setToolTip("Destination Picture.");
    imgResult = named(new TPictureView(this), "imgResult");
    imgResult->hide();
    sbScaleSrc = gauge("sbScaleSrc");
    sbScaleDest = gauge("sbScaleDest");
    lblSourceInfo = named(new TElidedLabel, "lblSourceInfo");
    lblSourceInfo->setToolTip("Frame info.");
    lblDestInfo = named(new TElidedLabel, "lblDestInfo");
    lblDestInfo->setToolTip("Frame info.");
    // The per-frame texts may be long: they are shortened in the middle,
    // never widen their picture.
    for (QLabel* info : {lblSourceInfo, lblDestInfo})
        info->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblProgress = named(new QLabel, "lblProgress");
    pbRun = named(new QProgressBar, "pbRun");
    // The bar counts in per mille, so any frame count fits its int range.
    pbRun->setRange(0, 1000);
    pbRun->setValue(0);
    pbRun->setTextVisible(false);
    pbRun->setMaximumHeight(14);
    pbRun->setMinimumWidth(80);

    jvExportFolder = named(new QLineEdit, "jvExportFolder");
    jvExportFolder->setToolTip("Output folder.");
    QAction* browse = jvExportFolder->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon),
                                                QLineEdit::TrailingPosition);
    browse->setToolTip("Select Export Folder");
    connect(browse, &QAction::triggered, this, &TFinalizePage::jvExportFolderBrowse);

    cbPreviewDelay = named(new QCheckBox("Preview Delay"), "cbPreviewDelay");
    cbPreviewDelay->setToolTip("Use Preview Delay.");
    spinPreviewDelay = named(new QSpinBox, "spinPreviewDelay");
    spinPreviewDelay->setRange(25, 5000);
    spinPreviewDelay->setValue(25);
    spinPreviewDelay->setToolTip("Preview Delay.");
    btnRender = named(new QPushButton("Render"), "btnRender");
    btnRender->setToolTip("Render all selections.");
    btnPreview = named(new QPushButton("Preview"), "btnPreview");
    btnPreview->setToolTip("Preview all selections.");

    pnlQuickTitle = named(new QGroupBox, "pnlQuickTitle");
    cbSuperimpose = named(new QCheckBox("Quick Superimpose"), "cbSuperimpose");
    siText = named(new QLineEdit(QStringLiteral("\u00A9 2026 Stillora")), "siText");
    siText->setToolTip("Enter Text to be superimposed");
    SpeedButton1 = named(new QToolButton, "SpeedButton1");
    SpeedButton1->setText("Font");
    SpeedButton1->setToolTip("Font Settings");
    cbsiBold = named(new QCheckBox("Bold"), "cbsiBold");
    siPosition = named(new QComboBox, "siPosition");
    siPosition->addItems(SuperimposePositions());
    siPosition->setCurrentIndex(0);
    siPosition->setToolTip("Select Position");
    siColor = named(new TColorButton(Qt::white), "siColor");
    siColor->setToolTip("Text Color");
    siShadow = named(new TColorButton(Qt::black), "siShadow");
    siShadow->setToolTip("Shaddow Color");
    cbTime = named(new QCheckBox("Add Time"), "cbTime");
    cbTime->setToolTip("Superimpose Current Time.");
    cbDate = named(new QCheckBox("Add Date"), "cbDate");
    cbDate->setToolTip("Superimpose Current Date.");

    // Pictures with their zoom gauges on the outer sides.
    auto* pictures = new QGridLayout;
    pictures->addWidget(sbScaleSrc, 0, 0);
    pictures->addWidget(imgSrc, 0, 1);
    pictures->addWidget(imgDest, 0, 2);
    pictures->addWidget(sbScaleDest, 0, 3);
    // The texts change with every frame of a run: in slots of their own they
    // repaint alone and never make the page lay itself out again.
    pictures->addWidget(new TTextSlot(lblSourceInfo), 1, 1);
    pictures->addWidget(new TTextSlot(lblDestInfo), 1, 2);
    pictures->setColumnStretch(1, 1);
    pictures->setColumnStretch(2, 1);
    // Both pictures keep the same width whatever is shown under them.
    pictures->setColumnMinimumWidth(1, 120);
    pictures->setColumnMinimumWidth(2, 120);

    auto* textRow = new QHBoxLayout;
    textRow->setSpacing(4);
    textRow->addWidget(cbSuperimpose);
    textRow->addWidget(siText, 1);
    textRow->addWidget(SpeedButton1);
    textRow->addWidget(cbsiBold);
    auto* styleRow = new QHBoxLayout;
    styleRow->setSpacing(4);
    styleRow->addWidget(new QLabel("Position"));
    styleRow->addWidget(siPosition);
    styleRow->addSpacing(6);
    styleRow->addWidget(new QLabel("Color"));
    styleRow->addWidget(siColor);
    styleRow->addSpacing(6);
    styleRow->addWidget(new QLabel("Shadow"));
    styleRow->addWidget(siShadow);
    styleRow->addStretch(1);
    styleRow->addWidget(cbTime);
    styleRow->addWidget(cbDate);
    auto* quick = new QVBoxLayout(pnlQuickTitle);
    quick->setContentsMargins(6, 4, 6, 4);
    quick->setSpacing(4);
    quick->addLayout(textRow);
    quick->addLayout(styleRow);

    // The folder row also holds the preview delay, so that the run row has
    // the room to show how far the run is without cutting its text.
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel("Output Folder:"));
    bottom->addWidget(jvExportFolder, 1);
    bottom->addSpacing(8);
    bottom->addWidget(cbPreviewDelay);
    bottom->addWidget(spinPreviewDelay);
    bottom->addWidget(new QLabel("msec."));
    auto* run = new QHBoxLayout;
    // Wide enough for a long run's text, so the bar does not jump as it changes.
    run->addWidget(new TTextSlot(lblProgress, QStringLiteral("Frame 000000 of 000000, 000:00 left")));
    run->addWidget(pbRun, 1);
    run->addWidget(btnPreview);
    run->addWidget(btnRender);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addLayout(pictures, 1);
    layout->addWidget(pnlQuickTitle);
    layout->addLayout(bottom);
    layout->addLayout(run);

    connect(btnRender, &QPushButton::clicked, this, &TFinalizePage::btnRenderClick);
    connect(btnPreview, &QPushButton::clicked, this, &TFinalizePage::btnPreviewClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TFinalizePage::SpeedButton1Click);
    connect(sbScaleSrc, &QSlider::valueChanged, this, [this](int v) { imgSrc->setScale(1.0 / v); });
    connect(sbScaleDest, &QSlider::valueChanged, this,
            [this](int v) { imgDest->setScale(1.0 / v); });
    connect(imgSrc, &TPictureView::doubleClicked, imgSrc, &TPictureView::setStretched);
    connect(imgDest, &TPictureView::doubleClicked, imgDest, &TPictureView::setStretched);

    config_.setExportFolderEdit(jvExportFolder);
    config_.setFrameCounterProvider([this] { return run_.FrameCounter(); });
}

TFinalizePage::~TFinalizePage() = default;

void TFinalizePage::CollectSettings(RenderSettings& s) const {
    s.exportFolder = jvExportFolder->text();
    s.previewDelayOn = cbPreviewDelay->isChecked();
    s.previewDelayMs = spinPreviewDelay->value();
    SuperimposeSettings& o = s.overlay;
    o.drawText = cbSuperimpose->isChecked();
    o.text = siText->text();
    o.fontName = font_.family();
    o.fontSize = font_.pointSize() > 0 ? font_.pointSize() : 12;
    o.bold = cbsiBold->isChecked();
    o.position = siPosition->currentIndex();
    o.color = siColor->color();
    o.shadow = siShadow->color();
    o.drawTime = cbTime->isChecked();
    o.drawDate = cbDate->isChecked();
}

void TFinalizePage::RequestStop() {
    run_.RequestStop();
}

void TFinalizePage::btnRenderClick() {
    startRun(false);
}

void TFinalizePage::btnPreviewClick() {
    startRun(true);
}

void TFinalizePage::startRun(bool preview) {
    // The run processes events: a second click must not start a nested run.
    if (running_) return;
    RenderSettings settings;
    config_.CollectSettings(settings);
    CollectSettings(settings);
    settings.sourceName = host_.sourceName();

    DialogPrompter prompter(this);
    LiveSlotFrameSource live;
    CallbackFrameSource media([this](int64_t frame, QImage& picture, QString* error) {
        return host_.fetchFrame(frame, picture, error);
    });
    run_.setPrompter(&prompter);
    // A render from a file decodes ahead on a thread of its own when the
    // host can lend its media; a preview shows every frame as it comes.
    RenderFrameSource* ahead =
        !preview && host_.sourceKind() != 0 ? host_.renderSource() : nullptr;
    run_.setFrameSource(host_.sourceKind() == 0 ? static_cast<RenderFrameSource*>(&live)
                        : ahead                 ? ahead
                                                : &media);
    run_.setPipelined(ahead != nullptr);
    run_.setEffectApplier(host_.effectApplier());
    run_.setExporter(settings.exportKind == NumberedFrames ? nullptr : host_.exporter(settings));
    RenderRun::Callbacks cb;
    cb.sourceInfo = [this](const QString& t) { lblSourceInfo->setText(t); };
    cb.destInfo = [this](const QString& t) { lblDestInfo->setText(t); };
    cb.sourcePicture = [this](const QImage& p) { imgSrc->setPicture(p); };
    cb.destPicture = [this](const QImage& p) { imgDest->setPicture(p); };
    cb.resultPicture = [this](const QImage& p) { imgResult->setPicture(p); };
    cb.processEvents = [] { QCoreApplication::processEvents(); };
    cb.exportFolderChanged = [this](const QString& f) { jvExportFolder->setText(f); };
    cb.showImageBrowser = [this](const QString& folder, const QString& mask) {
        host_.showImageBrowser(folder, mask);
    };
    const std::vector<TSelection*> selections = host_.selections();
    const int64_t total = CountRunFrames(selections, settings);
    QElapsedTimer clock;
    clock.start();
    cb.frameDone = [this, total, &clock](int32_t done) {
        showProgress(done, total, clock.elapsed());
    };
    run_.setCallbacks(std::move(cb));
    showProgress(0, total, 0);

    {
        BusyGuard busy(host_, this, preview, running_, {btnRender, btnPreview});
        // Every frame changes pictures and texts, faster than a screen shows
        // them: the window paints once per screen refresh meanwhile.
        RepaintPacer pacer(window());
        try {
            run_.Run(selections, settings, preview);
        } catch (const std::exception& e) {
            Dialogs().message(DialogService::Error, QString(), QString::fromLocal8Bit(e.what()),
                              DialogService::Ok, this);
        } catch (...) {
            Dialogs().message(DialogService::Error, QString(),
                              "The run ended with an unknown error.", DialogService::Ok, this);
        }
    }
    // The prompter and frame sources live on this stack frame only.
    run_.setPrompter(nullptr);
    run_.setFrameSource(nullptr);
    run_.setExporter(nullptr);
    run_.setCallbacks({});
}

void TFinalizePage::showProgress(int64_t done, int64_t total, qint64 elapsedMs) {
    QString text = QStringLiteral("Frame %1 of %2").arg(done).arg(total);
    if (done > 0 && done < total) {
        // The frames so far set the pace for the rest.
        const qint64 leftSeconds = (elapsedMs * (total - done) / done + 999) / 1000;
        text += QStringLiteral(", %1:%2 left")
                    .arg(leftSeconds / 60)
                    .arg(leftSeconds % 60, 2, 10, QLatin1Char('0'));
    }
    lblProgress->setText(text);
    pbRun->setValue(total > 0 ? static_cast<int>(std::min<int64_t>(done, total) * 1000 / total)
                              : 0);
    host_.runProgress(text);
}

void TFinalizePage::SpeedButton1Click() {
    Dialogs().pickFont(font_, this);
}

void TFinalizePage::jvExportFolderBrowse() {
    const QString folder =
        Dialogs().pickFolder("Select Export Folder", jvExportFolder->text(), this);
    if (!folder.isEmpty()) jvExportFolder->setText(folder);
}

} // namespace stillora

#pragma once
// The Finalize wizard page: source and destination pictures with their zoom
// gauges, the per-frame texts, the export folder, the preview delay, the
// quick superimpose panel and the Render and Preview buttons.
//
// A click on Render or Preview runs the page's RenderRun over the host's
// selections. The main window implements RenderHost, wires its Cancel button
// to RequestStop(), and hands overlayFont() to the settings store as the
// "FontDialog" font. Every control carries its name as objectName.

#include "render/RenderRun.h"
#include "views/pages/PageWidgets.h"
#include "views/pages/RenderHost.h"

#include <QFont>
#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QSpinBox;
class QToolButton;

namespace stillora {

class TConfigPage;

class TFinalizePage : public QWidget {
    Q_OBJECT
public:
    // `config` supplies the naming and export options; both must outlive the page.
    TFinalizePage(RenderHost& host, TConfigPage& config, QWidget* parent = nullptr);
    ~TFinalizePage() override;

    // The run object: FrameCounter, LastFramePath, the movie frame size and
    // PreviewMode stay readable after a run.
    RenderRun& run() { return run_; }
    bool running() const { return running_; }
    // The overlay font ("FontDialog"): name and size are stored settings.
    QFont* overlayFont() { return &font_; }
    // This page's part of a run's settings.
    void CollectSettings(RenderSettings& settings) const;

    // Controls, named as their objectName.
    TPictureView* imgSrc;
    TPictureView* imgDest;
    TPictureView* imgResult; // hidden: the picture of the last effect step
    QSlider* sbScaleSrc;
    QSlider* sbScaleDest;
    TElidedLabel* lblSourceInfo;
    TElidedLabel* lblDestInfo;
    // How far a run is: "Frame 37 of 500, 0:12 left" and a bar.
    QLabel* lblProgress;
    QProgressBar* pbRun;
    QLineEdit* jvExportFolder;
    QCheckBox* cbPreviewDelay;
    QSpinBox* spinPreviewDelay;
    QPushButton* btnRender;
    QPushButton* btnPreview;
    QGroupBox* pnlQuickTitle;
    QCheckBox* cbSuperimpose;
    QLineEdit* siText;
    QToolButton* SpeedButton1;
    QCheckBox* cbsiBold;
    QComboBox* siPosition;
    TColorButton* siColor;
    TColorButton* siShadow;
    QCheckBox* cbTime;
    QCheckBox* cbDate;

public slots:
    // The Cancel button: the run stops before its next frame.
    void RequestStop();
    void btnRenderClick();
    void btnPreviewClick();

private:
    void startRun(bool preview);
    void showProgress(int64_t done, int64_t total, qint64 elapsedMs);
    void SpeedButton1Click();
    void jvExportFolderBrowse();

    RenderHost& host_;
    TConfigPage& config_;
    RenderRun run_;
    QFont font_;
    bool running_ = false;
};

} // namespace stillora

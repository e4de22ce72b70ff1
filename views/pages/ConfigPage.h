#pragma once
// The Config wizard page: export kind, naming of the stills, still file type
// and JPEG quality, and the options of the gallery and movie exporters.
// Every control carries its name as objectName, so the settings store finds
// it. The main window calls EnterPage() and ExitPage() on page changes.

#include "render/RenderSettings.h"
#include "views/pages/PageWidgets.h"

#include <QWidget>

#include <cstdint>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;
class QStackedWidget;
class QTabWidget;

namespace stillora {

class TConfigPage : public QWidget {
    Q_OBJECT
public:
    explicit TConfigPage(QWidget* parent = nullptr);

    // Page enter: shows the export kind's tab and the still type's page,
    // recomputes the sample name.
    void EnterPage();
    // Page exit: the export folder gets its trailing separator.
    void ExitPage();
    // Recomputes the sample name and the controls that depend on the export
    // kind and movie kind.
    void UpdateSample();

    int ExportKind() const;
    int StillType() const;
    int MovieKind() const;
    // Item index of rgVideoFormat: 0 MP4, 1 WebM.
    int VideoFormat() const;
    // The page's part of a run's settings (export folder, preview delay and
    // overlay come from the Finalize page).
    void CollectSettings(RenderSettings& settings) const;

    // The sample name shows the frame counter of the last run.
    void setFrameCounterProvider(std::function<int32_t()> provider) {
        counter_ = std::move(provider);
    }
    // The export folder field (on the Finalize page) that ExitPage() normalises.
    void setExportFolderEdit(QLineEdit* edit) { exportFolder_ = edit; }
    // Export kinds 1 and 2 stay unavailable until their exporters exist.
    void setExportKindAvailable(int kind, bool available);

    // The AVI codec and options chosen last (no control of its own; the
    // compression dialog sets it, the settings store keeps it).
    AviSettings aviCompression;

    // Controls, named as their objectName.
    TRadioGroup* rgExportAs;
    QTabWidget* pageSettings;
    QWidget* tabImage;
    QWidget* tabHTML;
    QWidget* tabFrames;
    // Files Settings
    QLineEdit* edtRootName;
    QCheckBox* cbSeparator;
    QLineEdit* edtSeparator;
    QCheckBox* cbSelName;
    QSpinBox* spinDigits;
    QCheckBox* cbSkipFrames;
    QSpinBox* spinSkipFrames;
    TRadioGroup* rgExportType;
    QStackedWidget* ngImageSettings;
    QSlider* tbJPEGComp;
    QLabel* lblJpegComp;
    QLineEdit* edtSample;
    // Web Gallery Settings
    QLineEdit* edtPageTitle;
    QLineEdit* meTableWidth;
    QSpinBox* spinCols;
    QSpinBox* spinRows;
    QSpinBox* spinThumbSize;
    TColorButton* cbBackColor;
    TColorButton* cbTextColor;
    TColorButton* cbLinkColor;
    TColorButton* cbVisitedColor;
    QCheckBox* cbEdge;
    QSpinBox* spinCellSpacing;
    QSpinBox* spinCellPadding;
    // Movie/Presentation Settings
    QLineEdit* edtExportFileName;
    QTabWidget* pagesMovie;
    QSpinBox* spinFramesPerSlide;
    QSpinBox* spinFramesPerFade;
    QSpinBox* spinFrameRate;
    QCheckBox* cbCrossfade;
    QSpinBox* spinAVIFrameRate;
    QSpinBox* spinGIFFrameDuration;
    QCheckBox* chkGIFLoop;
    TRadioGroup* rgVideoFormat;
    QSpinBox* spinVideoFrameRate;
    QSpinBox* spinVideoHold;
    QSpinBox* spinVideoQuality;

private:
    void rgExportAsClick(int index);
    void rgExportTypeClick(int index);
    void pagesMovieChange(int index);
    void tbJPEGCompChange(int position);
    void cbCrossfadeClick();
    // The movie tab is shown: the fade length follows the crossfade box.
    void tabFramesShow();
    void edtExportFileNameBrowse();
    QWidget* buildFilesTab();
    QWidget* buildGalleryTab();
    QWidget* buildMovieTab();

    std::function<int32_t()> counter_;
    QLineEdit* exportFolder_ = nullptr;
    bool updating_ = false;
};

} // namespace stillora

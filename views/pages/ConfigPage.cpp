#include "views/pages/ConfigPage.h"
#include "views/WidgetNames.h"

#include "render/Naming.h"
#include "views/DialogService.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace stillora {

namespace {

QSpinBox* spin(const char* name, int low, int high, int value, const QString& hint = {}) {
    auto* box = named(new QSpinBox, name);
    box->setRange(low, high);
    box->setValue(value);
    box->setToolTip(hint);
    box->setMinimumWidth(70);
    return box;
}

QCheckBox* check(const char* name, const QString& caption, bool checked, const QString& hint = {}) {
    auto* box = named(new QCheckBox(caption), name);
    box->setChecked(checked);
    box->setToolTip(hint);
    return box;
}

const char* kUnavailable = "This export is not available yet.";

} // namespace

TConfigPage::TConfigPage(QWidget* parent) : QWidget(parent) {
    setObjectName("TConfigPage");
    rgExportAs = new TRadioGroup(
        " Export as... ", {"Numbered Frames", "HTML Web Gallery", "Slideshow/Movie/Animation"},
        Qt::Horizontal, this);
    rgExportAs->setName("rgExportAs");
    rgExportAs->setItemIndex(NumberedFrames);

    pageSettings = named(new QTabWidget(this), "pageSettings");
    tabImage = named(buildFilesTab(), "tabImage");
    tabHTML = named(buildGalleryTab(), "tabHTML");
    tabFrames = named(buildMovieTab(), "tabFrames");
    pageSettings->addTab(tabImage, "Files Settings");
    pageSettings->addTab(tabHTML, "Web Gallery Settings");
    pageSettings->addTab(tabFrames, "Movie/Presentation Settings");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(rgExportAs);
    layout->addWidget(pageSettings, 1);

    connect(rgExportAs, &TRadioGroup::itemIndexChanged, this, &TConfigPage::rgExportAsClick);
    connect(rgExportType, &TRadioGroup::itemIndexChanged, this, &TConfigPage::rgExportTypeClick);
    connect(pagesMovie, &QTabWidget::currentChanged, this, &TConfigPage::pagesMovieChange);
    connect(tbJPEGComp, &QSlider::valueChanged, this, &TConfigPage::tbJPEGCompChange);
    connect(cbCrossfade, &QCheckBox::toggled, this, &TConfigPage::cbCrossfadeClick);
    connect(pageSettings, &QTabWidget::currentChanged, this, [this](int index) {
        if (pageSettings->widget(index) == tabFrames) tabFramesShow();
    });
    auto update = [this] { UpdateSample(); };
    connect(edtRootName, &QLineEdit::textChanged, this, update);
    connect(cbSeparator, &QCheckBox::toggled, this, update);
    connect(edtSeparator, &QLineEdit::textChanged, this, update);
    connect(spinDigits, qOverload<int>(&QSpinBox::valueChanged), this, update);
    connect(cbSelName, &QCheckBox::toggled, this, update);

    setExportKindAvailable(MovieExport, true);
    UpdateSample();
}

QWidget* TConfigPage::buildFilesTab() {
    auto* tab = new QWidget;
    edtRootName = named(new QLineEdit("Untitled"), "edtRootName");
    edtRootName->setToolTip("Rootname of the numbered files.");
    cbSeparator = check("cbSeparator", "Use Separator", true);
    edtSeparator = named(new QLineEdit("_"), "edtSeparator");
    edtSeparator->setToolTip("Separator");
    edtSeparator->setMaximumWidth(60);
    cbSelName = check("cbSelName", "Add Selection Name", true);
    spinDigits = spin("spinDigits", 1, 12, 3, "Number of digits of the numbered sequence.");
    cbSkipFrames = check("cbSkipFrames", "Skip every", false);
    spinSkipFrames = spin("spinSkipFrames", 1, 9999, 5);

    rgExportType = new TRadioGroup("File Type: ", {"JPEG Group (*.JPEG)", "Windows Bitmap (*.BMP)"},
                                   Qt::Vertical, tab);
    rgExportType->setName("rgExportType");
    rgExportType->setItemIndex(StillJpeg);

    ngImageSettings = named(new QStackedWidget, "ngImageSettings");
    auto* jpeg = named(new QWidget, "jpeg");
    tbJPEGComp = named(new QSlider(Qt::Horizontal), "tbJPEGComp");
    tbJPEGComp->setRange(1, 100);
    tbJPEGComp->setPageStep(5);
    tbJPEGComp->setTickInterval(10);
    tbJPEGComp->setTickPosition(QSlider::TicksBelow);
    tbJPEGComp->setValue(65);
    tbJPEGComp->setToolTip("JPEG Compression/Quality.");
    lblJpegComp = named(new QLabel("65%"), "lblJpegComp");
    lblJpegComp->setMinimumWidth(36);
    auto* jpegLayout = new QGridLayout(jpeg);
    jpegLayout->setContentsMargins(0, 0, 0, 0);
    jpegLayout->addWidget(new QLabel("JPEG Compression:"), 0, 0, 1, 2);
    jpegLayout->addWidget(tbJPEGComp, 1, 0);
    jpegLayout->addWidget(lblJpegComp, 1, 1);
    jpegLayout->setRowStretch(2, 1);
    ngImageSettings->addWidget(jpeg);
    ngImageSettings->addWidget(named(new QWidget, "bmp"));
    ngImageSettings->addWidget(named(new QWidget, "raw"));

    edtSample = named(new QLineEdit, "edtSample");
    edtSample->setReadOnly(true);

    auto* names = new QGridLayout;
    names->addWidget(new QLabel("RootName"), 0, 0);
    names->addWidget(edtRootName, 0, 1, 1, 2);
    names->addWidget(cbSeparator, 1, 0);
    names->addWidget(new QLabel("Separator"), 1, 1, Qt::AlignRight);
    names->addWidget(edtSeparator, 1, 2);
    names->addWidget(cbSelName, 2, 0, 1, 3);
    names->addWidget(new QLabel("Digits"), 3, 0);
    names->addWidget(spinDigits, 3, 1, 1, 2, Qt::AlignLeft);
    auto* skip = new QHBoxLayout;
    skip->addWidget(cbSkipFrames);
    skip->addWidget(spinSkipFrames);
    skip->addWidget(new QLabel("frame(s)"));
    skip->addStretch(1);
    names->addLayout(skip, 4, 0, 1, 3);
    names->setRowStretch(5, 1);

    auto* right = new QVBoxLayout;
    right->addWidget(rgExportType);
    right->addWidget(ngImageSettings, 1);

    auto* sample = new QHBoxLayout;
    sample->addWidget(new QLabel("Sample File Name:"));
    sample->addWidget(edtSample, 1);

    auto* layout = new QGridLayout(tab);
    layout->addLayout(names, 0, 0);
    layout->addLayout(right, 0, 1);
    layout->addLayout(sample, 1, 0, 1, 2);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(1, 2);
    return tab;
}

QWidget* TConfigPage::buildGalleryTab() {
    auto* tab = new QWidget;
    edtPageTitle = named(new QLineEdit("My Photo Gallery"), "edtPageTitle");
    edtPageTitle->setToolTip("HTML Page Title.");
    meTableWidth = named(new QLineEdit, "meTableWidth");
    meTableWidth->setInputMask("9999");
    meTableWidth->setText("0800");
    meTableWidth->setToolTip("Table Width.");
    meTableWidth->setMaximumWidth(70);
    spinCols = spin("spinCols", 1, 25, 5, "Number of columns.");
    spinRows = spin("spinRows", 1, 25, 5);
    spinThumbSize = spin("spinThumbSize", 1, 100, 10);
    cbBackColor = named(new TColorButton(QColor(0, 0, 0)), "cbBackColor");
    cbTextColor = named(new TColorButton(QColor(255, 255, 255)), "cbTextColor");
    cbLinkColor = named(new TColorButton(QColor(148, 158, 254)), "cbLinkColor");
    cbVisitedColor = named(new TColorButton(QColor(45, 80, 172)), "cbVisitedColor");
    cbEdge = check("cbEdge", "Thumbnail Edge:", false, "Thumbnail edge.");
    cbEdge->setLayoutDirection(Qt::RightToLeft);
    spinCellSpacing = spin("spinCellSpacing", 0, 9, 1);
    spinCellPadding = spin("spinCellPadding", 0, 9, 4);

    auto* left = new QFormLayout;
    left->addRow("Gallery Title:", edtPageTitle);
    left->addRow("Table Width:", meTableWidth);
    left->addRow("Cells per Row:", spinCols);
    left->addRow("Rows:", spinRows);
    auto* thumbSize = new QHBoxLayout;
    thumbSize->addWidget(spinThumbSize);
    thumbSize->addWidget(new QLabel("%"));
    thumbSize->addStretch(1);
    left->addRow("Thumbnail Size:", thumbSize);
    auto* right = new QFormLayout;
    right->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    right->addRow("Bkg. Color:", cbBackColor);
    right->addRow("Text Color:", cbTextColor);
    right->addRow("Link Color: ", cbLinkColor);
    right->addRow("Visited Color: ", cbVisitedColor);
    right->addRow(cbEdge);
    right->addRow("Cell Spacing: ", spinCellSpacing);
    right->addRow("Cell Padding:", spinCellPadding);
    auto* layout = new QHBoxLayout(tab);
    layout->addLayout(left, 3);
    layout->addSpacing(12);
    layout->addLayout(right, 2);
    return tab;
}

QWidget* TConfigPage::buildMovieTab() {
    auto* tab = new QWidget;
    edtExportFileName = named(new QLineEdit("untitled.swf"), "edtExportFileName");
    edtExportFileName->setToolTip("Output Filename.");
    QAction* browse = edtExportFileName->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon),
                                                   QLineEdit::TrailingPosition);
    browse->setToolTip("Browse...");
    connect(browse, &QAction::triggered, this, &TConfigPage::edtExportFileNameBrowse);

    pagesMovie = named(new QTabWidget, "pagesMovie");
    auto* swf = named(new QWidget, "TabSheet1");
    spinFramesPerSlide = spin("spinFramesPerSlide", 1, 9999, 60, "Number of frames per slide");
    spinFramesPerFade = spin("spinFramesPerFade", 1, 9999, 30);
    spinFrameRate = spin("spinFrameRate", 1, 30, 30, "Movie Framerate");
    cbCrossfade = check("cbCrossfade", "Crossfade", true, "Crossfade between frames");
    auto* swfLayout = new QFormLayout(swf);
    swfLayout->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    swfLayout->addRow("Frames per Slide: ", spinFramesPerSlide);
    swfLayout->addRow(cbCrossfade);
    swfLayout->addRow("Crossfade duration (in frames)", spinFramesPerFade);
    swfLayout->addRow("Frame Rate (fps):", spinFrameRate);

    auto* avi = named(new QWidget, "TabSheet2");
    spinAVIFrameRate = spin("spinAVIFrameRate", 1, 30, 1, "Movie Framerate");
    auto* aviLayout = new QFormLayout(avi);
    aviLayout->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    aviLayout->addRow(new QLabel("AVI Properties:"));
    aviLayout->addRow("Frame Rate (fps):", spinAVIFrameRate);

    auto* gif = named(new QWidget, "TabSheet3");
    spinGIFFrameDuration = spin("spinGIFFrameDuration", 0, 99999, 1000);
    spinGIFFrameDuration->setSuffix(" ms");
    chkGIFLoop = check("chkGIFLoop", "Loop", false);
    auto* gifLayout = new QFormLayout(gif);
    gifLayout->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    gifLayout->addRow("Frame Duration:", spinGIFFrameDuration);
    gifLayout->addRow(chkGIFLoop);

    auto* video = named(new QWidget, "TabSheet4");
    rgVideoFormat = new TRadioGroup("Format", {"MP4 (H.264)", "WebM (VP9)"}, Qt::Horizontal, video);
    rgVideoFormat->setName("rgVideoFormat");
    rgVideoFormat->setItemIndex(VideoMp4);
    spinVideoFrameRate = spin("spinVideoFrameRate", 1, 60, 25, "Movie Framerate");
    spinVideoHold = spin("spinVideoHold", 1, 9999, 1, "Frames each still is shown for");
    spinVideoQuality =
        spin("spinVideoQuality", 0, 51, 23, "Constant rate factor: 0 is best, 51 smallest");
    auto* videoLayout = new QFormLayout(video);
    videoLayout->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    videoLayout->addRow(rgVideoFormat);
    videoLayout->addRow("Frame Rate (fps):", spinVideoFrameRate);
    auto* hold = new QHBoxLayout;
    hold->addWidget(spinVideoHold);
    hold->addWidget(new QLabel("frame(s)"));
    hold->addStretch(1);
    videoLayout->addRow("Hold each frame", hold);
    videoLayout->addRow("Quality (CRF):", spinVideoQuality);
    connect(rgVideoFormat, &TRadioGroup::itemIndexChanged, this, [this] { UpdateSample(); });

    // Page indexes are stored: new pages only ever go at the end.
    pagesMovie->addTab(swf, "Shockwave FLASH");
    pagesMovie->addTab(avi, "Windows AVI");
    pagesMovie->addTab(gif, "Animated GIF");
    pagesMovie->addTab(video, "MP4 / WebM Video");

    auto* file = new QFormLayout;
    file->addRow("Output File:", edtExportFileName);
    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(file);
    layout->addWidget(pagesMovie, 1);
    return tab;
}

void TConfigPage::setExportKindAvailable(int kind, bool available) {
    rgExportAs->setItemEnabled(kind, available);
    if (QAbstractButton* item = rgExportAs->item(kind))
        item->setToolTip(available ? QString() : QString::fromLatin1(kUnavailable));
    QWidget* tab = kind == WebGallery ? tabHTML : kind == MovieExport ? tabFrames : nullptr;
    if (!tab) return;
    tab->setEnabled(available);
    pageSettings->setTabToolTip(pageSettings->indexOf(tab),
                                available ? QString() : QString::fromLatin1(kUnavailable));
}

int TConfigPage::ExportKind() const {
    return qMax(0, rgExportAs->itemIndex());
}
int TConfigPage::StillType() const {
    return qMax(0, rgExportType->itemIndex());
}
int TConfigPage::MovieKind() const {
    return qMax(0, pagesMovie->currentIndex());
}
int TConfigPage::VideoFormat() const {
    return rgVideoFormat->itemIndex() == VideoWebm ? VideoWebm : VideoMp4;
}

void TConfigPage::CollectSettings(RenderSettings& s) const {
    s.rootName = edtRootName->text();
    s.useSeparator = cbSeparator->isChecked();
    s.separator = edtSeparator->text();
    s.addSelectionName = cbSelName->isChecked();
    s.digits = spinDigits->value();
    s.skipFrames = cbSkipFrames->isChecked();
    s.skipEvery = spinSkipFrames->value();
    s.exportKind = ExportKind();
    // Galleries and movies are always made from JPEG stills.
    s.stillType = s.exportKind == NumberedFrames ? StillType() : StillJpeg;
    s.jpegQuality = tbJPEGComp->value();
    s.movieKind = MovieKind();
    s.exportFileName = edtExportFileName->text();
    s.crossfade = cbCrossfade->isChecked();
    s.framesPerSlide = spinFramesPerSlide->value();
    s.framesPerFade = spinFramesPerFade->value();
    s.swfFrameRate = spinFrameRate->value();
    s.aviFrameRate = spinAVIFrameRate->value();
    s.gif.frameDurationMs = spinGIFFrameDuration->value();
    s.gif.loop = chkGIFLoop->isChecked();
    s.video.format = VideoFormat();
    s.video.frameRate = spinVideoFrameRate->value();
    s.video.hold = spinVideoHold->value();
    s.video.quality = spinVideoQuality->value();
    GallerySettings& g = s.gallery;
    g.title = edtPageTitle->text();
    g.tableWidth = meTableWidth->text();
    g.columns = spinCols->value();
    g.rows = spinRows->value();
    g.thumbSize = spinThumbSize->value();
    g.backColor = cbBackColor->color();
    g.textColor = cbTextColor->color();
    g.linkColor = cbLinkColor->color();
    g.visitedColor = cbVisitedColor->color();
    g.edge = cbEdge->isChecked();
    g.cellSpacing = spinCellSpacing->value();
    g.cellPadding = spinCellPadding->value();
    s.avi = aviCompression;
}

void TConfigPage::EnterPage() {
    pageSettings->setCurrentIndex(ExportKind());
    UpdateSample();
    ngImageSettings->setCurrentIndex(StillType());
    cbCrossfadeClick();
}

void TConfigPage::ExitPage() {
    if (exportFolder_) exportFolder_->setText(ExportFolderPrefix(exportFolder_->text()));
}

void TConfigPage::UpdateSample() {
    // Changing the controls below would call back in here.
    if (updating_) return;
    updating_ = true;
    if (ExportKind() == NumberedFrames) {
        rgExportType->setEnabled(true);
    } else {
        // Galleries and slideshows are always made from JPEG stills.
        rgExportType->setItemIndex(StillJpeg);
        rgExportType->setEnabled(false);
        ngImageSettings->setCurrentIndex(StillJpeg);
    }
    RenderSettings s;
    CollectSettings(s);
    edtSample->setText(SampleName(s, counter_ ? counter_() : 0));
    edtExportFileName->setText(
        ReplaceExtension(edtExportFileName->text(), MovieExtension(MovieKind(), VideoFormat())));
    updating_ = false;
}

void TConfigPage::rgExportAsClick(int index) {
    if (index < 0) return;
    pageSettings->setCurrentIndex(index);
    UpdateSample();
}

void TConfigPage::rgExportTypeClick(int index) {
    if (index < 0) return;
    ngImageSettings->setCurrentIndex(index);
    UpdateSample();
}

void TConfigPage::pagesMovieChange(int) {
    UpdateSample();
}

void TConfigPage::tbJPEGCompChange(int position) {
    lblJpegComp->setText(QString::number(position) + '%');
}

void TConfigPage::cbCrossfadeClick() {
    spinFramesPerFade->setEnabled(cbCrossfade->isChecked());
}

void TConfigPage::tabFramesShow() {
    cbCrossfadeClick();
}

void TConfigPage::edtExportFileNameBrowse() {
    // The filter and default extension of the chosen movie kind.
    const QString extension = MovieExtension(MovieKind(), VideoFormat());
    QString filter = QStringLiteral("Macromedia Flash (*.swf)");
    if (MovieKind() == MovieAvi) filter = QStringLiteral("Windows AVI (*.avi)");
    if (MovieKind() == MovieGif) filter = QStringLiteral("Animated GIF (*.gif)");
    if (MovieKind() == MovieVideo)
        filter = VideoFormat() == VideoWebm ? QStringLiteral("WebM Video (*.webm)")
                                            : QStringLiteral("MP4 Video (*.mp4)");
    const QString path =
        Dialogs().saveFile("Output File", edtExportFileName->text(), filter, nullptr, this);
    if (path.isEmpty()) return;
    // The dialog's default extension.
    edtExportFileName->setText(QFileInfo(path).suffix().isEmpty() ? path + extension : path);
}

} // namespace stillora

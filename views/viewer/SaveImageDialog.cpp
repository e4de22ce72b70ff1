#include "views/viewer/SaveImageDialog.h"

#include "render/StillWriter.h"
#include "views/DialogService.h"
#include "views/viewer/GifEncoder.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace stillora {

namespace {

const char* const kOverwriteQuestion =
    "File already exists.\r\nDo you want to overwrite the existing file?";
const char* const kCannotSave = "Cannot save the image.";

// Fills `combo` with the standard colours, each with a swatch.
void addStandardColours(QComboBox* combo) {
    static const struct {
        const char* name;
        QRgb rgb;
    } colours[] = {
        {"Black", 0x000000},  {"Maroon", 0x800000},  {"Green", 0x008000}, {"Olive", 0x808000},
        {"Navy", 0x000080},   {"Purple", 0x800080},  {"Teal", 0x008080},  {"Gray", 0x808080},
        {"Silver", 0xC0C0C0}, {"Red", 0xFF0000},     {"Lime", 0x00FF00},  {"Yellow", 0xFFFF00},
        {"Blue", 0x0000FF},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0x00FFFF},  {"White", 0xFFFFFF},
    };
    for (const auto& c : colours) {
        QPixmap swatch(16, 16);
        swatch.fill(QColor::fromRgb(c.rgb));
        combo->addItem(QIcon(swatch), QString::fromLatin1(c.name), QColor::fromRgb(c.rgb));
    }
}

// A control shown for completeness that does not change what is written;
// disabled so that nobody expects it to.
template <typename W> W* inert(W* widget, const QString& name) {
    widget->setObjectName(name);
    widget->setEnabled(false);
    return widget;
}

// Writes under a temporary name beside the target and renames it into place
// only when every byte is written.
bool writeAtomically(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

TFitPicture::TFitPicture(QWidget* parent) : QWidget(parent) {
    setMinimumSize(120, 90);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TFitPicture::setPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void TFitPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (picture_.isNull()) return;
    const QSize fitted = picture_.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                       fitted);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture_);
}

TfrmImageProperties::TfrmImageProperties(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("frmImageProperties");
    setWindowTitle("Save Image");

    auto* nameRow = new QHBoxLayout;
    auto* lblFileName = new QLabel("Filename: ");
    edtFileName = new QLineEdit;
    edtFileName->setObjectName("edtFileName");
    lblFileName->setBuddy(edtFileName);
    btnBrowse = new QToolButton;
    btnBrowse->setObjectName("btnBrowse");
    btnBrowse->setText("...");
    btnBrowse->setToolTip("Choose the file to save to");
    nameRow->addWidget(lblFileName);
    nameRow->addWidget(edtFileName, 1);
    nameRow->addWidget(btnBrowse);

    PageModes = new QTabWidget;
    PageModes->setObjectName("PageModes");
    PageModes->setDocumentMode(true);

    // Windows Bitmap: the pixel format is always the picture's own.
    auto* bitmapPage = new QWidget;
    bitmapPage->setObjectName("tsBitmap");
    auto* rgBitDepth = inert(new QGroupBox("Pixel Format"), "rgBitDepth");
    auto* depthLayout = new QVBoxLayout(rgBitDepth);
    const char* depths[] = {"  8 Bit", "16 Bit", "24 Bit", "32 Bit"};
    for (int i = 0; i < 4; ++i) {
        auto* item = new QRadioButton(depths[i]);
        item->setObjectName(QStringLiteral("rgBitDepth_item%1").arg(i));
        item->setChecked(i == 3);
        depthLayout->addWidget(item);
    }
    auto* cbRLE = inert(new QCheckBox("RLE Compresion"), "cbRLE");
    auto* bitmapLayout = new QVBoxLayout(bitmapPage);
    bitmapLayout->addWidget(rgBitDepth);
    bitmapLayout->addWidget(cbRLE);
    bitmapLayout->addStretch(1);
    PageModes->addTab(bitmapPage, "Windows Bitmap");

    auto* jpegPage = new QWidget;
    jpegPage->setObjectName("tsJPEG");
    spinQuality = new QSpinBox;
    spinQuality->setObjectName("spinQuality");
    spinQuality->setRange(1, 100);
    spinQuality->setValue(65);
    auto* jpegLayout = new QFormLayout(jpegPage);
    jpegLayout->addRow("Compression Quality:", spinQuality);
    PageModes->addTab(jpegPage, "JPEG Image");

    auto* gifPage = new QWidget;
    gifPage->setObjectName("tsGIF");
    GIFImage = new TFitPicture;
    GIFImage->setObjectName("GIFImage");
    cbX = new QCheckBox("Transparent");
    cbX->setObjectName("cbX");
    xColor = new QComboBox;
    xColor->setObjectName("xColor");
    addStandardColours(xColor);
    xColor->setEnabled(false);
    connect(cbX, &QCheckBox::toggled, xColor, &QWidget::setEnabled);
    auto* transparentRow = new QHBoxLayout;
    transparentRow->addWidget(cbX);
    transparentRow->addWidget(xColor, 1);

    auto* cbOptimization = inert(new QComboBox, "cbOptimization");
    cbOptimization->addItems({"None", "Crop", "Merge"});
    auto* optimizationRow = new QHBoxLayout;
    optimizationRow->addWidget(new QLabel("Optimization:"));
    optimizationRow->addWidget(cbOptimization, 1);

    // Animation settings: a single picture has no use for them.
    gbMultipleProps = new QGroupBox("Multiple Images");
    gbMultipleProps->setObjectName("gbMultipleProps");
    gbMultipleProps->setEnabled(false);
    auto* cbAnimate = inert(new QCheckBox("Animate"), "cbAnimate");
    auto* spinLoopCount = inert(new QSpinBox, "spinLoopCount");
    spinLoopCount->setRange(0, 999);
    spinLoopCount->setValue(5);
    auto* cbInfiniteLoop = inert(new QCheckBox("Infinite Loop"), "cbInfiniteLoop");
    auto* spinFrameDelay = inert(new QSpinBox, "spinFrameDelay");
    spinFrameDelay->setRange(0, 99999);
    spinFrameDelay->setValue(1000);
    auto* delayRow = new QHBoxLayout;
    delayRow->addWidget(spinFrameDelay, 1);
    delayRow->addWidget(new QLabel("msec."));
    auto* multipleLayout = new QFormLayout(gbMultipleProps);
    multipleLayout->addRow(cbAnimate);
    multipleLayout->addRow("Loop Count", spinLoopCount);
    multipleLayout->addRow(cbInfiniteLoop);
    multipleLayout->addRow("Frame Delay:", delayRow);

    auto* gifOptions = new QVBoxLayout;
    gifOptions->addLayout(transparentRow);
    gifOptions->addLayout(optimizationRow);
    gifOptions->addWidget(gbMultipleProps);
    gifOptions->addStretch(1);
    auto* gifLayout = new QHBoxLayout(gifPage);
    gifLayout->addWidget(GIFImage, 1);
    gifLayout->addLayout(gifOptions);
    PageModes->addTab(gifPage, "GIFImage");
    PageModes->setCurrentIndex(PageGif);

    Button1 = new QPushButton("Save");
    Button1->setObjectName("Button1");
    Button1->setDefault(true);
    Button1->setEnabled(false);
    Button2 = new QPushButton("&Cancel");
    Button2->setObjectName("Button2");
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(Button1);
    buttonRow->addWidget(Button2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addWidget(PageModes, 1);
    layout->addLayout(buttonRow);
    resize(460, 320);

    connect(edtFileName, &QLineEdit::textChanged, this,
            [this](const QString& text) { Button1->setEnabled(!text.isEmpty()); });
    connect(btnBrowse, &QToolButton::clicked, this, &TfrmImageProperties::btnBrowseClick);
    connect(Button1, &QPushButton::clicked, this, &TfrmImageProperties::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfrmImageProperties::Button2Click);
}

QRgb TfrmImageProperties::transparentColor() const {
    return xColor->currentData().value<QColor>().rgb();
}

int TfrmImageProperties::execute(const QImage* bitmap, int page) {
    if (!bitmap) return QDialog::Rejected;
    bitmap_ = bitmap;
    GIFImage->setPicture(*bitmap);
    if (page >= PageBitmap && page <= PageGif) PageModes->setCurrentIndex(page);
    const int result = exec();
    // The caller's bitmap is only borrowed for the run.
    bitmap_ = nullptr;
    GIFImage->setPicture(QImage());
    return result;
}

void TfrmImageProperties::Button1Click() {
    const QString path = edtFileName->text();
    if (bitmap_ && !path.isEmpty()) {
        const bool exists = QFileInfo::exists(path);
        if (!exists ||
            Dialogs().message(DialogService::Confirmation, QString(), kOverwriteQuestion,
                              DialogService::Yes | DialogService::No, this) == DialogService::Yes)
            savePicture(path);
    }
    accept();
}

void TfrmImageProperties::Button2Click() {
    reject();
}

void TfrmImageProperties::btnBrowseClick() {
    const QStringList filters = {"Windows Bitmap (*.bmp)", "JPEG Image (*.jpg *.jpeg)",
                                 "GIF Image (*.gif)"};
    QString selected = filters.value(PageModes->currentIndex());
    const QString path =
        Dialogs().saveFile(windowTitle(), edtFileName->text(), filters.join(";;"), &selected, this);
    if (path.isEmpty()) return;
    edtFileName->setText(path);
    // A different file type picked in the file dialog selects its page.
    const int page = static_cast<int>(filters.indexOf(selected));
    if (page >= 0) PageModes->setCurrentIndex(page);
}

bool TfrmImageProperties::encode(QByteArray& data, QString* error) {
    switch (PageModes->currentIndex()) {
    case PageBitmap: {
        const QImage::Format format = bitmap_->format();
        if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
            format == QImage::Format_ARGB32_Premultiplied)
            return EncodeBmp32(*bitmap_, data, error);
        // Pictures of other depths keep theirs as far as the format allows
        // (8 bits for a palette, 24 otherwise).
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        return bitmap_->save(&buffer, "BMP");
    }
    case PageJpeg:
        return EncodeJpeg(*bitmap_, spinQuality->value(), data, error);
    default: {
        gbMultipleProps->setEnabled(true);
        GifOptions options;
        options.transparent = cbX->isChecked();
        options.transparentColor = transparentColor();
        return EncodeGif(GIFImage->picture(), options, data, error);
    }
    }
}

void TfrmImageProperties::savePicture(const QString& path) {
    QByteArray data;
    if (!encode(data, nullptr) || !writeAtomically(path, data))
        Dialogs().message(DialogService::Error, QString(), kCannotSave, DialogService::Ok, this);
}

} // namespace stillora

#include "views/avi/AviCompressionDialog.h"
#include "views/WidgetNames.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace stillora {

namespace {

class DialogChooser : public AviCompressionChooser {
public:
    bool choose(AVIOptions& options, QWidget* parent) override {
        TAviCompressionDialog dialog(options, parent);
        if (dialog.exec() != QDialog::Accepted) return false;
        dialog.apply(options);
        return true;
    }
};

std::unique_ptr<AviCompressionChooser>& chooser() {
    static std::unique_ptr<AviCompressionChooser> instance;
    return instance;
}

} // namespace

TAviCompressionDialog::TAviCompressionDialog(const AVIOptions& options, QWidget* parent)
    : QDialog(parent), codecs_(AvailableAviCodecs()) {
    setObjectName("frmAviCompression");
    setWindowTitle("Video Compression");

    cbCompressor = named(new QComboBox, "cbCompressor");
    int selected = 0;
    for (size_t i = 0; i < codecs_.size(); ++i) {
        cbCompressor->addItem(codecs_[i].description, codecs_[i].fourcc);
        if (codecs_[i].fourcc.trimmed().compare(options.Handler.trimmed(), Qt::CaseInsensitive) ==
                0 ||
            codecs_[i].encoder.compare(options.Handler.trimmed(), Qt::CaseInsensitive) == 0)
            selected = int(i);
    }

    tbQuality = named(new QSlider(Qt::Horizontal), "tbQuality");
    tbQuality->setRange(0, 100);
    tbQuality->setPageStep(10);
    tbQuality->setValue(int(qMin<uint32_t>(options.Quality, 10000) / 100));
    lblQuality = named(new QLabel, "lblQuality");
    lblQuality->setMinimumWidth(30);
    connect(tbQuality, &QSlider::valueChanged, this,
            [this](int v) { lblQuality->setText(QString::number(v)); });
    lblQuality->setText(QString::number(tbQuality->value()));

    cbKeyFrames = named(new QCheckBox("Key Frame Every"), "cbKeyFrames");
    cbKeyFrames->setChecked(options.Flags & kAviFlagKeyFrames);
    spinKeyFrames = named(new QSpinBox, "spinKeyFrames");
    spinKeyFrames->setRange(1, 9999);
    spinKeyFrames->setValue(int(qBound<uint32_t>(1, options.KeyFrameEvery, 9999)));
    spinKeyFrames->setSuffix(" frames");
    cbDataRate = named(new QCheckBox("Data Rate"), "cbDataRate");
    cbDataRate->setChecked(options.Flags & kAviFlagDataRate);
    spinDataRate = named(new QSpinBox, "spinDataRate");
    spinDataRate->setRange(1, 999999);
    spinDataRate->setValue(int(qMax<uint32_t>(1, options.BytesPerSecond / 1024)));
    spinDataRate->setSuffix(" KB/sec");
    connect(cbKeyFrames, &QCheckBox::toggled, this, &TAviCompressionDialog::compressorChange);
    connect(cbDataRate, &QCheckBox::toggled, this, &TAviCompressionDialog::compressorChange);

    auto* quality = new QHBoxLayout;
    quality->addWidget(tbQuality, 1);
    quality->addWidget(lblQuality);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Compressor:"), 0, 0);
    grid->addWidget(cbCompressor, 0, 1);
    grid->addWidget(new QLabel("Compression Quality:"), 1, 0);
    grid->addLayout(quality, 1, 1);
    grid->addWidget(cbKeyFrames, 2, 0);
    grid->addWidget(spinKeyFrames, 2, 1);
    grid->addWidget(cbDataRate, 3, 0);
    grid->addWidget(spinDataRate, 3, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    connect(cbCompressor, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &TAviCompressionDialog::compressorChange);
    cbCompressor->setCurrentIndex(selected);
    compressorChange();
}

void TAviCompressionDialog::compressorChange() {
    const int i = cbCompressor->currentIndex();
    if (i < 0 || size_t(i) >= codecs_.size()) return;
    const AviCodecInfo& c = codecs_[size_t(i)];
    // Options the codec has no use for are greyed out, as a codec without
    // them would leave them.
    tbQuality->setEnabled(c.usesQuality);
    cbKeyFrames->setEnabled(c.usesKeyFrames);
    spinKeyFrames->setEnabled(c.usesKeyFrames && cbKeyFrames->isChecked());
    cbDataRate->setEnabled(c.usesDataRate);
    spinDataRate->setEnabled(c.usesDataRate && cbDataRate->isChecked());
}

void TAviCompressionDialog::apply(AVIOptions& options) const {
    const int i = cbCompressor->currentIndex();
    if (i >= 0 && size_t(i) < codecs_.size()) options.Handler = codecs_[size_t(i)].fourcc;
    options.Quality = uint32_t(tbQuality->value()) * 100;
    options.KeyFrameEvery = uint32_t(spinKeyFrames->value());
    options.BytesPerSecond = uint32_t(spinDataRate->value()) * 1024;
    options.Flags &= ~(kAviFlagKeyFrames | kAviFlagDataRate);
    if (cbKeyFrames->isChecked()) options.Flags |= kAviFlagKeyFrames;
    if (cbDataRate->isChecked()) options.Flags |= kAviFlagDataRate;
}

AviCompressionChooser& AviCompressionDialogs() {
    if (!chooser()) chooser() = std::make_unique<DialogChooser>();
    return *chooser();
}

void SetAviCompressionDialogs(std::unique_ptr<AviCompressionChooser> replacement) {
    chooser() = std::move(replacement);
}

bool ScriptedAviCompression::choose(AVIOptions& options, QWidget*) {
    shown.push_back(options);
    if (answers.empty()) return true;
    const Answer answer = answers.front();
    answers.pop_front();
    if (!answer.confirm) return false;
    if (!answer.handler.isEmpty()) options.Handler = answer.handler;
    if (answer.quality >= 0) options.Quality = uint32_t(answer.quality);
    return true;
}

} // namespace stillora

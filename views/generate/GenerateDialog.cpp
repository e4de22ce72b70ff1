#include "views/generate/GenerateDialog.h"

#include "views/WidgetNames.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace stillora {

GenerateDialog::GenerateDialog(Source source, QWidget* parent) : QDialog(parent), source_(std::move(source)) {
    setObjectName("frmGenerate");
    setWindowTitle("Generate selections");

    cbGenerateMode = named(new QComboBox, "cbGenerateMode");
    cbGenerateMode->addItem("Every N frames", GenerateSettings::EveryFrames);
    cbGenerateMode->addItem("Every S seconds", GenerateSettings::EverySeconds);
    if (source_.canDecode) {
        cbGenerateMode->addItem("One per scene", GenerateSettings::Scenes);
        cbGenerateMode->addItem("Sharpest frame every N frames", GenerateSettings::SharpestFrames);
        cbGenerateMode->addItem("Sharpest frame every S seconds", GenerateSettings::SharpestSeconds);
    }
    spinGenerateFrames = named(new QSpinBox, "spinGenerateFrames");
    spinGenerateFrames->setRange(1, 1000000);
    spinGenerateFrames->setValue(250);
    spinGenerateFrames->setSuffix(" frames");
    spinGenerateSeconds = named(new QDoubleSpinBox, "spinGenerateSeconds");
    spinGenerateSeconds->setRange(0.01, 86400);
    spinGenerateSeconds->setDecimals(2);
    spinGenerateSeconds->setValue(10);
    spinGenerateSeconds->setSuffix(" s");
    spinSensitivity = named(new QSpinBox, "spinSensitivity");
    spinSensitivity->setRange(0, 100);
    spinSensitivity->setValue(kDefaultSensitivity);
    spinSensitivity->setToolTip("Higher finds fainter cuts.");
    cbSceneStill = named(new QComboBox, "cbSceneStill");
    cbSceneStill->addItem("The whole scene", int(SceneStill::Range));
    cbSceneStill->addItem("Its first frame", int(SceneStill::First));
    cbSceneStill->addItem("Its middle frame", int(SceneStill::Middle));
    cbSceneStill->addItem("Its last frame", int(SceneStill::Last));
    rbWholeVideo = named(new QRadioButton("Whole video"), "rbWholeVideo");
    rbBetweenMarks = named(new QRadioButton(QString("Between the marks (%1 to %2)")
                                                .arg(std::min(source_.markIn, source_.markOut))
                                                .arg(std::max(source_.markIn, source_.markOut))),
                           "rbBetweenMarks");
    rbWholeVideo->setChecked(true);
    lblGenerateCount = named(new QLabel, "lblGenerateCount");
    pbGenerate = named(new QProgressBar, "pbGenerate");
    pbGenerate->setRange(0, 100);
    pbGenerate->setVisible(false);
    btnGenerateAdd = named(new QPushButton("Add"), "btnGenerateAdd");
    btnGenerateAdd->setDefault(true);
    btnGenerateCancel = named(new QPushButton("Cancel"), "btnGenerateCancel");

    auto* form = new QFormLayout;
    form->addRow("Make", cbGenerateMode);
    form->addRow("Step", spinGenerateFrames);
    form->addRow("Every", spinGenerateSeconds);
    form->addRow("Sensitivity", spinSensitivity);
    form->addRow("Per scene", cbSceneStill);
    auto* over = new QHBoxLayout;
    over->addWidget(rbWholeVideo);
    over->addWidget(rbBetweenMarks);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnGenerateAdd);
    buttons->addWidget(btnGenerateCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(over);
    layout->addWidget(lblGenerateCount);
    layout->addWidget(pbGenerate);
    layout->addLayout(buttons);

    const auto changed = [this] { settingsChanged(); };
    connect(cbGenerateMode, qOverload<int>(&QComboBox::currentIndexChanged), this, changed);
    connect(spinGenerateFrames, qOverload<int>(&QSpinBox::valueChanged), this, changed);
    connect(spinGenerateSeconds, qOverload<double>(&QDoubleSpinBox::valueChanged), this, changed);
    connect(spinSensitivity, qOverload<int>(&QSpinBox::valueChanged), this, changed);
    connect(cbSceneStill, qOverload<int>(&QComboBox::currentIndexChanged), this, changed);
    connect(rbWholeVideo, &QRadioButton::toggled, this, changed);
    connect(btnGenerateAdd, &QPushButton::clicked, this, &GenerateDialog::addClicked);
    connect(btnGenerateCancel, &QPushButton::clicked, this, &GenerateDialog::cancelClicked);
    timer_.setInterval(50);
    connect(&timer_, &QTimer::timeout, this, &GenerateDialog::poll);
    settingsChanged();
}

GenerateDialog::~GenerateDialog() {
    job_.cancel();
    job_.wait();
}

GenerateSettings GenerateDialog::settings() const {
    GenerateSettings s;
    s.mode = static_cast<GenerateSettings::Mode>(cbGenerateMode->currentData().toInt());
    s.frames = spinGenerateFrames->value();
    s.seconds = spinGenerateSeconds->value();
    s.sensitivity = spinSensitivity->value();
    s.still = static_cast<SceneStill>(cbSceneStill->currentData().toInt());
    return s;
}

FrameSpan GenerateDialog::range() const {
    if (rbBetweenMarks->isChecked()) {
        const int64_t last = std::max<int64_t>(0, source_.frameCount - 1);
        return {std::clamp<int64_t>(std::min(source_.markIn, source_.markOut), 0, last),
                std::clamp<int64_t>(std::max(source_.markIn, source_.markOut), 0, last)};
    }
    return {0, source_.frameCount - 1};
}

bool GenerateDialog::analysing() const { return waiting_; }

void GenerateDialog::settingsChanged() {
    const GenerateSettings s = settings();
    const bool frames = s.mode == GenerateSettings::EveryFrames || s.mode == GenerateSettings::SharpestFrames;
    spinGenerateFrames->setEnabled(frames);
    spinGenerateSeconds->setEnabled(!frames && s.mode != GenerateSettings::Scenes);
    spinSensitivity->setEnabled(s.mode == GenerateSettings::Scenes);
    cbSceneStill->setEnabled(s.mode == GenerateSettings::Scenes);

    const FrameSpan r = range();
    if (needsProfile(s)) {
        const bool covered = haveProfile_ && profile_.covers(r.first, r.last) &&
                             (profiledSharpness_ || !needsSharpness(s));
        if (!covered) {
            const bool sameJob = analysing() && profiled_ == r && (profiledSharpness_ || !needsSharpness(s));
            if (!sameJob) {
                ProfileRequest request;
                request.path = source_.path.toStdString();
                request.first = r.first;
                request.last = r.last;
                request.frameCount = source_.frameCount;
                request.sharpness = needsSharpness(s) || profiledSharpness_;
                profiled_ = r;
                profiledSharpness_ = request.sharpness;
                haveProfile_ = false;
                job_.start(request);
                waiting_ = true;
                timer_.start();
            }
            spans_.clear();
            showCount();
            return;
        }
    }
    spans_ = generateSpans(s, r, source_.times, haveProfile_ ? &profile_ : nullptr);
    showCount();
}

void GenerateDialog::poll() {
    if (!job_.finished()) {
        showCount();
        return;
    }
    timer_.stop();
    waiting_ = false;
    if (job_.succeeded()) {
        profile_ = job_.profile();
        haveProfile_ = true;
        settingsChanged();
    } else {
        profiledSharpness_ = false;
        profiled_ = {0, -1};
        spans_.clear();
        lblGenerateCount->setText("The video could not be analysed: " + QString::fromStdString(job_.error()));
        pbGenerate->setVisible(false);
        btnGenerateAdd->setEnabled(false);
    }
}

void GenerateDialog::showCount() {
    const bool busy = analysing();
    pbGenerate->setVisible(busy);
    if (busy) {
        pbGenerate->setValue(job_.percent());
        lblGenerateCount->setText(QString("Analysing the video\u2026 %1 %").arg(job_.percent()));
    } else {
        lblGenerateCount->setText(spans_.size() == 1 ? QString("1 selection will be added.")
                                                     : QString("%1 selections will be added.").arg(spans_.size()));
    }
    btnGenerateAdd->setEnabled(!busy && !spans_.empty());
}

void GenerateDialog::addClicked() {
    if (analysing() || spans_.empty()) return;
    made_ = makeSelections(spans_, source_.sourceKind);
    accept();
}

void GenerateDialog::cancelClicked() {
    if (analysing()) {
        // The first Cancel stops the decode; the dialog stays for other modes.
        job_.cancel();
        job_.wait();
        poll();
        return;
    }
    reject();
}

SelectionList GenerateDialog::takeSelections() { return std::move(made_); }

} // namespace stillora

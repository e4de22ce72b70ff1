#pragma once
// The compression dialog of AVI movies: the codecs this build can write,
// with quality, key frame interval and data rate where the codec uses them.
// Shown through AviCompressionDialogs(), which tests replace with scripted
// answers. Called on the user-interface thread.

#include "export/avi/AviCompressor.h"

#include <QDialog>

#include <deque>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;

namespace stillora {

class TAviCompressionDialog : public QDialog {
    Q_OBJECT
public:
    // Shows the codecs with the one of `options.Handler` selected (the
    // first one when it is not available).
    explicit TAviCompressionDialog(const AVIOptions& options, QWidget* parent = nullptr);

    // Writes the choices into `options`: Handler, Quality, KeyFrameEvery,
    // BytesPerSecond and the key frame and data rate flags.
    void apply(AVIOptions& options) const;

    QComboBox* cbCompressor;
    QSlider* tbQuality;
    QLabel* lblQuality;
    QCheckBox* cbKeyFrames;
    QSpinBox* spinKeyFrames;
    QCheckBox* cbDataRate;
    QSpinBox* spinDataRate; // KB per second

private:
    void compressorChange();

    std::vector<AviCodecInfo> codecs_;
};

class AviCompressionChooser {
public:
    virtual ~AviCompressionChooser() = default;
    // Shows the dialog for `options`; true with the options updated when
    // confirmed, false when cancelled.
    virtual bool choose(AVIOptions& options, QWidget* parent) = 0;
};

// The chooser the window uses: the real dialog unless replaced.
AviCompressionChooser& AviCompressionDialogs();
// Replaces it (tests); nullptr goes back to the real dialog.
void SetAviCompressionDialogs(std::unique_ptr<AviCompressionChooser> chooser);

// Scripted answers for tests.
class ScriptedAviCompression : public AviCompressionChooser {
public:
    struct Answer {
        bool confirm = true;
        QString handler;  // empty: keep the proposed codec
        int quality = -1; // -1: keep
    };
    // Used in order; when none is left the dialog is confirmed unchanged.
    std::deque<Answer> answers;
    // The options each dialog was shown with.
    std::vector<AVIOptions> shown;

    bool choose(AVIOptions& options, QWidget* parent) override;
};

} // namespace stillora

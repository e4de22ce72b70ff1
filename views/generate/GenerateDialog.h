#pragma once
// "Generate selections…": a small dialog that offers the generators (every N
// frames, every S seconds, one per scene, the sharpest frame of each
// stretch), shows how many selections the settings would add, and adds them.
// The decisions are the analysis library's; the dialog only asks and shows.
// A mode that needs the video decoded runs the decode on a worker thread
// (ProfileJob) while the dialog shows its progress; Cancel stops it.
//
// Threads: every member is called on the user-interface thread.

#include "analysis/Generators.h"

#include <QDialog>
#include <QTimer>

#include <memory>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace stillora {

class GenerateDialog : public QDialog {
    Q_OBJECT
public:
    struct Source {
        QString path;          // the video file (decoded for scenes and sharpness)
        int sourceKind = 1;    // what the selections are marked as
        int64_t frameCount = 0;
        std::vector<double> times; // every frame's time, for every S seconds
        int64_t markIn = 0, markOut = 0;
        bool canDecode = true; // false: scenes and sharpness are not offered
    };

    explicit GenerateDialog(Source source, QWidget* parent = nullptr);
    ~GenerateDialog() override;

    // The selections the current settings give (empty while a decode runs).
    int pendingCount() const { return static_cast<int>(spans_.size()); }
    // True from the start of a decode until the dialog has taken its result.
    bool analysing() const;
    // After Add: the selections to append, in order; the dialog keeps none.
    SelectionList takeSelections();
    GenerateSettings settings() const;
    FrameSpan range() const;

private:
    void settingsChanged();
    void poll();
    void addClicked();
    void cancelClicked();
    void showCount();

    Source source_;
    ProfileJob job_;
    VideoProfile profile_;
    bool waiting_ = false; // a decode was started and its result not yet taken
    bool haveProfile_ = false;
    FrameSpan profiled_{0, -1};
    bool profiledSharpness_ = false;
    std::vector<FrameSpan> spans_;
    SelectionList made_;
    QTimer timer_;

    QComboBox* cbGenerateMode = nullptr;
    QSpinBox* spinGenerateFrames = nullptr;
    QDoubleSpinBox* spinGenerateSeconds = nullptr;
    QSpinBox* spinSensitivity = nullptr;
    QComboBox* cbSceneStill = nullptr;
    QRadioButton* rbWholeVideo = nullptr;
    QRadioButton* rbBetweenMarks = nullptr;
    QLabel* lblGenerateCount = nullptr;
    QProgressBar* pbGenerate = nullptr;
    QPushButton* btnGenerateAdd = nullptr;
    QPushButton* btnGenerateCancel = nullptr;
};

} // namespace stillora

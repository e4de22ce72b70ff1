#pragma once
// The program's own pictures, drawn at run time: tool bar and tree icons,
// the logo shown in the idle video window, and the Start page animation.

#include <QIcon>
#include <QImage>
#include <QTimer>
#include <QWidget>

namespace stillora::art {

enum class Glyph {
    MarkIn, MarkOut, AddSelection, AddFrame, Play, Pause, Stop, CaptureSettings,
    New, Load, Save, Delete, Timeline, Render, Collapse, Stretch,
    Camera, Film, Globe, Disc, Info,
    IntervalRoot, FrameRoot, InPoint, OutPoint, FrameCount, Chain,
};

QIcon icon(Glyph glyph, int size = 16);
// The logo drawn into the video window while no video is shown.
QImage logo(QSize size = QSize(384, 288));

// A looping animation: a strip of film running past a lens, a frame
// lighting up as it is caught.
class Animation : public QWidget {
    Q_OBJECT
public:
    explicit Animation(QWidget* parent = nullptr);
    void start();
    void stop();
    void rewind();
    bool isRunning() const { return timer_.isActive(); }
    int frame() const { return frame_; }
    QSize sizeHint() const override { return QSize(160, 160); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QTimer timer_;
    int frame_ = 0;
};

} // namespace stillora::art

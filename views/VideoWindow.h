#pragma once
// The video window: paints the source's current frame scaled to fit with its
// aspect kept, or the logo while no video is shown.

#include <QImage>
#include <QWidget>

#include <functional>

namespace stillora {

class TVideoWindow : public QWidget {
    Q_OBJECT
public:
    explicit TVideoWindow(QWidget* parent = nullptr);

    void setLogo(const QImage& logo);
    // Where frames come from: called on the user-interface thread to fetch
    // the newest frame (false: nothing to show).
    void setFrameSource(std::function<bool(QImage&)> source) { source_ = std::move(source); }
    // Fetches and shows the newest frame; safe to call from any thread.
    void frameArrived();
    // Drops the frame shown; the logo shows again.
    void clearFrame();
    bool showsVideo() const { return !frame_.isNull(); }
    const QImage& shownFrame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent*) override;

private slots:
    void refresh();

private:
    QImage logo_;
    QImage frame_;
    std::function<bool(QImage&)> source_;
    bool refreshPending_ = false;
};

} // namespace stillora

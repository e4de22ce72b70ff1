#pragma once
// A live broadcast for tests: the ffmpeg command line sends a clip on and on,
// at its own pace, as MPEG-TS over UDP to 127.0.0.1. Ends with the object.

#include <QProcess>
#include <QString>

namespace stillora::test {

class UdpBroadcast {
public:
    UdpBroadcast(const QString& clip, int port) {
        process_.start("ffmpeg", {"-nostdin", "-v", "error", "-re", "-stream_loop", "-1", "-i",
                                  clip, "-c", "copy", "-f", "mpegts",
                                  QString("udp://127.0.0.1:%1?pkt_size=1316").arg(port)});
        started_ = process_.waitForStarted();
    }
    ~UdpBroadcast() {
        process_.kill();
        process_.waitForFinished();
    }
    UdpBroadcast(const UdpBroadcast&) = delete;
    UdpBroadcast& operator=(const UdpBroadcast&) = delete;
    bool started() const { return started_; }
    // The options a clip for broadcasting is encoded with: short GOPs, so
    // that a receiver that joins late soon has a picture.
    static QStringList clipEncode() {
        return {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p",
                "-g",   "10",      "-bf",     "0",        "-f",       "mpegts"};
    }

private:
    QProcess process_;
    bool started_ = false;
};

} // namespace stillora::test

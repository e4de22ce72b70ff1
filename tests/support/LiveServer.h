#pragma once
// Live streams for tests, sent by the ffmpeg command line on 127.0.0.1 at
// their own pace, the clip over and over: a UDP broadcast, or a server the
// receiver connects to (RTMP, SRT listener). Ends with the object.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QThread>

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstring>

namespace stillora::test {

class LiveServer {
public:
    enum class Protocol { Rtmp, Srt };

    // Serves `clip` (H.264 in MPEG-TS, see UdpBroadcast::clipEncode) on `port`.
    LiveServer(Protocol protocol, const QString& clip, int port) : protocol_(protocol), port_(port) {
        QStringList args{"-nostdin", "-v", "error", "-re", "-stream_loop", "-1", "-i", clip, "-c", "copy"};
        if (protocol == Protocol::Rtmp)
            args << "-f" << "flv" << "-listen" << "1" << url();
        else
            args << "-f" << "mpegts" << url() + "?mode=listener&pkt_size=1316";
        process_.start("ffmpeg", args);
        started_ = process_.waitForStarted() && waitListening();
    }
    ~LiveServer() {
        process_.kill();
        process_.waitForFinished();
    }
    LiveServer(const LiveServer&) = delete;
    LiveServer& operator=(const LiveServer&) = delete;

    // True once the server waits for its receiver.
    bool started() const { return started_; }
    QString url() const {
        return protocol_ == Protocol::Rtmp ? QString("rtmp://127.0.0.1:%1/live/test").arg(port_)
                                           : QString("srt://127.0.0.1:%1").arg(port_);
    }
    // What the server said on its error output, for a failure message.
    QString said() { return QString::fromLocal8Bit(process_.readAllStandardError()); }

    // Empty when both this libavformat (to receive) and the ffmpeg command
    // line (to send) speak `protocol`; otherwise why the test cannot run.
    static QString unavailable(Protocol protocol) {
        const char* name = protocol == Protocol::Rtmp ? "rtmp" : "srt";
        bool readable = false;
        void* opaque = nullptr;
        while (const char* p = avio_enum_protocols(&opaque, 0))
            readable = readable || std::strcmp(p, name) == 0;
        if (!readable) return QString("this libavformat cannot read %1").arg(name);
        QProcess probe;
        probe.start("ffmpeg", {"-hide_banner", "-protocols"});
        if (!probe.waitForFinished(20000)) return "the ffmpeg command line does not run";
        const QString listed = QString::fromLocal8Bit(probe.readAllStandardOutput());
        const int output = listed.indexOf("Output:");
        if (output < 0 || !listed.mid(output).split(QRegularExpression("\\s+")).contains(name))
            return QString("the ffmpeg command line cannot send %1").arg(name);
        return {};
    }

private:
    // Waits (up to 10 s) until the sender has bound its port: a TCP socket
    // listening for RTMP, a UDP socket for SRT.
    bool waitListening() {
        const QString table = protocol_ == Protocol::Rtmp ? "/proc/net/tcp" : "/proc/net/udp";
        const QString local = QString(":%1 ").arg(port_, 4, 16, QChar('0')).toUpper();
        for (int i = 0; i < 200; ++i) {
            QFile file(table);
            if (file.open(QIODevice::ReadOnly)) {
                for (const QByteArray& line : file.readAll().split('\n')) {
                    const QList<QByteArray> fields = line.simplified().split(' ');
                    // local address, then remote address, then the state (0A: listening).
                    if (fields.size() > 3 && (fields[1] + ' ').endsWith(local.toLatin1()) &&
                        (protocol_ == Protocol::Srt || fields[3] == "0A"))
                        return true;
                }
            }
            if (process_.state() == QProcess::NotRunning) return false;
            QThread::msleep(50);
        }
        return false;
    }

    Protocol protocol_;
    int port_;
    QProcess process_;
    bool started_ = false;
};

} // namespace stillora::test

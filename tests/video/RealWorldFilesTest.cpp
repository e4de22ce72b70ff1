// Files as they come from recorders, phones and archives: cut mid-GOP, AVI
// with B-frames, stream-copied cuts, damaged data. Every frame must be the one a plain
// sequential decode by the ffmpeg command line yields, and the count what
// that decode yields.
#include "Clips.h"
#include "support/ClipMaker.h"

#include "video/FfmpegMediaSource.h"
#include "video/FrameIndex.h"
#include "video/InputReader.h"
#include "video/MediaInfo.h"
#include "video/MediaLog.h"
#include "video/ScriptedMediaSource.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <random>

#include <fcntl.h>
#include <unistd.h>

namespace stillora {
namespace {

const QSize kSize(320, 240);
const QStringList kX264{"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"};

int64_t shownNumber(MediaSource& source) {
    QImage image;
    if (!source.grab(image)) return -2;
    return ScriptedMediaSource::readNumber(image);
}

// The pictures of a sequential decode of `path` by the command line, which
// turns them upright as players do; `size` is the size they come out at.
std::vector<QImage> decodedPictures(const QString& path, QSize size = kSize) {
    QProcess process;
    process.start("ffmpeg", {"-nostdin", "-v", "quiet", "-i", path, "-map", "0:v:0", "-fps_mode",
                             "passthrough", "-f", "rawvideo", "-pix_fmt", "bgra", "-s",
                             QString("%1x%2").arg(size.width()).arg(size.height()), "-"});
    process.waitForFinished(60000);
    const QByteArray data = process.readAllStandardOutput();
    const int frameBytes = size.width() * size.height() * 4;
    std::vector<QImage> pictures;
    for (int at = 0; at + frameBytes <= data.size(); at += frameBytes)
        pictures.push_back(QImage(reinterpret_cast<const uchar*>(data.constData() + at),
                                  size.width(), size.height(), QImage::Format_RGB32)
                               .copy());
    return pictures;
}

// The numbers in the pictures of a sequential decode of `path`.
std::vector<int64_t> decodedNumbers(const QString& path) {
    std::vector<int64_t> numbers;
    for (const QImage& picture : decodedPictures(path))
        numbers.push_back(ScriptedMediaSource::readNumber(picture));
    return numbers;
}

// Mean difference of the grey levels of two pictures of one size.
double meanGreyDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
    return sum / (double(a.width()) * a.height());
}

// A numbered frame with film grain over it, so that frames cost as much as
// in a real recording and a few kilobytes of damage hit only a few of them.
QImage grainyFrame(int n, QSize size) {
    QImage image = ScriptedMediaSource::makeFrame(n, size);
    std::mt19937 grain(n);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int d = int(grain() % 41) - 20;
            const QRgb p = row[x];
            row[x] = qRgb(std::clamp(qRed(p) + d, 0, 255), std::clamp(qGreen(p) + d, 0, 255),
                          std::clamp(qBlue(p) + d, 0, 255));
        }
    }
    return image;
}

QString makeNumberedClip(const QString& name, int frames, const QStringList& encode,
                         bool grainy = false) {
    const QString path = test::scratchFile(name);
    QString why;
    EXPECT_TRUE(test::makeClip(path, frames, encode, &why, kSize,
                               grainy ? grainyFrame : std::function<QImage(int, QSize)>()))
        << why.toStdString();
    return path;
}

// Keeps the bytes of `from` after the first `fraction` of it, at a multiple of `unit`.
QString cutFront(const QString& from, const QString& name, double fraction, int unit) {
    QFile in(from);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray data = in.readAll();
    const qsizetype at = qsizetype(data.size() * fraction) / unit * unit;
    QFile out(test::scratchFile(name));
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(data.mid(at));
    return out.fileName();
}

// Overwrites `bytes` bytes of a copy of `from` at `fraction` of its length
// with noise, as a scratched disc or a broken download leaves a file.
QString damageCopy(const QString& from, const QString& name, double fraction, int bytes,
                   unsigned seed) {
    const QString path = test::scratchFile(name);
    QFile::remove(path);
    EXPECT_TRUE(QFile::copy(from, path));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadWrite));
    std::mt19937 random(seed);
    QByteArray noise(bytes, 0);
    for (char& c : noise)
        c = char(random());
    file.seek(qint64(file.size() * fraction));
    file.write(noise);
    return path;
}

// A frame the sequential decode shows broken: unreadable, or out of step
// with its neighbours.
bool brokenInDecode(const std::vector<int64_t>& reference, int64_t frame) {
    const int64_t n = reference[frame];
    return n < 0 || (frame > 0 && reference[frame - 1] != n - 1) ||
           (frame + 1 < int64_t(reference.size()) && reference[frame + 1] != n + 1);
}

// Opens `path` and checks the count and sampled frames (the ends, random ones,
// a forward run and `more`) against the command line's sequential decode.
// With `damaged`, a frame may be refused as damaged where that decode shows
// it broken.
void expectSequentialFrames(const QString& path, const std::string& what,
                            const std::vector<int64_t>& more = {}, bool damaged = false) {
    SCOPED_TRACE(what);
    const std::vector<int64_t> reference = decodedNumbers(path);
    ASSERT_GT(reference.size(), 20u);
    FfmpegMediaSource source;
    std::string error;
    ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &error)) << error;
    ASSERT_EQ(source.frameCount(), int64_t(reference.size()));
    EXPECT_EQ(shownNumber(source), reference[0]) << "frame 0 right after the open";

    const int64_t count = source.frameCount();
    std::vector<int64_t> order{count - 1, 0, 1, count / 2};
    std::mt19937 random(31);
    for (int i = 0; i < 30; ++i)
        order.push_back(random() % count);
    for (int64_t frame = count / 3; frame < count / 3 + 12; ++frame)
        order.push_back(frame);
    order.insert(order.end(), more.begin(), more.end());
    for (int64_t frame : order) {
        if (!source.seek(frame, &error)) {
            ASSERT_TRUE(damaged && brokenInDecode(reference, frame))
                << "frame " << frame << ": " << error;
            EXPECT_NE(error.find("damaged"), std::string::npos) << error;
            continue;
        }
        EXPECT_EQ(shownNumber(source), reference[frame]) << "frame " << frame;
    }
}

TEST(CutRecordings, StreamsCutMidGopNumberTheFramesASequentialDecodeYields) {
    // Transport streams cut at a packet boundary: the first GOP lost its key frame.
    const QString h264 = makeNumberedClip(
        "h264.ts", 200, kX264 + QStringList{"-bf", "3", "-g", "50", "-f", "mpegts"});
    expectSequentialFrames(cutFront(h264, "h264-cut.ts", 0.37, 188), "H.264 TS cut mid-GOP");
    const QString hevc =
        makeNumberedClip("hevc.ts", 160,
                         {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
                          "log-level=error:bframes=3:keyint=40:open-gop=1", "-f", "mpegts"});
    expectSequentialFrames(cutFront(hevc, "hevc-cut.ts", 0.41, 188), "HEVC TS cut mid-GOP");

    // A DVD-style program stream cut at a sector boundary.
    const QString vob = makeNumberedClip(
        "mpeg2.vob", 200, {"-c:v", "mpeg2video", "-bf", "2", "-g", "15", "-q:v", "4", "-f", "vob"});
    expectSequentialFrames(cutFront(vob, "mpeg2-cut.vob", 0.33, 2048), "VOB cut mid-GOP");
}

TEST(CutRecordings, AStreamCopiedHevcCutDropsItsLeadingFrames) {
    const QString hevc =
        makeNumberedClip("hevc-open.mkv", 200,
                         {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
                          "log-level=error:bframes=4:keyint=48:open-gop=1"});
    for (const char* name : {"hevc-copy.mp4", "hevc-copy.mkv"}) {
        const QString cut = test::scratchFile(name);
        ASSERT_TRUE(test::runFfmpeg({"-ss", "2.3", "-i", hevc, "-c", "copy", cut}));
        expectSequentialFrames(cut, name);
    }
}

TEST(PackedAvi, KeyFramesWithoutTimesAreFoundSoSeeksStartAtTheNearestOne) {
    for (int bframes : {2, 0}) {
        SCOPED_TRACE(bframes);
        const QString path = makeNumberedClip(QString("mpeg4-bf%1.avi").arg(bframes), 250,
                                              {"-c:v", "mpeg4", "-vtag", "DX50", "-bf",
                                               QString::number(bframes), "-g", "25", "-q:v", "4"});
        // Around key frames, and forward in steps that pass over B-frames
        // the decoder leaves out and reference frames numbered by counting.
        std::vector<int64_t> more = {101, 99, 98, 100, 74, 76, 77, 79, 82, 88, 95, 96, 97};
        for (int64_t frame = 150; frame < 175; frame += 2)
            more.push_back(frame);
        expectSequentialFrames(path, "MPEG-4 Part 2 AVI", more);

        // A seek far back or far ahead goes to the key frame before the
        // target, not the start of the file: at most a GOP is decoded.
        FfmpegMediaSource source;
        std::string error;
        ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &error)) << error;
        // So do frames just before a key frame, whose own key frame's decode
        // time lies a frame or two before their number's.
        for (int64_t frame : {240, 30, 205, 110, 49, 174, 48, 124, 75, 223}) {
            const int64_t seeksBefore = source.demuxerSeeks();
            const int64_t decodedBefore = source.decodedFrames();
            ASSERT_TRUE(source.seek(frame, &error)) << error;
            EXPECT_EQ(shownNumber(source), frame);
            EXPECT_EQ(source.demuxerSeeks() - seeksBefore, 1) << "frame " << frame;
            // The B-frames before the frame sought are not decoded: from the
            // key frame, the reference frames, the frame and the one after.
            const int64_t distance = frame % 25;
            const int64_t decoded = source.decodedFrames() - decodedBefore;
            if (bframes > 0)
                EXPECT_LE(decoded, distance / 2 + 3) << "frame " << frame;
            else
                EXPECT_LE(decoded, distance + 2) << "frame " << frame;
        }
    }
}

TEST(Rotation, PhoneVideosComeOutUprightWithTheTurnedSizeAndTheBoxSaysSo) {
    const QString plain = makeNumberedClip("upright.mp4", 30, kX264);
    // The container's tag turns the picture counter-clockwise by its angle.
    for (int tag : {90, 180, 270}) {
        SCOPED_TRACE(tag);
        const int clockwise = (360 - tag) % 360;
        const QString path = test::scratchFile(QString("turned%1.mp4").arg(tag));
        ASSERT_TRUE(test::runFfmpeg(
            {"-i", plain, "-c", "copy", "-metadata:s:v:0", QString("rotate=%1").arg(tag), path}));
        const QSize upright = tag == 180 ? kSize : kSize.transposed();
        const std::vector<QImage> reference = decodedPictures(path, upright);
        ASSERT_EQ(reference.size(), 30u);

        FfmpegMediaSource source;
        std::string error;
        ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &error)) << error;
        EXPECT_EQ(source.frameSize(), upright);
        for (int64_t frame : {0, 17, 29, 3}) {
            ASSERT_TRUE(source.seek(frame, &error)) << error;
            QImage still;
            ASSERT_TRUE(source.grab(still));
            ASSERT_EQ(still.size(), upright);
            EXPECT_LT(meanGreyDifference(still, reference[frame]), 6.0) << "frame " << frame;
            // Turned back, the still is the numbered picture that was encoded.
            const QImage back = still.transformed(QTransform().rotate(-clockwise));
            EXPECT_EQ(ScriptedMediaSource::readNumber(back), frame);
        }
        // The stored size stays in the line; the turn follows the codec.
        const QString info = mediaInfo(path);
        EXPECT_TRUE(info.contains("Video format: 320 x 240, ")) << info.toStdString();
        EXPECT_TRUE(info.contains(QString("(MPEG-4 AVC), shown turned %1\u00B0 clockwise\r\n")
                                      .arg(clockwise)))
            << info.toStdString();
    }
    EXPECT_FALSE(mediaInfo(plain).contains("turned"));
}

// A file read as from a slow disk: each read waits a little.
class SlowFile : public InputReader {
public:
    explicit SlowFile(const QString& path) : file_(path) { file_.open(QIODevice::ReadOnly); }
    int read(uint8_t* buffer, int size) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        return int(file_.read(reinterpret_cast<char*>(buffer), std::min(size, 16 * 1024)));
    }
    bool seek(int64_t position) override { return file_.seek(position); }
    int64_t position() const override { return file_.pos(); }
    int64_t size() const override { return file_.size(); }

private:
    QFile file_;
};

TEST(LongFiles, IndexingReportsHowFarItGotAndCanBeCancelled) {
    const QString path = makeNumberedClip("long.mkv", 250, kX264 + QStringList{"-g", "25"}, true);
    FfmpegMediaSource plain;
    std::string error;
    ASSERT_TRUE(plain.open(SourceKind::File, path.toStdString(), &error)) << error;

    FfmpegMediaSource source;
    std::vector<int> shares;
    const auto caller = std::this_thread::get_id();
    bool onCaller = true;
    source.setOpenProgress([&](int percent) {
        onCaller = onCaller && std::this_thread::get_id() == caller;
        shares.push_back(percent);
        return true;
    });
    ASSERT_TRUE(source.openReader(SourceKind::File, std::make_shared<SlowFile>(path),
                                  path.toStdString(), nullptr, &error))
        << error;
    EXPECT_EQ(source.frameCount(), plain.frameCount());
    ASSERT_GE(shares.size(), 3u);
    EXPECT_TRUE(onCaller);
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_GE(shares.front(), 0);
    EXPECT_LE(shares.back(), 99);
    EXPECT_GT(shares.back(), shares.front());
    ASSERT_TRUE(source.seek(200, &error)) << error;
    EXPECT_EQ(shownNumber(source), 200);

    // Cancelled at the first report: the open fails at once, and the object
    // opens the next file as usual.
    int reports = 0;
    source.setOpenProgress([&](int) { return ++reports > 1; });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(source.openReader(SourceKind::File, std::make_shared<SlowFile>(path),
                                   path.toStdString(), nullptr, &error));
    EXPECT_EQ(error, "Opening was cancelled.");
    EXPECT_FALSE(source.isOpen());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));

    // Closed from its own progress handler, as a window closing meanwhile
    // does: the open stops as if cancelled and the source stays closed.
    reports = 0;
    source.setOpenProgress([&](int) {
        if (++reports == 2) source.close();
        return true;
    });
    EXPECT_FALSE(source.openReader(SourceKind::File, std::make_shared<SlowFile>(path),
                                   path.toStdString(), nullptr, &error));
    EXPECT_EQ(error, "Opening was cancelled.");
    EXPECT_EQ(reports, 2);
    EXPECT_FALSE(source.isOpen());
    EXPECT_EQ(source.frameCount(), 0);

    source.setOpenProgress(nullptr);
    ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &error)) << error;
    EXPECT_EQ(source.frameCount(), plain.frameCount());
}

double meanGrey(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qGray(image.pixel(x, y));
    return sum / (double(image.width()) * image.height());
}

TEST(Hdr, PqStillsAreToneMappedLikeTheReferenceAndTheBoxSaysHdr) {
    // A 10-bit PQ HEVC clip tagged BT.2020.
    const QString path = test::scratchFile("pq.mkv");
    ASSERT_TRUE(test::runFfmpeg(
        {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-frames:v", "10", "-pix_fmt",
         "yuv420p10le", "-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
         "log-level=error:colorprim=bt2020:transfer=smpte2084:colormatrix=bt2020nc",
         "-color_primaries", "bt2020", "-color_trc", "smpte2084", "-colorspace", "bt2020nc", path}));
    // The reference: the same tone mapping by the command line.
    QProcess process;
    process.start("ffmpeg",
                  {"-nostdin", "-v", "quiet", "-i", path, "-vf",
                   "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=hable:desat=0,"
                   "zscale=t=bt709:m=bt709:r=tv,format=yuv420p,"
                   "scale=out_color_matrix=bt709:out_range=pc,format=bgra",
                   "-frames:v", "1", "-f", "rawvideo", "-"});
    process.waitForFinished(60000);
    const QByteArray data = process.readAllStandardOutput();
    ASSERT_EQ(data.size(), 320 * 240 * 4);
    const QImage reference(reinterpret_cast<const uchar*>(data.constData()), 320, 240,
                           QImage::Format_RGB32);

    FfmpegMediaSource source;
    std::string error;
    ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &error)) << error;
    QImage still;
    ASSERT_TRUE(source.grab(still));
    ASSERT_EQ(still.size(), QSize(320, 240));
    // Within 3 grey levels of the reference on average, pixel by pixel.
    EXPECT_LT(meanGreyDifference(still, reference), 3.0);
    EXPECT_NEAR(meanGrey(still), meanGrey(reference), 3.0);

    const QString info = mediaInfo(path);
    EXPECT_TRUE(info.contains(", HDR (PQ), shown tone-mapped\r\n")) << info.toStdString();
    EXPECT_FALSE(mediaInfo(makeNumberedClip("sdr.mp4", 5, kX264)).contains("HDR"));
}

TEST(DamagedFiles, ADamagedStretchShiftsTheFramesAfterItAndItsOwnAreKnown) {
    // 100 frames of 10 units, key frames every 20; container frames 40..44
    // came out of the decode as 2 frames.
    FrameIndex index(10);
    for (int i = 0; i < 100; ++i)
        index.addPacket(i * 10, i * 10, i % 20 == 0, i * 1000);
    index.finish();
    index.anchor(0);
    index.addDamage(40, 5, 2);
    EXPECT_EQ(index.count(), 97);
    EXPECT_EQ(index.numberOf(390), 39);
    EXPECT_EQ(index.numberOf(420), -1);
    EXPECT_EQ(index.numberOf(450), 42);
    EXPECT_EQ(index.numberOf(990), 96);
    EXPECT_FALSE(index.isDamaged(39));
    EXPECT_TRUE(index.isDamaged(40));
    EXPECT_TRUE(index.isDamaged(41));
    EXPECT_FALSE(index.isDamaged(42));
    EXPECT_EQ(index.seekTimestamp(42), 450);
    EXPECT_EQ(index.seekTimestamp(41), 400) << "a damaged frame is sought from its stretch";
    // Key frames: 60 (container) is now 57; one inside a stretch is none.
    EXPECT_TRUE(index.isKeyFrame(57));
    EXPECT_FALSE(index.isKeyFrame(60));
    EXPECT_EQ(index.keyFrameAt(60000), 57);
    EXPECT_EQ(index.containerKeyFrameBefore(60), 40);
    index.addDamage(60, 0, 3); // three frames the container never listed
    EXPECT_EQ(index.count(), 100);
    EXPECT_EQ(index.numberOf(600), 60);
    EXPECT_TRUE(index.isDamaged(59));
    EXPECT_FALSE(index.isKeyFrame(57)) << "frame 57 is now a damaged one";
    EXPECT_TRUE(index.isKeyFrame(60));
}

// Runs `work` with standard error going to a file; returns what it wrote.
QByteArray standardErrorOf(const std::function<void()>& work) {
    const QString path = test::scratchFile("stderr.txt");
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int file = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, STDERR_FILENO);
    ::close(file);
    work();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    ::close(saved);
    QFile written(path);
    written.open(QIODevice::ReadOnly);
    return written.readAll();
}

TEST(DamagedFiles, TheLibrariesLogNothingByThemselvesAndTheNoticeNamesTheDamage) {
    const QString clip = makeNumberedClip("grain-log.mp4", 250, kX264 + QStringList{"-g", "50"}, true);
    const QString path = damageCopy(clip, "damaged-log.mp4", 0.45, 20 * 1024, 7);
    FfmpegMediaSource source;
    std::string error, notice;
    int64_t refused = -1;
    const QByteArray written = standardErrorOf([&] {
        ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &error)) << error;
        notice = source.notice();
        for (int64_t frame = 90; frame < 140; ++frame)
            if (!source.seek(frame, &error) && refused < 0) refused = frame;
    });
    EXPECT_EQ(written, QByteArray());
    ASSERT_GE(refused, 0) << "the damage spoils no frame";
    EXPECT_EQ(notice.rfind("The video is damaged: frame", 0), 0u) << notice;
    EXPECT_NE(notice.find(" " + std::to_string(refused)), std::string::npos) << notice;

    // A sink hears the decoder's own complaints.
    std::vector<std::string> lines;
    std::mutex lock;
    setMediaLogSink(
        [&](const std::string& line) {
            std::lock_guard<std::mutex> guard(lock);
            lines.push_back(line);
        },
        MediaLogLevel::Warnings);
    ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &error)) << error;
    setMediaLogSink(nullptr, MediaLogLevel::Warnings);
    EXPECT_FALSE(lines.empty());

    FfmpegMediaSource intact;
    ASSERT_TRUE(intact.open(SourceKind::File, clip.toStdString(), &error)) << error;
    EXPECT_EQ(intact.notice(), "");
}

TEST(DamagedFiles, FramesAfterOverwrittenBytesKeepTheNumbersASequentialDecodeGives) {
    struct Kind {
        const char* name;
        QStringList encode;
    };
    const std::vector<Kind> kinds = {
        {"grain.mp4", kX264 + QStringList{"-bf", "3", "-g", "50"}},
        {"grain.ts", kX264 + QStringList{"-bf", "3", "-g", "50", "-f", "mpegts"}},
        {"grain.avi", {"-c:v", "mpeg4", "-vtag", "DX50", "-bf", "2", "-g", "25", "-q:v", "4"}},
        {"grain.vob", {"-c:v", "mpeg2video", "-bf", "2", "-g", "15", "-q:v", "4", "-f", "vob"}},
    };
    for (const Kind& kind : kinds) {
        const QString clip = makeNumberedClip(kind.name, 250, kind.encode, true);
        // Every frame around the damage, both ways, after the random ones.
        std::vector<int64_t> around;
        for (int64_t frame = 95; frame < 140; ++frame)
            around.push_back(frame);
        for (int64_t frame = 139; frame >= 95; frame -= 3)
            around.push_back(frame);
        const QString damaged =
            damageCopy(clip, QString("damaged-") + kind.name, 0.45, 20 * 1024, 7);
        expectSequentialFrames(damaged, std::string("20 KB overwritten in ") + kind.name, around,
                               true);
    }
}

} // namespace
} // namespace stillora

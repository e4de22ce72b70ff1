// The AVI writer object and its file: header values, frame order and rows,
// indexes, OpenDML parts, every codec read back by ffprobe and ffmpeg.

#include "AviProbe.h"
#include "AviReader.h"

#include "export/avi/AviCompressor.h"
#include "support/TestDirs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace stillora {
namespace {

using test::AviStructure;
using test::ReadAvi;

AVIOptions rawOptions(QSize size, uint32_t rate) {
    AVIOptions o;
    SetDefaultAVIOptions(o);
    o.Width = size.width();
    o.Height = size.height();
    o.Rate = rate;
    o.Compress = false;
    o.ShowDialog = false;
    return o;
}

// Opens `path` with the codec `handler` (chosen in a scripted dialog) and
// writes `frames` test frames of `size`; the frame at `oddFrame` is given at
// another size. Returns Open's result.
int writeMovie(const QString& path, const QString& handler, QSize size, int frames,
               int oddFrame = -1, uint32_t rate = 5) {
    TAVICompressor avi;
    avi.setCompressionDialog([&](AVIOptions& o) {
        o.Handler = handler;
        return true;
    });
    AVIOptions o;
    SetDefaultAVIOptions(o);
    o.Width = size.width();
    o.Height = size.height();
    o.Rate = rate;
    const int rc = avi.Open(path, o);
    if (rc != AviOk) return rc;
    for (int n = 0; n < frames; ++n)
        avi.AddFrame(test::TestFrame(n, n == oddFrame ? size * 2 + QSize(6, 2) : size));
    return avi.Close();
}

TEST(AviMovie, UncompressedMovieCarriesTheTabulatedHeaderValuesAndBottomUpRows) {
    AVIOptions defaults;
    SetDefaultAVIOptions(defaults);
    EXPECT_EQ(defaults.Handler, "CVID");
    EXPECT_EQ(defaults.Quality, 5000u);
    EXPECT_EQ(defaults.Rate, 18u);
    EXPECT_EQ(defaults.KeyFrameEvery, 18u);
    EXPECT_EQ(defaults.BytesPerSecond, 153600u);
    EXPECT_EQ(defaults.Flags, 6u);
    EXPECT_TRUE(defaults.Compress && defaults.ShowDialog);
    EXPECT_EQ(defaults.Width, 0);
    EXPECT_TRUE(defaults.Name.isEmpty());

    test::ScratchDir dir;
    const QString path = dir.file("raw.avi");
    const QSize size(320, 240);
    TAVICompressor avi;
    AVIOptions o = rawOptions(size, 7);
    o.Name = "Holiday";
    ASSERT_EQ(avi.Open(path, o), AviOk);
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ(avi.AddFrame(test::TestFrame(n, size)), AviOk);
    EXPECT_EQ(avi.FrameCounter(), 5);
    ASSERT_EQ(avi.Close(), AviOk);

    const AviStructure s = ReadAvi(path);
    ASSERT_TRUE(s.ok) << s.error.toStdString();
    ASSERT_EQ(s.riffTypes, std::vector<QString>{"AVI "});
    EXPECT_EQ(AviStructure::u32(s.avih, 0), 1000000u / 7);
    EXPECT_EQ(AviStructure::u32(s.avih, 16), 5u); // total frames
    EXPECT_EQ(AviStructure::u32(s.avih, 24), 1u); // streams
    EXPECT_EQ(AviStructure::u32(s.avih, 32), 320u);
    EXPECT_EQ(AviStructure::u32(s.avih, 36), 240u);

    ASSERT_EQ(s.strh.size(), 56);
    EXPECT_EQ(s.strh.left(4), "vids");
    EXPECT_EQ(s.strh.mid(4, 4), "CVID");          // the handler as given
    EXPECT_EQ(AviStructure::u32(s.strh, 20), 1u); // scale
    EXPECT_EQ(AviStructure::u32(s.strh, 24), 7u); // rate
    EXPECT_EQ(AviStructure::u32(s.strh, 28), 0u); // start
    EXPECT_EQ(AviStructure::u32(s.strh, 32), 5u); // length: the real frame count
    EXPECT_EQ(AviStructure::u32(s.strh, 36), 307200u);
    EXPECT_EQ(AviStructure::u32(s.strh, 40), 5000u); // quality
    EXPECT_EQ(AviStructure::u32(s.strh, 44), 0u);    // sample size
    EXPECT_EQ(AviStructure::u16(s.strh, 48), 0);
    EXPECT_EQ(AviStructure::u16(s.strh, 50), 0);
    EXPECT_EQ(AviStructure::u16(s.strh, 52), 319);
    EXPECT_EQ(AviStructure::u16(s.strh, 54), 239);
    EXPECT_EQ(s.strn, QByteArray("Holiday", 8));

    ASSERT_EQ(s.strf.size(), 40);
    EXPECT_EQ(AviStructure::u32(s.strf, 0), 40u);
    EXPECT_EQ(AviStructure::u32(s.strf, 4), 320u);
    EXPECT_EQ(AviStructure::u32(s.strf, 8), 240u); // positive: bottom-up
    EXPECT_EQ(AviStructure::u16(s.strf, 12), 1);
    EXPECT_EQ(AviStructure::u16(s.strf, 14), 32);
    EXPECT_EQ(AviStructure::u32(s.strf, 16), 0u);
    EXPECT_EQ(AviStructure::u32(s.strf, 20), 307200u);

    // Five frame chunks, indexed 0 to 4 in order, all key frames.
    ASSERT_EQ(s.movi.size(), 1u);
    ASSERT_EQ(s.movi[0].size(), 5u);
    ASSERT_EQ(s.idx1.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(s.movi[0][i].id, "00db");
        EXPECT_EQ(s.idx1[i].id, "00db");
        EXPECT_EQ(s.idx1[i].flags, 0x10u);
        EXPECT_EQ(s.moviCodes[0] + s.idx1[i].offset, s.movi[0][i].position) << i;
        EXPECT_EQ(s.idx1[i].size, 307200u);
    }

    // The first chunk's first row is the picture's bottom row; its last row
    // is the red top row.
    const QByteArray chunk = test::ReadChunkData(path, s.movi[0][0]);
    const QImage first = test::TestFrame(0, size);
    ASSERT_EQ(chunk.size(), 307200);
    EXPECT_EQ(chunk.mid(239 * 1280, 1280),
              QByteArray(reinterpret_cast<const char*>(first.constScanLine(0)), 1280));
    EXPECT_EQ(chunk.left(1280),
              QByteArray(reinterpret_cast<const char*>(first.constScanLine(239)), 1280));

    const auto probe = test::Probe(path);
    EXPECT_EQ(probe.value("error"), "");
    EXPECT_EQ(probe.value("codec_name"), "rawvideo");
    EXPECT_EQ(probe.value("nb_read_frames"), "5");
    EXPECT_EQ(probe.value("r_frame_rate"), "7/1");
    EXPECT_EQ(test::DecodeErrors(path), "");
    EXPECT_EQ(test::ColourBytes(test::DecodedFrame(path, 3)),
              test::ColourBytes(test::PixelBytes(test::TestFrame(3, size))));
}

TEST(AviMovie, OpenCloseStatesResultCodesAndObjectCount) {
    test::ScratchDir dir;
    const int before = TAVICompressor::ObjectCount();
    {
        TAVICompressor avi;
        EXPECT_EQ(TAVICompressor::ObjectCount(), before + 1);
        EXPECT_EQ(avi.Close(), AviOk) << "closing a closed object does nothing";

        // A folder that does not exist: the file cannot be made.
        AVIOptions o = rawOptions(QSize(64, 48), 5);
        EXPECT_EQ(avi.Open(dir.file("missing/movie.avi"), o), AviFileError);
        EXPECT_FALSE(avi.isOpen());
        // A frame while not open is refused with the warning.
        test::RecordingShell shell;
        EXPECT_FALSE(AddFrameFromBitmap(&avi, test::TestFrame(0, QSize(64, 48)), shell));
        EXPECT_EQ(shell.asked, QStringList{kPixelFormatNotSupported});
        EXPECT_FALSE(AddFrameFromBitmap(nullptr, test::TestFrame(0, QSize(64, 48)), shell));
        EXPECT_EQ(shell.asked.size(), 1);

        // No size: no stream; an unknown codec; nothing is left behind.
        AVIOptions empty = rawOptions(QSize(0, 0), 5);
        EXPECT_EQ(avi.Open(dir.file("a.avi"), empty), AviStreamError);
        AVIOptions unknown = rawOptions(QSize(64, 48), 5);
        unknown.Compress = true;
        unknown.ShowDialog = false;
        unknown.Handler = "XXXX";
        EXPECT_EQ(avi.Open(dir.file("a.avi"), unknown), AviCodecError);
        EXPECT_FALSE(avi.isOpen());

        // Cancelling the dialog: -1, no file; the dialog saw the proposal
        // with the "options valid" flag added.
        AVIOptions shown;
        avi.setCompressionDialog([&](AVIOptions& opts) {
            shown = opts;
            return false;
        });
        AVIOptions proposed;
        SetDefaultAVIOptions(proposed);
        proposed.Width = 64;
        proposed.Height = 48;
        EXPECT_EQ(avi.Open(dir.file("a.avi"), proposed), AviCancelled);
        EXPECT_EQ(shown.Handler, "CVID");
        EXPECT_EQ(shown.Flags, 6u | kAviFlagValid);
        EXPECT_FALSE(avi.isOpen());
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});

        // A non-interactive shell gets the warning as the run's error.
        test::RecordingShell batch;
        batch.interactiveShell = false;
        EXPECT_FALSE(AddFrameFromBitmap(&avi, test::TestFrame(0, QSize(64, 48)), batch));
        EXPECT_EQ(batch.errors, QStringList{kPixelFormatNotSupported});
    }
    EXPECT_EQ(TAVICompressor::ObjectCount(), before);
}

TEST(AviMovie, SecondMovieReplacesTheFirstOnlyWhenComplete) {
    test::ScratchDir dir;
    const QString path = dir.file("movie.avi");
    const QSize size(96, 64);
    ASSERT_EQ(writeMovie(path, "MJPG", size, 3), AviOk);
    ASSERT_EQ(test::Probe(path).value("nb_read_frames"), "3");

    TAVICompressor avi;
    AVIOptions o = rawOptions(size, 5);
    ASSERT_EQ(avi.Open(path, o), AviOk);
    for (int n = 0; n < 4; ++n)
        avi.AddFrame(test::TestFrame(n, size));
    // While the new movie is written the old one is still whole.
    EXPECT_EQ(test::Probe(path).value("nb_read_frames"), "3");
    EXPECT_EQ(test::Probe(path).value("codec_name"), "mjpeg");
    ASSERT_EQ(avi.Close(), AviOk);
    const auto probe = test::Probe(path);
    EXPECT_EQ(probe.value("nb_read_frames"), "4");
    EXPECT_EQ(probe.value("codec_name"), "rawvideo");
    // Nothing but the movie in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"movie.avi"});
}

TEST(AviMovie, EveryListedCodecGivesAMovieRealReadersDecode) {
    const std::map<QString, QString> decoder{
        {"DIB ", "rawvideo"}, {"cvid", "cinepak"}, {"MJPG", "mjpeg"}, {"FMP4", "mpeg4"},
        {"HFYU", "huffyuv"},  {"ULRG", "utvideo"}, {"FFV1", "ffv1"},  {"H264", "h264"},
    };
    const std::vector<AviCodecInfo> codecs = AvailableAviCodecs();
    QStringList listed;
    for (const AviCodecInfo& c : codecs)
        listed << c.fourcc.trimmed();
    for (const char* required : {"DIB", "cvid", "MJPG", "FMP4", "HFYU", "ULRG", "FFV1"})
        EXPECT_TRUE(listed.contains(required)) << required;
    EXPECT_EQ(codecs.front().description, "Full Frames (Uncompressed)");

    test::ScratchDir dir;
    const QSize size(160, 120);
    for (const AviCodecInfo& c : codecs) {
        SCOPED_TRACE(c.encoder.toStdString());
        const QString path = dir.file(c.encoder + ".avi");
        // Frame 2 comes at another size and is scaled to the movie's.
        ASSERT_EQ(writeMovie(path, c.fourcc, size, 6, 2), AviOk);
        const auto probe = test::Probe(path);
        EXPECT_EQ(probe.value("error"), "");
        EXPECT_EQ(probe.value("codec_name"), decoder.at(c.fourcc));
        EXPECT_EQ(probe.value("nb_read_frames"), "6");
        EXPECT_EQ(probe.value("width"), "160");
        EXPECT_EQ(probe.value("height"), "120");
        EXPECT_EQ(probe.value("r_frame_rate"), "5/1");
        EXPECT_EQ(test::DecodeErrors(path), "");

        const AviStructure s = ReadAvi(path);
        ASSERT_TRUE(s.ok) << s.error.toStdString();
        EXPECT_EQ(s.strh.mid(4, 4), c.fourcc.toLatin1());
        const bool raw = c.encoder == "uncompressed";
        EXPECT_EQ(s.strf.mid(16, 4), raw ? QByteArray(4, '\0') : c.fourcc.toLatin1());
        EXPECT_EQ(AviStructure::u32(s.strh, 32), 6u);
        EXPECT_EQ(AviStructure::u32(s.avih, 16), 6u);
        ASSERT_EQ(s.idx1.size(), 6u);
        EXPECT_EQ(s.idx1[0].flags, 0x10u) << "the first frame is a key frame";
        for (const auto& e : s.idx1)
            EXPECT_EQ(e.id, raw ? "00db" : "00dc");
        if (c.lossless) {
            EXPECT_EQ(test::ColourBytes(test::DecodedFrame(path)),
                      test::ColourBytes(test::PixelBytes(test::TestFrame(0, size))));
        }
    }
}

TEST(AviMovie, OddSizedFramesAreRefusedByCodecsThatNeedEvenSizes) {
    if (!FindAviCodec("H264")) GTEST_SKIP() << "no libx264 in this build";
    test::ScratchDir dir;
    EXPECT_EQ(writeMovie(dir.file("odd.avi"), "H264", QSize(161, 121), 1), AviCodecError);
    EXPECT_FALSE(QFileInfo::exists(dir.file("odd.avi")));
    // Full frames take any size.
    EXPECT_EQ(writeMovie(dir.file("odd.avi"), "DIB", QSize(161, 121), 2), AviOk);
    EXPECT_EQ(test::Probe(dir.file("odd.avi")).value("nb_read_frames"), "2");
}

// OpenDML structure with small parts, so every index can be read back.
TEST(AviMovie, PartsPastTheLimitContinueInAvixWithOpenDmlIndexes) {
    test::ScratchDir dir;
    const QString path = dir.file("long.avi");
    const QSize size(320, 240);
    TAVICompressor avi;
    avi.setRiffLimit(1 << 20); // three raw frames a part
    AVIOptions o = rawOptions(size, 10);
    ASSERT_EQ(avi.Open(path, o), AviOk);
    for (int n = 0; n < 10; ++n)
        avi.AddFrame(test::TestFrame(n, size));
    ASSERT_EQ(avi.Close(), AviOk);

    const AviStructure s = ReadAvi(path);
    ASSERT_TRUE(s.ok) << s.error.toStdString();
    ASSERT_EQ(s.riffTypes, (std::vector<QString>{"AVI ", "AVIX", "AVIX", "AVIX"}));
    // idx1 and avih count the frames of the first part; strh and dmlh all.
    EXPECT_EQ(s.idx1.size(), 3u);
    EXPECT_EQ(AviStructure::u32(s.avih, 16), 3u);
    EXPECT_EQ(AviStructure::u32(s.strh, 32), 10u);
    EXPECT_EQ(AviStructure::u32(s.dmlh, 0), 10u);

    ASSERT_GE(s.indx.size(), 24);
    EXPECT_EQ(AviStructure::u16(s.indx, 0), 4);  // longs per entry
    EXPECT_EQ(uint8_t(s.indx[3]), 0);            // index of indexes
    EXPECT_EQ(AviStructure::u32(s.indx, 4), 4u); // parts
    EXPECT_EQ(s.indx.mid(8, 4), "00db");
    uint32_t frames = 0;
    for (int part = 0; part < 4; ++part) {
        SCOPED_TRACE(part);
        const int e = 24 + part * 16;
        const int64_t at =
            int64_t(AviStructure::u32(s.indx, e)) | int64_t(AviStructure::u32(s.indx, e + 4)) << 32;
        const uint32_t duration = AviStructure::u32(s.indx, e + 12);
        frames += duration;
        // The super index entry points at this part's ix00, the last chunk of its movi.
        ASSERT_FALSE(s.movi[size_t(part)].empty());
        const test::AviChunk& ix = s.movi[size_t(part)].back();
        EXPECT_EQ(ix.id, "ix00");
        EXPECT_EQ(ix.position, at);
        EXPECT_EQ(AviStructure::u32(s.indx, e + 8), ix.size + 8);
        const QByteArray index = test::ReadChunkData(path, ix);
        EXPECT_EQ(uint8_t(index[3]), 1); // index of chunks
        ASSERT_EQ(AviStructure::u32(index, 4), duration);
        const int64_t base =
            int64_t(AviStructure::u32(index, 12)) | int64_t(AviStructure::u32(index, 16)) << 32;
        for (uint32_t i = 0; i < duration; ++i) {
            const test::AviChunk& chunk = s.movi[size_t(part)][i];
            EXPECT_EQ(base + AviStructure::u32(index, 24 + int(i) * 8), chunk.position + 8);
            EXPECT_EQ(AviStructure::u32(index, 28 + int(i) * 8), 307200u) << "key frame, size";
        }
    }
    EXPECT_EQ(frames, 10u);
    const auto probe = test::Probe(path);
    EXPECT_EQ(probe.value("nb_read_frames"), "10");
    EXPECT_EQ(test::DecodeErrors(path), "");
    EXPECT_EQ(test::ColourBytes(test::DecodedFrame(path, 8)),
              test::ColourBytes(test::PixelBytes(test::TestFrame(8, size))));
}

// The real limit: a full-frame movie past 1 GB, made from a few frames.
TEST(AviMovie, MovieOverOneGigabyteStaysReadable) {
    test::ScratchDir dir;
    const QString path = dir.file("big.avi");
    const QSize size(1920, 1080);
    const QImage frames[3] = {test::TestFrame(0, size), test::TestFrame(1, size),
                              test::TestFrame(2, size)};
    const int count = 132; // 132 x 8 MB > 1 GiB
    {
        TAVICompressor avi;
        AVIOptions o = rawOptions(size, 25);
        ASSERT_EQ(avi.Open(path, o), AviOk);
        for (int n = 0; n < count; ++n)
            ASSERT_EQ(avi.AddFrame(frames[n % 3]), AviOk);
        ASSERT_EQ(avi.Close(), AviOk);
    }
    EXPECT_GT(QFileInfo(path).size(), int64_t(1) << 30);
    const AviStructure s = ReadAvi(path);
    ASSERT_TRUE(s.ok) << s.error.toStdString();
    ASSERT_EQ(s.riffTypes, (std::vector<QString>{"AVI ", "AVIX"}));
    EXPECT_EQ(AviStructure::u32(s.indx, 4), 2u);
    EXPECT_EQ(AviStructure::u32(s.indx, 24 + 12) + AviStructure::u32(s.indx, 40 + 12),
              uint32_t(count));
    EXPECT_EQ(AviStructure::u32(s.dmlh, 0), uint32_t(count));
    EXPECT_EQ(s.movi[1].back().id, "ix00");
    const auto probe = test::Probe(path);
    EXPECT_EQ(probe.value("error"), "");
    EXPECT_EQ(probe.value("nb_read_frames"), QString::number(count));
    // A frame in the second part decodes to its picture.
    EXPECT_EQ(test::ColourBytes(test::DecodedFrame(path, count - 1)),
              test::ColourBytes(test::PixelBytes(frames[(count - 1) % 3])));
    QFile::remove(path);
}

// A device that takes only so many bytes, as a full disk does.
class FullDevice : public QIODevice {
public:
    explicit FullDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }
    bool isSequential() const override { return false; }
    bool seek(qint64 pos) override { return QIODevice::seek(pos); }
    qint64 size() const override { return written_; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override {
        if (pos() + len > room_) return -1;
        written_ = qMax(written_, pos() + len);
        return len;
    }

private:
    qint64 room_;
    qint64 written_ = 0;
};

TEST(AviMovie, WriterStopsAtTheFirstFailedWrite) {
    FullDevice device(20000);
    RiffAviWriter writer(device);
    AviStreamFormat format;
    format.width = 64;
    format.height = 48;
    format.imageSize = 64 * 48 * 4;
    ASSERT_TRUE(writer.start(format));
    const QByteArray frame(64 * 48 * 4, '\x7f');
    EXPECT_TRUE(writer.writeFrame(frame.constData(), frame.size(), true));
    EXPECT_FALSE(writer.writeFrame(frame.constData(), frame.size(), true));
    EXPECT_TRUE(writer.failed());
    EXPECT_EQ(writer.frames(), 1u);
    EXPECT_FALSE(writer.writeFrame("x", 1, true)) << "nothing more after a failure";
    EXPECT_FALSE(writer.finish());
}

} // namespace
} // namespace stillora

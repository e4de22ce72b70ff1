// Selection lists written and read as CSV and EDL.

#include "analysis/SelectionExchange.h"
#include "support/ClipMaker.h"
#include "video/FfmpegMediaSource.h"
#include "video/ScriptedMediaSource.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace stillora {
namespace {

FrameClock steadyClock(int64_t frames, double rate) {
    std::vector<double> times;
    for (int64_t n = 0; n < frames; ++n)
        times.push_back(double(n) / rate);
    return FrameClock(times, rate);
}

const std::vector<ExchangedSelection> kSample{
    {{0, 0}, "Frame_00000"},
    {{10, 20}, "Range_00010_00020"},
    {{120, 120}, "Harbour, at \"dawn\""},
    {{300, 449}, "Ünïcode und Kommas,,"},
};

TEST(Csv, WrittenThenReadGivesTheSameSelections) {
    const FrameClock clock = steadyClock(500, 25);
    const QByteArray csv = writeSelectionsCsv(kSample, clock);
    EXPECT_TRUE(csv.startsWith("Caption,First frame,Last frame,Start time,End time\r\n"));
    // Times: the first frame's start and the last frame's end.
    EXPECT_TRUE(csv.contains("Range_00010_00020,10,20,00:00:00.400,00:00:00.840\r\n")) << csv.toStdString();
    const ExchangeReadResult read = readSelectionsCsv(csv, clock);
    EXPECT_TRUE(read.problems.isEmpty()) << read.problems.join('\n').toStdString();
    EXPECT_EQ(read.selections, kSample);

    // Rows with times only map to the frames nearest, on a variable rate too.
    std::vector<double> times{0.0, 0.04, 0.08, 0.2, 0.3, 0.4, 0.5};
    const FrameClock vfr(times, 25);
    const ExchangeReadResult timed =
        readSelectionsCsv("Caption,First frame,Last frame,Start time,End time\n"
                          "a,,,00:00:00.190,00:00:00.400\n"
                          "b,,,0.31,0.5\n",
                          vfr);
    ASSERT_EQ(timed.selections.size(), 2u) << timed.problems.join('\n').toStdString();
    EXPECT_EQ(timed.selections[0].span, (FrameSpan{3, 4}));
    EXPECT_EQ(timed.selections[1].span, (FrameSpan{4, 5}));
}

TEST(Csv, ADamagedLineIsReportedByNumberAndTheOthersLoad) {
    const FrameClock clock = steadyClock(100, 25);
    const QByteArray csv = "Caption,First frame,Last frame,Start time,End time\r\n"
                           "one,1,5,,\r\n"
                           "\"two\nlines\",6,7,,\r\n" // a quoted caption over two lines
                           "three,x,9,,\r\n"          // line 5
                           "four,20,10,,\r\n"         // line 6: backwards
                           "five,95,120,,\r\n"        // line 7: past the end
                           "\r\n"
                           "six,30,30,,\r\n"
                           "\"seven,40,41\r\n"; // line 10: a quote never closed
    const ExchangeReadResult read = readSelectionsCsv(csv, clock);
    ASSERT_EQ(read.selections.size(), 3u);
    EXPECT_EQ(read.selections[0], (ExchangedSelection{{1, 5}, "one"}));
    EXPECT_EQ(read.selections[1], (ExchangedSelection{{6, 7}, "two\nlines"}));
    EXPECT_EQ(read.selections[2], (ExchangedSelection{{30, 30}, "six"}));
    ASSERT_EQ(read.problems.size(), 4);
    EXPECT_TRUE(read.problems[0].startsWith("Line 5: ")) << read.problems[0].toStdString();
    EXPECT_TRUE(read.problems[1].startsWith("Line 6: "));
    EXPECT_TRUE(read.problems[2].startsWith("Line 7: "));
    EXPECT_TRUE(read.problems[3].startsWith("Line 10: "));

    EXPECT_FALSE(readSelectionsCsv("just,some,words\n1,2,3\n", clock).error.isEmpty());
}

TEST(Csv, ASceneListIsReadByItsTimes) {
    const FrameClock clock = steadyClock(100, 25);
    const QByteArray list =
        "Timecode List:,00:00:01.600,00:00:02.800\n"
        "Scene Number,Start Frame,Start Timecode,Start Time (seconds),End Frame,End Timecode,End Time "
        "(seconds),Length (frames),Length (timecode),Length (seconds)\n"
        "1,1,00:00:00.000,0.000,40,00:00:01.600,1.600,40,00:00:01.600,1.600\n"
        "2,41,00:00:01.600,1.600,70,00:00:02.800,2.800,30,00:00:01.200,1.200\n"
        "3,71,00:00:02.800,2.800,100,00:00:04.000,4.000,30,00:00:01.200,1.200\n";
    const ExchangeReadResult read = readSelectionsCsv(list, clock);
    EXPECT_TRUE(read.problems.isEmpty()) << read.problems.join('\n').toStdString();
    ASSERT_EQ(read.selections.size(), 3u);
    EXPECT_EQ(read.selections[0].span, (FrameSpan{0, 39}));
    EXPECT_EQ(read.selections[1].span, (FrameSpan{40, 69}));
    EXPECT_EQ(read.selections[2].span, (FrameSpan{70, 99}));
    EXPECT_EQ(read.selections[1].caption, "Scene_2");
}

TEST(Timecode, NonDropAndDropFrameCounting) {
    EXPECT_EQ(timecodeText(0, 25, false), "00:00:00:00");
    EXPECT_EQ(timecodeText(25 * 3661 + 7, 25, false), "01:01:01:07");
    EXPECT_EQ(timecodeCount("01:01:01:07", 25, false), 25 * 3661 + 7);
    const double ntsc = 30000.0 / 1001.0;
    EXPECT_TRUE(isDropFrameRate(ntsc));
    EXPECT_FALSE(isDropFrameRate(25));
    // Numbers 00 and 01 are skipped at each minute but every tenth.
    EXPECT_EQ(timecodeText(1799, ntsc, true), "00:00:59;29");
    EXPECT_EQ(timecodeText(1800, ntsc, true), "00:01:00;02");
    EXPECT_EQ(timecodeText(17982, ntsc, true), "00:10:00;00");
    EXPECT_EQ(timecodeText(17982 + 1800, ntsc, true), "00:11:00;02");
    for (int64_t n : {0, 1, 1799, 1800, 1801, 3597, 3598, 17981, 17982, 17983, 107892, 123456})
        EXPECT_EQ(timecodeCount(timecodeText(n, ntsc, true), ntsc, true), n) << n;
    EXPECT_EQ(timecodeCount("00:01:00;00", ntsc, true), -1); // a skipped number
    EXPECT_EQ(timecodeCount("00:00:00:30", ntsc, false), -1);
    EXPECT_EQ(timecodeCount("12:3x:00:00", 25, false), -1);
    // At 59.94 four numbers are skipped.
    EXPECT_EQ(timecodeText(3600, 60000.0 / 1001.0, true), "00:01:00;04");
    EXPECT_EQ(timecodeCount("00:01:00;04", 60000.0 / 1001.0, true), 3600);
}

TEST(Edl, WrittenThenReadGivesTheSameSelectionsAtEachRate) {
    for (double rate : {25.0, 30000.0 / 1001.0, 24000.0 / 1001.0}) {
        const FrameClock clock = steadyClock(40000, rate);
        std::vector<ExchangedSelection> sample = kSample;
        sample.push_back({{17980, 18000}, "Across ten minutes"});
        const QByteArray edl = writeSelectionsEdl(sample, clock, "holiday.mp4");
        EXPECT_TRUE(edl.startsWith("TITLE: holiday.mp4\r\n"));
        EXPECT_EQ(edl.contains("FCM: DROP FRAME"), isDropFrameRate(rate)) << rate;
        const ExchangeReadResult read = readSelectionsEdl(edl, clock);
        EXPECT_TRUE(read.problems.isEmpty()) << read.problems.join('\n').toStdString();
        EXPECT_EQ(read.selections, sample) << rate << "\n" << edl.toStdString();
    }
}

TEST(Edl, DropFrameTimecodesAt2997MapToTheRightFrames) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ntsc.mp4");
    QString error;
    // Numbered frames at 30000/1001 frames per second.
    ASSERT_TRUE(test::makeClip(path, 1900,
                               {"-vf", "setpts=N*1001/30000/TB", "-r", "30000/1001", "-c:v", "libx264",
                                "-preset", "ultrafast", "-qp", "10"},
                               &error))
        << error.toStdString();
    FfmpegMediaSource source;
    std::string openError;
    ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &openError)) << openError;
    ASSERT_EQ(source.frameCount(), 1900);
    const FrameClock clock(source.frameTimes(), source.frameRate());
    ASSERT_NEAR(clock.rate(), 29.97, 0.001);

    const QByteArray edl = "TITLE: ntsc\r\n"
                           "FCM: DROP FRAME\r\n\r\n"
                           "001  AX       V     C        00:00:59;28 00:01:00;02 00:00:00;00 00:00:00;02\r\n"
                           "* COMMENT: Before the minute\r\n"
                           "002  AX       V     C        00:01:00;02 00:01:03;00 00:00:00;02 00:00:03;00\r\n"
                           "003  AX       V     C        00:01:00;00 00:01:01;00 00:00:03;00 00:00:04;00\r\n"
                           "004  AX       AA    C        00:00:10;00 00:00:11;00 00:00:04;00 00:00:05;00\r\n";
    const ExchangeReadResult read = readSelectionsEdl(edl, clock);
    ASSERT_EQ(read.selections.size(), 2u);
    EXPECT_EQ(read.selections[0], (ExchangedSelection{{1798, 1799}, "Before the minute"}));
    // 00:01:03;00 is frame 63 * 30 - 2 = 1888: the range ends the frame before.
    EXPECT_EQ(read.selections[1], (ExchangedSelection{{1800, 1887}, "Range_01800_01887"}));
    ASSERT_EQ(read.problems.size(), 1); // event 003 names a number drop-frame skips
    EXPECT_TRUE(read.problems[0].startsWith("Line 7: ")) << read.problems[0].toStdString();

    // The frames are the ones the pictures say they are.
    for (int64_t n : {int64_t(1799), int64_t(1800), int64_t(1887)}) {
        QImage image;
        ASSERT_TRUE(source.seek(n, &openError)) << openError;
        ASSERT_TRUE(source.grab(image));
        EXPECT_EQ(ScriptedMediaSource::readNumber(image), n);
    }
}

TEST(ExchangeFiles, ByExtensionAndNothingHalfWritten) {
    QTemporaryDir dir;
    const FrameClock clock = steadyClock(500, 25);
    QString error;
    for (const char* name : {"list.csv", "list.EDL"}) {
        const QString path = dir.filePath(name);
        ASSERT_TRUE(writeSelectionsFile(path, kSample, clock, "clip.mp4", &error)) << error.toStdString();
        const ExchangeReadResult read = readSelectionsFile(path, clock);
        EXPECT_EQ(read.selections, kSample) << name;
    }
    EXPECT_FALSE(writeSelectionsFile(dir.filePath("list.txt"), kSample, clock, "", &error));
    EXPECT_FALSE(writeSelectionsFile(dir.filePath("missing/list.csv"), kSample, clock, "", &error));
    EXPECT_FALSE(QFile::exists(dir.filePath("missing")));
    EXPECT_FALSE(readSelectionsFile(dir.filePath("none.csv"), clock).error.isEmpty());
    EXPECT_FALSE(readSelectionsFile(dir.filePath("list.txt"), clock).error.isEmpty());

    // Selections and back keep captions and frames.
    const SelectionList made = selectionsFrom(kSample, 1);
    std::vector<TSelection*> pointers;
    for (const auto& s : made)
        pointers.push_back(s.get());
    EXPECT_EQ(exchangedFrom(pointers), kSample);
    EXPECT_EQ(made[3]->frmLength, 150);
}

} // namespace
} // namespace stillora

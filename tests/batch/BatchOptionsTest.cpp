// Command line of the batch renderer: frame lists, option forms, the checks
// made before anything is opened, and the documentation of every option.
#include "app/batch/BatchOptions.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace stillora::batch;

namespace {

ParseResult parse(const QStringList& args) {
    return ParseCommandLine(args);
}

} // namespace

TEST(FrameList, ReadsRangesAndSingleFramesInOrder) {
    std::vector<FrameRange> ranges;
    QString error;
    ASSERT_TRUE(ParseFrameList("10-20,35,100-199, 7 ,0-0", ranges, &error)) << error.toStdString();
    const std::vector<FrameRange> expected{{10, 20}, {35, 35}, {100, 199}, {7, 7}, {0, 0}};
    EXPECT_EQ(ranges, expected);
    ASSERT_TRUE(ParseFrameList("2147483647", ranges, &error));
    EXPECT_EQ(ranges.front().first, 2147483647);
}

TEST(FrameList, RejectsMalformedItemsNamingThem) {
    for (const char* bad : {"5-", "-3", "9-2", "abc", "1,,2", "1-2-3", "+5", "4 -6", "0x10",
                            "2147483648", "", " ", "3,"}) {
        std::vector<FrameRange> ranges{{1, 1}};
        QString error;
        EXPECT_FALSE(ParseFrameList(bad, ranges, &error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
        EXPECT_FALSE(error.contains('\n')) << bad;
        // A failed parse leaves the caller's list alone.
        EXPECT_EQ(ranges.size(), 1u) << bad;
    }
    std::vector<FrameRange> ranges;
    QString error;
    ParseFrameList("1,9-2", ranges, &error);
    EXPECT_TRUE(error.contains("\"9-2\"")) << error.toStdString();
}

TEST(CommandLine, TakesValuesInBothFormsAndCollectsVideos) {
    const ParseResult r = parse({"a.mp4",
                                 "--frames",
                                 "1-3",
                                 "--out=stills",
                                 "--root",
                                 "shot",
                                 "--digits=5",
                                 "--skip",
                                 "0",
                                 "--format",
                                 "BMP",
                                 "--quality",
                                 "90",
                                 "--param",
                                 "A:x=1",
                                 "--param=B:y=2",
                                 "--fx",
                                 "Lightness",
                                 "--safe-seek",
                                 "40",
                                 "--keep-going",
                                 "-q",
                                 "--",
                                 "--odd-name.mp4"});
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    const BatchOptions& o = r.options;
    EXPECT_EQ(o.videos, QStringList({"a.mp4", "--odd-name.mp4"}));
    EXPECT_EQ(o.frames, (std::vector<FrameRange>{{1, 3}}));
    EXPECT_EQ(*o.outDir, "stills");
    EXPECT_EQ(*o.rootName, "shot");
    EXPECT_EQ(*o.digits, 5);
    EXPECT_EQ(*o.skip, 0);
    EXPECT_EQ(*o.stillType, 1);
    EXPECT_EQ(*o.quality, 90);
    EXPECT_EQ(o.params, QStringList({"A:x=1", "B:y=2"}));
    EXPECT_EQ(*o.fx, "Lightness");
    EXPECT_EQ(o.safeSeekMs, 40);
    EXPECT_TRUE(o.keepGoing);
    EXPECT_TRUE(o.quiet);
}

TEST(CommandLine, RejectsBadUsageWithOneLine) {
    const std::vector<std::pair<QStringList, QString>> cases{
        {{"--bogus", "a.mp4"}, "--bogus"},
        {{"-x", "a.mp4"}, "-x"},
        // The value of --frames is taken whatever it starts with.
        {{"--frames", "-3", "a.mp4"}, "\"-3\""},
        {{"--frames", "5-", "a.mp4"}, "\"5-\""},
        {{"a.mp4", "--frames"}, "--frames needs a value"},
        {{"--digits", "0", "a.mp4"}, "--digits"},
        {{"--digits", "13", "a.mp4"}, "--digits"},
        {{"--quality", "101", "a.mp4"}, "--quality"},
        {{"--quality", "-5", "a.mp4"}, "--quality"},
        {{"--skip", "x", "a.mp4"}, "--skip"},
        {{"--format", "png", "a.mp4"}, "png"},
        {{"--safe-seek", "1e3", "a.mp4"}, "--safe-seek"},
        {{"--dry-run=yes", "a.mp4"}, "--dry-run takes no value"},
        {{"--root", "a/b", "a.mp4"}, "--root"},
        {{"--overwrite", "--keep-going", "a.mp4"}, "--keep-going"},
        {{"--frames", "1", "--selections", "x.sel", "a.mp4"}, "--selections"},
        {{"--fx", "Lightness", "a.mp4"}, "--fx"},
        {{"--separator", "-", "--no-separator", "a.mp4"}, "--no-separator"},
        {{"--frames", "1"}, "no video"},
        {{"--export", "avi", "--avi-codec", "divx3", "a.mp4"}, "--list-codecs"},
        {{"--avi-rate", "31", "a.mp4"}, "--avi-rate"},
        {{"--export", "gif", "--gif-delay", "100000", "a.mp4"}, "--gif-delay"},
        {{"--export", "mp4", "--gif-loop", "a.mp4"}, "apply to --export gif"},
        {{"--export", "gif", "--video-hold", "5", "a.mp4"}, "--export webm"},
        {{"--export", "webm", "--video-rate", "61", "a.mp4"}, "--video-rate"},
        {{"--export", "mp4", "--video-hold", "0", "a.mp4"}, "--video-hold"},
        {{"--export", "mp4", "--video-quality", "52", "a.mp4"}, "--video-quality"},
        {{"--export", "webm", "--out-file", "x.webm", "a.mp4", "b.mp4"}, "one video per run"},
    };
    for (const auto& [args, mention] : cases) {
        const ParseResult r = parse(args);
        EXPECT_FALSE(r.ok()) << args.join(' ').toStdString();
        EXPECT_TRUE(r.error.contains(mention))
            << args.join(' ').toStdString() << " -> " << r.error.toStdString();
        EXPECT_FALSE(r.error.contains('\n')) << r.error.toStdString();
    }
}

TEST(CommandLine, ReadsTheMovieOptions) {
    ParseResult r = parse({"--export", "gif", "--gif-delay", "0", "--gif-loop", "a.mp4"});
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(*r.options.movieKind, 2);
    EXPECT_EQ(*r.options.gifDelayMs, 0);
    EXPECT_TRUE(r.options.gifLoop);
    r = parse({"--export", "webm", "--video-rate", "60", "--video-hold", "9999",
               "--video-quality", "0", "a.mp4"});
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(*r.options.movieKind, 3);
    EXPECT_EQ(r.options.exportName, "webm");
    EXPECT_EQ(*r.options.videoRate, 60);
    EXPECT_EQ(*r.options.videoHold, 9999);
    EXPECT_EQ(*r.options.videoQuality, 0);
    // Without --out-file each video's movie is named after it.
    EXPECT_TRUE(parse({"--export", "mp4", "a.mp4", "b.mp4"}).ok());
}

// Every option the parser takes is documented in --help and the man page.
TEST(CommandLine, EveryOptionIsDocumented) {
    const QStringList options{"--selections",   "--frames",       "--fx",
                              "--param",        "--out",          "--root",
                              "--separator",    "--no-separator", "--no-selection-name",
                              "--digits",       "--skip",         "--format",
                              "--quality",      "--safe-seek",    "--overwrite",
                              "--keep-going",   "--settings",     "--dry-run",
                              "--list-plugins", "--quiet",        "--verbose",      "--help",
                              "--version",      "--avi-codec",    "--avi-rate",
                              "--list-codecs",  "--gif-delay",    "--gif-loop",
                              "--video-rate",   "--video-hold",   "--video-quality",
                              "--grab",         "--grab-seconds"};
    QFile manFile(QStringLiteral(STILLORA_SOURCE_DIR "/docs/stillora-batch.1"));
    ASSERT_TRUE(manFile.open(QIODevice::ReadOnly));
    // roff writes "-" as "\-".
    const QString man = QString::fromUtf8(manFile.readAll()).replace("\\-", "-");
    const QString help = HelpText();
    for (const QString& option : options) {
        const ParseResult r = parse({option, "x", "a.mp4"});
        EXPECT_FALSE(r.error.startsWith("unknown option")) << option.toStdString();
        EXPECT_TRUE(help.contains(option)) << option.toStdString();
        EXPECT_TRUE(man.contains(option)) << option.toStdString();
    }
    for (const char* status : {"130", "Example"})
        EXPECT_TRUE(help.contains(status, Qt::CaseInsensitive)) << status;
}

TEST(CommandLine, GrabbingALiveStreamTakesNoOtherSourceOfSelections) {
    EXPECT_TRUE(parse({"--grab", "25", "udp://127.0.0.1:1234"}).ok());
    EXPECT_TRUE(parse({"--grab-seconds", "2.5", "--fx", "Lightness", "rtsp://cam/1"}).ok());
    for (const QStringList& bad : {QStringList{"--grab", "0", "u"}, QStringList{"--grab-seconds", "-1", "u"},
                                   QStringList{"--grab", "5", "--grab-seconds", "1", "u"},
                                   QStringList{"--grab", "5", "--frames", "0", "u"},
                                   QStringList{"--grab", "5", "--selections", "a.sel", "u"},
                                   QStringList{"--grab", "5", "--every", "10", "u"}})
        EXPECT_FALSE(parse(bad).ok()) << bad.join(' ').toStdString();
}

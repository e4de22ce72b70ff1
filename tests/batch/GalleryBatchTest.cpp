// stillora-batch --export gallery: the same gallery as the window, options
// from the settings store and the command line, and its usage errors.
#include "BatchClips.h"

#include "app/batch/BatchOptions.h"
#include "app/settings/SettingsStore.h"
#include "support/TestDirs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>

using namespace stillora;

namespace {

class GalleryBatch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFileInfo(STILLORA_BIN_DIR "/stillora-batch").isExecutable());
        QString error;
        ASSERT_TRUE(test::makeNumberedClip(dir_.file("clip.mp4"), 8, QSize(160, 120), &error))
            << error.toStdString();
        QDir(dir_.path()).mkdir("config");
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("XDG_CONFIG_HOME", dir_.file("config"));
        env_.insert("QT_QPA_PLATFORM", "offscreen");
    }
    test::ToolRun run(const QStringList& args) { return test::runTool(args, dir_.path(), env_); }
    QString settingsPath() const { return dir_.file("config/Stillora/settings.json"); }
    QByteArray contents(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    test::ScratchDir dir_;
    QProcessEnvironment env_;
};

batch::ParseResult parse(const QStringList& args) {
    return batch::ParseCommandLine(args);
}

} // namespace

TEST_F(GalleryBatch, WritesStillsThumbnailsPagesAndIndexAndPrintsTheIndex) {
    const test::ToolRun r = run({"--export", "gallery", "--frames", "0-6", "clip.mp4"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString out = dir_.file("export") + "/";
    const QString index = QFileInfo(out + "My Photo Gallery.html").absoluteFilePath();
    EXPECT_EQ(r.outLines(), QStringList{index});

    QStringList expected{"My Photo Gallery.html"};
    for (int i = 0; i < 7; ++i) {
        const QString base = QString("clip_Range_00000_00006_%1.").arg(i, 3, 10, QChar('0'));
        expected << base + "jpg" << base + "html"
                 << "tmb_" + base + "jpg";
        EXPECT_EQ(QImage(out + "tmb_" + base + "jpg").size(), QSize(16, 12));
    }
    expected.sort();
    EXPECT_EQ(QDir(out).entryList(QDir::Files, QDir::Name), expected);
    const QByteArray page = contents(index);
    EXPECT_TRUE(page.endsWith("</body></html>\r\n"));
    EXPECT_EQ(page.count("<td width=\"160\""), 7);
    EXPECT_TRUE(page.contains(">Range_00000_00006 Frame 6</a>"));
}

TEST_F(GalleryBatch, StoredOptionsWithTheCommandLineOverThem) {
    SettingsStore stored(settingsPath());
    stored.WriteSetting("edtPageTitle.text", QString("Stored"));
    stored.WriteSetting("spinCols.Value", 2);
    stored.WriteSetting("spinThumbSize.Value", 25);
    stored.WriteSetting("meTableWidth.Text", QString("0600"));
    stored.WriteSetting("cbBackColor.Color", 0x030201);
    stored.WriteSetting("cbEdge.Checked", 1);
    ASSERT_TRUE(stored.Save());

    const test::ToolRun r = run({"--export", "gallery", "--frames", "1-3,5", "--gallery-title", "",
                                 "--gallery-columns", "3", "--out", "g", "clip.mp4"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString index = QFileInfo(dir_.file("g/index.html")).absoluteFilePath();
    EXPECT_EQ(r.outLines(), QStringList{index});
    const QByteArray page = contents(index);
    EXPECT_TRUE(page.contains("bgcolor=\"#010203\""));
    EXPECT_TRUE(page.contains("width=\"600\">"));
    EXPECT_EQ(page.count("<td width=\"200\""), 4);
    EXPECT_EQ(page.count("<tr>"), 2);
    EXPECT_TRUE(page.contains("<img border=\"1\" src=\"tmb_clip_Frame_00005_003.jpg\" "
                              "width=\"40\" height=\"30\">"));
    EXPECT_FALSE(QFileInfo::exists(dir_.file("g/Stored.html")));
}

TEST(GalleryCommandLine, OptionsAreCheckedAndDocumented) {
    const batch::ParseResult good =
        parse({"--export", "gallery", "--gallery-title", "T", "--gallery-columns", "25", "a.mp4"});
    ASSERT_TRUE(good.ok()) << good.error.toStdString();
    EXPECT_EQ(*good.options.galleryTitle, "T");
    EXPECT_EQ(*good.options.galleryColumns, 25);

    for (const QStringList& args :
         {QStringList{"--export", "gallery", "--gallery-columns", "0", "a.mp4"},
          QStringList{"--export", "gallery", "--gallery-columns", "26", "a.mp4"},
          QStringList{"--gallery-title", "T", "a.mp4"},
          QStringList{"--export", "gallery", "--gallery-title", "a/b", "a.mp4"},
          QStringList{"--export", "gallery", "a.mp4", "b.mp4"}}) {
        const batch::ParseResult r = parse(args);
        EXPECT_FALSE(r.ok()) << args.join(' ').toStdString();
    }

    QFile manFile(QStringLiteral(STILLORA_SOURCE_DIR "/docs/stillora-batch.1"));
    ASSERT_TRUE(manFile.open(QIODevice::ReadOnly));
    const QString man = QString::fromUtf8(manFile.readAll()).replace("\\-", "-");
    for (const char* option : {"--gallery-title", "--gallery-columns", "--export gallery"}) {
        EXPECT_TRUE(batch::HelpText().contains(option)) << option;
        EXPECT_TRUE(man.contains(option)) << option;
    }
}

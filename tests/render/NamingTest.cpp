#include "render/Naming.h"
#include "support/TestDirs.h"
#include "tests/render/ScriptedPrompter.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace stillora;
using stillora::test::ScriptedPrompter;

TEST(FrameName, PartsFollowTheNamingOptions) {
    RenderSettings s;
    s.digits = 5;
    EXPECT_EQ(ComposeFrameName(s, "Intro", 0), "Untitled_Intro_00000.jpg");
    s.addSelectionName = false;
    EXPECT_EQ(ComposeFrameName(s, "Intro", 1), "Untitled_00001.jpg");
    s.addSelectionName = true;
    s.useSeparator = false;
    EXPECT_EQ(ComposeFrameName(s, "Intro", 2), "UntitledIntro00002.jpg");
    s.useSeparator = true;
    s.separator = "";
    EXPECT_EQ(ComposeFrameName(s, "Intro", 2), "UntitledIntro00002.jpg");
    s.separator = "-";
    s.rootName = "";
    s.stillType = StillBmp;
    EXPECT_EQ(ComposeFrameName(s, "Intro", 3), "-Intro-00003.bmp");
}

TEST(FrameName, NoPartLeadsOutOfTheFolderOrHidesTheStill) {
    RenderSettings s;
    s.digits = 3;
    s.rootName = "a/b";
    s.separator = "\\";
    EXPECT_EQ(ComposeFrameName(s, QString("x\ty") + QChar(0), 1), "a_b_x_y__001.jpg");
    s.rootName = "";
    s.useSeparator = false;
    EXPECT_EQ(ComposeFrameName(s, "../../up", 2), "___.._up002.jpg");
    // Dots inside a name are kept.
    s.rootName = "v1.2";
    EXPECT_EQ(ComposeFrameName(s, ".x", 3), "v1.2.x003.jpg");
}

TEST(FrameName, CounterIsPaddedButNeverCut) {
    RenderSettings s;
    s.digits = 3;
    EXPECT_EQ(ComposeFrameName(s, "A", 7), "Untitled_A_007.jpg");
    EXPECT_EQ(ComposeFrameName(s, "A", 1234), "Untitled_A_1234.jpg");
    EXPECT_EQ(SampleName(s, 0), "Untitled_selcaption_000.jpg");
}

TEST(FrameName, FolderPrefixGetsOneSeparator) {
    EXPECT_EQ(ExportFolderPrefix(""), "");
    EXPECT_EQ(ExportFolderPrefix("/tmp/out"), "/tmp/out/");
    EXPECT_EQ(ExportFolderPrefix("/tmp/out/"), "/tmp/out/");
    RenderSettings s;
    s.exportFolder = "out";
    EXPECT_EQ(FramePath(s, "A", 1), "out/Untitled_A_001.jpg");
}

TEST(MovieName, ExtensionFollowsTheMovieKind) {
    EXPECT_EQ(ReplaceExtension("untitled.swf", ".avi"), "untitled.avi");
    EXPECT_EQ(ReplaceExtension("my.dir/clip", ".swf"), "my.dir/clip.swf");
    EXPECT_EQ(ReplaceExtension("", ".swf"), ".swf");
    RenderSettings s;
    s.movieKind = MovieAvi;
    s.exportFileName = "/v/show.final.swf";
    EXPECT_EQ(PrepareMovieFileName(s), "/v/show.final.avi");
    s.exportFileName.clear();
    s.sourceName = "/v/clip.mp4";
    // The source's own extension counts as the last one and is replaced.
    EXPECT_EQ(PrepareMovieFileName(s), "/v/clip.mp4_EXPORT.avi");
}

TEST(ExportFolder, EmptyFolderBecomesExportBelowTheWorkingFolder) {
    stillora::test::ScratchDir dir;
    ScriptedPrompter prompter;
    const QString folder = CheckExportFolder("", prompter, dir.path());
    EXPECT_EQ(folder, dir.path() + "/export/");
    ASSERT_EQ(prompter.asked.size(), 2u);
    EXPECT_EQ(prompter.asked[0].kind, RenderPrompter::Warning);
    EXPECT_EQ(prompter.asked[0].text,
              "The export folder is not set.\nA Export subfolder will be created in the current "
              "folder.\n\nThe files whill be saved in:\n\n" +
                  dir.path() + "/export/");
    EXPECT_TRUE(prompter.asked[1].text.startsWith("The destination folder doesn't exists."));
    EXPECT_TRUE(QDir(dir.file("export")).exists());
}

TEST(ExportFolder, MissingFolderIsCreatedOnlyAfterYes) {
    stillora::test::ScratchDir dir;
    ScriptedPrompter prompter;
    prompter.answers = {RenderPrompter::No};
    EXPECT_EQ(CheckExportFolder(dir.file("a"), prompter, dir.path()), dir.file("a"));
    EXPECT_FALSE(QDir(dir.file("a")).exists());
    // An existing folder asks nothing.
    prompter.asked.clear();
    CheckExportFolder(dir.path(), prompter, dir.path());
    EXPECT_TRUE(prompter.asked.empty());
    // Only one level is created: a missing parent makes it fail.
    CheckExportFolder(dir.file("b/c"), prompter, dir.path());
    ASSERT_EQ(prompter.asked.size(), 2u);
    EXPECT_EQ(prompter.asked[1].kind, RenderPrompter::Error);
    EXPECT_EQ(prompter.asked[1].text, "Cannot create the export folder.");
}

TEST(Collision, AskedOnlyForTheSameExistingPath) {
    stillora::test::ScratchDir dir;
    ScriptedPrompter prompter;
    const QString path = dir.file("a.jpg");
    EXPECT_TRUE(ConfirmFrameCollision(path, path, prompter)); // no file yet
    QFile(path).open(QIODevice::WriteOnly);
    EXPECT_TRUE(ConfirmFrameCollision(path, dir.file("b.jpg"), prompter));
    EXPECT_TRUE(prompter.asked.empty());
    prompter.answers = {RenderPrompter::No};
    EXPECT_FALSE(ConfirmFrameCollision(path, path, prompter));
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text,
              "A previously saved frame exists with the same filename.\n\n" + path +
                  "\n\nDo you want to activate the file counter and continue?");
}

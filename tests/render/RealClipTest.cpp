// A render of a real encoded clip through the program's media source.
#include "render/FrameSource.h"
#include "render/RenderRun.h"
#include "selection/Selection.h"
#include "support/ClipMaker.h"
#include "support/TestDirs.h"
#include "tests/render/ScriptedPrompter.h"
#include "video/MediaSource.h"
#include "video/ScriptedMediaSource.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace stillora;

TEST(RealClip, RendersTheExactFramesOfAnEncodedClip) {
    test::ScratchDir dir;
    const QString clip = dir.file("clip.mp4");
    ASSERT_TRUE(test::makeClip(
        clip, 40, {"-c:v", "libx264", "-bf", "3", "-g", "12", "-crf", "12", "-pix_fmt", "yuv420p"},
        nullptr, QSize(160, 120)));
    auto media = createMediaSource();
    std::string error;
    ASSERT_TRUE(media->open(SourceKind::File, clip.toStdString(), &error)) << error;
    ASSERT_EQ(media->frameCount(), 40);

    MediaFrameSource source(*media);
    test::ScriptedPrompter prompter;
    RenderRun run;
    run.setPrompter(&prompter);
    run.setFrameSource(&source);
    TSelection forward("Fwd"), back("Back");
    forward.StartFrame = 5;
    forward.EndFrame = 11;
    back.StartFrame = 30;
    back.EndFrame = 31;
    TSelection early("Early");
    early.StartFrame = early.EndFrame = 2; // a seek backwards
    RenderSettings settings;
    settings.exportFolder = dir.path();
    settings.skipFrames = true;
    settings.skipEvery = 3;
    EXPECT_EQ(run.Run({&forward, &back, &early}, settings, false), RenderRun::Outcome::Completed);

    const QStringList names{"Untitled_Fwd_000.jpg", "Untitled_Fwd_001.jpg", "Untitled_Fwd_002.jpg",
                            "Untitled_Back_003.jpg", "Untitled_Early_004.jpg"};
    const int64_t frames[] = {5, 8, 11, 30, 2};
    for (int i = 0; i < names.size(); ++i) {
        const QImage still(dir.file(names[i]));
        ASSERT_FALSE(still.isNull()) << names[i].toStdString();
        EXPECT_EQ(ScriptedMediaSource::readNumber(still), frames[i]) << names[i].toStdString();
    }
    EXPECT_TRUE(prompter.asked.empty());
}

// The information text of a DVD volume: its main title's place on the disc,
// length, frames and video format, from the IFO files.
#include "support/DvdMaker.h"
#include "video/MediaInfo.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace stillora;

TEST(DvdInfo, TheMainTitleIsDescribedForTheFolderItsIfoAndItsImage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString volume = dir.filePath("disc");
    QString why;
    ASSERT_TRUE(test::makeDvdVolume(volume, {{10}, {40, 35}}, &why)) << why.toStdString();
    ASSERT_TRUE(test::makeDvdImage(volume, dir.filePath("disc.iso"), &why)) << why.toStdString();

    const QString main =
        "Media length: 3.000 sec.\r\n"
        "DVD title 2 of 2, title set 2: 2 chapters, 2 cells\r\n"
        "Video format: 720 x 576, 12 Bits, 75 Frames, 25 Frames/Sec, MPEG-2 video\r\n";
    EXPECT_EQ(mediaInfo(volume), main);
    EXPECT_EQ(mediaInfo(volume + "/VIDEO_TS/VIDEO_TS.IFO"), main);
    EXPECT_EQ(mediaInfo(dir.filePath("disc.iso")), main);
    EXPECT_EQ(mediaInfo(volume + "/VIDEO_TS/VTS_01_0.IFO"),
              "Media length: 0.400 sec.\r\n"
              "DVD title 1 of 2, title set 1: 1 chapters, 1 cells\r\n"
              "Video format: 720 x 576, 12 Bits, 10 Frames, 25 Frames/Sec, MPEG-2 video\r\n");
    EXPECT_EQ(mediaInfoBoxText(volume + "/VIDEO_TS/VIDEO_TS.IFO"),
              "Media Info for:\r\n\r\nVIDEO_TS.IFO\r\n\r\n" + main);

    // A folder that holds no volume has nothing to tell.
    QDir().mkpath(dir.filePath("empty"));
    EXPECT_EQ(mediaInfo(dir.filePath("empty")), "");
}

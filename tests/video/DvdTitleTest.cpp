// DVD-Video volumes: the main title, exact frames across cells whose clocks
// restart, images, and volumes that cannot be read.
#include "Clips.h"
#include "support/DvdMaker.h"

#include "video/DvdTitle.h"
#include "video/FfmpegMediaSource.h"
#include "video/ScriptedMediaSource.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>

namespace stillora {
namespace {

// Title 1 (title set 1): one short cell. Title 2 (title set 2): two chapters,
// two cells, the main title.
constexpr int kShort = 30;
constexpr int kFirstCell = 60;
constexpr int kSecondCell = 70;
constexpr int kMain = kFirstCell + kSecondCell;

QString volume() {
    static const QString folder = [] {
        const QString path = test::scratchFile("dvd");
        QString why;
        if (!test::makeDvdVolume(path, {{kShort}, {kFirstCell, kSecondCell}}, &why)) {
            ADD_FAILURE() << why.toStdString();
            return QString();
        }
        return path;
    }();
    return folder;
}

// A copy of the volume to spoil.
QString copyOfVolume(const QString& name) {
    const QString target = test::scratchFile(name);
    QDir().mkpath(target + "/VIDEO_TS");
    for (const QString& file : QDir(volume() + "/VIDEO_TS").entryList(QDir::Files)) {
        QFile::remove(target + "/VIDEO_TS/" + file);
        QFile::copy(volume() + "/VIDEO_TS/" + file, target + "/VIDEO_TS/" + file);
    }
    return target;
}

int64_t grabbedNumber(MediaSource& source) {
    QImage image;
    if (!source.grab(image)) return -2;
    return ScriptedMediaSource::readNumber(image);
}

void expectExactFrames(FfmpegMediaSource& source, const std::vector<int64_t>& frames) {
    std::string error;
    for (int64_t frame : frames) {
        ASSERT_TRUE(source.seek(frame, &error)) << "frame " << frame << ": " << error;
        EXPECT_EQ(source.currentFrame(), frame);
        EXPECT_EQ(grabbedNumber(source), frame) << "sought frame " << frame;
    }
}

// 30 frames at random plus the first and last of every cell, in mixed order.
std::vector<int64_t> framesToCheck() {
    std::vector<int64_t> frames;
    std::mt19937 random(1717);
    std::uniform_int_distribution<int64_t> any(0, kMain - 1);
    for (int i = 0; i < 30; ++i)
        frames.push_back(any(random));
    const int64_t ends[] = {kMain - 1, 0, kFirstCell, kFirstCell - 1};
    for (int i = 0; i < 4; ++i)
        frames.insert(frames.begin() + 7 * i + 3, ends[i]);
    return frames;
}

TEST(DvdVolume, TheWholeDiscPlaysItsLongestTitleAndATitleSetItsOwn) {
    ASSERT_FALSE(volume().isEmpty());
    const QString whole[] = {volume(), volume() + "/VIDEO_TS", volume() + "/VIDEO_TS/VIDEO_TS.IFO"};
    for (const QString& path : whole) {
        std::string error;
        auto title = DvdTitle::open(path, &error);
        ASSERT_TRUE(title) << path.toStdString() << ": " << error;
        EXPECT_EQ(title->info().titleNumber, 2) << path.toStdString();
        EXPECT_EQ(title->info().titleCount, 2);
        EXPECT_EQ(title->info().titleSet, 2);
        EXPECT_EQ(title->info().chapters, 2);
        EXPECT_EQ(title->info().cells, 2);
        EXPECT_EQ(title->info().frames, kMain);
        EXPECT_EQ(title->info().width, 720);
        EXPECT_EQ(title->info().height, 576);

        FfmpegMediaSource source;
        ASSERT_TRUE(source.open(SourceKind::Dvd, path.toStdString(), &error)) << error;
        EXPECT_EQ(source.kind(), SourceKind::Dvd);
        EXPECT_EQ(source.frameCount(), kMain);
        EXPECT_EQ(source.frameSize(), QSize(720, 576));
        EXPECT_EQ(grabbedNumber(source), 0);
    }

    std::string error;
    const std::string shortSet = (volume() + "/VIDEO_TS/VTS_01_0.IFO").toStdString();
    auto title = DvdTitle::open(QString::fromStdString(shortSet), &error);
    ASSERT_TRUE(title) << error;
    EXPECT_EQ(title->info().titleNumber, 1);
    EXPECT_EQ(title->info().cells, 1);
    FfmpegMediaSource source;
    ASSERT_TRUE(source.open(SourceKind::Dvd, shortSet, &error)) << error;
    EXPECT_EQ(source.frameCount(), kShort);
    ASSERT_TRUE(source.seek(kShort - 1, &error)) << error;
    EXPECT_EQ(grabbedNumber(source), kShort - 1);
}

TEST(DvdVolume, FrameNumbersRunOnAcrossCellsWhoseClocksRestart) {
    ASSERT_FALSE(volume().isEmpty());
    FfmpegMediaSource source;
    std::string error;
    ASSERT_TRUE(source.open(SourceKind::Dvd, volume().toStdString(), &error)) << error;
    ASSERT_EQ(source.frameCount(), kMain);
    expectExactFrames(source, framesToCheck());

    // Playback over the cell boundary hands out every frame once, in order.
    std::mutex lock;
    std::vector<int64_t> numbers, shown;
    source.setFrameCallback([&](const QImage& frame, int64_t number) {
        std::lock_guard<std::mutex> guard(lock);
        numbers.push_back(number);
        shown.push_back(ScriptedMediaSource::readNumber(frame));
    });
    ASSERT_TRUE(source.seek(kFirstCell - 6, &error)) << error;
    source.setStopFrame(kFirstCell + 5);
    ASSERT_TRUE(source.run(&error)) << error;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (source.currentFrame() < kFirstCell + 5 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(source.pause(&error));
    source.setFrameCallback({});
    std::vector<int64_t> expected;
    for (int64_t n = kFirstCell - 6; n <= kFirstCell + 5; ++n)
        expected.push_back(n);
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(shown, expected);
}

TEST(DvdVolume, AnImageOfTheVolumeGivesTheSameFrames) {
    ASSERT_FALSE(volume().isEmpty());
    const QString image = test::scratchFile("dvd.iso");
    QString why;
    ASSERT_TRUE(test::makeDvdImage(volume(), image, &why)) << why.toStdString();
    FfmpegMediaSource source;
    std::string error;
    ASSERT_TRUE(source.open(SourceKind::Dvd, image.toStdString(), &error)) << error;
    EXPECT_EQ(source.frameCount(), kMain);
    expectExactFrames(source, framesToCheck());
}

// Sets the scrambling bits of every video packet, as a protected disc has them.
void scrambleVideo(const QString& vob) {
    QFile file(vob);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray data = file.readAll();
    auto* bytes = reinterpret_cast<uint8_t*>(data.data());
    for (qsizetype pack = 0; pack + 2048 <= data.size(); pack += 2048) {
        uint8_t* b = bytes + pack;
        if (b[0] != 0 || b[1] != 0 || b[2] != 1 || b[3] != 0xBA) continue;
        for (int p = 14 + (b[13] & 7); p + 9 <= 2048;) {
            if (b[p] != 0 || b[p + 1] != 0 || b[p + 2] != 1) break;
            if ((b[p + 3] & 0xF0) == 0xE0) b[p + 6] |= 0x10;
            p += 6 + (b[p + 4] << 8 | b[p + 5]);
        }
    }
    file.seek(0);
    file.write(data);
}

TEST(DvdVolume, VolumesThatCannotBePlayedSayWhyAndLeaveTheSourceUsable) {
    ASSERT_FALSE(volume().isEmpty());
    const QString noVideoTs = test::scratchFile("not-a-dvd");
    QDir().mkpath(noVideoTs + "/AUDIO_TS");
    const QString emptyIfo = test::scratchFile("empty-ifo/VIDEO_TS");
    QDir().mkpath(emptyIfo);
    QFile(emptyIfo + "/VIDEO_TS.IFO").open(QIODevice::WriteOnly);
    const QString textFile = test::scratchFile("notes.iso");
    {
        QFile text(textFile);
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write(QByteArray(100000, 'x'));
    }

    const QString damaged = copyOfVolume("damaged-dvd");
    {
        QFile vob(damaged + "/VIDEO_TS/VTS_02_1.VOB");
        ASSERT_TRUE(vob.open(QIODevice::ReadWrite));
        const qint64 size = vob.size();
        QByteArray noise(size, '\0');
        std::mt19937 random(5);
        for (char& c : noise)
            c = char(random());
        vob.write(noise);
    }
    const QString encrypted = copyOfVolume("encrypted-dvd");
    scrambleVideo(encrypted + "/VIDEO_TS/VTS_02_1.VOB");

    const std::pair<QString, const char*> bad[] = {
        {"", kDvdVolumeUnknown},        {test::scratchFile("no-such-folder"), kDvdVolumeUnknown},
        {noVideoTs, kDvdVolumeInvalid}, {emptyIfo + "/VIDEO_TS.IFO", kDvdVolumeInvalid},
        {textFile, kDvdVolumeInvalid},  {damaged, kDvdStreamFailed},
        {encrypted, kDvdEncrypted},
    };
    FfmpegMediaSource source;
    for (const auto& [path, message] : bad) {
        std::string error;
        EXPECT_FALSE(source.open(SourceKind::Dvd, path.toStdString(), &error))
            << path.toStdString();
        EXPECT_EQ(error, message) << path.toStdString();
        EXPECT_FALSE(source.isOpen());
        EXPECT_EQ(source.frameCount(), 0);

        ASSERT_TRUE(source.open(SourceKind::Dvd, volume().toStdString(), &error)) << error;
        EXPECT_EQ(source.frameCount(), kMain);
        ASSERT_TRUE(source.seek(kFirstCell, &error)) << error;
        EXPECT_EQ(grabbedNumber(source), kFirstCell);
    }
}

TEST(DvdVolume, PathsNameTheVolumeAndItsSelectionList) {
    ASSERT_FALSE(volume().isEmpty());
    EXPECT_TRUE(isDvdVolumePath(volume()));
    EXPECT_TRUE(isDvdVolumePath("/media/disc/VIDEO_TS/VTS_01_0.IFO"));
    EXPECT_TRUE(isDvdVolumePath("/media/films/holiday.iso"));
    EXPECT_FALSE(isDvdVolumePath("/media/films/holiday.mpg"));
    EXPECT_EQ(dvdIfoPath(volume()), volume() + "/VIDEO_TS/VIDEO_TS.IFO");
    EXPECT_EQ(dvdIfoPath(volume() + "/VIDEO_TS"), volume() + "/VIDEO_TS/VIDEO_TS.IFO");
    EXPECT_EQ(dvdIfoPath("/media/films/holiday.iso"), "/media/films/holiday.iso");
}

} // namespace
} // namespace stillora

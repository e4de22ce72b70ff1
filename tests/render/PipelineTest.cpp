// A pipelined render must be indistinguishable from the plain one: same
// files byte for byte, same labels, questions and exporter calls in the same
// order, effects drawing from shared state in the same order.

#include "render/FrameSource.h"
#include "render/RenderRun.h"
#include "selection/Selection.h"
#include "support/TestDirs.h"
#include "tests/render/ScriptedPrompter.h"
#include "video/ScriptedMediaSource.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <memory>

using namespace stillora;
using stillora::test::ScratchDir;
using stillora::test::ScriptedPrompter;

namespace {

// Records every call with a digest of the picture it was handed.
class TranscriptExporter : public RenderExporter {
public:
    explicit TranscriptExporter(QStringList& log) : log_(log) {}
    void begin(const RenderSettings&, const QString& movie) override { log_ << "begin " + movie; }
    bool wantsStills(const RenderSettings&) const override { return true; }
    bool addFrame(const ExportFrame& f) override {
        // The still must be complete on disk when the exporter sees it.
        log_ << QString("frame %1 %2 %3 still %4 picture %5")
                    .arg(f.frameCounter)
                    .arg(f.sourceFrame)
                    .arg(QFileInfo(f.stillPath).fileName())
                    .arg(QFileInfo(f.stillPath).size())
                    .arg(digest(f.picture));
        return true;
    }
    void finish(const ExportSummary& s) override {
        log_ << QString("finish %1 %2x%3 %4")
                    .arg(s.frameCounter)
                    .arg(s.movieFrameWidth)
                    .arg(s.movieFrameHeight)
                    .arg(QFileInfo(s.lastFramePath).fileName());
    }
    static QString digest(const QImage& image) {
        QCryptographicHash hash(QCryptographicHash::Md5);
        for (int y = 0; y < image.height(); ++y)
            hash.addData(QByteArrayView(reinterpret_cast<const char*>(image.constScanLine(y)),
                                        image.width() * 4));
        return QString::fromLatin1(hash.result().toHex().left(12));
    }

private:
    QStringList& log_;
};

struct Outcome {
    QStringList log;   // callbacks, questions and exporter calls, in order
    QStringList files; // name and digest of every file in the export folder
    int32_t frameCounter = 0;
};

struct Scenario {
    int stillType = StillJpeg;
    bool overlay = true;
    // Stop requested from the events after this many frames (-1: never).
    int stopAfter = -1;
    int selections = 2;
    int frames = 13;
    bool effects = true;
};

Outcome runOnce(bool pipelined, const Scenario& sc) {
    ScratchDir dir;
    ScriptedMediaSource media(600, QSize(96, 64));
    media.open(SourceKind::File, "clip", nullptr);
    MediaFrameSource source(media);
    ScriptedPrompter prompter;
    Outcome out;
    TranscriptExporter exporter(out.log);

    RenderRun run;
    run.setPipelined(pipelined);
    run.setPrompter(&prompter);
    run.setFrameSource(&source);
    run.setWorkingDirectory(dir.path());
    run.setExporter(&exporter);
    // Stands in for an effect with a shared generator: each call draws the
    // next number, so a changed order or an extra call changes the pictures.
    int draws = 0;
    run.setEffectApplier([&](const TPluginRecord&, const QImage& src, QImage& dst) {
        dst = src.copy();
        const int add = (draws++ * 37) % 200;
        for (int y = 0; y < dst.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(dst.scanLine(y));
            for (int x = 0; x < dst.width(); x += 3)
                line[x] = qRgb((qRed(line[x]) + add) & 255, qGreen(line[x]), qBlue(line[x]) ^ add);
        }
    });
    int events = 0;
    RenderRun::Callbacks cb;
    cb.sourceInfo = [&](const QString& t) { out.log << "source " + t; };
    cb.destInfo = [&](const QString& t) { out.log << "dest " + t; };
    cb.sourcePicture = [&](const QImage& p) { out.log << "src " + TranscriptExporter::digest(p); };
    cb.destPicture = [&](const QImage& p) { out.log << "shown " + TranscriptExporter::digest(p); };
    cb.frameDone = [&](int32_t processed) { out.log << QStringLiteral("done %1").arg(processed); };
    cb.processEvents = [&] {
        ++events;
        if (sc.stopAfter >= 0 && run.FrameCounter() == sc.stopAfter) run.RequestStop();
    };
    cb.clock = [] { return QDateTime(QDate(2026, 12, 8), QTime(4, 25, 24)); };
    run.setCallbacks(cb);

    RenderSettings settings;
    settings.exportKind = WebGallery; // an exporter that keeps the stills
    settings.stillType = sc.stillType;
    settings.exportFolder = dir.file("out");
    settings.skipFrames = true;
    settings.skipEvery = 3;
    settings.overlay.drawText = sc.overlay;
    settings.overlay.text = QStringLiteral("Pipelined?");
    settings.overlay.drawDate = sc.overlay;
    QDir().mkdir(dir.file("out"));

    std::vector<std::unique_ptr<TSelection>> owned;
    std::vector<TSelection*> selections;
    for (int i = 0; i < sc.selections; ++i) {
        auto s = std::make_unique<TSelection>(QStringLiteral("Sel%1").arg(i));
        s->StartFrame = 100 + 50 * i;
        s->EndFrame = s->StartFrame + sc.frames - 1;
        if (sc.effects) s->Effects.resize(i % 2 == 0 ? 2 : 1);
        selections.push_back(s.get());
        owned.push_back(std::move(s));
    }
    run.Run(selections, settings, false);

    for (const auto& asked : prompter.asked) out.log << "asked " + asked.text;
    const QDir folder(dir.file("out"));
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        out.files << name + " " +
                         QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex();
    }
    out.frameCounter = run.FrameCounter();
    out.log << QStringLiteral("events %1 draws %2").arg(events).arg(draws);
    return out;
}

void expectSame(const Scenario& sc) {
    const Outcome plain = runOnce(false, sc);
    const Outcome piped = runOnce(true, sc);
    EXPECT_EQ(piped.frameCounter, plain.frameCounter);
    EXPECT_EQ(piped.files, plain.files);
    ASSERT_EQ(piped.log.size(), plain.log.size());
    for (int i = 0; i < plain.log.size(); ++i)
        EXPECT_EQ(piped.log[i].toStdString(), plain.log[i].toStdString()) << "entry " << i;
}

} // namespace

TEST(PipelinedRun, GivesThePlainRunsFilesLabelsAndExporterCallsForJpegAndBmp) {
    for (int type : {StillJpeg, StillBmp}) {
        Scenario sc;
        sc.stillType = type;
        expectSame(sc);
        EXPECT_EQ(runOnce(true, sc).files.size(), 10); // 5 kept frames of each selection
    }
}

TEST(PipelinedRun, AStopLeavesExactlyTheFramesDoneAndNoPartialFile) {
    Scenario sc;
    sc.selections = 1;
    sc.frames = 500 * 3; // 500 kept frames
    sc.overlay = false;
    sc.stopAfter = 37;
    expectSame(sc);
    const Outcome piped = runOnce(true, sc);
    EXPECT_EQ(piped.frameCounter, 37);
    ASSERT_EQ(piped.files.size(), 37); // no hidden temporary among them
    for (const QString& entry : piped.files) EXPECT_FALSE(entry.startsWith('.'));
}

TEST(PipelinedRun, WithoutEffectsOrOverlayTheFramesStillMatch) {
    Scenario sc;
    sc.overlay = false;
    sc.effects = false;
    sc.selections = 3;
    expectSame(sc);
    sc.overlay = true;
    expectSame(sc);
}

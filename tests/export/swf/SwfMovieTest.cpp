// The slideshow movie as a render run makes it, read back with the tests'
// own strict reader: frame counts, identifiers, depths, fades, the shape of
// a slide, the header, tag headers and the character counter.
#include "SwfReader.h"

#include "export/Exporters.h"
#include "export/swf/SwfMovie.h"
#include "export/swf/SwfTags.h"
#include "render/StillWriter.h"
#include "selection/Selection.h"
#include "support/TestDirs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>

#include <cmath>

using namespace stillora;
namespace rd = stillora::test::swfread;

namespace {

// Records what the exporter asks and tells.
class RecordingShell : public ExportShell {
public:
    bool isInteractive = false;
    QStringList asked, opened, written, errors, dialogs;
    QString dialogAnswer;

    bool interactive() const override { return isInteractive; }
    RenderPrompter::Button ask(RenderPrompter::Kind, const QString& text, int) override {
        asked << text;
        return RenderPrompter::No;
    }
    void openDocument(const QString& path) override { opened << path; }
    QString askSaveFileName(const QString& title, const QString&, const QString& filter) override {
        dialogs << title + " | " + filter;
        return dialogAnswer;
    }
    void outputWritten(const QString& path) override { written << path; }
    void reportError(const QString& message) override { errors << message; }
};

// Feeds the exporter the way a render run does, with stills written here.
struct Driver {
    test::ScratchDir dir;
    RecordingShell shell;
    RenderSettings settings;
    std::unique_ptr<RenderExporter> exporter;
    TSelection selection{"S"};
    int32_t counter = 0;
    QSize size{64, 48};

    Driver() {
        settings.exportKind = MovieExport;
        settings.movieKind = MovieSwf;
        settings.exportFileName = dir.file("show.swf");
    }
    void begin() {
        exporter = CreateExporter(settings, shell);
        ASSERT_TRUE(exporter);
        EXPECT_TRUE(exporter->wantsStills(settings));
        exporter->begin(settings, settings.exportFileName);
    }
    // One frame; its still is written unless `missing`.
    QString add(QColor colour = Qt::darkCyan, bool missing = false) {
        const QString still = dir.file(QString("still%1.jpg").arg(counter));
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(colour);
        if (!missing) {
            EXPECT_TRUE(WriteStill(picture, still, StillJpeg, 80, nullptr));
        }
        EXPECT_TRUE(exporter->addFrame({picture, still, selection, counter, counter}));
        ++counter;
        return still;
    }
    void finish() { exporter->finish({counter, size.width(), size.height(), QString()}); }
    rd::File read(const QString& path = {}) {
        rd::File file;
        QString error;
        EXPECT_TRUE(rd::ReadFile(path.isEmpty() ? settings.exportFileName : path, file, &error))
            << error.toStdString();
        return file;
    }
};

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One line per tag: what a test compares.
QString describe(const rd::Tag& t) {
    switch (t.code) {
    case 0:
        return "end";
    case 1:
        return "frame";
    case 9:
        return QString("background %1 %2 %3").arg(t.red).arg(t.green).arg(t.blue);
    case 21:
        return QString("jpeg %1").arg(t.id);
    case 2:
        return QString("shape %1").arg(t.id);
    case 28:
        return QString("remove %1").arg(t.depth);
    case 26: {
        QString s = QString("place %1 depth %2").arg(t.flags, 2, 16, QChar('0')).arg(t.depth);
        if (t.flags & 0x02) s += QString(" char %1").arg(t.character);
        if (t.matrix) {
            const bool identity =
                !t.matrix->hasScale && t.matrix->translateX == 0 && t.matrix->translateY == 0;
            s += identity ? " identity" : " matrix";
        }
        if (t.cx) {
            if (t.cx->red != 256 || t.cx->green != 256 || t.cx->blue != 256) s += " tinted";
            s += QString(" alpha %1").arg(t.cx->alpha);
        }
        return s;
    }
    }
    return QString("tag %1").arg(t.code);
}

// Runs of plain frames collapse into "frame xN".
QStringList describe(const rd::File& f) {
    QStringList out;
    int frames = 0;
    const auto flush = [&] {
        if (frames) out << (frames == 1 ? QString("frame") : QString("frame x%1").arg(frames));
        frames = 0;
    };
    for (const rd::Tag& t : f.tags) {
        if (t.code == 1) {
            ++frames;
            continue;
        }
        flush();
        out << describe(t);
    }
    flush();
    return out;
}

// The fade alphas as floating-point rounding (halves to even) gives them.
int fadeInAlpha(int n, int i) {
    return static_cast<int>(std::nearbyint(256.0 / n * (i - 1)));
}

QStringList fadeIn(int depth, int character, int n) {
    QStringList out;
    for (int i = 1; i < n; ++i) {
        out << (i == 1 ? QString("place 0e depth %1 char %2 identity alpha %3")
                             .arg(depth)
                             .arg(character)
                             .arg(fadeInAlpha(n, i))
                       : QString("place 09 depth %1 alpha %2").arg(depth).arg(fadeInAlpha(n, i)))
            << "frame";
    }
    return out;
}

QStringList fadeOut(int depth, int n) {
    const int step = static_cast<int>(std::nearbyint(255.0 / n));
    QStringList out;
    for (int i = 1; i <= n; ++i)
        out << QString("place 09 depth %1 alpha %2").arg(depth).arg(255 - step * i) << "frame";
    return out;
}

QString frames(int n) {
    return n == 1 ? QString("frame") : QString("frame x%1").arg(n);
}

} // namespace

TEST(SwfMovie, OneCrossfadedSlideGives209FramesAndEndsOpaqueThenFadesToBlack) {
    Driver d;
    d.settings.framesPerFade = 30;
    d.settings.framesPerSlide = 60;
    d.settings.swfFrameRate = 30;
    d.begin();
    const QString still = d.add();
    d.finish();
    EXPECT_TRUE(d.shell.errors.isEmpty()) << d.shell.errors.join('\n').toStdString();
    EXPECT_EQ(d.shell.written,
              QStringList{QFileInfo(d.settings.exportFileName).absoluteFilePath()});

    const rd::File f = d.read();
    EXPECT_EQ(f.version, 4);
    EXPECT_EQ(f.frameCount, 209);
    EXPECT_EQ(f.rate, 30);
    EXPECT_EQ(f.rateFraction, 0);
    EXPECT_EQ(f.frame.nbits, 15);
    EXPECT_EQ(f.frame.xMax, 64 * 20);
    EXPECT_EQ(f.frame.yMax, 48 * 20);

    QStringList expected{"background 0 0 0", frames(30), "jpeg 1", "shape 2"};
    expected << fadeIn(0, 2, 30);
    // The slide is moved to full opacity at the end of its fade.
    expected << "place 09 depth 0 alpha 256" << frames(60);
    // A lone slide: nothing to remove under it.
    expected << fadeOut(0, 30);
    expected.last() = frames(61);
    expected << "end";
    EXPECT_EQ(describe(f), expected);

    // The picture is the still's bytes, unchanged.
    EXPECT_EQ(f.withCode(21).at(0)->jpeg, contents(still));
}

TEST(SwfMovie, ASlideIsTheStillsOwnSizeFilledOnePixelPerPixel) {
    Driver d;
    d.size = QSize(720, 576);
    d.begin();
    d.add();
    d.finish();
    const rd::File f = d.read();
    const auto shapes = f.withCode(2);
    ASSERT_EQ(shapes.size(), 1u);
    const rd::Tag& s = *shapes[0];
    const int w = 720 * 20, h = 576 * 20;
    EXPECT_EQ(s.bounds.xMin, 0);
    EXPECT_EQ(s.bounds.xMax, w);
    EXPECT_EQ(s.bounds.yMin, 0);
    EXPECT_EQ(s.bounds.yMax, h);
    ASSERT_EQ(s.fills.size(), 2u);
    EXPECT_EQ(s.fills[0].type, 0x41);
    EXPECT_EQ(s.fills[0].bitmapId, 65535);
    EXPECT_EQ(s.fills[1].type, 0x41);
    EXPECT_EQ(s.fills[1].bitmapId, 1);
    for (const rd::FillStyle& fill : s.fills) {
        EXPECT_TRUE(fill.matrix.hasScale);
        EXPECT_EQ(fill.matrix.scaleX, 1310720);
        EXPECT_EQ(fill.matrix.scaleY, 1310720);
        EXPECT_EQ(fill.matrix.translateX, 0);
        EXPECT_EQ(fill.matrix.translateY, 0);
    }
    EXPECT_EQ(s.numFillBits, 2);
    EXPECT_EQ(s.numLineBits, 0);
    ASSERT_EQ(s.records.size(), 6u);
    const rd::ShapeRecord& start = s.records[0];
    EXPECT_EQ(start.kind, rd::ShapeRecord::StyleChange);
    EXPECT_TRUE(start.lineStyle && start.fillStyle1 && start.moveTo);
    EXPECT_FALSE(start.fillStyle0);
    EXPECT_EQ(start.moveX, w);
    EXPECT_EQ(start.moveY, h);
    EXPECT_EQ(start.fill1, 2);
    EXPECT_EQ(start.line, 0);
    const struct {
        bool vertical;
        int64_t dx, dy;
    } edges[] = {{false, -w, 0}, {true, 0, -h}, {false, w, 0}, {true, 0, h}};
    for (int i = 0; i < 4; ++i) {
        const rd::ShapeRecord& e = s.records[static_cast<size_t>(i + 1)];
        EXPECT_EQ(e.kind, rd::ShapeRecord::Edge) << i;
        EXPECT_EQ(e.vertical, edges[i].vertical) << i;
        EXPECT_EQ(e.dx, edges[i].dx) << i;
        EXPECT_EQ(e.dy, edges[i].dy) << i;
    }
    EXPECT_EQ(s.records[5].kind, rd::ShapeRecord::End);
}

TEST(SwfMovie, WithoutCrossfadeSlidesArePlacedAtOnceButTheClosingFadeStays) {
    Driver d;
    d.settings.crossfade = false;
    d.settings.framesPerFade = 4;
    d.settings.framesPerSlide = 5;
    d.begin();
    d.add();
    d.add(Qt::darkRed);
    d.finish();
    const rd::File f = d.read();
    EXPECT_EQ(f.frameCount, 30 + 5 + 5 + 4 + 5);
    QStringList expected{"background 0 0 0", frames(30), "jpeg 1", "shape 2",
                         "place 02 depth 0 char 2", frames(5), "jpeg 3", "shape 4",
                         "place 02 depth 1 char 4", frames(5),
                         // The slide under the last one goes, then the last fades out.
                         "remove 0"};
    expected << fadeOut(1, 4);
    expected.last() = frames(6);
    expected << "end";
    EXPECT_EQ(describe(f), expected);
}

TEST(SwfMovie, AFadeOfOneFrameWritesNoFadeInAndOneClosingFrameAtAlphaZero) {
    Driver d;
    d.settings.framesPerFade = 1;
    d.settings.framesPerSlide = 60;
    d.begin();
    d.add();
    d.finish();
    const rd::File f = d.read();
    EXPECT_EQ(f.frameCount, 30 + 60 + 1 + 60);
    EXPECT_EQ(describe(f), (QStringList{"background 0 0 0", frames(30), "jpeg 1", "shape 2",
                                        "place 02 depth 0 char 2", frames(60),
                                        "place 09 depth 0 alpha 0", frames(61), "end"}));
}

TEST(SwfMovie, EarlierSlidesAreRemovedBeforeTheLastFadesToTheBackground) {
    Driver d;
    d.settings.framesPerFade = 10;
    d.settings.framesPerSlide = 3;
    d.begin();
    for (int i = 0; i < 3; ++i)
        d.add(QColor::fromHsv(i * 100, 200, 200));
    d.finish();
    const rd::File f = d.read();
    EXPECT_EQ(f.frameCount, 30 + 3 * (9 + 3) + 10 + 3);
    QStringList expected{"background 0 0 0", frames(30)};
    for (int i = 0; i < 3; ++i) {
        expected << QString("jpeg %1").arg(2 * i + 1) << QString("shape %1").arg(2 * i + 2);
        expected << fadeIn(i, 2 * i + 2, 10);
        expected << QString("place 09 depth %1 alpha 256").arg(i) << frames(3);
    }
    expected << "remove 0"
             << "remove 1";
    // With 10 frames the step is 26 and the last alpha -5, as the closing fade has it.
    expected << fadeOut(2, 10);
    expected.last() = frames(4);
    expected << "end";
    EXPECT_EQ(describe(f), expected);
    EXPECT_EQ(f.withCode(26).back()->cx->alpha, -5);
}

TEST(SwfMovie, AMissingStillDefinesNothingButKeepsItsFrames) {
    Driver d;
    d.settings.framesPerFade = 3;
    d.settings.framesPerSlide = 2;
    d.begin();
    d.add(Qt::darkCyan, /*missing=*/true);
    d.add();
    d.finish();
    const rd::File f = d.read();
    EXPECT_EQ(f.frameCount, 30 + 2 * (2 + 2) + 3 + 2);
    // The fade and the placement refer to character 0: moves on an empty depth.
    QStringList expected{"background 0 0 0",
                         frames(30),
                         "place 0d depth 0 identity alpha 0",
                         "frame",
                         "place 09 depth 0 alpha 85",
                         "frame",
                         "place 09 depth 0 alpha 256",
                         frames(2),
                         "jpeg 1",
                         "shape 2"};
    expected << fadeIn(1, 2, 3) << "place 09 depth 1 alpha 256" << frames(2);
    // Only depth 1 holds a slide: nothing is removed and it fades itself.
    expected << fadeOut(1, 3);
    expected.last() = frames(3);
    expected << "end";
    EXPECT_EQ(describe(f), expected);

    // Without crossfade the plain placement of a missing still is a bare move.
    Driver plain;
    plain.settings.crossfade = false;
    plain.begin();
    plain.add(Qt::darkCyan, true);
    plain.finish();
    EXPECT_EQ(plain.read().withCode(26).at(0)->flags, 0x01);
}

TEST(SwfMovie, ARunWithoutFramesStillGetsItsClosingFrames) {
    Driver d;
    d.settings.framesPerFade = 7;
    d.settings.framesPerSlide = 9;
    d.begin();
    d.finish();
    const rd::File f = d.read();
    EXPECT_EQ(describe(f), (QStringList{"background 0 0 0", frames(16), "end"}));
}

TEST(SwfMovie, LargeFramesGetAWiderHeaderRectangleAndLongEdgesAreSplit) {
    for (const auto& [size, bits] : {std::pair{QSize(819, 819), 15}, std::pair{QSize(820, 600), 16},
                                     std::pair{QSize(1920, 1080), 17}}) {
        Driver d;
        d.size = size;
        d.begin();
        d.add();
        d.finish();
        const rd::File f = d.read();
        EXPECT_EQ(f.frame.nbits, bits) << size.width();
        EXPECT_EQ(f.frame.xMax / 20, size.width());
        EXPECT_EQ(f.frame.yMax / 20, size.height());
        EXPECT_EQ(f.withCode(2).at(0)->bounds.xMax, 20 * size.width());
    }

    // 4000 pixels are 80000 twips, more than one edge record holds.
    swf::SwfMovie movie;
    movie.begin();
    test::ScratchDir dir;
    QImage wide(4000, 8, QImage::Format_RGB32);
    wide.fill(Qt::gray);
    ASSERT_TRUE(WriteStill(wide, dir.file("wide.jpg"), StillJpeg, 50, nullptr));
    movie.addSlide(dir.file("wide.jpg"), 0, 0, 4000, 8, 0, 1, false, 1);
    // Written, so that the identifiers of the next movie start at 1 again.
    ASSERT_TRUE(movie.writeFile(dir.file("wide.swf"), 4000, 8, 30, nullptr));
    rd::File f;
    QString error;
    ASSERT_TRUE(rd::ReadFile(dir.file("wide.swf"), f, &error)) << error.toStdString();
    const rd::Tag& shape = *f.withCode(2).at(0);
    int64_t x = shape.records[0].moveX, y = shape.records[0].moveY, minX = x, maxX = x;
    for (const rd::ShapeRecord& r : shape.records) {
        if (r.kind != rd::ShapeRecord::Edge) continue;
        x += r.dx;
        y += r.dy;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
    }
    // Move, the two long edges in two pieces each, the two short ones, end.
    EXPECT_EQ(shape.records.size(), 8u);
    EXPECT_EQ(minX, 0);
    EXPECT_EQ(maxX, 80000);
    EXPECT_EQ(x, 80000); // the outline closes
    EXPECT_EQ(y, 160);
}

TEST(SwfMovie, TagBodiesUpTo62BytesGetTheShortHeaderFrom63TheLongOne) {
    EXPECT_EQ(swf::TagHeader(21, 62), QByteArray("\x7E\x05", 2));
    EXPECT_EQ(swf::TagHeader(21, 63), QByteArray("\x7F\x05\x3F\x00\x00\x00", 6));
    EXPECT_EQ(swf::TagHeader(1, 0), QByteArray("\x40\x00", 2));

    // A picture tag holds 8 bytes besides the picture: 54 and 55 picture bytes.
    for (const int size : {54, 55}) {
        QByteArray file;
        swf::DefineBitsJpeg2Tag(7, QByteArray(size, 'x')).encode(file);
        ASSERT_EQ(file.size(), size + 8 + (size + 8 < 63 ? 2 : 6));
        const uint16_t word = uint16_t(uchar(file[0]) | (uchar(file[1]) << 8));
        EXPECT_EQ(word >> 6, 21);
        EXPECT_EQ(word & 63, size + 8 < 63 ? size + 8 : 63);
    }
}

TEST(SwfMovie, IdentifiersStartAt1InEveryWrittenMovieAndRunOnAfterAFailedOne) {
    const auto shapeIds = [](Driver& d) {
        std::vector<int> ids;
        for (const rd::Tag& t : d.read().tags)
            if (t.code == 21 || t.code == 2) ids.push_back(t.id);
        return ids;
    };
    Driver first;
    first.begin();
    first.add();
    first.add();
    first.finish();
    EXPECT_EQ(shapeIds(first), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(swf::SwfLastCharacterId(), 0);

    Driver second;
    second.begin();
    second.add();
    second.finish();
    EXPECT_EQ(shapeIds(second), (std::vector<int>{1, 2}));

    // A file that cannot be created keeps the counter and leaves nothing.
    Driver failed;
    failed.settings.exportFileName = failed.dir.file("missing/folder/show.swf");
    failed.begin();
    failed.add();
    failed.finish();
    EXPECT_EQ(failed.shell.errors.size(), 1);
    EXPECT_TRUE(failed.shell.errors.value(0).contains("missing/folder/show.swf"));
    EXPECT_TRUE(failed.shell.written.isEmpty());
    EXPECT_EQ(swf::SwfLastCharacterId(), 2);

    Driver after;
    after.begin();
    after.add();
    after.finish();
    EXPECT_EQ(shapeIds(after), (std::vector<int>{3, 4}));
    EXPECT_EQ(swf::SwfLastCharacterId(), 0);
}

TEST(SwfMovie, AFailedWriteLeavesNoPartOfTheMovieBehind) {
    // A folder where the movie should go: the rename into place fails at the
    // very end, after everything was written beside it.
    Driver d;
    ASSERT_TRUE(QDir().mkdir(d.dir.file("show.swf")));
    d.begin();
    d.add();
    d.finish();
    EXPECT_EQ(d.shell.errors.size(), 1);
    EXPECT_TRUE(d.shell.written.isEmpty());
    EXPECT_EQ(QDir(d.dir.path())
                  .entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"show.swf", "still0.jpg"}));
    EXPECT_TRUE(QFileInfo(d.dir.file("show.swf")).isDir());

    // A written movie puts the counter back for the tests after this one.
    swf::SwfMovie reset;
    reset.begin();
    EXPECT_TRUE(reset.writeFile(d.dir.file("reset.swf"), 1, 1, 1, nullptr));
}

TEST(SwfMovie, AMovieLongerThanTheCountFieldSaysTheLargestCountInsteadOfWrapping) {
    swf::SwfMovie movie;
    movie.begin();
    movie.addEmptyFrames(65536 + 10);
    const QByteArray file = movie.encode(320, 240, 30);
    // Header: signature, version, length, 9 bytes of frame size, rate, count.
    EXPECT_EQ(uchar(file[19]) | (uchar(file[20]) << 8), 65535);
    EXPECT_EQ(movie.frameCount(), 65546);
}

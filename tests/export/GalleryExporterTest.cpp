// The web gallery written by render runs: whole pages against the page
// templates filled in here, thumbnails, row rules, text safety and failures.
#include "export/gallery/GalleryExporter.h"
#include "export/gallery/GalleryPages.h"
#include "render/FrameSource.h"
#include "render/RenderRun.h"
#include "render/StillWriter.h"
#include "selection/Selection.h"
#include "support/ClipMaker.h"
#include "support/TestDirs.h"
#include "tests/render/ScriptedPrompter.h"
#include "video/MediaSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>

using namespace stillora;

namespace {

// The page templates, as the pages are specified.
const char* const kHead = "<head><meta name=\"GENERATOR\" content=\"%s\"><meta "
                          "http-equiv=\"Content-Type\" content=\"text/html; "
                          "charset=windows-1252\"><title>%s</title></head>";
const char* const kBody = "<body bgcolor=\"#%s\" text=\"#%s\" link=\"#%s\" vlink=\"#%s\" "
                          "style=\"font-family: %s; font-size: %s\">";
const char* const kHeading = "<h3 align=\"center\">%S</h3>";
const char* const kFoot = "<p align=\"right\">&nbsp;</p><p align=\"right\">%s</p>";
const char* const kTable =
    "<div align=\"center\"><center><table border=\"%d\" style=\"font-family: "
    "%s; font-size: %s\" cellspacing=\"%d\" cellpadding=\"%d\" "
    "width=\"%s\">";
const char* const kImagePage =
    "<div align=\"center\"><center><table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" "
    "style=\"border-collapse: collapse\" bordercolor=\"#111111\" width=\"100```37\" "
    "id=\"AutoNumber1\" height=\"77```37\"><tr><td align=\"center\" "
    "height=\"95```37\"><IMG SRC=\"%s\"><p>%s</td></tr><tr><td valign=\"top\" "
    "height=\"5```37\" align=\"center\"><BR>| <a href=\"javascript:history.back();\">Back</a> "
    "| <a href=\"%s\">HOME</a> |</td></tr></table></center></div>";
const char* const kLink =
    "<a href=\"%s\"><img border=\"%d\" src=\"%s\" width=\"%d\" height=\"%d\"></a>";
const char* const kInfo = "<a href=\"%s\">%s</a><font size=\"1\"><br>(%.2f Kb)</font>";
const char* const kCell = "<td width=\"%s\" align=\"center\">%s<BR></td>";

// printf-style filling, then the percent marker.
template <class... Args> QString fill(const char* tmpl, Args... args) {
    QByteArray format(tmpl);
    format.replace("%S", "%s");
    QString out = QString::asprintf(format.constData(), args...);
    return out.replace("```37", "%");
}

QByteArray u8(const QString& s) {
    return s.toUtf8();
}

QString header(const QString& title) {
    return "<html>" + fill(kHead, "Stillora 1.0", u8(title).constData()) +
           fill(kBody, "000000", "FFFFFF", "949EFE", "2D50AC", "Verdana", "8pt") +
           fill(kHeading, u8(title).constData());
}

QString footer() {
    const QByteArray made =
        QByteArray("Made with <a HREF=\"") + gallery::kProductPage + "\">Stillora</a>";
    return fill(kFoot, made.constData()) + "</body></html>";
}

struct ExpectedCell {
    QString base;
    QString title;
    int tw, th;
    qint64 bytes;
};

QString indexPage(const QString& title, const std::vector<ExpectedCell>& cells, int columns,
                  int width) {
    QString page = header(title) +
                   fill(kTable, 0, "Verdana", "8pt", 1, 4, u8(QString::number(width)).constData()) +
                   "\r\n<tr>\r\n";
    for (size_t i = 0; i < cells.size(); ++i) {
        const ExpectedCell& c = cells[i];
        const QByteArray html = u8(c.base + "html"), tmb = u8("tmb_" + c.base + "jpg");
        const QString link = fill(kLink, html.constData(), 0, tmb.constData(), c.tw, c.th);
        const QString info =
            fill(kInfo, html.constData(), u8(c.title).constData(), c.bytes / 1024.0);
        page += fill(kCell, u8(QString::number(width / columns)).constData(),
                     u8(link + "<BR>" + info).constData()) +
                "\r\n";
        if (static_cast<int>(i) % columns == columns - 1) page += "</tr><tr>\r\n";
    }
    return page + "</tr>\r\n</table></center></div>" + footer() + "\r\n";
}

QString imagePage(const QString& title, const QString& base, const QString& heading,
                  const QString& index) {
    return header(heading) +
           fill(kImagePage, u8(base + "jpg").constData(), u8(title).constData(),
                u8(index).constData()) +
           footer() + "\r\n";
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Records what the exporter asks and tells.
class RecordingShell : public ExportShell {
public:
    bool isInteractive = true;
    RenderPrompter::Button answer = RenderPrompter::Yes;
    QStringList asked, opened, written, errors;

    bool interactive() const override { return isInteractive; }
    RenderPrompter::Button ask(RenderPrompter::Kind kind, const QString& text,
                               int buttons) override {
        EXPECT_EQ(kind, RenderPrompter::Confirmation);
        EXPECT_EQ(buttons, RenderPrompter::Yes | RenderPrompter::No);
        asked << text;
        return answer;
    }
    void openDocument(const QString& path) override { opened << path; }
    QString askSaveFileName(const QString&, const QString&, const QString&) override { return {}; }
    void outputWritten(const QString& path) override { written << path; }
    void reportError(const QString& message) override { errors << message; }
};

// Drives an exporter the way a render run does, with stills written here.
struct Driver {
    RecordingShell shell;
    QString titleShown;
    std::unique_ptr<RenderExporter> exporter =
        CreateGalleryExporter(shell, [this](const QString& t) { titleShown = t; });
    RenderSettings settings;
    int32_t counter = 0;

    explicit Driver(const QString& folder) { settings.exportFolder = folder; }
    void begin() { exporter->begin(settings, QString()); }
    bool add(const TSelection& selection, int64_t frame, const QString& still,
             QSize size = QSize(160, 120), bool writeStill = true) {
        const QImage picture(size, QImage::Format_RGB32);
        if (writeStill) {
            QImage filled = picture;
            filled.fill(Qt::darkCyan);
            EXPECT_TRUE(WriteStill(filled, still, StillJpeg, 65, nullptr));
        }
        return exporter->addFrame({picture, still, selection, frame, counter++});
    }
    void finish() { exporter->finish({counter, 0, 0, QString()}); }
};

std::unique_ptr<TSelection> selection(const char* caption, int64_t first, int64_t last) {
    auto s = std::make_unique<TSelection>(caption);
    s->StartFrame = first;
    s->EndFrame = last;
    return s;
}

} // namespace

TEST(Gallery, SevenFramesOfAClipGiveRowsOfFiveAndTwo) {
    test::ScratchDir dir;
    const QString clip = dir.file("clip.mp4");
    ASSERT_TRUE(test::makeClip(clip, 7, {"-c:v", "libx264", "-pix_fmt", "yuv420p"}, nullptr,
                               QSize(720, 576)));
    auto media = createMediaSource();
    std::string error;
    ASSERT_TRUE(media->open(SourceKind::File, clip.toStdString(), &error)) << error;
    MediaFrameSource source(*media);
    test::ScriptedPrompter prompter;
    RecordingShell shell;
    const auto exporter = CreateGalleryExporter(shell);
    RenderRun run;
    run.setPrompter(&prompter);
    run.setFrameSource(&source);
    run.setExporter(exporter.get());
    const auto intro = selection("Intro", 0, 6);
    RenderSettings settings;
    settings.exportKind = WebGallery;
    settings.exportFolder = dir.file("out");
    ASSERT_TRUE(QDir().mkdir(settings.exportFolder));
    ASSERT_EQ(run.Run({intro.get()}, settings, false), RenderRun::Outcome::Completed);

    const QString out = settings.exportFolder + "/";
    std::vector<ExpectedCell> cells;
    for (int i = 0; i < 7; ++i) {
        const QString base = QString("Untitled_Intro_%1.").arg(i, 3, 10, QChar('0'));
        const QImage thumb(out + "tmb_" + base + "jpg");
        EXPECT_EQ(thumb.size(), QSize(72, 58)) << base.toStdString();
        cells.push_back(
            {base, QString("Intro Frame %1").arg(i), 72, 58, QFileInfo(out + base + "jpg").size()});
    }
    const QByteArray index = contents(out + "My Photo Gallery.html");
    EXPECT_EQ(index, indexPage("My Photo Gallery", cells, 5, 800).toLatin1());
    EXPECT_EQ(index.count("<tr>"), 2);
    EXPECT_EQ(index.count("<td width=\"160\""), 7);
    EXPECT_EQ(contents(out + "Untitled_Intro_003.html"),
              imagePage("Intro Frame 3", "Untitled_Intro_003.", "My Photo Gallery",
                        "My Photo Gallery.html")
                  .toLatin1());

    const QString indexPath = QFileInfo(out + "My Photo Gallery.html").absoluteFilePath();
    ASSERT_EQ(shell.asked.size(), 1);
    EXPECT_EQ(shell.asked[0], "The web gallery created in:\r\n\r\n" + indexPath +
                                  "\r\n\r\nis ready to be viewed.\r\nDo you want to view the "
                                  "results with the default browser?");
    EXPECT_EQ(shell.opened, QStringList{indexPath});
    EXPECT_TRUE(shell.errors.isEmpty());
}

TEST(Gallery, AFullLastRowIsFollowedByAnEmptyRowAndAnEmptyTitleGivesIndex) {
    test::ScratchDir dir;
    Driver gallery(dir.path());
    gallery.settings.gallery.title = "";
    gallery.shell.isInteractive = false; // as in the batch tool
    gallery.begin();
    const auto shot = selection("Shot", 100, 100);
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(gallery.add(*shot, 100, dir.file(QString("s_%1.jpg").arg(i))));
    gallery.finish();

    const QByteArray index = contents(dir.file("index.html"));
    EXPECT_TRUE(index.endsWith("</tr><tr>\r\n</tr>\r\n</table></center></div>" +
                               footer().toLatin1() + "\r\n"));
    EXPECT_EQ(index.count("<tr>"), 3);
    EXPECT_EQ(index.count("</tr>"), 3);
    EXPECT_TRUE(index.contains("<title></title>"));
    EXPECT_TRUE(index.contains("<h3 align=\"center\"></h3>"));
    EXPECT_EQ(contents(dir.file("s_4.html")),
              imagePage("Shot", "s_4.", "", "index.html").toLatin1());
    EXPECT_EQ(gallery.titleShown, "index");
    // No question without a person: the index path is reported instead.
    EXPECT_TRUE(gallery.shell.asked.isEmpty());
    EXPECT_EQ(gallery.shell.written,
              QStringList{QFileInfo(dir.file("index.html")).absoluteFilePath()});
}

TEST(Gallery, RowsSettingChangesNothing) {
    QByteArray first;
    for (int rows : {1, 25}) {
        test::ScratchDir dir;
        Driver gallery(dir.path());
        gallery.settings.gallery.rows = rows;
        gallery.settings.gallery.columns = 3;
        gallery.begin();
        const auto shot = selection("Shot", 0, 9);
        for (int i = 0; i < 8; ++i)
            gallery.add(*shot, i, dir.file(QString("s_%1.jpg").arg(i)));
        gallery.finish();
        const QByteArray index = contents(dir.file("My Photo Gallery.html"));
        EXPECT_EQ(index.count("<tr>"), 3);
        if (first.isEmpty())
            first = index;
        else
            EXPECT_EQ(index, first);
    }
}

TEST(Gallery, TitlesSizesAndStillsThatCannotBeRead) {
    test::ScratchDir dir;
    Driver gallery(dir.path());
    gallery.settings.gallery.edge = true;
    gallery.begin();
    const auto one = selection("Intro", 1234, 1234);
    const auto span = selection("Intro", 1200, 1300);
    gallery.add(*one, 1234, dir.file("a.jpg"), QSize(720, 576));
    // A still of 2,560 bytes that is no picture: listed, but no thumbnail.
    QFile odd(dir.file("b.jpg"));
    ASSERT_TRUE(odd.open(QIODevice::WriteOnly));
    odd.write(QByteArray(2560, 'x'));
    odd.close();
    gallery.add(*span, 1234, dir.file("b.jpg"), QSize(720, 576), false);
    // A still whose save failed.
    gallery.add(*span, 1235, dir.file("c.jpg"), QSize(720, 576), false);
    gallery.finish();

    const QString index = QString::fromLatin1(contents(dir.file("My Photo Gallery.html")));
    EXPECT_TRUE(index.contains("<a href=\"a.html\">Intro</a>"));
    EXPECT_TRUE(index.contains("<a href=\"b.html\">Intro Frame 1234</a><font size=\"1\"><br>"
                               "(2.50 Kb)</font>"));
    EXPECT_TRUE(index.contains("<a href=\"c.html\">Intro Frame 1235</a><font size=\"1\"><br>"
                               "(0.00 Kb)</font>"));
    EXPECT_TRUE(index.contains("<a href=\"b.html\"><img border=\"1\" src=\"tmb_b.jpg\" "
                               "width=\"72\" height=\"58\"></a>"));
    EXPECT_EQ(QImage(dir.file("tmb_a.jpg")).size(), QSize(72, 58));
    EXPECT_FALSE(QFileInfo::exists(dir.file("tmb_b.jpg")));
    EXPECT_FALSE(QFileInfo::exists(dir.file("tmb_c.jpg")));
    EXPECT_TRUE(QFileInfo::exists(dir.file("c.html")));
    EXPECT_TRUE(gallery.shell.errors.isEmpty());
}

TEST(Gallery, CaptionsAndTitlesShowAsTypedAndNeverOpenATag) {
    test::ScratchDir dir;
    Driver gallery(dir.path());
    gallery.settings.gallery.title = QString::fromUtf8("Caf\xC3\xA9 \xE2\x98\x95 & <b>");
    gallery.begin();
    const auto tom = selection("Tom & Jerry <2>", 5, 5);
    gallery.add(*tom, 5, dir.file("Untitled_Tom & Jerry <2>_000.jpg"));
    gallery.finish();

    const QString indexName = QString::fromUtf8("Caf\xC3\xA9 \xE2\x98\x95 & <b>.html");
    const QByteArray index = contents(dir.file(indexName));
    EXPECT_TRUE(index.contains("<title>Caf\xE9 &#9749; &amp; &lt;b&gt;</title>"));
    EXPECT_TRUE(index.contains(">Tom &amp; Jerry &lt;2&gt;</a>"));
    EXPECT_TRUE(index.contains("href=\"Untitled_Tom &amp; Jerry &lt;2&gt;_000.html\""));
    EXPECT_FALSE(index.contains("<2>"));
    EXPECT_FALSE(index.contains("<b>"));
    const QByteArray page = contents(dir.file("Untitled_Tom & Jerry <2>_000.html"));
    EXPECT_TRUE(page.contains("<a href=\"Caf\xE9 &#9749; &amp; &lt;b&gt;.html\">HOME</a>"));
    EXPECT_TRUE(page.contains("<IMG SRC=\"Untitled_Tom &amp; Jerry &lt;2&gt;_000.jpg\">"));
    EXPECT_TRUE(QFileInfo::exists(dir.file("tmb_Untitled_Tom & Jerry <2>_000.jpg")));
}

TEST(Gallery, APageThatCannotBeWrittenEndsTheRunWithoutAnIndex) {
    test::ScratchDir dir;
    {
        // The still is written, its page cannot be.
        Driver gallery(dir.file("missing"));
        gallery.begin();
        const auto shot = selection("Shot", 0, 0);
        EXPECT_FALSE(gallery.add(*shot, 0, dir.file("s.jpg")));
        gallery.finish();
        ASSERT_EQ(gallery.shell.errors.size(), 1);
        EXPECT_TRUE(gallery.shell.errors[0].contains(dir.file("missing") + "/s.html"));
        EXPECT_TRUE(gallery.shell.asked.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(dir.file("missing")));
    }
    {
        // The index cannot take its name: the page beside it is gone again.
        ASSERT_TRUE(QDir(dir.path()).mkpath("My Photo Gallery.html/x"));
        Driver gallery(dir.path());
        gallery.begin();
        const auto shot = selection("Shot", 0, 0);
        EXPECT_TRUE(gallery.add(*shot, 0, dir.file("s.jpg")));
        gallery.finish();
        ASSERT_EQ(gallery.shell.errors.size(), 1);
        EXPECT_TRUE(gallery.shell.errors[0].contains("My Photo Gallery.html"));
        EXPECT_TRUE(gallery.shell.asked.isEmpty());
        EXPECT_TRUE(QFileInfo(dir.file("My Photo Gallery.html")).isDir());
        const QStringList left = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
        EXPECT_EQ(left, (QStringList{"s.html", "s.jpg", "tmb_s.jpg"}));
    }
}

TEST(Gallery, ThumbnailsAverageFineDetailInsteadOfAliasing) {
    test::ScratchDir dir;
    // One-pixel black and white stripes: any point sampling gives black or white.
    QImage stripes(1920, 1080, QImage::Format_RGB32);
    for (int y = 0; y < stripes.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(stripes.scanLine(y));
        for (int x = 0; x < stripes.width(); ++x)
            line[x] = ((x + y) & 1) ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    }
    ASSERT_TRUE(WriteStill(stripes, dir.file("s.jpg"), StillJpeg, 100, nullptr));
    Driver gallery(dir.path());
    gallery.begin();
    const auto shot = selection("Shot", 0, 0);
    gallery.exporter->addFrame({stripes, dir.file("s.jpg"), *shot, 0, 0});
    const QImage thumb(dir.file("tmb_s.jpg"));
    ASSERT_EQ(thumb.size(), QSize(192, 108));
    int low = 255, high = 0;
    for (int y = 0; y < thumb.height(); ++y)
        for (int x = 0; x < thumb.width(); ++x) {
            low = std::min(low, qGray(thumb.pixel(x, y)));
            high = std::max(high, qGray(thumb.pixel(x, y)));
        }
    EXPECT_GT(low, 100);
    EXPECT_LT(high, 156);
}

// The text rules of the web gallery pages: templates, code page, escaping
// and the numbers written into them.
#include "export/gallery/GalleryPages.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace stillora;
using namespace stillora::gallery;

TEST(GalleryText, TemplateMarkersBecomePercentButFilledTextStaysAsTyped) {
    EXPECT_EQ(FillTemplate("width=\"100```37\" %s|%d|%.2f|%S", {"a", "7", "2.50", "b"}),
              "width=\"100%\" a|7|2.50|b");
    // A caption that looks like a marker or a placeholder is not expanded.
    EXPECT_EQ(FillTemplate("<p>%s</p>", {"50```37 %s"}), "<p>50```37 %s</p>");
}

TEST(GalleryText, PagesAreWindows1252WithReferencesForEverythingElse) {
    EXPECT_EQ(EncodeWindows1252(QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC 5")),
              QByteArray("Caf\xE9 \x80 5"));
    // Outside the code page: one reference per character, pairs joined.
    EXPECT_EQ(EncodeWindows1252(QString::fromUtf8("\xE3\x81\x82\xF0\x9F\x98\x80")),
              QByteArray("&#12354;&#128512;"));
    // C1 controls would be read as windows-1252 characters by a browser.
    EXPECT_EQ(EncodeWindows1252(QString(QChar(0x80))), QByteArray("&#65533;"));
    EXPECT_EQ(EncodeWindows1252(QString(QChar(0xD800))), QByteArray("&#65533;"));
}

TEST(GalleryText, UserTextCannotOpenATagAndFileNamesStayLinks) {
    EXPECT_EQ(HtmlEscape("Tom & Jerry <2> \"x\""), "Tom &amp; Jerry &lt;2&gt; &quot;x&quot;");
    EXPECT_EQ(UrlEscape("Shot #1 100%? a&b.html"), "Shot %231 100%25%3F a&amp;b.html");
}

TEST(GalleryText, NumbersAsTheyAreWritten) {
    // Colours as stored: red in the low byte.
    EXPECT_EQ(HtmlColor(QColor(16686740 & 0xFF, (16686740 >> 8) & 0xFF, 16686740 >> 16)), "949EFE");
    EXPECT_EQ(HtmlColor(QColor(45, 80, 172)), "2D50AC");
    EXPECT_EQ(HtmlColor(QColor(0, 0, 0)), "000000");

    EXPECT_EQ(TableWidth("0800"), 800);
    EXPECT_EQ(TableWidth(" 1234 "), 1234);
    EXPECT_EQ(TableWidth(""), 800);
    EXPECT_EQ(TableWidth("12a"), 800);

    EXPECT_EQ(ThumbnailExtent(10, 720), 72);
    EXPECT_EQ(ThumbnailExtent(10, 576), 58); // 57.6
    EXPECT_EQ(ThumbnailExtent(5, 50), 2);    // 2.5 goes to the even 2
    EXPECT_EQ(ThumbnailExtent(5, 70), 4);    // 3.5 goes to the even 4
    EXPECT_EQ(ThumbnailExtent(1, 20), 0);

    // A point whatever the locale.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Kilobytes(2560), "2.50");
    EXPECT_EQ(Kilobytes(0), "0.00");
    EXPECT_EQ(Kilobytes(1023), "1.00");
    QLocale::setDefault(QLocale::c());
}

TEST(GalleryText, NamesOfPagesAndTitles) {
    EXPECT_EQ(IndexFileName(""), "index.html");
    EXPECT_EQ(IndexFileName("My Photo Gallery"), "My Photo Gallery.html");
    // A title never puts the index outside the export folder.
    EXPECT_EQ(IndexFileName("../up/x"), ".._up_x.html");

    EXPECT_EQ(StillBase("/out/Untitled_Intro_00003.jpg"), "Untitled_Intro_00003.");
    // A caption holding the extension does not cut the name short.
    EXPECT_EQ(StillBase("/out/Untitled_a.jpg_001.jpg"), "Untitled_a.jpg_001.");

    EXPECT_EQ(FrameTitle("Intro", true, 1234), "Intro");
    EXPECT_EQ(FrameTitle("Intro", false, 1234), "Intro Frame 1234");
}

// The shared kit: bitmap class, random generator, parameter table, bridge.

#include "PluginHarness.h"

#include "plugins/common/DibBridge.h"
#include "plugins/common/PixelEngine.h"
#include "plugins/common/PluginRandom.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <sstream>

namespace stillora::test {
namespace {

template <typename F> std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

// ---- TPluginBitmap ----------------------------------------------------------

TEST(PluginBitmap, RowsArePaddedToFourBytesAndPaddingStaysZero) {
    for (int32_t w = 1; w <= 5; ++w) {
        TPluginBitmap b = Noise(w, 3, 7);
        b.setPixelFormat(TPixelFormat::pf24bit);
        EXPECT_EQ(b.stride(), size_t((w * 3 + 3) / 4 * 4)) << "width " << w;
        for (int32_t y = 0; y < 3; ++y)
            for (size_t i = size_t(w) * 3; i < b.stride(); ++i)
                EXPECT_EQ(b.scanLine(y)[i], 0) << "width " << w << " row " << y;
    }
}

TEST(PluginBitmap, ScanLineOutsideThePictureRaises) {
    TPluginBitmap b(4, 3, TPixelFormat::pf24bit);
    EXPECT_EQ(ErrorOf([&] { b.scanLine(-1); }), "Scan line index out of range");
    EXPECT_EQ(ErrorOf([&] { b.scanLine(3); }), "Scan line index out of range");
    EXPECT_NO_THROW(b.scanLine(2));
}

TEST(PluginBitmap, ConversionBetween32And24BitsKeepsEveryPixel) {
    // Odd width: the 24-bit rows carry padding, so the in-place compaction
    // and expansion move every row.
    const TPluginBitmap original = Noise(37, 11, 1);
    TPluginBitmap b(original);
    b.setPixelFormat(TPixelFormat::pf24bit);
    EXPECT_EQ(b.pixelFormat(), TPixelFormat::pf24bit);
    EXPECT_TRUE(SamePixels(b, original));
    b.setPixelFormat(TPixelFormat::pf32bit);
    EXPECT_EQ(b.pixelFormat(), TPixelFormat::pf32bit);
    EXPECT_TRUE(SamePixels(b, original));
}

TEST(PluginBitmap, SixteenAndFifteenBitFormatsKeepTheirSignificantBits) {
    TPluginBitmap b = Filled(3, 2, Rgb(200, 100, 50));
    b.setPixelFormat(TPixelFormat::pf16bit);
    EXPECT_EQ(b.pixel(1, 1), Rgb(206, 101, 49));
    b = Filled(3, 2, Rgb(200, 100, 50));
    b.setPixelFormat(TPixelFormat::pf15bit);
    EXPECT_EQ(b.pixel(2, 0), Rgb(206, 99, 49));
    b = Filled(1, 1, Rgb(255, 255, 255));
    b.setPixelFormat(TPixelFormat::pf16bit);
    EXPECT_EQ(b.pixel(0, 0), Rgb(255, 255, 255));
}

TEST(PluginBitmap, EightBitFormatUsesNearestPaletteEntry) {
    TPluginBitmap b = MakePicture(
        2, 1, [](int32_t x, int32_t) { return x == 0 ? Rgb(250, 10, 10) : Rgb(10, 10, 240); });
    b.setPalette({Rgb(0, 0, 0), Rgb(255, 0, 0), Rgb(0, 0, 255)});
    b.setPixelFormat(TPixelFormat::pf8bit);
    EXPECT_EQ(b.scanLine(0)[0], 1);
    EXPECT_EQ(b.scanLine(0)[1], 2);
    b.setPixelFormat(TPixelFormat::pf24bit);
    EXPECT_EQ(b.pixel(0, 0), Rgb(255, 0, 0));
    // Without a palette a colour cube is made up.
    TPluginBitmap c = Filled(2, 2, Rgb(255, 255, 255));
    c.setPixelFormat(TPixelFormat::pf8bit);
    EXPECT_EQ(c.palette().size(), 256u);
    EXPECT_EQ(c.pixel(1, 1), Rgb(255, 255, 255));
}

TEST(PluginBitmap, RejectsUnknownFormatsAndImpossibleSizes) {
    TPluginBitmap b(2, 2);
    EXPECT_EQ(ErrorOf([&] { b.setPixelFormat(TPixelFormat(1)); }), "Invalid Pixelformat");
    EXPECT_EQ(ErrorOf([&] { b.setSize(-1, 4); }), "Bad dimension");
    EXPECT_EQ(ErrorOf([&] { b.setSize(INT32_MAX, INT32_MAX); }), "DIB out of memory");
    // A failed change leaves the bitmap as it was.
    EXPECT_EQ(b.width(), 2);
    EXPECT_EQ(b.pixelFormat(), TPixelFormat::pf32bit);
}

TEST(PluginBitmap, CopiesAreIndependent) {
    TPluginBitmap a = Noise(5, 4, 3);
    TPluginBitmap b;
    b = a;
    b.setPixel(0, 0, Rgb(1, 2, 3));
    EXPECT_NE(a.pixel(0, 0), b.pixel(0, 0));
    TPluginBitmap c(a);
    c.setPixelFormat(TPixelFormat::pf24bit);
    EXPECT_EQ(a.pixelFormat(), TPixelFormat::pf32bit);
    EXPECT_TRUE(SamePixels(a, c));
}

TEST(PluginBitmap, HostRowsGoInAndComeBackWithOpaqueReservedByte) {
    // Rows wider than the picture, as a host image with its own stride.
    const int32_t w = 3, h = 2;
    const ptrdiff_t stride = 20;
    std::vector<uint8_t> rows(size_t(stride) * h, 0xEE);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = rows.data() + y * stride + 4 * x;
            p[0] = uint8_t(10 * x), p[1] = uint8_t(20 * y), p[2] = 99, p[3] = 0;
        }
    TPluginBitmap b;
    b.assignBGRX(w, h, rows.data(), stride);
    EXPECT_EQ(b.pixel(2, 1), Rgb(99, 20, 20));
    b.setPixelFormat(TPixelFormat::pf24bit); // plug-ins return 24-bit only on errors
    std::vector<uint8_t> back(size_t(stride) * h, 0x11);
    b.copyToBGRX(back.data(), stride);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* p = back.data() + y * stride + 4 * x;
            EXPECT_EQ(p[0], 10 * x);
            EXPECT_EQ(p[1], 20 * y);
            EXPECT_EQ(p[2], 99);
            EXPECT_EQ(p[3], 255);
        }
    EXPECT_EQ(back[size_t(stride) - 1], 0x11); // nothing past the pixels
}

TEST(PluginBitmap, BmpStreamRoundTripKeepsFormatPaletteAndPixels) {
    for (TPixelFormat f : {TPixelFormat::pf8bit, TPixelFormat::pf15bit, TPixelFormat::pf16bit,
                           TPixelFormat::pf24bit, TPixelFormat::pf32bit}) {
        TPluginBitmap b = Noise(7, 5, 11);
        b.setPixelFormat(f);
        std::stringstream stream;
        b.saveToStream(stream);
        TPluginBitmap loaded;
        loaded.loadFromStream(stream);
        EXPECT_EQ(loaded.pixelFormat(), f);
        EXPECT_EQ(loaded.palette(), b.palette());
        EXPECT_TRUE(SamePixels(loaded, b)) << "format " << int(f);
    }
}

TEST(PluginBitmap, LoadsTopDownAndOneBitFiles) {
    // 2 x 2, 1 bit per pixel, top-down (negative height), palette black/white.
    std::vector<uint8_t> file = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0, 40, 0, 0, 0, 2, 0,
                                 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 1, 0, 0, 0, 0, 0, 8, 0, 0, 0,
                                 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255,
                                 255, 255, 0, 0x80, 0, 0, 0, // row 0: white,
                                                             // black
                                 0x40, 0, 0, 0};             // row 1: black, white
    TPluginBitmap b;
    b.loadFromBMP(file.data(), file.size());
    EXPECT_EQ(b.pixelFormat(), TPixelFormat::pf8bit);
    EXPECT_EQ(b.pixel(0, 0), Rgb(255, 255, 255));
    EXPECT_EQ(b.pixel(1, 0), 0u);
    EXPECT_EQ(b.pixel(0, 1), 0u);
    EXPECT_EQ(b.pixel(1, 1), Rgb(255, 255, 255));
}

TEST(PluginBitmap, MalformedStreamRaisesAndLeavesBitmapUnchanged) {
    TPluginBitmap good = Noise(9, 3, 2);
    good.setPixelFormat(TPixelFormat::pf24bit);
    std::vector<uint8_t> bytes = good.saveToBMP();
    TPluginBitmap b = Filled(2, 2, Rgb(1, 2, 3));
    for (size_t cut : {size_t(0), size_t(10), size_t(30), bytes.size() - 1}) {
        EXPECT_EQ(ErrorOf([&] { b.loadFromBMP(bytes.data(), cut); }), "Bitmap image is not valid")
            << "cut at " << cut;
    }
    std::vector<uint8_t> rle = bytes;
    rle[30] = 1; // compressed
    EXPECT_EQ(ErrorOf([&] { b.loadFromBMP(rle.data(), rle.size()); }), "Bitmap image is not valid");
    EXPECT_EQ(b.width(), 2);
    EXPECT_EQ(b.pixel(1, 1), Rgb(1, 2, 3));
}

// ---- random generator -------------------------------------------------------

TEST(SharedRandom, StaysInRangeAndZeroForEmptyRange) {
    stillora_random_seed(5);
    std::set<int32_t> seen;
    for (int i = 0; i < 2000; ++i) {
        const int32_t v = stillora_random(7);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 7);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 7u);
    EXPECT_EQ(stillora_random(0), 0);
    EXPECT_EQ(stillora_random(-3), 0);
    EXPECT_EQ(stillora_random(1), 0);
}

TEST(SharedRandom, SeedRepeatsTheSequence) {
    stillora_random_seed(42);
    std::vector<int32_t> first;
    for (int i = 0; i < 20; ++i)
        first.push_back(stillora_random(1000));
    stillora_random_seed(42);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(stillora_random(1000), first[size_t(i)]);
}

TEST(SharedRandom, BulkDrawsMatchSingleDrawsAndContinueTheSequence) {
    for (size_t n : {size_t(1), size_t(7), size_t(8), size_t(13), size_t(64)}) {
        stillora_random_seed(99);
        std::vector<uint32_t> words(n);
        stillora_random_words(words.data(), n);
        const int32_t after = stillora_random(1 << 30);
        stillora_random_seed(99);
        for (size_t i = 0; i < n; ++i)
            EXPECT_EQ(int32_t(stillora_random_scale(words[i], 1000)), stillora_random(1000))
                << "draw " << i << " of " << n;
        EXPECT_EQ(stillora_random(1 << 30), after) << n;
    }
}

// ---- parameter table --------------------------------------------------------

TEST(PluginTable, EntriesCarryTheirDefaultsBoundsAndAutomaticPlace) {
    TPluginTable t("x", nullptr);
    EXPECT_EQ(t.addParam("Plain", STILLORA_VALUE_INTEGER, 7, STILLORA_CONTROL_KNOB), 0);
    EXPECT_EQ(t.addRangedInteger("Ranged", STILLORA_VALUE_INTEGER, -5, 1, -10, 10), 1);
    const TPluginParam* plain = t.get(0);
    EXPECT_EQ(plain->Value.vt, STILLORA_VT_UI1);
    EXPECT_EQ(plain->MinValue.vt, STILLORA_VT_UI1);
    EXPECT_EQ(plain->MaxValue.u.bVal, 255);
    EXPECT_EQ(plain->Left, -1);
    EXPECT_EQ(plain->Top, -1);
    // A default that does not fit a byte keeps its sign.
    EXPECT_EQ(t.intValue(1), -5);
    EXPECT_EQ(t.get(1)->MinValue.vt, STILLORA_VT_I4);
    EXPECT_EQ(t.get(1)->MinValue.u.lVal, -10);
}

TEST(PluginTable, LongNamesAreCutTo127BytesInAZeroFilledBuffer) {
    const std::string longName(300, 'n');
    TPluginTable t(longName.c_str(), nullptr);
    EXPECT_EQ(std::strlen(t.name()), 127u);
    t.setName("ab");
    for (int i = 2; i < STILLORA_PLUGIN_NAME_SIZE; ++i)
        ASSERT_EQ(t.name()[i], 0) << i;
}

TEST(PluginTable, VariantsOfAnyIntegerTagReadBack) {
    TPluginVariant v{};
    v.vt = 2; // 16-bit integer
    v.u.boolVal = -300;
    EXPECT_EQ(VariantToInt(v), -300);
    v = {};
    v.vt = 5; // double
    const double d = 41.6;
    std::memcpy(&v.u, &d, sizeof d);
    EXPECT_EQ(VariantToInt(v), 42);
    EXPECT_EQ(VariantToInt(MakeVariantBool(true)), -1);
    EXPECT_TRUE(VariantToBool(MakeVariantInt(1)));
    EXPECT_EQ(VariantToInt(MakeVariantByte(200)), 200);
}

// ---- bitmap bridge and engine -----------------------------------------------

TEST(BitmapBridge, SourceNotIn24BitsRaisesBeforeTouchingTheDestination) {
    TPluginBitmap source = Noise(4, 4, 1); // 32-bit
    TPluginBitmap dest = Filled(2, 3, Rgb(9, 9, 9));
    TEngineArgs args;
    args.kind = ekLightness;
    EXPECT_EQ(ErrorOf([&] { RunEffectPass(source, dest, args); }), "Invalid Pixelformat");
    EXPECT_EQ(dest.width(), 2);
    EXPECT_EQ(dest.pixelFormat(), TPixelFormat::pf32bit);
    EXPECT_EQ(dest.pixel(1, 2), Rgb(9, 9, 9));
}

TEST(BitmapBridge, EmptySourceGivesBadDimensionAndNoDib) {
    TPluginBitmap source(0, 0, TPixelFormat::pf24bit), dest(3, 3, TPixelFormat::pf24bit);
    TEngineArgs args;
    args.kind = ekGrey;
    EXPECT_EQ(ErrorOf([&] { RunEffectPass(source, dest, args); }), "Bad dimension");
    TDIBReader reader(source);
    EXPECT_EQ(ErrorOf([&] { reader.row(0); }), "No DIB");
    uint8_t bgr[3] = {1, 1, 1};
    reader.readPixel(0, 0, bgr);
    EXPECT_EQ(bgr[0] + bgr[1] + bgr[2], 0);
}

TEST(BitmapBridge, ReaderGivesBlackOutsideAndRaisesForBadRows) {
    TPluginBitmap source = Filled(3, 2, Rgb(30, 20, 10));
    source.setPixelFormat(TPixelFormat::pf24bit);
    TDIBReader reader(source);
    uint8_t bgr[3];
    for (auto [row, col] : {std::pair{-1, 0}, {0, 3}, {2, 0}, {0, -1}}) {
        bgr[0] = bgr[1] = bgr[2] = 7;
        reader.readPixel(row, col, bgr);
        EXPECT_EQ(bgr[0] + bgr[1] + bgr[2], 0) << row << "," << col;
    }
    reader.readPixel(1, 2, bgr);
    EXPECT_EQ(bgr[2], 30);
    EXPECT_EQ(ErrorOf([&] { reader.row(2); }), "Scan line index out of range");
    EXPECT_EQ(ErrorOf([&] { reader.row(-1); }), "Scan line index out of range");
}

TEST(BitmapBridge, WriterAcceptsOnly24BitsAndNonEmptySizes) {
    TPluginBitmap dest(2, 2, TPixelFormat::pf24bit);
    EXPECT_EQ(ErrorOf([&] { TDIBWriter(dest, 2, 2, TPixelFormat::pf32bit, false); }),
              "Invalid Pixelformat");
    EXPECT_EQ(ErrorOf([&] { TDIBWriter(dest, 0, 2, TPixelFormat::pf24bit, false); }),
              "Bad dimension");
    EXPECT_EQ(ErrorOf([&] { TDIBWriter(dest, 2, 0, TPixelFormat::pf24bit, false); }),
              "Bad dimension");
}

TEST(BitmapBridge, DestinationTakesTheSourceShape) {
    TPluginBitmap source = Noise(5, 3, 4);
    source.setPixelFormat(TPixelFormat::pf24bit);
    TPluginBitmap dest(9, 9, TPixelFormat::pf32bit);
    TEngineArgs args;
    args.kind = ekNegative;
    RunEffectPass(source, dest, args);
    EXPECT_EQ(dest.width(), 5);
    EXPECT_EQ(dest.height(), 3);
    EXPECT_EQ(dest.pixelFormat(), TPixelFormat::pf24bit);
    EXPECT_EQ(dest.pixel(4, 2), source.pixel(4, 2) ^ 0xFFFFFFu);
    for (int32_t y = 0; y < 3; ++y) // width 5: one padding byte per row
        EXPECT_EQ(dest.scanLine(y)[15], 0);
}

TEST(BitmapBridge, PassOntoItsOwnSourceEndsWithTheWrittenPixels) {
    // Antialias reads neighbours, so a pass onto its own source must not see
    // its own output; the result reaches the bitmap when the pass ends.
    TPluginBitmap picture = Noise(6, 5, 8);
    picture.setPixelFormat(TPixelFormat::pf24bit);
    TPluginBitmap separate(1, 1, TPixelFormat::pf24bit);
    TEngineArgs args;
    args.kind = ekAntialias;
    RunEffectPass(picture, separate, args);
    RunEffectPass(picture, picture, args);
    EXPECT_TRUE(SamePixels(picture, separate));
}

TEST(PixelEngine, KindsWithoutRuleClearEnabledChannelsOnly) {
    TPluginBitmap source = Filled(3, 2, Rgb(10, 20, 30));
    source.setPixelFormat(TPixelFormat::pf24bit);
    TPluginBitmap dest;
    TEngineArgs args;
    args.kind = 10;
    args.green = false;
    RunEffectPass(source, dest, args);
    EXPECT_EQ(dest.pixel(2, 1), Rgb(0, 20, 0));
    args.kind = 3;
    EXPECT_THROW(RunEffectPass(source, dest, args), TPluginError);
    args.kind = 16;
    EXPECT_THROW(RunEffectPass(source, dest, args), TPluginError);
}

TEST(PixelEngine, ReportsProgressOncePerRow) {
    static std::vector<int32_t> positions;
    positions.clear();
    TPluginBitmap source = Filled(2, 4, 0);
    source.setPixelFormat(TPixelFormat::pf24bit);
    TPluginBitmap dest;
    TEngineArgs args;
    args.kind = ekGrey;
    args.progress = [](int32_t low, int32_t high, int32_t position) {
        EXPECT_EQ(low, 0);
        EXPECT_EQ(high, 100);
        positions.push_back(position);
    };
    RunEffectPass(source, dest, args);
    EXPECT_EQ(positions, (std::vector<int32_t>{0, 25, 50, 75}));
}

} // namespace
} // namespace stillora::test

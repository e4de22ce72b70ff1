// The seven effects, run through RunProcBMP of the built libraries. Where an
// effect has a fast path, the whole picture is compared with a plain
// reference computation.

#include "PluginHarness.h"

#include "plugins/common/PluginRandom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace stillora::test {
namespace {

int Ch(uint32_t rgb, int c) {
    return int((rgb >> (16 - 8 * c)) & 255);
} // 0 red, 1 green, 2 blue
uint32_t FromChannels(const int v[3]) {
    return Rgb(uint32_t(v[0]), uint32_t(v[1]), uint32_t(v[2]));
}

// Reference: applies f to every channel c of every pixel.
TPluginBitmap MapChannels(const TPluginBitmap& in, const std::function<int(int c, int v)>& f) {
    return MakePicture(in.width(), in.height(), [&](int32_t x, int32_t y) {
        int v[3];
        for (int c = 0; c < 3; ++c)
            v[c] = f(c, Ch(in.pixel(x, y), c));
        return FromChannels(v);
    });
}

const std::vector<std::pair<int32_t, int32_t>> kSizes = {{1, 1}, {1, 5}, {5, 1}, {2, 2},  {3, 4},
                                                         {6, 6}, {7, 7}, {8, 5}, {23, 17}};

// ---- Lightness --------------------------------------------------------------

enum { kAmount, kR, kG, kB, kNeg };

TEST(Lightness, AddsTheAmountAndClampsEachChannel) {
    const Plugin& p = Load("lightness.so");
    ParamRestorer restore(p);
    const TPluginBitmap picture = Filled(3, 2, Rgb(200, 100, 0));
    p.setInt(kAmount, 100);
    EXPECT_EQ(Apply(p, picture).pixel(2, 1), Rgb(255, 200, 100));
    p.setInt(kAmount, -100);
    EXPECT_EQ(Apply(p, picture).pixel(0, 0), Rgb(100, 0, 0));
    p.setInt(kAmount, 0);
    EXPECT_TRUE(SamePixels(Apply(p, Noise(9, 4, 5)), Noise(9, 4, 5)));
}

TEST(Lightness, OnlyEnabledChannelsChange) {
    const Plugin& p = Load("lightness.so");
    ParamRestorer restore(p);
    p.setInt(kAmount, 50);
    p.setBool(kR, false);
    p.setBool(kB, false);
    EXPECT_EQ(Apply(p, Filled(2, 2, Rgb(200, 100, 0))).pixel(1, 1), Rgb(200, 150, 0));
}

TEST(Lightness, NegativeInvertsAllChannelsOfTheResult) {
    const Plugin& p = Load("lightness.so");
    ParamRestorer restore(p);
    const TPluginBitmap picture = Filled(2, 3, Rgb(255, 0, 100));
    p.setBool(kNeg, true);
    EXPECT_EQ(Apply(p, picture).pixel(1, 2), Rgb(0, 255, 155));
    p.setInt(kAmount, 10);
    EXPECT_EQ(Apply(p, picture).pixel(0, 0), Rgb(0, 245, 145));
    // The channel boxes limit only the lightness pass.
    p.setBool(kR, false);
    p.setBool(kG, false);
    p.setBool(kB, false);
    EXPECT_EQ(Apply(p, picture).pixel(0, 0), Rgb(0, 255, 155));
}

TEST(Lightness, ValuesWrittenWithOtherTagsAreRead) {
    const Plugin& p = Load("lightness.so");
    ParamRestorer restore(p);
    // A boolean written as a 32-bit integer, an amount written as a byte.
    p.GetParam(kR)->Value = MakeVariantInt(0);
    p.GetParam(kAmount)->Value = MakeVariantByte(20);
    EXPECT_EQ(Apply(p, Filled(1, 1, Rgb(10, 10, 10))).pixel(0, 0), Rgb(10, 30, 30));
}

TEST(Lightness, MatchesReferenceForEveryAmountAndChannelChoice) {
    const Plugin& p = Load("lightness.so");
    ParamRestorer restore(p);
    const TPluginBitmap picture = Noise(37, 5, 12);
    for (int32_t amount : {-100, -37, -1, 1, 64, 100}) {
        for (int mask = 0; mask < 8; ++mask) {
            for (bool negative : {false, true}) {
                p.setInt(kAmount, amount);
                p.setBool(kR, mask & 1);
                p.setBool(kG, mask & 2);
                p.setBool(kB, mask & 4);
                p.setBool(kNeg, negative);
                const TPluginBitmap expected = MapChannels(picture, [&](int c, int v) {
                    if (mask & (1 << c)) v = std::clamp(v + amount, 0, 255);
                    return negative ? 255 - v : v;
                });
                ASSERT_TRUE(SamePixels(Apply(p, picture), expected))
                    << "amount " << amount << " mask " << mask << " negative " << negative;
            }
        }
    }
}

// ---- Toravine Glow ----------------------------------------------------------

const int kGlow[5][5] = {
    {1, 2, 2, 2, 1}, {2, 0, 0, 0, 2}, {2, 0, -20, 0, 2}, {2, 0, 0, 0, 2}, {1, 2, 2, 2, 1}};

// Straightforward 7 x 7 convolution with the border mirroring rule.
TPluginBitmap GlowReference(const TPluginBitmap& in, const bool on[3]) {
    const int w = in.width(), h = in.height(), k = 3;
    return MakePicture(w, h, [&](int32_t x, int32_t y) {
        int v[3];
        for (int c = 0; c < 3; ++c) {
            v[c] = Ch(in.pixel(x, y), c);
            if (!on[c]) continue;
            double sum = 0;
            for (int dy = -3; dy <= 3; ++dy)
                for (int dx = -3; dx <= 3; ++dx) {
                    const int weight =
                        (std::abs(dy) <= 2 && std::abs(dx) <= 2) ? kGlow[dy + 2][dx + 2] : 0;
                    const int rs = ((y < k && dy < 0) || (y > h - k - 1 && dy >= 1)) ? -1 : 1;
                    const int cs = ((x < k && dx < 0) || (x > w - k - 1 && dx >= 1)) ? -1 : 1;
                    sum += weight * Ch(in.pixel(x + cs * dx, y + rs * dy), c); // 0 outside
                }
            const double r = sum * (1.0 / 8) + 0;
            v[c] = r >= 255 ? 255 : (r < 0 ? 0 : int(r));
        }
        return FromChannels(v);
    });
}

TEST(ToravineGlow, UniformPictureStaysUnchanged) {
    const TPluginBitmap picture = Filled(9, 8, Rgb(10, 120, 250));
    EXPECT_TRUE(SamePixels(Apply(Load("Toravine.so"), picture), picture));
}

TEST(ToravineGlow, SinglePixelTurnsIntoARingOfSixteen) {
    const TPluginBitmap picture = MakePicture(
        15, 15, [](int32_t x, int32_t y) { return x == 7 && y == 7 ? Rgb(200, 200, 200) : 0u; });
    const TPluginBitmap out = Apply(Load("Toravine.so"), picture);
    int ring = 0;
    for (int32_t y = 0; y < 15; ++y)
        for (int32_t x = 0; x < 15; ++x) {
            const int dx = x - 7, dy = y - 7;
            uint32_t expected = 0;
            if (std::max(std::abs(dx), std::abs(dy)) == 2) {
                const uint32_t v = (std::abs(dx) == 2 && std::abs(dy) == 2) ? 25 : 50;
                expected = Rgb(v, v, v);
                ++ring;
            }
            EXPECT_EQ(out.pixel(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(ring, 16);
}

TEST(ToravineGlow, BorderPixelsMirrorOffsetsPointingOutward) {
    // Row 0 takes its upper neighbours from below: a pixel in row 1 is seen
    // through both dy = -1 and dy = +1, twice what a plain convolution gives.
    const TPluginBitmap picture = MakePicture(
        15, 15, [](int32_t x, int32_t y) { return x == 7 && y == 1 ? Rgb(80, 80, 80) : 0u; });
    const TPluginBitmap out = Apply(Load("Toravine.so"), picture);
    EXPECT_EQ(out.pixel(5, 0), Rgb(40, 40, 40));
    EXPECT_EQ(out.pixel(9, 0), Rgb(40, 40, 40));
}

// Runs a plug-in whose first three switches pick the red, green and blue
// channels over noise pictures of every size, for each channel mask, and
// compares with `reference`.
template <typename Reference, typename Seed>
void ExpectChannelEffectMatches(const char* file, std::initializer_list<int> masks, Seed seed,
                                Reference reference) {
    const Plugin& p = Load(file);
    ParamRestorer restore(p);
    for (auto [w, h] : kSizes) {
        const TPluginBitmap picture = Noise(w, h, seed(w, h));
        for (int mask : masks) {
            const bool on[3] = {bool(mask & 1), bool(mask & 2), bool(mask & 4)};
            for (int c = 0; c < 3; ++c)
                p.setBool(c, on[c]);
            ASSERT_TRUE(SamePixels(Apply(p, picture), reference(picture, on)))
                << file << " " << w << "x" << h << " mask " << mask;
        }
    }
}

TEST(ToravineGlow, MatchesReferenceAtEverySizeAndChannelChoice) {
    ExpectChannelEffectMatches(
        "Toravine.so", {7, 6, 1}, [](int32_t w, int32_t h) { return uint32_t(w * 31 + h); },
        [](const TPluginBitmap& picture, const bool* on) { return GlowReference(picture, on); });
}

TEST(ToravineGlow, FourthChannelAloneChangesNothing) {
    const Plugin& p = Load("Toravine.so");
    ParamRestorer restore(p);
    for (int c = 0; c < 3; ++c)
        p.setBool(c, false);
    const TPluginBitmap picture = Noise(10, 9, 4);
    EXPECT_TRUE(SamePixels(Apply(p, picture), picture));
}

// ---- Antialias --------------------------------------------------------------

TPluginBitmap AntialiasReference(const TPluginBitmap& in, const bool on[3]) {
    const int w = in.width(), h = in.height();
    return MakePicture(w, h, [&](int32_t x, int32_t y) {
        const int left = x < 1 ? x + 1 : x - 1, right = x >= w - 1 ? x - 1 : x + 1;
        const int up = y < 1 ? y + 1 : y - 1, down = y >= h - 1 ? y - 1 : y + 1;
        int v[3];
        for (int c = 0; c < 3; ++c)
            v[c] = on[c] ? (Ch(in.pixel(left, y), c) + Ch(in.pixel(right, y), c) +
                            Ch(in.pixel(x, up), c) + Ch(in.pixel(x, down), c)) /
                               4
                         : Ch(in.pixel(x, y), c);
        return FromChannels(v);
    });
}

TEST(Antialias, SingleWhitePixelSpreadsToItsFourNeighbours) {
    const TPluginBitmap picture = MakePicture(
        5, 5, [](int32_t x, int32_t y) { return x == 2 && y == 2 ? Rgb(255, 255, 255) : 0u; });
    const TPluginBitmap out = Apply(Load("Antialias.so"), picture);
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 5; ++x) {
            const bool neighbour = std::abs(x - 2) + std::abs(y - 2) == 1;
            EXPECT_EQ(out.pixel(x, y), neighbour ? Rgb(63, 63, 63) : 0u) << x << "," << y;
        }
}

TEST(Antialias, CornerAveragesItsTwoNeighboursTwice) {
    const TPluginBitmap picture = MakePicture(4, 4, [](int32_t x, int32_t y) {
        return (x == 1 && y == 0) ? Rgb(100, 0, 0) : (x == 0 && y == 1) ? Rgb(40, 0, 0) : 0u;
    });
    EXPECT_EQ(Apply(Load("Antialias.so"), picture).pixel(0, 0), Rgb(70, 0, 0));
}

TEST(Antialias, OnePixelWidePictureAveragesOnlyUpperAndLower) {
    const int v[4] = {200, 40, 100, 8};
    const TPluginBitmap picture =
        MakePicture(1, 4, [&](int32_t, int32_t y) { return Rgb(uint32_t(v[y]), 0, 0); });
    const TPluginBitmap out = Apply(Load("Antialias.so"), picture);
    EXPECT_EQ(out.pixel(0, 0), Rgb((40 + 40) / 4, 0, 0));
    EXPECT_EQ(out.pixel(0, 1), Rgb((200 + 100) / 4, 0, 0));
    EXPECT_EQ(out.pixel(0, 2), Rgb((40 + 8) / 4, 0, 0));
    EXPECT_EQ(out.pixel(0, 3), Rgb((100 + 100) / 4, 0, 0));
}

TEST(Antialias, MatchesReferenceAtEverySizeAndChannelChoice) {
    ExpectChannelEffectMatches(
        "Antialias.so", {7, 5, 2}, [](int32_t w, int32_t h) { return uint32_t(w + 7 * h); },
        [](const TPluginBitmap& picture, const bool* on) {
            return AntialiasReference(picture, on);
        });
}

// ---- Skarrow noise ----------------------------------------------------------

TEST(Skarrow, AmountsZeroAndOneLeaveThePicture) {
    const Plugin& p = Load("Skarrow.so");
    ParamRestorer restore(p);
    const TPluginBitmap picture = Noise(11, 6, 9);
    for (int32_t amount : {0, 1}) {
        p.setInt(0, amount);
        EXPECT_TRUE(SamePixels(Apply(p, picture), picture)) << amount;
    }
}

TEST(Skarrow, DrawsRedGreenBluePerPixelFromTheSharedGenerator) {
    const Plugin& p = Load("Skarrow.so");
    ParamRestorer restore(p);
    // Extremes and mid values exercise both clamps.
    const TPluginBitmap picture = MakePicture(13, 3, [](int32_t x, int32_t y) {
        const uint32_t v[4] = {0, 255, 3, 128};
        return Rgb(v[(x + y) % 4], v[(x + 1) % 4], v[(y + 2) % 4]);
    });
    // 200 and 37: the table's range; 70000: a value only the host could write.
    for (auto [amount, mono] : {std::pair{200, false}, {200, true}, {37, false}, {70000, false}}) {
        p.setInt(0, amount);
        p.setBool(1, mono);
        stillora_random_seed(1234);
        const TPluginBitmap out = Apply(p, picture);
        stillora_random_seed(1234);
        const TPluginBitmap expected = MakePicture(13, 3, [&](int32_t x, int32_t y) {
            int v[3], n = 0;
            for (int c = 0; c < 3; ++c) {
                if (c == 0 || !mono) n = stillora_random(amount) - amount / 2;
                v[c] = std::clamp(Ch(picture.pixel(x, y), c) + n, 0, 255);
            }
            return FromChannels(v);
        });
        EXPECT_TRUE(SamePixels(out, expected)) << "amount " << amount << " mono " << mono;
    }
}

TEST(Skarrow, WideRowsMatchTheDrawsTakenOneByOneAndLeaveTheSequenceAfterThem) {
    const Plugin& p = Load("Skarrow.so");
    ParamRestorer restore(p);
    // 150 pixels: rows of 450 bytes, long enough for the whole-block vector
    // paths and with a remainder for the per-byte tail. Pale and dark
    // corners push results past both clamps.
    const TPluginBitmap mixed = Noise(150, 5, 3);
    const TPluginBitmap picture = MakePicture(150, 5, [&](int32_t x, int32_t y) {
        const uint32_t edge[4] = {0, 255, 1, 254};
        if ((x + y) % 5 == 0) return Rgb(edge[x % 4], edge[(x + 1) % 4], edge[(y + x / 4) % 4]);
        return mixed.pixel(x, y);
    });
    // 256: the largest amount on the vector paths; 257: just past it.
    for (auto [amount, mono] : {std::pair{200, false},
                                {256, false},
                                {255, false},
                                {2, false},
                                {37, false},
                                {257, false},
                                {200, true}}) {
        p.setInt(0, amount);
        p.setBool(1, mono);
        stillora_random_seed(4321);
        const TPluginBitmap out = Apply(p, picture);
        const int32_t next = stillora_random(1 << 30);
        stillora_random_seed(4321);
        const TPluginBitmap expected = MakePicture(150, 5, [&](int32_t x, int32_t y) {
            int v[3], n = 0;
            for (int c = 0; c < 3; ++c) {
                if (c == 0 || !mono) n = stillora_random(amount) - amount / 2;
                v[c] = std::clamp(Ch(picture.pixel(x, y), c) + n, 0, 255);
            }
            return FromChannels(v);
        });
        EXPECT_TRUE(SamePixels(out, expected)) << "amount " << amount << " mono " << mono;
        EXPECT_EQ(stillora_random(1 << 30), next) << "amount " << amount << " mono " << mono;
    }
}

TEST(Skarrow, MonochromeKeepsGreyGreyAndRunsDiffer) {
    const Plugin& p = Load("Skarrow.so");
    ParamRestorer restore(p);
    p.setInt(0, 120);
    p.setBool(1, true);
    const TPluginBitmap picture = Filled(16, 8, Rgb(128, 128, 128));
    const TPluginBitmap first = Apply(p, picture), second = Apply(p, picture);
    for (uint32_t px : Pixels(first))
        EXPECT_TRUE(Ch(px, 0) == Ch(px, 1) && Ch(px, 1) == Ch(px, 2));
    EXPECT_NE(Pixels(first), Pixels(second));
}

// ---- Orbenna circle ---------------------------------------------------------

// Each pixel's colour names its place, so a result tells where it sampled.
TPluginBitmap Positions(int32_t w, int32_t h) {
    return MakePicture(w, h, [](int32_t x, int32_t y) { return Rgb(uint32_t(x), uint32_t(y), 1); });
}

TEST(CircleImage, CentreKeepsItsValueAndItsRightNeighbourSamplesLeft) {
    const Plugin& p = Load("Orbenna.so");
    const TPluginBitmap out = Apply(p, Positions(21, 15));
    EXPECT_EQ(out.pixel(10, 7), Rgb(10, 7, 1));
    EXPECT_EQ(out.pixel(11, 7), Rgb(9, 7, 1)); // dx = 1, Radius 100: column W/2 - 1
}

TEST(CircleImage, LastRowAndColumnComeOutBlack) {
    const TPluginBitmap out = Apply(Load("Orbenna.so"), Positions(9, 6));
    for (int32_t x = 0; x < 9; ++x)
        EXPECT_EQ(out.pixel(x, 5), 0u) << x;
    for (int32_t y = 0; y < 6; ++y)
        EXPECT_EQ(out.pixel(8, y), 0u) << y;
    EXPECT_EQ(Apply(Load("Orbenna.so"), Filled(1, 1, Rgb(9, 9, 9))).pixel(0, 0), 0u);
}

TEST(CircleImage, SamplesStayInsideForAnyRadius) {
    const Plugin& p = Load("Orbenna.so");
    ParamRestorer restore(p);
    for (int32_t radius : {0, 1, 7, 200, -3}) {
        p.setInt(0, radius);
        for (auto [w, h] : kSizes) {
            const TPluginBitmap out = Apply(p, Positions(w, h));
            for (uint32_t px : Pixels(out))
                ASSERT_TRUE(px == 0 || (Ch(px, 0) < w && Ch(px, 1) < h && Ch(px, 2) == 1))
                    << "radius " << radius << " " << w << "x" << h << " " << Hex(px);
        }
    }
    // Radius 0 counts as 1.
    p.setInt(0, 0);
    const TPluginBitmap zero = Apply(p, Positions(23, 17));
    p.setInt(0, 1);
    EXPECT_TRUE(SamePixels(zero, Apply(p, Positions(23, 17))));
}

// ---- Spray ------------------------------------------------------------------

TEST(Spray, AmountZeroKeepsPixelsButBlackensLastRowAndColumn) {
    const Plugin& p = Load("Spray.so");
    ParamRestorer restore(p);
    p.setInt(0, 0);
    const TPluginBitmap picture = Positions(7, 5);
    const TPluginBitmap out = Apply(p, picture);
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 7; ++x)
            EXPECT_EQ(out.pixel(x, y), (x == 6 || y == 4) ? 0u : picture.pixel(x, y));
}

TEST(Spray, OffsetsFollowTheSharedGeneratorColumnBeforeRow) {
    const Plugin& p = Load("Spray.so");
    ParamRestorer restore(p);
    for (int32_t amount : {3, 255}) {
        p.setInt(0, amount);
        const TPluginBitmap picture = Positions(19, 12);
        stillora_random_seed(77);
        const TPluginBitmap out = Apply(p, picture);
        stillora_random_seed(77);
        const TPluginBitmap expected = MakePicture(19, 12, [&](int32_t x, int32_t y) {
            const int z = stillora_random(amount);
            const int sx = x + z - stillora_random(2 * z);
            const int sy = y + z - stillora_random(2 * z);
            if (sx < 0 || sx >= 18 || sy < 0 || sy >= 11) return 0u;
            return picture.pixel(sx, sy);
        });
        EXPECT_TRUE(SamePixels(out, expected)) << amount;
    }
}

TEST(Spray, RunsDifferWithoutReseeding) {
    const Plugin& p = Load("Spray.so");
    const TPluginBitmap picture = Noise(30, 20, 1);
    EXPECT_NE(Pixels(Apply(p, picture)), Pixels(Apply(p, picture)));
}

// ---- Old Photo --------------------------------------------------------------

enum { kOld, kGrey };

TEST(OldPhoto, OldAspectLeavesAFaintTint) {
    const Plugin& p = Load("Sepravel.so");
    const TPluginBitmap picture = MakePicture(3, 1, [](int32_t x, int32_t) {
        return x == 0 ? Rgb(200, 100, 50) : x == 1 ? Rgb(50, 100, 200) : Rgb(77, 77, 77);
    });
    const TPluginBitmap out = Apply(p, picture);
    EXPECT_EQ(out.pixel(0, 0), Rgb(125, 87, 87));
    EXPECT_EQ(out.pixel(1, 0), Rgb(125, 150, 162));
    EXPECT_EQ(out.pixel(2, 0), Rgb(77, 77, 77));
}

TEST(OldPhoto, GreyscaleAfterOldAspectIsPlainGrey) {
    const Plugin& p = Load("Sepravel.so");
    ParamRestorer restore(p);
    p.setBool(kGrey, true);
    EXPECT_EQ(Apply(p, Filled(2, 2, Rgb(200, 100, 50))).pixel(1, 1), Rgb(106, 106, 106));
    p.setBool(kOld, false);
    EXPECT_EQ(Apply(p, Filled(2, 2, Rgb(200, 100, 50))).pixel(1, 1), Rgb(125, 125, 125));
}

TEST(OldPhoto, MatchesReferenceForEveryFlagChoice) {
    const Plugin& p = Load("Sepravel.so");
    ParamRestorer restore(p);
    const auto grey = [](int a, int b, int c) {
        return (std::max({a, b, c}) + std::min({a, b, c})) / 2;
    };
    const TPluginBitmap picture = Noise(41, 7, 21);
    for (int flags = 1; flags < 4; ++flags) {
        p.setBool(kOld, flags & 1);
        p.setBool(kGrey, flags & 2);
        const TPluginBitmap expected = MakePicture(41, 7, [&](int32_t x, int32_t y) {
            const uint32_t px = picture.pixel(x, y);
            int r = Ch(px, 0), g = Ch(px, 1), b = Ch(px, 2);
            if (flags & 1) {
                r = grey(r, g, b);
                g = grey(r, g, b);
                b = grey(r, g, b);
            }
            if (flags & 2) r = g = b = grey(r, g, b);
            return Rgb(uint32_t(r), uint32_t(g), uint32_t(b));
        });
        ASSERT_TRUE(SamePixels(Apply(p, picture), expected)) << "flags " << flags;
    }
}

TEST(OldPhoto, SourceKeepsTheOldAspectResult) {
    const Plugin& p = Load("Sepravel.so");
    TPluginBitmap source = Filled(3, 2, Rgb(200, 100, 50)), dest(3, 2);
    p.RunProcBMP(&source, &dest);
    EXPECT_EQ(source.pixel(2, 1), Rgb(125, 87, 87));
    EXPECT_EQ(dest.pixel(2, 1), Rgb(125, 87, 87));
}

TEST(OldPhoto, WithBothFlagsOffTheHostPicturePasses) {
    const Plugin& p = Load("Sepravel.so");
    ParamRestorer restore(p);
    p.setBool(kOld, false);
    TPluginBitmap source = Noise(5, 4, 1), dest = Noise(5, 4, 2);
    const TPluginBitmap before(dest);
    p.RunProcBMP(&source, &dest);
    EXPECT_EQ(dest.pixelFormat(), TPixelFormat::pf32bit);
    EXPECT_TRUE(SamePixels(dest, before));
}

} // namespace
} // namespace stillora::test

#include "views/viewer/GifEncoder.h"

#include <algorithm>
#include <cmath>

#include <gif_lib.h>

namespace stillora {

namespace {

struct ColourCount {
    uint32_t rgb;
    uint32_t count;
};

int channel(uint32_t rgb, int c) {
    return static_cast<int>((rgb >> (16 - 8 * c)) & 0xFF);
}

// A box of the colour space: a range of the colour list with its bounds.
struct Box {
    size_t begin = 0;
    size_t end = 0;
    uint64_t population = 0;
    int lo[3] = {255, 255, 255};
    int hi[3] = {0, 0, 0};

    int widestChannel() const {
        int widest = 0;
        for (int c = 1; c < 3; ++c)
            if (hi[c] - lo[c] > hi[widest] - lo[widest]) widest = c;
        return widest;
    }
    int range() const {
        const int c = widestChannel();
        return hi[c] - lo[c];
    }
};

Box makeBox(const std::vector<ColourCount>& colours, size_t begin, size_t end) {
    Box box;
    box.begin = begin;
    box.end = end;
    for (size_t i = begin; i < end; ++i) {
        box.population += colours[i].count;
        for (int c = 0; c < 3; ++c) {
            box.lo[c] = std::min(box.lo[c], channel(colours[i].rgb, c));
            box.hi[c] = std::max(box.hi[c], channel(colours[i].rgb, c));
        }
    }
    return box;
}

QRgb meanColour(const std::vector<ColourCount>& colours, const Box& box) {
    uint64_t sum[3] = {0, 0, 0};
    for (size_t i = box.begin; i < box.end; ++i)
        for (int c = 0; c < 3; ++c)
            sum[c] += static_cast<uint64_t>(channel(colours[i].rgb, c)) * colours[i].count;
    int mean[3];
    for (int c = 0; c < 3; ++c)
        mean[c] = static_cast<int>((sum[c] + box.population / 2) / box.population);
    return qRgb(mean[0], mean[1], mean[2]);
}

// Splits boxes until there are `maxColours` of them or none can be split.
// The box split next is the one with the largest population times extent:
// large smooth areas get enough shades to avoid banding, while a wide but
// rare spread of colours still gets its share.
std::vector<Box> medianCut(std::vector<ColourCount>& colours, int maxColours) {
    std::vector<Box> boxes{makeBox(colours, 0, colours.size())};
    while (static_cast<int>(boxes.size()) < maxColours) {
        int chosen = -1;
        double best = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            const Box& b = boxes[i];
            if (b.end - b.begin < 2) continue;
            const double score = static_cast<double>(b.population) * (b.range() + 1);
            if (score > best) {
                best = score;
                chosen = static_cast<int>(i);
            }
        }
        if (chosen < 0) break;
        const Box box = boxes[static_cast<size_t>(chosen)];
        const int c = box.widestChannel();
        std::sort(colours.begin() + static_cast<std::ptrdiff_t>(box.begin),
                  colours.begin() + static_cast<std::ptrdiff_t>(box.end),
                  [c](const ColourCount& a, const ColourCount& b) {
                      return channel(a.rgb, c) < channel(b.rgb, c);
                  });
        // Weighted median: the first half of the pixels goes to the left box.
        uint64_t seen = 0;
        size_t split = box.begin + 1;
        for (size_t i = box.begin; i < box.end; ++i) {
            seen += colours[i].count;
            if (seen * 2 >= box.population) {
                split = i + 1;
                break;
            }
        }
        split = std::clamp(split, box.begin + 1, box.end - 1);
        boxes[static_cast<size_t>(chosen)] = makeBox(colours, box.begin, split);
        boxes.push_back(makeBox(colours, split, box.end));
    }
    return boxes;
}

extern "C" int appendToBuffer(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

} // namespace

PalettedPicture ReducePalette(const QImage& picture, int maxColours, const QRgb* skip) {
    PalettedPicture result;
    if (picture.isNull()) return result;
    maxColours = std::clamp(maxColours, 1, 256);
    const QImage rgb =
        picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
            ? picture
            : picture.convertToFormat(QImage::Format_RGB32);
    const int width = rgb.width(), height = rgb.height();
    const uint32_t skipped = skip ? (*skip & 0xFFFFFFu) : 0;

    // Histogram of the distinct colours, from a sorted copy of the pixels.
    std::vector<uint32_t> pixels;
    pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const uint32_t c = line[x] & 0xFFFFFFu;
            if (!skip || c != skipped) pixels.push_back(c);
        }
    }
    std::sort(pixels.begin(), pixels.end());
    std::vector<ColourCount> colours;
    for (uint32_t c : pixels) {
        if (!colours.empty() && colours.back().rgb == c)
            ++colours.back().count;
        else
            colours.push_back({c, 1});
    }
    pixels = std::vector<uint32_t>();

    // Colour to palette index, sorted by colour for lookup.
    std::vector<std::pair<uint32_t, uint8_t>> lookup;
    lookup.reserve(colours.size());
    if (static_cast<int>(colours.size()) <= maxColours) {
        for (size_t i = 0; i < colours.size(); ++i) {
            result.palette.push_back(0xFF000000u | colours[i].rgb);
            lookup.emplace_back(colours[i].rgb, static_cast<uint8_t>(i));
        }
    } else {
        const std::vector<Box> boxes = medianCut(colours, maxColours);
        for (size_t b = 0; b < boxes.size(); ++b) {
            result.palette.push_back(meanColour(colours, boxes[b]));
            for (size_t i = boxes[b].begin; i < boxes[b].end; ++i)
                lookup.emplace_back(colours[i].rgb, static_cast<uint8_t>(b));
        }
        std::sort(lookup.begin(), lookup.end());
    }

    result.width = width;
    result.height = height;
    result.indices.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    // palette.size() is at most 255 when a colour is skipped, since the
    // caller then asks for 255 colours at most.
    const auto skippedIndex = static_cast<uint8_t>(std::min<size_t>(result.palette.size(), 255));
    uint32_t lastColour = 0;
    uint8_t lastIndex = 0;
    bool haveLast = false;
    size_t out = 0;
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const uint32_t c = line[x] & 0xFFFFFFu;
            if (skip && c == skipped) {
                result.indices[out++] = skippedIndex;
                continue;
            }
            if (!haveLast || c != lastColour) {
                const auto it = std::lower_bound(lookup.begin(), lookup.end(), c,
                                                 [](const std::pair<uint32_t, uint8_t>& e,
                                                    uint32_t value) { return e.first < value; });
                lastColour = c;
                lastIndex = it->second;
                haveLast = true;
            }
            result.indices[out++] = lastIndex;
        }
    }
    return result;
}

bool EncodeGif(const QImage& picture, const GifOptions& options, QByteArray& out, QString* error) {
    auto fail = [error](const QString& message) {
        if (error) *error = message;
        return false;
    };
    if (picture.isNull()) return fail(QStringLiteral("The picture is empty."));
    if (picture.width() > 0xFFFF || picture.height() > 0xFFFF)
        return fail(QStringLiteral("The picture is too large for a GIF file."));

    const QRgb transparent = options.transparentColor & 0xFFFFFFu;
    PalettedPicture paletted = ReducePalette(picture, options.transparent ? 255 : 256,
                                             options.transparent ? &transparent : nullptr);
    std::vector<QRgb> palette = paletted.palette;
    int transparentIndex = NO_TRANSPARENT_COLOR;
    if (options.transparent) {
        transparentIndex = static_cast<int>(palette.size());
        palette.push_back(0xFF000000u | transparent);
    }
    int mapSize = 2;
    while (mapSize < static_cast<int>(palette.size()))
        mapSize *= 2;
    ColorMapObject* map = GifMakeMapObject(mapSize, nullptr);
    if (!map) return fail(QStringLiteral("Out of memory."));
    for (size_t i = 0; i < palette.size(); ++i) {
        map->Colors[i].Red = static_cast<GifByteType>(qRed(palette[i]));
        map->Colors[i].Green = static_cast<GifByteType>(qGreen(palette[i]));
        map->Colors[i].Blue = static_cast<GifByteType>(qBlue(palette[i]));
    }

    QByteArray data;
    int code = 0;
    GifFileType* gif = EGifOpen(&data, appendToBuffer, &code);
    if (!gif) {
        GifFreeMapObject(map);
        return fail(QString::fromLatin1(GifErrorString(code)));
    }
    // Transparency needs the 89a format; giflib writes 87a unless told.
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, paletted.width, paletted.height, 8, 0, map) == GIF_OK;
    GifFreeMapObject(map); // the screen descriptor keeps its own copy
    if (ok && options.transparent) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
        gcb.UserInputFlag = false;
        gcb.DelayTime = 0;
        gcb.TransparentColor = transparentIndex;
        GifByteType extension[4];
        EGifGCBToExtension(&gcb, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
    }
    if (ok)
        ok = EGifPutImageDesc(gif, 0, 0, paletted.width, paletted.height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < paletted.height; ++y)
        ok = EGifPutLine(gif, paletted.indices.data() + static_cast<size_t>(y) * paletted.width,
                         paletted.width) == GIF_OK;
    if (!ok) code = gif->Error;
    // Closing writes the trailer and frees the handle, also after a failure.
    if (EGifCloseFile(gif, ok ? &code : nullptr) != GIF_OK) ok = false;
    if (!ok) return fail(QString::fromLatin1(GifErrorString(code)));
    out = data;
    return true;
}

} // namespace stillora

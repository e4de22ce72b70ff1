#include "export/gif/GifWriter.h"

#include "export/gif/GifPalette.h"

#include <QSaveFile>

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace stillora {

namespace {

// The largest palette of a frame: one index stays free for transparency.
constexpr int kMaxColors = 255;
// Diffused error: this share of a pixel's quantisation error (in eighths)
// travels on, and no more than kErrorLimit levels per channel, so that flat
// areas do not fill with noise and edges do not smear.
constexpr int kDitherEighths = 6;
constexpr int kErrorLimit = 40;
// A kept palette may be this much worse than a new one (mean squared
// distance): it saves a colour table and keeps unchanged colours as they were.
constexpr double kKeepRatio = 1.15;
constexpr double kKeepSlack = 1.0;

int bitsFor(int entries) {
    int bits = 1;
    while ((1 << bits) < entries)
        ++bits;
    return bits;
}

int outputToSaveFile(GifFileType* gif, const GifByteType* data, int length) {
    auto* file = static_cast<QSaveFile*>(gif->UserData);
    const qint64 written = file->write(reinterpret_cast<const char*>(data), length);
    return written == length ? length : 0;
}

} // namespace

int GifDelayFromMs(int ms) {
    if (ms <= 0) return 0;
    return std::min(65535, (ms + 5) / 10);
}

struct AnimatedGifWriter::State {
    Options options;
    std::unique_ptr<QSaveFile> file;
    GifFileType* gif = nullptr;

    int width = 0, height = 0;
    // What a viewer shows after the last frame, and the source colour each
    // pixel was last encoded for.
    std::vector<uint32_t> shown;
    std::vector<uint32_t> encoded;
    std::vector<uint8_t> changed;
    std::vector<uint8_t> indexes;
    std::vector<int> errors; // two rows of three channels, in sixteenths

    ColorHistogram histogram;
    std::shared_ptr<NearestColor> global;  // the palette of the first frame
    std::shared_ptr<NearestColor> current; // the palette of the last frame

    ~State() { closeGif(); }
    void closeGif() {
        if (gif) {
            int error = 0;
            EGifCloseFile(gif, &error);
            gif = nullptr;
        }
    }
    QString gifError() const {
        const int code = gif ? gif->Error : 0;
        QString reason = file && file->error() != QFileDevice::NoError ? file->errorString()
                                                                         : QString();
        if (reason.isEmpty()) {
            const char* text = GifErrorString(code);
            reason = text ? QString::fromLatin1(text) : QStringLiteral("write error");
        }
        return reason;
    }
};

AnimatedGifWriter::AnimatedGifWriter() = default;

AnimatedGifWriter::~AnimatedGifWriter() {
    discard();
}

bool AnimatedGifWriter::isOpen() const {
    return state_ && state_->gif;
}

bool AnimatedGifWriter::fail(QString* error, const QString& reason) {
    if (error) *error = reason;
    discard();
    return false;
}

void AnimatedGifWriter::discard() {
    if (!state_) return;
    state_->closeGif();
    if (state_->file) state_->file->cancelWriting();
    state_.reset();
    frames_ = 0;
}

bool AnimatedGifWriter::open(const QString& path, QSize size, const Options& options,
                             QString* error) {
    discard();
    if (size.width() < 1 || size.height() < 1 || size.width() > 65535 || size.height() > 65535)
        return fail(error, QStringLiteral("a GIF frame must be 1 to 65535 pixels each way"));
    state_ = std::make_unique<State>();
    State& s = *state_;
    s.options = options;
    s.options.delayCs = std::clamp(options.delayCs, 0, 65535);
    s.options.tolerance = std::clamp(options.tolerance, 0, 64);
    s.file = std::make_unique<QSaveFile>(path);
    // Written beside the final name and renamed only when complete.
    s.file->setDirectWriteFallback(false);
    if (!s.file->open(QIODevice::WriteOnly)) return fail(error, s.file->errorString());
    int code = 0;
    s.gif = EGifOpen(s.file.get(), outputToSaveFile, &code);
    if (!s.gif) return fail(error, QString::fromLatin1(GifErrorString(code)));
    EGifSetGifVersion(s.gif, true);
    size_ = size;
    s.width = size.width();
    s.height = size.height();
    const size_t pixels = size_t(s.width) * size_t(s.height);
    s.shown.assign(pixels, 0);
    s.encoded.assign(pixels, 0);
    s.changed.assign(pixels, 0);
    s.indexes.assign(pixels, 0);
    s.errors.assign(size_t(s.width + 2) * 3 * 2, 0);
    frames_ = 0;
    return true;
}

bool AnimatedGifWriter::addFrame(const QImage& frame, QString* error) {
    if (!isOpen()) {
        if (error) *error = QStringLiteral("the movie is not open");
        return false;
    }
    State& s = *state_;
    QImage picture = frame;
    if (picture.size() != size_)
        picture = picture.scaled(size_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (picture.format() != QImage::Format_RGB32 && picture.format() != QImage::Format_ARGB32)
        picture = picture.convertToFormat(QImage::Format_RGB32);
    const int w = s.width, h = s.height;
    const bool first = frames_ == 0;

    // Which pixels need encoding, and the rectangle around them.
    int left = w, top = h, right = -1, bottom = -1;
    const int tolerance = s.options.tolerance;
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(picture.constScanLine(y));
        const uint32_t* was = &s.encoded[size_t(y) * size_t(w)];
        uint8_t* mark = &s.changed[size_t(y) * size_t(w)];
        int rowLeft = -1, rowRight = -1;
        for (int x = 0; x < w; ++x) {
            const uint32_t now = row[x] & 0xFFFFFF;
            bool differs = first;
            if (!differs && now != was[x]) {
                const uint32_t old = was[x];
                differs = std::abs(int(now >> 16) - int(old >> 16)) > tolerance ||
                          std::abs(int((now >> 8) & 0xFF) - int((old >> 8) & 0xFF)) > tolerance ||
                          std::abs(int(now & 0xFF) - int(old & 0xFF)) > tolerance;
            }
            mark[x] = differs;
            if (differs) {
                if (rowLeft < 0) rowLeft = x;
                rowRight = x;
            }
        }
        if (rowLeft >= 0) {
            left = std::min(left, rowLeft);
            right = std::max(right, rowRight);
            top = std::min(top, y);
            bottom = y;
        }
    }

    GraphicsControlBlock control{};
    control.DelayTime = s.options.delayCs;
    control.UserInputFlag = false;
    control.DisposalMode = DISPOSE_DO_NOT;

    if (right < 0) {
        // Nothing changed: one transparent pixel keeps the frame and its delay.
        const int transparent = int(s.global->palette().size());
        control.TransparentColor = transparent;
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        uint8_t pixel = uint8_t(transparent);
        if (EGifPutExtension(s.gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_ERROR ||
            EGifPutImageDesc(s.gif, 0, 0, 1, 1, false, nullptr) == GIF_ERROR ||
            EGifPutLine(s.gif, &pixel, 1) == GIF_ERROR)
            return fail(error, s.gifError());
        ++frames_;
        return true;
    }

    const int rw = right - left + 1, rh = bottom - top + 1;
    s.histogram.clear();
    for (int y = top; y <= bottom; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(picture.constScanLine(y));
        const uint8_t* mark = &s.changed[size_t(y) * size_t(w)];
        for (int x = left; x <= right; ++x)
            if (mark[x]) s.histogram.add(row[x]);
    }

    // The palette: the last frame's (or the first frame's) while it serves
    // these pixels about as well as a new one would.
    std::shared_ptr<NearestColor> palette;
    if (s.current) {
        const std::vector<ColorHistogram::Entry> entries = s.histogram.entries();
        const double kept = s.current->meanError(entries);
        if (kept > kKeepSlack) {
            auto fresh = std::make_shared<NearestColor>(ChoosePalette(s.histogram, kMaxColors));
            const double best = fresh->meanError(entries);
            if (kept <= best * kKeepRatio + kKeepSlack) {
                palette = s.current;
            } else if (s.global != s.current &&
                       s.global->meanError(entries) <= best * kKeepRatio + kKeepSlack) {
                palette = s.global;
            } else {
                palette = fresh;
            }
        } else {
            palette = s.current;
        }
    } else {
        palette = std::make_shared<NearestColor>(ChoosePalette(s.histogram, kMaxColors));
    }
    const std::vector<PaletteColor>& colors = palette->palette();
    const int transparent = int(colors.size());

    // Error diffusion over the changed pixels (Floyd-Steinberg weights,
    // damped). Unchanged pixels pass no error on and stay as shown, so the
    // picture does not crawl where nothing moved.
    std::fill(s.errors.begin(), s.errors.end(), 0);
    int* here = s.errors.data();
    int* below = s.errors.data() + size_t(w + 2) * 3;
    bool anyTransparent = false;
    for (int y = top; y <= bottom; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(picture.constScanLine(y));
        const uint8_t* mark = &s.changed[size_t(y) * size_t(w)];
        uint32_t* shown = &s.shown[size_t(y) * size_t(w)];
        uint32_t* encoded = &s.encoded[size_t(y) * size_t(w)];
        uint8_t* out = &s.indexes[size_t(y - top) * size_t(rw)];
        std::fill(below, below + size_t(rw + 2) * 3, 0);
        for (int x = left; x <= right; ++x) {
            const int i = x - left;
            if (!mark[x]) {
                out[i] = uint8_t(transparent);
                anyTransparent = true;
                continue;
            }
            const uint32_t src = row[x];
            int* e = here + size_t(i + 1) * 3;
            const int r = std::clamp(int((src >> 16) & 0xFF) + ((e[0] + 8) >> 4), 0, 255);
            const int g = std::clamp(int((src >> 8) & 0xFF) + ((e[1] + 8) >> 4), 0, 255);
            const int b = std::clamp(int(src & 0xFF) + ((e[2] + 8) >> 4), 0, 255);
            const int index = palette->find(r, g, b);
            const PaletteColor& c = colors[size_t(index)];
            const uint32_t color = uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
            if (!first && color == (shown[x] & 0xFFFFFF)) {
                // Shown already: transparent pixels make longer runs.
                out[i] = uint8_t(transparent);
                anyTransparent = true;
            } else {
                out[i] = uint8_t(index);
            }
            shown[x] = color;
            encoded[x] = src & 0xFFFFFF;
            const int q[3] = {std::clamp((r - c.r) * kDitherEighths / 8, -kErrorLimit, kErrorLimit),
                              std::clamp((g - c.g) * kDitherEighths / 8, -kErrorLimit, kErrorLimit),
                              std::clamp((b - c.b) * kDitherEighths / 8, -kErrorLimit, kErrorLimit)};
            int* next = e + 3;
            int* belowLeft = below + size_t(i) * 3;
            for (int k = 0; k < 3; ++k) {
                next[k] += q[k] * 7;
                belowLeft[k] += q[k] * 3;
                belowLeft[k + 3] += q[k] * 5;
                belowLeft[k + 6] += q[k];
            }
        }
        std::swap(here, below);
    }

    // The colour table: none when the frame uses the first frame's palette.
    const int tableSize = 1 << bitsFor(transparent + 1);
    std::vector<GifColorType> table(size_t(tableSize), GifColorType{0, 0, 0});
    for (size_t i = 0; i < colors.size(); ++i)
        table[i] = GifColorType{colors[i].r, colors[i].g, colors[i].b};
    ColorMapObject* map = GifMakeMapObject(tableSize, table.data());
    if (!map) return fail(error, QStringLiteral("out of memory"));
    bool ok = true;
    if (first) {
        ok = EGifPutScreenDesc(s.gif, w, h, 8, 0, map) != GIF_ERROR;
        if (ok && s.options.loop) {
            // NETSCAPE2.0: sub-block 1, loop count 0 (forever).
            const GifByteType loop[3] = {1, 0, 0};
            ok = EGifPutExtensionLeader(s.gif, APPLICATION_EXT_FUNC_CODE) != GIF_ERROR &&
                 EGifPutExtensionBlock(s.gif, 11, "NETSCAPE2.0") != GIF_ERROR &&
                 EGifPutExtensionBlock(s.gif, 3, loop) != GIF_ERROR &&
                 EGifPutExtensionTrailer(s.gif) != GIF_ERROR;
        }
        s.global = palette;
    }
    control.TransparentColor = anyTransparent ? transparent : NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    ok = ok && EGifPutExtension(s.gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) != GIF_ERROR;
    const bool local = palette != s.global;
    if (!local && s.gif->Image.ColorMap) {
        // giflib drops the previous frame's copy of its local table without
        // freeing it when the next frame has none: free it here.
        GifFreeMapObject(s.gif->Image.ColorMap);
        s.gif->Image.ColorMap = nullptr;
    }
    ok = ok && EGifPutImageDesc(s.gif, left, top, rw, rh, false, local ? map : nullptr) !=
                   GIF_ERROR;
    ok = ok && EGifPutLine(s.gif, s.indexes.data(), rw * rh) != GIF_ERROR;
    GifFreeMapObject(map);
    if (!ok) return fail(error, s.gifError());
    s.current = palette;
    ++frames_;
    return true;
}

bool AnimatedGifWriter::close(QString* error) {
    if (!isOpen()) {
        if (error) *error = QStringLiteral("the movie is not open");
        return false;
    }
    State& s = *state_;
    if (frames_ == 0) {
        discard();
        if (error) *error = QStringLiteral("the movie has no frames");
        return false;
    }
    int code = 0;
    const int result = EGifCloseFile(s.gif, &code);
    s.gif = nullptr;
    if (result == GIF_ERROR) {
        const QString reason = s.file->error() != QFileDevice::NoError
                                   ? s.file->errorString()
                                   : QString::fromLatin1(GifErrorString(code));
        return fail(error, reason);
    }
    if (!s.file->commit()) {
        const QString reason = s.file->errorString();
        state_.reset();
        frames_ = 0;
        if (error) *error = reason;
        return false;
    }
    state_.reset();
    return true;
}

} // namespace stillora

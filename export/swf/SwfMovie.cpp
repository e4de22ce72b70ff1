#include "export/swf/SwfMovie.h"

#include "render/StillWriter.h"

#include <QFile>

#include <algorithm>
#include <atomic>

namespace stillora::swf {

namespace {

std::atomic<uint16_t> lastCharacterId{0};

uint16_t newCharacterId() {
    return ++lastCharacterId;
}

// The matrix of a bitmap fill: 20 twips per picture pixel.
Matrix bitmapMatrix(int32_t translateX, int32_t translateY) {
    Matrix m;
    m.hasScale = true;
    m.scaleX = m.scaleY = kTwipsPerPixel << 16;
    m.translateX = translateX;
    m.translateY = translateY;
    return m;
}

ColorTransform alphaOnly(int alpha) {
    ColorTransform c;
    c.alpha = alpha;
    return c;
}

constexpr int kSignedFrameBits = 15;

} // namespace

uint16_t SwfLastCharacterId() {
    return lastCharacterId.load();
}

int64_t RoundHalfEven(int64_t numerator, int64_t denominator) {
    int64_t q = numerator / denominator;
    const int64_t r = numerator % denominator;
    // Both are positive wherever the movie rounds.
    if (2 * r > denominator || (2 * r == denominator && q % 2 != 0)) ++q;
    return q;
}

void SwfMovie::begin() {
    discard();
    tags_.push_back(std::make_unique<SetBackgroundColorTag>(0, 0, 0));
}

void SwfMovie::addEmptyFrames(int n) {
    for (int i = 0; i < n; ++i)
        tags_.push_back(std::make_unique<ShowFrameTag>());
    frameCount_ += std::max(0, n);
}

uint16_t SwfMovie::addSlide(const QString& jpegPath, int x, int y, int boxWidth, int boxHeight,
                            uint16_t depth, int framesPerSlide, bool crossfade, int fadeFrames) {
    uint16_t shape = 0;
    QFile file(jpegPath);
    // A still whose save failed defines nothing; its frames still follow.
    if (file.exists() && file.open(QIODevice::ReadOnly)) {
        const uint16_t jpeg = newCharacterId();
        tags_.push_back(std::make_unique<DefineBitsJpeg2Tag>(jpeg, file.readAll()));

        auto define = std::make_unique<DefineShapeTag>();
        shape = define->id = newCharacterId();
        const int32_t left = kTwipsPerPixel * x, top = kTwipsPerPixel * y;
        const int32_t width = kTwipsPerPixel * boxWidth, height = kTwipsPerPixel * boxHeight;
        define->bounds = Rect{left, left + width, top, top + height};
        define->fillStyles.push_back({0x41, 65535, bitmapMatrix(0, 0)});
        define->fillStyles.push_back({0x41, jpeg, bitmapMatrix(left, top)});
        ShapeRecord start;
        start.kind = ShapeRecord::StyleChange;
        start.lineStyle = true;
        start.fillStyle1 = true;
        start.moveTo = true;
        start.moveX = left + width;
        start.moveY = top + height;
        start.fillStyle1Index = 2;
        define->records.push_back(start);
        for (const auto& [vertical, delta] :
             {std::pair{false, -int64_t(width)}, std::pair{true, -int64_t(height)},
              std::pair{false, int64_t(width)}, std::pair{true, int64_t(height)}}) {
            const std::vector<ShapeRecord> edges = StraightEdges(vertical, delta);
            define->records.insert(define->records.end(), edges.begin(), edges.end());
        }
        define->records.push_back(ShapeRecord{}); // end
        tags_.push_back(std::move(define));
        placedDepths_.push_back(depth);
    }

    const bool fades = crossfade && fadeFrames > 1;
    if (fades) {
        for (int i = 1; i < fadeFrames; ++i) {
            const int alpha = static_cast<int>(RoundHalfEven(256 * int64_t(i - 1), fadeFrames));
            placeFade(depth, shape, alpha, i == 1);
            addEmptyFrames(1);
        }
    }
    auto place = std::make_unique<PlaceObject2Tag>();
    place->depth = depth;
    if (fades) {
        // The slide is on its depth already: it is moved to full opacity (a
        // second placement there would be ignored, leaving it translucent).
        place->colorTransform = alphaOnly(256);
    } else {
        place->character = shape;
    }
    tags_.push_back(std::move(place));
    addEmptyFrames(framesPerSlide);
    return shape;
}

void SwfMovie::placeFade(uint16_t depth, uint16_t character, int alpha, bool first) {
    auto place = std::make_unique<PlaceObject2Tag>();
    place->depth = depth;
    if (first) {
        place->character = character;
        place->matrix = Matrix{};
    }
    place->colorTransform = alphaOnly(alpha);
    tags_.push_back(std::move(place));
}

void SwfMovie::fadeOut(uint16_t depth, int n) {
    if (n < 1) return;
    const int64_t step = RoundHalfEven(255, n);
    for (int i = 1; i <= n; ++i) {
        placeFade(depth, 0, static_cast<int>(255 - step * i), false);
        addEmptyFrames(1);
    }
}

void SwfMovie::fadeOutToBackground(int n) {
    if (placedDepths_.empty()) {
        addEmptyFrames(n);
        return;
    }
    // Fading the top slide alone would uncover the one under it.
    const uint16_t last = placedDepths_.back();
    for (const uint16_t depth : placedDepths_)
        if (depth != last) tags_.push_back(std::make_unique<RemoveObject2Tag>(depth));
    fadeOut(last, n);
}

QByteArray SwfMovie::encode(int width, int height, int rate) const {
    QByteArray tags;
    for (const auto& tag : tags_)
        tag->encode(tags);
    EndTag().encode(tags);

    const int32_t frameWidth = kTwipsPerPixel * std::max(0, width);
    const int32_t frameHeight = kTwipsPerPixel * std::max(0, height);
    BitWriter header;
    header.bytes("FWS");
    header.u8(4);
    header.u32(0); // the length, filled in below
    Rect{0, frameWidth, 0, frameHeight}.encode(
        header, std::max(kSignedFrameBits, SignedBits({frameWidth, frameHeight})));
    header.u8(0);
    header.u8(static_cast<uint8_t>(std::clamp(rate, 1, 255)));
    // A longer movie still plays all of its frames; the count cannot say more.
    header.u16(static_cast<uint16_t>(std::min(frameCount_, 65535)));

    QByteArray file = header.data() + tags;
    const auto length = static_cast<uint32_t>(file.size());
    for (int i = 0; i < 4; ++i)
        file[4 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    return file;
}

bool SwfMovie::writeFile(const QString& path, int width, int height, int rate,
                         QString* error) const {
    if (path.isEmpty()) {
        if (error) *error = QStringLiteral("no file name was given");
        return false;
    }
    QString reason;
    if (!WriteFileAtomically(path, encode(width, height, rate), &reason)) {
        if (error) *error = reason;
        return false;
    }
    lastCharacterId = 0;
    return true;
}

void SwfMovie::discard() {
    tags_.clear();
    frameCount_ = 0;
    placedDepths_.clear();
}

} // namespace stillora::swf

#pragma once
// The slideshow movie: an ordered list of SWF tags built while a render run
// goes on, encoded into a version-4 file when it ends. Every still becomes
// a DefineBitsJPEG2 picture and a DefineShape rectangle filled with it,
// placed at a depth of its own above the slides before it, optionally faded
// in, and shown for a number of frames.
//
// Character identifiers are counted program-wide (SwfLastCharacterId): a
// movie's identifiers run 1, 2, 3 ... when the movie before it was written;
// after a file that could not be written they continue from there.
//
// One movie at a time; its members are called on the thread of the render
// run that feeds it.

#include "export/swf/SwfTags.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace stillora::swf {

// The last character identifier handed out; 0 before the first definition
// and after every file written.
uint16_t SwfLastCharacterId();

// round(numerator / denominator) with halves going to the even neighbour.
int64_t RoundHalfEven(int64_t numerator, int64_t denominator);

class SwfMovie {
public:
    // A new empty list holding the black background (SwfBeginMovie).
    void begin();
    // n ShowFrame tags.
    void addEmptyFrames(int n);
    // One slide from the JPEG at `jpegPath`: the picture drawn one pixel per
    // pixel in the box at (x, y), faded in over `fadeFrames` frames when
    // `crossfade`, then shown for `framesPerSlide` frames. Returns the
    // shape's identifier, 0 when the file does not exist (nothing is defined
    // then, but the frames are still added).
    uint16_t addSlide(const QString& jpegPath, int x, int y, int boxWidth, int boxHeight,
                      uint16_t depth, int framesPerSlide, bool crossfade, int fadeFrames);
    // n frames that fade the character at `depth` towards transparent.
    void fadeOut(uint16_t depth, int n);
    // The closing fade to the black background: the slides under the last
    // one are removed (they are hidden by it), then the last one fades out
    // over n frames. Without any slide the n frames are plain.
    void fadeOutToBackground(int n);

    // The ShowFrame tags so far.
    int frameCount() const { return frameCount_; }
    const std::vector<std::unique_ptr<Tag>>& tags() const { return tags_; }

    // The whole file: header, the tags, End. A frame that fits 819 pixels
    // gets the 15-bit header rectangle; a larger one the smallest width that
    // holds 20 × its size.
    QByteArray encode(int width, int height, int rate) const;
    // encode() written beside `path` and renamed into place; on success the
    // character counter returns to 0. False with the reason in *error when
    // the file cannot be written (nothing is left behind then).
    bool writeFile(const QString& path, int width, int height, int rate, QString* error) const;
    // Frees the list (SwfDiscardMovie).
    void discard();

private:
    void placeFade(uint16_t depth, uint16_t character, int alpha, bool first);

    std::vector<std::unique_ptr<Tag>> tags_;
    int frameCount_ = 0;
    // Depths that hold a placed slide, in placing order.
    std::vector<uint16_t> placedDepths_;
};

} // namespace stillora::swf

#pragma once
// A seekable byte source that the media layer reads instead of a file, for
// inputs that only the program itself knows how to assemble (a DVD title's
// cells, for one).
//
// Threads: one thread at a time (whichever thread drives the decoder).

#include <cstdint>

namespace stillora {

class InputReader {
public:
    virtual ~InputReader() = default;
    // Copies up to `size` bytes from the current position into `buffer` and
    // moves on by as many. Returns the count, 0 at the end, -1 when the data
    // cannot be read (the position is then unchanged).
    virtual int read(uint8_t* buffer, int size) = 0;
    // Moves to byte `position` (0..size()). False when it is out of range.
    virtual bool seek(int64_t position) = 0;
    virtual int64_t position() const = 0;
    // Total number of bytes.
    virtual int64_t size() const = 0;
};

} // namespace stillora

#pragma once
// Kit-internal access to the shared random generator (not exported).

#include <cstddef>
#include <cstdint>

namespace stillora {
// The next count draws (a multiple of 3), each group of three stored in
// reverse order, for effects whose pixels hold blue, green, red while the
// draws are taken red, green, blue.
void RandomWordsReversedTriples(uint32_t* out, size_t count);
} // namespace stillora

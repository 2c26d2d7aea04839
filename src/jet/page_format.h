#pragma once
// Sizes of the Jet 4 page format that every layer shares, from the file itself up.
#include <cstddef>

namespace jet {

// Every page of a Jet 4 file, data, index, usage map or the header, has this size.
constexpr size_t kPageSize = 4096;

} // namespace jet

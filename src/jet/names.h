#pragma once
// Object names compare as Jet compares them: ignoring case, accented letters included.
#include <string_view>

namespace jet {

// <0, 0, >0 as a sorts before, with or after b ignoring case (UTF-8 input).
int compareNoCase(std::string_view a, std::string_view b);
inline bool equalsNoCase(std::string_view a, std::string_view b) {
  return compareNoCase(a, b) == 0;
}

} // namespace jet

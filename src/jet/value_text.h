#pragma once
// Values written as text where the form is fixed whatever the reader's regional settings:
// exports, SQL literals, reports and the grid all take these from here.
#include "jet/value.h"

#include <string>

namespace jet {

// "{6B29FC40-CA47-1067-B31D-00DD010662DA}": upper case, the first three groups read
// little-endian as Windows stores the structure.
std::string formatGuid(const Guid &g);

} // namespace jet

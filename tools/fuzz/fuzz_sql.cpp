// libFuzzer target: any text given to the SQL parser gives a statement or a Status, never a
// crash, a hang or unbounded recursion.
#include "sql/parser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  (void)sql::parseStatement(std::string_view(reinterpret_cast<const char *>(data), size));
  return 0;
}

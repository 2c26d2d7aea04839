#pragma once
// Pages for new data, index and long-value pages: a free page of the database's map on page 1
// where there is one, else a new page at the end of the file; pages given back return there.
#include "jet/pager.h"
#include "jet/status.h"

#include <cstdint>

namespace jet {

class PageAllocator {
public:
  static constexpr uint32_t kGlobalMapWord = (1u << 8) | 0; // page 1, row 0

  explicit PageAllocator(Pager &pager) : pager_(pager) {}

  // A zero-filled page for new use.
  Result<uint32_t> allocate();
  // A page at the end of the file, bypassing the free map (bitmap pages of the free map itself).
  Result<uint32_t> appendFresh();
  // Gives a page back: its bytes are cleared and the free map marks it.
  Status release(uint32_t page);

private:
  bool haveGlobalMap();
  Pager &pager_;
  int globalMap_ = -1; // unknown, absent (0), present (1)
};

} // namespace jet

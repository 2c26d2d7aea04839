#pragma once
// A page usage map: the set of pages a table (or index, or column) owns. Stored in a row,
// either inline (type 0: first page and a bitmap) or as pointers to bitmap pages (type 1).
#include "jet/bytes.h"
#include "jet/pager.h"
#include "jet/status.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace jet {

class UsageMap {
public:
  static constexpr uint8_t kInline = 0x00;
  static constexpr uint8_t kReference = 0x01;
  static constexpr uint32_t kPagesPerMapPage = (kPageSize - 4) * 8;

  // Reads the map held in the row the pointer word names.
  static Result<UsageMap> load(Pager &pager, uint32_t pointerWord);

  uint8_t kind() const { return kind_; }
  RowPointer location() const { return location_; }
  // Inline map: the page of bit 0 and the bitmap. Reference map: the bitmap pages (0: none).
  uint32_t startPage() const { return startPage_; }
  const std::vector<uint8_t> &bitmap() const { return bitmap_; }
  const std::vector<uint32_t> &mapPages() const { return mapPages_; }

  // The first page at or after `from` that the map marks, or none.
  Result<std::optional<uint32_t>> nextPage(Pager &pager, uint32_t from) const;
  // Every marked page, in ascending order (small maps and tests).
  Result<std::vector<uint32_t>> pages(Pager &pager) const;

private:
  uint8_t kind_ = kInline;
  RowPointer location_;
  uint32_t startPage_ = 0;         // inline map: page of bit 0
  std::vector<uint8_t> bitmap_;    // inline map
  std::vector<uint32_t> mapPages_; // reference map: one bitmap page per slot, 0 if none
};

} // namespace jet

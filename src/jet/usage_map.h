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
  // In the map's row: its kind byte, then for an inline map the page of bit 0 and the bitmap,
  // for a reference map one 4-byte bitmap page number per slot.
  static constexpr size_t kStartPageOffset = 1;
  static constexpr size_t kInlineBitmapOffset = 5;
  static constexpr size_t kMapPagesOffset = 1;
  // A bitmap page (type 0x05): a 4-byte header, then bits for the pages of its slot.
  static constexpr size_t kMapPageBitmapOffset = 4;
  static constexpr uint32_t kPagesPerMapPage = (kPageSize - kMapPageBitmapOffset) * 8;

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
  friend class UsageMapEditor;
  uint8_t kind_ = kInline;
  RowPointer location_;
  uint32_t startPage_ = 0;         // inline map: page of bit 0
  std::vector<uint8_t> bitmap_;    // inline map
  std::vector<uint32_t> mapPages_; // reference map: one bitmap page per slot, 0 if none
};

// First set bit at index >= from in bits[0 .. bytes*8), lowest bit of each byte first.
std::optional<uint32_t> firstSetBit(const uint8_t *bits, size_t bytes, uint64_t from);

class PageAllocator;

// Changes a stored usage map through the pager's transaction. An inline map whose range cannot
// hold a page moves its start while it is empty, and otherwise becomes a reference map (its
// bitmap pages come from the allocator), as the Jet engine lets a map grow.
class UsageMapEditor {
public:
  // `global`: the database's free-page map on page 1, where pages past an inline map's range
  // count as free and pages before it as in use.
  UsageMapEditor(Pager &pager, PageAllocator *pages, uint32_t pointerWord, bool global = false)
      : pager_(pager), pages_(pages), word_(pointerWord), global_(global) {}

  Result<bool> contains(uint32_t page);
  Status add(uint32_t page);
  Status remove(uint32_t page);
  // The first marked page at or after `from` (below `limit`), or none.
  Result<std::optional<uint32_t>> next(uint32_t from, uint32_t limit = 0xFFFFFFFFu);
  // Every marked page, ascending.
  Result<std::vector<uint32_t>> pages();

private:
  // The map's row: its bytes in the page image (writable when `change`), and its length.
  Result<uint8_t *> row(bool change, size_t &length);
  Status setBit(uint32_t page, bool on);
  Status toReference(uint8_t *row, size_t length, uint32_t extraPage);
  Status globalToReference(uint8_t *row, size_t length, uint32_t page, bool on);

  Pager &pager_;
  PageAllocator *pages_;
  uint32_t word_;
  bool global_;
  PageRef hold_;
};

} // namespace jet

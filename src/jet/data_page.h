#pragma once
// A data page (type 0x01): the row offset table and the bounds of each row. Long-value
// pages share the layout and carry "LVAL" where a data page names its table.
#include "jet/bytes.h"
#include "jet/pager.h"
#include "jet/status.h"

#include <cstdint>

namespace jet {

constexpr uint8_t kPageTypeData = 0x01;
constexpr uint8_t kPageTypeTableDef = 0x02;
constexpr uint8_t kPageTypeIndexNode = 0x03;
constexpr uint8_t kPageTypeIndexLeaf = 0x04;
constexpr uint8_t kPageTypeUsageMap = 0x05;

struct RowSlot {
  uint16_t start = 0; // offset of the row's first byte in the page
  uint16_t end = 0;   // one past its last byte
  bool deleted = false;
  bool overflow = false; // the row holds a pointer to where its data now lives
  uint16_t length() const { return static_cast<uint16_t>(end - start); }
};

class DataPage {
public:
  static constexpr uint16_t kDeletedFlag = 0x8000;
  static constexpr uint16_t kOverflowFlag = 0x4000;
  static constexpr uint16_t kOffsetMask = 0x1FFF;
  static constexpr size_t kFreeSpaceOffset = 2;
  // The table definition page that owns the page, or kLongValueTag on a long-value page.
  static constexpr size_t kOwnerOffset = 4;
  static constexpr char kLongValueTag[] = "LVAL";
  static constexpr size_t kRowCountOffset = 12;
  static constexpr size_t kRowTableOffset = 14;

  // Fails unless the page is a data page with a row table that fits.
  static Result<DataPage> view(PageRef page);

  uint32_t number() const { return page_->number(); }
  const PageRef &page() const { return page_; }
  uint16_t freeSpace() const { return le16(page_->data() + kFreeSpaceOffset); }
  uint32_t tablePage() const { return le32(page_->data() + kOwnerOffset); }
  bool isLongValuePage() const;
  uint16_t rowCount() const { return rowCount_; }

  // The row's flags and bounds. Bounds are checked for live rows, and for deleted ones too
  // when asked (the data of a moved row is flagged deleted).
  Result<RowSlot> slot(uint16_t row, bool evenIfDeleted = false) const;
  ByteView bytes(const RowSlot &s) const { return {page_->data() + s.start, s.length()}; }

private:
  explicit DataPage(PageRef page, uint16_t rows) : page_(std::move(page)), rowCount_(rows) {}
  PageRef page_;
  uint16_t rowCount_;
};

} // namespace jet

#pragma once
// Memo and OLE values: a 12-byte descriptor in the row, the data inline, in one row of a
// long-value (LVAL) page, or in a chain of such rows.
#include "jet/bytes.h"
#include "jet/pager.h"
#include "jet/status.h"
#include "jet/value.h"

#include <cstdint>

namespace jet {

struct LongValueRef {
  // The descriptor: a length word (the value's length, its kind in the top two bits), the
  // pointer word of the LVAL row, 4 bytes unused. Inline data follows it in the row.
  static constexpr size_t kSize = 12;
  static constexpr size_t kPointerOffset = 4;
  static constexpr uint32_t kLengthMask = 0x3FFFFFFFu;
  static constexpr unsigned kKindShift = 24; // the kind is the length word's top byte
  static constexpr uint8_t kInline = 0x80;
  static constexpr uint8_t kSinglePage = 0x40;
  static constexpr uint8_t kChain = 0x00;
  // Each row of a chain begins with the pointer word of the next part (0 in the last).
  static constexpr size_t kChainLinkSize = 4;
  // The kind takes the top two bits of the length word.
  static constexpr uint32_t kMaxLength = kLengthMask;

  uint32_t length = 0; // total bytes of the value
  uint8_t kind = kInline;
  RowPointer first;    // LVAL row holding the value, or the chain's first part
  ByteView inlineData; // kInline: the bytes after the descriptor

  // Fails when the descriptor is shorter than 12 bytes or names an unknown kind.
  static Result<LongValueRef> parse(ByteView field, uint32_t page);
  // The descriptor of a value of `length` bytes (at most kMaxLength) stored as `kind`;
  // `pointer` names its LVAL row or the chain's first part.
  static Bytes encode(uint32_t length, uint8_t kind, uint32_t pointer = 0);
};

class LongValueReader {
public:
  explicit LongValueReader(Pager &pager) : pager_(pager) {}
  // The value's bytes; `page` is the row's page, named when the descriptor is damaged.
  Result<Bytes> read(ByteView field, uint32_t page);
  // A memo: its text decoded straight from the page where it is stored in one piece.
  Status readText(ByteView field, uint32_t page, Value &out);
  // The bytes the value's storage holds (inline data, the LVAL row, every part of the chain up
  // to its end), to compare with the length its descriptor declares.
  Result<uint64_t> storedLength(ByteView field, uint32_t page);

private:
  // Inline and single-page values without a copy; `hold` keeps the page.
  Result<ByteView> view(const LongValueRef &ref, PageRef &hold);
  Result<ByteView> lvalRow(RowPointer at, PageRef &hold);
  Pager &pager_;
};

} // namespace jet

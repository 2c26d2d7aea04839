#pragma once
// A table definition (TDEF), possibly spread over several pages: columns, indexes, counters.
#include "jet/pager.h"
#include "jet/status.h"
#include "jet/value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

struct ColumnDef {
  static constexpr uint8_t kFixedFlag = 0x01;
  static constexpr uint8_t kUpdatableFlag = 0x02;
  static constexpr uint8_t kAutoNumberFlag = 0x04;
  static constexpr uint8_t kReplicationFlag = 0x10;
  static constexpr uint8_t kAutoGuidFlag = 0x40;
  static constexpr uint8_t kHyperlinkFlag = 0x80;
  static constexpr uint8_t kCompressedUnicodeFlag = 0x01; // in extFlags

  std::string name;
  ColumnType type = ColumnType::Long;
  uint16_t number = 0;      // bit in the null mask; deleted columns keep theirs
  uint16_t index = 0;       // position among the table's columns
  uint16_t varIndex = 0;    // slot in a row's variable-length offset table
  uint16_t fixedOffset = 0; // offset in a row's fixed-length area
  uint16_t length = 0;      // stored size in bytes (maximum for variable columns)
  uint8_t flags = 0;
  uint8_t extFlags = 0;
  uint8_t precision = 0;       // decimal
  uint8_t scale = 0;           // decimal
  uint16_t sortOrder = 0;      // text and memo: collating order (0x409 General)
  size_t definitionOffset = 0; // of its 25-byte descriptor in TableDef::raw
  bool required = false;       // its "Required" design property: Null refused

  bool isFixed() const { return (flags & kFixedFlag) != 0; }
  bool isAutoNumber() const { return (flags & kAutoNumberFlag) != 0; }
  bool isAutoGuid() const { return (flags & kAutoGuidFlag) != 0; }
  bool isHyperlink() const { return (flags & kHyperlinkFlag) != 0; }
  bool compressedUnicode() const { return (extFlags & kCompressedUnicodeFlag) != 0; }
  bool isLongValue() const { return type == ColumnType::Memo || type == ColumnType::Ole; }
  bool isText() const { return type == ColumnType::Text || type == ColumnType::Memo; }
};

// Bytes a fixed-length column of this type takes in a row (0 for yes/no, kept in the null mask;
// 0 for types whose size the column gives).
size_t fixedSizeOf(ColumnType type);
bool isKnownColumnType(uint8_t type);

struct IndexColumn {
  uint16_t columnNumber = 0; // ColumnDef::number
  bool ascending = true;
};

// The stored index tree (num_real_idx entries); logical indexes share them.
struct PhysicalIndex {
  static constexpr uint8_t kUniqueFlag = 0x01;
  static constexpr uint8_t kIgnoreNullsFlag = 0x02;
  static constexpr uint8_t kRequiredFlag = 0x08;

  uint32_t number = 0;
  std::vector<IndexColumn> columns;
  uint32_t usageMap = 0; // row pointer word of its page usage map
  uint32_t rootPage = 0;
  uint8_t flags = 0;
  uint32_t rowCount = 0; // as the definition records it
  size_t definitionOffset = 0;

  bool unique() const { return (flags & kUniqueFlag) != 0; }
  bool ignoreNulls() const { return (flags & kIgnoreNullsFlag) != 0; }
  bool required() const { return (flags & kRequiredFlag) != 0; }
};

// An index as users see it: a name, a kind, the physical index behind it.
struct LogicalIndex {
  static constexpr uint8_t kNormal = 0x00;
  static constexpr uint8_t kPrimaryKey = 0x01;
  static constexpr uint8_t kForeignKey = 0x02;

  std::string name;
  uint32_t number = 0;
  uint32_t physical = 0; // position in TableDef::physicalIndexes
  uint8_t kind = kNormal;
  // Foreign keys: the other side of the relationship. relatedTableType is 1 in the table
  // that others reference (the one side), 2 in the referencing table.
  uint8_t relatedTableType = 0;
  uint32_t relatedIndex = 0xFFFFFFFFu;
  uint32_t relatedTablePage = 0;
  bool cascadeUpdates = false;
  bool cascadeDeletes = false;
  bool cascadeNull = false;
  size_t definitionOffset = 0;

  bool isPrimaryKey() const { return kind == kPrimaryKey; }
  bool isForeignKey() const { return kind == kForeignKey; }
  bool onReferencedSide() const { return isForeignKey() && relatedTableType == 1; }
};

// The pages of a memo or OLE column's long values, as the definition's last block lists them.
struct LongValueMaps {
  uint16_t columnNumber = 0;
  uint32_t usedPagesMap = 0;
  uint32_t freePagesMap = 0;
};

struct TableDef {
  static constexpr uint8_t kUserTable = 0x4E;
  static constexpr uint8_t kSystemTable = 0x53;

  std::string name;
  uint32_t page = 0;           // first definition page (the table's id in the catalogue)
  std::vector<uint32_t> pages; // every definition page, in chain order
  uint32_t rowCount = 0;
  uint32_t lastAutoNumber = 0; // the autonumber value most recently given out
  uint8_t tableType = kUserTable;
  uint16_t maxColumns = 0; // columns a row may hold, deleted ones included
  uint16_t varColumnCount = 0;
  uint32_t usedPagesMap = 0;      // row pointer word of the map of the table's pages
  uint32_t freePagesMap = 0;      // row pointer word of the map of its pages with free space
  std::vector<ColumnDef> columns; // in table order
  std::vector<PhysicalIndex> physicalIndexes;
  std::vector<LogicalIndex> indexes;
  std::vector<LongValueMaps> longValueMaps;
  // The definition's bytes: the first page whole, then each further page without its
  // 8-byte header. Every definitionOffset above is into this.
  std::vector<uint8_t> raw;

  bool isSystem() const { return tableType == kSystemTable; }
  uint32_t nextAutoNumber() const { return lastAutoNumber + 1; }
  // Case-insensitive, as Jet matches names.
  const ColumnDef *findColumn(std::string_view name) const;
  const ColumnDef *columnByNumber(uint16_t number) const;
  const LongValueMaps *longValueMapsOf(uint16_t columnNumber) const;
};

// Jet 4 layout of a table definition, as offsets into TableDef::raw; the reader and the writer
// (table_def_writer.h) both go by these.
namespace tdef {
// Page header: type 0x02, 0x01, free space, next definition page; later pages have only this.
constexpr size_t kFreeSpace = 2;
constexpr size_t kNextPage = 4;
constexpr size_t kContinuationHeader = 8;
// The definition block, on the first page.
constexpr size_t kLength = 8; // bytes of the whole definition
constexpr size_t kMagic = 12;
constexpr size_t kRowCount = 16;
constexpr size_t kAutoNumber = 20;
constexpr size_t kAutoNumberIncrement = 24;
constexpr size_t kTableType = 40;
constexpr size_t kMaxColumns = 41;
constexpr size_t kVarColumns = 43;
constexpr size_t kColumnCount = 45;
constexpr size_t kIndexCount = 47;
constexpr size_t kRealIndexCount = 51;
constexpr size_t kUsedPages = 55;
constexpr size_t kFreePages = 59;
constexpr size_t kFirstBlock = 63;
// Then, one after the other: a row count per physical index, column descriptors, column names
// (u16 byte length, UCS-2), physical indexes, logical indexes, index names, long-value maps.
constexpr size_t kRealIndexCountSize = 12;
constexpr size_t kRealIndexRowCount = 4;
// A column descriptor.
constexpr size_t kColumnSize = 25;
constexpr size_t kColumnType = 0;
constexpr size_t kColumnMagic = 1;
constexpr size_t kColumnNumber = 5;
constexpr size_t kColumnVarIndex = 7;
constexpr size_t kColumnIndex = 9;
constexpr size_t kColumnSortOrder = 11;   // text and memo
constexpr size_t kColumnPrecision = 11;   // decimal
constexpr size_t kColumnScale = 12;       // decimal
constexpr size_t kColumnSortVersion = 14; // text and memo
constexpr size_t kColumnFlags = 15;
constexpr size_t kColumnExtFlags = 16;
constexpr size_t kColumnFixedOffset = 21;
constexpr size_t kColumnLength = 23;
// A physical index: ten (column number, order) slots, its usage map, root page and flags.
constexpr size_t kRealIndexSize = 52;
constexpr size_t kRealIndexMagic = 0;
constexpr size_t kRealIndexColumns = 4;
constexpr size_t kRealIndexColumnSlot = 3; // column number (2), then its order
constexpr size_t kRealIndexColumnOrder = 2;
constexpr size_t kIndexColumnSlots = 10;
constexpr size_t kRealIndexUsageMap = 34;
constexpr size_t kRealIndexRootPage = 38;
constexpr size_t kRealIndexFlags = 46;
constexpr uint16_t kNoColumn = 0xFFFF;
constexpr uint8_t kAscending = 0x01;
constexpr uint8_t kDescending = 0x02;
// A logical index.
constexpr size_t kLogicalIndexSize = 28;
constexpr size_t kLogicalMagic = 0;
constexpr size_t kLogicalNumber = 4;
constexpr size_t kLogicalPhysical = 8;
constexpr size_t kLogicalRelatedTableType = 12;
constexpr size_t kLogicalRelatedIndex = 13;
constexpr size_t kLogicalRelatedTablePage = 17;
constexpr size_t kLogicalCascadeUpdates = 21;
constexpr size_t kLogicalCascadeDeletes = 22; // 0x01 deletes, 0x02 sets to Null
constexpr size_t kLogicalKind = 23;
// A memo or OLE column's maps: column number, used-pages map, free-pages map; kNoColumn ends.
constexpr size_t kLongValueMapSize = 10;
constexpr size_t kLongValueMapUsed = 2;
constexpr size_t kLongValueMapFree = 6;
} // namespace tdef

constexpr size_t kTableDefRowCountOffset = tdef::kRowCount;
constexpr size_t kTableDefAutoNumberOffset = tdef::kAutoNumber;

// Changes stored definition bytes through the pager's transaction; `rawOffset` counts as
// TableDef::raw does (the bytes may run over into the next definition page).
Status writeTableDefBytes(Pager &pager, const TableDef &def, size_t rawOffset, ByteView bytes);

// Reads the definition that starts at the given page. The name goes into error messages.
Result<std::shared_ptr<const TableDef>> readTableDef(Pager &pager, uint32_t page,
                                                     const std::string &name);

} // namespace jet

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

// Jet 4 offsets of the counters in a definition's first page.
constexpr size_t kTableDefRowCountOffset = 16;
constexpr size_t kTableDefAutoNumberOffset = 20;

// Changes stored definition bytes through the pager's transaction; `rawOffset` counts as
// TableDef::raw does (the bytes may run over into the next definition page).
Status writeTableDefBytes(Pager &pager, const TableDef &def, size_t rawOffset, ByteView bytes);

// Reads the definition that starts at the given page. The name goes into error messages.
Result<std::shared_ptr<const TableDef>> readTableDef(Pager &pager, uint32_t page,
                                                     const std::string &name);

} // namespace jet

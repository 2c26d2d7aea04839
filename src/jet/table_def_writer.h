#pragma once
// Table definitions written as the Jet engine lays them out: from a list of columns and indexes
// to a TableDef with every number, offset and flag assigned, and from a TableDef to the bytes
// of its definition page or pages.
//
// Bytes that carry no meaning (Access leaves whatever its memory held there) are written as
// zeros; every other byte is the one Access writes: the constant 0x0659 in the header, in each
// column and logical index, 0x0783 in each physical index, the General sort order in every
// column that is not a decimal, 0x80 in every physical index's flags.
#include "jet/bytes.h"
#include "jet/properties.h"
#include "jet/status.h"
#include "jet/table_def.h"
#include "jet/value.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace jet {

struct ColumnSpec {
  std::string name;
  ColumnType type = ColumnType::Long;
  uint16_t size = 0;       // text: characters (1 to 255, default 50); binary: bytes (1 to 255)
  uint8_t precision = 18;  // decimal
  uint8_t scale = 0;       // decimal
  bool autoNumber = false; // long: counter; GUID: new GUID for each row
  bool required = false;
  bool compressedUnicode = true; // text and memo
  std::string defaultValue;      // its DefaultValue design property as Access writes it ("0")
};

struct IndexSpec {
  std::string name;
  std::vector<std::pair<std::string, bool>> columns; // column name, ascending
  bool primaryKey = false;
  bool unique = false;
  bool ignoreNulls = false;
};

struct TableSpec {
  std::string name;
  std::vector<ColumnSpec> columns;
  std::vector<IndexSpec> indexes;
  bool system = false; // MSys tables: as Access lays out its own
};

// The page maps of one memo or OLE column, listed after the indexes.
struct LongValueMap {
  uint16_t columnNumber = 0;
  uint32_t usedPagesMap = 0;
  uint32_t freePagesMap = 0;
};

struct PlannedTable {
  TableDef def;                       // page numbers and map words still zero
  std::vector<LongValueMap> longMaps; // one per memo/OLE column, in column order
  std::vector<bool> required;         // per column, in table order
};

// Checks a table or column name the way the Jet engine does (Italian message on refusal):
// 1 to 64 characters, no leading blank, no control characters, none of . ! ` [ ].
Status checkObjectName(const std::string &name, const char *what);

// Columns numbered in order, variable ones given their slots, fixed ones their offsets; index
// columns resolved; duplicate names, unknown index columns, bad sizes refused.
Result<PlannedTable> planTable(const TableSpec &tableSpec);

// The definition's bytes (without page split), terminator included.
Bytes encodeTableDef(const TableDef &def, const std::vector<LongValueMap> &longMaps);
// How many definition pages the encoded bytes take.
size_t tableDefPageCount(size_t encodedSize);
// Splits the definition over its pages (`pages` as many as tableDefPageCount says): each a
// full page image, chained, with its free space.
std::vector<Bytes> layoutTableDefPages(const Bytes &encoded, const std::vector<uint32_t> &pages);

// The design properties a new table's catalogue row carries (LvProp): Required and DefaultValue
// of the columns that have them; empty where none has.
PropertyMap designProperties(const TableSpec &tableSpec);

// The memo/OLE page maps listed after the indexes of a stored definition.
std::vector<LongValueMap> readLongValueMaps(const TableDef &def);

} // namespace jet

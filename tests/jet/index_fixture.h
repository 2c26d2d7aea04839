#pragma once
// A deliberately small, independent reader of Jet 4 files for the index tests: pages, table
// definitions, index leaves and plain rows. It knows just enough to find what the index pages
// should hold; the engine's own reader is not used, so the tests check the index code against
// the file rather than against itself.
#include "jet/index_page.h"
#include "jet/value.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace indextest {

class RawFile {
public:
  static std::optional<RawFile> open(const std::filesystem::path &path);
  uint32_t pageCount() const { return static_cast<uint32_t>(bytes_.size() / jet::kIndexPageSize); }
  // An empty span for a page outside the file.
  std::span<const uint8_t> page(uint32_t number) const;

private:
  std::vector<uint8_t> bytes_;
};

struct RawColumn {
  jet::ColumnType type{};
  uint16_t number = 0;
  uint16_t varIndex = 0;
  uint16_t fixedOffset = 0;
  uint16_t length = 0;
  bool fixed = false;
  uint16_t sortOrder = 0;
  uint8_t sortVersion = 0;
  uint8_t precision = 0;
  uint8_t scale = 0;
  std::string name;
};

struct RawIndexColumn {
  uint16_t columnNumber = 0;
  bool ascending = true;
};

struct RawIndex {
  std::vector<RawIndexColumn> columns;
  uint32_t rootPage = 0;
  uint8_t flags = 0;
  bool ignoresNulls() const { return flags & 0x02; }
};

struct RawTable {
  uint32_t definitionPage = 0;
  uint32_t rowCount = 0; // not kept up to date for system tables
  bool system = false;
  std::vector<RawColumn> columns;
  std::vector<RawIndex> indexes;
  const RawColumn *column(uint16_t number) const;
};

// The first pages of every table definition in the file.
std::vector<uint32_t> tableDefinitionPages(const RawFile &file);
std::optional<RawTable> readTable(const RawFile &file, uint32_t definitionPage);

// Every leaf entry of the index whose root is given, in leaf order (leftmost leaf, then the
// next-page chain, tail pages included). Nothing where a page does not decode.
std::optional<std::vector<jet::IndexEntry>> readIndexLeaves(const RawFile &file, uint32_t rootPage);

// The values of one row (by column number), following an overflow pointer if there is one.
std::optional<std::vector<jet::Value>> readRow(const RawFile &file, const RawTable &table,
                                               jet::RowPointer row);

// Canonical CSV of the fixtures' expected/ folder: rows of fields, quotes removed.
struct CsvField {
  bool null = true;
  std::string text;
};
std::vector<std::vector<CsvField>> readCsv(const std::filesystem::path &path);

std::string hex(std::span<const uint8_t> bytes);
// The other way: "7f 4a 01" (two hex digits and a blank a byte) to its bytes.
jet::Bytes hexBytes(const std::string &hex);

} // namespace indextest

#pragma once
// Compact in-memory form of many rows: a recordset of 200,000 rows must cost about what its
// data costs, not a variant per cell. Rows are appended to one arena and decoded field by field.
#include "jet/value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace data {

class RowBuffer {
public:
  // Returns the slot of the new row.
  uint32_t append(const std::vector<jet::Value> &values);
  // Replaces a row's contents; the old bytes stay in the arena until compact().
  void replace(uint32_t slot, const std::vector<jet::Value> &values);
  jet::Value field(uint32_t slot, int index) const;
  std::vector<jet::Value> row(uint32_t slot) const;
  size_t size() const { return offsets_.size(); }
  size_t bytes() const { return arena_.size(); }
  void clear();
  // Drops bytes no row refers to any more.
  void compact();

private:
  std::string encode(const std::vector<jet::Value> &values) const;
  std::string arena_;
  std::vector<uint64_t> offsets_;
  std::vector<uint32_t> lengths_;
  size_t garbage_ = 0;
};

} // namespace data

#pragma once
// The index maintainer the database installs: every physical index of a table kept as a B-tree
// (index_btree.h) with its rules (index_rows.h) on each row the writer changes, and the index
// half of the integrity check (index_check.h).
#include "jet/index_btree.h"
#include "jet/index_maintenance.h"

namespace jet {

class PageAllocator;

// Index pages through a write context: reads and changes through the transaction's pager, new
// pages from the database's free-page map and recorded in the index's usage map, pages given
// back to both.
class ContextIndexIO : public IndexPageIO {
public:
  ContextIndexIO(Pager &pager, PageAllocator &pages) : pager_(pager), pages_(pages) {}
  Status read(uint32_t page, std::span<uint8_t> out) override;
  Status write(uint32_t page, std::span<const uint8_t> image) override;
  Result<uint32_t> allocate(const PhysicalIndex &index) override;
  Status release(const PhysicalIndex &index, uint32_t page) override;

private:
  Pager &pager_;
  PageAllocator &pages_;
};

class BtreeIndexMaintainer : public IndexMaintainer {
public:
  Status rowInserted(WriteContext &ctx, const TableDef &table, const RowLocation &at,
                     std::span<const Value> values) override;
  Status rowUpdated(WriteContext &ctx, const TableDef &table, const RowLocation &at,
                    std::span<const Value> oldValues, std::span<const Value> newValues) override;
  Status rowDeleted(WriteContext &ctx, const TableDef &table, const RowLocation &at,
                    std::span<const Value> oldValues) override;
  Status checkTable(Pager &pager, const TableDef &table, std::span<const RowLocation> locations,
                    std::span<const std::vector<Value>> rows,
                    std::vector<std::string> &findings) override;
};

// The one the database uses unless told otherwise.
IndexMaintainer &btreeIndexMaintenance();

} // namespace jet

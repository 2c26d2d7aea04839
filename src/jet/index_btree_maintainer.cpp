#include "jet/index_btree_maintainer.h"

#include "jet/index_check.h"
#include "jet/index_rows.h"
#include "jet/page_allocator.h"
#include "jet/usage_map.h"

#include <cstring>

namespace jet {

Status ContextIndexIO::read(uint32_t page, std::span<uint8_t> out) {
  PageRef hold;
  auto bytes = pager_.peek(page, hold);
  if (!bytes)
    return bytes.status();
  std::memcpy(out.data(), *bytes, std::min(out.size(), kPageSize));
  return Status::ok();
}

Status ContextIndexIO::write(uint32_t page, std::span<const uint8_t> image) {
  auto img = pager_.modify(page);
  if (!img)
    return img.status();
  std::memcpy(*img, image.data(), std::min(image.size(), kPageSize));
  return Status::ok();
}

Result<uint32_t> ContextIndexIO::allocate(const PhysicalIndex &index) {
  auto page = pages_.allocate();
  if (!page)
    return page.status();
  if (index.usageMap != 0)
    JET_TRY(UsageMapEditor(pager_, &pages_, index.usageMap).add(*page));
  return page;
}

Status ContextIndexIO::release(const PhysicalIndex &index, uint32_t page) {
  if (index.usageMap != 0)
    JET_TRY(UsageMapEditor(pager_, &pages_, index.usageMap).remove(page));
  return pages_.release(page);
}

Status BtreeIndexMaintainer::rowInserted(WriteContext &ctx, const TableDef &table,
                                         const RowLocation &at, std::span<const Value> values) {
  ContextIndexIO io(ctx.pager, ctx.pages);
  return TableIndexMaintainer(io, table).rowInserted(at, values);
}

Status BtreeIndexMaintainer::rowUpdated(WriteContext &ctx, const TableDef &table,
                                        const RowLocation &at, std::span<const Value> oldValues,
                                        std::span<const Value> newValues) {
  ContextIndexIO io(ctx.pager, ctx.pages);
  return TableIndexMaintainer(io, table).rowUpdated(at, oldValues, at, newValues);
}

Status BtreeIndexMaintainer::rowDeleted(WriteContext &ctx, const TableDef &table,
                                        const RowLocation &at, std::span<const Value> oldValues) {
  ContextIndexIO io(ctx.pager, ctx.pages);
  return TableIndexMaintainer(io, table).rowDeleted(at, oldValues);
}

Status BtreeIndexMaintainer::checkTable(Pager &pager, const TableDef &table,
                                        std::span<const RowLocation> locations,
                                        std::span<const std::vector<Value>> rows,
                                        std::vector<std::string> &findings) {
  std::vector<CheckedRow> checked;
  checked.reserve(rows.size());
  for (size_t i = 0; i < rows.size() && i < locations.size(); ++i)
    checked.push_back(CheckedRow{locations[i], rows[i]});
  PagerIndexIO io(pager);
  auto found = checkTableIndexes(io, table, checked);
  findings.insert(findings.end(), found.begin(), found.end());
  return Status::ok();
}

IndexMaintainer &btreeIndexMaintenance() {
  static BtreeIndexMaintainer maintainer;
  return maintainer;
}

} // namespace jet

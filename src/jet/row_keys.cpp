#include "jet/row_keys.h"

#include "jet/index_btree.h"
#include "jet/index_rows.h"
#include "jet/names.h"
#include "jet/page_allocator.h"
#include "jet/table_writer.h"

#include <algorithm>
#include <cstring>

namespace jet {

namespace {

// The first physical index whose leading columns are exactly `columns` (any order): the
// positions of those columns in index order.
const PhysicalIndex *leadingIndex(const TableDef &def, std::span<const size_t> columns,
                                  std::vector<size_t> &order) {
  for (const PhysicalIndex &idx : def.physicalIndexes) {
    if (idx.columns.size() < columns.size() || idx.rootPage == 0)
      continue;
    order.clear();
    bool ok = true;
    for (size_t i = 0; i < columns.size() && ok; ++i) {
      const ColumnDef *col = def.columnByNumber(idx.columns[i].columnNumber);
      if (!col) {
        ok = false;
        break;
      }
      const size_t pos = static_cast<size_t>(col - def.columns.data());
      size_t k = 0;
      while (k < columns.size() && columns[k] != pos)
        ++k;
      if (k == columns.size())
        ok = false;
      else
        order.push_back(k);
    }
    if (ok)
      return &idx;
  }
  return nullptr;
}

} // namespace

bool sameKeyValue(const Value &a, const Value &b) {
  auto sa = a.getIf<std::string>();
  auto sb = b.getIf<std::string>();
  if (sa && sb)
    return equalsNoCase(*sa, *sb);
  if (a == b)
    return true;
  // Numbers of different widths (a Long pointing at an Integer key).
  auto num = [](const Value &v, double &out) {
    if (auto p = v.getIf<int32_t>())
      out = *p;
    else if (auto p = v.getIf<int16_t>())
      out = *p;
    else if (auto p = v.getIf<uint8_t>())
      out = *p;
    else if (auto p = v.getIf<double>())
      out = *p;
    else if (auto p = v.getIf<float>())
      out = *p;
    else
      return false;
    return true;
  };
  double x, y;
  return num(a, x) && num(b, y) && x == y;
}

std::vector<Value> keyOf(std::span<const Value> row, std::span<const size_t> columns) {
  std::vector<Value> key;
  for (size_t c : columns)
    key.push_back(row[c]);
  return key;
}

bool anyNull(std::span<const Value> key) {
  for (auto &v : key)
    if (v.isNull())
      return true;
  return false;
}

bool sameKey(std::span<const Value> a, std::span<const Value> b) {
  for (size_t i = 0; i < a.size(); ++i)
    if (!sameKeyValue(a[i], b[i]))
      return false;
  return true;
}

std::string describeKey(const TableDef &def, std::span<const size_t> columns,
                        std::span<const Value> key) {
  std::string s;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i)
      s += ", ";
    s += def.columns[columns[i]].name + " = " + describeValue(key[i]);
  }
  return s;
}

const PhysicalIndex *primaryKeyOf(const TableDef &def, std::vector<size_t> *columns) {
  for (const LogicalIndex &li : def.indexes)
    if (li.isPrimaryKey() && li.physical < def.physicalIndexes.size()) {
      const PhysicalIndex &pk = def.physicalIndexes[li.physical];
      if (columns) {
        columns->clear();
        for (const IndexColumn &c : pk.columns)
          if (const ColumnDef *col = def.columnByNumber(c.columnNumber))
            columns->push_back(static_cast<size_t>(col - def.columns.data()));
      }
      return &pk;
    }
  return nullptr;
}

Result<std::vector<KeyedRow>> rowsWithKey(Pager &pager, std::shared_ptr<const TableDef> def,
                                          std::span<const size_t> columns,
                                          std::span<const Value> key, bool useIndexes,
                                          size_t limit) {
  std::vector<KeyedRow> out;
  std::vector<size_t> order;
  const TableDef &table = *def;
  const PhysicalIndex *idx = useIndexes ? leadingIndex(table, columns, order) : nullptr;
  if (idx) {
    std::vector<Value> inIndexOrder;
    for (size_t k : order)
      inIndexOrder.push_back(key[k]);
    auto bytes = idx->columns.size() == columns.size() ? indexKeyOf(table, *idx, inIndexOrder)
                                                       : indexKeyPrefix(table, *idx, inIndexOrder);
    if (!bytes)
      return bytes.status();
    std::vector<RowPointer> rows;
    PagerIndexIO io(pager);
    IndexTree tree(io, table, *idx);
    if (idx->columns.size() == columns.size()) {
      auto found = tree.find(*bytes);
      if (!found)
        return found.status();
      rows = std::move(*found);
    } else {
      JET_TRY(tree.scanPrefix(*bytes, [&](const IndexEntry &e) {
        rows.push_back(e.row);
        return true;
      }));
    }
    PageAllocator none(pager);
    TableWriter reader({pager, none}, def, noIndexMaintenance());
    for (const RowPointer &p : rows) {
      RowLocation at{p.page, p.row};
      auto values = reader.read(at);
      if (!values)
        return values.status();
      if (!sameKey(keyOf(*values, columns), key))
        continue;
      out.push_back(KeyedRow{at, std::move(*values)});
      if (limit && out.size() >= limit)
        break;
    }
    return out;
  }
  auto cur = TableCursor::open(pager, def);
  if (!cur)
    return cur.status();
  std::vector<Value> row;
  for (;;) {
    auto more = cur->next();
    if (!more)
      return more.status();
    if (!*more)
      break;
    JET_TRY(cur->read(row));
    if (sameKey(keyOf(row, columns), key)) {
      out.push_back(KeyedRow{cur->location(), row});
      if (limit && out.size() >= limit)
        break;
    }
  }
  return out;
}

namespace {

bool integerType(ColumnType t) {
  return t == ColumnType::Byte || t == ColumnType::Integer || t == ColumnType::Long;
}

// A child row's key as the parent's index encodes it, kept compactly: its bytes in a shared
// arena and the row's pointer word.
struct ChildKey {
  uint64_t offset;
  uint32_t length;
  uint32_t row;
};

// The keys of every child row sorted and merged with the parent's index in one walk, in memory
// that grows with the child keys (bytes each) instead of a lookup for each row. Only where the
// index's bytes decide equality as sameKey does: integer keys of the same type on both sides,
// the parent indexed on exactly those columns. Orphans are visited in the child's physical
// order, as a scan would find them. False where the merge does not apply.
Result<bool> orphansByMerge(Pager &pager, std::shared_ptr<const TableDef> child,
                            std::span<const size_t> childColumns,
                            std::shared_ptr<const TableDef> parent,
                            std::span<const size_t> parentColumns,
                            const std::function<bool(std::span<const Value>)> &visit) {
  std::vector<size_t> order;
  const PhysicalIndex *idx = leadingIndex(*parent, parentColumns, order);
  if (!idx || idx->columns.size() != parentColumns.size() ||
      childColumns.size() != parentColumns.size())
    return false;
  for (size_t i = 0; i < childColumns.size(); ++i) {
    ColumnType c = child->columns[childColumns[i]].type;
    if (!integerType(c) || c != parent->columns[parentColumns[i]].type)
      return false;
  }
  auto cur = TableCursor::open(pager, child);
  if (!cur)
    return cur.status();
  Bytes arena;
  std::vector<ChildKey> keys;
  std::vector<Value> row, inIndexOrder(order.size());
  for (;;) {
    auto more = cur->next();
    if (!more)
      return more.status();
    if (!*more)
      break;
    JET_TRY(cur->read(row));
    bool hasNull = false;
    for (size_t i = 0; i < order.size(); ++i) {
      inIndexOrder[i] = row[childColumns[order[i]]];
      hasNull = hasNull || inIndexOrder[i].isNull();
    }
    if (hasNull)
      continue;
    auto bytes = indexKeyOf(*parent, *idx, inIndexOrder);
    if (!bytes)
      return bytes.status();
    const RowLocation at = cur->location();
    keys.push_back({arena.size(), static_cast<uint32_t>(bytes->size()), at.page << 8 | at.row});
    arena.insert(arena.end(), bytes->begin(), bytes->end());
  }
  auto compare = [&](const ChildKey &k, const Bytes &key) {
    int c = std::memcmp(&arena[k.offset], key.data(), std::min<size_t>(k.length, key.size()));
    return c != 0 ? c : (k.length < key.size() ? -1 : k.length > key.size() ? 1 : 0);
  };
  std::sort(keys.begin(), keys.end(), [&](const ChildKey &a, const ChildKey &b) {
    int c = std::memcmp(&arena[a.offset], &arena[b.offset], std::min(a.length, b.length));
    return c != 0 ? c < 0 : a.length < b.length;
  });
  std::vector<uint32_t> orphans;
  size_t next = 0;
  PagerIndexIO io(pager);
  IndexTree tree(io, *parent, *idx);
  JET_TRY(tree.scanAll([&](const IndexEntry &e) {
    while (next < keys.size() && compare(keys[next], e.key) < 0)
      orphans.push_back(keys[next++].row);
    while (next < keys.size() && compare(keys[next], e.key) == 0)
      ++next;
    return next < keys.size();
  }));
  for (; next < keys.size(); ++next)
    orphans.push_back(keys[next].row);
  std::sort(orphans.begin(), orphans.end());
  PageAllocator none(pager);
  TableWriter reader({pager, none}, child, noIndexMaintenance());
  for (uint32_t word : orphans) {
    auto values = reader.read(RowLocation{word >> 8, static_cast<uint16_t>(word & 0xFF)});
    if (!values)
      return values.status();
    if (!visit(keyOf(*values, childColumns)))
      break;
  }
  return true;
}

} // namespace

Status rowsWithoutParent(Pager &pager, std::shared_ptr<const TableDef> child,
                         std::span<const size_t> childColumns,
                         std::shared_ptr<const TableDef> parent,
                         std::span<const size_t> parentColumns, bool useIndexes,
                         const std::function<bool(std::span<const Value>)> &visit) {
  if (useIndexes) {
    auto merged = orphansByMerge(pager, child, childColumns, parent, parentColumns, visit);
    if (!merged)
      return merged.status();
    if (*merged)
      return Status::ok();
  }
  auto cur = TableCursor::open(pager, child);
  if (!cur)
    return cur.status();
  std::vector<Value> row;
  for (;;) {
    auto more = cur->next();
    if (!more)
      return more.status();
    if (!*more)
      return Status::ok();
    JET_TRY(cur->read(row));
    const std::vector<Value> key = keyOf(row, childColumns);
    if (anyNull(key))
      continue;
    auto found = rowsWithKey(pager, parent, parentColumns, key, useIndexes, 1);
    if (!found)
      return found.status();
    if (found->empty() && !visit(key))
      return Status::ok();
  }
}

} // namespace jet

#pragma once
// The hook through which a table's indexes follow its rows.
//
// The row writer (table_writer.h) calls the database's maintainer once per row it inserts,
// updates or deletes, inside the statement's savepoint, after the row itself is written: the
// location is final (an insert's new row, or the row whose header stays put on update). A
// failing call (a duplicate key, a key the encoder cannot encode) fails the statement, and the
// statement's savepoint puts back every page it changed, the row's included.
//
// What a maintainer may use: the context's pager (reads see the transaction; modify() before each
// change of a page) and its page allocator (index pages come from, and go back to, the database's
// free-page map; index usage maps are edited with usage_map.h's UsageMapEditor). A change to
// the table definition (an index's root page, its entry count) is made through
// TableDefEditor; the database reads the definition again before the next statement.
//
// Values are in table column order (TableDef::columns), as the cursor reads them.
#include "jet/status.h"
#include "jet/table_cursor.h"
#include "jet/value.h"

#include <span>
#include <string>
#include <vector>

namespace jet {

class PageAllocator;

struct WriteContext {
  Pager &pager;
  PageAllocator &pages;
};

class IndexMaintainer {
public:
  virtual ~IndexMaintainer() = default;

  virtual Status rowInserted(WriteContext &ctx, const TableDef &table, const RowLocation &at,
                             std::span<const Value> values) {
    return Status::ok();
  }
  virtual Status rowUpdated(WriteContext &ctx, const TableDef &table, const RowLocation &at,
                            std::span<const Value> oldValues, std::span<const Value> newValues) {
    return Status::ok();
  }
  virtual Status rowDeleted(WriteContext &ctx, const TableDef &table, const RowLocation &at,
                            std::span<const Value> oldValues) {
    return Status::ok();
  }

  // Brings the trees of one table (its definition page) up to date with any changes the
  // maintainer holds back, before something reads them directly (a lookup by key from another
  // table). Default: nothing held back.
  virtual Status settleTable(WriteContext &ctx, uint32_t tableDefPage) { return Status::ok(); }

  // The integrity check's part for the indexes: given every live row of the table (location and
  // values, in physical order), appends one Italian line per finding. Read-only.
  virtual Status checkTable(Pager &pager, const TableDef &table,
                            std::span<const RowLocation> locations,
                            std::span<const std::vector<Value>> rows,
                            std::vector<std::string> &findings) {
    return Status::ok();
  }
};

// Keeps no index: the default until a B-tree maintainer is installed.
IndexMaintainer &noIndexMaintenance();

} // namespace jet

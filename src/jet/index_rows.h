#pragma once
// A table's indexes kept with its rows: the entry of every row in every physical index, and the
// rules the indexes enforce (unique keys, required values, keys the encoder can build).
//
// The writer calls rowInserted / rowUpdated / rowDeleted once per row it changes, after placing
// the row and before the statement ends. Every rule is checked on every index before the first
// page changes, so a refused row leaves the indexes untouched; a failure while pages are being
// changed (I/O, damage) is undone by the statement's savepoint.
#include "jet/index_btree.h"
#include "jet/index_key.h"
#include "jet/status.h"
#include "jet/table_cursor.h"
#include "jet/table_def.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace jet {

// How the index's columns are encoded, in index column order.
Result<std::vector<IndexKeyColumn>> indexKeyColumns(const TableDef &table,
                                                    const PhysicalIndex &index);

// Key of the index from values of its own columns, in index column order: what a lookup from
// another table (a relationship) or a search by key passes.
Result<Bytes> indexKeyOf(const TableDef &table, const PhysicalIndex &index,
                         std::span<const Value> keyValues);

// Key prefix from values of the index's first columns (fewer than all of them): what a range
// scan over the leading columns of a multi-column index passes to IndexTree::scanPrefix.
Result<Bytes> indexKeyPrefix(const TableDef &table, const PhysicalIndex &index,
                             std::span<const Value> leadingValues);

// The values a row (in table column order) gives the index's columns, in index column order.
std::vector<Value> indexValuesOfRow(const TableDef &table, const PhysicalIndex &index,
                                    std::span<const Value> row);

// Key of a row (values in table column order); none where the index leaves the row out (an
// index that ignores nulls and a row whose indexed columns are all Null).
Result<std::optional<Bytes>> rowIndexKey(const TableDef &table, const PhysicalIndex &index,
                                         std::span<const Value> row);

// The name the index has for users: the primary key's, else the first logical index on it.
std::string indexDisplayName(const TableDef &table, const PhysicalIndex &index);
// Whether the index backs the table's primary key.
bool isPrimaryKeyIndex(const TableDef &table, const PhysicalIndex &index);

// A value as the operator reads it in a message: texts in quotes, numbers with decimal comma.
std::string describeValue(const Value &value);

RowPointer rowPointerOf(RowLocation at);

// Entries of an index not yet in its tree: what a unique check counts with the tree's own.
class PendingIndexEntries {
public:
  virtual ~PendingIndexEntries() = default;
  // Adds to `rows` those whose entry with this key the pending changes of the index (position
  // in table.physicalIndexes) add, and takes away those they remove.
  virtual void adjustRows(size_t index, const Bytes &key, std::vector<RowPointer> &rows) const = 0;
  // False when the index's tree surely holds no entry with this key (it is beyond the last
  // one): the lookup is skipped.
  virtual bool treeMayHold(size_t index, const Bytes &key) const { return true; }
};

class TableIndexMaintainer {
public:
  TableIndexMaintainer(IndexPageIO &io, const TableDef &table) : io_(io), table_(table) {}

  // Changes not yet in the trees that the unique checks must see.
  void setPending(const PendingIndexEntries *pending) { pending_ = pending; }
  // How each index's columns are encoded, kept by the caller across the rows of one design.
  using KeyColumnCache = std::vector<std::optional<std::vector<IndexKeyColumn>>>;
  void setKeyColumns(KeyColumnCache *cache) { keyColumns_ = cache; }

  Status rowInserted(RowLocation at, std::span<const Value> row);
  Status rowDeleted(RowLocation at, std::span<const Value> row);
  // Only the indexes whose entry changes (another key or another place) are touched.
  Status rowUpdated(RowLocation oldAt, std::span<const Value> oldRow, RowLocation newAt,
                    std::span<const Value> newRow);

  struct Change {
    size_t index = 0; // position in table.physicalIndexes
    std::optional<IndexEntry> remove;
    std::optional<IndexEntry> add;
  };
  // The entries a row write takes away and adds, every rule checked; nothing is changed.
  // oldAt / newAt null for an insert / a delete.
  Status plan(const RowLocation *oldAt, std::span<const Value> oldRow, const RowLocation *newAt,
              std::span<const Value> newRow, std::vector<Change> &out);

private:
  Status checkNewEntry(const PhysicalIndex &index, std::span<const Value> row,
                       const IndexEntry &entry, const std::optional<IndexEntry> &leaving);
  Status apply(const std::vector<Change> &changes);
  Result<std::optional<Bytes>> keyOfRow(size_t index, std::span<const Value> row);

  IndexPageIO &io_;
  const TableDef &table_;
  const PendingIndexEntries *pending_ = nullptr;
  KeyColumnCache *keyColumns_ = nullptr;
};

} // namespace jet

#pragma once
// The index half of the integrity check: every index tree sound and holding exactly one entry
// for each live row of its table, in order, pointing at that row.
#include "jet/index_btree.h"
#include "jet/pager.h"
#include "jet/status.h"
#include "jet/table_cursor.h"
#include "jet/table_def.h"

#include <memory>
#include <string>
#include <vector>

namespace jet {

// A live row as the check needs it: where it is and its values in table column order.
struct CheckedRow {
  RowLocation at;
  std::vector<Value> values;
};

// Findings (Italian, one a line, naming table and index) for one index tree against the rows.
// Reports at most `limit` findings per index.
std::vector<std::string> checkIndexTree(IndexPageIO &io, const TableDef &table,
                                        const PhysicalIndex &index,
                                        const std::vector<CheckedRow> &rows, size_t limit = 20);

// The entries an index holds or should hold, folded without keeping them: a count and two sums
// of a hash of each entry (key and row). Equal digests mean the same entries, barring a
// collision no damage is likely to produce.
class EntryDigest {
public:
  void add(ByteView key, RowPointer row);
  bool operator==(const EntryDigest &) const = default;

private:
  uint64_t count_ = 0, sum_ = 0, sumOfMixed_ = 0;
};

// Whether the tree is sound, in order, unique where it must be and holds exactly the entries of
// `expected`, walked a page at a time in bounded memory. Where it does not, checkIndexTree
// says what is wrong.
bool indexMatchesDigest(IndexPageIO &io, const TableDef &table, const PhysicalIndex &index,
                        const EntryDigest &expected);

// Every physical index of the table, its rows read with a table cursor. Fails only where the
// rows themselves cannot be read (the row half of the check reports that).
Result<std::vector<std::string>>
checkTableIndexes(Pager &pager, std::shared_ptr<const TableDef> table, size_t limit = 20);
// The same over pages and rows the caller provides.
std::vector<std::string> checkTableIndexes(IndexPageIO &io, const TableDef &table,
                                           const std::vector<CheckedRow> &rows, size_t limit = 20);

} // namespace jet

#pragma once
// Many changes to one index tree at once.
//
// A statement that writes thousands of rows changes each index thousands of times; made one
// by one, every change decodes and re-encodes a whole page. Collected and sorted, they are
// applied in one pass: few enough against the size of the index, entry by entry in index order
// (neighbouring changes share the decoded pages); many, by laying the tree out again from the
// merged entries.
//
// A tree laid out again is the tree the one-by-one path leaves when the entries go in in index
// order: full pages behind, the right edge holding the rest, every split where that path puts
// it. Its pages are the index's own pages first (lowest number first), then new ones; pages left
// over go back to the database.
#include "jet/index_btree.h"
#include "jet/status.h"
#include "jet/table_def.h"

#include <cstdint>
#include <span>
#include <vector>

namespace jet {

// One change of a leaf entry: +1 adds it, -1 takes it away.
struct IndexChange {
  IndexEntry entry;
  int8_t delta = 0;
};

// What a run of changes leaves of one entry: the entry is one of the changes'.
struct NetIndexChange {
  const IndexEntry *entry = nullptr;
  int8_t delta = 0;
};

// The changes (in the order they were made) sorted into index order, those of the same entry
// summed, only the ones left with an effect kept; `out` points into `changes`. Adding an entry
// twice (or taking it away twice) with nothing between is an Internal error.
Status netIndexChanges(std::span<const IndexChange> changes, std::vector<NetIndexChange> &out);

// Applies changes already netted. `expectedEntries` is about how many entries the index holds
// (the table's row count): it decides between the two ways. Adding an entry already there is an
// Internal error; taking away one that is not there means the index does not match the table
// (Corrupt).
Status applyIndexChanges(IndexPageIO &io, const TableDef &table, const PhysicalIndex &index,
                         std::span<const NetIndexChange> changes, size_t expectedEntries);

// Lays the whole tree out again: `changes` (netted) merged into its current entries.
Status rebuildIndexTree(IndexPageIO &io, const TableDef &table, const PhysicalIndex &index,
                        std::span<const NetIndexChange> changes);

// Lays a tree out from entries in index order over the pages given (the root, whose number
// stays, then spare pages used lowest first); more come from io. Spare pages left over are
// released.
Status layOutIndexTree(IndexPageIO &io, const TableDef &table, const PhysicalIndex &index,
                       const IndexPage &rootHeader, std::vector<IndexEntry> entries,
                       std::vector<uint32_t> sparePages);

} // namespace jet

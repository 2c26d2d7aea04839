#pragma once
// Index trees of Jet 4 tables: lookups, range scans, insertion and removal of entries.
//
// The shape kept is the Jet engine's own:
//   - the root stays on the page the table definition names; when it overflows its entries move
//     to new pages below it, so the definition never changes;
//   - leaves hold one entry per row, sorted by key then row; every page of a level is linked to
//     its neighbours (previous / next page);
//   - an intermediate entry is a copy of the last entry of its child page (key and row) plus the
//     child's number, except for the rightmost child of each page on the right edge of the tree:
//     that one has no entry and is named by the page's tail pointer, so appending at the end of
//     the index never rewrites the entries above it;
//   - a page that becomes empty leaves the tree; a root left with a single child takes that
//     child's place.
// Page images come and go through IndexPageIO, so the tree works the same over a transaction,
// over a read-only file or over memory in tests.
#include "jet/index_page.h"
#include "jet/status.h"
#include "jet/table_def.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace jet {

class PageTransaction;

// Where an index tree's pages are read, written, taken and given back.
class IndexPageIO {
public:
  virtual ~IndexPageIO() = default;
  // out has kIndexPageSize bytes.
  virtual Status read(uint32_t page, std::span<uint8_t> out) = 0;
  virtual Status write(uint32_t page, std::span<const uint8_t> image) = 0;
  // A page for the index (the writer records it in the index's and the database's usage
  // maps); its contents are overwritten before anything reads it.
  virtual Result<uint32_t> allocate(const PhysicalIndex &index) = 0;
  // A page the index no longer uses.
  virtual Status release(const PhysicalIndex &index, uint32_t page) = 0;
};

// Reads through the pager; every change is refused.
class PagerIndexIO : public IndexPageIO {
public:
  explicit PagerIndexIO(Pager &pager) : pager_(pager) {}
  Status read(uint32_t page, std::span<uint8_t> out) override;
  Status write(uint32_t page, std::span<const uint8_t> image) override;
  Result<uint32_t> allocate(const PhysicalIndex &index) override;
  Status release(const PhysicalIndex &index, uint32_t page) override;

private:
  Pager &pager_;
};

// Over a transaction: pages as the transaction sees them. New pages are appended to the file and
// given-back pages zero-filled, unless the owner supplies its own page management (usage maps).
class TransactionIndexIO : public IndexPageIO {
public:
  using Allocator = std::function<Result<uint32_t>(const PhysicalIndex &)>;
  using Releaser = std::function<Status(const PhysicalIndex &, uint32_t)>;

  explicit TransactionIndexIO(PageTransaction &tx, Allocator allocate = {}, Releaser release = {})
      : tx_(tx), allocate_(std::move(allocate)), release_(std::move(release)) {}
  Status read(uint32_t page, std::span<uint8_t> out) override;
  Status write(uint32_t page, std::span<const uint8_t> image) override;
  Result<uint32_t> allocate(const PhysicalIndex &index) override;
  Status release(const PhysicalIndex &index, uint32_t page) override;

private:
  PageTransaction &tx_;
  Allocator allocate_;
  Releaser release_;
};

// A leaf entry: the key bytes and the row.
inline IndexEntry leafEntry(Bytes key, RowPointer row) {
  return IndexEntry{std::move(key), row, 0};
}
inline RowPointer toRowPointer(uint32_t page, uint16_t row) {
  return RowPointer{page, static_cast<uint8_t>(row)};
}

class IndexTree {
public:
  // Return false to stop a scan.
  using Visitor = std::function<bool(const IndexEntry &)>;

  // table.page is what every page of the tree records as its table; index.rootPage its root.
  IndexTree(IndexPageIO &io, const TableDef &table, const PhysicalIndex &index)
      : io_(io), table_(table), index_(index) {}

  // Whether an entry with exactly this key exists (any row).
  Result<bool> containsKey(const Bytes &key);
  // Whether this very entry (key and row) exists.
  Result<bool> contains(const IndexEntry &entry);
  // The rows whose entry has exactly this key, in index order.
  Result<std::vector<RowPointer>> find(const Bytes &key);
  // Entries from the first whose key is not below `from`, in index order, until the visitor
  // says stop.
  Status scanFrom(const Bytes &from, const Visitor &visit);
  // Entries whose key starts with `prefix` (the leading columns of a multi-column index).
  Status scanPrefix(const Bytes &prefix, const Visitor &visit);
  // Every entry.
  Status scanAll(const Visitor &visit) { return scanFrom({}, visit); }
  // The last entry, down the right edge: none for an empty tree. `known` false where the edge
  // ends on an empty page below the root (a shape this engine never leaves, but a file may
  // hold): then nothing is said.
  Result<std::optional<IndexEntry>> lastEntry(bool &known);

  // Adds a leaf entry. An entry already there (same key and row) is an Internal error.
  Status insert(const IndexEntry &entry);
  // Removes a leaf entry; one that is not there means the index does not match the table
  // (Corrupt).
  Status erase(const IndexEntry &entry);

  const PhysicalIndex &index() const { return index_; }

private:
  using PageHandle = std::shared_ptr<const IndexPage>;
  // One page of a walk from the root: read shared (decoded pages are cached), copied only when
  // the walk changes it.
  struct Step {
    uint32_t pageNo = 0;
    PageHandle base;
    std::unique_ptr<IndexPage> own;
    size_t slot = 0;            // entry followed down; entries.size() for the tail child
    size_t inserted = SIZE_MAX; // entry just added on this page, for the choice of split point
    const IndexPage &view() const { return own ? *own : *base; }
    IndexPage &edit();
  };

  Result<PageHandle> loadShared(uint32_t pageNo);
  Result<IndexPage> load(uint32_t pageNo);
  Status store(uint32_t pageNo, const IndexPage &page);
  // `prefix`: the page's shared prefix where the caller has it already.
  Status storeStep(Step &step, size_t prefix = SIZE_MAX);
  Status descend(const IndexEntry &target, std::vector<Step> &path);
  Status scanFromEntry(const IndexEntry &target, const Visitor &visit);
  Status settle(std::vector<Step> &path);
  Status settleRoot(Step &root);
  Status splitChild(Step &child, Step &parent);
  Status removeChild(Step &child, Step &parent);
  Status relink(uint32_t pageNo, bool setPrev, uint32_t value);
  Status makeRightEdge(uint32_t pageNo);
  IndexPage blankPage(IndexPageKind kind) const;

  IndexPageIO &io_;
  const TableDef &table_;
  const PhysicalIndex &index_;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(kIndexPageSize);
};

} // namespace jet

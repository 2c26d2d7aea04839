#include "jet/index_batch.h"

#include "jet/errors.h"

#include <algorithm>
#include <unordered_set>

namespace jet {

namespace {

// Deeper than any tree a 2 GB file can hold: a loop in damaged links stops here.
constexpr size_t kMaxDepth = 24;
// Batches smaller than this go entry by entry whatever the size of the index.
constexpr size_t kRebuildMinimum = 64;
// A batch of at least this share of the index's entries (1/32) lays the tree out again: reading
// and writing every page once costs less than that many walks from the root.
constexpr size_t kRebuildShare = 32;

bool samePosition(const IndexEntry &a, const IndexEntry &b) {
  return a.key == b.key && a.row == b.row;
}

bool before(const IndexEntry &a, const IndexEntry &b) {
  return compareIndexEntries(a, b) < 0;
}

Status treeError(const PhysicalIndex &index, uint32_t page, const std::string &what) {
  return corruptPage(page, "indice " + std::to_string(index.number) + ": " + what);
}

Status missingEntry(const IndexEntry &entry) {
  return {ErrorCode::Corrupt, "L'indice non contiene la voce della riga (pagina " +
                                  std::to_string(entry.row.page) + ", riga " +
                                  std::to_string(entry.row.row) +
                                  "): l'indice non corrisponde alla tabella."};
}

Status duplicateEntry() {
  return {ErrorCode::Internal, "La voce è già presente nell'indice."};
}

// The tree's pages and its leaf entries in index order, read once each.
class TreeReader {
public:
  TreeReader(IndexPageIO &io, const PhysicalIndex &index) : io_(io), index_(index) {}

  Status read(IndexPage &root, std::vector<uint32_t> &pages, std::vector<IndexEntry> &entries) {
    JET_TRY(visit(index_.rootPage, 0, &root, pages, entries));
    for (size_t i = 1; i < entries.size(); ++i)
      if (!before(entries[i - 1], entries[i]))
        return treeError(index_, index_.rootPage, "voci fuori ordine");
    return Status::ok();
  }

private:
  Status visit(uint32_t pageNo, size_t depth, IndexPage *keep, std::vector<uint32_t> &pages,
               std::vector<IndexEntry> &entries) {
    if (depth >= kMaxDepth)
      return treeError(index_, pageNo, "l'albero non finisce");
    if (!seen_.insert(pageNo).second)
      return treeError(index_, pageNo, "pagina raggiunta due volte");
    JET_TRY(io_.read(pageNo, buffer_));
    auto page = decodeIndexPage(buffer_);
    if (!page)
      return corruptPage(pageNo, page.status().message());
    if (depth > 0)
      pages.push_back(pageNo);
    if (page->kind == IndexPageKind::Leaf) {
      for (auto &e : page->entries)
        entries.push_back(std::move(e));
    } else {
      for (const auto &e : page->entries)
        JET_TRY(visit(e.child, depth + 1, nullptr, pages, entries));
      if (page->tailPage != 0)
        JET_TRY(visit(page->tailPage, depth + 1, nullptr, pages, entries));
    }
    if (keep) {
      page->entries.clear();
      *keep = std::move(*page);
    }
    return Status::ok();
  }

  IndexPageIO &io_;
  const PhysicalIndex &index_;
  std::unordered_set<uint32_t> seen_;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(kIndexPageSize);
};

// Builds a tree from entries arriving in index order, as the one-by-one path grows it: the
// right-edge page of every level in memory, a page that overflows keeps only its newest entry
// and hands the others to a new page before it, the root moves its entries one level down
// when it overflows. Each page is encoded once, when it can no longer change.
class TreeBuilder {
public:
  TreeBuilder(IndexPageIO &io, const TableDef &table, const PhysicalIndex &index,
              std::vector<uint32_t> spare)
      : io_(io), table_(table), index_(index), spare_(std::move(spare)) {
    std::sort(spare_.begin(), spare_.end(), std::greater<>());
  }

  void start(const IndexPage &rootHeader) {
    Level root;
    root.pageNo = index_.rootPage;
    root.page = rootHeader;
    root.page.kind = IndexPageKind::Leaf;
    root.page.entries.clear();
    root.page.prevPage = root.page.nextPage = root.page.tailPage = 0;
    root.page.tableDefinitionPage = table_.page;
    levels_.clear();
    levels_.push_back(std::move(root));
  }

  Status append(IndexEntry entry) {
    if (indexEntrySize(IndexPageKind::Intermediate, entry) > kIndexEntrySpace / 2)
      return {ErrorCode::Unsupported, "La chiave è troppo lunga per una pagina d'indice."};
    entry.child = 0;
    return appendAt(0, std::move(entry));
  }

  Status finish() {
    for (auto &level : levels_) {
      if (level.hasDone)
        JET_TRY(write(level.doneNo, level.done));
      JET_TRY(write(level.pageNo, level.page));
    }
    for (uint32_t page : spare_)
      JET_TRY(io_.release(index_, page));
    spare_.clear();
    return Status::ok();
  }

private:
  struct Level {
    uint32_t pageNo = 0;
    IndexPage page;   // the right-edge page of the level
    size_t total = 0; // its entries' bytes without a shared prefix
    size_t prefix = 0;
    // The page just before it, full, kept until the next split tells it its new neighbour.
    bool hasDone = false;
    uint32_t doneNo = 0;
    IndexPage done;
  };

  IndexPage blank(IndexPageKind kind) const {
    IndexPage p;
    p.kind = kind;
    p.tableDefinitionPage = table_.page;
    return p;
  }

  // Keeps the level's size and shared prefix as sharedPrefixLength would find them.
  static void account(Level &level) {
    const auto &entries = level.page.entries;
    const IndexEntry &e = entries.back();
    level.total += indexEntrySize(level.page.kind, e);
    if (entries.size() == 2)
      level.prefix = commonEntryPrefix(entries.front(), e,
                                       std::min(entries.front().key.size(), e.key.size()) + 3);
    else if (entries.size() > 2)
      level.prefix =
          commonEntryPrefix(entries.front(), e, std::min(level.prefix, e.key.size() + 3));
  }

  static bool fits(const Level &level) {
    const size_t n = level.page.entries.size();
    const size_t used = n < 2 ? level.total : level.total - (n - 1) * level.prefix;
    return used <= kIndexEntrySpace;
  }

  Status appendAt(size_t at, IndexEntry entry) {
    if (at >= kMaxDepth)
      return {ErrorCode::Internal, "Albero d'indice troppo profondo."};
    Level &level = levels_[at];
    level.page.entries.push_back(std::move(entry));
    account(level);
    if (fits(level))
      return Status::ok();
    if (at + 1 == levels_.size()) {
      // The root overflows: its entries move to a new page below it.
      auto childNo = allocate();
      if (!childNo)
        return childNo.status();
      Level child = std::move(level);
      child.pageNo = *childNo;
      child.page.prevPage = child.page.nextPage = 0;
      child.page.tableDefinitionPage = table_.page;
      Level root;
      root.pageNo = index_.rootPage;
      root.page = blank(IndexPageKind::Intermediate);
      root.page.tailPage = *childNo;
      levels_[at] = std::move(child);
      levels_.push_back(std::move(root));
    }
    return split(at);
  }

  Status split(size_t at) {
    Level &level = levels_[at];
    IndexPage &page = level.page;
    auto &entries = page.entries;
    const size_t n = entries.size();
    // The entries before the newest one fitted the page a moment ago.
    if (n < 2)
      return {ErrorCode::Internal, "Pagina d'indice non divisibile."};
    auto newNo = allocate();
    if (!newNo)
      return newNo.status();
    IndexPage lowerPage = blank(page.kind);
    lowerPage.entries.reserve(n - 1);
    for (size_t i = 0; i + 1 < n; ++i)
      lowerPage.entries.push_back(std::move(entries[i]));
    lowerPage.prevPage = page.prevPage;
    lowerPage.nextPage = level.pageNo;
    IndexEntry last = std::move(entries.back());
    entries.clear();
    entries.push_back(std::move(last));
    level.total = indexEntrySize(page.kind, entries.front());
    level.prefix = 0;
    page.prevPage = *newNo;
    if (lowerPage.prevPage != 0) {
      if (!level.hasDone || level.doneNo != lowerPage.prevPage)
        return {ErrorCode::Internal, "Catena delle pagine d'indice interrotta."};
      level.done.nextPage = *newNo;
      JET_TRY(write(level.doneNo, level.done));
    }
    const IndexEntry &top = lowerPage.entries.back();
    IndexEntry up{top.key, top.row, *newNo};
    level.done = std::move(lowerPage);
    level.doneNo = *newNo;
    level.hasDone = true;
    return appendAt(at + 1, std::move(up));
  }

  Result<uint32_t> allocate() {
    if (!spare_.empty()) {
      uint32_t page = spare_.back();
      spare_.pop_back();
      return page;
    }
    return io_.allocate(index_);
  }

  Status write(uint32_t pageNo, IndexPage &page) {
    page.prefixLength = static_cast<uint16_t>(pagePrefixLength(page.kind, page.entries));
    JET_TRY(encodeIndexPage(page, buffer_));
    return io_.write(pageNo, buffer_);
  }

  IndexPageIO &io_;
  const TableDef &table_;
  const PhysicalIndex &index_;
  std::vector<uint32_t> spare_; // highest first: pages are taken from the back
  std::vector<Level> levels_;   // leaves first, the root last
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(kIndexPageSize);
};

} // namespace

Status netIndexChanges(std::span<const IndexChange> changes, std::vector<NetIndexChange> &out) {
  out.clear();
  std::vector<uint32_t> order(changes.size());
  for (uint32_t i = 0; i < order.size(); ++i)
    order[i] = i;
  // Rows written in key order (a counter, a table filled from a sorted source) come sorted.
  bool sorted = true;
  for (size_t i = 1; i < changes.size() && sorted; ++i)
    sorted = !before(changes[i].entry, changes[i - 1].entry);
  if (!sorted)
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      return before(changes[a].entry, changes[b].entry);
    });
  for (size_t i = 0; i < order.size();) {
    const IndexEntry &entry = changes[order[i]].entry;
    size_t j = i;
    int sum = 0, low = 0, high = 0;
    for (; j < order.size() && samePosition(changes[order[j]].entry, entry); ++j) {
      sum += changes[order[j]].delta;
      low = std::min(low, sum);
      high = std::max(high, sum);
    }
    // The entry is either there at the start (partial sums in -1..0) or not (0..1).
    if (high - low > 1)
      return {ErrorCode::Internal, "Modifiche d'indice incoerenti per la stessa voce."};
    if (sum != 0)
      out.push_back(NetIndexChange{&entry, static_cast<int8_t>(sum)});
    i = j;
  }
  return Status::ok();
}

Status layOutIndexTree(IndexPageIO &io, const TableDef &table, const PhysicalIndex &index,
                       const IndexPage &rootHeader, std::vector<IndexEntry> entries,
                       std::vector<uint32_t> sparePages) {
  TreeBuilder builder(io, table, index, std::move(sparePages));
  builder.start(rootHeader);
  for (auto &e : entries)
    JET_TRY(builder.append(std::move(e)));
  return builder.finish();
}

Status rebuildIndexTree(IndexPageIO &io, const TableDef &table, const PhysicalIndex &index,
                        std::span<const NetIndexChange> changes) {
  IndexPage root;
  std::vector<uint32_t> pages;
  std::vector<IndexEntry> old;
  JET_TRY(TreeReader(io, index).read(root, pages, old));
  std::vector<IndexEntry> merged;
  merged.reserve(old.size() + changes.size());
  size_t i = 0;
  for (const NetIndexChange &c : changes) {
    while (i < old.size() && before(old[i], *c.entry))
      merged.push_back(std::move(old[i++]));
    const bool present = i < old.size() && samePosition(old[i], *c.entry);
    if (c.delta > 0) {
      if (present)
        return duplicateEntry();
      merged.push_back(IndexEntry{c.entry->key, c.entry->row, 0});
    } else {
      if (!present)
        return missingEntry(*c.entry);
      ++i;
    }
  }
  for (; i < old.size(); ++i)
    merged.push_back(std::move(old[i]));
  return layOutIndexTree(io, table, index, root, std::move(merged), std::move(pages));
}

Status applyIndexChanges(IndexPageIO &io, const TableDef &table, const PhysicalIndex &index,
                         std::span<const NetIndexChange> changes, size_t expectedEntries) {
  if (changes.empty())
    return Status::ok();
  if (changes.size() >= kRebuildMinimum && changes.size() * kRebuildShare >= expectedEntries)
    return rebuildIndexTree(io, table, index, changes);
  IndexTree tree(io, table, index);
  for (const NetIndexChange &c : changes)
    JET_TRY(c.delta > 0 ? tree.insert(*c.entry) : tree.erase(*c.entry));
  return Status::ok();
}

} // namespace jet

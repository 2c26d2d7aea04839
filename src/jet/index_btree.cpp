#include "jet/index_btree.h"

#include "jet/errors.h"
#include "jet/journal.h"
#include "jet/pager.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace jet {

namespace {

// Deeper than any tree a 2 GB file can hold: a loop in damaged links stops here.
constexpr size_t kMaxDepth = 24;

bool isEmpty(const IndexPage &p) {
  return p.entries.empty() && (p.kind == IndexPageKind::Leaf || p.tailPage == 0);
}

bool samePosition(const IndexEntry &a, const IndexEntry &b) {
  return a.key == b.key && a.row == b.row;
}

IndexEntry parentEntryFor(const IndexPage &child, uint32_t childNo) {
  const IndexEntry &last = child.entries.back();
  return IndexEntry{last.key, last.row, childNo};
}

bool startsWith(const Bytes &key, const Bytes &prefix) {
  return key.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), key.begin());
}

Status treeError(const PhysicalIndex &index, uint32_t page, const std::string &what) {
  return corruptPage(page, "indice " + std::to_string(index.number) + ": " + what);
}

} // namespace

// --- page access ---------------------------------------------------------------------------

Status PagerIndexIO::read(uint32_t page, std::span<uint8_t> out) {
  auto p = pager_.page(page);
  if (!p)
    return p.status();
  std::memcpy(out.data(), (*p)->data(), std::min(out.size(), kPageSize));
  return Status::ok();
}

Status PagerIndexIO::write(uint32_t, std::span<const uint8_t>) {
  return {ErrorCode::ReadOnly, "Il database è aperto in sola lettura: l'indice non può cambiare."};
}

Result<uint32_t> PagerIndexIO::allocate(const PhysicalIndex &) {
  return Status(ErrorCode::ReadOnly,
                "Il database è aperto in sola lettura: l'indice non può cambiare.");
}

Status PagerIndexIO::release(const PhysicalIndex &, uint32_t) {
  return {ErrorCode::ReadOnly, "Il database è aperto in sola lettura: l'indice non può cambiare."};
}

Status TransactionIndexIO::read(uint32_t page, std::span<uint8_t> out) {
  return tx_.read(page, out);
}

Status TransactionIndexIO::write(uint32_t page, std::span<const uint8_t> image) {
  return tx_.write(page, image);
}

Result<uint32_t> TransactionIndexIO::allocate(const PhysicalIndex &index) {
  if (allocate_)
    return allocate_(index);
  return tx_.append();
}

Status TransactionIndexIO::release(const PhysicalIndex &index, uint32_t page) {
  if (release_)
    return release_(index, page);
  std::vector<uint8_t> zero(kIndexPageSize, 0);
  return tx_.write(page, zero);
}

// --- reading -------------------------------------------------------------------------------

Result<IndexPage> IndexTree::load(uint32_t pageNo) {
  JET_TRY(io_.read(pageNo, buffer_));
  auto page = decodeIndexPage(buffer_);
  if (!page)
    return corruptPage(pageNo, page.status().message());
  return page;
}

Status IndexTree::store(uint32_t pageNo, const IndexPage &page) {
  IndexPage out = page;
  out.prefixLength = static_cast<uint16_t>(pagePrefixLength(out.kind, out.entries));
  JET_TRY(encodeIndexPage(out, buffer_));
  return io_.write(pageNo, buffer_);
}

IndexPage IndexTree::blankPage(IndexPageKind kind) const {
  IndexPage p;
  p.kind = kind;
  p.tableDefinitionPage = table_.page;
  return p;
}

// Walks from the root to the leaf where `target` is or would go. At each intermediate page the
// first entry not below the target leads down (an entry is its child's last entry); past the
// last entry, the tail child.
Status IndexTree::descend(const IndexEntry &target, std::vector<Step> &path) {
  path.clear();
  uint32_t pageNo = index_.rootPage;
  for (;;) {
    if (path.size() >= kMaxDepth)
      return treeError(index_, pageNo, "l'albero non finisce");
    auto page = load(pageNo);
    if (!page)
      return page.status();
    Step step{pageNo, std::move(*page), 0};
    auto &entries = step.page.entries;
    auto it = std::lower_bound(
        entries.begin(), entries.end(), target,
        [](const IndexEntry &e, const IndexEntry &t) { return compareIndexEntries(e, t) < 0; });
    step.slot = static_cast<size_t>(it - entries.begin());
    if (step.page.kind == IndexPageKind::Leaf) {
      path.push_back(std::move(step));
      return Status::ok();
    }
    uint32_t child;
    if (step.slot < entries.size()) {
      child = entries[step.slot].child;
    } else if (step.page.tailPage != 0) {
      child = step.page.tailPage;
    } else if (!entries.empty()) {
      // Beyond the last entry of a page without a tail: the key goes at the end of its last
      // child, whose entry the insertion then moves up.
      step.slot = entries.size() - 1;
      child = entries.back().child;
    } else {
      return treeError(index_, pageNo, "pagina intermedia vuota");
    }
    path.push_back(std::move(step));
    pageNo = child;
  }
}

Status IndexTree::scanFrom(const Bytes &from, const Visitor &visit) {
  return scanFromEntry(leafEntry(from, RowPointer{}), visit);
}

Status IndexTree::scanFromEntry(const IndexEntry &target, const Visitor &visit) {
  std::vector<Step> path;
  JET_TRY(descend(target, path));
  IndexPage leaf = std::move(path.back().page);
  uint32_t leafNo = path.back().pageNo;
  size_t pos = path.back().slot;
  std::unordered_set<uint32_t> seen{leafNo};
  for (;;) {
    for (; pos < leaf.entries.size(); ++pos)
      if (!visit(leaf.entries[pos]))
        return Status::ok();
    if (leaf.nextPage == 0)
      return Status::ok();
    leafNo = leaf.nextPage;
    if (!seen.insert(leafNo).second)
      return treeError(index_, leafNo, "le foglie formano un anello");
    auto next = load(leafNo);
    if (!next)
      return next.status();
    if (next->kind != IndexPageKind::Leaf)
      return treeError(index_, leafNo, "la foglia seguente non è una foglia");
    leaf = std::move(*next);
    pos = 0;
  }
}

Status IndexTree::scanPrefix(const Bytes &prefix, const Visitor &visit) {
  return scanFrom(prefix, [&](const IndexEntry &e) {
    if (!startsWith(e.key, prefix))
      return false;
    return visit(e);
  });
}

Result<std::vector<RowPointer>> IndexTree::find(const Bytes &key) {
  std::vector<RowPointer> rows;
  JET_TRY(scanFrom(key, [&](const IndexEntry &e) {
    if (e.key != key)
      return false;
    rows.push_back(e.row);
    return true;
  }));
  return rows;
}

Result<bool> IndexTree::containsKey(const Bytes &key) {
  bool found = false;
  JET_TRY(scanFrom(key, [&](const IndexEntry &e) {
    found = e.key == key;
    return false;
  }));
  return found;
}

Result<bool> IndexTree::contains(const IndexEntry &entry) {
  bool found = false;
  JET_TRY(scanFromEntry(entry, [&](const IndexEntry &e) {
    found = samePosition(e, entry);
    return false;
  }));
  return found;
}

// --- changing ------------------------------------------------------------------------------

Status IndexTree::insert(const IndexEntry &entry) {
  if (entry.row.page > 0xFFFFFF)
    return {ErrorCode::Internal, "Voce d'indice con puntatore di riga fuori intervallo."};
  std::vector<Step> path;
  JET_TRY(descend(entry, path));
  Step &leaf = path.back();
  auto &entries = leaf.page.entries;
  if (leaf.slot < entries.size() && samePosition(entries[leaf.slot], entry))
    return {ErrorCode::Internal, "La voce è già presente nell'indice."};
  IndexEntry e{entry.key, entry.row, 0};
  if (indexEntrySize(IndexPageKind::Intermediate, e) > kIndexEntrySpace / 2)
    return {ErrorCode::Unsupported, "La chiave è troppo lunga per una pagina d'indice."};
  entries.insert(entries.begin() + static_cast<ptrdiff_t>(leaf.slot), std::move(e));
  leaf.inserted = leaf.slot;
  return settle(path);
}

Status IndexTree::erase(const IndexEntry &entry) {
  std::vector<Step> path;
  JET_TRY(descend(entry, path));
  Step &leaf = path.back();
  auto &entries = leaf.page.entries;
  if (leaf.slot >= entries.size() || !samePosition(entries[leaf.slot], entry))
    return {ErrorCode::Corrupt, "L'indice non contiene la voce della riga (pagina " +
                                    std::to_string(entry.row.page) + ", riga " +
                                    std::to_string(entry.row.row) +
                                    "): l'indice non corrisponde alla tabella."};
  entries.erase(entries.begin() + static_cast<ptrdiff_t>(leaf.slot));
  return settle(path);
}

// Writes the changed page at the bottom of the path and carries the consequences upwards: a
// page that no longer fits splits, an emptied page leaves the tree, a changed last entry changes
// the entry above it.
Status IndexTree::settle(std::vector<Step> &path) {
  size_t level = path.size() - 1;
  for (;;) {
    Step &step = path[level];
    if (level == 0)
      return settleRoot(step);
    Step &parent = path[level - 1];
    if (isEmpty(step.page)) {
      JET_TRY(removeChild(step, parent));
      --level;
      continue;
    }
    if (!indexEntriesFit(step.page.kind, step.page.entries)) {
      JET_TRY(splitChild(step, parent));
      --level;
      continue;
    }
    JET_TRY(store(step.pageNo, step.page));
    if (parent.slot < parent.page.entries.size()) {
      IndexEntry want = parentEntryFor(step.page, step.pageNo);
      if (!(parent.page.entries[parent.slot] == want)) {
        parent.page.entries[parent.slot] = std::move(want);
        --level;
        continue;
      }
    }
    return Status::ok();
  }
}

Status IndexTree::settleRoot(Step &root) {
  IndexPage &page = root.page;
  // A root left with only its tail child takes the child's place, level by level.
  while (page.kind == IndexPageKind::Intermediate && page.entries.empty()) {
    if (page.tailPage == 0) {
      page = blankPage(IndexPageKind::Leaf);
      break;
    }
    uint32_t childNo = page.tailPage;
    auto child = load(childNo);
    if (!child)
      return child.status();
    IndexPage moved = std::move(*child);
    moved.prevPage = 0;
    moved.nextPage = 0;
    page = std::move(moved);
    JET_TRY(io_.release(index_, childNo));
  }
  page.prevPage = 0;
  page.nextPage = 0;
  page.tableDefinitionPage = table_.page;
  if (indexEntriesFit(page.kind, page.entries))
    return store(root.pageNo, page);
  // The root overflows: everything moves one level down to a new page, which then splits as any
  // other child; the root page keeps its number and becomes the page above them.
  auto childNo = io_.allocate(index_);
  if (!childNo)
    return childNo.status();
  Step child{*childNo, std::move(page), 0, root.inserted};
  root.page = blankPage(IndexPageKind::Intermediate);
  root.page.tailPage = *childNo;
  root.slot = 0;
  JET_TRY(splitChild(child, root));
  return store(root.pageNo, root.page);
}

// Splits an overflowing page: a new page takes the lower entries and goes before it on its
// level; the page keeps the upper entries, its tail and its place above. A page that grew at the
// right end of its level (appends in key order) keeps only the new entry, so a table filled in
// key order leaves full pages behind.
Status IndexTree::splitChild(Step &child, Step &parent) {
  auto &entries = child.page.entries;
  const IndexPageKind kind = child.page.kind;
  const bool hasTail = kind == IndexPageKind::Intermediate && child.page.tailPage != 0;
  const size_t n = entries.size();
  if (n < 2 && !hasTail)
    return {ErrorCode::Internal, "Pagina d'indice non divisibile."};

  size_t cut; // entries [0, cut) move to the new page
  if (n >= 2 && child.page.nextPage == 0 && child.inserted == n - 1) {
    cut = n - 1;
  } else {
    size_t total = 0;
    for (const auto &e : entries)
      total += indexEntrySize(kind, e);
    size_t acc = 0;
    cut = 0;
    while (cut < n && acc + indexEntrySize(kind, entries[cut]) <= total / 2)
      acc += indexEntrySize(kind, entries[cut++]);
    cut = std::max<size_t>(cut, 1);
    if (!hasTail)
      cut = std::min(cut, n - 1);
  }
  std::span<const IndexEntry> lower(entries.data(), cut);
  std::span<const IndexEntry> upper(entries.data() + cut, n - cut);
  if (!indexEntriesFit(kind, lower) || !indexEntriesFit(kind, upper))
    return {ErrorCode::Internal, "Pagina d'indice non divisibile."};

  auto newNo = io_.allocate(index_);
  if (!newNo)
    return newNo.status();
  IndexPage lowerPage = blankPage(kind);
  lowerPage.entries.assign(lower.begin(), lower.end());
  lowerPage.prevPage = child.page.prevPage;
  lowerPage.nextPage = child.pageNo;
  entries.erase(entries.begin(), entries.begin() + static_cast<ptrdiff_t>(cut));
  child.page.prevPage = *newNo;
  if (lowerPage.prevPage != 0)
    JET_TRY(relink(lowerPage.prevPage, false, *newNo));
  JET_TRY(store(*newNo, lowerPage));
  JET_TRY(store(child.pageNo, child.page));

  auto &above = parent.page.entries;
  above.insert(above.begin() + static_cast<ptrdiff_t>(parent.slot),
               parentEntryFor(lowerPage, *newNo));
  parent.inserted = parent.slot;
  ++parent.slot;
  if (parent.slot < above.size())
    above[parent.slot] = parentEntryFor(child.page, child.pageNo);
  return Status::ok();
}

// Takes an emptied page out of its level and out of the page above.
Status IndexTree::removeChild(Step &child, Step &parent) {
  const uint32_t prev = child.page.prevPage, next = child.page.nextPage;
  if (prev != 0)
    JET_TRY(relink(prev, false, next));
  if (next != 0)
    JET_TRY(relink(next, true, prev));
  JET_TRY(io_.release(index_, child.pageNo));
  auto &above = parent.page.entries;
  if (parent.slot < above.size()) {
    above.erase(above.begin() + static_cast<ptrdiff_t>(parent.slot));
    return Status::ok();
  }
  // The tail child went: the last child with an entry becomes the tail, and so does the right
  // edge below it.
  if (above.empty()) {
    parent.page.tailPage = 0;
    return Status::ok();
  }
  parent.page.tailPage = above.back().child;
  above.pop_back();
  parent.slot = above.size();
  return makeRightEdge(parent.page.tailPage);
}

Status IndexTree::makeRightEdge(uint32_t pageNo) {
  for (size_t depth = 0; depth < kMaxDepth; ++depth) {
    auto page = load(pageNo);
    if (!page)
      return page.status();
    if (page->kind == IndexPageKind::Leaf || page->tailPage != 0)
      return Status::ok();
    if (page->entries.empty())
      return treeError(index_, pageNo, "pagina intermedia vuota");
    page->tailPage = page->entries.back().child;
    page->entries.pop_back();
    JET_TRY(store(pageNo, *page));
    pageNo = page->tailPage;
  }
  return treeError(index_, pageNo, "l'albero non finisce");
}

Status IndexTree::relink(uint32_t pageNo, bool setPrev, uint32_t value) {
  auto page = load(pageNo);
  if (!page)
    return page.status();
  (setPrev ? page->prevPage : page->nextPage) = value;
  return store(pageNo, *page);
}

} // namespace jet

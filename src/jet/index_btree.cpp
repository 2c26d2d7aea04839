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

namespace {

// Decoded index pages, each kept with the image it came from: a page is taken from here only
// when its current image is byte for byte the same, so whatever changed it (another tree, a
// rollback, another file) the cache can never hand out a stale page.
class DecodedPages {
public:
  static constexpr size_t kCapacity = 1024;
  std::shared_ptr<const IndexPage> find(uint32_t pageNo, std::span<const uint8_t> image) {
    auto it = pages_.find(pageNo);
    if (it == pages_.end() ||
        std::memcmp(it->second.image.data(), image.data(), kIndexPageSize) != 0)
      return nullptr;
    return it->second.page;
  }
  // Forgets the page if the cache holds exactly this copy of it.
  bool drop(uint32_t pageNo, const IndexPage *page) {
    auto it = pages_.find(pageNo);
    if (it == pages_.end() || it->second.page.get() != page)
      return false;
    pages_.erase(it);
    return true;
  }
  void put(uint32_t pageNo, std::span<const uint8_t> image, std::shared_ptr<const IndexPage> page) {
    if (pages_.size() >= kCapacity && !pages_.count(pageNo))
      pages_.clear();
    auto &slot = pages_[pageNo];
    slot.image.assign(image.begin(), image.end());
    slot.page = std::move(page);
  }

private:
  struct Slot {
    std::vector<uint8_t> image;
    std::shared_ptr<const IndexPage> page;
  };
  std::unordered_map<uint32_t, Slot> pages_;
};

DecodedPages &decodedPages() {
  thread_local DecodedPages cache;
  return cache;
}

} // namespace

IndexPage &IndexTree::Step::edit() {
  if (own)
    return *own;
  // Nobody but the cache shares the decoded page: take it instead of copying its entries. (The
  // cache only ever holds pages created mutable.)
  if (base.use_count() == 2 && decodedPages().drop(pageNo, base.get()) && base.use_count() == 1)
    own = std::make_unique<IndexPage>(std::move(const_cast<IndexPage &>(*base)));
  else
    own = std::make_unique<IndexPage>(*base);
  base.reset();
  return *own;
}

Result<IndexTree::PageHandle> IndexTree::loadShared(uint32_t pageNo) {
  JET_TRY(io_.read(pageNo, buffer_));
  if (auto hit = decodedPages().find(pageNo, buffer_))
    return hit;
  auto page = decodeIndexPage(buffer_);
  if (!page)
    return corruptPage(pageNo, page.status().message());
  auto shared = std::make_shared<IndexPage>(std::move(*page));
  decodedPages().put(pageNo, buffer_, shared);
  return PageHandle(shared);
}

Result<IndexPage> IndexTree::load(uint32_t pageNo) {
  auto page = loadShared(pageNo);
  if (!page)
    return page.status();
  return IndexPage(**page);
}

Status IndexTree::store(uint32_t pageNo, const IndexPage &page) {
  auto out = std::make_shared<IndexPage>(page);
  out->prefixLength = static_cast<uint16_t>(pagePrefixLength(out->kind, out->entries));
  JET_TRY(encodeIndexPage(*out, buffer_));
  JET_TRY(io_.write(pageNo, buffer_));
  decodedPages().put(pageNo, buffer_, std::move(out));
  return Status::ok();
}

Status IndexTree::storeStep(Step &step, size_t prefix) {
  if (!step.own)
    return store(step.pageNo, *step.base);
  IndexPage &page = *step.own;
  page.prefixLength = static_cast<uint16_t>(
      prefix != SIZE_MAX ? prefix : pagePrefixLength(page.kind, page.entries));
  JET_TRY(encodeIndexPage(page, buffer_));
  JET_TRY(io_.write(step.pageNo, buffer_));
  step.base = PageHandle(std::move(step.own));
  decodedPages().put(step.pageNo, buffer_, step.base);
  return Status::ok();
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
    auto page = loadShared(pageNo);
    if (!page)
      return page.status();
    Step step;
    step.pageNo = pageNo;
    step.base = std::move(*page);
    const auto &entries = step.view().entries;
    auto it = std::lower_bound(
        entries.begin(), entries.end(), target,
        [](const IndexEntry &e, const IndexEntry &t) { return compareIndexEntries(e, t) < 0; });
    step.slot = static_cast<size_t>(it - entries.begin());
    if (step.view().kind == IndexPageKind::Leaf) {
      path.push_back(std::move(step));
      return Status::ok();
    }
    uint32_t child;
    if (step.slot < entries.size()) {
      child = entries[step.slot].child;
    } else if (step.view().tailPage != 0) {
      child = step.view().tailPage;
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
  PageHandle leaf = path.back().base;
  uint32_t leafNo = path.back().pageNo;
  size_t pos = path.back().slot;
  std::unordered_set<uint32_t> seen{leafNo};
  for (;;) {
    for (; pos < leaf->entries.size(); ++pos)
      if (!visit(leaf->entries[pos]))
        return Status::ok();
    if (leaf->nextPage == 0)
      return Status::ok();
    leafNo = leaf->nextPage;
    if (!seen.insert(leafNo).second)
      return treeError(index_, leafNo, "le foglie formano un anello");
    auto next = loadShared(leafNo);
    if (!next)
      return next.status();
    if ((*next)->kind != IndexPageKind::Leaf)
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

Result<std::optional<IndexEntry>> IndexTree::lastEntry(bool &known) {
  known = false;
  uint32_t pageNo = index_.rootPage;
  for (size_t depth = 0; depth < kMaxDepth; ++depth) {
    auto page = loadShared(pageNo);
    if (!page)
      return page.status();
    const IndexPage &p = **page;
    if (p.kind == IndexPageKind::Leaf) {
      if (p.entries.empty() && depth > 0)
        return std::optional<IndexEntry>();
      known = true;
      if (p.entries.empty())
        return std::optional<IndexEntry>();
      return std::optional<IndexEntry>(p.entries.back());
    }
    if (p.tailPage != 0)
      pageNo = p.tailPage;
    else if (!p.entries.empty())
      pageNo = p.entries.back().child;
    else
      return treeError(index_, pageNo, "pagina intermedia vuota");
  }
  return treeError(index_, pageNo, "l'albero non finisce");
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
  auto &entries = leaf.edit().entries;
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
  if (leaf.slot >= leaf.view().entries.size() ||
      !samePosition(leaf.view().entries[leaf.slot], entry))
    return {ErrorCode::Corrupt, "L'indice non contiene la voce della riga (pagina " +
                                    std::to_string(entry.row.page) + ", riga " +
                                    std::to_string(entry.row.row) +
                                    "): l'indice non corrisponde alla tabella."};
  auto &entries = leaf.edit().entries;
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
    if (isEmpty(step.view())) {
      JET_TRY(removeChild(step, parent));
      --level;
      continue;
    }
    const size_t prefix = pagePrefixLength(step.view().kind, step.view().entries);
    if (!indexEntriesFit(step.view().kind, step.view().entries, prefix)) {
      JET_TRY(splitChild(step, parent));
      --level;
      continue;
    }
    JET_TRY(storeStep(step, prefix));
    if (parent.slot < parent.view().entries.size()) {
      IndexEntry want = parentEntryFor(step.view(), step.pageNo);
      if (!(parent.view().entries[parent.slot] == want)) {
        parent.edit().entries[parent.slot] = std::move(want);
        --level;
        continue;
      }
    }
    return Status::ok();
  }
}

Status IndexTree::settleRoot(Step &root) {
  IndexPage &page = root.edit();
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
    return storeStep(root);
  // The root overflows: everything moves one level down to a new page, which then splits as any
  // other child; the root page keeps its number and becomes the page above them.
  auto childNo = io_.allocate(index_);
  if (!childNo)
    return childNo.status();
  Step child;
  child.pageNo = *childNo;
  child.own = std::make_unique<IndexPage>(std::move(page));
  child.inserted = root.inserted;
  page = blankPage(IndexPageKind::Intermediate);
  page.tailPage = *childNo;
  root.slot = 0;
  JET_TRY(splitChild(child, root));
  return storeStep(root);
}

// Splits an overflowing page: a new page takes the lower entries and goes before it on its
// level; the page keeps the upper entries, its tail and its place above. A page that grew at the
// right end of its level (appends in key order) keeps only the new entry, so a table filled in
// key order leaves full pages behind.
Status IndexTree::splitChild(Step &child, Step &parent) {
  IndexPage &page = child.edit();
  auto &entries = page.entries;
  const IndexPageKind kind = page.kind;
  const bool hasTail = kind == IndexPageKind::Intermediate && page.tailPage != 0;
  const size_t n = entries.size();
  if (n < 2 && !hasTail)
    return {ErrorCode::Internal, "Pagina d'indice non divisibile."};

  size_t cut; // entries [0, cut) move to the new page
  if (n >= 2 && page.nextPage == 0 && child.inserted == n - 1) {
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
  lowerPage.prevPage = page.prevPage;
  lowerPage.nextPage = child.pageNo;
  entries.erase(entries.begin(), entries.begin() + static_cast<ptrdiff_t>(cut));
  page.prevPage = *newNo;
  if (lowerPage.prevPage != 0)
    JET_TRY(relink(lowerPage.prevPage, false, *newNo));
  JET_TRY(store(*newNo, lowerPage));
  auto &above = parent.edit().entries;
  above.insert(above.begin() + static_cast<ptrdiff_t>(parent.slot),
               parentEntryFor(lowerPage, *newNo));
  parent.inserted = parent.slot;
  ++parent.slot;
  if (parent.slot < above.size())
    above[parent.slot] = parentEntryFor(page, child.pageNo);
  return storeStep(child);
}

// Takes an emptied page out of its level and out of the page above.
Status IndexTree::removeChild(Step &child, Step &parent) {
  const uint32_t prev = child.view().prevPage, next = child.view().nextPage;
  if (prev != 0)
    JET_TRY(relink(prev, false, next));
  if (next != 0)
    JET_TRY(relink(next, true, prev));
  JET_TRY(io_.release(index_, child.pageNo));
  IndexPage &up = parent.edit();
  auto &above = up.entries;
  if (parent.slot < above.size()) {
    above.erase(above.begin() + static_cast<ptrdiff_t>(parent.slot));
    return Status::ok();
  }
  // The tail child went: the last child with an entry becomes the tail, and so does the right
  // edge below it.
  if (above.empty()) {
    up.tailPage = 0;
    return Status::ok();
  }
  up.tailPage = above.back().child;
  above.pop_back();
  parent.slot = above.size();
  return makeRightEdge(up.tailPage);
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

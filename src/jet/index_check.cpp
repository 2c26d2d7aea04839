#include "jet/index_check.h"

#include "jet/index_rows.h"
#include "jet/table_cursor.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <unordered_set>

namespace jet {

namespace {

constexpr size_t kMaxDepth = 24;

std::string at(uint32_t page) {
  return "pagina " + std::to_string(page) + ": ";
}

std::string rowText(RowPointer r) {
  return "(pagina " + std::to_string(r.page) + ", riga " + std::to_string(r.row) + ")";
}

bool less(const IndexEntry &a, const IndexEntry &b) {
  return compareIndexEntries(a, b) < 0;
}

class Findings {
public:
  Findings(std::vector<std::string> &out, std::string where, size_t limit)
      : out_(out), where_(std::move(where)), limit_(limit) {}
  void add(const std::string &text) {
    if (count_++ < limit_)
      out_.push_back(where_ + text);
    else if (count_ == limit_ + 1)
      out_.push_back(where_ + "altri problemi non elencati.");
  }
  size_t count() const { return count_; }

private:
  std::vector<std::string> &out_;
  std::string where_;
  size_t limit_;
  size_t count_ = 0;
};

// Walks the tree level by level, a page at a time, handing each leaf entry to `leaf` in leaf
// order; false where the tree cannot be followed.
bool walkTree(IndexPageIO &io, const TableDef &table, const PhysicalIndex &index, Findings &f,
              const std::function<void(IndexEntry &)> &leaf) {
  std::vector<uint8_t> buffer(kIndexPageSize);
  std::vector<uint32_t> level{index.rootPage};
  std::vector<std::optional<IndexEntry>> expectedLast{std::nullopt};
  std::unordered_set<uint32_t> seen{index.rootPage};
  for (size_t depth = 0; depth < kMaxDepth; ++depth) {
    std::optional<IndexPageKind> kind;
    std::vector<uint32_t> below;
    std::vector<std::optional<IndexEntry>> belowLast;
    for (size_t i = 0; i < level.size(); ++i) {
      const uint32_t no = level[i];
      Status s = io.read(no, buffer);
      if (!s) {
        f.add(at(no) + s.message());
        return false;
      }
      auto decoded = decodeIndexPage(buffer);
      if (!decoded) {
        f.add(at(no) + decoded.status().message());
        return false;
      }
      IndexPage &p = *decoded;
      if (!kind)
        kind = p.kind;
      if (p.kind != *kind) {
        f.add(at(no) + "pagine foglia e intermedie allo stesso livello dell'albero.");
        return false;
      }
      if (p.tableDefinitionPage != table.page)
        f.add(at(no) + "la pagina indica la tabella di pagina " +
              std::to_string(p.tableDefinitionPage) + ".");
      const uint32_t prev = i ? level[i - 1] : 0, next = i + 1 < level.size() ? level[i + 1] : 0;
      if (p.prevPage != prev || p.nextPage != next)
        f.add(at(no) + "collegamenti alle pagine vicine errati (precedente " +
              std::to_string(p.prevPage) + " invece di " + std::to_string(prev) + ", seguente " +
              std::to_string(p.nextPage) + " invece di " + std::to_string(next) + ").");
      for (size_t e = 1; e < p.entries.size(); ++e)
        if (!less(p.entries[e - 1], p.entries[e])) {
          f.add(at(no) + "voci fuori ordine.");
          break;
        }
      if (p.prefixLength != pagePrefixLength(p.kind, p.entries))
        f.add(at(no) + "prefisso comune di " + std::to_string(p.prefixLength) + " byte invece di " +
              std::to_string(pagePrefixLength(p.kind, p.entries)) + ".");
      if (p.entries.empty() && (depth > 0 || *kind == IndexPageKind::Intermediate) &&
          (*kind == IndexPageKind::Leaf || p.tailPage == 0))
        f.add(at(no) + "pagina vuota rimasta nell'albero.");
      if (expectedLast[i]) {
        const IndexEntry &want = *expectedLast[i];
        if (p.entries.empty() || p.entries.back().key != want.key ||
            p.entries.back().row != want.row)
          f.add(at(no) + "la voce della pagina superiore non è l'ultima voce della pagina.");
      }
      if (*kind == IndexPageKind::Leaf) {
        for (auto &e : p.entries)
          leaf(e);
        continue;
      }
      const bool rightEdge = i + 1 == level.size();
      if (rightEdge && p.tailPage == 0)
        f.add(at(no) + "manca il puntatore alla pagina di coda.");
      if (!rightEdge && p.tailPage != 0)
        f.add(at(no) + "puntatore alla pagina di coda fuori dal bordo destro dell'albero.");
      auto add = [&](uint32_t child, std::optional<IndexEntry> last) {
        if (child == 0 || !seen.insert(child).second) {
          f.add(at(no) + "la pagina " + std::to_string(child) + " compare più volte nell'albero.");
          return false;
        }
        below.push_back(child);
        belowLast.push_back(std::move(last));
        return true;
      };
      for (auto &e : p.entries)
        if (!add(e.child, std::move(e)))
          return false;
      if (p.tailPage != 0 && !add(p.tailPage, std::nullopt))
        return false;
    }
    if (kind == IndexPageKind::Leaf)
      return true;
    if (below.empty()) {
      f.add(at(level.front()) + "pagina intermedia senza pagine sottostanti.");
      return false;
    }
    level = std::move(below);
    expectedLast = std::move(belowLast);
  }
  f.add("l'albero non finisce.");
  return false;
}

std::optional<Bytes> nullKeyOf(const TableDef &table, const PhysicalIndex &index) {
  std::vector<Value> nulls(index.columns.size());
  auto key = indexKeyOf(table, index, nulls);
  return key ? std::optional<Bytes>(std::move(*key)) : std::nullopt;
}

uint64_t mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdull;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ull;
  x ^= x >> 33;
  return x;
}

} // namespace

std::vector<std::string> checkIndexTree(IndexPageIO &io, const TableDef &table,
                                        const PhysicalIndex &index,
                                        const std::vector<CheckedRow> &rows, size_t limit) {
  std::vector<std::string> out;
  Findings f(out, "Tabella '" + table.name + "', indice '" + indexDisplayName(table, index) + "': ",
             limit);
  std::vector<IndexEntry> leaves;
  if (!walkTree(io, table, index, f, [&](IndexEntry &e) { leaves.push_back(std::move(e)); }))
    return out;
  for (size_t i = 1; i < leaves.size(); ++i)
    if (!less(leaves[i - 1], leaves[i])) {
      f.add("voci fuori ordine tra una foglia e la seguente " + rowText(leaves[i].row) + ".");
      break;
    }

  std::vector<IndexEntry> expected;
  expected.reserve(rows.size());
  for (const auto &r : rows) {
    auto key = rowIndexKey(table, index, r.values);
    if (!key) {
      f.add("la riga " + rowText(rowPointerOf(r.at)) +
            " non ha una chiave: " + key.status().message());
      continue;
    }
    if (*key)
      expected.push_back(leafEntry(std::move(**key), rowPointerOf(r.at)));
  }
  std::sort(expected.begin(), expected.end(), less);

  if (leaves.size() != expected.size())
    f.add("l'indice ha " + std::to_string(leaves.size()) + " voci, la tabella " +
          std::to_string(expected.size()) + " righe da indicizzare.");
  std::vector<IndexEntry> sortedLeaves = leaves;
  std::sort(sortedLeaves.begin(), sortedLeaves.end(), less);
  size_t a = 0, b = 0;
  while (a < expected.size() || b < sortedLeaves.size()) {
    if (b == sortedLeaves.size() || (a < expected.size() && less(expected[a], sortedLeaves[b]))) {
      f.add("manca la voce della riga " + rowText(expected[a].row) + ".");
      ++a;
    } else if (a == expected.size() || less(sortedLeaves[b], expected[a])) {
      f.add("voce senza riga corrispondente " + rowText(sortedLeaves[b].row) + ".");
      ++b;
    } else {
      ++a;
      ++b;
    }
  }

  if (index.unique()) {
    auto nullKey = nullKeyOf(table, index);
    for (size_t i = 1; i < leaves.size(); ++i) {
      const Bytes &k = leaves[i].key;
      if (k == leaves[i - 1].key && !(nullKey && k == *nullKey))
        f.add("chiave duplicata in un indice univoco " + rowText(leaves[i].row) + ".");
    }
  }
  return out;
}

void EntryDigest::add(ByteView key, RowPointer row) {
  uint64_t h = 0x9e3779b97f4a7c15ull ^ key.size();
  size_t i = 0;
  for (; i + 8 <= key.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, key.data() + i, 8);
    h = mix(h ^ w);
  }
  uint64_t tail = 0;
  std::memcpy(&tail, key.data() + i, key.size() - i);
  h = mix(h ^ tail);
  h = mix(h ^ (uint64_t(row.page) << 8 | row.row));
  ++count_;
  sum_ += h;
  sumOfMixed_ += mix(h + 0x632be59bd9b4e019ull);
}

bool indexMatchesDigest(IndexPageIO &io, const TableDef &table, const PhysicalIndex &index,
                        const EntryDigest &expected) {
  std::vector<std::string> ignored;
  Findings f(ignored, "", 0);
  EntryDigest found;
  std::optional<IndexEntry> previous;
  bool sound = true;
  const auto nullKey = index.unique() ? nullKeyOf(table, index) : std::nullopt;
  bool walked = walkTree(io, table, index, f, [&](IndexEntry &e) {
    if (previous) {
      sound = sound && less(*previous, e);
      if (index.unique() && previous->key == e.key && !(nullKey && e.key == *nullKey))
        sound = false;
    }
    found.add(e.key, e.row);
    previous = std::move(e);
  });
  return walked && sound && f.count() == 0 && found == expected;
}

std::vector<std::string> checkTableIndexes(IndexPageIO &io, const TableDef &table,
                                           const std::vector<CheckedRow> &rows, size_t limit) {
  std::vector<std::string> out;
  for (const auto &index : table.physicalIndexes) {
    auto found = checkIndexTree(io, table, index, rows, limit);
    out.insert(out.end(), found.begin(), found.end());
  }
  return out;
}

Result<std::vector<std::string>>
checkTableIndexes(Pager &pager, std::shared_ptr<const TableDef> table, size_t limit) {
  std::vector<CheckedRow> rows;
  if (!table->physicalIndexes.empty()) {
    auto cursor = TableCursor::open(pager, table);
    if (!cursor)
      return cursor.status();
    for (;;) {
      auto more = cursor->next();
      if (!more)
        return more.status();
      if (!*more)
        break;
      CheckedRow row;
      row.at = cursor->location();
      JET_TRY(cursor->read(row.values));
      rows.push_back(std::move(row));
    }
  }
  PagerIndexIO io(pager);
  return checkTableIndexes(io, *table, rows, limit);
}

} // namespace jet

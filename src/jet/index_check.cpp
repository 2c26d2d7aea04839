#include "jet/index_check.h"

#include "jet/index_rows.h"
#include "jet/table_cursor.h"

#include <algorithm>
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

// Walks the tree level by level; returns the leaf entries in leaf order, or nothing where the
// tree cannot be followed.
std::optional<std::vector<IndexEntry>> walkTree(IndexPageIO &io, const TableDef &table,
                                                const PhysicalIndex &index, Findings &f) {
  std::vector<uint8_t> buffer(kIndexPageSize);
  std::vector<uint32_t> level{index.rootPage};
  std::vector<std::optional<IndexEntry>> expectedLast{std::nullopt};
  std::unordered_set<uint32_t> seen{index.rootPage};
  for (size_t depth = 0; depth < kMaxDepth; ++depth) {
    std::vector<IndexPage> pages;
    for (uint32_t no : level) {
      Status s = io.read(no, buffer);
      if (!s) {
        f.add(at(no) + s.message());
        return std::nullopt;
      }
      auto page = decodeIndexPage(buffer);
      if (!page) {
        f.add(at(no) + page.status().message());
        return std::nullopt;
      }
      pages.push_back(std::move(*page));
    }
    const IndexPageKind kind = pages.front().kind;
    for (size_t i = 0; i < pages.size(); ++i) {
      const IndexPage &p = pages[i];
      const uint32_t no = level[i];
      if (p.kind != kind) {
        f.add(at(no) + "pagine foglia e intermedie allo stesso livello dell'albero.");
        return std::nullopt;
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
      if (p.entries.empty() && (depth > 0 || kind == IndexPageKind::Intermediate) &&
          (kind == IndexPageKind::Leaf || p.tailPage == 0))
        f.add(at(no) + "pagina vuota rimasta nell'albero.");
      if (expectedLast[i]) {
        const IndexEntry &want = *expectedLast[i];
        if (p.entries.empty() || p.entries.back().key != want.key ||
            p.entries.back().row != want.row)
          f.add(at(no) + "la voce della pagina superiore non è l'ultima voce della pagina.");
      }
      if (kind == IndexPageKind::Intermediate) {
        const bool rightEdge = i + 1 == pages.size();
        if (rightEdge && p.tailPage == 0)
          f.add(at(no) + "manca il puntatore alla pagina di coda.");
        if (!rightEdge && p.tailPage != 0)
          f.add(at(no) + "puntatore alla pagina di coda fuori dal bordo destro dell'albero.");
      }
    }
    if (kind == IndexPageKind::Leaf) {
      std::vector<IndexEntry> leaves;
      for (auto &p : pages)
        for (auto &e : p.entries)
          leaves.push_back(std::move(e));
      return leaves;
    }
    std::vector<uint32_t> below;
    std::vector<std::optional<IndexEntry>> belowLast;
    for (size_t i = 0; i < pages.size(); ++i) {
      auto add = [&](uint32_t child, std::optional<IndexEntry> last) {
        if (child == 0 || !seen.insert(child).second) {
          f.add(at(level[i]) + "la pagina " + std::to_string(child) +
                " compare più volte nell'albero.");
          return false;
        }
        below.push_back(child);
        belowLast.push_back(std::move(last));
        return true;
      };
      for (const auto &e : pages[i].entries)
        if (!add(e.child, e))
          return std::nullopt;
      if (pages[i].tailPage != 0 && !add(pages[i].tailPage, std::nullopt))
        return std::nullopt;
    }
    if (below.empty()) {
      f.add(at(level.front()) + "pagina intermedia senza pagine sottostanti.");
      return std::nullopt;
    }
    level = std::move(below);
    expectedLast = std::move(belowLast);
  }
  f.add("l'albero non finisce.");
  return std::nullopt;
}

} // namespace

std::vector<std::string> checkIndexTree(IndexPageIO &io, const TableDef &table,
                                        const PhysicalIndex &index,
                                        const std::vector<CheckedRow> &rows, size_t limit) {
  std::vector<std::string> out;
  Findings f(out, "Tabella '" + table.name + "', indice '" + indexDisplayName(table, index) + "': ",
             limit);
  auto leaves = walkTree(io, table, index, f);
  if (!leaves)
    return out;
  for (size_t i = 1; i < leaves->size(); ++i)
    if (!less((*leaves)[i - 1], (*leaves)[i])) {
      f.add("voci fuori ordine tra una foglia e la seguente " + rowText((*leaves)[i].row) + ".");
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

  if (leaves->size() != expected.size())
    f.add("l'indice ha " + std::to_string(leaves->size()) + " voci, la tabella " +
          std::to_string(expected.size()) + " righe da indicizzare.");
  std::vector<IndexEntry> sortedLeaves = *leaves;
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
    std::vector<Value> nulls(index.columns.size());
    auto nullKey = indexKeyOf(table, index, nulls);
    for (size_t i = 1; i < leaves->size(); ++i) {
      const Bytes &k = (*leaves)[i].key;
      if (k == (*leaves)[i - 1].key && !(nullKey && k == *nullKey))
        f.add("chiave duplicata in un indice univoco " + rowText((*leaves)[i].row) + ".");
    }
  }
  return out;
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

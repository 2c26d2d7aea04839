#include "jet/integrity_check.h"

#include "jet/data_page.h"
#include "jet/index_check.h"
#include "jet/index_rows.h"
#include "jet/long_value.h"
#include "jet/page_allocator.h"
#include "jet/page_store.h"
#include "jet/table_writer.h"
#include "jet/usage_map.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace jet {

namespace {

struct FileScan {
  std::map<uint32_t, std::vector<uint32_t>> dataPages; // by owning definition page
  std::set<uint32_t> longValuePages;
};

Status scanFile(Pager &pager, FileScan &scan) {
  for (uint32_t n = 0; n < pager.pageCount(); ++n) {
    PageRef hold;
    auto img = pager.peek(n, hold);
    if (!img)
      return img.status();
    if ((*img)[0] != kPageTypeData)
      continue;
    if (std::memcmp(*img + 4, "LVAL", 4) == 0)
      scan.longValuePages.insert(n);
    else
      scan.dataPages[le32(*img + 4)].push_back(n);
  }
  return Status::ok();
}

std::string pageList(const std::vector<uint32_t> &pages) {
  std::string s;
  for (size_t i = 0; i < pages.size() && i < 10; ++i)
    s += (i ? ", " : "") + std::to_string(pages[i]);
  if (pages.size() > 10)
    s += ", ... (" + std::to_string(pages.size()) + " in tutto)";
  return s;
}

// The row table of a data or long-value page: bounds in order, free space as the header says.
void checkRowTable(uint32_t n, const uint8_t *p, const std::string &where,
                   std::vector<std::string> &findings) {
  uint16_t rows = rowpage::rowCount(p);
  if (rowpage::kHeaderSize + 2u * rows > kPageSize) {
    findings.push_back(where + "pagina " + std::to_string(n) + ": numero di righe impossibile");
    return;
  }
  for (uint16_t r = 0; r < rows; ++r) {
    uint16_t s, e;
    if ((rowpage::slotWord(p, r) & rowpage::kDeleted) == rowpage::kDeleted)
      continue;
    if (!rowpage::bounds(p, r, s, e)) {
      findings.push_back(where + "pagina " + std::to_string(n) + ", riga " + std::to_string(r) +
                         ": fuori dai limiti della pagina");
      return;
    }
  }
  size_t gap = rowpage::gap(p);
  if (le16(p + 2) != gap)
    findings.push_back(where + "pagina " + std::to_string(n) + ": lo spazio libero indicato (" +
                       std::to_string(le16(p + 2)) + ") non corrisponde a quello reale (" +
                       std::to_string(gap) + ")");
}

// Each long value of the cursor's row holds as many bytes as its descriptor declares: a length
// cut short reads back as a shorter value that nothing else would notice.
void checkLongValueLengths(Pager &pager, const TableCursor &cursor, const std::string &where,
                           std::vector<std::string> &findings) {
  const RowLayout &layout = cursor.layout();
  for (const ColumnDef &col : cursor.table().columns) {
    if (!col.isLongValue() || !layout.isSet(col.number) || col.varIndex >= layout.varCount())
      continue;
    auto field = layout.varField(col.varIndex, cursor.dataPage());
    if (!field)
      continue; // the row's own reading reports it
    auto ref = LongValueRef::parse(*field, cursor.dataPage());
    LongValueReader reader(pager);
    auto stored = reader.storedLength(*field, cursor.dataPage());
    if (!ref || !stored || *stored == ref->length)
      continue;
    findings.push_back(where + "riga in pagina " + std::to_string(cursor.location().page) +
                       ", posizione " + std::to_string(cursor.location().row) + ", campo '" +
                       col.name + "': il valore dichiara " + std::to_string(ref->length) +
                       " byte, le sue pagine ne contengono " + std::to_string(*stored));
  }
}

// The rows read again, for the index maintainer's full check to say what is wrong.
Status fullIndexCheck(Database &db, std::shared_ptr<const TableDef> def,
                      std::vector<std::string> &findings) {
  auto cursor = TableCursor::open(db.pager(), def);
  if (!cursor)
    return Status::ok();
  std::vector<RowLocation> locations;
  std::vector<std::vector<Value>> rows;
  for (;;) {
    auto more = cursor->next();
    if (!more || !*more)
      break;
    std::vector<Value> values;
    if (!cursor->read(values))
      continue; // reported by the row check
    locations.push_back(cursor->location());
    rows.push_back(std::move(values));
  }
  return db.indexMaintainer().checkTable(db.pager(), *def, locations, rows, findings);
}

// Every row, long values included, and the count the definition keeps. Each index is held
// against the keys of the rows, folded as they go by, so that a table of any size is checked
// without keeping its rows; only an index that does not match has them read again.
Status checkRowsAndIndexes(Database &db, const std::string &name,
                           std::vector<std::string> &findings) {
  Pager &pager = db.pager();
  const std::string where = "Tabella '" + name + "': ";
  auto defNow = db.table(name);
  if (!defNow)
    return defNow.status();
  const TableDef &table = **defNow;
  auto cursor = TableCursor::open(pager, *defNow);
  if (!cursor) {
    findings.push_back(where + cursor.status().message());
    return Status::ok();
  }
  const size_t indexes = table.physicalIndexes.size();
  std::vector<EntryDigest> expected(indexes);
  std::vector<bool> keyless(indexes, false);
  uint64_t live = 0;
  std::vector<Value> values;
  for (;;) {
    auto more = cursor->next();
    if (!more) {
      findings.push_back(where + "righe illeggibili: " + more.status().message());
      break;
    }
    if (!*more)
      break;
    Status st = cursor->read(values);
    if (!st) {
      findings.push_back(where + "riga in pagina " + std::to_string(cursor->location().page) +
                         ", posizione " + std::to_string(cursor->location().row) +
                         " illeggibile: " + st.message());
      continue;
    }
    checkLongValueLengths(pager, *cursor, where, findings);
    ++live;
    const RowPointer at = rowPointerOf(cursor->location());
    for (size_t k = 0; k < indexes; ++k) {
      auto key = rowIndexKey(table, table.physicalIndexes[k], values);
      if (!key)
        keyless[k] = true;
      else if (*key)
        expected[k].add(**key, at);
    }
  }
  // Access does not keep its own tables' counts true.
  if (!table.isSystem() && live != table.rowCount)
    findings.push_back(where + "la definizione conta " + std::to_string(table.rowCount) +
                       " righe, la tabella ne ha " + std::to_string(live));
  PagerIndexIO io(pager);
  for (size_t k = 0; k < indexes; ++k)
    if (keyless[k] || !indexMatchesDigest(io, table, table.physicalIndexes[k], expected[k]))
      return fullIndexCheck(db, *defNow, findings);
  return Status::ok();
}

Status checkOne(Database &db, const TableDef &def, const FileScan &scan, std::set<uint32_t> &inUse,
                std::vector<std::string> &findings) {
  Pager &pager = db.pager();
  const std::string where = "Tabella '" + def.name + "': ";
  std::vector<uint32_t> actual;
  if (auto it = scan.dataPages.find(def.page); it != scan.dataPages.end())
    actual = it->second;

  UsageMapEditor used(pager, nullptr, def.usedPagesMap);
  auto listed = used.pages();
  if (!listed) {
    findings.push_back(where + "mappa delle pagine illeggibile: " + listed.status().message());
    return Status::ok();
  }
  inUse.insert(listed->begin(), listed->end());
  std::vector<uint32_t> missing, foreign;
  std::set_difference(actual.begin(), actual.end(), listed->begin(), listed->end(),
                      std::back_inserter(missing));
  std::set_difference(listed->begin(), listed->end(), actual.begin(), actual.end(),
                      std::back_inserter(foreign));
  if (!missing.empty())
    findings.push_back(where +
                       "pagine di dati assenti dalla mappa della tabella: " + pageList(missing));
  if (!foreign.empty())
    findings.push_back(
        where + "la mappa della tabella elenca pagine che non sono sue: " + pageList(foreign));
  UsageMapEditor freeMap(pager, nullptr, def.freePagesMap);
  auto withSpace = freeMap.pages();
  if (!withSpace) {
    findings.push_back(where +
                       "mappa dello spazio libero illeggibile: " + withSpace.status().message());
  } else {
    std::vector<uint32_t> stray;
    std::set_difference(withSpace->begin(), withSpace->end(), listed->begin(), listed->end(),
                        std::back_inserter(stray));
    if (!stray.empty())
      findings.push_back(
          where +
          "la mappa dello spazio libero elenca pagine fuori dalla tabella: " + pageList(stray));
  }
  for (uint32_t n : actual) {
    PageRef hold;
    auto img = pager.peek(n, hold);
    if (!img)
      return img.status();
    checkRowTable(n, *img, where, findings);
  }
  for (const auto &m : def.longValueMaps) {
    for (uint32_t word : {m.usedPagesMap, m.freePagesMap}) {
      if (word == 0)
        continue;
      UsageMapEditor lv(pager, nullptr, word);
      auto pages = lv.pages();
      if (!pages) {
        findings.push_back(where +
                           "mappa dei valori lunghi illeggibile: " + pages.status().message());
        continue;
      }
      std::vector<uint32_t> notLval;
      for (uint32_t n : *pages)
        if (!scan.longValuePages.count(n))
          notLval.push_back(n);
      if (!notLval.empty())
        findings.push_back(where + "la mappa dei valori lunghi elenca pagine che non lo sono: " +
                           pageList(notLval));
      if (word == m.usedPagesMap)
        inUse.insert(pages->begin(), pages->end());
    }
  }

  return checkRowsAndIndexes(db, def.name, findings);
}

Status checkFreeMap(Database &db, const FileScan &scan, const std::set<uint32_t> &inUse,
                    std::vector<std::string> &findings) {
  Pager &pager = db.pager();
  UsageMapEditor global(pager, nullptr, PageAllocator::kGlobalMapWord, true);
  auto free = global.pages();
  if (!free)
    return Status::ok(); // a database without the map
  std::vector<uint32_t> clash;
  for (uint32_t n : *free)
    if (inUse.count(n) || scan.longValuePages.count(n) || n < 3)
      clash.push_back(n);
  if (!clash.empty())
    findings.push_back("Mappa delle pagine libere: pagine in uso segnate come libere: " +
                       pageList(clash));
  return Status::ok();
}

// The format's offsets and page numbers reach 2 GB and no further.
bool checkFileSize(Pager &pager, std::vector<std::string> &findings) {
  const uint64_t size = uint64_t(pager.pageCount()) * kPageSize;
  if (size <= kMaxDatabaseBytes)
    return true;
  findings.push_back("Il file è di " + std::to_string(size) +
                     " byte: oltre i 2 GB che il formato consente a un database");
  return false;
}

} // namespace

Status checkTable(Database &db, std::string_view table, std::vector<std::string> &findings) {
  JET_TRY(db.settleIndexes());
  auto def = db.table(table);
  if (!def)
    return def.status();
  FileScan scan;
  JET_TRY(scanFile(db.pager(), scan));
  std::set<uint32_t> inUse;
  return checkOne(db, **def, scan, inUse, findings);
}

Status checkDatabase(Database &db, std::vector<std::string> &findings) {
  JET_TRY(db.settleIndexes());
  // A file past the format's limit is no Jet 4 database: its pages are not worth a scan.
  if (!checkFileSize(db.pager(), findings))
    return Status::ok();
  FileScan scan;
  JET_TRY(scanFile(db.pager(), scan));
  std::set<uint32_t> inUse;
  // The engine's own system tables too (damage to the catalogue loses every table); not those
  // Access keeps for its user interface, in layouts of its own.
  std::vector<std::string> tables = db.userTableNames();
  for (const char *name : {"MSysObjects", "MSysACEs", "MSysRelationships", "MSysQueries"})
    if (db.catalog().findTable(name))
      tables.push_back(name);
  for (const auto &name : tables) {
    auto def = db.table(name);
    if (!def) {
      findings.push_back("Tabella '" + name + "': " + def.status().message());
      continue;
    }
    JET_TRY(checkOne(db, **def, scan, inUse, findings));
  }
  JET_TRY(db.rowHook().checkRelationships(db.pager(), findings));
  return checkFreeMap(db, scan, inUse, findings);
}

} // namespace jet

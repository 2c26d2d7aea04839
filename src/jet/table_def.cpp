#include "jet/table_def.h"

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/errors.h"
#include "jet/names.h"
#include "jet/text_codec.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace jet {

size_t fixedSizeOf(ColumnType type) {
  switch (type) {
  case ColumnType::Boolean:
    return 0;
  case ColumnType::Byte:
    return 1;
  case ColumnType::Integer:
    return 2;
  case ColumnType::Long:
  case ColumnType::Single:
    return 4;
  case ColumnType::Currency:
  case ColumnType::Double:
  case ColumnType::DateTime:
    return 8;
  case ColumnType::Guid:
    return 16;
  case ColumnType::Numeric:
    return 17;
  default:
    return 0;
  }
}

bool isKnownColumnType(uint8_t t) {
  return (t >= 0x01 && t <= 0x0C) || t == 0x0F || t == 0x10;
}

const ColumnDef *TableDef::findColumn(std::string_view n) const {
  for (const auto &c : columns)
    if (equalsNoCase(c.name, n))
      return &c;
  return nullptr;
}

const ColumnDef *TableDef::columnByNumber(uint16_t number) const {
  for (const auto &c : columns)
    if (c.number == number)
      return &c;
  return nullptr;
}

const LongValueMaps *TableDef::longValueMapsOf(uint16_t columnNumber) const {
  for (const auto &m : longValueMaps)
    if (m.columnNumber == columnNumber)
      return &m;
  return nullptr;
}

Status writeTableDefBytes(Pager &pager, const TableDef &def, size_t rawOffset, ByteView bytes) {
  for (size_t i = 0; i < bytes.size();) {
    size_t off = rawOffset + i;
    constexpr size_t body = kPageSize - tdef::kContinuationHeader;
    size_t pageIndex = off < kPageSize ? 0 : 1 + (off - kPageSize) / body;
    size_t inPage = off < kPageSize ? off : tdef::kContinuationHeader + (off - kPageSize) % body;
    if (pageIndex >= def.pages.size())
      return {ErrorCode::Internal, "Scrittura oltre la definizione della tabella."};
    auto img = pager.modify(def.pages[pageIndex]);
    if (!img)
      return img.status();
    size_t n = std::min(bytes.size() - i, kPageSize - inPage);
    std::memcpy(*img + inPage, bytes.data() + i, n);
    i += n;
  }
  return Status::ok();
}

namespace {

using namespace tdef;

// Jet allows 255 columns and 32 indexes; anything far beyond is damage, not a table.
constexpr uint32_t kMaxColumnsSane = 4096;
constexpr uint32_t kMaxIndexesSane = 1024;

class Parser {
public:
  Parser(const std::vector<uint8_t> &raw, uint32_t page) : raw_(raw), page_(page) {}

  bool fits(size_t off, size_t len) const { return inBounds(raw_.size(), off, len); }
  Status truncated(std::string_view what) const {
    return corruptPage(page_, std::string("definizione della tabella troncata (") +
                                  std::string(what) + ")");
  }
  const uint8_t *at(size_t off) const { return raw_.data() + off; }

  // A 2-byte length and that many bytes of UCS-2.
  Result<std::string> name(size_t &off, std::string_view what) const {
    if (!fits(off, 2))
      return truncated(what);
    size_t len = le16(at(off));
    off += 2;
    if (!fits(off, len))
      return truncated(what);
    std::string s = decodeJetText({at(off), len});
    off += len;
    return s;
  }

private:
  const std::vector<uint8_t> &raw_;
  uint32_t page_;
};

Result<std::vector<uint8_t>> loadChain(Pager &pager, uint32_t first, std::vector<uint32_t> &pages) {
  std::vector<uint8_t> raw;
  std::unordered_set<uint32_t> seen;
  if (first == 0) // page 0 is the database header
    return corruptPage(first, "non è una pagina di definizione di tabella");
  uint32_t next = first;
  while (next != 0) {
    if (!seen.insert(next).second)
      return corruptPage(next,
                         "la catena delle pagine di definizione della tabella torna su se stessa");
    auto page = pager.page(next);
    if (!page)
      return page.status();
    if ((*page)->type() != kPageTypeTableDef)
      return corruptPage(next, "non è una pagina di definizione di tabella");
    const uint8_t *d = (*page)->data();
    pages.push_back(next);
    if (raw.empty())
      raw.assign(d, d + kPageSize);
    else
      raw.insert(raw.end(), d + kContinuationHeader, d + kPageSize);
    next = le32(d + kNextPage);
  }
  return raw;
}

} // namespace

Result<std::shared_ptr<const TableDef>> readTableDef(Pager &pager, uint32_t page,
                                                     const std::string &tableName) {
  auto def = std::make_shared<TableDef>();
  def->name = tableName;
  def->page = page;
  auto raw = loadChain(pager, page, def->pages);
  if (!raw)
    return inTable(raw.status(), tableName);
  def->raw = std::move(*raw);
  const std::vector<uint8_t> &b = def->raw;
  Parser p(b, page);
  auto fail = [&](Status s) { return inTable(std::move(s), tableName); };

  def->rowCount = le32(&b[kRowCount]);
  def->lastAutoNumber = le32(&b[kAutoNumber]);
  def->tableType = b[kTableType];
  def->maxColumns = le16(&b[kMaxColumns]);
  def->varColumnCount = le16(&b[kVarColumns]);
  uint32_t columnCount = le16(&b[kColumnCount]);
  uint32_t indexCount = le32(&b[kIndexCount]);
  uint32_t realIndexCount = le32(&b[kRealIndexCount]);
  def->usedPagesMap = le32(&b[kUsedPages]);
  def->freePagesMap = le32(&b[kFreePages]);
  if (columnCount > kMaxColumnsSane || indexCount > kMaxIndexesSane ||
      realIndexCount > kMaxIndexesSane)
    return fail(corruptPage(page, "numero di colonne o di indici impossibile"));

  size_t off = kFirstBlock;
  std::vector<uint32_t> realRowCounts(realIndexCount);
  if (!p.fits(off, realIndexCount * kRealIndexCountSize))
    return fail(p.truncated("indici"));
  for (uint32_t i = 0; i < realIndexCount; ++i)
    realRowCounts[i] = le32(p.at(off + i * kRealIndexCountSize + kRealIndexRowCount));
  off += realIndexCount * kRealIndexCountSize;

  if (!p.fits(off, columnCount * kColumnSize))
    return fail(p.truncated("colonne"));
  std::vector<ColumnDef> cols(columnCount);
  for (uint32_t i = 0; i < columnCount; ++i) {
    const uint8_t *c = p.at(off);
    ColumnDef &col = cols[i];
    col.definitionOffset = off;
    if (!isKnownColumnType(c[kColumnType]))
      return fail(corruptPage(page, "tipo di colonna sconosciuto (" +
                                        std::to_string(c[kColumnType]) + ")"));
    col.type = static_cast<ColumnType>(c[kColumnType]);
    col.number = le16(c + kColumnNumber);
    col.varIndex = le16(c + kColumnVarIndex);
    col.index = le16(c + kColumnIndex);
    if (col.type == ColumnType::Numeric) {
      col.precision = c[kColumnPrecision];
      col.scale = c[kColumnScale];
    } else if (col.isText()) {
      col.sortOrder = le16(c + kColumnSortOrder);
    }
    col.flags = c[kColumnFlags];
    col.extFlags = c[kColumnExtFlags];
    col.fixedOffset = le16(c + kColumnFixedOffset);
    col.length = le16(c + kColumnLength);
    off += kColumnSize;
  }
  for (auto &col : cols) {
    auto n = p.name(off, "nomi delle colonne");
    if (!n)
      return fail(n.status());
    col.name = std::move(*n);
  }

  std::vector<PhysicalIndex> phys(realIndexCount);
  if (!p.fits(off, realIndexCount * kRealIndexSize))
    return fail(p.truncated("indici"));
  for (uint32_t i = 0; i < realIndexCount; ++i) {
    const uint8_t *x = p.at(off);
    PhysicalIndex &ix = phys[i];
    ix.number = i;
    ix.definitionOffset = off;
    ix.rowCount = realRowCounts[i];
    for (size_t k = 0; k < kIndexColumnSlots; ++k) {
      const uint8_t *slot = x + kRealIndexColumns + kRealIndexColumnSlot * k;
      uint16_t n = le16(slot);
      if (n == kNoColumn)
        continue;
      ix.columns.push_back({n, slot[kRealIndexColumnOrder] == kAscending});
    }
    ix.usageMap = le32(x + kRealIndexUsageMap);
    ix.rootPage = le32(x + kRealIndexRootPage);
    ix.flags = x[kRealIndexFlags];
    off += kRealIndexSize;
  }

  std::vector<LogicalIndex> logical(indexCount);
  if (!p.fits(off, indexCount * kLogicalIndexSize))
    return fail(p.truncated("indici"));
  for (uint32_t i = 0; i < indexCount; ++i) {
    const uint8_t *x = p.at(off);
    LogicalIndex &ix = logical[i];
    ix.definitionOffset = off;
    ix.number = le32(x + kLogicalNumber);
    ix.physical = le32(x + kLogicalPhysical);
    ix.relatedTableType = x[kLogicalRelatedTableType];
    ix.relatedIndex = le32(x + kLogicalRelatedIndex);
    ix.relatedTablePage = le32(x + kLogicalRelatedTablePage);
    ix.cascadeUpdates = x[kLogicalCascadeUpdates] == 0x01;
    ix.cascadeDeletes = x[kLogicalCascadeDeletes] == 0x01;
    ix.cascadeNull = x[kLogicalCascadeDeletes] == 0x02;
    ix.kind = x[kLogicalKind];
    if (ix.physical >= realIndexCount)
      return fail(
          corruptPage(page, "l'indice " + std::to_string(i) + " rimanda a un indice inesistente"));
    off += kLogicalIndexSize;
  }
  for (auto &ix : logical) {
    auto n = p.name(off, "nomi degli indici");
    if (!n)
      return fail(n.status());
    ix.name = std::move(*n);
  }

  // Memo and OLE columns' page maps, up to a column number of 0xFFFF.
  while (p.fits(off, 2) && le16(p.at(off)) != kNoColumn && p.fits(off, kLongValueMapSize)) {
    LongValueMaps m;
    m.columnNumber = le16(p.at(off));
    m.usedPagesMap = le32(p.at(off + kLongValueMapUsed));
    m.freePagesMap = le32(p.at(off + kLongValueMapFree));
    def->longValueMaps.push_back(m);
    off += kLongValueMapSize;
  }

  std::stable_sort(cols.begin(), cols.end(),
                   [](const ColumnDef &a, const ColumnDef &b) { return a.index < b.index; });
  def->columns = std::move(cols);
  def->physicalIndexes = std::move(phys);
  def->indexes = std::move(logical);
  return std::shared_ptr<const TableDef>(std::move(def));
}

} // namespace jet

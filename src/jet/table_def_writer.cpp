#include "jet/table_def_writer.h"

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/index_key.h"
#include "jet/names.h"
#include "jet/pager.h"
#include "jet/text_encoder.h"

#include <algorithm>
#include <cstring>

namespace jet {

namespace {

constexpr uint32_t kBlockMagic = 0x0659;    // header, columns and logical indexes
constexpr uint32_t kPhysicalMagic = 0x0783; // physical indexes
constexpr uint8_t kPhysicalBaseFlag = 0x80;
constexpr uint8_t kSystemColumnFlag = 0x10;
constexpr uint16_t kGeneral = 0x0409;
constexpr size_t kMaxNameLength = 64;
constexpr size_t kMaxColumns = 255;
constexpr size_t kMaxIndexes = 32;

void putName(Bytes &b, const std::string &name) {
  Bytes u = toUcs2(name);
  append16(b, static_cast<uint16_t>(u.size()));
  b.insert(b.end(), u.begin(), u.end());
}

Status refuse(const std::string &message) {
  return {ErrorCode::InvalidName, message};
}

uint16_t storedLength(const ColumnSpec &c) {
  switch (c.type) {
  case ColumnType::Boolean:
  case ColumnType::Byte:
    return 1;
  case ColumnType::Text:
    return static_cast<uint16_t>((c.size == 0 ? 50 : c.size) * 2);
  case ColumnType::Binary:
    return c.size == 0 ? 255 : c.size;
  case ColumnType::Memo:
  case ColumnType::Ole:
    return 0;
  default:
    return static_cast<uint16_t>(fixedSizeOf(c.type));
  }
}

bool isVariable(ColumnType t) {
  return t == ColumnType::Text || t == ColumnType::Binary || t == ColumnType::Memo ||
         t == ColumnType::Ole;
}

} // namespace

Status checkObjectName(const std::string &name, const char *what) {
  size_t length = ucs2Length(name);
  if (length == 0)
    return refuse(std::string("Il nome ") + what + " non può essere vuoto.");
  if (length > kMaxNameLength)
    return refuse("'" + name + "' non è un nome valido: il nome " + what +
                  " può avere al massimo 64 caratteri.");
  if (name[0] == ' ')
    return refuse("'" + name + "' non è un nome valido: il nome " + what +
                  " non può cominciare con uno spazio.");
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F)
      return refuse("'" + name + "' non è un nome valido: il nome " + what +
                    " non può contenere caratteri di controllo.");
    if (c == '.' || c == '!' || c == '`' || c == '[' || c == ']')
      return refuse("'" + name + "' non è un nome valido: il nome " + what +
                    " non può contenere i caratteri . ! ` [ ].");
  }
  return Status::ok();
}

Result<PlannedTable> planTable(const TableSpec &tableSpec) {
  JET_TRY(checkObjectName(tableSpec.name, "della tabella"));
  if (tableSpec.columns.empty())
    return Status(ErrorCode::InvalidArgument,
                  "La tabella '" + tableSpec.name + "' deve avere almeno un campo.");
  if (tableSpec.columns.size() > kMaxColumns)
    return Status(ErrorCode::InvalidArgument,
                  "Troppi campi nella tabella '" + tableSpec.name + "' (al massimo 255).");
  if (tableSpec.indexes.size() > kMaxIndexes)
    return Status(ErrorCode::InvalidArgument,
                  "Troppi indici nella tabella '" + tableSpec.name + "' (al massimo 32).");
  PlannedTable out;
  TableDef &d = out.def;
  d.name = tableSpec.name;
  d.tableType = tableSpec.system ? TableDef::kSystemTable : TableDef::kUserTable;
  uint16_t fixedOffset = 0, varCount = 0;
  for (size_t i = 0; i < tableSpec.columns.size(); ++i) {
    const ColumnSpec &c = tableSpec.columns[i];
    JET_TRY(checkObjectName(c.name, "del campo"));
    for (size_t k = 0; k < i; ++k)
      if (equalsNoCase(tableSpec.columns[k].name, c.name))
        return Status(ErrorCode::DuplicateField, "Il campo '" + c.name +
                                                     "' compare più volte nella tabella '" +
                                                     tableSpec.name + "'.");
    if (!isKnownColumnType(static_cast<uint8_t>(c.type)))
      return Status(ErrorCode::InvalidArgument, "Tipo non valido per il campo '" + c.name + "'.");
    if (c.type == ColumnType::Text && c.size > 255)
      return Status(ErrorCode::InvalidArgument,
                    "Il campo di testo '" + c.name + "' può avere al massimo 255 caratteri.");
    if (c.type == ColumnType::Binary && c.size > 255)
      return Status(ErrorCode::InvalidArgument,
                    "Il campo binario '" + c.name + "' può avere al massimo 255 byte.");
    if (c.type == ColumnType::Numeric &&
        (c.precision < 1 || c.precision > 28 || c.scale > c.precision))
      return Status(ErrorCode::InvalidArgument,
                    "Precisione o scala non valida per il campo decimale '" + c.name + "'.");
    if (c.autoNumber && c.type != ColumnType::Long && c.type != ColumnType::Guid)
      return Status(ErrorCode::InvalidArgument,
                    "Il campo '" + c.name +
                        "' non può essere un contatore: lo sono solo i campi Intero lungo e ID "
                        "replica.");
    ColumnDef col;
    col.name = c.name;
    col.type = c.type;
    col.number = static_cast<uint16_t>(i);
    col.index = tableSpec.system ? 0 : static_cast<uint16_t>(i);
    col.length = storedLength(c);
    bool variable = isVariable(c.type);
    col.flags =
        static_cast<uint8_t>(ColumnDef::kUpdatableFlag | (variable ? 0 : ColumnDef::kFixedFlag));
    if (tableSpec.system)
      col.flags |= kSystemColumnFlag;
    if (c.autoNumber)
      col.flags |=
          c.type == ColumnType::Guid ? ColumnDef::kAutoGuidFlag : ColumnDef::kAutoNumberFlag;
    if ((c.type == ColumnType::Text || c.type == ColumnType::Memo) && c.compressedUnicode)
      col.extFlags = ColumnDef::kCompressedUnicodeFlag;
    if (c.type == ColumnType::Numeric) {
      col.precision = c.precision;
      col.scale = c.scale;
    } else {
      col.sortOrder = kGeneral;
    }
    col.varIndex = varCount;
    if (variable) {
      ++varCount;
    } else if (c.type != ColumnType::Boolean) {
      col.fixedOffset = fixedOffset;
      fixedOffset = static_cast<uint16_t>(fixedOffset + col.length);
    }
    if (col.isLongValue())
      out.longMaps.push_back({col.number, 0, 0});
    d.columns.push_back(col);
    out.required.push_back(c.required);
  }
  d.maxColumns = static_cast<uint16_t>(d.columns.size());
  d.varColumnCount = varCount;

  bool havePrimary = false;
  for (size_t i = 0; i < tableSpec.indexes.size(); ++i) {
    const IndexSpec &x = tableSpec.indexes[i];
    JET_TRY(checkObjectName(x.name, "dell'indice"));
    for (size_t k = 0; k < i; ++k)
      if (equalsNoCase(tableSpec.indexes[k].name, x.name))
        return Status(ErrorCode::InvalidName, "L'indice '" + x.name +
                                                  "' esiste già nella tabella '" + tableSpec.name +
                                                  "'.");
    if (x.primaryKey && havePrimary)
      return Status(ErrorCode::InvalidArgument,
                    "La tabella '" + tableSpec.name + "' può avere una sola chiave primaria.");
    havePrimary = havePrimary || x.primaryKey;
    if (x.columns.empty() || x.columns.size() > kMaxIndexColumns)
      return Status(ErrorCode::InvalidArgument,
                    "L'indice '" + x.name + "' deve avere da 1 a 10 campi.");
    PhysicalIndex p;
    p.number = static_cast<uint32_t>(i);
    for (const auto &[colName, ascending] : x.columns) {
      const ColumnDef *c = d.findColumn(colName);
      if (!c)
        return Status(ErrorCode::NoSuchColumn, "L'indice '" + x.name + "' nomina il campo '" +
                                                   colName + "', che la tabella non ha.");
      if (!isIndexableType(c->type))
        return Status(ErrorCode::InvalidArgument,
                      "Il campo '" + colName + "' non può far parte di un indice.");
      p.columns.push_back({c->number, ascending});
    }
    p.flags = kPhysicalBaseFlag;
    if (x.unique || x.primaryKey)
      p.flags |= PhysicalIndex::kUniqueFlag;
    if (x.ignoreNulls && !x.primaryKey)
      p.flags |= PhysicalIndex::kIgnoreNullsFlag;
    if (x.primaryKey)
      p.flags |= PhysicalIndex::kRequiredFlag;
    d.physicalIndexes.push_back(p);
    LogicalIndex l;
    l.name = x.name;
    l.number = static_cast<uint32_t>(i);
    l.physical = static_cast<uint32_t>(i);
    l.kind = x.primaryKey ? LogicalIndex::kPrimaryKey : LogicalIndex::kNormal;
    d.indexes.push_back(l);
  }
  // Access keeps the logical indexes in name order; their numbers keep the order of creation.
  std::stable_sort(d.indexes.begin(), d.indexes.end(),
                   [](const LogicalIndex &a, const LogicalIndex &b) {
                     return compareNoCase(a.name, b.name) < 0;
                   });
  return out;
}

Bytes encodeTableDef(const TableDef &def, const std::vector<LongValueMap> &longMaps) {
  using namespace tdef;
  // A fixed-size part appended zeroed, its fields then set at their offsets.
  auto block = [](Bytes &b, size_t size) {
    b.resize(b.size() + size, 0);
    return b.data() + b.size() - size;
  };
  Bytes b(kFirstBlock, 0);
  b[0] = kPageTypeTableDef;
  b[1] = 0x01;
  put32(&b[tdef::kMagic], kBlockMagic);
  put32(&b[kRowCount], def.rowCount);
  put32(&b[kAutoNumber], def.lastAutoNumber);
  put32(&b[kAutoNumberIncrement], 1);
  b[kTableType] = def.tableType;
  put16(&b[tdef::kMaxColumns], def.maxColumns);
  put16(&b[kVarColumns], def.varColumnCount);
  put16(&b[kColumnCount], static_cast<uint16_t>(def.columns.size()));
  put32(&b[kIndexCount], static_cast<uint32_t>(def.indexes.size()));
  put32(&b[kRealIndexCount], static_cast<uint32_t>(def.physicalIndexes.size()));
  put32(&b[kUsedPages], def.usedPagesMap);
  put32(&b[kFreePages], def.freePagesMap);
  for (const auto &p : def.physicalIndexes)
    put32(block(b, kRealIndexCountSize) + kRealIndexRowCount, p.rowCount);
  for (const auto &c : def.columns) {
    uint8_t *x = block(b, kColumnSize);
    x[kColumnType] = static_cast<uint8_t>(c.type);
    put32(x + kColumnMagic, kBlockMagic);
    put16(x + kColumnNumber, c.number);
    put16(x + kColumnVarIndex, c.varIndex);
    put16(x + kColumnIndex, c.index);
    if (c.type == ColumnType::Numeric) {
      x[kColumnPrecision] = c.precision;
      x[kColumnScale] = c.scale;
    } else {
      put16(x + kColumnSortOrder, c.sortOrder ? c.sortOrder : kGeneral);
    }
    x[kColumnFlags] = c.flags;
    x[kColumnExtFlags] = c.extFlags;
    put16(x + kColumnFixedOffset, c.isFixed() ? c.fixedOffset : 0);
    put16(x + kColumnLength, c.length);
  }
  for (const auto &c : def.columns)
    putName(b, c.name);
  for (const auto &p : def.physicalIndexes) {
    uint8_t *x = block(b, kRealIndexSize);
    put32(x + kRealIndexMagic, kPhysicalMagic);
    for (size_t k = 0; k < kIndexColumnSlots; ++k) {
      uint8_t *slot = x + kRealIndexColumns + kRealIndexColumnSlot * k;
      if (k < p.columns.size()) {
        put16(slot, p.columns[k].columnNumber);
        slot[kRealIndexColumnOrder] = p.columns[k].ascending ? kAscending : kDescending;
      } else {
        put16(slot, kNoColumn);
      }
    }
    put32(x + kRealIndexUsageMap, p.usageMap);
    put32(x + kRealIndexRootPage, p.rootPage);
    x[kRealIndexFlags] = p.flags;
  }
  for (const auto &l : def.indexes) {
    uint8_t *x = block(b, kLogicalIndexSize);
    put32(x + kLogicalMagic, kBlockMagic);
    put32(x + kLogicalNumber, l.number);
    put32(x + kLogicalPhysical, l.physical);
    x[kLogicalRelatedTableType] = l.relatedTableType;
    put32(x + kLogicalRelatedIndex, l.relatedIndex);
    put32(x + kLogicalRelatedTablePage, l.relatedTablePage);
    if (l.isForeignKey()) {
      x[kLogicalCascadeUpdates] = l.cascadeUpdates ? 0x01 : 0x00;
      x[kLogicalCascadeDeletes] = l.cascadeDeletes ? 0x01 : l.cascadeNull ? 0x02 : 0x00;
    } else {
      x[kLogicalCascadeUpdates] = 0x04;
      x[kLogicalCascadeDeletes] = 0x04;
    }
    x[kLogicalKind] = l.kind;
  }
  for (const auto &l : def.indexes)
    putName(b, l.name);
  for (const auto &m : longMaps) {
    uint8_t *x = block(b, kLongValueMapSize);
    put16(x, m.columnNumber);
    put32(x + kLongValueMapUsed, m.usedPagesMap);
    put32(x + kLongValueMapFree, m.freePagesMap);
  }
  append16(b, kNoColumn);
  put32(&b[kLength], static_cast<uint32_t>(b.size()));
  return b;
}

size_t tableDefPageCount(size_t encodedSize) {
  if (encodedSize <= kPageSize)
    return 1;
  constexpr size_t body = kPageSize - tdef::kContinuationHeader;
  size_t rest = encodedSize - kPageSize;
  return 1 + (rest + body - 1) / body;
}

std::vector<Bytes> layoutTableDefPages(const Bytes &encoded, const std::vector<uint32_t> &pages) {
  std::vector<Bytes> out;
  size_t pos = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    Bytes page(kPageSize, 0);
    size_t used;
    if (i == 0) {
      size_t n = std::min(encoded.size(), kPageSize);
      std::memcpy(page.data(), encoded.data(), n);
      pos = n;
      used = n;
    } else {
      page[0] = kPageTypeTableDef;
      page[1] = 0x01;
      size_t n = std::min(encoded.size() - pos, kPageSize - tdef::kContinuationHeader);
      std::memcpy(page.data() + tdef::kContinuationHeader, encoded.data() + pos, n);
      pos += n;
      used = tdef::kContinuationHeader + n;
    }
    uint16_t free = used + 8 >= kPageSize ? 0 : static_cast<uint16_t>(kPageSize - 8 - used);
    put16(&page[tdef::kFreeSpace], free);
    put32(&page[tdef::kNextPage], i + 1 < pages.size() ? pages[i + 1] : 0);
    out.push_back(std::move(page));
  }
  return out;
}

std::vector<LongValueMap> readLongValueMaps(const TableDef &def) {
  std::vector<LongValueMap> out;
  for (const auto &m : def.longValueMaps)
    out.push_back({m.columnNumber, m.usedPagesMap, m.freePagesMap});
  return out;
}

PropertyMap designProperties(const TableSpec &tableSpec) {
  PropertyMap out;
  for (const auto &c : tableSpec.columns) {
    if (c.required)
      out[c.name]["Required"] = booleanProperty(true);
    if (!c.defaultValue.empty())
      out[c.name]["DefaultValue"] = textProperty(c.defaultValue);
  }
  return out;
}

} // namespace jet

#include "jet/table_ops.h"

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/database_builder.h"
#include "jet/index_btree.h"
#include "jet/index_btree_maintainer.h"
#include "jet/index_page.h"
#include "jet/index_rows.h"
#include "jet/long_value.h"
#include "jet/names.h"
#include "jet/page_allocator.h"
#include "jet/table_writer.h"
#include "jet/text_encoder.h"
#include "jet/usage_map.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <set>

namespace jet {

namespace {

constexpr uint32_t kTablesId = 0x0F000001u;
constexpr size_t kMapRowSize = 69;
constexpr size_t kRowHeader = 14;
constexpr uint8_t kRelationshipNotEnforced = 0x02;

uint32_t word(uint32_t page, uint16_t row) {
  return (page << 8) | row;
}

DateTime now() {
  std::time_t t = std::time(nullptr);
  std::tm l{};
  localtime_r(&t, &l);
  return toDateTime({l.tm_year + 1900, l.tm_mon + 1, l.tm_mday, l.tm_hour, l.tm_min, l.tm_sec});
}

size_t columnIndex(const TableDef &def, std::string_view name) {
  const ColumnDef *c = def.findColumn(name);
  return c ? static_cast<size_t>(c - def.columns.data()) : SIZE_MAX;
}

Status writePage(Pager &pager, uint32_t page, const uint8_t *img) {
  auto p = pager.modify(page);
  if (!p)
    return p.status();
  std::memcpy(*p, img, kPageSize);
  return Status::ok();
}

// Rows of a table read through a fresh cursor, with their locations.
template <typename F> Status eachRow(Database &db, std::string_view table, F &&visit) {
  auto c = db.cursor(table);
  if (!c)
    return c.status();
  std::vector<Value> v;
  for (;;) {
    auto more = c->next();
    if (!more)
      return more.status();
    if (!*more)
      return Status::ok();
    JET_TRY(c->read(v));
    if (!visit(c->table(), c->location(), v))
      return Status::ok();
  }
}

Status nameInUse(Database &db, const std::string &name) {
  for (const auto &e : db.catalog().objects())
    if (e.parentId == kTablesId && equalsNoCase(e.name, name))
      return {ErrorCode::TableExists, "La tabella '" + name + "' esiste già."};
  return Status::ok();
}

// The definition pages, usage maps and empty index trees of a planned table; returns its id.
Result<uint32_t> layOutTable(Database &db, PlannedTable &plan) {
  Pager &pager = db.pager();
  PageAllocator &alloc = db.pageAllocator();
  TableDef &def = plan.def;
  Bytes probe = encodeTableDef(def, plan.longMaps);
  def.pages.clear();
  for (size_t k = 0; k < tableDefPageCount(probe.size()); ++k) {
    auto p = alloc.allocate();
    if (!p)
      return p.status();
    def.pages.push_back(*p);
  }
  def.page = def.pages[0];
  // The table's usage maps, empty, on map pages of its own.
  size_t rows = 2 + 2 * plan.longMaps.size() + def.physicalIndexes.size();
  const size_t perPage = (kPageSize - kRowHeader) / (kMapRowSize + 2);
  std::vector<uint32_t> words;
  for (size_t done = 0; done < rows;) {
    auto p = alloc.allocate();
    if (!p)
      return p.status();
    Bytes img(kPageSize, 0);
    img[0] = 0x01;
    img[1] = 0x01;
    size_t n = std::min(perPage, rows - done);
    for (size_t r = 0; r < n; ++r) {
      put16(&img[kRowHeader + 2 * r], static_cast<uint16_t>(kPageSize - (r + 1) * kMapRowSize));
      words.push_back(word(*p, static_cast<uint16_t>(r)));
    }
    put16(&img[12], static_cast<uint16_t>(n));
    put16(&img[2], static_cast<uint16_t>(kPageSize - kRowHeader - n * (kMapRowSize + 2)));
    JET_TRY(writePage(pager, *p, img.data()));
    done += n;
  }
  size_t w = 0;
  def.usedPagesMap = words[w++];
  def.freePagesMap = words[w++];
  for (auto &m : plan.longMaps) {
    m.usedPagesMap = words[w++];
    m.freePagesMap = words[w++];
  }
  for (auto &x : def.physicalIndexes) {
    x.usageMap = words[w++];
    auto root = alloc.allocate();
    if (!root)
      return root.status();
    IndexPage leaf;
    leaf.tableDefinitionPage = def.page;
    auto img = encodeIndexPage(leaf);
    if (!img)
      return img.status();
    JET_TRY(writePage(pager, *root, img->data()));
    UsageMapEditor map(pager, &alloc, x.usageMap);
    JET_TRY(map.add(*root));
    x.rootPage = *root;
  }
  auto pages = layoutTableDefPages(encodeTableDef(def, plan.longMaps), def.pages);
  for (size_t k = 0; k < pages.size(); ++k)
    JET_TRY(writePage(pager, def.pages[k], pages[k].data()));
  return def.page;
}

// The catalogue row and the access-control rows of a new table.
Status catalogueTable(Database &db, const TableSpec &tableSpec, uint32_t id) {
  const std::string &name = tableSpec.name;
  auto objects = db.table(Catalog::kTableName);
  if (!objects)
    return objects.status();
  const TableDef &od = **objects;
  // The owner of new objects is the owner of the database object.
  Bytes owner = sids::kAdmin;
  for (const auto &e : db.catalog().objects())
    if (e.name == "MSysDb") {
      auto row = db.readRow(Catalog::kTableName, e.location);
      size_t k = columnIndex(od, "Owner");
      if (row && k != SIZE_MAX && (*row)[k].is<Bytes>())
        owner = (*row)[k].as<Bytes>();
    }
  std::vector<Value> v(od.columns.size());
  auto put = [&](const char *column, Value x) {
    size_t k = columnIndex(od, column);
    if (k != SIZE_MAX)
      v[k] = std::move(x);
  };
  DateTime t = now();
  put("Id", Value(static_cast<int32_t>(id)));
  put("ParentId", Value(static_cast<int32_t>(kTablesId)));
  put("Name", Value(name));
  put("Type", Value(int16_t(CatalogEntry::kTypeTable)));
  put("DateCreate", Value(t));
  put("DateUpdate", Value(t));
  put("Owner", Value(owner));
  put("Flags", Value(int32_t(0)));
  if (PropertyMap props = designProperties(tableSpec); !props.empty())
    put("LvProp", Value(encodeProperties(props)));
  auto at = db.insertRow(Catalog::kTableName, v);
  if (!at)
    return at.status();
  // Full access for every SID the "Tables" container lists.
  std::vector<Bytes> sidList;
  JET_TRY(eachRow(db, "MSysACEs", [&](const TableDef &d, RowLocation, std::vector<Value> &r) {
    size_t o = columnIndex(d, "ObjectId"), s = columnIndex(d, "SID");
    if (o != SIZE_MAX && s != SIZE_MAX && r[o].is<int32_t>() &&
        static_cast<uint32_t>(r[o].as<int32_t>()) == kTablesId && r[s].is<Bytes>() &&
        std::find(sidList.begin(), sidList.end(), r[s].as<Bytes>()) == sidList.end())
      sidList.push_back(r[s].as<Bytes>());
    return true;
  }));
  auto aces = db.table("MSysACEs");
  if (!aces)
    return aces.status();
  for (const auto &sid : sidList) {
    std::vector<Value> a((*aces)->columns.size());
    a[columnIndex(**aces, "ObjectId")] = Value(static_cast<int32_t>(id));
    a[columnIndex(**aces, "SID")] = Value(sid);
    a[columnIndex(**aces, "ACM")] = Value(kFullAccess);
    a[columnIndex(**aces, "FInheritable")] = Value(false);
    auto r = db.insertRow("MSysACEs", a);
    if (!r)
      return r.status();
  }
  return Status::ok();
}

Status createTableIn(Database &db, const TableSpec &tableSpec, PlannedTable *out = nullptr) {
  JET_TRY(checkObjectName(tableSpec.name, "della tabella"));
  JET_TRY(nameInUse(db, tableSpec.name));
  auto plan = planTable(tableSpec);
  if (!plan)
    return plan.status();
  auto id = layOutTable(db, *plan);
  if (!id)
    return id.status();
  JET_TRY(catalogueTable(db, tableSpec, *id));
  if (out)
    *out = std::move(*plan);
  return Status::ok();
}

// Rows appended on fresh pages: what a copy into a new table without indexes needs, without the
// per-row work of an insert.
class BulkAppender {
public:
  BulkAppender(Database &db, const TableDef &def, const std::vector<LongValueMap> &longMaps)
      : db_(db), pager_(db.pager()), alloc_(db.pageAllocator()), def_(def), longMaps_(longMaps),
        lv_(longMaps.size()) {}

  Status append(const std::vector<Value> &row) {
    for (size_t i = 0; i < def_.columns.size(); ++i) {
      const ColumnDef &c = def_.columns[i];
      fields_.resize(def_.columns.size());
      fields_[i].clear();
      if (!c.isLongValue() || row[i].isNull())
        continue;
      size_t slot = 0;
      while (longMaps_[slot].columnNumber != c.number)
        ++slot;
      const std::string *s = row[i].getIf<std::string>();
      Bytes data =
          s ? toJetText(*s, c.compressedUnicode() && ucs2Length(*s) <= 1024) : row[i].as<Bytes>();
      auto f = longValue(slot, data);
      if (!f)
        return f.status();
      fields_[i] = std::move(*f);
    }
    Bytes bytes = encodeRow(def_, row, fields_);
    if (bytes.size() > kMaxRowSize)
      return {ErrorCode::TextTooLong,
              "Una riga della tabella '" + def_.name + "' è troppo grande per una pagina."};
    if (!data_.open() || !data_.fits(bytes.size()))
      JET_TRY(data_.start(*this, def_.page, def_.usedPagesMap));
    data_.add(bytes);
    ++rows_;
    return Status::ok();
  }

  uint32_t rows() const { return rows_; }

  Status finish() {
    JET_TRY(data_.close(*this, def_.freePagesMap));
    for (size_t k = 0; k < lv_.size(); ++k)
      JET_TRY(lv_[k].close(*this, longMaps_[k].freePagesMap));
    uint8_t count[4];
    put32(count, rows_);
    return writeTableDefBytes(pager_, def_, kTableDefRowCountOffset, {count, 4});
  }

private:
  struct OpenPage {
    Bytes img;
    uint32_t number = 0;
    uint16_t rows = 0;
    size_t top = kPageSize;
    bool open() const { return !img.empty(); }
    size_t freeSpace() const { return top - kRowHeader - 2 * rows; }
    bool fits(size_t n) const { return rows < rowpage::kMaxRows && freeSpace() >= n + 2; }
    uint16_t add(ByteView b) {
      top -= b.size();
      std::memcpy(&img[top], b.data(), b.size());
      put16(&img[kRowHeader + 2 * rows], static_cast<uint16_t>(top));
      ++rows;
      return static_cast<uint16_t>(rows - 1);
    }
    Status flush(BulkAppender &a) {
      put16(&img[2], static_cast<uint16_t>(freeSpace()));
      put16(&img[12], rows);
      return writePage(a.pager_, number, img.data());
    }
    Status start(BulkAppender &a, uint32_t owner, uint32_t usedMap) {
      if (open())
        JET_TRY(flush(a));
      auto p = a.alloc_.allocate();
      if (!p)
        return p.status();
      number = *p;
      img.assign(kPageSize, 0);
      img[0] = 0x01;
      img[1] = 0x01;
      if (owner)
        put32(&img[4], owner);
      else
        std::memcpy(&img[4], "LVAL", 4);
      rows = 0;
      top = kPageSize;
      UsageMapEditor map(a.pager_, &a.alloc_, usedMap);
      return map.add(number);
    }
    Status close(BulkAppender &a, uint32_t freeMap) {
      if (!open())
        return Status::ok();
      JET_TRY(flush(a));
      if (freeSpace() > 64) {
        UsageMapEditor map(a.pager_, &a.alloc_, freeMap);
        JET_TRY(map.add(number));
      }
      img.clear();
      return Status::ok();
    }
  };

  Result<Bytes> longValue(size_t slot, const Bytes &data) {
    if (data.size() > LongValueRef::kMaxLength)
      return Status(ErrorCode::TextTooLong,
                    "Valore troppo lungo per la tabella '" + def_.name + "'.");
    const auto length = static_cast<uint32_t>(data.size());
    if (data.size() <= kMaxInlineLongValue) {
      Bytes f = LongValueRef::encode(length, LongValueRef::kInline);
      f.insert(f.end(), data.begin(), data.end());
      return f;
    }
    OpenPage &p = lv_[slot];
    if (data.size() <= kMaxSingleLongValue) {
      if (!p.open() || !p.fits(data.size()))
        JET_TRY(p.start(*this, 0, longMaps_[slot].usedPagesMap));
      uint16_t r = p.add(data);
      return LongValueRef::encode(length, LongValueRef::kSinglePage, word(p.number, r));
    }
    // A chain: one part per page, each naming the next.
    size_t parts = (data.size() + kChainPartData - 1) / kChainPartData;
    std::vector<uint32_t> pages;
    UsageMapEditor map(pager_, &alloc_, longMaps_[slot].usedPagesMap);
    for (size_t k = 0; k < parts; ++k) {
      auto pg = alloc_.allocate();
      if (!pg)
        return pg.status();
      pages.push_back(*pg);
      JET_TRY(map.add(*pg));
    }
    for (size_t k = 0; k < parts; ++k) {
      OpenPage part;
      part.img.assign(kPageSize, 0);
      part.img[0] = 0x01;
      part.img[1] = 0x01;
      std::memcpy(&part.img[4], "LVAL", 4);
      part.number = pages[k];
      size_t from = k * kChainPartData, n = std::min(kChainPartData, data.size() - from);
      Bytes row(4, 0);
      if (k + 1 < parts)
        put32(row.data(), word(pages[k + 1], 0));
      row.insert(row.end(), data.begin() + from, data.begin() + from + n);
      part.add(row);
      JET_TRY(part.flush(*this));
    }
    return LongValueRef::encode(length, LongValueRef::kChain, word(pages[0], 0));
  }

  Database &db_;
  Pager &pager_;
  PageAllocator &alloc_;
  const TableDef &def_;
  const std::vector<LongValueMap> &longMaps_;
  OpenPage data_;
  std::vector<OpenPage> lv_;
  std::vector<Bytes> fields_;
  uint32_t rows_ = 0;
};

// Every page a map lists.
Status mapPages(Database &db, uint32_t mapWord, std::set<uint32_t> &out) {
  if (mapWord == 0)
    return Status::ok();
  UsageMapEditor map(db.pager(), &db.pageAllocator(), mapWord);
  auto pages = map.pages();
  if (!pages)
    return pages.status();
  out.insert(pages->begin(), pages->end());
  return Status::ok();
}

} // namespace

// One statement of schema work: a savepoint inside the open transaction, or a transaction of
// its own; the catalogue read again whatever the outcome.
Status schemaStatement(Database &db, const std::function<Status()> &op) {
  if (!db.writable())
    return db.writeRefusal();
  bool own = !db.inTransaction();
  if (own)
    JET_TRY(db.begin());
  auto sp = db.savepoint();
  if (!sp) {
    if (own)
      (void)db.rollback();
    return sp.status();
  }
  // Design work reads and rewrites index pages itself: the trees first made current.
  Status st = db.settleIndexes();
  if (st)
    st = op();
  if (!st) {
    (void)db.rollbackTo(*sp);
    if (own)
      (void)db.rollback();
    (void)db.reloadCatalog();
    return st;
  }
  st = db.release(*sp);
  if (st && own)
    st = db.commit();
  else if (!st && own)
    (void)db.rollback();
  Status reload = db.reloadCatalog();
  return st ? reload : st;
}

Status createTable(Database &db, const TableSpec &tableSpec) {
  return schemaStatement(db, [&] { return createTableIn(db, tableSpec); });
}

Status copyTable(Database &db, std::string_view source, const std::string &target) {
  return copyTable(db, source, target, RowFilter{});
}

Status copyTable(Database &db, std::string_view source, const std::string &target,
                 const RowFilter &keep, uint32_t *copied) {
  if (copied)
    *copied = 0;
  return schemaStatement(db, [&]() -> Status {
    auto src = db.table(source);
    if (!src)
      return src.status();
    std::shared_ptr<const TableDef> from = *src;
    TableSpec tableSpec;
    tableSpec.name = target;
    for (const auto &c : from->columns) {
      ColumnSpec s;
      s.name = c.name;
      s.type = c.type;
      if (c.type == ColumnType::Text)
        s.size = static_cast<uint16_t>(c.length / 2);
      else if (c.type == ColumnType::Binary)
        s.size = c.length;
      s.precision = c.precision;
      s.scale = c.scale;
      s.compressedUnicode = c.compressedUnicode();
      tableSpec.columns.push_back(s);
    }
    PlannedTable plan;
    JET_TRY(createTableIn(db, tableSpec, &plan));
    JET_TRY(db.reloadCatalog());
    auto made = db.table(target);
    if (!made)
      return made.status();
    BulkAppender out(db, **made, plan.longMaps);
    Status st = Status::ok();
    JET_TRY(eachRow(db, from->name, [&](const TableDef &, RowLocation, std::vector<Value> &row) {
      if (keep) {
        auto wanted = keep(row);
        if (!wanted) {
          st = wanted.status();
          return false;
        }
        if (!*wanted)
          return true;
      }
      st = out.append(row);
      return st.isOk();
    }));
    JET_TRY(st);
    JET_TRY(out.finish());
    if (copied)
      *copied = out.rows();
    return Status::ok();
  });
}

Status dropTable(Database &db, std::string_view name) {
  return schemaStatement(db, [&]() -> Status {
    const CatalogEntry *e = db.catalog().findTable(name);
    if (!e)
      return {ErrorCode::NoSuchTable,
              "Il motore di database non trova la tabella \"" + std::string(name) + "\"."};
    CatalogEntry entry = *e;
    auto def = db.table(name);
    if (!def)
      return def.status();
    if (entry.isSystem() || (*def)->isSystem())
      return {ErrorCode::SystemTable,
              "Impossibile eliminare la tabella di sistema '" + entry.name + "'."};
    // A relationship with enforced integrity keeps both its tables.
    std::string partner;
    if (db.catalog().findTable("MSysRelationships"))
      JET_TRY(eachRow(db, "MSysRelationships",
                      [&](const TableDef &d, RowLocation, std::vector<Value> &r) {
                        size_t g = columnIndex(d, "grbit"), a = columnIndex(d, "szObject"),
                               b = columnIndex(d, "szReferencedObject");
                        if (g == SIZE_MAX || a == SIZE_MAX || b == SIZE_MAX)
                          return false;
                        int32_t bits = r[g].is<int32_t>() ? r[g].as<int32_t>() : 0;
                        if (bits & kRelationshipNotEnforced)
                          return true;
                        auto text = [&](size_t k) {
                          return r[k].is<std::string>() ? r[k].as<std::string>() : std::string();
                        };
                        if (equalsNoCase(text(a), entry.name))
                          partner = text(b);
                        else if (equalsNoCase(text(b), entry.name))
                          partner = text(a);
                        return partner.empty();
                      }));
    if (!partner.empty())
      return {ErrorCode::TableInRelationship,
              "Impossibile eliminare la tabella '" + entry.name +
                  "': fa parte di una relazione con integrità referenziale con la tabella '" +
                  partner + "'. Eliminare prima la relazione."};
    const TableDef &d = **def;
    // Its pages: definition, rows, long values, index trees; then the rows of its maps.
    std::set<uint32_t> pages(d.pages.begin(), d.pages.end());
    std::vector<uint32_t> maps{d.usedPagesMap, d.freePagesMap};
    for (const auto &m : d.longValueMaps) {
      maps.push_back(m.usedPagesMap);
      maps.push_back(m.freePagesMap);
    }
    for (const auto &x : d.physicalIndexes)
      maps.push_back(x.usageMap);
    // A large map keeps its bitmap on pages of its own: those go too.
    for (uint32_t w : maps) {
      if (w == 0)
        continue;
      auto map = UsageMap::load(db.pager(), w);
      if (!map)
        return map.status();
      if (map->kind() == UsageMap::kReference)
        for (uint32_t p : map->mapPages())
          if (p != 0)
            pages.insert(p);
    }
    JET_TRY(mapPages(db, d.usedPagesMap, pages));
    for (const auto &m : d.longValueMaps)
      JET_TRY(mapPages(db, m.usedPagesMap, pages));
    for (const auto &x : d.physicalIndexes)
      JET_TRY(mapPages(db, x.usageMap, pages));
    // Access-control rows and the catalogue row.
    std::vector<RowLocation> aces;
    JET_TRY(eachRow(db, "MSysACEs", [&](const TableDef &t, RowLocation at, std::vector<Value> &r) {
      size_t o = columnIndex(t, "ObjectId");
      if (o != SIZE_MAX && r[o].is<int32_t>() &&
          static_cast<uint32_t>(r[o].as<int32_t>()) == entry.id)
        aces.push_back(at);
      return true;
    }));
    for (auto it = aces.rbegin(); it != aces.rend(); ++it)
      JET_TRY(db.deleteRow("MSysACEs", *it));
    JET_TRY(db.deleteRow(Catalog::kTableName, entry.location));
    PageAllocator &alloc = db.pageAllocator();
    std::set<uint32_t> mapHolders;
    for (uint32_t w : maps) {
      if (w == 0)
        continue;
      RowPointer at = RowPointer::decode(w);
      auto img = db.pager().modify(at.page);
      if (!img)
        return img.status();
      if (at.row < rowpage::rowCount(*img))
        rowpage::remove(*img, at.row);
      mapHolders.insert(at.page);
    }
    for (uint32_t p : mapHolders) {
      PageRef hold;
      auto img = db.pager().peek(p, hold);
      if (!img)
        return img.status();
      if (p > 2 && rowpage::liveRows(*img) == 0)
        pages.insert(p);
    }
    for (uint32_t p : pages)
      if (p > 2)
        JET_TRY(alloc.release(p));
    return Status::ok();
  });
}

Status createIndex(Database &db, std::string_view table, const IndexSpec &index) {
  return schemaStatement(db, [&]() -> Status {
    auto cur = db.table(table);
    if (!cur)
      return cur.status();
    const TableDef &old = **cur;
    if (old.isSystem())
      return {ErrorCode::SystemTable,
              "Impossibile modificare la tabella di sistema '" + old.name + "'."};
    for (const auto &l : old.indexes)
      if (equalsNoCase(l.name, index.name))
        return {ErrorCode::InvalidName,
                "L'indice '" + index.name + "' esiste già nella tabella '" + old.name + "'."};
    if (index.primaryKey)
      for (const auto &l : old.indexes)
        if (l.isPrimaryKey())
          return {ErrorCode::InvalidArgument,
                  "La tabella '" + old.name + "' ha già una chiave primaria."};
    // The new index planned alone against the table's columns, then added to the definition.
    TableSpec probe;
    probe.name = old.name;
    for (const auto &c : old.columns) {
      ColumnSpec s;
      s.name = c.name;
      s.type = c.type;
      probe.columns.push_back(s);
    }
    probe.indexes = {index};
    auto planned = planTable(probe);
    if (!planned)
      return planned.status();
    TableDef def = old;
    PhysicalIndex px = planned->def.physicalIndexes[0];
    for (auto &ic : px.columns)
      ic.columnNumber = def.columns[ic.columnNumber].number;
    px.number = static_cast<uint32_t>(def.physicalIndexes.size());
    LogicalIndex lx = planned->def.indexes[0];
    lx.number = static_cast<uint32_t>(def.indexes.size());
    lx.physical = px.number;
    // Its usage map on a page of its own, and an empty root.
    PageAllocator &alloc = db.pageAllocator();
    auto mapPage = alloc.allocate();
    if (!mapPage)
      return mapPage.status();
    {
      Bytes img(kPageSize, 0);
      img[0] = 0x01;
      img[1] = 0x01;
      put16(&img[12], 1);
      put16(&img[kRowHeader], static_cast<uint16_t>(kPageSize - kMapRowSize));
      put16(&img[2], static_cast<uint16_t>(kPageSize - kRowHeader - kMapRowSize - 2));
      JET_TRY(writePage(db.pager(), *mapPage, img.data()));
    }
    px.usageMap = word(*mapPage, 0);
    auto root = alloc.allocate();
    if (!root)
      return root.status();
    IndexPage leaf;
    leaf.tableDefinitionPage = def.page;
    auto leafImg = encodeIndexPage(leaf);
    if (!leafImg)
      return leafImg.status();
    JET_TRY(writePage(db.pager(), *root, leafImg->data()));
    UsageMapEditor map(db.pager(), &alloc, px.usageMap);
    JET_TRY(map.add(*root));
    px.rootPage = *root;
    def.physicalIndexes.push_back(px);
    def.indexes.push_back(lx);
    std::stable_sort(def.indexes.begin(), def.indexes.end(),
                     [](const LogicalIndex &a, const LogicalIndex &b) {
                       return compareNoCase(a.name, b.name) < 0;
                     });
    // Entries for the rows already there.
    ContextIndexIO io(db.pager(), alloc);
    const PhysicalIndex &stored = def.physicalIndexes.back();
    IndexTree tree(io, def, stored);
    std::set<Bytes> keys;
    Status st = Status::ok();
    JET_TRY(eachRow(db, table, [&](const TableDef &, RowLocation at, std::vector<Value> &row) {
      auto key = rowIndexKey(def, stored, row);
      if (!key) {
        st = key.status();
        return false;
      }
      if (!*key)
        return true;
      if (stored.unique() && keys.count(**key)) {
        std::vector<Value> vals;
        for (const auto &ic : stored.columns)
          vals.push_back(
              row[static_cast<size_t>(def.columnByNumber(ic.columnNumber) - def.columns.data())]);
        if (!uniqueIndexAllowsRepeat(vals)) {
          st = {ErrorCode::DuplicateKey, "Impossibile creare l'indice '" + index.name +
                                             "': la tabella '" + def.name +
                                             "' contiene valori duplicati."};
          return false;
        }
      }
      keys.insert(**key);
      st = tree.insert(leafEntry(**key, rowPointerOf(at)));
      return st.isOk();
    }));
    JET_TRY(st);
    // The definition rewritten, over as many pages as it now needs.
    std::vector<LongValueMap> longMaps;
    for (const auto &m : def.longValueMaps)
      longMaps.push_back({m.columnNumber, m.usedPagesMap, m.freePagesMap});
    def.physicalIndexes.back().rowCount = static_cast<uint32_t>(keys.size());
    Bytes encoded = encodeTableDef(def, longMaps);
    while (def.pages.size() < tableDefPageCount(encoded.size())) {
      auto p = alloc.allocate();
      if (!p)
        return p.status();
      def.pages.push_back(*p);
    }
    auto pages = layoutTableDefPages(encoded, def.pages);
    for (size_t k = 0; k < pages.size(); ++k)
      JET_TRY(writePage(db.pager(), def.pages[k], pages[k].data()));
    return Status::ok();
  });
}

} // namespace jet

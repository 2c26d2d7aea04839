#include "jet/relationship_writer.h"

#include "jet/names.h"
#include "jet/relationships.h"
#include "jet/row_keys.h"
#include "jet/table_def_writer.h"
#include "jet/table_ops.h"

#include <algorithm>
#include <cstring>

namespace jet {

namespace {

std::string q(const std::string &s) {
  return "'" + s + "'";
}

Status refuse(ErrorCode code, const std::string &name, const std::string &why) {
  return Status(code, "Impossibile creare la relazione " + q(name) + ": " + why);
}

Result<std::vector<size_t>> positionsOf(const TableDef &def, const std::vector<std::string> &names,
                                        const std::string &relationship) {
  std::vector<size_t> out;
  for (const std::string &n : names) {
    const ColumnDef *c = def.findColumn(n);
    if (!c)
      return refuse(ErrorCode::NoSuchColumn, relationship,
                    "la tabella " + q(def.name) + " non ha il campo " + q(n) + ".");
    const size_t p = static_cast<size_t>(c - def.columns.data());
    if (std::find(out.begin(), out.end(), p) != out.end())
      return refuse(ErrorCode::InvalidArgument, relationship,
                    "il campo " + q(def.name + "." + c->name) + " è indicato due volte.");
    out.push_back(p);
  }
  return out;
}

// The columns of a physical index, as positions in the table.
std::vector<size_t> indexColumns(const TableDef &def, const PhysicalIndex &index) {
  std::vector<size_t> out;
  for (const IndexColumn &ic : index.columns)
    if (const ColumnDef *c = def.columnByNumber(ic.columnNumber))
      out.push_back(static_cast<size_t>(c - def.columns.data()));
  return out;
}

// A unique index over exactly these columns (in any order): its position, or -1.
int uniqueIndexOver(const TableDef &def, std::vector<size_t> columns) {
  std::sort(columns.begin(), columns.end());
  for (size_t i = 0; i < def.physicalIndexes.size(); ++i) {
    const PhysicalIndex &px = def.physicalIndexes[i];
    if (!px.unique())
      continue;
    std::vector<size_t> have = indexColumns(def, px);
    std::sort(have.begin(), have.end());
    if (have == columns)
      return static_cast<int>(i);
  }
  return -1;
}

// The logical index over exactly these columns in this order, or nullptr.
const LogicalIndex *indexOver(const TableDef &def, const std::vector<size_t> &columns) {
  for (const LogicalIndex &li : def.indexes)
    if (li.physical < def.physicalIndexes.size() &&
        indexColumns(def, def.physicalIndexes[li.physical]) == columns)
      return &li;
  return nullptr;
}

uint32_t nextIndexNumber(const TableDef &def) {
  uint32_t n = 0;
  for (const LogicalIndex &li : def.indexes)
    n = std::max(n, li.number + 1);
  return n;
}

// ".rB", ".rC", ...: the letter is A plus the index's number, as Access names them.
std::string referencedIndexName(const TableDef &def, uint32_t number) {
  auto taken = [&](const std::string &n) {
    for (const LogicalIndex &li : def.indexes)
      if (equalsNoCase(li.name, n))
        return true;
    return false;
  };
  std::string base = ".r";
  if (number >= 26)
    base += static_cast<char>('A' + number / 26 - 1);
  base += static_cast<char>('A' + number % 26);
  std::string name = base;
  for (int k = 1; taken(name); ++k)
    name = base + std::to_string(k);
  return name;
}

// The definition rewritten over as many pages as it now needs, logical indexes by name.
Status storeDefinition(Database &db, TableDef def) {
  std::stable_sort(def.indexes.begin(), def.indexes.end(),
                   [](const LogicalIndex &a, const LogicalIndex &b) {
                     return compareNoCase(a.name, b.name) < 0;
                   });
  std::vector<LongValueMap> longMaps;
  for (const auto &m : def.longValueMaps)
    longMaps.push_back({m.columnNumber, m.usedPagesMap, m.freePagesMap});
  Bytes encoded = encodeTableDef(def, longMaps);
  while (def.pages.size() < tableDefPageCount(encoded.size())) {
    auto p = db.pageAllocator().allocate();
    if (!p)
      return p.status();
    def.pages.push_back(*p);
  }
  auto pages = layoutTableDefPages(encoded, def.pages);
  for (size_t k = 0; k < pages.size(); ++k) {
    auto img = db.pager().modify(def.pages[k]);
    if (!img)
      return img.status();
    std::memcpy(*img, pages[k].data(), kPageSize);
  }
  return Status::ok();
}

Status setText(const TableDef &def, std::vector<Value> &row, const char *column, Value v) {
  const ColumnDef *c = def.findColumn(column);
  if (!c)
    return Status(ErrorCode::Corrupt,
                  "La tabella MSysRelationships non ha il campo " + q(column) + ".");
  row[static_cast<size_t>(c - def.columns.data())] = std::move(v);
  return Status::ok();
}

Status create(Database &db, const RelationshipSpec &request) {
  auto childDef = db.table(request.table);
  if (!childDef)
    return childDef.status();
  auto parentDef = db.table(request.referencedTable);
  if (!parentDef)
    return parentDef.status();
  const TableDef &child = **childDef, &parent = **parentDef;
  const std::string name = request.name.empty() ? parent.name + child.name : request.name;
  JET_TRY(checkObjectName(name, "della relazione"));
  if (child.isSystem() || parent.isSystem())
    return refuse(ErrorCode::SystemTable, name,
                  "la tabella " + q(child.isSystem() ? child.name : parent.name) +
                      " è una tabella di sistema.");
  auto existing = readRelationships(db.pager(), db.catalog());
  if (!existing)
    return existing.status();
  for (const Relationship &r : *existing)
    if (equalsNoCase(r.name, name))
      return Status(ErrorCode::InvalidName, "La relazione " + q(name) + " esiste già.");
  if (request.columns.empty() || request.columns.size() != request.referencedColumns.size() ||
      request.columns.size() > 10)
    return refuse(ErrorCode::InvalidArgument, name,
                  "i campi delle due tabelle devono essere in ugual numero, da 1 a 10.");
  auto childCols = positionsOf(child, request.columns, name);
  if (!childCols)
    return childCols.status();
  auto parentCols = positionsOf(parent, request.referencedColumns, name);
  if (!parentCols)
    return parentCols.status();
  for (size_t i = 0; i < childCols->size(); ++i) {
    const ColumnDef &a = child.columns[(*childCols)[i]], &b = parent.columns[(*parentCols)[i]];
    if (a.type != b.type)
      return refuse(ErrorCode::TypeMismatch, name,
                    "i campi " + q(child.name + "." + a.name) + " e " +
                        q(parent.name + "." + b.name) + " non hanno lo stesso tipo di dati.");
  }
  if (!request.enforced &&
      (request.cascadeUpdates || request.cascadeDeletes || request.cascadeNull))
    return refuse(ErrorCode::InvalidArgument, name,
                  "gli aggiornamenti e le eliminazioni a catena richiedono l'integrità "
                  "referenziale.");
  if (request.cascadeDeletes && request.cascadeNull)
    return refuse(ErrorCode::InvalidArgument, name,
                  "l'eliminazione a catena e l'impostazione a Null si escludono.");

  uint32_t flags = request.enforced ? 0 : Relationship::kNotEnforced;
  if (request.cascadeUpdates)
    flags |= Relationship::kCascadeUpdates;
  if (request.cascadeDeletes)
    flags |= Relationship::kCascadeDeletes;
  if (request.cascadeNull)
    flags |= Relationship::kCascadeNull;
  if (uniqueIndexOver(child, *childCols) >= 0)
    flags |= Relationship::kOneToOne;

  if (request.enforced) {
    if (uniqueIndexOver(parent, *parentCols) < 0)
      return refuse(ErrorCode::InvalidArgument, name,
                    "i campi della tabella " + q(parent.name) +
                        " a cui si fa riferimento non hanno un indice univoco (chiave primaria o "
                        "indice univoco).");
    if (nextIndexNumber(parent) >= 32 || nextIndexNumber(child) >= 32)
      return refuse(ErrorCode::InvalidArgument, name, "troppi indici nella tabella.");
    // The rows there already must keep the rule.
    const bool useIndexes = db.keepsIndexTrees();
    std::string orphan;
    JET_TRY(rowsWithoutParent(db.pager(), *childDef, *childCols, *parentDef, *parentCols,
                              useIndexes, [&](std::span<const Value> key) {
                                orphan = describeKey(child, *childCols, key);
                                return false;
                              }));
    if (!orphan.empty())
      return refuse(ErrorCode::RelationshipParent, name,
                    "il record della tabella " + q(child.name) + " (" + orphan +
                        ") non ha il record correlato nella tabella " + q(parent.name) + ".");

    // The referencing side's index: the one over its columns, else a new one named after the
    // relationship.
    const bool created = indexOver(child, *childCols) == nullptr;
    if (created) {
      IndexSpec ix;
      ix.name = name;
      for (size_t col : *childCols)
        ix.columns.push_back({child.columns[col].name, true});
      JET_TRY(createIndex(db, child.name, ix));
    } else {
      for (const LogicalIndex &li : child.indexes)
        if (equalsNoCase(li.name, name))
          return refuse(ErrorCode::InvalidName, name,
                        "la tabella " + q(child.name) + " ha già un indice con questo nome.");
    }
    auto childNow = db.table(child.name);
    if (!childNow)
      return childNow.status();
    TableDef c = **childNow;
    size_t fkAt = c.indexes.size();
    if (created) {
      for (size_t k = 0; k < c.indexes.size(); ++k)
        if (equalsNoCase(c.indexes[k].name, name))
          fkAt = k;
      if (fkAt == c.indexes.size())
        return Status(ErrorCode::Corrupt, "L'indice della relazione " + q(name) + " non si trova.");
    } else {
      LogicalIndex fk;
      fk.name = name;
      fk.number = nextIndexNumber(c);
      fk.physical = indexOver(c, *childCols)->physical;
      c.indexes.push_back(fk);
    }
    // The referenced side: the same definition where the table refers to itself.
    const bool self = c.page == parent.page;
    auto parentNow = db.table(parent.name);
    if (!parentNow)
      return parentNow.status();
    TableDef other = self ? TableDef() : **parentNow;
    TableDef &p = self ? c : other;
    LogicalIndex rx;
    rx.number = nextIndexNumber(p);
    rx.name = referencedIndexName(p, rx.number);
    rx.physical = static_cast<uint32_t>(uniqueIndexOver(p, *parentCols));
    LogicalIndex &fk = c.indexes[fkAt];
    for (LogicalIndex *x : {&fk, &rx}) {
      x->kind = LogicalIndex::kForeignKey;
      x->cascadeUpdates = request.cascadeUpdates;
      x->cascadeDeletes = request.cascadeDeletes;
      x->cascadeNull = request.cascadeNull;
    }
    fk.relatedTableType = 2;
    fk.relatedIndex = rx.number;
    fk.relatedTablePage = p.page;
    rx.relatedTableType = 1;
    rx.relatedIndex = fk.number;
    rx.relatedTablePage = c.page;
    p.indexes.push_back(rx);
    JET_TRY(storeDefinition(db, c));
    if (!self)
      JET_TRY(storeDefinition(db, p));
  }

  // Its rows, one per column pair.
  auto rel = db.table(kRelationshipsTableName);
  if (!rel)
    return rel.status();
  const TableDef &r = **rel;
  for (size_t i = 0; i < childCols->size(); ++i) {
    std::vector<Value> row(r.columns.size());
    JET_TRY(setText(r, row, "szRelationship", Value(name)));
    JET_TRY(setText(r, row, "grbit", Value(static_cast<int32_t>(flags))));
    JET_TRY(setText(r, row, "ccolumn", Value(static_cast<int32_t>(childCols->size()))));
    JET_TRY(setText(r, row, "icolumn", Value(static_cast<int32_t>(i))));
    JET_TRY(setText(r, row, "szObject", Value(child.name)));
    JET_TRY(setText(r, row, "szColumn", Value(child.columns[(*childCols)[i]].name)));
    JET_TRY(setText(r, row, "szReferencedObject", Value(parent.name)));
    JET_TRY(setText(r, row, "szReferencedColumn", Value(parent.columns[(*parentCols)[i]].name)));
    auto at = db.insertRow(kRelationshipsTableName, row);
    if (!at)
      return at.status();
  }
  return Status::ok();
}

} // namespace

Status createRelationship(Database &db, const RelationshipSpec &request) {
  Status st = schemaStatement(db, [&] { return create(db, request); });
  // Writes check against the relationships as they now stand.
  db.rowHook().invalidate();
  return st;
}

} // namespace jet

#include "jet/referential_integrity.h"

#include "jet/catalog.h"
#include "jet/names.h"
#include "jet/row_keys.h"
#include "jet/table_writer.h"

namespace jet {

namespace {

std::string q(const std::string &s) {
  return "'" + s + "'";
}

} // namespace

Result<const std::vector<Relationship> *> ReferentialIntegrity::relationships(Pager &pager) {
  if (!loaded_) {
    auto r = readRelationships(pager, catalog_);
    if (!r)
      return r.status();
    loaded_ = std::move(*r);
  }
  return &*loaded_;
}

Result<std::optional<ReferentialIntegrity::Side>>
ReferentialIntegrity::side(Pager &pager, const Relationship &r, bool parent) {
  const uint32_t page = parent ? r.parentPage : r.childPage;
  const std::string &name = parent ? r.parentTable : r.childTable;
  const auto &cols = parent ? r.parentColumns : r.childColumns;
  if (page == 0)
    return std::optional<Side>();
  auto def = tables_ ? tables_(name) : readTableDef(pager, page, name);
  if (!def)
    return def.status();
  Side s;
  s.def = *def;
  for (const std::string &c : cols) {
    const ColumnDef *col = s.def->findColumn(c);
    if (!col)
      return Status(ErrorCode::Corrupt, "La relazione " + q(r.name) + " usa il campo " + q(c) +
                                            " che la tabella " + q(name) + " non ha.");
    s.columns.push_back(static_cast<size_t>(col - s.def->columns.data()));
  }
  return std::optional<Side>(std::move(s));
}

Status ReferentialIntegrity::checkParent(WriteContext &ctx, const Relationship &r,
                                         const TableDef &child, std::span<const Value> childRow) {
  Pager &pager = ctx.pager;
  auto childSide = side(pager, r, false);
  if (!childSide)
    return childSide.status();
  auto parentSide = side(pager, r, true);
  if (!parentSide)
    return parentSide.status();
  if (!*childSide)
    return Status::ok();
  const std::vector<Value> key = keyOf(childRow, (*childSide)->columns);
  if (anyNull(key))
    return Status::ok();
  if (*parentSide) {
    if (useIndexes_)
      JET_TRY(inner_->settleTable(ctx, (*parentSide)->def->page));
    auto found =
        rowsWithKey(pager, (*parentSide)->def, (*parentSide)->columns, key, useIndexes_, 1);
    if (!found)
      return found.status();
    if (!found->empty())
      return Status::ok();
  }
  return Status(ErrorCode::RelationshipParent,
                "Impossibile aggiungere o modificare il record della tabella " + q(r.childTable) +
                    " (" + describeKey(child, (*childSide)->columns, key) + "): la relazione " +
                    q(r.name) + " richiede un record correlato nella tabella " + q(r.parentTable) +
                    ".");
}

Status ReferentialIntegrity::handleChildren(WriteContext &ctx, const Relationship &r,
                                            const TableDef &parent,
                                            std::span<const Value> oldParent,
                                            std::span<const Value> newParent) {
  auto parentSide = side(ctx.pager, r, true);
  if (!parentSide)
    return parentSide.status();
  auto childSide = side(ctx.pager, r, false);
  if (!childSide)
    return childSide.status();
  if (!*parentSide || !*childSide)
    return Status::ok();
  const auto &pcols = (*parentSide)->columns;
  const std::vector<Value> oldKey = keyOf(oldParent, pcols);
  if (anyNull(oldKey))
    return Status::ok();
  const bool deleting = newParent.empty();
  std::vector<Value> newKey;
  if (!deleting) {
    newKey = keyOf(newParent, pcols);
    if (sameKey(oldKey, newKey))
      return Status::ok(); // the same key (maybe in another case): children still match
  }
  if (useIndexes_)
    JET_TRY(inner_->settleTable(ctx, (*childSide)->def->page));
  auto children =
      rowsWithKey(ctx.pager, (*childSide)->def, (*childSide)->columns, oldKey, useIndexes_);
  if (!children)
    return children.status();
  if (children->empty())
    return Status::ok();
  const bool cascades = deleting ? (r.cascadeDeletes() || r.cascadeNull()) : r.cascadeUpdates();
  if (!cascades)
    return Status(ErrorCode::RelationshipChildren,
                  std::string("Impossibile ") +
                      (deleting ? "eliminare" : "modificare la chiave del") +
                      " record della tabella " + q(r.parentTable) + " (" +
                      describeKey(parent, pcols, oldKey) + "): la tabella " + q(r.childTable) +
                      " contiene record correlati (relazione " + q(r.name) + ").");
  for (KeyedRow &child : *children) {
    // Read the child's definition again: an earlier change may have moved an index root.
    auto def = tables_ ? tables_(r.childTable) : readTableDef(ctx.pager, r.childPage, r.childTable);
    if (!def)
      return def.status();
    TableWriter w(ctx, *def, *this);
    if (deleting && r.cascadeDeletes()) {
      JET_TRY(w.remove(child.at));
      continue;
    }
    std::vector<Value> values = child.values;
    for (size_t i = 0; i < (*childSide)->columns.size(); ++i)
      values[(*childSide)->columns[i]] = deleting ? Value::null() : newKey[i];
    JET_TRY(w.update(child.at, values));
  }
  return Status::ok();
}

void ReferentialIntegrity::noteWrite(const TableDef &table) {
  if (equalsNoCase(table.name, kRelationshipsTableName))
    invalidate();
}

Status ReferentialIntegrity::rowInserted(WriteContext &ctx, const TableDef &table,
                                         const RowLocation &at, std::span<const Value> values) {
  JET_TRY(inner_->rowInserted(ctx, table, at, values));
  noteWrite(table);
  auto rels = relationships(ctx.pager);
  if (!rels)
    return rels.status();
  for (const Relationship &r : **rels)
    if (r.enforced() && r.childPage == table.page)
      JET_TRY(checkParent(ctx, r, table, values));
  return Status::ok();
}

Status ReferentialIntegrity::rowUpdated(WriteContext &ctx, const TableDef &table,
                                        const RowLocation &at, std::span<const Value> oldValues,
                                        std::span<const Value> newValues) {
  JET_TRY(inner_->rowUpdated(ctx, table, at, oldValues, newValues));
  noteWrite(table);
  auto rels = relationships(ctx.pager);
  if (!rels)
    return rels.status();
  for (const Relationship &r : **rels) {
    if (!r.enforced())
      continue;
    if (r.parentPage == table.page)
      JET_TRY(handleChildren(ctx, r, table, oldValues, newValues));
    if (r.childPage == table.page) {
      bool changed = false;
      for (const std::string &c : r.childColumns)
        if (const ColumnDef *col = table.findColumn(c)) {
          const size_t i = static_cast<size_t>(col - table.columns.data());
          if (!(oldValues[i] == newValues[i]))
            changed = true;
        }
      if (changed)
        JET_TRY(checkParent(ctx, r, table, newValues));
    }
  }
  return Status::ok();
}

Status ReferentialIntegrity::rowDeleted(WriteContext &ctx, const TableDef &table,
                                        const RowLocation &at, std::span<const Value> oldValues) {
  JET_TRY(inner_->rowDeleted(ctx, table, at, oldValues));
  noteWrite(table);
  auto rels = relationships(ctx.pager);
  if (!rels)
    return rels.status();
  for (const Relationship &r : **rels)
    if (r.enforced() && r.parentPage == table.page)
      JET_TRY(handleChildren(ctx, r, table, oldValues, {}));
  return Status::ok();
}

Status ReferentialIntegrity::checkTable(Pager &pager, const TableDef &table,
                                        std::span<const RowLocation> locations,
                                        std::span<const std::vector<Value>> rows,
                                        std::vector<std::string> &findings) {
  return inner_->checkTable(pager, table, locations, rows, findings);
}

Status ReferentialIntegrity::checkRelationships(Pager &pager, std::vector<std::string> &findings) {
  auto rels = readRelationships(pager, catalog_);
  if (!rels)
    return rels.status();
  for (const Relationship &r : *rels) {
    if (!r.enforced())
      continue;
    auto childSide = side(pager, r, false);
    if (!childSide)
      return childSide.status();
    auto parentSide = side(pager, r, true);
    if (!parentSide)
      return parentSide.status();
    if (!*childSide)
      continue;
    if (!*parentSide) {
      findings.push_back("Relazione " + q(r.name) + ": la tabella " + q(r.parentTable) +
                         " non esiste.");
      continue;
    }
    const TableDef &child = *(*childSide)->def;
    const std::vector<size_t> &columns = (*childSide)->columns;
    JET_TRY(rowsWithoutParent(pager, (*childSide)->def, columns, (*parentSide)->def,
                              (*parentSide)->columns, true, [&](std::span<const Value> key) {
                                findings.push_back("Relazione " + q(r.name) +
                                                   ": il record della tabella " + q(r.childTable) +
                                                   " (" + describeKey(child, columns, key) +
                                                   ") non ha il record correlato nella tabella " +
                                                   q(r.parentTable) + ".");
                                return true;
                              }));
  }
  return Status::ok();
}

} // namespace jet

#pragma once
// Referential integrity on every row write, as the Jet engine keeps it.
//
// Sits in the row writer's hook in front of the index maintainer: each insert, update and delete
// first goes to the indexes, then every enforced relationship of the table is checked. A child
// row whose key (all its columns not Null) has no parent is refused (RelationshipParent); a
// parent row that goes or changes its key while children point at it is refused
// (RelationshipChildren) unless the relationship cascades, in which case the children are
// deleted, re-keyed or set to Null through this same hook, so cascades run on recursively. All
// of it happens inside the statement's savepoint: a refusal anywhere undoes the statement.
// Lookups go through the index whose leading columns are the relationship's columns where the
// table has one, otherwise through a scan of the table.
#include "jet/index_maintenance.h"
#include "jet/relationships.h"

#include <functional>
#include <memory>
#include <optional>

namespace jet {

class Catalog;

class ReferentialIntegrity : public IndexMaintainer {
public:
  // Table definitions as the open transaction sees them, by name (the database's cache).
  using Tables = std::function<Result<std::shared_ptr<const TableDef>>(std::string_view)>;
  ReferentialIntegrity(const Catalog &catalog, Tables tables)
      : catalog_(catalog), tables_(std::move(tables)) {}

  void setInner(IndexMaintainer *inner) { inner_ = inner; }
  IndexMaintainer &inner() { return *inner_; }
  // Index lookups only where the inner maintainer keeps the index trees.
  void setUseIndexes(bool use) { useIndexes_ = use; }
  // The relationships are read again at the next write (MSysRelationships changed).
  void invalidate() { loaded_.reset(); }
  // Read through the given pager once, then kept.
  Result<const std::vector<Relationship> *> relationships(Pager &pager);

  Status rowInserted(WriteContext &ctx, const TableDef &table, const RowLocation &at,
                     std::span<const Value> values) override;
  Status rowUpdated(WriteContext &ctx, const TableDef &table, const RowLocation &at,
                    std::span<const Value> oldValues, std::span<const Value> newValues) override;
  Status rowDeleted(WriteContext &ctx, const TableDef &table, const RowLocation &at,
                    std::span<const Value> oldValues) override;
  Status checkTable(Pager &pager, const TableDef &table, std::span<const RowLocation> locations,
                    std::span<const std::vector<Value>> rows,
                    std::vector<std::string> &findings) override;
  Status settleTable(WriteContext &ctx, uint32_t tableDefPage) override {
    return inner_->settleTable(ctx, tableDefPage);
  }

  // The relationships' half of the integrity check: every child row of every enforced
  // relationship has its parent. One Italian line per finding; read-only.
  Status checkRelationships(Pager &pager, std::vector<std::string> &findings);

private:
  // A write to MSysRelationships: read them again.
  void noteWrite(const TableDef &table);
  struct Side {
    std::shared_ptr<const TableDef> def;
    std::vector<size_t> columns; // positions in def->columns, in relationship order
  };
  Result<std::optional<Side>> side(Pager &pager, const Relationship &r, bool parent);
  Status checkParent(WriteContext &ctx, const Relationship &r, const TableDef &child,
                     std::span<const Value> childRow);
  Status handleChildren(WriteContext &ctx, const Relationship &r, const TableDef &parent,
                        std::span<const Value> oldParent, std::span<const Value> newParent);

  const Catalog &catalog_;
  Tables tables_;
  IndexMaintainer *inner_ = &noIndexMaintenance();
  bool useIndexes_ = false;
  std::optional<std::vector<Relationship>> loaded_;
};

} // namespace jet

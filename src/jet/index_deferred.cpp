#include "jet/index_deferred.h"

#include "jet/index_btree_maintainer.h"

#include <algorithm>
#include <string_view>

namespace jet {

namespace {

uint64_t keyHash(const Bytes &key) {
  return std::hash<std::string_view>{}(
      std::string_view(reinterpret_cast<const char *>(key.data()), key.size()));
}

bool sameIndex(const PhysicalIndex &a, const PhysicalIndex &b) {
  if (a.number != b.number || a.rootPage != b.rootPage || a.usageMap != b.usageMap ||
      a.flags != b.flags || a.columns.size() != b.columns.size())
    return false;
  for (size_t i = 0; i < a.columns.size(); ++i)
    if (a.columns[i].columnNumber != b.columns[i].columnNumber ||
        a.columns[i].ascending != b.columns[i].ascending)
      return false;
  return true;
}

bool sameIndexes(const TableDef &a, const TableDef &b) {
  if (a.physicalIndexes.size() != b.physicalIndexes.size())
    return false;
  for (size_t i = 0; i < a.physicalIndexes.size(); ++i)
    if (!sameIndex(a.physicalIndexes[i], b.physicalIndexes[i]))
      return false;
  return true;
}

} // namespace

void DeferredIndexMaintainer::KeyPositions::grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
  used_ = 0;
  for (const Slot &s : old)
    if (s.pos != 0)
      add(s.hash, s.pos - 1);
}

void DeferredIndexMaintainer::KeyPositions::add(uint64_t hash, uint32_t pos) {
  if ((used_ + 1) * 2 > slots_.size())
    grow();
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i].pos != 0)
    i = (i + 1) & mask;
  slots_[i] = Slot{hash, pos + 1};
  ++used_;
}

void DeferredIndexMaintainer::KeyPositions::remove(uint64_t hash, uint32_t pos) {
  if (slots_.empty())
    return;
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  for (;; i = (i + 1) & mask) {
    if (slots_[i].pos == 0)
      return;
    if (slots_[i].hash == hash && slots_[i].pos == pos + 1)
      break;
  }
  // Backward shift: later slots of the same run move up into the hole where their home allows.
  for (size_t j = (i + 1) & mask; slots_[j].pos != 0; j = (j + 1) & mask) {
    const size_t home = slots_[j].hash & mask;
    const bool between = i <= j ? (i < home && home <= j) : (i < home || home <= j);
    if (!between) {
      slots_[i] = slots_[j];
      i = j;
    }
  }
  slots_[i] = Slot{};
  --used_;
}

void DeferredIndexMaintainer::KeyPositions::find(uint64_t hash, std::vector<uint32_t> &out) const {
  if (slots_.empty())
    return;
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask; slots_[i].pos != 0; i = (i + 1) & mask)
    if (slots_[i].hash == hash)
      out.push_back(slots_[i].pos - 1);
}

void DeferredIndexMaintainer::KeyPositions::clear() {
  slots_.clear();
  used_ = 0;
}

// The queued changes of one table as the unique checks see them.
class DeferredIndexMaintainer::Pending : public PendingIndexEntries {
public:
  Pending(TableQueues &t, IndexPageIO &io, const TableDef &table) : t_(t), io_(io), table_(table) {}

  bool treeMayHold(size_t index, const Bytes &key) const override {
    if (index >= t_.queues.size() || index >= table_.physicalIndexes.size())
      return true;
    Queue &q = *t_.queues[index];
    if (q.last == Queue::Last::Unknown) {
      bool known = false;
      auto last = IndexTree(io_, table_, table_.physicalIndexes[index]).lastEntry(known);
      q.last = !last || !known ? Queue::Last::Unusable
               : *last         ? Queue::Last::Key
                               : Queue::Last::Empty;
      if (last && *last)
        q.lastKey = (*last)->key;
    }
    switch (q.last) {
    case Queue::Last::Empty:
      return false;
    case Queue::Last::Key:
      return !std::lexicographical_compare(q.lastKey.begin(), q.lastKey.end(), key.begin(),
                                           key.end());
    default:
      return true;
    }
  }

  void adjustRows(size_t index, const Bytes &key, std::vector<RowPointer> &rows) const override {
    if (index >= t_.queues.size())
      return;
    const Queue &q = *t_.queues[index];
    if (q.applied == q.changes.size())
      return;
    std::vector<uint32_t> at;
    q.byKey.find(keyHash(key), at);
    at.erase(std::remove_if(
                 at.begin(), at.end(),
                 [&](uint32_t pos) { return pos < q.applied || q.changes[pos].entry.key != key; }),
             at.end());
    std::sort(at.begin(), at.end());
    for (uint32_t pos : at) {
      const IndexChange &c = q.changes[pos];
      auto found = std::find(rows.begin(), rows.end(), c.entry.row);
      if (c.delta > 0 && found == rows.end())
        rows.push_back(c.entry.row);
      else if (c.delta < 0 && found != rows.end())
        rows.erase(found);
    }
  }

private:
  TableQueues &t_;
  IndexPageIO &io_;
  const TableDef &table_;
};

Status DeferredIndexMaintainer::rowInserted(WriteContext &ctx, const TableDef &table,
                                            const RowLocation &at, std::span<const Value> values) {
  return enqueue(ctx, table, nullptr, {}, &at, values);
}

Status DeferredIndexMaintainer::rowUpdated(WriteContext &ctx, const TableDef &table,
                                           const RowLocation &at, std::span<const Value> oldValues,
                                           std::span<const Value> newValues) {
  return enqueue(ctx, table, &at, oldValues, &at, newValues);
}

Status DeferredIndexMaintainer::rowDeleted(WriteContext &ctx, const TableDef &table,
                                           const RowLocation &at,
                                           std::span<const Value> oldValues) {
  return enqueue(ctx, table, &at, oldValues, nullptr, {});
}

Status DeferredIndexMaintainer::checkTable(Pager &pager, const TableDef &table,
                                           std::span<const RowLocation> locations,
                                           std::span<const std::vector<Value>> rows,
                                           std::vector<std::string> &findings) {
  return btreeIndexMaintenance().checkTable(pager, table, locations, rows, findings);
}

Result<DeferredIndexMaintainer::TableQueues *>
DeferredIndexMaintainer::queuesFor(WriteContext &ctx, const TableDef &table) {
  auto it = tables_.find(table.page);
  if (it != tables_.end() && !sameIndexes(it->second.def, table)) {
    // The design changed under the queues (they were settled before it did, unless a
    // savepoint put them back): apply what they hold to the trees they were made for, then
    // follow the new design.
    JET_TRY(settle(ctx, it->second));
    TableQueues &t = it->second;
    for (size_t i = 0; i < table.physicalIndexes.size(); ++i) {
      if (i == t.queues.size())
        t.queues.push_back(std::make_unique<Queue>());
      t.queues[i]->follow(table.physicalIndexes[i]);
    }
    for (auto &q : t.queues)
      q->last = Queue::Last::Unknown;
    t.keyColumns.clear();
    t.def.physicalIndexes = table.physicalIndexes;
  }
  if (it == tables_.end()) {
    TableQueues t;
    t.def.page = table.page;
    t.def.name = table.name;
    t.def.physicalIndexes = table.physicalIndexes;
    for (const auto &index : table.physicalIndexes) {
      auto q = std::make_unique<Queue>();
      q->follow(index);
      t.queues.push_back(std::move(q));
    }
    it = tables_.emplace(table.page, std::move(t)).first;
  }
  it->second.rowCount = table.rowCount;
  return &it->second;
}

Status DeferredIndexMaintainer::enqueue(WriteContext &ctx, const TableDef &table,
                                        const RowLocation *oldAt, std::span<const Value> oldRow,
                                        const RowLocation *newAt, std::span<const Value> newRow) {
  if (table.physicalIndexes.empty())
    return Status::ok();
  auto t = queuesFor(ctx, table);
  if (!t)
    return t.status();
  ContextIndexIO io(ctx.pager, ctx.pages);
  TableIndexMaintainer planner(io, table);
  Pending pending(**t, io, table);
  planner.setPending(&pending);
  planner.setKeyColumns(&(*t)->keyColumns);
  std::vector<TableIndexMaintainer::Change> changes;
  JET_TRY(planner.plan(oldAt, oldRow, newAt, newRow, changes));
  for (auto &c : changes) {
    Queue &q = *(*t)->queues[c.index];
    if (c.remove)
      push(q, IndexChange{std::move(*c.remove), -1});
    if (c.add)
      push(q, IndexChange{std::move(*c.add), +1});
  }
  return Status::ok();
}

void DeferredIndexMaintainer::push(Queue &q, IndexChange change) {
  if (q.index().unique())
    q.byKey.add(keyHash(change.entry.key), static_cast<uint32_t>(q.changes.size()));
  q.changes.push_back(std::move(change));
}

void DeferredIndexMaintainer::truncate(Queue &q, size_t size) {
  while (q.changes.size() > size) {
    const uint32_t pos = static_cast<uint32_t>(q.changes.size() - 1);
    if (q.index().unique())
      q.byKey.remove(keyHash(q.changes.back().entry.key), pos);
    q.changes.pop_back();
  }
}

void DeferredIndexMaintainer::trim(Queue &q) {
  if (!marks_.empty() || q.applied != q.changes.size() || q.changes.empty())
    return;
  q.changes.clear();
  q.byKey.clear();
  q.applied = 0;
}

Status DeferredIndexMaintainer::settle(WriteContext &ctx, TableQueues &t) {
  ContextIndexIO io(ctx.pager, ctx.pages);
  for (auto &qp : t.queues) {
    Queue &q = *qp;
    if (q.applied == q.changes.size())
      continue;
    std::vector<NetIndexChange> batch;
    JET_TRY(netIndexChanges(std::span<const IndexChange>(q.changes).subspan(q.applied), batch));
    q.last = Queue::Last::Unknown;
    JET_TRY(applyIndexChanges(io, t.def, q.index(), batch, t.rowCount));
    q.applied = q.changes.size();
    trim(q);
  }
  return Status::ok();
}

Status DeferredIndexMaintainer::settleTable(WriteContext &ctx, uint32_t tableDefPage) {
  auto it = tables_.find(tableDefPage);
  if (it == tables_.end())
    return Status::ok();
  return settle(ctx, it->second);
}

Status DeferredIndexMaintainer::settleAll(WriteContext &ctx) {
  for (auto &[page, t] : tables_)
    JET_TRY(settle(ctx, t));
  return Status::ok();
}

bool DeferredIndexMaintainer::holdsChanges() const {
  for (const auto &[page, t] : tables_)
    for (const auto &q : t.queues)
      if (q->applied != q->changes.size())
        return true;
  return false;
}

void DeferredIndexMaintainer::pushMark(size_t depth) {
  std::vector<QueueMark> now;
  for (auto &[page, t] : tables_)
    for (auto &q : t.queues)
      now.push_back(QueueMark{q.get(), q->changes.size(), q->applied, q->version});
  if (marks_.size() > depth)
    marks_.resize(depth);
  while (marks_.size() < depth)
    marks_.push_back(now);
  marks_.push_back(std::move(now));
}

void DeferredIndexMaintainer::undoTo(size_t depth) {
  if (depth >= marks_.size())
    return;
  const std::vector<QueueMark> &m = marks_[depth];
  for (auto &[page, t] : tables_)
    for (auto &q : t.queues) {
      auto it =
          std::find_if(m.begin(), m.end(), [&](const QueueMark &k) { return k.queue == q.get(); });
      truncate(*q, it == m.end() ? 0 : it->size);
      q->applied = it == m.end() ? 0 : it->applied;
      if (it != m.end())
        q->version = it->version;
      q->last = Queue::Last::Unknown;
    }
  popMarks(depth);
}

void DeferredIndexMaintainer::popMarks(size_t depth) {
  if (marks_.size() > depth)
    marks_.resize(depth);
  if (marks_.empty())
    for (auto &[page, t] : tables_)
      for (auto &q : t.queues)
        trim(*q);
}

void DeferredIndexMaintainer::forgetTrees() {
  for (auto &[page, t] : tables_) {
    for (auto &q : t.queues)
      q->last = Queue::Last::Unknown;
    t.keyColumns.clear();
  }
}

void DeferredIndexMaintainer::forget() {
  tables_.clear();
  marks_.clear();
}

} // namespace jet

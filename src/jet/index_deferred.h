#pragma once
// The index maintainer a writable database uses: every rule checked as each row is written,
// the entries themselves held back and applied in batches (index_batch.h).
//
// A row write plans its entries at once (keys built, required values, unique keys against the
// tree plus the changes held back), so a refused row fails its own statement with the usual
// message; what it adds and removes waits in the index's queue. The queues are applied when
// something is about to read the trees directly (settleTable, settleAll): the commit, a lookup
// by key from another table, the integrity check, a change of design.
//
// The queues follow the transaction's savepoints (pushMark / undoTo / popMarks): undoing a
// statement forgets what it queued, and a change applied after a savepoint that is undone
// waits again, as the pages it went to are put back.
#include "jet/index_batch.h"
#include "jet/index_maintenance.h"
#include "jet/index_rows.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace jet {

class DeferredIndexMaintainer : public IndexMaintainer {
public:
  Status rowInserted(WriteContext &ctx, const TableDef &table, const RowLocation &at,
                     std::span<const Value> values) override;
  Status rowUpdated(WriteContext &ctx, const TableDef &table, const RowLocation &at,
                    std::span<const Value> oldValues, std::span<const Value> newValues) override;
  Status rowDeleted(WriteContext &ctx, const TableDef &table, const RowLocation &at,
                    std::span<const Value> oldValues) override;
  // Reads the trees as they are: the caller settles first.
  Status checkTable(Pager &pager, const TableDef &table, std::span<const RowLocation> locations,
                    std::span<const std::vector<Value>> rows,
                    std::vector<std::string> &findings) override;
  Status settleTable(WriteContext &ctx, uint32_t tableDefPage) override;
  // Every queue applied. On failure some trees may be changed: the caller undoes the pages
  // (a savepoint around the call) and then undoTo's the mark it took.
  Status settleAll(WriteContext &ctx);
  bool holdsChanges() const;

  // Savepoint `depth` (0 the outermost) taken: what the queues hold now.
  void pushMark(size_t depth);
  // Savepoint `depth` undone: the queues as they were when it was taken; it and those inside
  // it closed.
  void undoTo(size_t depth);
  // Savepoint `depth` released: it and those inside it closed, the changes kept.
  void popMarks(size_t depth);
  // The transaction ended (committed after settleAll, or rolled back): nothing held.
  void forget();
  // Something else may have changed the trees: what the queues remember of them is dropped.
  void forgetTrees();

private:
  // Positions of queued changes by a hash of their key: open addressing, so that queuing a
  // change allocates nothing most of the time.
  class KeyPositions {
  public:
    void add(uint64_t hash, uint32_t pos);
    // Takes one position away (the table stays as if it had never been added).
    void remove(uint64_t hash, uint32_t pos);
    // Positions added with this hash, in no order.
    void find(uint64_t hash, std::vector<uint32_t> &out) const;
    void clear();

  private:
    struct Slot {
      uint64_t hash = 0;
      uint32_t pos = 0; // position + 1; 0 is an empty slot
    };
    void grow();
    std::vector<Slot> slots_;
    size_t used_ = 0;
  };

  struct Queue {
    // The index as the changes were queued: a change of design adds a version, and undoing a
    // savepoint from before it goes back to the version of then.
    std::vector<PhysicalIndex> versions;
    size_t version = 0;
    const PhysicalIndex &index() const { return versions[version]; }
    void follow(const PhysicalIndex &now) {
      versions.push_back(now);
      version = versions.size() - 1;
    }
    std::vector<IndexChange> changes;
    size_t applied = 0; // changes[0, applied) are in the tree
    // Positions of the changes by a hash of their key, for the unique checks (unique indexes).
    KeyPositions byKey;
    // The tree's last key, once looked up: new keys beyond it need no lookup in the tree.
    enum class Last : uint8_t { Unknown, Empty, Key, Unusable };
    Last last = Last::Unknown;
    Bytes lastKey;
  };
  struct TableQueues {
    TableDef def; // the definition page, name and physical indexes only
    size_t rowCount = 0;
    std::vector<std::unique_ptr<Queue>> queues; // by position in def.physicalIndexes
    TableIndexMaintainer::KeyColumnCache keyColumns;
  };
  struct QueueMark {
    Queue *queue;
    size_t size;
    size_t applied;
    size_t version;
  };
  class Pending;

  Status enqueue(WriteContext &ctx, const TableDef &table, const RowLocation *oldAt,
                 std::span<const Value> oldRow, const RowLocation *newAt,
                 std::span<const Value> newRow);
  Result<TableQueues *> queuesFor(WriteContext &ctx, const TableDef &table);
  Status settle(WriteContext &ctx, TableQueues &t);
  void push(Queue &q, IndexChange change);
  void truncate(Queue &q, size_t size);
  // Drops changes already in the trees where no savepoint can bring them back.
  void trim(Queue &q);

  std::map<uint32_t, TableQueues> tables_; // by definition page
  std::vector<std::vector<QueueMark>> marks_;
};

} // namespace jet

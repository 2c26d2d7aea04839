// Transactions over row writes: rollback and savepoints leave the file as it was, a failing
// statement undoes only itself, an interrupted commit recovers to before or after, other
// connections see changes only at commit, and a second writer is kept out.
#include "jet/journal.h"
#include "journal_test_support.h"
#include "write_support.h"

#include <gtest/gtest.h>
#include <optional>

namespace {

using namespace writetest;
using jet::ErrorCode;
using jet::Value;

std::vector<Value> newBuono(jet::Database &db, int32_t numero, const std::string &note) {
  auto def = db.table("BUONI");
  std::vector<Value> v((*def)->columns.size());
  v[(*def)->findColumn("Numero")->index] = Value(numero);
  v[(*def)->findColumn("Note")->index] = Value(note);
  return v;
}

// A mixed change touching many pages: deletes, updates with memos, inserts.
void changeALot(jet::Database &db) {
  auto at = locations(db, "BUONI");
  for (size_t i = 0; i < at.size(); i += 4)
    ASSERT_TRUE(db.deleteRow("BUONI", at[i]).isOk());
  for (size_t i = 1; i < at.size(); i += 50) {
    auto v = *db.readRow("BUONI", at[i]);
    v[(*db.table("BUONI"))->findColumn("Note")->index] = Value(std::string(3000, 'n'));
    ASSERT_TRUE(db.updateRow("BUONI", at[i], v).isOk());
  }
  for (int i = 0; i < 200; ++i) {
    auto v = newBuono(db, 90000 + i, i % 10 ? "" : std::string(5000, 'm'));
    ASSERT_TRUE(db.insertRow("BUONI", v).isOk());
  }
}

TEST(WriteTransactions, RollbackLeavesTheFileByteForByte) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  const std::string original = vasktest::readFile(path);
  auto db = openWritable(path);
  ASSERT_TRUE(db->begin().isOk());
  changeALot(*db);
  EXPECT_GT(db->pager().pageCount(), original.size() / 4096);
  db->rollback();
  EXPECT_FALSE(db->inTransaction());
  EXPECT_EQ(rows(*db, "BUONI").size(), 1234u);
  EXPECT_EQ(db->pager().pageCount(), original.size() / 4096);
  db.reset();
  EXPECT_EQ(vasktest::readFile(path), original);
  EXPECT_FALSE(std::filesystem::exists(path.string() + "-journal"));
}

TEST(WriteTransactions, SavepointsUndoOnlyWhatCameAfterThem) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto expectedPath = vasktest::copyFixture("suite/zelbo.mdb", dir);
  auto path = dir.file("work.mdb");
  std::filesystem::copy_file(expectedPath, path);
  {
    auto db = openWritable(expectedPath);
    auto v = newBuono(*db, 777, "prima");
    ASSERT_TRUE(db->insertRow("BUONI", v).isOk());
  }
  auto db = openWritable(path);
  ASSERT_TRUE(db->begin().isOk());
  auto v = newBuono(*db, 777, "prima");
  ASSERT_TRUE(db->insertRow("BUONI", v).isOk());
  auto sp = db->savepoint();
  ASSERT_TRUE(sp.isOk());
  changeALot(*db);
  auto inner = db->savepoint();
  auto w = newBuono(*db, 778, "dentro");
  ASSERT_TRUE(db->insertRow("BUONI", w).isOk());
  ASSERT_TRUE(db->release(*inner).isOk());
  ASSERT_TRUE(db->rollbackTo(*sp).isOk());
  EXPECT_EQ(rows(*db, "BUONI").size(), 1235u);
  ASSERT_TRUE(db->commit().isOk());
  db.reset();
  EXPECT_EQ(ourExport(path, "BUONI"), ourExport(expectedPath, "BUONI"));
  EXPECT_EQ(vasktest::readFile(path), vasktest::readFile(expectedPath));
  expectSound(path, "BUONI");
}

// Fails the statement of any row whose Note says so, after the row itself was written.
class Refusing : public jet::IndexMaintainer {
public:
  int calls = 0;
  // Past the verdict, the indexes are kept as the database keeps them.
  jet::Status rowInserted(jet::WriteContext &ctx, const jet::TableDef &t,
                          const jet::RowLocation &at, std::span<const Value> values) override {
    JET_TRY(verdict(t, values));
    return jet::btreeIndexMaintenance().rowInserted(ctx, t, at, values);
  }
  jet::Status rowUpdated(jet::WriteContext &ctx, const jet::TableDef &t, const jet::RowLocation &at,
                         std::span<const Value> old, std::span<const Value> values) override {
    JET_TRY(verdict(t, values));
    return jet::btreeIndexMaintenance().rowUpdated(ctx, t, at, old, values);
  }
  jet::Status rowDeleted(jet::WriteContext &ctx, const jet::TableDef &t, const jet::RowLocation &at,
                         std::span<const Value> old) override {
    return jet::btreeIndexMaintenance().rowDeleted(ctx, t, at, old);
  }
  jet::Status verdict(const jet::TableDef &t, std::span<const Value> values) {
    ++calls;
    const jet::ColumnDef *note = t.findColumn("Note");
    if (note && values[note->index] == Value(std::string(4000, 'x')))
      return {ErrorCode::DuplicateKey, "Chiave duplicata nell'indice 'Prova'."};
    return jet::Status::ok();
  }
};

TEST(WriteTransactions, AFailingStatementUndoesItselfAndTheTransactionGoesOn) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  Refusing refusing;
  auto db = openWritable(path);
  db->setIndexMaintainer(&refusing);
  ASSERT_TRUE(db->begin().isOk());
  auto good = newBuono(*db, 1, "buono");
  ASSERT_TRUE(db->insertRow("BUONI", good).isOk());
  auto pagesBefore = db->pager().pageCount();
  auto before = rows(*db, "BUONI");
  // The row, its long value on a page of its own and the counters are all written, then undone.
  auto bad = newBuono(*db, 2, std::string(4000, 'x'));
  EXPECT_EQ(db->insertRow("BUONI", bad).status().code(), ErrorCode::DuplicateKey);
  auto at = locations(*db, "BUONI");
  auto changed = *db->readRow("BUONI", at[5]);
  changed[(*db->table("BUONI"))->findColumn("Note")->index] = Value(std::string(4000, 'x'));
  EXPECT_EQ(db->updateRow("BUONI", at[5], changed).code(), ErrorCode::DuplicateKey);
  EXPECT_EQ(rows(*db, "BUONI"), before);
  EXPECT_EQ(db->pager().pageCount(), pagesBefore);
  EXPECT_TRUE(db->inTransaction());
  auto more = newBuono(*db, 3, "dopo");
  ASSERT_TRUE(db->insertRow("BUONI", more).isOk());
  ASSERT_TRUE(db->commit().isOk());
  EXPECT_EQ((*db->table("BUONI"))->rowCount, 1236u);
  db.reset();
  expectSound(path, "BUONI");
}

TEST(WriteTransactions, OtherConnectionsSeeTheChangesAtCommit) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  auto db = openWritable(path);
  auto countCommitted = [&] {
    auto c = db->committedCursor("BUONI");
    EXPECT_TRUE(c.isOk());
    size_t n = 0;
    while (*c->next())
      ++n;
    return n;
  };
  ASSERT_TRUE(db->begin().isOk());
  for (auto at : locations(*db, "BUONI"))
    ASSERT_TRUE(db->deleteRow("BUONI", at).isOk());
  auto v = newBuono(*db, 5, "nuovo");
  ASSERT_TRUE(db->insertRow("BUONI", v).isOk());
  EXPECT_EQ(rows(*db, "BUONI").size(), 1u);
  EXPECT_EQ(countCommitted(), 1234u);
  EXPECT_EQ((*db->committedTable("BUONI"))->rowCount, 1234u);
  EXPECT_EQ((*db->table("BUONI"))->rowCount, 1u);
  ASSERT_TRUE(db->commit().isOk());
  EXPECT_EQ(countCommitted(), 1u);
  EXPECT_EQ((*db->committedTable("BUONI"))->rowCount, 1u);
}

TEST(WriteTransactions, ASecondWriterIsRefusedAndWritesNothing) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  const std::string original = vasktest::readFile(path);
  auto db = openWritable(path);
  auto second = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
  ASSERT_FALSE(second.isOk());
  EXPECT_EQ(second.status().code(), ErrorCode::Locked);
  EXPECT_NE(second.status().message().find("zelbo.mdb"), std::string::npos)
      << second.status().message();
  // Readers are still welcome, and a read-only database refuses writes.
  auto reader = openReading(path);
  ASSERT_TRUE(reader);
  std::vector<Value> v((*reader->table("BUONI"))->columns.size());
  EXPECT_EQ(reader->insertRow("BUONI", v).status().code(), ErrorCode::ReadOnly);
  db.reset();
  EXPECT_EQ(vasktest::readFile(path), original);
}

// A commit cut short after k writes (journal and database together), for every k, reopens as
// exactly the state before or after the transaction.
TEST(WriteTransactions, ACommitInterruptedAfterAnyWriteRecoversToBeforeOrAfter) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto pristine = vasktest::copyFixture("suite/zelbo.mdb", dir);
  auto run = [&](const std::filesystem::path &path, jet::FaultInjector *faults) {
    jet::OpenOptions o;
    o.faults = faults;
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite, o);
    EXPECT_TRUE(db.isOk()) << db.status().message();
    if (!db)
      return jet::Status(ErrorCode::Internal, "open");
    EXPECT_TRUE((*db)->begin().isOk());
    auto at = locations(**db, "BUONI");
    for (size_t i = 0; i < at.size(); i += 9)
      EXPECT_TRUE((*db)->deleteRow("BUONI", at[i]).isOk());
    for (int i = 0; i < 60; ++i) {
      auto v = newBuono(**db, 50000 + i, i % 20 ? "" : std::string(6000, 'c'));
      EXPECT_TRUE((*db)->insertRow("BUONI", v).isOk());
    }
    return (*db)->commit();
  };
  auto afterPath = dir.file("after.mdb");
  std::filesystem::copy_file(pristine, afterPath);
  jet::FaultInjector counter;
  ASSERT_TRUE(run(afterPath, &counter).isOk());
  const int64_t writes = counter.writesDone();
  ASSERT_GT(writes, 10);
  const std::string before = ourExport(pristine, "BUONI");
  const std::string after = ourExport(afterPath, "BUONI");
  ASSERT_NE(before, after);
  const std::string beforeBytes = vasktest::readFile(pristine);
  const std::string afterBytes = vasktest::readFile(afterPath);
  int sawBefore = 0, sawAfter = 0;
  for (int64_t k = 0; k <= writes; ++k) {
    SCOPED_TRACE(k);
    // Half the crashes with a write set that spills most of the transaction's pages.
    std::optional<journaltest::SpillingWriteSet> spill;
    if (k % 2 == 1)
      spill.emplace();
    auto path = dir.file("crash" + std::to_string(k) + ".mdb");
    std::filesystem::copy_file(pristine, path);
    jet::FaultInjector crash(k, k % 3 == 0 ? 1000 : 0);
    jet::Status st = run(path, &crash);
    EXPECT_EQ(st.isOk(), k == writes);
    // The next open rolls back what the journal holds.
    { auto reopened = openWritable(path); }
    std::string bytes = vasktest::readFile(path);
    EXPECT_TRUE(bytes == beforeBytes || bytes == afterBytes);
    (bytes == beforeBytes ? sawBefore : sawAfter)++;
    EXPECT_EQ(checkFindings(path), "");
    std::filesystem::remove(path);
  }
  EXPECT_GT(sawBefore, 0);
  EXPECT_GT(sawAfter, 0);
}

} // namespace

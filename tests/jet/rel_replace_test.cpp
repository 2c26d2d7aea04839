// Replacing a table's rows from a working copy: only what differs is written, every rule of the
// table and of its relationships holds, and a failure changes nothing.
#include "jet/replace_rows.h"
#include "jet/table_ops.h"
#include "rel_support.h"

#include <gtest/gtest.h>

namespace {

using namespace reltest;
using jet::ErrorCode;

jet::SourceRows sourceOf(jet::Database &db, const std::string &table) {
  jet::SourceRows s;
  for (auto &c : (*db.table(table))->columns)
    s.columns.push_back(c.name);
  s.rows = writetest::rows(db, table);
  return s;
}

struct Snapshot {
  std::vector<jet::RowLocation> at;
  std::vector<std::vector<Value>> rows;
};
Snapshot snap(jet::Database &db, const std::string &table) {
  return {writetest::locations(db, table), writetest::rows(db, table)};
}

TEST(RelReplace, OneChangedRowOf150TouchesOneRow) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  Snapshot clienti, fatture, scadenze, buoni;
  {
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db);
    clienti = snap(*db, "CLIENTI");
    fatture = snap(*db, "FATTURE");
    scadenze = snap(*db, "SCADENZE");
    buoni = snap(*db, "BUONIFATTURA");
    ASSERT_EQ(clienti.rows.size(), 150u);
    auto src = sourceOf(*db, "CLIENTI");
    // The copy in another order changes nothing by itself.
    std::reverse(src.rows.begin(), src.rows.end());
    src.rows[20][2] = Value(std::string("Nuova Ragione Sociale d'Italia"));
    auto r = jet::replaceRows(*db, "CLIENTI", src);
    ASSERT_TRUE(r.isOk()) << r.status().message();
    EXPECT_EQ(r->updated, 1u);
    EXPECT_EQ(r->deleted, 0u);
    EXPECT_EQ(r->inserted, 0u);
    EXPECT_EQ(r->unchanged, 149u);
  }
  auto db = writetest::openReading(path);
  auto after = snap(*db, "CLIENTI");
  ASSERT_EQ(after.rows.size(), 150u);
  size_t differing = 0;
  for (size_t i = 0; i < 150; ++i) {
    EXPECT_EQ(after.at[i], clienti.at[i]);
    differing += !(after.rows[i] == clienti.rows[i]);
  }
  EXPECT_EQ(differing, 1u);
  EXPECT_EQ(snap(*db, "FATTURE").rows, fatture.rows);
  EXPECT_EQ(snap(*db, "SCADENZE").rows, scadenze.rows);
  EXPECT_EQ(snap(*db, "BUONIFATTURA").rows, buoni.rows);
  db.reset();
  expectSound(path, {"CLIENTI", "FATTURE", "SCADENZE"});
}

TEST(RelReplace, DroppingAClientWithInvoicesChangesNothing) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  const std::string before = fileBytes(path);
  {
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db);
    auto billed = values(*db, "FATTURE", 3);
    auto src = sourceOf(*db, "CLIENTI");
    // Other edits first and after, so a partial run would show.
    src.rows[0][2] = Value(std::string("Cambiata"));
    int32_t gone = -1;
    for (size_t i = 1; i < src.rows.size(); ++i)
      if (billed.count(idOf(src.rows[i]))) {
        gone = idOf(src.rows[i]);
        src.rows.erase(src.rows.begin() + i);
        break;
      }
    ASSERT_GT(gone, 0);
    std::vector<Value> fresh = src.rows[0];
    fresh[0] = Value();
    fresh[1] = Value(std::string("C99999"));
    src.rows.push_back(fresh);
    auto r = jet::replaceRows(*db, "CLIENTI", src);
    ASSERT_FALSE(r.isOk());
    EXPECT_EQ(r.status().code(), ErrorCode::RelationshipChildren);
    EXPECT_NE(r.status().message().find("'CLIENTIFATTURE'"), std::string::npos);
    EXPECT_NE(r.status().message().find("ID = " + std::to_string(gone)), std::string::npos)
        << r.status().message();
    // A rule of the table itself: a text longer than its column, named with its row.
    src = sourceOf(*db, "CLIENTI");
    src.rows[5][1] = Value(std::string(300, 'x'));
    r = jet::replaceRows(*db, "CLIENTI", src);
    ASSERT_FALSE(r.isOk());
    EXPECT_EQ(r.status().code(), ErrorCode::TextTooLong);
    EXPECT_NE(r.status().message().find("Riga 6 della copia (ID = "), std::string::npos)
        << r.status().message();
    // A duplicate primary key among new rows.
    src = sourceOf(*db, "CLIENTI");
    src.rows[0][2] = Value(std::string("Cambiata"));
    src.rows.push_back(src.rows[3]);
    src.rows.back()[2] = Value(std::string("Doppione"));
    r = jet::replaceRows(*db, "CLIENTI", src);
    ASSERT_FALSE(r.isOk());
    EXPECT_EQ(r.status().code(), ErrorCode::DuplicateKey) << r.status().message();
  }
  EXPECT_EQ(fileBytes(path), before) << "a refused replace wrote something";
  EXPECT_EQ(writetest::checkFindings(path), "");
}

TEST(RelReplace, DeletedInsertedAndCascadesOnlyForWhatChanged) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  int32_t dropped = -1;
  size_t scadenze = 0, dueOfDropped = 0, invoices = 0;
  {
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db);
    auto src = sourceOf(*db, "FATTURE");
    invoices = src.rows.size();
    scadenze = writetest::rows(*db, "SCADENZE").size();
    auto withDue = values(*db, "SCADENZE", 2);
    for (size_t i = 0; i < src.rows.size(); ++i)
      if (withDue.count(idOf(src.rows[i]))) {
        dropped = idOf(src.rows[i]);
        src.rows.erase(src.rows.begin() + i);
        break;
      }
    dueOfDropped = count(*db, "SCADENZE", 2, dropped);
    // Two new invoices: one with its own number, past the counter; one numbered by the engine.
    const uint32_t counter = (*db->table("FATTURE"))->lastAutoNumber;
    std::vector<Value> a = src.rows[0], b = src.rows[1];
    a[0] = Value(int32_t(counter + 50));
    b[0] = Value();
    a[1] = Value(int32_t(90001)); // (Numero, Data) is unique
    b[1] = Value(int32_t(90002));
    src.rows.push_back(a);
    src.rows.push_back(b);
    auto r = jet::replaceRows(*db, "FATTURE", src);
    ASSERT_TRUE(r.isOk()) << r.status().message();
    EXPECT_EQ(r->deleted, 1u);
    EXPECT_EQ(r->inserted, 2u);
    EXPECT_EQ(r->updated, 0u);
    EXPECT_EQ((*db->table("FATTURE"))->lastAutoNumber, counter + 51);
  }
  auto db = writetest::openReading(path);
  EXPECT_EQ(writetest::rows(*db, "FATTURE").size(), invoices + 1);
  EXPECT_GT(dueOfDropped, 0u);
  EXPECT_EQ(writetest::rows(*db, "SCADENZE").size(), scadenze - dueOfDropped);
  EXPECT_EQ(count(*db, "SCADENZE", 2, dropped), 0u);
  db.reset();
  expectSound(path, {"FATTURE", "SCADENZE", "BUONIFATTURA"});
}

TEST(RelReplace, TableWithoutPrimaryKeyMatchesWholeRows) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  std::string table;
  std::vector<std::vector<Value>> expected;
  {
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db);
    for (auto &t : db->userTableNames()) {
      auto def = *db->table(t);
      bool pk = false;
      for (auto &li : def->indexes)
        pk = pk || li.isPrimaryKey();
      if (!pk && writetest::rows(*db, t).size() >= 3) {
        table = t;
        break;
      }
    }
    if (table.empty())
      GTEST_SKIP() << "no table without a primary key";
    auto src = sourceOf(*db, table);
    // Duplicate rows count one by one: the copy keeps one of two equal rows, drops row 1,
    // changes row 2 (a delete and an insert, since rows are told apart only by their values).
    src.rows.push_back(src.rows[0]);
    src.rows.erase(src.rows.begin() + 1);
    auto &row = src.rows[1];
    size_t text = 0;
    for (size_t c = 0; c < src.columns.size(); ++c)
      if (row[c].is<std::string>() && !(*db->table(table))->columns[c].isAutoNumber())
        text = c + 1;
    ASSERT_GT(text, 0u) << table;
    row[text - 1] = Value(std::string("cambiato"));
    expected = src.rows;
    auto r = jet::replaceRows(*db, table, src);
    ASSERT_TRUE(r.isOk()) << r.status().message();
    EXPECT_EQ(r->updated, 0u);
    EXPECT_EQ(r->deleted, 2u);
    EXPECT_EQ(r->inserted, 2u);
    EXPECT_EQ(r->unchanged, expected.size() - 2);
  }
  auto db = writetest::openReading(path);
  auto got = writetest::rows(*db, table);
  auto key = [](const std::vector<Value> &r) {
    std::string s;
    for (auto &v : r)
      jet::appendCsvField(s, v), s += ',';
    return s;
  };
  std::multiset<std::string> a, b;
  for (auto &r : got)
    a.insert(key(r));
  for (auto &r : expected)
    b.insert(key(r));
  EXPECT_EQ(a, b);
  db.reset();
  expectSound(path, {table.c_str()});
}

// The working copy as "Salva" finds it: a copy table in the same file, edited through the write
// path, so most rows meet their partner in the same place of both scans.
TEST(RelReplace, FromTheWorkingCopyTable) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  Snapshot before;
  int32_t gone = -1, edited = -1;
  {
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db);
    before = snap(*db, "FATTURE");
    ASSERT_TRUE(jet::copyTable(*db, "FATTURE", "TemporaneaVask").isOk());
    auto withChildren = values(*db, "SCADENZE", 2);
    for (int32_t id : values(*db, "BUONIFATTURA", 2))
      withChildren.insert(id);
    auto at = writetest::locations(*db, "TemporaneaVask");
    auto rows = writetest::rows(*db, "TemporaneaVask");
    for (size_t i = 0; i < rows.size() && gone < 0; ++i)
      if (!withChildren.count(idOf(rows[i]))) {
        gone = idOf(rows[i]);
        ASSERT_TRUE(db->deleteRow("TemporaneaVask", at[i]).isOk());
      }
    ASSERT_GT(gone, 0);
    edited = idOf(rows[7]);
    rows[7][8] = Value(std::string("Nota cambiata dall'operatore: più tardi"));
    ASSERT_TRUE(db->updateRow("TemporaneaVask", at[7], rows[7]).isOk());
    std::vector<Value> fresh = rows[9];
    fresh[0] = Value();
    fresh[1] = Value(int32_t(90007));
    ASSERT_TRUE(db->insertRow("TemporaneaVask", fresh).isOk());

    auto r = jet::replaceRows(*db, "FATTURE", std::string_view("TemporaneaVask"));
    ASSERT_TRUE(r.isOk()) << r.status().message();
    EXPECT_EQ(r->updated, 1u);
    EXPECT_EQ(r->deleted, 1u);
    EXPECT_EQ(r->inserted, 1u);
    EXPECT_EQ(r->unchanged, before.rows.size() - 2);
    ASSERT_TRUE(jet::dropTable(*db, "TemporaneaVask").isOk());
  }
  auto db = writetest::openReading(path);
  auto after = snap(*db, "FATTURE");
  ASSERT_EQ(after.rows.size(), before.rows.size());
  size_t kept = 0;
  for (size_t i = 0, j = 0; i < before.rows.size(); ++i) {
    if (idOf(before.rows[i]) == gone)
      continue;
    ASSERT_LT(j, after.rows.size());
    EXPECT_EQ(after.at[j], before.at[i]) << "row " << i << " moved";
    if (idOf(before.rows[i]) != edited)
      kept += after.rows[j] == before.rows[i];
    ++j;
  }
  EXPECT_EQ(kept, before.rows.size() - 2);
  EXPECT_EQ(count(*db, "FATTURE", 1, 90007), 1u);
  EXPECT_EQ(count(*db, "FATTURE", 0, gone), 0u);
  db.reset();
  expectSound(path, {"FATTURE", "SCADENZE", "BUONIFATTURA"});
}

TEST(RelReplace, CommandLine) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  const std::string tool = (vasktest::binaryDir() / "vaskdb").string();
  std::string out;
  ASSERT_EQ(vasktest::runCommand(tool + " replace '" + path.string() + "' CLIENTI CLIENTI", &out),
            0);
  EXPECT_EQ(out, "aggiornate 0, eliminate 0, inserite 0\n");
  // A source with a field the target does not have.
  const std::string before = fileBytes(path);
  EXPECT_EQ(
      vasktest::runCommand(tool + " replace '" + path.string() + "' CLIENTI Vuota 2>&1", &out), 1);
  EXPECT_NE(out.find("non ha il campo 'Descrizione'"), std::string::npos) << out;
  EXPECT_EQ(fileBytes(path), before);
  EXPECT_EQ(vasktest::runCommand(tool + " check '" + path.string() + "'", &out), 0) << out;
}

} // namespace

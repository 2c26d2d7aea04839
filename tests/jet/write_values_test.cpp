// Values as they are stored: long values in their three forms, overflow rows, counters and
// the constraints that refuse a value before anything is written.
#include "jet/long_value.h"
#include "jet/page_allocator.h"
#include "jet/usage_map.h"
#include "write_support.h"

#include <gtest/gtest.h>

namespace {

using namespace writetest;
using jet::ErrorCode;
using jet::Value;

size_t column(jet::Database &db, const std::string &table, const std::string &name) {
  auto def = db.table(table);
  const jet::ColumnDef *c = (*def)->findColumn(name);
  return static_cast<size_t>(c - (*def)->columns.data());
}

// How the first row's long value of the column is stored.
uint8_t storageOf(jet::Database &db, const std::string &table, const std::string &name) {
  auto c = db.cursor(table);
  EXPECT_TRUE(c.isOk());
  EXPECT_TRUE(*c->next());
  const jet::ColumnDef &col = c->table().columns[column(db, table, name)];
  auto field = c->layout().varField(col.varIndex, c->dataPage());
  EXPECT_TRUE(field.isOk());
  auto ref = jet::LongValueRef::parse(*field, c->dataPage());
  EXPECT_TRUE(ref.isOk());
  return ref->kind;
}

std::string repeat(const std::string &unit, size_t times) {
  std::string s;
  while (times-- > 0)
    s += unit;
  return s;
}

TEST(WriteValues, MemoMovesBetweenInlineLongValuePageAndChain) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  auto db = openWritable(path);
  const std::string t = "TipiDati";
  size_t memo = column(*db, t, "Memo");
  auto at = locations(*db, t);
  ASSERT_EQ(at.size(), 4u);
  auto original = rows(*db, t)[0];
  ASSERT_GE(original[memo].as<std::string>().size(), 70000u);
  EXPECT_EQ(storageOf(*db, t, "Memo"), jet::LongValueRef::kChain);

  const std::string shortText = "Nota breve: è già pagata.";             // 50 bytes
  const std::string pageText = repeat("Città di Castello, Forlì; ", 58); // one page, not compressed
  const std::string chainText = repeat("0123456789abcdefghij", 4500);
  uint32_t pagesAfterFirstChain = 0;
  for (int round = 0; round < 4; ++round) {
    for (const auto &[text, kind] :
         std::vector<std::pair<std::string, uint8_t>>{{shortText, jet::LongValueRef::kInline},
                                                      {pageText, jet::LongValueRef::kSinglePage},
                                                      {chainText, jet::LongValueRef::kChain},
                                                      {shortText, jet::LongValueRef::kInline}}) {
      auto v = original;
      v[memo] = Value(text);
      ASSERT_TRUE(db->updateRow(t, at[0], v).isOk());
      EXPECT_EQ(storageOf(*db, t, "Memo"), kind) << text.size();
      auto back = db->readRow(t, at[0]);
      ASSERT_TRUE(back.isOk());
      EXPECT_EQ((*back)[memo], Value(text));
      if (round == 0 && kind == jet::LongValueRef::kChain)
        pagesAfterFirstChain = db->pager().pageCount();
    }
  }
  // The pages of replaced values went back to the free-page map and were used again.
  EXPECT_LE(db->pager().pageCount(), pagesAfterFirstChain + 2);
  // Null and back to the original.
  auto v = original;
  v[memo] = Value();
  ASSERT_TRUE(db->updateRow(t, at[0], v).isOk());
  EXPECT_TRUE((*db->readRow(t, at[0]))[memo].isNull());
  v = original;
  ASSERT_TRUE(db->updateRow(t, at[0], v).isOk());
  db.reset();
  EXPECT_EQ(compareWithMdb(ourExport(path, t), vasktest::readFile(vasktest::fixturesDir() /
                                                                  "expected/zelbo/TipiDati.csv")),
            "");
  EXPECT_EQ(checkFindings(path), "");
}

TEST(WriteValues, OleValuesAndMemosOnInsertReadBackAsMdbExportReadsThem) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  {
    auto db = openWritable(path);
    auto def = db->table("BUONI");
    size_t note = column(*db, "BUONI", "Note");
    ASSERT_TRUE(db->begin().isOk());
    for (int i = 0; i < 300; ++i) {
      std::vector<Value> v((*def)->columns.size());
      v[column(*db, "BUONI", "Numero")] = Value(int32_t(10000 + i));
      v[column(*db, "BUONI", "Targa")] = Value("ZZ" + std::to_string(i));
      v[column(*db, "BUONI", "Litri")] = Value(float(i) / 4);
      v[column(*db, "BUONI", "Importo")] = Value(jet::Currency{int64_t(i) * 12345});
      v[column(*db, "BUONI", "Fatturato")] = Value(i % 2 == 0);
      // Short and long notes, plain and with characters outside Latin-1.
      if (i % 3 == 0)
        v[note] = Value(repeat(i % 2 ? "Pagato € " : "Nota lunga, ", size_t(5 + i * 4)));
      auto r = db->insertRow("BUONI", v);
      ASSERT_TRUE(r.isOk()) << r.status().message();
    }
    ASSERT_TRUE(db->commit().isOk());
  }
  expectSound(path, "BUONI");
}

TEST(WriteValues, AnUpdateThatNoLongerFitsOverflowsAndKeepsItsLocation) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  auto db = openWritable(path);
  const std::string t = "BUONI";
  size_t note = column(*db, t, "Note");
  auto at = locations(*db, t);
  auto all = rows(*db, t);
  // Grow a dozen rows of the first page by more than the page has free.
  for (size_t i = 0; i < 12; ++i) {
    auto v = all[i];
    v[note] = Value(repeat("€ Ω ", 8)); // 64 bytes: stays inline, does not fit the page
    jet::Status st = db->updateRow(t, at[i], v);
    ASSERT_TRUE(st.isOk()) << st.message();
    auto back = db->readRow(t, at[i]);
    ASSERT_TRUE(back.isOk());
    EXPECT_EQ((*back)[note], v[note]);
  }
  EXPECT_EQ(locations(*db, t), at);
  {
    auto reader = openReading(path);
    EXPECT_EQ(rows(*reader, t).size(), 1234u);
  }
  db.reset();
  expectSound(path, t);
  db = openWritable(path);
  // Back to a small value: the data returns to its header's page; then the row goes.
  for (size_t i = 0; i < 12; i += 2) {
    ASSERT_TRUE(db->updateRow(t, at[i], all[i]).isOk());
    EXPECT_EQ(*db->readRow(t, at[i]), all[i]);
  }
  ASSERT_TRUE(db->deleteRow(t, at[1]).isOk());
  ASSERT_TRUE(db->deleteRow(t, at[2]).isOk());
  db.reset();
  expectSound(path, t);
  auto reader = openReading(path);
  EXPECT_EQ(rows(*reader, t).size(), 1232u);
}

TEST(WriteValues, AutonumberCounterAdvancesAndMovesPastExplicitValues) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  auto db = openWritable(path);
  const std::string t = "BUONI";
  size_t id = column(*db, t, "ID");
  size_t n = (*db->table(t))->columns.size();
  EXPECT_EQ((*db->table(t))->lastAutoNumber, 1234u);
  std::vector<Value> v(n);
  ASSERT_TRUE(db->insertRow(t, v).isOk());
  EXPECT_EQ(v[id], Value(int32_t(1235)));
  v.assign(n, Value());
  v[id] = Value(int32_t(5000));
  ASSERT_TRUE(db->insertRow(t, v).isOk());
  EXPECT_EQ((*db->table(t))->lastAutoNumber, 5000u);
  v.assign(n, Value());
  v[id] = Value(int32_t(4000)); // below the counter and free: kept, the counter stays
  ASSERT_TRUE(db->insertRow(t, v).isOk());
  v.assign(n, Value());
  std::vector<bool> supplied(n, false);
  ASSERT_TRUE(db->insertRow(t, v, supplied).isOk());
  EXPECT_EQ(v[id], Value(int32_t(5001)));
  EXPECT_EQ((*db->table(t))->rowCount, 1238u);
  // An autonumber is not changed by an update.
  auto at = locations(*db, t);
  auto row = *db->readRow(t, at[0]);
  row[id] = Value(int32_t(99999));
  EXPECT_EQ(db->updateRow(t, at[0], row).code(), ErrorCode::FieldNotUpdatable);
  db.reset();
  auto reader = openReading(path);
  EXPECT_EQ((*reader->table(t))->lastAutoNumber, 5001u);
  EXPECT_EQ((*reader->table(t))->rowCount, 1238u);
  expectSound(path, t);
}

TEST(WriteValues, ConstraintsRefuseTheStatementAndWriteNothing) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  std::string before = vasktest::readFile(path);
  auto db = openWritable(path);
  const std::string t = "TipiDati";
  auto row = rows(*db, t)[3];
  auto at = locations(*db, t)[3];
  struct Case {
    const char *column;
    Value value;
    ErrorCode code;
    const char *shown;
  };
  std::vector<Case> cases = {
      {"Byte", Value(int32_t(256)), ErrorCode::OutOfRange, "256"},
      {"Byte", Value(int32_t(-1)), ErrorCode::OutOfRange, "-1"},
      {"Intero", Value(int32_t(40000)), ErrorCode::OutOfRange, "40000"},
      {"Lungo", Value(3e9), ErrorCode::OutOfRange, "3000000000"},
      {"Singola", Value(1e300), ErrorCode::OutOfRange, "1e+300"},
      {"Testo", Value(std::string(256, 'a')), ErrorCode::TextTooLong, "aaaa"},
      {"UnNomeDiCampoMoltoLungo", Value(repeat("è", 21)), ErrorCode::TextTooLong, "èèè"},
      {"Binario", Value(jet::Bytes(17, 1)), ErrorCode::TextTooLong, "17 byte"},
      {"Intero", Value("dodici"), ErrorCode::TypeMismatch, "dodici"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.column);
    auto v = row;
    v[column(*db, t, c.column)] = c.value;
    jet::Status st = db->updateRow(t, at, v);
    EXPECT_EQ(st.code(), c.code) << st.message();
    EXPECT_NE(st.message().find(std::string("'") + c.column + "'"), std::string::npos)
        << st.message();
    EXPECT_NE(st.message().find(c.shown), std::string::npos) << st.message();
    auto ins = db->insertRow(t, v);
    EXPECT_EQ(ins.status().code(), c.code);
  }
  // The primary key of a table without autonumber refuses Null.
  auto iva = db->table("IVA");
  std::vector<Value> v((*iva)->columns.size());
  jet::Status st = db->insertRow("IVA", v).status();
  EXPECT_EQ(st.code(), ErrorCode::RequiredNull);
  EXPECT_NE(st.message().find("Codice"), std::string::npos) << st.message();
  // A text at its limit is fine and the value is kept exactly.
  auto ok = row;
  ok[column(*db, t, "UnNomeDiCampoMoltoLungo")] = Value(repeat("è", 20));
  db.reset();
  EXPECT_EQ(vasktest::readFile(path), before);
  EXPECT_FALSE(std::filesystem::exists(path.string() + "-journal"));
  db = openWritable(path);
  ASSERT_TRUE(db->updateRow(t, at, ok).isOk());
  EXPECT_EQ(*db->readRow(t, at), ok);
}

} // namespace

namespace {

TEST(WriteValues, ARequiredColumnRefusesNullAsItsDesignPropertySays) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("access/fixedTextTestV2000.mdb", dir);
  const std::string original = vasktest::readFile(path);
  auto db = writetest::openWritable(path);
  auto def = db->table("users");
  ASSERT_TRUE(def.isOk());
  EXPECT_TRUE((*def)->findColumn("c_user_login")->required);
  std::vector<jet::Value> v((*def)->columns.size());
  for (size_t i = 0; i < v.size(); ++i)
    v[i] = (*def)->columns[i].isText() ? jet::Value("x")
                                       : jet::Value(int32_t(987654)); // a key not yet used
  auto missing = v;
  missing[(*def)->findColumn("c_user_session")->index] = jet::Value();
  jet::Status st = db->insertRow("users", missing).status();
  EXPECT_EQ(st.code(), jet::ErrorCode::RequiredNull);
  EXPECT_NE(st.message().find("'users.c_user_session'"), std::string::npos) << st.message();
  auto at = writetest::locations(*db, "users");
  EXPECT_EQ(db->updateRow("users", at[0], missing).code(), jet::ErrorCode::RequiredNull);
  db.reset();
  EXPECT_EQ(vasktest::readFile(path), original);
  db = writetest::openWritable(path);
  auto inserted = db->insertRow("users", v);
  ASSERT_TRUE(inserted.isOk()) << inserted.status().message();
  db.reset();
  writetest::expectSound(path, "users");
}

} // namespace

namespace {

// Access-written tables keep their memo pages in the column's own usage maps: values of every
// size inserted, replaced and deleted leave those maps and mdb-export in agreement.
TEST(WriteValues, MemosInAnAccessWrittenTableUseTheColumnsPageMaps) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("access/fixedNumericTestV2000.mdb", dir);
  const std::string t = "test";
  std::vector<std::string> texts;
  {
    auto db = writetest::openWritable(path);
    auto def = db->table(t);
    ASSERT_TRUE(def.isOk());
    const jet::ColumnDef *memo = (*def)->findColumn("col1");
    ASSERT_NE((*def)->longValueMapsOf(memo->number), nullptr);
    ASSERT_TRUE(db->begin().isOk());
    for (int i = 0; i < 60; ++i) {
      std::vector<jet::Value> v((*def)->columns.size());
      std::string text = std::string(size_t(1) << (i % 18), char('a' + i % 26)) + "ù";
      v[memo->index] = jet::Value(text);
      v[1] = jet::Value(int32_t(i));
      ASSERT_TRUE(db->insertRow(t, v).isOk());
    }
    ASSERT_TRUE(db->commit().isOk());
    auto at = writetest::locations(*db, t);
    for (size_t i = 1; i < at.size(); i += 3)
      ASSERT_TRUE(db->deleteRow(t, at[i]).isOk());
    for (size_t i = 2; i < at.size(); i += 3) {
      auto v = *db->readRow(t, at[i]);
      v[memo->index] = jet::Value(std::string(9000, 'r'));
      ASSERT_TRUE(db->updateRow(t, at[i], v).isOk());
    }
  }
  writetest::expectSound(path, t);
  auto db = writetest::openReading(path);
  EXPECT_EQ(writetest::rows(*db, t).size(), 41u);
}

} // namespace

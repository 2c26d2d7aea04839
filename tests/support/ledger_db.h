#pragma once
// A small database for the sharing tests: table Conti, kRows rows over several pages, whose
// Valore a writer sets in every row at once, so a reader can tell a whole commit from a mix.
#include "jet/database.h"
#include "jet/database_builder.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace vasktest {

constexpr int kLedgerRows = 400;

inline std::string makeLedger(const TempDir &dir) {
  using jet::ColumnType, jet::Value;
  std::string path = dir.file("negozio.mdb").string();
  jet::DatabaseBuilder b(jet::toDateTime({2020, 1, 1, 0, 0, 0}));
  jet::TableSpec t;
  t.name = "Conti";
  t.columns = {jet::ColumnSpec{"ID", ColumnType::Long}, jet::ColumnSpec{"Valore", ColumnType::Long},
               jet::ColumnSpec{"Nota", ColumnType::Text, 200}};
  std::vector<std::vector<Value>> rows;
  for (int i = 0; i < kLedgerRows; ++i)
    rows.push_back({Value(int32_t(i)), Value(int32_t(0)), Value(std::string(150, 'a' + i % 26))});
  EXPECT_TRUE(b.addTable(t, rows));
  EXPECT_TRUE(b.writeNewFile(path));
  return path;
}

// Every row's Valore set to `value` in one transaction.
inline jet::Status setLedger(jet::Database &db, int32_t value) {
  JET_TRY(db.begin());
  std::vector<jet::RowLocation> at;
  {
    auto c = db.cursor("Conti");
    if (!c)
      return c.status();
    while (*c->next())
      at.push_back(c->location());
  }
  for (auto loc : at) {
    auto row = db.readRow("Conti", loc);
    if (!row)
      return row.status();
    (*row)[1] = jet::Value(value);
    JET_TRY(db.updateRow("Conti", loc, *row));
  }
  return db.commit();
}

inline std::vector<int32_t> ledgerValues(jet::Database &db) {
  std::vector<int32_t> out;
  auto c = db.cursor("Conti");
  std::vector<jet::Value> row;
  while (c && *c->next() && c->read(row))
    out.push_back(row[1].is<int32_t>() ? row[1].as<int32_t>() : -1);
  return out;
}

} // namespace vasktest

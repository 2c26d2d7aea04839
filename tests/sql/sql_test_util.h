#pragma once
#include "memory_db.h"
#include "sql/convert.h"
#include "sql/executor.h"

#include <cmath>
#include <gtest/gtest.h>

namespace jet {
inline void PrintTo(const Value &v, std::ostream *os) {
  *os << sql::describeValue(v) << " [" << sql::valueTypeName(v) << "]";
}
} // namespace jet

namespace sqltest {

inline sql::ColumnDef col(std::string name, jet::ColumnType type, int size = 0) {
  sql::ColumnDef c;
  c.name = std::move(name);
  c.type = type;
  c.size = size;
  return c;
}

inline jet::Value date(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
  return jet::Value(jet::toDateTime({y, m, d, h, mi, s}));
}

inline jet::Value cur(double v) {
  return jet::Value(jet::Currency{static_cast<int64_t>(std::llround(v * 10000))});
}

// 15 March 2024 at 10:30, the clock of every test.
inline sql::ExecOptions fixedClock() {
  sql::ExecOptions o;
  o.clock = [] { return jet::toDateTime({2024, 3, 15, 10, 30, 0}); };
  return o;
}

inline jet::Result<sql::ExecResult> run(MemoryDatabase &db, std::string_view text) {
  return sql::execute(db, text, fixedClock());
}

// Runs a statement that must succeed and returns the rows affected.
inline int64_t ok(MemoryDatabase &db, std::string_view text) {
  auto r = run(db, text);
  EXPECT_TRUE(r.isOk()) << text << "\n -> " << r.status().number() << " " << r.status().message();
  return r ? r->rowsAffected : -2;
}

inline sql::ResultSet query(MemoryDatabase &db, std::string_view text) {
  auto r = run(db, text);
  EXPECT_TRUE(r.isOk()) << text << "\n -> " << r.status().message();
  return r ? r->rows : sql::ResultSet{};
}

inline jet::Status fails(MemoryDatabase &db, std::string_view text) {
  auto r = run(db, text);
  EXPECT_FALSE(r.isOk()) << text << " should have failed";
  return r.status();
}

// A table shaped like the suite's vouchers, with an autonumber key and a unique number.
inline void makeBuoni(MemoryDatabase &db) {
  sql::TableDef def;
  def.name = "BUONI";
  auto id = col("ID", jet::ColumnType::Long);
  id.autoNumber = true;
  def.columns = {id,
                 col("Numero", jet::ColumnType::Long),
                 col("Data", jet::ColumnType::DateTime),
                 col("Cliente", jet::ColumnType::Text, 50),
                 col("Importo", jet::ColumnType::Currency),
                 col("Litri", jet::ColumnType::Double),
                 col("Fatturato", jet::ColumnType::Boolean),
                 col("Note", jet::ColumnType::Memo)};
  def.indexes = {{"PrimaryKey", {{"ID", false}}, true, true, false},
                 {"Numero", {{"Numero", false}}, true, false, false}};
  ASSERT_TRUE(db.createTable(def).isOk());
  const char *rows[] = {
      "INSERT INTO BUONI (Numero, Data, Cliente, Importo, Litri, Fatturato, Note) VALUES "
      "(1, #2024-01-01#, 'Rossi', 100, 50.5, True, 'primo')",
      "INSERT INTO BUONI (Numero, Data, Cliente, Importo, Litri, Fatturato, Note) VALUES "
      "(2, #2024-02-29 23:59:59#, 'Dell''Orto', 33.7, 21.48, False, Null)",
      "INSERT INTO BUONI (Numero, Data, Cliente, Importo, Litri, Fatturato, Note) VALUES "
      "(3, #12/31/2023#, 'Città di Castello', 0, Null, False, '')",
      "INSERT INTO BUONI (Numero, Data, Cliente, Importo, Litri, Fatturato, Note) VALUES "
      "(4, Null, '', Null, 10, True, 'quarto')",
      "INSERT INTO BUONI (Numero, Data, Cliente, Importo, Litri, Fatturato, Note) VALUES "
      "(5, #2024-01-01 08:15:00#, Null, -12.5, 0, False, 'ROSSI')",
  };
  for (const char *r : rows)
    ASSERT_TRUE(sql::execute(db, r).isOk()) << r;
}

} // namespace sqltest

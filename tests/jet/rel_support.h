#pragma once
// Helpers of the relationship tests on copies of the suite-shaped file.
#include "write_support.h"

#include <set>

namespace reltest {

using jet::Value;

inline int32_t idOf(const std::vector<Value> &row, size_t column = 0) {
  return row[column].isNull() ? -1 : row[column].as<int32_t>();
}

// The location of the row whose column holds the value.
inline jet::RowLocation find(jet::Database &db, const std::string &table, int32_t id,
                             size_t column = 0) {
  auto c = db.cursor(table);
  EXPECT_TRUE(c.isOk());
  std::vector<Value> v;
  while (c && *c->next()) {
    EXPECT_TRUE(c->read(v).isOk());
    if (idOf(v, column) == id)
      return c->location();
  }
  ADD_FAILURE() << table << " senza " << id;
  return {};
}

// How many rows hold the value in the column.
inline size_t count(jet::Database &db, const std::string &table, size_t column, int32_t id) {
  size_t n = 0;
  for (auto &r : writetest::rows(db, table))
    n += idOf(r, column) == id;
  return n;
}

inline std::set<int32_t> values(jet::Database &db, const std::string &table, size_t column) {
  std::set<int32_t> out;
  for (auto &r : writetest::rows(db, table))
    out.insert(idOf(r, column));
  return out;
}

// The check is clean and mdb-export reads these tables as we do.
inline void expectSound(const std::filesystem::path &path,
                        std::initializer_list<const char *> tables) {
  EXPECT_EQ(writetest::checkFindings(path), "");
  if (vasktest::haveProgram("mdb-export"))
    for (const char *t : tables)
      EXPECT_EQ(
          writetest::compareWithMdb(writetest::ourExport(path, t), writetest::mdbExport(path, t)),
          "")
          << t;
}

inline std::string fileBytes(const std::filesystem::path &p) {
  return vasktest::readFile(p);
}

} // namespace reltest

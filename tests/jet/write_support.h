#pragma once
// Helpers of the write tests: open copies for writing, read them back with a fresh reader, run
// the integrity check and compare the table with mdb-export's reading of it.
#include "csv_compare.h"
#include "jet/csv_export.h"
#include "jet/database.h"
#include "jet/integrity_check.h"
#include "test_support.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace writetest {

inline std::unique_ptr<jet::Database> openWritable(const std::filesystem::path &path) {
  auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
  EXPECT_TRUE(db.isOk()) << db.status().message();
  return db ? std::move(*db) : nullptr;
}

inline std::unique_ptr<jet::Database> openReading(const std::filesystem::path &path) {
  auto db = jet::Database::open(path.string(), jet::OpenMode::ReadOnly);
  EXPECT_TRUE(db.isOk()) << db.status().message();
  return db ? std::move(*db) : nullptr;
}

// The check's findings on a fresh open of the file, one a line; empty when clean.
inline std::string checkFindings(const std::filesystem::path &path) {
  auto db = openReading(path);
  if (!db)
    return "non si apre";
  std::vector<std::string> findings;
  jet::Status st = jet::checkDatabase(*db, findings);
  std::string out;
  for (auto &f : findings)
    out += f + "\n";
  if (!st)
    out += st.message() + "\n";
  return out;
}

inline std::string ourExport(const std::filesystem::path &path, const std::string &table) {
  auto db = openReading(path);
  if (!db)
    return {};
  auto csv = jet::exportCsv(*db, table);
  EXPECT_TRUE(csv.isOk()) << csv.status().message();
  return csv ? *csv : std::string();
}

inline std::string mdbExport(const std::filesystem::path &path, const std::string &table) {
  std::string out;
  int rc =
      vasktest::runCommand("mdb-export -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' -b hex '" +
                               path.string() + "' '" + table + "'",
                           &out);
  EXPECT_EQ(rc, 0) << "mdb-export " << table;
  return out;
}

// Our canonical export against mdb-export's, field by field: mdb-export leaves the header and
// numbers unquoted, quotes dates and writes floating point its own way, so fields compare by
// their text, or as numbers where both read as one (singles to their 7 digits).
inline std::string compareWithMdb(const std::string &ours, const std::string &theirs) {
  auto a = csvtest::parse(ours);
  auto b = csvtest::parse(theirs);
  // mdb-export lists an overflow row where its data lies, not where its header is: rows compare
  // as a set.
  auto byText = [](const csvtest::Row &x, const csvtest::Row &y) {
    for (size_t i = 0; i < std::min(x.size(), y.size()); ++i)
      if (x[i].text != y[i].text)
        return x[i].text < y[i].text;
    return x.size() < y.size();
  };
  if (a.size() > 1)
    std::sort(a.begin() + 1, a.end(), byText);
  if (b.size() > 1)
    std::sort(b.begin() + 1, b.end(), byText);
  if (a.size() != b.size())
    return "righe: nostre " + std::to_string(a.size()) + ", mdb-export " + std::to_string(b.size());
  for (size_t r = 0; r < a.size(); ++r) {
    if (a[r].size() != b[r].size())
      return "riga " + std::to_string(r) + ": numero di campi diverso";
    for (size_t c = 0; c < a[r].size(); ++c) {
      const auto &x = a[r][c].text, &y = b[r][c].text;
      if (x == y)
        continue;
      double u, v;
      if (csvtest::asNumber(x, u) && csvtest::asNumber(y, v) &&
          (u == v || std::fabs(u - v) <= 1e-6 * std::max(std::fabs(u), std::fabs(v))))
        continue;
      return "riga " + std::to_string(r) + ", campo " + std::to_string(c) + ": nostro [" +
             x.substr(0, 80) + "], mdb-export [" + y.substr(0, 80) + "]";
    }
  }
  return {};
}

// The check is clean and mdb-export reads the table as we do.
inline void expectSound(const std::filesystem::path &path, const std::string &table) {
  EXPECT_EQ(checkFindings(path), "");
  if (vasktest::haveProgram("mdb-export"))
    EXPECT_EQ(compareWithMdb(ourExport(path, table), mdbExport(path, table)), "") << table;
}

// Every live row's location, in physical order.
inline std::vector<jet::RowLocation> locations(jet::Database &db, const std::string &table) {
  std::vector<jet::RowLocation> out;
  auto c = db.cursor(table);
  EXPECT_TRUE(c.isOk()) << c.status().message();
  if (!c)
    return out;
  for (;;) {
    auto more = c->next();
    EXPECT_TRUE(more.isOk()) << more.status().message();
    if (!more || !*more)
      break;
    out.push_back(c->location());
  }
  return out;
}

inline std::vector<std::vector<jet::Value>> rows(jet::Database &db, const std::string &table) {
  std::vector<std::vector<jet::Value>> out;
  auto c = db.cursor(table);
  if (!c)
    return out;
  while (true) {
    auto more = c->next();
    if (!more || !*more)
      break;
    std::vector<jet::Value> v;
    EXPECT_TRUE(c->read(v).isOk());
    out.push_back(std::move(v));
  }
  return out;
}

} // namespace writetest

#pragma once
// What the table tests ask of a database file after each change: our integrity and index checks
// clean, and mdbtools reading every user table as our export does.
#include "jet/csv_export.h"
#include "jet/database.h"
#include "jet/index_check.h"
#include "jet/integrity_check.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tablestest {

inline std::vector<std::string> checkFindings(const std::string &path) {
  std::vector<std::string> findings;
  auto db = jet::Database::open(path);
  if (!db) {
    findings.push_back(db.status().message());
    return findings;
  }
  jet::Status st = jet::checkDatabase(**db, findings);
  if (!st)
    findings.push_back(st.message());
  for (const auto &name : (*db)->tableNames()) {
    auto def = (*db)->table(name);
    if (!def) {
      findings.push_back(def.status().message());
      continue;
    }
    auto ix = jet::checkTableIndexes((*db)->pager(), *def);
    if (!ix)
      findings.push_back(ix.status().message());
    else
      findings.insert(findings.end(), ix->begin(), ix->end());
  }
  return findings;
}

// mdb-export's CSV of a table brought to our canonical form is too lossy to compare whole (it
// formats dates and numbers its own way), so the comparison is on what both agree to write:
// the number of rows and the text columns' values.
inline size_t mdbExportRowCount(const std::string &path, const std::string &table,
                                std::string *error = nullptr) {
  std::string out;
  int rc = vasktest::runCommand(
      "mdb-export -Q -d '\\t' -R '\\036' '" + path + "' '" + table + "' 2>&1", &out);
  if (rc != 0) {
    if (error)
      *error = out;
    return SIZE_MAX;
  }
  size_t records = 0;
  for (char c : out)
    records += c == '\036';
  return records == 0 ? 0 : records - 1; // the header line
}

// Every user table: our row count equals mdb-export's, and mdb-tables lists the same tables.
inline void expectMdbToolsAgree(const std::string &path) {
  if (!vasktest::haveProgram("mdb-export")) {
    std::cout << "mdbtools not installed: comparison skipped\n";
    return;
  }
  auto db = jet::Database::open(path);
  ASSERT_TRUE(db) << db.status().message();
  std::string listed;
  ASSERT_EQ(vasktest::runCommand("mdb-tables -1 '" + path + "'", &listed), 0);
  std::string ours;
  for (const auto &n : (*db)->userTableNames())
    ours += n + "\n";
  std::vector<std::string> a, b;
  std::istringstream la(listed), lb(ours);
  for (std::string l; std::getline(la, l);)
    if (!l.empty())
      a.push_back(l);
  for (std::string l; std::getline(lb, l);)
    if (!l.empty())
      b.push_back(l);
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a, b);
  for (const auto &n : (*db)->userTableNames()) {
    auto def = (*db)->table(n);
    ASSERT_TRUE(def);
    std::string error;
    EXPECT_EQ(mdbExportRowCount(path, n, &error), (*def)->rowCount) << n << ": " << error;
  }
  std::string schema;
  EXPECT_EQ(vasktest::runCommand("mdb-schema '" + path + "' >/dev/null 2>&1"), 0);
}

} // namespace tablestest

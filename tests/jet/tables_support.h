#pragma once
// What the table tests ask of a database file after each change: our integrity and index checks
// clean, and mdbtools reading every user table as our export does.
#include "jet/csv_export.h"
#include "jet/database.h"
#include "jet/index_check.h"
#include "jet/integrity_check.h"
#include "test_support.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
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
  // Access's MSysAccessObjects has a column type (0x11) the reader does not read; the suite's
  // file has that table as Access made it.
  std::erase_if(findings, [](const std::string &f) {
    return f.find("\"MSysAccessObjects\"") != std::string::npos;
  });
  return findings;
}

using vasktest::parseCsv;

// Two fields agree: the same text, or numbers equal to single precision, or the same bytes in
// hex however written.
inline bool sameField(std::string a, std::string b) {
  if (a == b)
    return true;
  char *ea = nullptr, *eb = nullptr;
  double x = std::strtod(a.c_str(), &ea), y = std::strtod(b.c_str(), &eb);
  if (!a.empty() && !b.empty() && *ea == 0 && *eb == 0 && a.rfind("0x", 0) != 0)
    return std::fabs(x - y) <= 1e-6 * std::max(1.0, std::fabs(x));
  auto hex = [](std::string s) {
    if (s.rfind("0x", 0) == 0)
      s = s.substr(2);
    for (auto &ch : s)
      ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
  };
  std::string x16 = hex(a), y16 = hex(b);
  // mdb-export leaves out a binary value's trailing zero bytes.
  auto trimmed = [](std::string s) {
    while (s.size() >= 2 && s.compare(s.size() - 2, 2, "00") == 0)
      s.resize(s.size() - 2);
    return s;
  };
  if (trimmed(x16) == trimmed(y16))
    return true;
  // and writes a GUID as the hex of its text.
  if (y16.empty() || y16.size() % 2 ||
      y16.find_first_not_of("0123456789abcdef") != std::string::npos)
    return false;
  std::string text, upper;
  for (size_t i = 0; i + 1 < y16.size(); i += 2)
    if (char ch = static_cast<char>(std::stoi(y16.substr(i, 2), nullptr, 16)); ch != '-')
      text += ch;
  for (char ch : a)
    if (ch != '-')
      upper += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return text == upper; // (its dashes are not where ours are)
}

// mdb-export's CSV of a table against ours, field by field.
inline void expectSameExport(jet::Database &db, const std::string &path, const std::string &table,
                             size_t rows) {
  std::string theirs;
  ASSERT_EQ(vasktest::runCommand(
                "mdb-export -T '%Y-%m-%d %H:%M:%S' -b hex '" + path + "' '" + table + "'", &theirs),
            0)
      << table;
  auto ours = jet::exportCsv(db, table);
  ASSERT_TRUE(ours) << ours.status().message();
  auto a = parseCsv(*ours), b = parseCsv(theirs);
  ASSERT_EQ(a.size(), b.size()) << table;
  // The same rows: a row moved to another page by an update (an overflow row) comes where each
  // reader meets it, so rows are compared in key order (their first field, then the rest).
  auto order = [](std::vector<std::vector<std::string>> &rows) {
    if (rows.size() > 1)
      std::stable_sort(rows.begin() + 1, rows.end(), [](const auto &x, const auto &y) {
        double p = std::strtod(x.empty() ? "" : x[0].c_str(), nullptr),
               q = std::strtod(y.empty() ? "" : y[0].c_str(), nullptr);
        return p != q ? p < q : x < y;
      });
  };
  order(a);
  order(b);
  EXPECT_EQ(b.size(), rows + 1) << table;
  size_t wrong = 0;
  for (size_t r = 0; r < a.size(); ++r) {
    ASSERT_EQ(a[r].size(), b[r].size()) << table << " row " << r;
    for (size_t k = 0; k < a[r].size(); ++k)
      if (!sameField(a[r][k], b[r][k]) && wrong++ < 5)
        ADD_FAILURE() << table << " row " << r << " field " << k << ": ours \"" << a[r][k]
                      << "\", mdb-export \"" << b[r][k] << "\"";
  }
}

// mdb-tables lists our user tables, mdb-schema reads the file, and mdb-export reads every user
// table as our export does.
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
    expectSameExport(**db, path, n, (*def)->rowCount);
  }
  std::string schema;
  EXPECT_EQ(vasktest::runCommand("mdb-schema '" + path + "' >/dev/null 2>&1"), 0);
}

} // namespace tablestest

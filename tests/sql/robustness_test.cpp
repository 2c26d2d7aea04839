// Mangled statement texts never crash or hang the parser or the executor; they either run or
// fail with a numbered Italian message, and a failure leaves the data as it was.
#include "sql_test_util.h"

#include <random>

using namespace sqltest;

namespace {

TEST(Robustness, MangledStatementsFailCleanly) {
  const std::string seeds[] = {
      "Delete * from BUONI where ( Importo > 100) AND ( Cliente = 'ROSSI')",
      "UPDATE [BUONI] SET [Litri] = 1234.5 where ( NOT ISEMPTY(Note))",
      "select * FROM BUONI Where Data = datevalue('25/12/2003') AND Numero = 3",
      "SELECT Numero, Cliente & '!' AS G INTO Copia FROM BUONI ORDER BY Numero DESC",
      "INSERT INTO BUONI (Numero, Data) VALUES (9, #2003-12-25#)",
      "SELECT * FROM BUONI WHERE Cliente LIKE '[a-c]*' OR Numero IN (1, 2) OR Litri BETWEEN 1 "
      "AND 2",
  };
  const std::string alphabet = "'\"[]#()*,;.=<>&+-/\\!? aZ09àè";
  std::mt19937 rng(20240315);
  MemoryDatabase db;
  makeBuoni(db);
  auto before = db.rows("BUONI");
  int failures = 0;
  for (int round = 0; round < 4000; ++round) {
    std::string s = seeds[rng() % std::size(seeds)];
    int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !s.empty(); ++e) {
      size_t at = rng() % s.size();
      switch (rng() % 3) {
      case 0:
        s.erase(at, 1 + rng() % 3);
        break;
      case 1:
        s.insert(at, 1, alphabet[rng() % alphabet.size()]);
        break;
      default:
        s[at] = alphabet[rng() % alphabet.size()];
      }
    }
    ASSERT_TRUE(db.begin().isOk());
    auto r = run(db, s);
    if (!r) {
      ++failures;
      EXPECT_NE(r.status().number(), 0) << s;
      EXPECT_FALSE(r.status().message().empty()) << s;
    }
    ASSERT_TRUE(db.rollback().isOk());
  }
  EXPECT_GT(failures, 1000);
  EXPECT_EQ(db.rows("BUONI"), before);
}

} // namespace

namespace {

TEST(Robustness, DeepExpressionsAreRefusedBeforeTheyExhaustTheStack) {
  MemoryDatabase db;
  makeBuoni(db);
  const std::string deep[] = {
      "SELECT * FROM BUONI WHERE " + std::string(100000, '(') + "1" + std::string(100000, ')'),
      [] {
        std::string s = "SELECT * FROM BUONI WHERE Numero = 1";
        for (int i = 0; i < 100000; ++i)
          s += "+1";
        return s;
      }(),
      [] {
        std::string s = "SELECT * FROM BUONI WHERE ";
        for (int i = 0; i < 100000; ++i)
          s += "NOT ";
        return s + "True";
      }(),
      "SELECT * FROM BUONI WHERE Numero = " + std::string(100000, '-') + "1",
  };
  for (const auto &s : deep) {
    auto r = run(db, s);
    ASSERT_FALSE(r.isOk());
    EXPECT_EQ(r.status().code(), jet::ErrorCode::TooComplex);
    EXPECT_NE(r.status().message().find("troppo complessa"), std::string::npos);
  }
  // Wide is fine: a long IN list and a condition chain as long as a filter can make.
  std::string in = "SELECT * FROM BUONI WHERE Numero IN (0";
  for (int i = 1; i < 20000; ++i)
    in += "," + std::to_string(i);
  EXPECT_EQ(query(db, in + ")").rows.size(), 5u);
  std::string chain = "select * FROM BUONI Where Numero > 0";
  for (int i = 0; i < 300; ++i)
    chain += " AND Numero < " + std::to_string(1000 + i);
  EXPECT_EQ(query(db, chain).rows.size(), 5u);
}

} // namespace

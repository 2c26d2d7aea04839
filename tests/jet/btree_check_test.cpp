// The index check against files written by Access and by an independent library: their trees
// are what a sound index looks like, so the check must find nothing in them; and damage put in
// on purpose must be found.
#include "jet/database.h"
#include "jet/index_check.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace jet;

namespace {

std::vector<std::string> jet4Fixtures() {
  return {"access/indexTestV2000.mdb",       "access/bigIndexTestV2000.mdb",
          "access/compIndexTestV2000.mdb",   "access/testIndexPropertiesV2000.mdb",
          "access/indexCursorTestV2000.mdb", "access/testV2000.mdb",
          "access/delTestV2000.mdb",         "access/overflowTestV2000.mdb",
          "sortorder/caratteri.mdb",         "suite/zelbo.mdb"};
}

} // namespace

TEST(BtreeCheck, FindsNothingInTheReferenceFiles) {
  VASK_REQUIRE_FIXTURES();
  size_t indexes = 0;
  for (const auto &rel : jet4Fixtures()) {
    SCOPED_TRACE(rel);
    auto db = Database::open((vasktest::fixturesDir() / rel).string());
    ASSERT_TRUE(db) << db.status().message();
    for (const auto &name : (*db)->userTableNames()) {
      auto def = (*db)->table(name);
      ASSERT_TRUE(def) << def.status().message();
      auto findings = checkTableIndexes((*db)->pager(), *def);
      ASSERT_TRUE(findings) << name << ": " << findings.status().message();
      for (const auto &f : *findings)
        ADD_FAILURE() << f;
      indexes += (*def)->physicalIndexes.size();
    }
  }
  EXPECT_GT(indexes, 50u);
}

// The table cursor: physical order, row locations, bounded memory, lookups by name.
#include "jet/csv_export.h"
#include "jet/database.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <set>

using namespace jet;

namespace {

std::string fixture(const char *rel) {
  return (vasktest::fixturesDir() / rel).string();
}

TEST(TableCursor, ReadsALargeTableThroughASmallCache) {
  VASK_REQUIRE_FIXTURES();
  auto big = Database::open(fixture("suite/zelbo.mdb"));
  auto small = Database::open(fixture("suite/zelbo.mdb"), OpenMode::ReadOnly, 8);
  ASSERT_TRUE(big && small);
  // The 70,000-character memo spans a chain of pages larger than the small cache.
  for (const char *table : {"BUONI", "MOVIMENTI", "TipiDati", "CLIENTI"}) {
    auto a = exportCsv(**big, table);
    auto b = exportCsv(**small, table);
    ASSERT_TRUE(a && b) << table;
    EXPECT_EQ(*a, *b) << table;
    EXPECT_LE((*small)->pager().cachedPages(), 8u);
  }
}

TEST(TableCursor, LocationsAreDistinctAndInPhysicalOrder) {
  VASK_REQUIRE_FIXTURES();
  auto db = Database::open(fixture("access/overflowTestV2000.mdb"));
  ASSERT_TRUE(db);
  auto cursor = (*db)->cursor("Table1");
  ASSERT_TRUE(cursor) << cursor.status().message();
  std::set<std::pair<uint32_t, uint16_t>> seen;
  RowLocation last{};
  int rows = 0, moved = 0;
  for (;;) {
    auto more = cursor->next();
    ASSERT_TRUE(more) << more.status().message();
    if (!*more)
      break;
    RowLocation at = cursor->location();
    EXPECT_TRUE(seen.insert({at.page, at.row}).second);
    if (rows > 0) {
      EXPECT_TRUE(at.page > last.page || (at.page == last.page && at.row > last.row));
    }
    moved += cursor->dataPage() != at.page;
    last = at;
    ++rows;
  }
  EXPECT_GT(moved, 0) << "the fixture has overflow rows";
  // Rewinding gives the same rows again.
  cursor->rewind();
  int again = 0;
  while (cursor->next().value())
    ++again;
  EXPECT_EQ(again, rows);
}

TEST(TableCursor, SingleColumnsDecodeWithoutTheRest) {
  VASK_REQUIRE_FIXTURES();
  auto db = Database::open(fixture("suite/zelbo.mdb"));
  ASSERT_TRUE(db);
  auto cursor = (*db)->cursor("TipiDati");
  ASSERT_TRUE(cursor);
  ASSERT_TRUE(cursor->next().value());
  const TableDef &t = cursor->table();
  const ColumnDef *memo = t.findColumn("Memo");
  ASSERT_NE(memo, nullptr);
  auto v = cursor->value(static_cast<size_t>(memo - t.columns.data()));
  ASSERT_TRUE(v) << v.status().message();
  ASSERT_TRUE(v->is<std::string>());
  EXPECT_GE(v->as<std::string>().size(), 70000u);
  EXPECT_FALSE(cursor->value(t.columns.size()));
}

TEST(Database, TablesAreFoundIgnoringCaseAndUnknownOnesReported) {
  VASK_REQUIRE_FIXTURES();
  auto db = Database::open(fixture("suite/zelbo.mdb"));
  ASSERT_TRUE(db);
  auto a = (*db)->table("listino prezzi");
  ASSERT_TRUE(a);
  EXPECT_EQ((*a)->name, "Listino Prezzi");
  auto b = (*db)->table("LISTINO PREZZI");
  ASSERT_TRUE(b);
  EXPECT_EQ(a->get(), b->get()); // read once
  auto missing = (*db)->table("Inesistente");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.status().code(), ErrorCode::NoSuchTable);
  EXPECT_NE(missing.status().message().find("Inesistente"), std::string::npos);
}

} // namespace

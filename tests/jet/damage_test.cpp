// A damaged or truncated file gives an Italian error naming table and page; it never
// crashes, hangs or reads outside the file.
#include "jet/csv_export.h"
#include "jet/database.h"
#include "jet/index_maintenance.h"
#include "jet/table_writer.h"
#include "test_support.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

namespace fs = std::filesystem;
using namespace jet;

namespace {

std::vector<uint8_t> readBytes(const fs::path &p) {
  std::string s = vasktest::readFile(p);
  return {s.begin(), s.end()};
}

void writeBytes(const fs::path &p, const std::vector<uint8_t> &b) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Opens the file and reads every table to the end. Returns the first failure, if any.
Status readEverything(const fs::path &p) {
  auto db = Database::open(p.string());
  if (!db)
    return db.status();
  for (const auto &name : (*db)->tableNames()) {
    auto csv = exportCsv(**db, name);
    if (!csv)
      return csv.status();
  }
  return Status::ok();
}

void expectWellFormedFailure(const Status &st) {
  if (st)
    return;
  EXPECT_TRUE(st.code() == ErrorCode::Corrupt || st.code() == ErrorCode::NotADatabase)
      << st.number() << " " << st.message();
  if (st.code() == ErrorCode::Corrupt) {
    EXPECT_NE(st.message().find("danneggiato"), std::string::npos) << st.message();
    EXPECT_NE(st.message().find("tabella \""), std::string::npos) << st.message();
    EXPECT_NE(st.message().find("pagina "), std::string::npos) << st.message();
  }
}

struct Pages {
  std::vector<uint32_t> tableDefs, data;
};

Pages classify(const std::vector<uint8_t> &b) {
  Pages p;
  for (uint32_t n = 1; (n + 1) * 4096 <= b.size(); ++n) {
    uint8_t type = b[n * 4096];
    if (type == 0x02)
      p.tableDefs.push_back(n);
    else if (type == 0x01)
      p.data.push_back(n);
  }
  return p;
}

TEST(DamagedFile, TruncatedFilesFailCleanly) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  fs::path src = vasktest::fixturesDir() / "suite/zelbo.mdb";
  auto original = readBytes(src);
  const size_t sizes[] = {0,
                          1,
                          200,
                          4096,
                          3 * 4096,
                          3 * 4096 + 7,
                          original.size() / 4,
                          original.size() / 2,
                          original.size() - 4096,
                          original.size() - 1};
  for (size_t size : sizes) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> cut(original.begin(), original.begin() + size);
    fs::path p = dir.file("troncato.mdb");
    writeBytes(p, cut);
    Status st = readEverything(p);
    expectWellFormedFailure(st);
    if (size > 4096 && size <= original.size() / 2) {
      EXPECT_FALSE(st) << "half the file is gone, yet everything read";
    }
  }
}

TEST(DamagedFile, FlippedBytesInDefinitionsAndDataPagesFailCleanly) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  std::mt19937 rng(20261209);
  for (const char *name : {"suite/zelbo.mdb", "access/testV2000.mdb",
                           "access/overflowTestV2000.mdb", "access/test2V2000.mdb"}) {
    SCOPED_TRACE(name);
    auto original = readBytes(vasktest::fixturesDir() / name);
    Pages pages = classify(original);
    ASSERT_FALSE(pages.tableDefs.empty());
    int failures = 0;
    for (int round = 0; round < 150; ++round) {
      auto b = original;
      const auto &pool = round % 2 ? pages.data : pages.tableDefs;
      uint32_t page = pool[rng() % pool.size()];
      int flips = 1 + static_cast<int>(rng() % 8);
      for (int k = 0; k < flips; ++k) {
        // Headers and offset tables are where damage bites; favour the page's start.
        size_t off = rng() % 2 ? rng() % 128 : rng() % 4096;
        b[page * 4096 + off] ^= static_cast<uint8_t>(1 + rng() % 255);
      }
      fs::path p = dir.file("danneggiato.mdb");
      writeBytes(p, b);
      Status st = readEverything(p);
      expectWellFormedFailure(st);
      failures += !st;
    }
    EXPECT_GT(failures, 0) << "no damage was ever noticed";
  }
}

TEST(DamagedFile, ErrorsNameTheTableAndThePage) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  fs::path p = vasktest::copyFixture("suite/zelbo.mdb", dir);
  uint32_t defPage, dataPage;
  {
    auto db = Database::open(p.string());
    ASSERT_TRUE(db);
    auto def = (*db)->table("BUONI");
    ASSERT_TRUE(def);
    defPage = (*def)->page;
    auto cursor = (*db)->cursor("BUONI");
    ASSERT_TRUE(cursor);
    ASSERT_TRUE(cursor->next().value());
    dataPage = cursor->location().page;
  }
  auto original = readBytes(p);

  // A row offset pointing into the page header.
  auto b = original;
  b[dataPage * 4096 + 14] = 0x05;
  b[dataPage * 4096 + 15] = 0x00;
  writeBytes(p, b);
  {
    auto db = Database::open(p.string());
    ASSERT_TRUE(db);
    auto csv = exportCsv(**db, "BUONI");
    ASSERT_FALSE(csv);
    EXPECT_EQ(csv.status().code(), ErrorCode::Corrupt);
    EXPECT_NE(csv.status().message().find("tabella \"BUONI\""), std::string::npos)
        << csv.status().message();
    EXPECT_NE(csv.status().message().find("pagina " + std::to_string(dataPage)), std::string::npos)
        << csv.status().message();
    // Other tables still read.
    EXPECT_TRUE(exportCsv(**db, "CLIENTI"));
  }

  // A definition chain that loops back on itself.
  b = original;
  uint32_t self = defPage;
  std::memcpy(&b[defPage * 4096 + 4], &self, 4);
  writeBytes(p, b);
  {
    auto db = Database::open(p.string());
    ASSERT_TRUE(db);
    auto def = (*db)->table("BUONI");
    ASSERT_FALSE(def);
    EXPECT_NE(def.status().message().find("tabella \"BUONI\""), std::string::npos);
    EXPECT_NE(def.status().message().find("pagina " + std::to_string(defPage)), std::string::npos)
        << def.status().message();
  }

  // A catalogue entry naming the header page, or a page that is no definition.
  {
    auto db = Database::open(p.string());
    ASSERT_TRUE(db);
    for (uint32_t page : {0u, 1u, 0xFFFFFFu}) {
      auto def = readTableDef((*db)->pager(), page, "Finta");
      ASSERT_FALSE(def);
      EXPECT_EQ(def.status().code(), ErrorCode::Corrupt);
      EXPECT_NE(def.status().message().find("tabella \"Finta\", pagina " + std::to_string(page)),
                std::string::npos)
          << def.status().message();
    }
  }

  // The definition page overwritten by another page type.
  b = original;
  b[defPage * 4096] = 0x04;
  writeBytes(p, b);
  {
    auto db = Database::open(p.string());
    ASSERT_TRUE(db);
    auto def = (*db)->table("buoni");
    ASSERT_FALSE(def);
    EXPECT_NE(def.status().message().find("non è una pagina di definizione"), std::string::npos)
        << def.status().message();
  }
}

} // namespace

namespace {

// A catalogue row of MSysObjects itself that lost its system flag must not make the catalogue
// look itself up for its own design properties, without end.
TEST(DamagedFile, CatalogueRowWithoutItsSystemFlag) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  fs::path path = vasktest::copyFixture("access/test2V2000.mdb", dir);
  {
    auto db = Database::open(path.string(), OpenMode::ReadWrite);
    ASSERT_TRUE(db);
    const CatalogEntry *e = (*db)->catalog().findTable("MSysObjects");
    ASSERT_NE(e, nullptr);
    auto def = (*db)->table("MSysObjects");
    ASSERT_TRUE(def);
    TableWriter w({(*db)->pager(), (*db)->pageAllocator()}, *def, noIndexMaintenance());
    auto row = w.read(e->location);
    ASSERT_TRUE(row);
    const ColumnDef *flags = (*def)->findColumn("Flags");
    ASSERT_NE(flags, nullptr);
    (*row)[static_cast<size_t>(flags - (*def)->columns.data())] = Value(int32_t(0));
    ASSERT_TRUE((*db)->begin());
    ASSERT_TRUE(w.update(e->location, *row));
    ASSERT_TRUE((*db)->commit());
  }
  auto db = Database::open(path.string(), OpenMode::ReadOnly);
  if (!db) {
    expectWellFormedFailure(db.status());
    return;
  }
  for (const auto &t : (*db)->catalog().tables()) {
    auto def = (*db)->table(t.name);
    if (!def)
      expectWellFormedFailure(def.status());
  }
}

} // namespace

// vaskdb check: "ok" on sound files, findings and exit status 1 on damaged ones.
#include "jet/index_maintenance.h"
#include "jet/long_value.h"
#include "jet/page_allocator.h"
#include "jet/page_store.h"
#include "jet/usage_map.h"
#include "write_support.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace {

using namespace writetest;

std::string vaskdb() {
  return (vasktest::binaryDir() / "vaskdb").string();
}

// Damages a copy through the engine's own page access, then runs the tool on it.
std::pair<int, std::string> checkAfter(const std::function<void(jet::Database &)> &damage) {
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  {
    auto db = openWritable(path);
    EXPECT_TRUE(db->begin().isOk());
    damage(*db);
    EXPECT_TRUE(db->commit().isOk());
  }
  std::string out;
  int rc = vasktest::runCommand(vaskdb() + " check '" + path.string() + "' 2>&1", &out);
  return {rc, out};
}

TEST(WriteCheck, SoundFilesAreOk) {
  VASK_REQUIRE_FIXTURES();
  for (const char *f : {"suite/zelbo.mdb", "access/testV2000.mdb", "access/overflowTestV2000.mdb",
                        "sortorder/caratteri.mdb"}) {
    std::string out;
    EXPECT_EQ(vasktest::runCommand(
                  vaskdb() + " check '" + (vasktest::fixturesDir() / f).string() + "'", &out),
              0)
        << f;
    EXPECT_EQ(out, "ok\n") << f;
  }
}

TEST(WriteCheck, DamageIsFoundAndNamed) {
  VASK_REQUIRE_FIXTURES();
  auto firstPage = [](jet::Database &db, const std::string &t) {
    auto c = db.cursor(t);
    EXPECT_TRUE(*c->next());
    return c->location().page;
  };
  {
    auto [rc, out] = checkAfter([](jet::Database &db) {
      auto def = db.table("BUONI");
      uint8_t count[4] = {0xD3, 0x04, 0, 0}; // 1235
      ASSERT_TRUE(
          jet::writeTableDefBytes(db.pager(), **def, jet::kTableDefRowCountOffset, {count, 4})
              .isOk());
    });
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("Tabella 'BUONI': la definizione conta 1235 righe, la tabella ne ha 1234"),
              std::string::npos)
        << out;
  }
  {
    uint32_t page = 0;
    auto [rc, out] = checkAfter([&](jet::Database &db) {
      page = firstPage(db, "CLIENTI");
      jet::UsageMapEditor used(db.pager(), &db.pageAllocator(),
                               (*db.table("CLIENTI"))->usedPagesMap);
      ASSERT_TRUE(used.remove(page).isOk());
    });
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("Tabella 'CLIENTI': pagine di dati assenti dalla mappa della tabella: " +
                       std::to_string(page)),
              std::string::npos)
        << out;
  }
  {
    auto [rc, out] = checkAfter([&](jet::Database &db) {
      uint32_t page = firstPage(db, "FATTURE");
      jet::UsageMapEditor used(db.pager(), &db.pageAllocator(),
                               (*db.table("CLIENTI"))->usedPagesMap);
      ASSERT_TRUE(used.add(page).isOk());
      auto img = db.pager().modify(firstPage(db, "SCADENZE"));
      (*img)[2] ^= 0x10;
      jet::UsageMapEditor global(db.pager(), &db.pageAllocator(),
                                 jet::PageAllocator::kGlobalMapWord, true);
      // The map covers pages from 512 on in this file.
      ASSERT_TRUE(global.add(firstPage(db, "TipiDati")).isOk());
    });
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("Tabella 'CLIENTI': la mappa della tabella elenca pagine che non sono sue"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Tabella 'SCADENZE': pagina"), std::string::npos) << out;
    EXPECT_NE(out.find("lo spazio libero indicato"), std::string::npos) << out;
    EXPECT_NE(out.find("Mappa delle pagine libere: pagine in uso segnate come libere"),
              std::string::npos)
        << out;
  }
  {
    // The 70,000-character memo's chain cut after its first part.
    auto [rc, out] = checkAfter([&](jet::Database &db) {
      auto c = db.cursor("TipiDati");
      ASSERT_TRUE(*c->next());
      const jet::ColumnDef *memo = c->table().findColumn("Memo");
      auto field = c->layout().varField(memo->varIndex, c->dataPage());
      auto ref = jet::LongValueRef::parse(*field, c->dataPage());
      ASSERT_EQ(ref->kind, jet::LongValueRef::kChain);
      auto img = db.pager().modify(ref->first.page);
      uint16_t start =
          (*img)[14 + 2 * ref->first.row] | (((*img)[15 + 2 * ref->first.row] & 0x1F) << 8);
      std::memset(*img + start, 0, 4);
    });
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("Tabella 'TipiDati': riga in pagina"), std::string::npos) << out;
    EXPECT_NE(out.find("catena di un campo memo o OLE interrotta"), std::string::npos) << out;
  }
}

// The engine's system tables are checked as user tables are (their rows, maps, free space and
// indexes); a file past the format's 2 GB is reported, and nothing more is written to it.
TEST(WriteCheck, SystemTablesAndTheFileSizeAreChecked) {
  VASK_REQUIRE_FIXTURES();
  {
    auto [rc, out] = checkAfter([](jet::Database &db) {
      auto c = db.cursor("MSysObjects");
      ASSERT_TRUE(*c->next());
      auto img = db.pager().modify(c->location().page);
      (*img)[2] ^= 0x10;
    });
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("Tabella 'MSysObjects': pagina"), std::string::npos) << out;
    EXPECT_NE(out.find("lo spazio libero indicato"), std::string::npos) << out;
  }
  {
    // A catalogue row changed behind its indexes' back.
    auto [rc, out] = checkAfter([](jet::Database &db) {
      db.setIndexMaintainer(&jet::noIndexMaintenance());
      auto c = db.cursor("MSysObjects");
      const jet::ColumnDef *name = c->table().findColumn("Name");
      size_t col = size_t(name - c->table().columns.data());
      for (;;) {
        ASSERT_TRUE(*c->next());
        std::vector<jet::Value> row;
        ASSERT_TRUE(c->read(row).isOk());
        if (row[col] == jet::Value(std::string("CLIENTI"))) {
          row[col] = jet::Value(std::string("CLIENTI2"));
          ASSERT_TRUE(db.updateRow("MSysObjects", c->location(), row).isOk());
          break;
        }
      }
    });
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("MSysObjects"), std::string::npos) << out;
  }
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  std::filesystem::resize_file(path, jet::kMaxDatabaseBytes + jet::kPageSize);
  EXPECT_EQ(checkFindings(path),
            "Il file è di 2147487744 byte: oltre i 2 GB che il formato consente a un database\n");
  auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
  if (db) {
    std::vector<jet::Value> row((*(*db)->table("IVA"))->columns.size());
    EXPECT_FALSE((*db)->insertRow("IVA", row).isOk());
  }
  EXPECT_EQ(std::filesystem::file_size(path), jet::kMaxDatabaseBytes + jet::kPageSize);
}

} // namespace

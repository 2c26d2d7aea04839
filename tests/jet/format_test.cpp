// Files that are not Jet 4 databases are refused with an Italian message, never misread.
#include "jet/database.h"
#include "jet/header.h"
#include "test_support.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

using namespace jet;

namespace {

void writeFile(const std::filesystem::path &p, const std::vector<uint8_t> &bytes) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Page 0 of a Jet file of the given version, then `pages - 1` zero pages.
std::vector<uint8_t> jetHeader(uint8_t version, const char *text, size_t pages) {
  std::vector<uint8_t> b(pages * 4096, 0);
  b[1] = 0x01;
  std::memcpy(&b[4], text, std::strlen(text) + 1);
  b[0x14] = version;
  return b;
}

Status openStatus(const std::filesystem::path &p) {
  auto db = Database::open(p.string());
  return db.status();
}

TEST(FormatCheck, RefusesFilesThatAreNotAccess2000Databases) {
  vasktest::TempDir dir;
  struct Case {
    const char *name;
    std::vector<uint8_t> bytes;
    const char *mention;
  } cases[] = {
      {"vuoto.mdb", {}, "troppo corto"},
      {"corto.mdb", std::vector<uint8_t>(100, 0), "troppo corto"},
      {"testo.mdb", std::vector<uint8_t>(8192, 'a'), "non è un database di Access 2000-2003"},
      {"jet3.mdb", jetHeader(0, "Standard Jet DB", 3), "Access 97"},
      {"ace.accdb", jetHeader(2, "Standard ACE DB", 3), "Access 2007"},
      {"ace14.accdb", jetHeader(3, "Standard ACE DB", 3), "Access 2007"},
      {"solo-intestazione.mdb", jetHeader(1, "Standard Jet DB", 1), "manca il catalogo"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(dir.file(c.name), c.bytes);
    Status st = openStatus(dir.file(c.name));
    EXPECT_EQ(st.code(), ErrorCode::NotADatabase);
    EXPECT_NE(st.message().find(c.mention), std::string::npos) << st.message();
    EXPECT_NE(st.message().find(c.name), std::string::npos) << st.message();
  }
}

TEST(FormatCheck, JetFourHeaderWithoutCatalogueIsDamagedNotMisread) {
  vasktest::TempDir dir;
  // A valid header but page 2 is not the catalogue's definition.
  writeFile(dir.file("vuoto.mdb"), jetHeader(1, "Standard Jet DB", 4));
  Status st = openStatus(dir.file("vuoto.mdb"));
  EXPECT_EQ(st.code(), ErrorCode::Corrupt);
  EXPECT_NE(st.message().find("MSysObjects"), std::string::npos) << st.message();
  EXPECT_NE(st.message().find("pagina 2"), std::string::npos) << st.message();
}

TEST(FormatCheck, MissingFileAndFolderAreIoErrors) {
  vasktest::TempDir dir;
  Status missing = openStatus(dir.file("assente.mdb"));
  EXPECT_EQ(missing.code(), ErrorCode::IoError);
  EXPECT_NE(missing.message().find("non esiste"), std::string::npos) << missing.message();
  Status folder = openStatus(dir.path());
  EXPECT_EQ(folder.code(), ErrorCode::IoError);
  EXPECT_NE(folder.message().find("cartella"), std::string::npos) << folder.message();
}

TEST(FormatCheck, TheOtherFormatsAmongTheFixturesAreRefused) {
  VASK_REQUIRE_FIXTURES();
  auto jet3 = Database::open((vasktest::fixturesDir() / "access/test2V1997.mdb").string());
  ASSERT_FALSE(jet3);
  EXPECT_EQ(jet3.status().code(), ErrorCode::NotADatabase);
  EXPECT_NE(jet3.status().message().find("Access 97"), std::string::npos);
  auto ace = Database::open((vasktest::fixturesDir() / "access/test2V2007.accdb").string());
  ASSERT_FALSE(ace);
  EXPECT_EQ(ace.status().code(), ErrorCode::NotADatabase);
  EXPECT_NE(ace.status().message().find("Access 2007"), std::string::npos);
}

TEST(FormatCheck, HeaderRegionIsDecoded) {
  // RC4 is its own inverse: encoding a known header and parsing it gives the fields back.
  std::vector<uint8_t> b = jetHeader(1, "Standard Jet DB", 3);
  b[0x18 + 0] = 0; // plain fields before encoding
  b[0x3C] = 0xE4;
  b[0x3D] = 0x04;
  b[0x6E] = 0x09;
  b[0x6F] = 0x04;
  const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
  rc4(key, 4, b.data() + 0x18, 128);
  auto h = DatabaseHeader::parse({b.data(), 4096}, b.size(), "x.mdb");
  ASSERT_TRUE(h) << h.status().message();
  EXPECT_EQ(h->codePage, 1252);
  EXPECT_EQ(h->sortOrder, 0x409);
  // Known RC4 vector ("Key" / "Plaintext").
  uint8_t text[] = {'P', 'l', 'a', 'i', 'n', 't', 'e', 'x', 't'};
  const uint8_t k[] = {'K', 'e', 'y'};
  rc4(k, 3, text, sizeof text);
  const uint8_t expected[] = {0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3};
  EXPECT_EQ(std::memcmp(text, expected, sizeof text), 0);
}

} // namespace

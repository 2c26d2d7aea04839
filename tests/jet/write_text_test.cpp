// Text is stored as Access stores it: for every text and short memo in the Access-written
// fixtures, encoding the decoded value again gives the very bytes Access wrote.
#include "jet/text_codec.h"
#include "write_support.h"

#include <gtest/gtest.h>

namespace {

TEST(WriteText, EncodingReproducesAccessBytes) {
  VASK_REQUIRE_FIXTURES();
  size_t compared = 0, compressed = 0;
  std::string mismatches;
  for (const auto &entry :
       std::filesystem::directory_iterator(vasktest::fixturesDir() / "access")) {
    if (entry.path().extension() != ".mdb" || entry.path().filename() == "test2V1997.mdb")
      continue;
    auto db = writetest::openReading(entry.path());
    ASSERT_TRUE(db);
    for (const auto &t : db->userTableNames()) {
      auto c = db->cursor(t);
      ASSERT_TRUE(c.isOk());
      while (*c->next()) {
        for (const auto &col : c->table().columns) {
          if (col.type != jet::ColumnType::Text || col.isFixed() ||
              !c->layout().isSet(col.number) || col.varIndex >= c->layout().varCount())
            continue;
          auto field = c->layout().varField(col.varIndex, c->dataPage());
          ASSERT_TRUE(field.isOk());
          std::u16string u;
          ASSERT_TRUE(jet::toUtf16(jet::decodeJetText(*field), u));
          jet::Bytes again = jet::encodeJetText(u, col.compressedUnicode());
          ++compared;
          if (field->size() >= 2 && (*field)[0] == 0xFF && (*field)[1] == 0xFE)
            ++compressed;
          if (!std::equal(again.begin(), again.end(), field->begin(), field->end()) &&
              mismatches.size() < 2000)
            mismatches += entry.path().filename().string() + " " + t + "." + col.name + ": " +
                          jet::decodeJetText(*field) + "\n";
        }
      }
    }
  }
  EXPECT_GT(compared, 100u);
  EXPECT_GT(compressed, 50u);
  EXPECT_EQ(mismatches, "");
}

} // namespace

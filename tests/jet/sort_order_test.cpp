#include "index_fixture.h"
#include "jet/sort_order.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace jet;
using indextest::hexBytes;

namespace {

Bytes key(const std::string &text, bool ascending = true) {
  Bytes out;
  Status st = appendGeneralTextKey(text, ascending, out);
  EXPECT_TRUE(st.isOk()) << st.message();
  return out;
}

// Windows-1252 bytes 0x80 to 0x9F; 0 where the code page leaves the byte undefined.
const char32_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string utf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | c >> 6);
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | c >> 12);
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | c >> 18);
    s += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

} // namespace

// Keys as they stand in the fixtures' index pages (the part after the flag byte), so that the
// encoder stays pinned where the fixture folder is absent.
TEST(GeneralSortOrder, ReproducesKeysFoundInIndexPages) {
  const std::pair<const char *, const char *> cases[] = {
      {"", "01 00"},
      {"Perché", "66 51 69 4d 57 51 01 02 02 02 02 02 0e 00"},
      {"PERCHÉ", "66 51 69 4d 57 51 01 02 02 02 02 02 0e 00"},
      {"Città di Castello",
       "4d 59 6d 6d 4a 07 4f 59 07 4d 4a 6b 6d 51 5e 5e 64 01 02 02 02 02 0f 00"},
      {"L'Aquila", "5e 4a 68 6f 59 5e 4a 01 01 01 01 80 0b 06 80 00"},
      {"€ 10,50", "35 a1 07 38 36 1a 40 36 01 00"},
      {"“virgolette”", "2b 3b 71 59 69 55 64 5e 51 6d 6d 51 2b 3c 01 00"},
      {"tab\tdentro", "6d 4a 4c 08 03 4f 51 62 6d 69 64 01 00"},
      {"Ærø", "4a 51 69 64 01 02 02 21 00"},
      {"straße", "6b 6d 69 4a 6b 6b 51 01 00"},
      {"-1", "38 01 01 01 01 80 07 06 82 00"},
      {"Az\x01"
       "9",
       "4a 78 48 01 01 01 01 80 0f 06 03 00"},
      {"Azƒ9", "4a 78 53 48 01 02 02 7b 00"},
      {"  inizio", "07 07 59 62 59 78 59 64 01 00"},
  };
  for (const auto &[text, hex] : cases)
    EXPECT_EQ(key(text), hexBytes(hex)) << text;
  EXPECT_EQ(key("Perché", false), hexBytes("99 ae 96 b2 a8 ae fe fd fd fd fd fd f1 ff 00"));
  EXPECT_EQ(key("L'Aquila", false), hexBytes("a1 b5 97 90 a6 a1 b5 fe fe fe fe 7f f4 f9 7f ff 00"));
  EXPECT_EQ(key("", false), hexBytes("fe ff 00"));
}

TEST(GeneralSortOrder, OrdersItalianTextCaseInsensitivelyAccentsAfterPlainLetters) {
  // Sorted as the General order sorts them; equal keys are marked by an equal neighbour.
  const std::vector<std::string> sorted = {"",        "a",      "à",      "ab",    "Abaco",
                                           "b",       "caffe",  "caffè",  "città", "cittadino",
                                           "d'Amico", "perché", "perciò", "z"};
  for (size_t i = 1; i < sorted.size(); ++i)
    EXPECT_LT(key(sorted[i - 1]), key(sorted[i])) << sorted[i - 1] << " / " << sorted[i];
  for (size_t i = 1; i < sorted.size(); ++i)
    EXPECT_GT(key(sorted[i - 1], false), key(sorted[i], false)) << sorted[i];
  EXPECT_EQ(key("Caffè"), key("CAFFÈ"));
  EXPECT_EQ(key("ß"), key("ss"));
  EXPECT_NE(key("L'Aquila"), key("LAquila")); // the apostrophe still tells them apart
}

TEST(GeneralSortOrder, IgnoresTrailingBlanksAndTextBeyondTheIndexedLength) {
  EXPECT_EQ(key("fine  "), key("fine"));
  EXPECT_EQ(key("   "), key(""));
  EXPECT_NE(key("fine\u00a0"), key("fine")); // only the plain blank is dropped
  EXPECT_NE(key(" fine"), key("fine"));

  const std::string x255(kMaxIndexedTextChars, 'x');
  EXPECT_EQ(key(std::string(300, 'x')), key(x255));
  EXPECT_EQ(key(x255 + "中"), key(x255)); // past the indexed length nothing counts
  EXPECT_EQ(key(std::string(250, 'x') + "     yyy"), key(std::string(250, 'x')));
  // The limit counts characters, not bytes.
  const std::string accents(300, 'a');
  std::string e300;
  for (int i = 0; i < 300; ++i)
    e300 += "è";
  std::string e255;
  for (size_t i = 0; i < kMaxIndexedTextChars; ++i)
    e255 += "è";
  EXPECT_EQ(key(e300), key(e255));
}

TEST(GeneralSortOrder, RefusesTextThatIsNotUtf8AndLeavesTheOutputAlone) {
  const std::string bad[] = {
      "\xc3",
      "\xc0\xaf",
      "\xed\xa0\x80",
      "\xf8\x88\x80\x80\x80",
      "\xf4\x90\x80\x80",
      "abc\xff",
      std::string(300, 'x') + "\xff", // checked beyond the indexed length too
  };
  for (const auto &text : bad) {
    Bytes out = {0x7f};
    Status st = appendGeneralTextKey(text, true, out);
    EXPECT_FALSE(st.isOk()) << text;
    EXPECT_EQ(st.code(), ErrorCode::KeyNotEncodable) << text;
    EXPECT_NE(st.message().find("chiave dell'indice"), std::string::npos) << st.message();
    EXPECT_NE(st.message().find("UTF-8"), std::string::npos) << st.message();
    EXPECT_EQ(out, Bytes{0x7f});
  }
}

// Keys of the reference code tables, checked by hand against their lines: letters with
// accents, combining marks, Greek and Cyrillic with their cases, symbols, CJK, kana (size
// flags after the text), a character beyond the BMP (two units), C1 controls (positional
// codes) and characters the Jet engine leaves out (U+0000, U+0218, U+20AD).
TEST(GeneralSortOrder, ReproducesTheReferenceKeysBeyondWindows1252) {
  const std::pair<const char *, const char *> cases[] = {
      {"Ștefan", "6d 51 53 4a 62 01 00"},
      {"Łódź", "5e 64 4f 78 01 1f 0e 02 0e 00"},
      {"Dvořák", "4f 71 64 69 4a 5c 01 02 02 02 14 0e 00"},
      {"Őrség", "64 69 6b 51 55 01 1d 02 02 0e 00"},
      {"Crăciun", "4d 69 4a 4d 59 6f 62 01 02 02 15 00"},
      {"Ā", "4a 01 17 00"},
      {"e\u0301", "51 01 0e 00"},
      {"Αθήνα", "79 0c 79 13 79 12 79 18 79 0c 01 02 02 05 00"},
      {"ΑΘΗΝΑ", "79 0c 79 13 79 12 79 18 79 0c 01 00"},
      {"Москва", "79 43 79 46 79 49 79 40 79 31 79 2f 01 00"},
      {"→", "34 82 01 03 00"},
      {"★", "34 d9 01 00"},
      {"№", "63 02 01 00"},
      {"Ærø → Ζ", "4a 51 69 64 07 34 82 07 79 11 01 02 02 21 02 03 00"},
      {"東京", "b8 ee 9f c6 01 00"},
      {"Nome: 中", "62 64 60 51 20 07 9f 3d 01 00"},
      {"カタカナ", "7f 0a 7f 1a 7f 0a 7f 22 01 01 01 ff 02 80 ff 80 00"},
      {"ぁ", "7f 02 01 01 01 a0 ff 02 80 ff 80 00"},
      {"😀", "b0 3f b6 fc 01 3f 3f 00"},
      {"ok 😀", "64 5c 07 b0 3f b6 fc 01 02 02 02 3f 3f 00"},
      {"\u0081", "01 01 01 01 80 07 06 1f 00"},
      {"Dvořák-Łódź",
       "4f 71 64 69 4a 5c 5e 64 4f 78 01 02 02 02 14 0e 02 1f 0e 02 0e 01 01 01 80 1f 06 82 00"},
      {"\u20ad", "01 00"},
  };
  for (const auto &[text, hex] : cases)
    EXPECT_EQ(key(text), hexBytes(hex)) << text;
  EXPECT_EQ(key(std::string("a\0b", 3)), hexBytes("4a 4c 01 00"));
  EXPECT_EQ(key("Łódź", false), hexBytes("a1 9b b0 87 fe e0 f1 fd f1 ff 00"));
  EXPECT_EQ(key("カタカナ", false),
            hexBytes("80 f5 80 e5 80 f5 80 dd fe fe fe 00 fd 7f 00 7f ff 00"));
  EXPECT_EQ(key("😀", false), hexBytes("4f c0 49 03 fe c0 c0 ff 00"));
}

TEST(GeneralSortOrder, CountsUtf16UnitsAndLeavesOutWhatTheJetEngineDoesNotKnow) {
  // Unknown characters take no bytes, so these are the same key (a unique index holds one).
  EXPECT_EQ(key("Ștefan"), key("tefan"));
  EXPECT_EQ(key("Ș"), key(""));
  EXPECT_EQ(key("e\u0301"), key("é"));
  EXPECT_EQ(key("Москва"), key("МОСКВА"));
  EXPECT_NE(key("😀"), key("😁"));
  // The indexed length counts UTF-16 units: the 255th is the first half of the pair.
  const std::string x254(kMaxIndexedTextChars - 1, 'x');
  EXPECT_EQ(key(x254 + "😀"), key(x254 + "😁"));
  EXPECT_NE(key(x254 + "😀"), key(x254));
  EXPECT_EQ(key(std::string(kMaxIndexedTextChars, 'x') + "😀"),
            key(std::string(kMaxIndexedTextChars, 'x')));

  // Symbols, Latin, Greek, Cyrillic, CJK.
  const std::vector<std::string> sorted = {"→",     "★",     "Lodz",  "Łódź",   "Lodza",
                                           "Zebra", "Αθήνα", "Ωμέγα", "Москва", "東京"};
  for (size_t i = 1; i < sorted.size(); ++i)
    EXPECT_LT(key(sorted[i - 1]), key(sorted[i])) << sorted[i - 1] << " / " << sorted[i];
}

TEST(GeneralSortOrder, EncodesEveryCharacterInBothDirections) {
  int windows1252 = 0;
  for (int b = 1; b < 256; ++b) {
    const char32_t c = (b >= 0x80 && b < 0xA0) ? kWindows1252High[b - 0x80] : char32_t(b);
    if (c == 0)
      continue;
    ++windows1252;
    for (const std::string &text : {utf8(c), "a" + utf8(c), utf8(c) + "a", "Az" + utf8(c) + "9"}) {
      Bytes out;
      EXPECT_TRUE(appendGeneralTextKey(text, true, out).isOk()) << std::hex << b;
    }
  }
  EXPECT_EQ(windows1252, 250);
  // A descending key is the ascending one inverted, then closed.
  for (char32_t c = 0; c < 0x110000; c += (c < 0x10000 ? 1 : 251)) {
    if (c >= 0xD800 && c <= 0xDFFF)
      continue;
    const std::string text = "x" + utf8(c) + "'";
    Bytes up = key(text), down = key(text, false);
    ASSERT_EQ(down.size(), up.size() + 1) << std::hex << static_cast<unsigned>(c);
    for (size_t i = 0; i + 1 < up.size(); ++i)
      ASSERT_EQ(down[i], static_cast<uint8_t>(~up[i])) << std::hex << static_cast<unsigned>(c);
  }
}

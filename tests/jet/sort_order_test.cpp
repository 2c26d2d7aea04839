#include "jet/sort_order.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace jet;

namespace {

Bytes key(const std::string &text, bool ascending = true) {
  Bytes out;
  Status st = appendGeneralTextKey(text, ascending, out);
  EXPECT_TRUE(st.isOk()) << st.message();
  return out;
}

Bytes hexBytes(const std::string &hex) {
  Bytes b;
  for (size_t i = 0; i + 1 < hex.size(); i += 3)
    b.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return b;
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

TEST(GeneralSortOrder, RefusesWhatItCannotEncodeAndLeavesTheOutputAlone) {
  const std::string bad[] = {
      "中文",
      "ok 😀",
      "\xc2\x81",
      std::string("a\0b", 3), // no codes
      "\xc3",
      "\xc0\xaf",
      "\xed\xa0\x80",
      "\xf8\x88\x80\x80\x80",
      "abc\xff", // not UTF-8
      std::string(254, 'x') + "中",
  };
  for (const auto &text : bad) {
    Bytes out = {0x7f};
    Status st = appendGeneralTextKey(text, true, out);
    EXPECT_FALSE(st.isOk()) << text;
    EXPECT_EQ(st.code(), ErrorCode::KeyNotEncodable) << text;
    EXPECT_NE(st.message().find("chiave dell'indice"), std::string::npos) << st.message();
    EXPECT_EQ(out, Bytes{0x7f});
  }
  Bytes out;
  Status st = appendGeneralTextKey("Nome: 中", true, out);
  EXPECT_NE(st.message().find("U+4E2D"), std::string::npos) << st.message();
}

TEST(GeneralSortOrder, EncodesEveryWindows1252Character) {
  int encodable = 0;
  for (int b = 1; b < 256; ++b) {
    const char32_t c = (b >= 0x80 && b < 0xA0) ? kWindows1252High[b - 0x80] : char32_t(b);
    if (c == 0)
      continue;
    ++encodable;
    EXPECT_TRUE(isGeneralSortEncodable(c)) << std::hex << b;
    for (const std::string &text : {utf8(c), "a" + utf8(c), utf8(c) + "a", "Az" + utf8(c) + "9"}) {
      Bytes out;
      EXPECT_TRUE(appendGeneralTextKey(text, true, out).isOk()) << std::hex << b;
    }
  }
  EXPECT_EQ(encodable, 250);
  for (char32_t c : {U'\0', char32_t(0x81), char32_t(0x9D), char32_t(0x0100), char32_t(0x20AD)})
    EXPECT_FALSE(isGeneralSortEncodable(c)) << std::hex << static_cast<unsigned>(c);
}

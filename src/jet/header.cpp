#include "jet/header.h"

#include "jet/page_format.h"

#include <cstring>

namespace jet {

namespace {

constexpr uint8_t kMagic[4] = {0x00, 0x01, 0x00, 0x00};
constexpr char kJetText[] = "Standard Jet DB";
constexpr char kAceText[] = "Standard ACE DB";
constexpr uint8_t kHeaderKey[4] = {0xC7, 0xDA, 0x39, 0x6B};

Status refuse(const std::string &fileName, const std::string &why) {
  return {ErrorCode::NotADatabase,
          "Formato di database non riconosciuto: il file \"" + fileName + "\" " + why + "."};
}

} // namespace

void rc4(const uint8_t *key, size_t keyLength, uint8_t *data, size_t length) {
  uint8_t s[256];
  for (int i = 0; i < 256; ++i)
    s[i] = static_cast<uint8_t>(i);
  for (int i = 0, j = 0; i < 256; ++i) {
    j = (j + s[i] + key[i % keyLength]) & 0xFF;
    std::swap(s[i], s[j]);
  }
  for (size_t n = 0, i = 0, j = 0; n < length; ++n) {
    i = (i + 1) & 0xFF;
    j = (j + s[i]) & 0xFF;
    std::swap(s[i], s[j]);
    data[n] ^= s[(s[i] + s[j]) & 0xFF];
  }
}

Result<DatabaseHeader> DatabaseHeader::parse(ByteView page0, uint64_t fileSize,
                                             const std::string &fileName) {
  const std::string notAccess = "non è un database di Access 2000-2003";
  if (fileSize < kMinimumLength || page0.size() < kMinimumLength)
    return refuse(fileName, notAccess + " (è troppo corto)");
  const uint8_t *p = page0.data();
  bool jetText = std::memcmp(p + 4, kJetText, sizeof kJetText) == 0;
  bool aceText = std::memcmp(p + 4, kAceText, sizeof kAceText) == 0;
  if (std::memcmp(p, kMagic, 4) != 0 || (!jetText && !aceText))
    return refuse(fileName, notAccess);
  uint8_t version = p[0x14];
  if (aceText || version >= 2)
    return refuse(fileName, "è un database di Access 2007 o successivo (.accdb): si aprono solo "
                            "database di Access 2000-2003 (.mdb)");
  if (version == 0)
    return refuse(fileName, "è un database di Access 97 (Jet 3): si aprono solo database di "
                            "Access 2000-2003; convertirlo prima con Access");
  // The catalogue's definition is on page 2, so a database has at least three pages.
  if (fileSize < 3 * kPageSize || page0.size() < kPageSize)
    return refuse(fileName, notAccess + " (è troppo corto: manca il catalogo)");

  DatabaseHeader h;
  h.version = version;
  std::memcpy(h.decoded.data(), p, kMinimumLength);
  rc4(kHeaderKey, sizeof kHeaderKey, h.decoded.data() + kEncodedOffset, kEncodedLength);
  const uint8_t *d = h.decoded.data();
  h.codePage = le16(d + 0x3C);
  h.databaseKey = le32(d + 0x3E);
  h.sortOrder = le16(d + 0x6E);
  uint64_t bits = le64(d + 0x72);
  std::memcpy(&h.creationDate, &bits, sizeof bits);
  return h;
}

} // namespace jet

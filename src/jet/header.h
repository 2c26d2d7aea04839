#pragma once
// The database definition page (page 0): format check and the fields readers need.
#include "jet/bytes.h"
#include "jet/status.h"

#include <array>
#include <cstdint>
#include <string>

namespace jet {

struct DatabaseHeader {
  static constexpr size_t kEncodedOffset = 0x18;
  static constexpr size_t kEncodedLength = 128;
  static constexpr size_t kMinimumLength = kEncodedOffset + kEncodedLength;

  uint8_t version = 1;      // 1: Jet 4
  uint16_t codePage = 0;    // default code page (not used by Jet 4 text)
  uint32_t databaseKey = 0; // non-zero in an encoded database
  uint16_t sortOrder = 0;   // collating order of text, 0x409 for General
  double creationDate = 0;  // as Access stores dates
  // Page 0 as far as the encoded region, with that region decoded.
  std::array<uint8_t, kMinimumLength> decoded{};

  // Checks that the file is an Access 2000-2003 database and decodes its header. fileName
  // goes into the message of a refusal; fileSize is the size of the whole file.
  static Result<DatabaseHeader> parse(ByteView page0, uint64_t fileSize,
                                      const std::string &fileName);
};

// RC4 keystream applied in place: the header's encoded region uses it with a fixed key.
void rc4(const uint8_t *key, size_t keyLength, uint8_t *data, size_t length);

} // namespace jet

#include "jet/properties.h"

#include "jet/text_codec.h"

#include <vector>

namespace jet {

PropertyMap parseProperties(ByteView b) {
  PropertyMap out;
  if (b.size() < 4 || b[0] != 'M' || b[1] != 'R' || b[2] != '2' || b[3] != 0)
    return out;
  std::vector<std::string> names;
  size_t off = 4;
  while (off + 6 <= b.size()) {
    size_t len = le32(b.data() + off);
    uint16_t kind = le16(b.data() + off + 4);
    if (len < 6 || !inBounds(b.size(), off, len))
      break;
    ByteView chunk = b.subspan(off + 6, len - 6);
    off += len;
    if (kind == 0x80) {
      for (size_t p = 0; p + 2 <= chunk.size();) {
        size_t n = le16(chunk.data() + p);
        if (!inBounds(chunk.size(), p + 2, n))
          break;
        names.push_back(decodeUcs2(chunk.subspan(p + 2, n)));
        p += 2 + n;
      }
      continue;
    }
    if ((kind != 0x00 && kind != 0x01) || chunk.size() < 6)
      continue;
    size_t header = le32(chunk.data());
    size_t nameLen = le16(chunk.data() + 4);
    if (header < 6 || !inBounds(chunk.size(), 6, nameLen) || header > chunk.size())
      continue;
    auto &props = out[decodeUcs2(chunk.subspan(6, nameLen))];
    for (size_t p = header; p + 8 <= chunk.size();) {
      size_t entry = le16(chunk.data() + p);
      if (entry < 8 || !inBounds(chunk.size(), p, entry))
        break;
      uint8_t type = chunk[p + 3];
      size_t nameIndex = le16(chunk.data() + p + 4);
      size_t valueLen = le16(chunk.data() + p + 6);
      if (valueLen <= entry - 8 && nameIndex < names.size()) {
        PropertyValue v;
        v.type = type;
        v.bytes.assign(chunk.begin() + static_cast<ptrdiff_t>(p + 8),
                       chunk.begin() + static_cast<ptrdiff_t>(p + 8 + valueLen));
        props[names[nameIndex]] = std::move(v);
      }
      p += entry;
    }
  }
  return out;
}

} // namespace jet

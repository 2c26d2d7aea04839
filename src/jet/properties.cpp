#include "jet/properties.h"

#include "jet/bytes.h"
#include "jet/text_codec.h"
#include "jet/text_encoder.h"

#include <algorithm>
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

namespace {

constexpr uint8_t kDdlFlag = 0x01; // what Access sets on the properties it writes itself
constexpr uint8_t kBooleanType = 0x01;
constexpr uint8_t kTextType = 0x0A;
constexpr uint8_t kMemoType = 0x0C;

void chunk(Bytes &out, uint16_t kind, const Bytes &body) {
  append32(out, body.size() + 6);
  append16(out, kind);
  out.insert(out.end(), body.begin(), body.end());
}

} // namespace

Bytes encodeProperties(const PropertyMap &props) {
  std::vector<std::string> names;
  for (const auto &[object, values] : props)
    for (const auto &[name, v] : values)
      if (std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
  Bytes out{'M', 'R', '2', 0};
  Bytes list;
  for (const auto &n : names) {
    Bytes u = toUcs2(n);
    append16(list, u.size());
    list.insert(list.end(), u.begin(), u.end());
  }
  chunk(out, 0x80, list);
  for (const auto &[object, values] : props) {
    if (values.empty())
      continue;
    Bytes body;
    Bytes u = toUcs2(object);
    append32(body, 6 + u.size());
    append16(body, u.size());
    body.insert(body.end(), u.begin(), u.end());
    for (const auto &[name, v] : values) {
      size_t index =
          static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
      append16(body, 8 + v.bytes.size());
      body.push_back(kDdlFlag);
      body.push_back(v.type);
      append16(body, index);
      append16(body, v.bytes.size());
      body.insert(body.end(), v.bytes.begin(), v.bytes.end());
    }
    chunk(out, object.empty() ? 0x00 : 0x01, body);
  }
  return out;
}

PropertyValue booleanProperty(bool v) {
  return {kBooleanType, Bytes{static_cast<uint8_t>(v ? 1 : 0)}};
}

PropertyValue textProperty(const std::string &utf8) {
  return {kMemoType, toUcs2(utf8)};
}

std::string propertyText(const PropertyValue &v) {
  if (v.type != kTextType && v.type != kMemoType)
    return {};
  return decodeUcs2(v.bytes);
}

} // namespace jet

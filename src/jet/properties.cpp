#include "jet/properties.h"

#include "jet/bytes.h"
#include "jet/text_codec.h"
#include "jet/text_encoder.h"

#include <algorithm>
#include <vector>

namespace jet {

namespace {

constexpr uint8_t kSignature[] = {'M', 'R', '2', 0};
// A chunk: u32 length (the header included), u16 kind, then its body.
constexpr size_t kChunkHeader = 6;
constexpr size_t kChunkKind = 4;
constexpr uint16_t kTableChunk = 0x00;
constexpr uint16_t kColumnChunk = 0x01;
constexpr uint16_t kNamesChunk = 0x80;
// An object's body: u32 header length, u16 name length, the name, then its entries.
constexpr size_t kObjectNameLength = 4;
constexpr size_t kObjectName = 6;
// An entry: u16 length, u8 flags, u8 type, u16 name number, u16 value length, the value.
constexpr size_t kEntryType = 3;
constexpr size_t kEntryName = 4;
constexpr size_t kEntryValueLength = 6;
constexpr size_t kEntryHeader = 8;

} // namespace

PropertyMap parseProperties(ByteView b) {
  PropertyMap out;
  if (b.size() < sizeof kSignature || !std::equal(kSignature, kSignature + 4, b.begin()))
    return out;
  std::vector<std::string> names;
  size_t off = sizeof kSignature;
  while (off + kChunkHeader <= b.size()) {
    size_t len = le32(b.data() + off);
    uint16_t kind = le16(b.data() + off + kChunkKind);
    if (len < kChunkHeader || !inBounds(b.size(), off, len))
      break;
    ByteView chunk = b.subspan(off + kChunkHeader, len - kChunkHeader);
    off += len;
    if (kind == kNamesChunk) {
      for (size_t p = 0; p + 2 <= chunk.size();) {
        size_t n = le16(chunk.data() + p);
        if (!inBounds(chunk.size(), p + 2, n))
          break;
        names.push_back(decodeUcs2(chunk.subspan(p + 2, n)));
        p += 2 + n;
      }
      continue;
    }
    if ((kind != kTableChunk && kind != kColumnChunk) || chunk.size() < kObjectName)
      continue;
    size_t header = le32(chunk.data());
    size_t nameLen = le16(chunk.data() + kObjectNameLength);
    if (header < kObjectName || !inBounds(chunk.size(), kObjectName, nameLen) ||
        header > chunk.size())
      continue;
    auto &props = out[decodeUcs2(chunk.subspan(kObjectName, nameLen))];
    for (size_t p = header; p + kEntryHeader <= chunk.size();) {
      size_t entry = le16(chunk.data() + p);
      if (entry < kEntryHeader || !inBounds(chunk.size(), p, entry))
        break;
      uint8_t type = chunk[p + kEntryType];
      size_t nameIndex = le16(chunk.data() + p + kEntryName);
      size_t valueLen = le16(chunk.data() + p + kEntryValueLength);
      if (valueLen <= entry - kEntryHeader && nameIndex < names.size()) {
        PropertyValue v;
        v.type = type;
        v.bytes.assign(chunk.begin() + static_cast<ptrdiff_t>(p + kEntryHeader),
                       chunk.begin() + static_cast<ptrdiff_t>(p + kEntryHeader + valueLen));
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
  append32(out, body.size() + kChunkHeader);
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
  Bytes out(kSignature, kSignature + sizeof kSignature);
  Bytes list;
  for (const auto &n : names) {
    Bytes u = toUcs2(n);
    append16(list, u.size());
    list.insert(list.end(), u.begin(), u.end());
  }
  chunk(out, kNamesChunk, list);
  for (const auto &[object, values] : props) {
    if (values.empty())
      continue;
    Bytes body;
    Bytes u = toUcs2(object);
    append32(body, kObjectName + u.size());
    append16(body, u.size());
    body.insert(body.end(), u.begin(), u.end());
    for (const auto &[name, v] : values) {
      size_t index =
          static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
      append16(body, kEntryHeader + v.bytes.size());
      body.push_back(kDdlFlag);
      body.push_back(v.type);
      append16(body, index);
      append16(body, v.bytes.size());
      body.insert(body.end(), v.bytes.begin(), v.bytes.end());
    }
    chunk(out, object.empty() ? kTableChunk : kColumnChunk, body);
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

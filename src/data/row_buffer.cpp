#include "data/row_buffer.h"

#include <cstring>

namespace data {

namespace {

template <typename T> void put(std::string &out, const T &v) {
  out.append(reinterpret_cast<const char *>(&v), sizeof v);
}

template <typename T> T get(const char *&p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  p += sizeof v;
  return v;
}

void putLength(std::string &out, uint64_t n) {
  while (n >= 0x80) {
    out.push_back(static_cast<char>((n & 0x7f) | 0x80));
    n >>= 7;
  }
  out.push_back(static_cast<char>(n));
}

uint64_t getLength(const char *&p) {
  uint64_t n = 0;
  int shift = 0;
  for (;;) {
    auto b = static_cast<uint8_t>(*p++);
    n |= static_cast<uint64_t>(b & 0x7f) << shift;
    if (!(b & 0x80))
      return n;
    shift += 7;
  }
}

struct Encoder {
  std::string &out;
  void operator()(std::monostate) {}
  void operator()(bool v) { out.push_back(v ? 1 : 0); }
  void operator()(uint8_t v) { put(out, v); }
  void operator()(int16_t v) { put(out, v); }
  void operator()(int32_t v) { put(out, v); }
  void operator()(jet::Currency v) { put(out, v.units); }
  void operator()(float v) { put(out, v); }
  void operator()(double v) { put(out, v); }
  void operator()(jet::DateTime v) { put(out, v.days); }
  void operator()(const std::string &v) {
    putLength(out, v.size());
    out.append(v);
  }
  void operator()(const jet::Bytes &v) {
    putLength(out, v.size());
    out.append(reinterpret_cast<const char *>(v.data()), v.size());
  }
  void operator()(const jet::Guid &v) {
    out.append(reinterpret_cast<const char *>(v.bytes.data()), v.bytes.size());
  }
  void operator()(const jet::Decimal &v) {
    out.push_back(v.negative ? 1 : 0);
    out.push_back(static_cast<char>(v.precision));
    out.push_back(static_cast<char>(v.scale));
    put(out, v.magnitude);
  }
};

// Reads one value at p, or only skips it when skip is true.
jet::Value decodeOne(const char *&p, bool skip) {
  auto tag = static_cast<uint8_t>(*p++);
  switch (static_cast<jet::ValueKind>(tag)) {
  case jet::ValueKind::Null:
    return {};
  case jet::ValueKind::Boolean:
    return jet::Value(*p++ != 0);
  case jet::ValueKind::Byte:
    return jet::Value(get<uint8_t>(p));
  case jet::ValueKind::Integer:
    return jet::Value(get<int16_t>(p));
  case jet::ValueKind::Long:
    return jet::Value(get<int32_t>(p));
  case jet::ValueKind::Currency:
    return jet::Value(jet::Currency{get<int64_t>(p)});
  case jet::ValueKind::Single:
    return jet::Value(get<float>(p));
  case jet::ValueKind::Double:
    return jet::Value(get<double>(p));
  case jet::ValueKind::DateTime:
    return jet::Value(jet::DateTime{get<double>(p)});
  case jet::ValueKind::Text: {
    uint64_t n = getLength(p);
    const char *s = p;
    p += n;
    return skip ? jet::Value() : jet::Value(std::string(s, n));
  }
  case jet::ValueKind::Binary: {
    uint64_t n = getLength(p);
    const char *s = p;
    p += n;
    return skip ? jet::Value() : jet::Value(jet::Bytes(s, s + n));
  }
  case jet::ValueKind::Guid: {
    jet::Guid g;
    std::memcpy(g.bytes.data(), p, g.bytes.size());
    p += g.bytes.size();
    return jet::Value(g);
  }
  case jet::ValueKind::Decimal: {
    jet::Decimal d;
    d.negative = *p++ != 0;
    d.precision = static_cast<uint8_t>(*p++);
    d.scale = static_cast<uint8_t>(*p++);
    d.magnitude = get<unsigned __int128>(p);
    return jet::Value(d);
  }
  }
  return {};
}

} // namespace

std::string RowBuffer::encode(const std::vector<jet::Value> &values) const {
  std::string out;
  out.reserve(values.size() * 6);
  for (const auto &v : values) {
    out.push_back(static_cast<char>(v.kind()));
    std::visit(Encoder{out}, v.storage());
  }
  return out;
}

uint32_t RowBuffer::append(const std::vector<jet::Value> &values) {
  std::string enc = encode(values);
  offsets_.push_back(arena_.size());
  lengths_.push_back(static_cast<uint32_t>(enc.size()));
  arena_ += enc;
  return static_cast<uint32_t>(offsets_.size() - 1);
}

void RowBuffer::replace(uint32_t slot, const std::vector<jet::Value> &values) {
  std::string enc = encode(values);
  garbage_ += lengths_[slot];
  offsets_[slot] = arena_.size();
  lengths_[slot] = static_cast<uint32_t>(enc.size());
  arena_ += enc;
  if (garbage_ > arena_.size() / 2 && garbage_ > (1u << 20))
    compact();
}

jet::Value RowBuffer::field(uint32_t slot, int index) const {
  const char *p = arena_.data() + offsets_[slot];
  const char *end = p + lengths_[slot];
  for (int i = 0; p < end; ++i) {
    if (i == index)
      return decodeOne(p, false);
    decodeOne(p, true);
  }
  return {};
}

std::vector<jet::Value> RowBuffer::row(uint32_t slot) const {
  std::vector<jet::Value> out;
  const char *p = arena_.data() + offsets_[slot];
  const char *end = p + lengths_[slot];
  while (p < end)
    out.push_back(decodeOne(p, false));
  return out;
}

void RowBuffer::clear() {
  arena_.clear();
  offsets_.clear();
  lengths_.clear();
  garbage_ = 0;
}

void RowBuffer::compact() {
  std::string fresh;
  fresh.reserve(arena_.size() - garbage_);
  for (size_t i = 0; i < offsets_.size(); ++i) {
    uint64_t at = fresh.size();
    fresh.append(arena_, offsets_[i], lengths_[i]);
    offsets_[i] = at;
  }
  arena_ = std::move(fresh);
  garbage_ = 0;
}

} // namespace data

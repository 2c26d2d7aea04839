#include "index_fixture.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

namespace indextest {

namespace {

constexpr size_t kPage = jet::kIndexPageSize;

uint16_t le16(const uint8_t *p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t le32(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void appendUtf8(char32_t c, std::string &out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string utf16ToUtf8(const std::vector<char16_t> &units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    appendUtf8(c, out);
  }
  return out;
}

// Jet 4 text: UTF-16LE, or the compressed form that starts with FF FE and toggles between
// one-byte and two-byte characters at each 0x00.
std::string decodeText(const uint8_t *p, size_t n) {
  std::vector<char16_t> units;
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    bool compressed = true;
    size_t i = 2;
    while (i < n) {
      if (p[i] == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        units.push_back(p[i++]);
      } else if (i + 1 < n) {
        units.push_back(static_cast<char16_t>(p[i] | p[i + 1] << 8));
        i += 2;
      } else {
        break;
      }
    }
  } else {
    for (size_t i = 0; i + 1 < n; i += 2)
      units.push_back(static_cast<char16_t>(p[i] | p[i + 1] << 8));
  }
  return utf16ToUtf8(units);
}

std::optional<jet::Value> decodeFixed(const RawColumn &c, const uint8_t *p, size_t avail) {
  auto need = [&](size_t n) { return avail >= n; };
  switch (c.type) {
  case jet::ColumnType::Byte:
    if (!need(1))
      return std::nullopt;
    return jet::Value(p[0]);
  case jet::ColumnType::Integer:
    if (!need(2))
      return std::nullopt;
    return jet::Value(static_cast<int16_t>(le16(p)));
  case jet::ColumnType::Long:
    if (!need(4))
      return std::nullopt;
    return jet::Value(static_cast<int32_t>(le32(p)));
  case jet::ColumnType::Currency: {
    if (!need(8))
      return std::nullopt;
    uint64_t v = le32(p) | static_cast<uint64_t>(le32(p + 4)) << 32;
    return jet::Value(jet::Currency{static_cast<int64_t>(v)});
  }
  case jet::ColumnType::Single: {
    if (!need(4))
      return std::nullopt;
    float f;
    std::memcpy(&f, p, 4);
    return jet::Value(f);
  }
  case jet::ColumnType::Double:
  case jet::ColumnType::DateTime: {
    if (!need(8))
      return std::nullopt;
    double d;
    std::memcpy(&d, p, 8);
    if (c.type == jet::ColumnType::DateTime)
      return jet::Value(jet::DateTime{d});
    return jet::Value(d);
  }
  case jet::ColumnType::Guid: {
    if (!need(16))
      return std::nullopt;
    jet::Guid g;
    std::memcpy(g.bytes.data(), p, 16);
    return jet::Value(g);
  }
  default:
    break;
  }
  return std::nullopt;
}

} // namespace

std::optional<RawFile> RawFile::open(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return std::nullopt;
  RawFile f;
  f.bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  f.bytes_.resize(f.bytes_.size() / kPage * kPage);
  return f;
}

std::span<const uint8_t> RawFile::page(uint32_t number) const {
  if (number >= pageCount())
    return {};
  return {bytes_.data() + static_cast<size_t>(number) * kPage, kPage};
}

const RawColumn *RawTable::column(uint16_t number) const {
  for (const auto &c : columns)
    if (c.number == number)
      return &c;
  return nullptr;
}

std::vector<uint32_t> tableDefinitionPages(const RawFile &file) {
  std::set<uint32_t> continuations;
  std::vector<uint32_t> all;
  for (uint32_t n = 1; n < file.pageCount(); ++n) {
    auto p = file.page(n);
    if (p[0] != 0x02 || p[1] != 0x01)
      continue;
    all.push_back(n);
    if (uint32_t next = le32(p.data() + 4))
      continuations.insert(next);
  }
  std::vector<uint32_t> first;
  for (uint32_t n : all)
    if (!continuations.count(n))
      first.push_back(n);
  return first;
}

std::optional<RawTable> readTable(const RawFile &file, uint32_t definitionPage) {
  std::vector<uint8_t> d;
  std::set<uint32_t> seen;
  for (uint32_t n = definitionPage; n != 0;) {
    auto p = file.page(n);
    if (p.empty() || p[0] != 0x02 || !seen.insert(n).second)
      return std::nullopt;
    d.insert(d.end(), p.begin() + (d.empty() ? 0 : 8), p.end());
    n = le32(p.data() + 4);
  }
  auto has = [&](size_t off, size_t n) { return off + n <= d.size(); };
  RawTable t;
  t.definitionPage = definitionPage;
  if (!has(0, 63))
    return std::nullopt;
  t.rowCount = le32(&d[16]);
  t.system = d[40] == 0x53;
  const uint16_t numCols = le16(&d[45]);
  const uint32_t numRealIdx = le32(&d[51]);
  if (numRealIdx > 64 || numCols > 255)
    return std::nullopt;
  size_t o = 63 + numRealIdx * 12;
  for (unsigned i = 0; i < numCols; ++i, o += 25) {
    if (!has(o, 25))
      return std::nullopt;
    RawColumn c;
    c.type = static_cast<jet::ColumnType>(d[o]);
    c.number = le16(&d[o + 5]);
    c.varIndex = le16(&d[o + 7]);
    c.precision = d[o + 11];
    c.scale = d[o + 12];
    c.sortOrder = le16(&d[o + 11]);
    c.sortVersion = d[o + 14];
    c.fixed = d[o + 15] & 0x01;
    c.fixedOffset = le16(&d[o + 21]);
    c.length = le16(&d[o + 23]);
    t.columns.push_back(c);
  }
  for (auto &c : t.columns) {
    if (!has(o, 2))
      return std::nullopt;
    const uint16_t len = le16(&d[o]);
    if (!has(o + 2, len))
      return std::nullopt;
    std::vector<char16_t> units;
    for (size_t i = 0; i + 1 < len; i += 2)
      units.push_back(static_cast<char16_t>(d[o + 2 + i] | d[o + 3 + i] << 8));
    c.name = utf16ToUtf8(units);
    o += 2 + len;
  }
  for (uint32_t i = 0; i < numRealIdx; ++i, o += 52) {
    if (!has(o, 52))
      return std::nullopt;
    RawIndex idx;
    for (int k = 0; k < 10; ++k) {
      const uint16_t col = le16(&d[o + 4 + 3 * k]);
      if (col != 0xFFFF)
        idx.columns.push_back({col, d[o + 6 + 3 * k] == 0x01});
    }
    idx.rootPage = le32(&d[o + 38]);
    idx.flags = d[o + 46];
    t.indexes.push_back(idx);
  }
  return t;
}

std::optional<std::vector<jet::IndexEntry>> readIndexLeaves(const RawFile &file,
                                                            uint32_t rootPage) {
  std::set<uint32_t> seen;
  uint32_t n = rootPage;
  for (;;) {
    auto page = jet::decodeIndexPage(file.page(n));
    if (!page || !seen.insert(n).second)
      return std::nullopt;
    if (page->kind == jet::IndexPageKind::Leaf)
      break;
    if (page->entries.empty())
      return std::nullopt;
    n = page->entries.front().child;
  }
  std::vector<jet::IndexEntry> out;
  seen.clear();
  while (n != 0) {
    auto page = jet::decodeIndexPage(file.page(n));
    if (!page || page->kind != jet::IndexPageKind::Leaf || !seen.insert(n).second)
      return std::nullopt;
    for (auto &e : page->entries)
      out.push_back(std::move(e));
    n = page->nextPage;
  }
  return out;
}

std::optional<std::vector<jet::Value>> readRow(const RawFile &file, const RawTable &table,
                                               jet::RowPointer where) {
  for (unsigned hop = 0; hop < 4; ++hop) {
    auto p = file.page(where.page);
    if (p.empty() || p[0] != 0x01)
      return std::nullopt;
    const uint16_t rows = le16(p.data() + 12);
    if (where.row >= rows || 14 + 2 * size_t{rows} > kPage)
      return std::nullopt;
    const uint16_t raw = le16(p.data() + 14 + 2 * where.row);
    // A row moved by an update is marked deleted at its new place, so that scans skip it;
    // it is still live when reached through its pointer.
    if ((raw & 0x8000) && hop == 0)
      return std::nullopt;
    const size_t start = raw & 0x1FFF;
    const size_t end = where.row == 0 ? kPage : le16(p.data() + 14 + 2 * (where.row - 1)) & 0x1FFF;
    if (start >= end || end > kPage)
      return std::nullopt;
    const uint8_t *r = p.data() + start;
    const size_t len = end - start;
    if (raw & 0x4000) { // overflow: the row lives elsewhere
      if (len < 4)
        return std::nullopt;
      where = {static_cast<uint32_t>(r[1] | r[2] << 8 | r[3] << 16), r[0]};
      continue;
    }
    if (len < 2)
      return std::nullopt;
    const uint16_t numCols = le16(r);
    const size_t maskLen = (numCols + 7) / 8;
    if (len < 2 + maskLen)
      return std::nullopt;
    const uint8_t *mask = r + len - maskLen;
    auto present = [&](uint16_t col) { return col < numCols && (mask[col / 8] >> (col % 8) & 1); };
    bool hasVar = false;
    for (const auto &c : table.columns)
      hasVar |= !c.fixed;
    size_t varLen = 0;
    std::vector<size_t> varOffsets;
    size_t eod = len;
    if (hasVar) {
      if (len < 2 + maskLen + 2)
        return std::nullopt;
      varLen = le16(r + len - maskLen - 2);
      if (len < 2 + maskLen + 2 + 2 * varLen + 2)
        return std::nullopt;
      for (size_t j = 0; j < varLen; ++j)
        varOffsets.push_back(le16(r + len - maskLen - 2 - 2 * (j + 1)));
      eod = le16(r + len - maskLen - 2 - 2 * varLen - 2);
    }
    std::vector<jet::Value> values(table.columns.size());
    for (size_t i = 0; i < table.columns.size(); ++i) {
      const RawColumn &c = table.columns[i];
      if (c.type == jet::ColumnType::Boolean) {
        values[i] = jet::Value(present(c.number));
        continue;
      }
      if (!present(c.number))
        continue;
      if (c.fixed && c.type == jet::ColumnType::Text) {
        if (2 + static_cast<size_t>(c.fixedOffset) + c.length > len)
          return std::nullopt;
        values[i] = jet::Value(decodeText(r + 2 + c.fixedOffset, c.length));
        continue;
      }
      if (c.fixed) {
        if (2 + static_cast<size_t>(c.fixedOffset) >= len)
          return std::nullopt;
        // Types these tests never index (long binary blocks of system tables) stay Null.
        if (auto v = decodeFixed(c, r + 2 + c.fixedOffset, len - 2 - c.fixedOffset))
          values[i] = *v;
        continue;
      }
      if (c.varIndex >= varLen)
        continue;
      const size_t from = varOffsets[c.varIndex];
      const size_t to = size_t{c.varIndex} + 1 < varLen ? varOffsets[c.varIndex + 1] : eod;
      if (from > to || to > len)
        return std::nullopt;
      if (c.type == jet::ColumnType::Text)
        values[i] = jet::Value(decodeText(r + from, to - from));
      else if (c.type == jet::ColumnType::Binary)
        values[i] = jet::Value(jet::Bytes(r + from, r + to));
      else if (auto v = decodeFixed(c, r + from, to - from))
        values[i] = *v; // a number kept as a variable column (some system tables do this)
      // long values are not needed by these tests
    }
    return values;
  }
  return std::nullopt;
}

std::vector<std::vector<CsvField>> readCsv(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::vector<CsvField>> rows;
  std::vector<CsvField> row;
  size_t i = 0;
  while (i < s.size()) {
    CsvField f;
    if (s[i] == '"') {
      f.null = false;
      ++i;
      while (i < s.size()) {
        if (s[i] == '"') {
          if (i + 1 < s.size() && s[i + 1] == '"') {
            f.text += '"';
            i += 2;
          } else {
            ++i;
            break;
          }
        } else {
          f.text += s[i++];
        }
      }
    } else {
      while (i < s.size() && s[i] != ',' && s[i] != '\n')
        f.text += s[i++];
      f.null = f.text.empty();
    }
    row.push_back(std::move(f));
    if (i < s.size() && s[i] == ',') {
      ++i;
    } else {
      rows.push_back(std::move(row));
      row.clear();
      if (i < s.size())
        ++i; // the line end
    }
  }
  return rows;
}

std::string hex(std::span<const uint8_t> bytes) {
  static const char *digits = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i)
      out += ' ';
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

jet::Bytes hexBytes(const std::string &hex) {
  jet::Bytes b;
  for (size_t i = 0; i + 1 < hex.size(); i += 3)
    b.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return b;
}

} // namespace indextest

#include "jet/index_key.h"

#include "jet/column_info.h"

#include <bit>
#include <cstring>
#include <string>

namespace jet {

namespace {

constexpr uint8_t kAscendingFlag = 0x7F;
constexpr uint8_t kDescendingFlag = 0x80;
constexpr uint8_t kAscendingNull = 0x00;
constexpr uint8_t kDescendingNull = 0xFF;
// Yes sorts before No, as -1 before 0.
constexpr uint8_t kAscendingYes = 0x00;
constexpr uint8_t kAscendingNo = 0xFF;

Status mismatch(ColumnType t) {
  return {ErrorCode::TypeMismatch, std::string("Chiave dell'indice: il valore non è del tipo ") +
                                       typeName(t) + " della colonna."};
}

Status outOfRange(ColumnType t, long long v) {
  return {ErrorCode::OutOfRange, "Chiave dell'indice: il valore " + std::to_string(v) +
                                     " è fuori dall'intervallo del tipo " + typeName(t) + "."};
}

// Any integer alternative of the value, or nothing.
bool integerOf(const Value &v, long long &out) {
  if (auto p = v.getIf<uint8_t>())
    out = *p;
  else if (auto p = v.getIf<int16_t>())
    out = *p;
  else if (auto p = v.getIf<int32_t>())
    out = *p;
  else
    return false;
  return true;
}

void flipAll(uint8_t *p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    p[i] = static_cast<uint8_t>(~p[i]);
}

void putBigEndian(uint64_t v, size_t width, uint8_t *p) {
  for (size_t i = 0; i < width; ++i)
    p[i] = static_cast<uint8_t>(v >> (8 * (width - 1 - i)));
}

// Two's complement integers: the sign bit flipped so negatives sort first.
void appendSigned(int64_t v, size_t width, bool ascending, Bytes &out) {
  uint8_t b[8];
  putBigEndian(static_cast<uint64_t>(v), width, b);
  b[0] ^= 0x80;
  if (!ascending)
    flipAll(b, width);
  out.insert(out.end(), b, b + width);
}

// IEEE numbers: positives get the sign bit set, negatives are inverted whole.
void appendFloating(uint64_t bits, size_t width, bool ascending, Bytes &out) {
  uint8_t b[8];
  putBigEndian(bits, width, b);
  const bool negative = (b[0] & 0x80) != 0;
  if (!negative)
    b[0] ^= 0x80;
  if (negative == ascending)
    flipAll(b, width);
  out.insert(out.end(), b, b + width);
}

// Binary data in 8-byte segments: each full segment that more data follows ends with 0x09, the
// last one is zero-padded and ends with the count of its real bytes. Descending keys invert all
// but the 0x09 markers.
void appendSegmented(const uint8_t *data, size_t n, bool ascending, Bytes &out) {
  size_t pos = 0;
  while (n - pos > 8) {
    uint8_t seg[9];
    std::memcpy(seg, data + pos, 8);
    if (!ascending)
      flipAll(seg, 8);
    seg[8] = 0x09;
    out.insert(out.end(), seg, seg + 9);
    pos += 8;
  }
  if (n > pos) {
    uint8_t seg[9] = {};
    std::memcpy(seg, data + pos, n - pos);
    seg[8] = static_cast<uint8_t>(n - pos);
    if (!ascending)
      flipAll(seg, 9);
    out.insert(out.end(), seg, seg + 9);
  }
}

// Jet 4 keeps the decimal order of its first release: the sign byte becomes 0x00 for
// negatives and 0xFF otherwise, and the magnitude is inverted where the sign and the direction
// agree (which puts descending negatives after the positives, as the Jet engine does).
Status appendDecimal(const IndexKeyColumn &column, const Decimal &d, Bytes &out) {
  unsigned __int128 magnitude = d.magnitude;
  const unsigned __int128 limit = (static_cast<unsigned __int128>(1) << 96) - 1;
  if (d.scale > 28 || column.scale > 28 || magnitude > limit)
    return {ErrorCode::OutOfRange, "Chiave dell'indice: valore decimale fuori intervallo."};
  for (unsigned s = d.scale; s < column.scale; ++s) {
    magnitude *= 10;
    if (magnitude > limit)
      return {ErrorCode::OutOfRange, "Chiave dell'indice: valore decimale fuori intervallo."};
  }
  for (unsigned s = column.scale; s < d.scale; ++s) {
    if (magnitude % 10 != 0)
      return {ErrorCode::TypeMismatch, "Chiave dell'indice: il valore decimale ha più cifre "
                                       "decimali di quante la colonna ne conservi."};
    magnitude /= 10;
  }
  const bool negative = d.negative && magnitude != 0;
  uint8_t b[17] = {};
  b[0] = negative ? 0x80 : 0x00;
  for (int i = 0; i < 16; ++i)
    b[16 - i] = static_cast<uint8_t>(magnitude >> (8 * i));
  if (negative == column.ascending)
    flipAll(b, sizeof b);
  b[0] = negative ? 0x00 : 0xFF;
  out.insert(out.end(), b, b + sizeof b);
  return Status::ok();
}

Status appendValue(const IndexKeyColumn &column, const Value &value, Bytes &out) {
  const bool asc = column.ascending;
  const ColumnType t = column.type;
  long long n = 0;
  switch (t) {
  case ColumnType::Byte:
    if (!integerOf(value, n))
      return mismatch(t);
    if (n < 0 || n > 255)
      return outOfRange(t, n);
    out.push_back(asc ? static_cast<uint8_t>(n) : static_cast<uint8_t>(~n));
    return Status::ok();
  case ColumnType::Integer:
    if (!integerOf(value, n))
      return mismatch(t);
    if (n < INT16_MIN || n > INT16_MAX)
      return outOfRange(t, n);
    appendSigned(n, 2, asc, out);
    return Status::ok();
  case ColumnType::Long:
    if (!integerOf(value, n))
      return mismatch(t);
    appendSigned(n, 4, asc, out);
    return Status::ok();
  case ColumnType::Currency:
    if (auto p = value.getIf<Currency>()) {
      appendSigned(p->units, 8, asc, out);
      return Status::ok();
    }
    return mismatch(t);
  case ColumnType::Single:
    if (auto p = value.getIf<float>()) {
      appendFloating(std::bit_cast<uint32_t>(*p), 4, asc, out);
      return Status::ok();
    }
    return mismatch(t);
  case ColumnType::Double: {
    double d;
    if (auto p = value.getIf<double>())
      d = *p;
    else if (auto p = value.getIf<float>())
      d = *p;
    else
      return mismatch(t);
    appendFloating(std::bit_cast<uint64_t>(d), 8, asc, out);
    return Status::ok();
  }
  case ColumnType::DateTime:
    if (auto p = value.getIf<DateTime>()) {
      appendFloating(std::bit_cast<uint64_t>(p->days), 8, asc, out);
      return Status::ok();
    }
    return mismatch(t);
  case ColumnType::Text:
  case ColumnType::Memo:
    if (column.sortOrder != kGeneralSortOrder || column.sortVersion != kGeneralSortVersion)
      return {ErrorCode::Unsupported,
              "Chiave dell'indice: la colonna usa un ordinamento diverso da Generale (codice " +
                  std::to_string(column.sortOrder) + ", versione " +
                  std::to_string(column.sortVersion) + "), che non è gestito."};
    if (auto p = value.getIf<std::string>())
      return appendGeneralTextKey(*p, asc, out);
    return mismatch(t);
  case ColumnType::Binary:
    if (auto p = value.getIf<Bytes>()) {
      appendSegmented(p->data(), p->size(), asc, out);
      return Status::ok();
    }
    return mismatch(t);
  case ColumnType::Guid:
    if (auto p = value.getIf<Guid>()) {
      // The key holds the GUID in its written order: the integer groups big-endian.
      const auto &g = p->bytes;
      const uint8_t b[16] = {g[3], g[2], g[1],  g[0],  g[5],  g[4],  g[7],  g[6],
                             g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]};
      appendSegmented(b, sizeof b, asc, out);
      return Status::ok();
    }
    return mismatch(t);
  case ColumnType::Numeric:
    if (auto p = value.getIf<Decimal>())
      return appendDecimal(column, *p, out);
    return mismatch(t);
  case ColumnType::Boolean:
  case ColumnType::Ole:
    break;
  }
  return {ErrorCode::Unsupported,
          std::string("Una colonna di tipo ") + typeName(t) + " non può far parte di un indice."};
}

} // namespace

bool isIndexableType(ColumnType type) {
  switch (type) {
  case ColumnType::Boolean:
  case ColumnType::Byte:
  case ColumnType::Integer:
  case ColumnType::Long:
  case ColumnType::Currency:
  case ColumnType::Single:
  case ColumnType::Double:
  case ColumnType::DateTime:
  case ColumnType::Binary:
  case ColumnType::Text:
  case ColumnType::Memo:
  case ColumnType::Guid:
  case ColumnType::Numeric:
    return true;
  case ColumnType::Ole:
    break;
  }
  return false;
}

Status appendIndexKeyColumn(const IndexKeyColumn &column, const Value &value, Bytes &out) {
  if (!isIndexableType(column.type))
    return {ErrorCode::Unsupported, std::string("Una colonna di tipo ") + typeName(column.type) +
                                        " non può far parte di un indice."};
  if (column.type == ColumnType::Boolean) {
    bool yes = false;
    if (auto p = value.getIf<bool>())
      yes = *p;
    else if (!value.isNull())
      return mismatch(column.type);
    out.push_back(column.ascending ? kAscendingFlag : kDescendingFlag);
    const bool first = yes == column.ascending;
    out.push_back(first ? kAscendingYes : kAscendingNo);
    return Status::ok();
  }
  if (value.isNull()) {
    out.push_back(column.ascending ? kAscendingNull : kDescendingNull);
    return Status::ok();
  }
  const size_t mark = out.size();
  out.push_back(column.ascending ? kAscendingFlag : kDescendingFlag);
  Status st = appendValue(column, value, out);
  if (!st)
    out.resize(mark);
  return st;
}

Result<Bytes> encodeIndexKey(std::span<const IndexKeyColumn> columns,
                             std::span<const Value> values) {
  if (columns.empty() || columns.size() > kMaxIndexColumns || columns.size() != values.size())
    return Status(ErrorCode::Internal,
                  "Chiave dell'indice: numero di valori diverso dal numero di colonne.");
  Bytes key;
  for (size_t i = 0; i < columns.size(); ++i)
    JET_TRY(appendIndexKeyColumn(columns[i], values[i], key));
  return key;
}

namespace {
bool allNull(std::span<const Value> values) {
  for (const auto &v : values)
    if (!v.isNull())
      return false;
  return true;
}
} // namespace

bool indexLeavesOutRow(bool ignoresNulls, std::span<const Value> values) {
  return ignoresNulls && allNull(values);
}

bool uniqueIndexAllowsRepeat(std::span<const Value> values) {
  return allNull(values);
}

} // namespace jet

#include "jet/csv_export.h"

#include "jet/date_range.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace jet {

namespace {

void appendQuoted(std::string &out, std::string_view s) {
  out += '"';
  for (;;) {
    size_t q = s.find('"');
    if (q == std::string_view::npos)
      break;
    out.append(s.data(), q + 1);
    out += '"';
    s.remove_prefix(q + 1);
  }
  out.append(s);
  out += '"';
}

template <typename T> void appendInt(std::string &out, T v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void append2(std::string &out, int v) {
  out += static_cast<char>('0' + v / 10);
  out += static_cast<char>('0' + v % 10);
}

// "YYYY-MM-DD HH:MM:SS", as formatIso writes it, without going through printf.
void appendDate(std::string &out, DateTime d) {
  CivilDateTime c = toCivil(d);
  append2(out, c.year / 100);
  append2(out, c.year % 100);
  out += '-';
  append2(out, c.month);
  out += '-';
  append2(out, c.day);
  out += ' ';
  append2(out, c.hour);
  out += ':';
  append2(out, c.minute);
  out += ':';
  append2(out, c.second);
}

template <typename T> void appendFloat(std::string &out, T v) {
  if (std::isnan(v)) {
    out += "NaN";
    return;
  }
  if (std::isinf(v)) {
    out += v < 0 ? "-Infinity" : "Infinity";
    return;
  }
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

// Unsigned 128-bit to decimal digits.
std::string digits(unsigned __int128 m) {
  if (m == 0)
    return "0";
  std::string s;
  while (m > 0) {
    s += static_cast<char>('0' + static_cast<int>(m % 10));
    m /= 10;
  }
  return {s.rbegin(), s.rend()};
}

std::string scaled(bool negative, unsigned __int128 magnitude, unsigned scale) {
  std::string d = digits(magnitude);
  if (d.size() <= scale)
    d.insert(0, scale + 1 - d.size(), '0');
  if (scale > 0)
    d.insert(d.size() - scale, ".");
  if (negative && magnitude != 0)
    d.insert(0, "-");
  return d;
}

} // namespace

std::string formatDecimal(const Decimal &d) {
  return scaled(d.negative, d.magnitude, d.scale > 38 ? 38 : d.scale);
}

namespace {

void appendCurrency(std::string &out, Currency c) {
  bool negative = c.units < 0;
  uint64_t m = negative ? 0 - static_cast<uint64_t>(c.units) : static_cast<uint64_t>(c.units);
  if (negative)
    out += '-';
  appendInt(out, m / 10000);
  unsigned frac = static_cast<unsigned>(m % 10000);
  char tail[5] = {'.', static_cast<char>('0' + frac / 1000),
                  static_cast<char>('0' + frac / 100 % 10), static_cast<char>('0' + frac / 10 % 10),
                  static_cast<char>('0' + frac % 10)};
  out.append(tail, 5);
}

} // namespace

std::string formatCurrency(Currency c) {
  std::string s;
  appendCurrency(s, c);
  return s;
}

std::string formatGuid(const Guid &g) {
  static const char hex[] = "0123456789ABCDEF";
  // The first three groups are little-endian.
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string s = "{";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10)
      s += '-';
    uint8_t b = g.bytes[order[i]];
    s += hex[b >> 4];
    s += hex[b & 15];
  }
  s += '}';
  return s;
}

void appendCsvField(std::string &out, const Value &v) {
  static const char hex[] = "0123456789abcdef";
  std::visit(
      [&](const auto &x) {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
        } else if constexpr (std::is_same_v<T, bool>) {
          out += x ? '1' : '0';
        } else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                             std::is_same_v<T, int32_t>) {
          appendInt(out, static_cast<int32_t>(x));
        } else if constexpr (std::is_same_v<T, Currency>) {
          appendCurrency(out, x);
        } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
          appendFloat(out, x);
        } else if constexpr (std::is_same_v<T, DateTime>) {
          if (dateInRange(x.days)) // beyond the dates Access holds: the number as stored
            appendDate(out, x);
          else
            appendFloat(out, x.days);
        } else if constexpr (std::is_same_v<T, std::string>) {
          appendQuoted(out, x);
        } else if constexpr (std::is_same_v<T, Bytes>) {
          out += "0x";
          for (uint8_t b : x) {
            out += hex[b >> 4];
            out += hex[b & 15];
          }
        } else if constexpr (std::is_same_v<T, Guid>) {
          out += formatGuid(x);
        } else if constexpr (std::is_same_v<T, Decimal>) {
          out += formatDecimal(x);
        }
      },
      v.storage());
}

namespace {

template <typename Sink> Status exportTo(Database &db, std::string_view table, Sink &&sink) {
  auto cursor = db.cursor(table);
  if (!cursor)
    return cursor.status();
  const TableDef &def = cursor->table();
  std::string line;
  for (size_t i = 0; i < def.columns.size(); ++i) {
    if (i)
      line += ',';
    appendQuoted(line, def.columns[i].name);
  }
  line += '\n';
  std::vector<Value> row;
  for (;;) {
    auto more = cursor->next();
    if (!more)
      return more.status();
    if (!*more)
      break;
    JET_TRY(cursor->read(row));
    for (size_t i = 0; i < row.size(); ++i) {
      if (i)
        line += ',';
      appendCsvField(line, row[i]);
    }
    line += '\n';
    if (line.size() >= 1 << 16) {
      JET_TRY(sink(line));
      line.clear();
    }
  }
  return sink(line);
}

} // namespace

Status exportCsv(Database &db, std::string_view table, std::FILE *out) {
  // Rows go out as they are read, so a table of any size exports in bounded memory.
  return exportTo(db, table, [out](const std::string &chunk) {
    if (!chunk.empty() && std::fwrite(chunk.data(), 1, chunk.size(), out) != chunk.size())
      return Status(ErrorCode::IoError, "Impossibile scrivere il risultato dell'esportazione.");
    return Status::ok();
  });
}

Result<std::string> exportCsv(Database &db, std::string_view table) {
  std::string all;
  Status st = exportTo(db, table, [&all](const std::string &chunk) {
    all += chunk;
    return Status::ok();
  });
  if (!st)
    return st;
  return all;
}

} // namespace jet

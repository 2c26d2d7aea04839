#include "jet/csv_export.h"

#include "jet/date_range.h"
#include "jet/errors.h"
#include "jet/row_codec.h"
#include "jet/text_codec.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace jet {

namespace {

// Appends to a string with the bounds check once per piece: a field's characters go in
// through a pointer rather than one call each.
class Out {
public:
  explicit Out(std::string &s) : s_(s), p_(s.data() + s.size()), end_(p_) {}
  ~Out() { s_.resize(size()); }
  Out(const Out &) = delete;
  Out &operator=(const Out &) = delete;

  char *room(size_t k) {
    if (static_cast<size_t>(end_ - p_) < k) [[unlikely]]
      grow(k);
    return p_;
  }
  void done(char *end) { p_ = end; }
  void put(char c) {
    *room(1) = c;
    ++p_;
  }
  void put(std::string_view v) {
    std::memcpy(room(v.size()), v.data(), v.size());
    p_ += v.size();
  }
  void put(const char *from, size_t n) { put(std::string_view(from, n)); }
  void put(const char *from, const char *to) { put(from, static_cast<size_t>(to - from)); }
  size_t size() const { return static_cast<size_t>(p_ - s_.data()); }
  std::string_view view() const { return {s_.data(), size()}; }
  void clear() { p_ = s_.data(); }

private:
  [[gnu::noinline]] void grow(size_t k) {
    const size_t n = size();
    s_.resize(std::max(n + k, 2 * s_.size() + 256));
    p_ = s_.data() + n;
    end_ = s_.data() + s_.size();
  }

  std::string &s_;
  char *p_;   // the end of what is written
  char *end_; // the end of the room
};

// How the fields of one export are written.
struct Style {
  bool json = false;
  std::string_view quote = "\"";
  std::string_view dateFormat; // empty: the canonical form
};

// Text between `quote` with inner quotes doubled; bare when there is no quote.
void appendQuoted(Out &out, std::string_view s, std::string_view quote) {
  if (quote.empty()) {
    out.put(s);
    return;
  }
  out.put(quote);
  for (;;) {
    size_t q = quote.size() == 1 ? s.find(quote[0]) : s.find(quote);
    if (q == std::string_view::npos)
      break;
    out.put(s.data(), q + quote.size());
    out.put(quote);
    s.remove_prefix(q + quote.size());
  }
  out.put(s);
  out.put(quote);
}

void appendJsonString(Out &out, std::string_view s) {
  static const char hex[] = "0123456789abcdef";
  out.put('"');
  size_t from = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c != '"' && c != '\\')
      continue;
    out.put(s.data() + from, i - from);
    from = i + 1;
    switch (c) {
    case '"':
      out.put("\\\"");
      break;
    case '\\':
      out.put("\\\\");
      break;
    case '\n':
      out.put("\\n");
      break;
    case '\r':
      out.put("\\r");
      break;
    case '\t':
      out.put("\\t");
      break;
    default: {
      char u[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
      out.put(u, 6);
    }
    }
  }
  out.put(s.data() + from, s.size() - from);
  out.put('"');
}

// Stored text decoded straight into the output between its quotes; only a text that holds the
// quote itself goes the long way.
void appendStoredText(Out &out, ByteView stored, std::string_view quote) {
  char *start = out.room(decodedTextBound(stored.size()) + 2 * quote.size());
  char *text = start + quote.size();
  char *end = decodeJetText(stored, text);
  const std::string_view decoded(text, static_cast<size_t>(end - text));
  if (quote.empty()) {
    out.done(end);
  } else if (decoded.find(quote) == std::string_view::npos) {
    std::memcpy(start, quote.data(), quote.size());
    std::memcpy(end, quote.data(), quote.size());
    out.done(end + quote.size());
  } else {
    appendQuoted(out, std::string(decoded), quote);
  }
}

void appendText(Out &out, std::string_view s, const Style &style) {
  if (style.json)
    appendJsonString(out, s);
  else
    appendQuoted(out, s, style.quote);
}

template <typename T> void appendInt(Out &out, T v) {
  char *p = out.room(24);
  out.done(std::to_chars(p, p + 24, v).ptr);
}

// Two digits of 0..99.
char *put2(char *p, int v) {
  static const char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233"
      "34353637383940414243444546474849505152535455565758596061626364656667"
      "6869707172737475767778798081828384858687888990919293949596979899";
  std::memcpy(p, kPairs + 2 * v, 2);
  return p + 2;
}

// "YYYY-MM-DD HH:MM:SS", as formatIso writes it, or the caller's strftime-like format.
void appendDate(Out &out, const CivilDateTime &c, std::string_view format) {
  if (format.empty()) {
    char *p = out.room(19);
    p = put2(put2(p, c.year / 100), c.year % 100);
    *p++ = '-';
    p = put2(p, c.month);
    *p++ = '-';
    p = put2(p, c.day);
    *p++ = ' ';
    p = put2(p, c.hour);
    *p++ = ':';
    p = put2(p, c.minute);
    *p++ = ':';
    out.done(put2(p, c.second));
    return;
  }
  char buf[4];
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 == format.size()) {
      out.put(format[i]);
      continue;
    }
    char *p = buf;
    switch (format[++i]) {
    case 'Y':
      p = put2(put2(p, c.year / 100), c.year % 100);
      break;
    case 'y':
      p = put2(p, c.year % 100);
      break;
    case 'm':
      p = put2(p, c.month);
      break;
    case 'd':
      p = put2(p, c.day);
      break;
    case 'H':
      p = put2(p, c.hour);
      break;
    case 'M':
      p = put2(p, c.minute);
      break;
    case 'S':
      p = put2(p, c.second);
      break;
    default:
      *p++ = format[i];
    }
    out.put(buf, p);
  }
}

// The shortest form of most stored amounts (1 <= |v|, at most 6 decimals) without the
// general algorithm, which costs more than the rest of a row: the first count of decimals
// that reads back as v. For those values it is the form std::to_chars gives (a plain number
// with no trailing zero is never longer than its exponent form). Null where it does not apply.
template <typename T> char *shortFixed(char *buf, T v) {
  static const double kPow10[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
  // Below these every integer digit is needed and a * 10^k is exact enough to round to the
  // nearest candidate.
  constexpr double kLimit = std::is_same_v<T, float> ? 1e7 : 1e14;
  const double a = std::fabs(static_cast<double>(v));
  if (!(a >= 1 && a < kLimit))
    return nullptr;
  for (int k = 0; k < 7; ++k) {
    const double x = a * kPow10[k];
    if (x >= 1e14)
      return nullptr;
    // A tie cannot read back as v at this count of decimals, so rounding it up is as good.
    const double n = static_cast<double>(static_cast<uint64_t>(x + 0.5));
    const double back = n / kPow10[k];
    if (static_cast<T>(back) != static_cast<T>(a))
      continue;
    uint64_t digits = static_cast<uint64_t>(n);
    if (k == 0 && digits % 10 == 0)
      return nullptr; // 1e+06 is shorter than 1000000
    char *p = buf;
    if (v < 0)
      *p++ = '-';
    const uint64_t unit = static_cast<uint64_t>(kPow10[k]);
    p = std::to_chars(p, buf + 32, digits / unit).ptr;
    if (k > 0) {
      *p++ = '.';
      uint64_t frac = digits % unit;
      for (int i = k - 1; i >= 0; --i, frac /= 10)
        p[i] = static_cast<char>('0' + frac % 10);
      p += k;
    }
    if constexpr (std::is_same_v<T, float>) {
      // The quotient was rounded twice, to double then to float: that differs from reading the
      // text as a float only where the double falls exactly halfway between two floats.
      const float f = static_cast<float>(back);
      const double gap = back - static_cast<double>(f);
      if (gap != 0) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        bits += gap > 0 ? 1 : -1; // the neighbour on the side of the gap (f is positive)
        float g;
        std::memcpy(&g, &bits, 4);
        if (std::fabs(gap) * 2 == std::fabs(static_cast<double>(g) - static_cast<double>(f)))
          return nullptr;
      }
    }
    return p;
  }
  return nullptr;
}

template <typename T> void appendFloat(Out &out, T v, const Style &style) {
  if (std::isnan(v) || std::isinf(v)) {
    // JSON has no literal for them.
    const char *word = std::isnan(v) ? "NaN" : v < 0 ? "-Infinity" : "Infinity";
    if (style.json)
      appendJsonString(out, word);
    else
      out.put(word);
    return;
  }
  char *buf = out.room(64);
  char *end = shortFixed(buf, v);
  if (!end)
    end = std::to_chars(buf, buf + 64, v).ptr;
  out.done(end);
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

void appendDateTime(Out &out, DateTime d, const Style &style) {
  if (!dateInRange(d.days)) { // beyond the dates Access holds: the number as stored
    appendFloat(out, d.days, style);
    return;
  }
  if (style.json)
    out.put('"');
  appendDate(out, toCivil(d), style.dateFormat);
  if (style.json)
    out.put('"');
}

void appendCurrency(Out &out, Currency c) {
  bool negative = c.units < 0;
  uint64_t m = negative ? 0 - static_cast<uint64_t>(c.units) : static_cast<uint64_t>(c.units);
  if (negative)
    out.put('-');
  appendInt(out, m / 10000);
  unsigned frac = static_cast<unsigned>(m % 10000);
  char tail[5] = {'.', static_cast<char>('0' + frac / 1000),
                  static_cast<char>('0' + frac / 100 % 10), static_cast<char>('0' + frac / 10 % 10),
                  static_cast<char>('0' + frac % 10)};
  out.put(tail, 5);
}

} // namespace

std::string formatDecimal(const Decimal &d) {
  return scaled(d.negative, d.magnitude, d.scale > 38 ? 38 : d.scale);
}

std::string formatCurrency(Currency c) {
  std::string s;
  {
    Out out(s);
    appendCurrency(out, c);
  }
  return s;
}

namespace {

void appendValue(Out &out, const Value &v, const Style &style) {
  static const char hex[] = "0123456789abcdef";
  std::visit(
      [&](const auto &x) {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          if (style.json)
            out.put("null");
        } else if constexpr (std::is_same_v<T, bool>) {
          if (style.json)
            out.put(x ? "true" : "false");
          else
            out.put(x ? '1' : '0');
        } else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                             std::is_same_v<T, int32_t>) {
          appendInt(out, static_cast<int32_t>(x));
        } else if constexpr (std::is_same_v<T, Currency>) {
          appendCurrency(out, x);
        } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
          appendFloat(out, x, style);
        } else if constexpr (std::is_same_v<T, DateTime>) {
          appendDateTime(out, x, style);
        } else if constexpr (std::is_same_v<T, std::string>) {
          appendText(out, x, style);
        } else if constexpr (std::is_same_v<T, Bytes>) {
          std::string s = "0x";
          s.reserve(2 + 2 * x.size());
          for (uint8_t b : x) {
            s += hex[b >> 4];
            s += hex[b & 15];
          }
          if (style.json)
            appendJsonString(out, s);
          else
            out.put(s);
        } else if constexpr (std::is_same_v<T, Guid>) {
          if (style.json)
            appendJsonString(out, formatGuid(x));
          else
            out.put(formatGuid(x));
        } else if constexpr (std::is_same_v<T, Decimal>) {
          out.put(formatDecimal(x));
        }
      },
      v.storage());
}

template <typename T> T loadAs(const uint8_t *p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Fixed-size numbers and dates are written straight from the row's bytes (little-endian, as
// decodeScalarInto reads them): on the export's hot path a Value per field costs more than the
// formatting.
bool isPlainFixed(const ColumnDef &c) {
  switch (c.type) {
  case ColumnType::Byte:
  case ColumnType::Integer:
  case ColumnType::Long:
  case ColumnType::Currency:
  case ColumnType::Single:
  case ColumnType::Double:
  case ColumnType::DateTime:
    return c.isFixed();
  default:
    return false;
  }
}

void appendFixed(Out &out, ColumnType type, const uint8_t *b, const Style &style) {
  switch (type) {
  case ColumnType::Byte:
    appendInt(out, static_cast<int>(b[0]));
    break;
  case ColumnType::Integer:
    appendInt(out, static_cast<int16_t>(le16(b)));
    break;
  case ColumnType::Long:
    appendInt(out, static_cast<int32_t>(le32(b)));
    break;
  case ColumnType::Currency:
    appendCurrency(out, Currency{static_cast<int64_t>(le64(b))});
    break;
  case ColumnType::Single: {
    uint32_t bits = le32(b);
    appendFloat(out, loadAs<float>(reinterpret_cast<const uint8_t *>(&bits)), style);
    break;
  }
  case ColumnType::Double:
  case ColumnType::DateTime: {
    uint64_t bits = le64(b);
    double d = loadAs<double>(reinterpret_cast<const uint8_t *>(&bits));
    if (type == ColumnType::Double)
      appendFloat(out, d, style);
    else
      appendDateTime(out, DateTime{d}, style);
    break;
  }
  default:
    break;
  }
}

// How the export reaches a column: yes/no, fixed numbers and variable texts straight from the
// row, everything else (memo, OLE, GUID, decimal, fixed text, binary) through the decoder.
enum class Path : uint8_t { Boolean, Fixed, Text, Decoded };
struct Field {
  Path path = Path::Decoded;
  char delimiter = 0; // a one-character delimiter, else 0
  uint8_t size = 0;   // of a fixed field
};

template <typename Sink>
Status exportTo(Database &db, std::string_view table, const ExportOptions &options, Sink &&sink) {
  JET_TRY(checkDateFormat(options.dateFormat));
  auto cursor = db.cursor(table);
  if (!cursor)
    return cursor.status();
  const TableDef &def = cursor->table();
  const bool json = options.format == ExportFormat::Json;
  Style style{json, options.quote, options.dateFormat};
  // What goes before each field: the delimiter, or in JSON the member's name.
  std::vector<std::string> before(def.columns.size());
  for (size_t i = 0; i < def.columns.size(); ++i) {
    if (json) {
      before[i] = i ? "," : "{";
      Out out(before[i]);
      appendJsonString(out, def.columns[i].name);
      out.put(':');
    } else if (i) {
      before[i] = options.delimiter;
    }
  }
  const std::string after = json ? "}\n" : "\n";
  std::string buffer;
  Out line(buffer);
  if (!json && options.header) {
    for (size_t i = 0; i < def.columns.size(); ++i) {
      line.put(before[i]);
      appendQuoted(line, def.columns[i].name, options.quote);
    }
    line.put('\n');
  }
  std::vector<Field> fields(def.columns.size());
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef &c = def.columns[i];
    fields[i].path = c.type == ColumnType::Boolean                ? Path::Boolean
                     : isPlainFixed(c)                            ? Path::Fixed
                     : c.type == ColumnType::Text && !c.isFixed() ? Path::Text
                                                                  : Path::Decoded;
    fields[i].size = static_cast<uint8_t>(fixedSizeOf(c.type));
    fields[i].delimiter = before[i].size() == 1 ? before[i][0] : 0;
  }
  RowDecoder decoder(db.pager(), def);
  Value value;
  line.room(1 << 17);
  for (;;) {
    auto more = cursor->next();
    if (!more)
      return more.status();
    if (!*more)
      break;
    const RowLayout &row = cursor->layout();
    const uint32_t page = cursor->dataPage();
    for (size_t i = 0; i < def.columns.size(); ++i) {
      const ColumnDef &col = def.columns[i];
      const Field &f = fields[i];
      if (f.delimiter)
        line.put(f.delimiter);
      else
        line.put(before[i]);
      // Where RowDecoder::columnInto finds the field; a Value only where the decoder is needed.
      const bool set = row.isSet(col.number);
      if (f.path == Path::Boolean) {
        if (json)
          line.put(set ? std::string_view("true") : std::string_view("false"));
        else
          line.put(set ? '1' : '0');
        continue;
      }
      if (!set || (f.path == Path::Text && col.varIndex >= row.varCount())) {
        if (json)
          line.put("null");
        continue;
      }
      if (f.path == Path::Decoded) {
        Status st = decoder.columnInto(row, col, page, value);
        if (!st)
          return inTable(std::move(st), def.name);
        appendValue(line, value, style);
        continue;
      }
      auto bytes = f.path == Path::Fixed ? row.fixedField(col.fixedOffset, f.size, page)
                                         : row.varField(col.varIndex, page);
      if (!bytes)
        return inTable(bytes.status(), def.name);
      if (f.path == Path::Fixed)
        appendFixed(line, col.type, bytes->data(), style);
      else if (json)
        appendText(line, decodeJetText(*bytes), style);
      else
        appendStoredText(line, *bytes, options.quote);
    }
    line.put(after);
    if (line.size() >= 1 << 16) {
      JET_TRY(sink(line.view()));
      line.clear();
    }
  }
  return sink(line.view());
}

} // namespace

void appendCsvField(std::string &s, const Value &v) {
  Out out(s);
  appendValue(out, v, Style{});
}

Status checkDateFormat(std::string_view format) {
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%')
      continue;
    if (i + 1 == format.size() || !std::strchr("YymdHMS%", format[i + 1]))
      return Status(ErrorCode::InvalidArgument, "Formato della data non valido: \"" +
                                                    std::string(format) +
                                                    "\" (ammessi %Y %y %m %d %H %M %S %%).");
    ++i;
  }
  return Status::ok();
}

Status exportTable(Database &db, std::string_view table, std::FILE *out,
                   const ExportOptions &options) {
  // Rows go out as they are read, so a table of any size exports in bounded memory.
  return exportTo(db, table, options, [out](std::string_view chunk) {
    if (!chunk.empty() && std::fwrite(chunk.data(), 1, chunk.size(), out) != chunk.size())
      return Status(ErrorCode::IoError, "Impossibile scrivere il risultato dell'esportazione.");
    return Status::ok();
  });
}

Status exportCsv(Database &db, std::string_view table, std::FILE *out) {
  return exportTable(db, table, out);
}

Result<std::string> exportCsv(Database &db, std::string_view table, const ExportOptions &options) {
  std::string all;
  Status st = exportTo(db, table, options, [&all](std::string_view chunk) {
    all += chunk;
    return Status::ok();
  });
  if (!st)
    return st;
  return all;
}

} // namespace jet

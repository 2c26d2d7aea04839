#include "jet/table_writer.h"

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/errors.h"
#include "jet/long_value.h"
#include "jet/row_codec.h"
#include "jet/text_codec.h"
#include "jet/usage_map.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace jet {

namespace {

uint32_t pointerWord(RowPointer p) {
  return (p.page << 8) | p.row;
}

} // namespace

// ---------------------------------------------------------------------------------------------

namespace rowpage {

uint16_t rowCount(const uint8_t *p) {
  return le16(p + DataPage::kRowCountOffset);
}

uint16_t slotWord(const uint8_t *p, uint16_t row) {
  return le16(p + kHeaderSize + 2 * row);
}

bool bounds(const uint8_t *p, uint16_t row, uint16_t &start, uint16_t &end) {
  uint16_t n = rowCount(p);
  if (row >= n || kHeaderSize + 2u * n > kPageSize)
    return false;
  start = slotWord(p, row) & DataPage::kOffsetMask;
  end = row == 0 ? kPageSize : (slotWord(p, row - 1) & DataPage::kOffsetMask);
  return start >= kHeaderSize + 2u * n && start <= end && end <= kPageSize;
}

size_t gap(const uint8_t *p) {
  uint16_t n = rowCount(p);
  size_t low = kPageSize;
  for (uint16_t i = 0; i < n; ++i)
    low = std::min<size_t>(low, slotWord(p, i) & DataPage::kOffsetMask);
  size_t table = kHeaderSize + 2u * n;
  return low > table ? low - table : 0;
}

bool fits(const uint8_t *p, size_t length) {
  return rowCount(p) < kMaxRows && gap(p) >= length + 2;
}

void init(uint8_t *p, uint32_t owner) {
  std::memset(p, 0, kPageSize);
  p[0] = kPageTypeData;
  p[1] = 0x01;
  put16(p + 2, static_cast<uint16_t>(kPageSize - kHeaderSize));
  if (owner == 0)
    std::memcpy(p + 4, "LVAL", 4);
  else
    put32(p + 4, owner);
}

int append(uint8_t *p, ByteView row, uint16_t flags) {
  if (!fits(p, row.size()))
    return -1;
  uint16_t n = rowCount(p);
  size_t end = n == 0 ? kPageSize : (slotWord(p, n - 1) & DataPage::kOffsetMask);
  size_t start = end - row.size();
  size_t low = kPageSize;
  for (uint16_t i = 0; i < n; ++i)
    low = std::min<size_t>(low, slotWord(p, i) & DataPage::kOffsetMask);
  if (end != low || start < kHeaderSize + 2u * (n + 1)) {
    // Rows not laid out end to end: lay the page out again first.
    if (!replace(p, 0, {}, 0xFFFF))
      return -1;
    return append(p, row, flags);
  }
  if (!row.empty())
    std::memcpy(p + start, row.data(), row.size());
  put16(p + kHeaderSize + 2 * n, static_cast<uint16_t>(start | flags));
  put16(p + DataPage::kRowCountOffset, n + 1);
  put16(p + 2, static_cast<uint16_t>(start - (kHeaderSize + 2u * (n + 1))));
  return n;
}

bool replace(uint8_t *p, uint16_t row, ByteView bytes, uint16_t flags) {
  // flags 0xFFFF: no row replaced, the page is only laid out again.
  uint16_t n = rowCount(p);
  struct Part {
    uint16_t flags;
    const uint8_t *data;
    size_t size;
  };
  std::vector<Part> parts(n);
  size_t total = 0;
  for (uint16_t i = 0; i < n; ++i) {
    uint16_t w = slotWord(p, i);
    uint16_t f = w & 0xC000;
    uint16_t s = 0, e = 0;
    bool ok = bounds(p, i, s, e);
    if (i == row && flags != 0xFFFF)
      parts[i] = {flags, bytes.data(), bytes.size()};
    else if (f == kDeleted || !ok)
      parts[i] = {kDeleted, nullptr, 0};
    else if (f & kPointer)
      parts[i] = {f, p + s, std::min<size_t>(4, e - s)};
    else
      parts[i] = {f, p + s, static_cast<size_t>(e - s)};
    total += parts[i].size;
  }
  if (kHeaderSize + 2u * n + total > kPageSize)
    return false;
  uint8_t out[kPageSize];
  std::memcpy(out, p, kHeaderSize + 2u * n);
  size_t pos = kPageSize;
  for (uint16_t i = 0; i < n; ++i) {
    pos -= parts[i].size;
    if (parts[i].size)
      std::memcpy(out + pos, parts[i].data, parts[i].size);
    put16(out + kHeaderSize + 2 * i, static_cast<uint16_t>(pos | parts[i].flags));
  }
  size_t table = kHeaderSize + 2u * n;
  std::memset(out + table, 0, pos - table);
  put16(out + 2, static_cast<uint16_t>(pos - table));
  std::memcpy(p, out, kPageSize);
  return true;
}

void remove(uint8_t *p, uint16_t row) {
  replace(p, row, {}, kDeleted);
}

uint16_t liveRows(const uint8_t *p) {
  uint16_t n = rowCount(p), live = 0;
  for (uint16_t i = 0; i < n; ++i)
    if ((slotWord(p, i) & kDeleted) != kDeleted)
      ++live;
  return live;
}

} // namespace rowpage

// ---------------------------------------------------------------------------------------------

namespace {

std::string describe(const Value &v) {
  struct V {
    std::string operator()(std::monostate) const { return "Null"; }
    std::string operator()(bool b) const { return b ? "Sì" : "No"; }
    std::string operator()(uint8_t x) const { return std::to_string(x); }
    std::string operator()(int16_t x) const { return std::to_string(x); }
    std::string operator()(int32_t x) const { return std::to_string(x); }
    std::string operator()(Currency c) const { return std::to_string(c.units / 10000); }
    std::string operator()(float x) const { return num(x); }
    std::string operator()(double x) const { return num(x); }
    std::string operator()(DateTime d) const { return formatIso(d); }
    std::string operator()(const std::string &s) const {
      return "\"" + (s.size() > 40 ? s.substr(0, 40) + "..." : s) + "\"";
    }
    std::string operator()(const Bytes &b) const {
      return "(" + std::to_string(b.size()) + " byte)";
    }
    std::string operator()(const Guid &) const { return "GUID"; }
    std::string operator()(const Decimal &d) const {
      return (d.negative ? "-" : "") + std::to_string(static_cast<unsigned long long>(d.magnitude));
    }
    static std::string num(double x) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.15g", x);
      return buf;
    }
  };
  return std::visit(V{}, v.storage());
}

Status outOfRange(const ColumnDef &c, const Value &v, const char *range) {
  return {ErrorCode::OutOfRange, "Il valore " + describe(v) + " non è valido per il campo '" +
                                     c.name + "' (" + range + ")."};
}

Status mismatch(const ColumnDef &c, const Value &v) {
  return {ErrorCode::TypeMismatch, "Tipo di dati non corrispondente: il valore " + describe(v) +
                                       " non è adatto al campo '" + c.name + "'."};
}

// An integral value, or a whole number held as floating point.
bool asInteger(const Value &v, long double &out) {
  if (auto p = v.getIf<uint8_t>())
    out = *p;
  else if (auto p = v.getIf<int16_t>())
    out = *p;
  else if (auto p = v.getIf<int32_t>())
    out = *p;
  else if (auto p = v.getIf<bool>())
    out = *p ? -1 : 0;
  else if (auto p = v.getIf<double>())
    out = std::nearbyint(*p); // half to even, as Jet converts
  else if (auto p = v.getIf<float>())
    out = std::nearbyint(*p);
  else if (auto p = v.getIf<Currency>())
    out = std::nearbyint(static_cast<long double>(p->units) / 10000);
  else
    return false;
  return std::isfinite(static_cast<double>(out));
}

bool asReal(const Value &v, double &out) {
  if (auto p = v.getIf<double>())
    out = *p;
  else if (auto p = v.getIf<float>())
    out = *p;
  else if (auto p = v.getIf<uint8_t>())
    out = *p;
  else if (auto p = v.getIf<int16_t>())
    out = *p;
  else if (auto p = v.getIf<int32_t>())
    out = *p;
  else if (auto p = v.getIf<Currency>())
    out = static_cast<double>(p->units) / 10000.0;
  else if (auto p = v.getIf<bool>())
    out = *p ? -1 : 0;
  else
    return false;
  return true;
}

unsigned __int128 pow10u(int n) {
  unsigned __int128 r = 1;
  while (n-- > 0)
    r *= 10;
  return r;
}

Bytes scalarBytes(const ColumnDef &c, const Value &v) {
  Bytes b;
  b.reserve(16);
  switch (c.type) {
  case ColumnType::Byte:
    b.push_back(v.as<uint8_t>());
    break;
  case ColumnType::Integer:
    append16(b, static_cast<uint16_t>(v.as<int16_t>()));
    break;
  case ColumnType::Long:
    append32(b, static_cast<uint32_t>(v.as<int32_t>()));
    break;
  case ColumnType::Currency: {
    uint64_t u = static_cast<uint64_t>(v.as<Currency>().units);
    append32(b, static_cast<uint32_t>(u));
    append32(b, static_cast<uint32_t>(u >> 32));
    break;
  }
  case ColumnType::Single: {
    float f = v.as<float>();
    uint32_t u;
    std::memcpy(&u, &f, 4);
    append32(b, u);
    break;
  }
  case ColumnType::Double:
  case ColumnType::DateTime: {
    double d = c.type == ColumnType::Double ? v.as<double>() : v.as<DateTime>().days;
    uint64_t u;
    std::memcpy(&u, &d, 8);
    append32(b, static_cast<uint32_t>(u));
    append32(b, static_cast<uint32_t>(u >> 32));
    break;
  }
  case ColumnType::Guid:
    b.assign(v.as<Guid>().bytes.begin(), v.as<Guid>().bytes.end());
    break;
  case ColumnType::Numeric: {
    const Decimal &d = v.as<Decimal>();
    b.push_back(d.negative ? 0x80 : 0x00);
    for (int k = 3; k >= 0; --k)
      append32(b, static_cast<uint32_t>(d.magnitude >> (32 * k)));
    break;
  }
  case ColumnType::Text:
  case ColumnType::Memo: {
    std::u16string u;
    toUtf16(v.as<std::string>(), u);
    bool compress = c.compressedUnicode() && (c.type == ColumnType::Text || u.size() <= 1024);
    if (c.isFixed()) {
      // Fixed-length text is kept whole, padded with blanks.
      u.resize(c.length / 2, u' ');
      compress = false;
    }
    b = encodeJetText(u, compress);
    break;
  }
  case ColumnType::Binary:
  case ColumnType::Ole:
    b = v.as<Bytes>();
    if (c.type == ColumnType::Binary && c.isFixed())
      b.resize(c.length, 0);
    break;
  case ColumnType::Boolean:
    break;
  }
  return b;
}

} // namespace

TableWriter::TableWriter(WriteContext ctx, std::shared_ptr<const TableDef> def,
                         IndexMaintainer &indexes)
    : ctx_(ctx), def_(std::move(def)), indexes_(indexes) {}

Status TableWriter::coerce(std::vector<Value> &values) const {
  const TableDef &def = *def_;
  if (values.size() != def.columns.size())
    return {ErrorCode::ValueCountMismatch, "Il numero dei valori non corrisponde al numero dei "
                                           "campi della tabella '" +
                                               def.name + "'."};
  for (size_t i = 0; i < values.size(); ++i) {
    const ColumnDef &c = def.columns[i];
    Value &v = values[i];
    if (c.type == ColumnType::Boolean) {
      if (v.isNull())
        v = Value(false);
      else if (!v.is<bool>()) {
        long double x;
        if (!asInteger(v, x))
          return mismatch(c, v);
        v = Value(x != 0);
      }
      continue;
    }
    if (v.isNull())
      continue;
    long double x = 0;
    double d = 0;
    switch (c.type) {
    case ColumnType::Byte:
      if (!asInteger(v, x))
        return mismatch(c, v);
      if (x < 0 || x > 255)
        return outOfRange(c, v, "Byte: da 0 a 255");
      v = Value(static_cast<uint8_t>(x));
      break;
    case ColumnType::Integer:
      if (!asInteger(v, x))
        return mismatch(c, v);
      if (x < -32768 || x > 32767)
        return outOfRange(c, v, "Intero: da -32.768 a 32.767");
      v = Value(static_cast<int16_t>(x));
      break;
    case ColumnType::Long:
      if (!asInteger(v, x))
        return mismatch(c, v);
      if (x < -2147483648.0L || x > 2147483647.0L)
        return outOfRange(c, v, "Intero lungo: da -2.147.483.648 a 2.147.483.647");
      v = Value(static_cast<int32_t>(x));
      break;
    case ColumnType::Currency:
      if (v.is<Currency>())
        break;
      if (!asReal(v, d))
        return mismatch(c, v);
      if (!std::isfinite(d) || std::fabs(d) > 922337203685477.0)
        return outOfRange(c, v, "Valuta: al massimo 922.337.203.685.477,5807");
      v = Value(Currency{static_cast<int64_t>(std::nearbyint(d * 10000.0))});
      break;
    case ColumnType::Single:
      if (v.is<float>())
        break;
      if (!asReal(v, d))
        return mismatch(c, v);
      if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max())
        return outOfRange(c, v, "Precisione singola");
      v = Value(static_cast<float>(d));
      break;
    case ColumnType::Double:
      if (v.is<double>())
        break;
      if (!asReal(v, d))
        return mismatch(c, v);
      v = Value(d);
      break;
    case ColumnType::DateTime:
      if (v.is<DateTime>())
        break;
      if (!asReal(v, d))
        return mismatch(c, v);
      v = Value(DateTime{d});
      break;
    case ColumnType::Guid:
      if (!v.is<Guid>())
        return mismatch(c, v);
      break;
    case ColumnType::Numeric: {
      Decimal dec;
      if (auto p = v.getIf<Decimal>()) {
        dec = *p;
      } else if (asInteger(v, x) && !v.is<double>() && !v.is<float>()) {
        dec.negative = x < 0;
        dec.magnitude = static_cast<unsigned __int128>(x < 0 ? -x : x);
        dec.scale = 0;
      } else if (asReal(v, d)) {
        if (!std::isfinite(d))
          return outOfRange(c, v, "Decimale");
        long double scaled = std::nearbyint(static_cast<long double>(d) * powl(10, c.scale));
        if (std::fabs(static_cast<double>(scaled)) >= 1e28)
          return outOfRange(c, v, "Decimale");
        dec.negative = scaled < 0;
        dec.magnitude = static_cast<unsigned __int128>(scaled < 0 ? -scaled : scaled);
        dec.scale = c.scale;
      } else {
        return mismatch(c, v);
      }
      // Rescale to the column's scale, rounding half away from zero.
      if (dec.scale < c.scale) {
        dec.magnitude *= pow10u(c.scale - dec.scale);
      } else if (dec.scale > c.scale) {
        unsigned __int128 div = pow10u(dec.scale - c.scale);
        unsigned __int128 q = dec.magnitude / div, r = dec.magnitude % div;
        if (r * 2 >= div)
          ++q;
        dec.magnitude = q;
      }
      dec.scale = c.scale;
      dec.precision = c.precision;
      if (dec.magnitude >= pow10u(c.precision ? c.precision : 28))
        return outOfRange(
            c, v, ("Decimale: al massimo " + std::to_string(c.precision) + " cifre").c_str());
      if (dec.magnitude == 0)
        dec.negative = false;
      v = Value(dec);
      break;
    }
    case ColumnType::Text:
    case ColumnType::Memo: {
      const std::string *s = v.getIf<std::string>();
      if (!s)
        return mismatch(c, v);
      std::u16string u;
      if (!toUtf16(*s, u))
        return {ErrorCode::TypeMismatch, "Il testo per il campo '" + c.name + "' non è valido."};
      if (c.type == ColumnType::Text && u.size() > c.length / 2u)
        return {ErrorCode::TextTooLong,
                "Il valore " + describe(v) + " è troppo lungo per il campo '" + c.name +
                    "' (al massimo " + std::to_string(c.length / 2) + " caratteri)."};
      break;
    }
    case ColumnType::Binary:
    case ColumnType::Ole: {
      const Bytes *b = v.getIf<Bytes>();
      if (!b)
        return mismatch(c, v);
      if (c.type == ColumnType::Binary && b->size() > c.length)
        return {ErrorCode::TextTooLong, "Il valore binario di " + std::to_string(b->size()) +
                                            " byte è troppo lungo per il campo '" + c.name +
                                            "' (al massimo " + std::to_string(c.length) +
                                            " byte)."};
      break;
    }
    case ColumnType::Boolean:
      break;
    }
  }
  for (size_t i = 0; i < values.size(); ++i)
    if (def.columns[i].required && values[i].isNull())
      return requiredNull(def.name, def.columns[i].name);
  // Columns of a required index (a primary key) refuse Null.
  for (const auto &ix : def.physicalIndexes) {
    if (!ix.required())
      continue;
    for (const auto &ic : ix.columns) {
      const ColumnDef *c = def.columnByNumber(ic.columnNumber);
      if (!c)
        continue;
      size_t pos = static_cast<size_t>(c - def.columns.data());
      if (values[pos].isNull())
        return requiredNull(def.name, c->name);
    }
  }
  return Status::ok();
}

// ---------------------------------------------------------------------------------------------
// Rows

Status TableWriter::checkOwnPage(uint32_t page, const uint8_t *img) const {
  if (img[0] != kPageTypeData || le32(img + 4) != def_->page)
    return inTable(corruptPage(page, "la riga non appartiene a questa tabella"), def_->name);
  return Status::ok();
}

Result<TableWriter::Located> TableWriter::locate(RowLocation at) {
  Located out;
  out.header = at;
  PageRef hold;
  auto img = ctx_.pager.peek(at.page, hold);
  if (!img)
    return img.status();
  JET_TRY(checkOwnPage(at.page, *img));
  uint16_t s, e;
  if (at.row >= rowpage::rowCount(*img) || (rowpage::slotWord(*img, at.row) & rowpage::kMovedData))
    return Status(ErrorCode::NoCurrentRecord, "Il record è stato eliminato.");
  if (!rowpage::bounds(*img, at.row, s, e))
    return inTable(corruptPage(at.page, "riga fuori dai limiti della pagina"), def_->name);
  RowPointer cur{at.page, static_cast<uint8_t>(at.row)};
  const uint8_t *p = *img;
  for (int hop = 0; rowpage::slotWord(p, cur.row) & rowpage::kPointer; ++hop) {
    if (hop >= 8 || e - s < 4)
      return inTable(corruptPage(cur.page, "riga spostata con un rimando non valido"), def_->name);
    out.overflow = true;
    cur = RowPointer::decode(le32(p + s));
    auto next = ctx_.pager.peek(cur.page, hold);
    if (!next)
      return next.status();
    p = *next;
    JET_TRY(checkOwnPage(cur.page, p));
    if (!rowpage::bounds(p, cur.row, s, e))
      return inTable(corruptPage(cur.page, "riga spostata fuori dai limiti"), def_->name);
  }
  out.data = cur;
  out.bytes.assign(p + s, p + e);
  return out;
}

Result<std::vector<Value>> TableWriter::decode(const Located &row) {
  auto layout = RowLayout::parse(row.bytes, def_->varColumnCount, row.data.page);
  if (!layout)
    return inTable(layout.status(), def_->name);
  RowDecoder decoder(ctx_.pager, *def_);
  std::vector<Value> out;
  JET_TRY(inTable(decoder.row(*layout, row.data.page, out), def_->name));
  return out;
}

Result<std::vector<Value>> TableWriter::read(RowLocation at) {
  auto row = locate(at);
  if (!row)
    return row.status();
  return decode(*row);
}

Result<Bytes> TableWriter::encode(const std::vector<Value> &values,
                                  std::vector<Bytes> &longFields) {
  const TableDef &def = *def_;
  uint16_t columnCount = def.maxColumns;
  size_t fixedEnd = 0;
  uint16_t varSlots = 0;
  for (const auto &c : def.columns) {
    columnCount = std::max<uint16_t>(columnCount, static_cast<uint16_t>(c.number + 1));
    if (c.isFixed() && !c.isLongValue()) {
      size_t size = (c.type == ColumnType::Text || c.type == ColumnType::Binary)
                        ? c.length
                        : fixedSizeOf(c.type);
      fixedEnd = std::max(fixedEnd, static_cast<size_t>(c.fixedOffset) + size);
    } else {
      varSlots = std::max<uint16_t>(varSlots, static_cast<uint16_t>(c.varIndex + 1));
    }
  }
  Bytes row(2 + fixedEnd, 0);
  row.reserve(kMaxRowSize / 4);
  put16(row.data(), columnCount);
  Bytes mask((columnCount + 7) / 8, 0);
  std::vector<const Bytes *> var(varSlots, nullptr);
  std::vector<Bytes> scratch(def.columns.size());
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef &c = def.columns[i];
    const Value &v = values[i];
    bool set = c.type == ColumnType::Boolean ? v.as<bool>() : !v.isNull();
    if (set)
      mask[c.number / 8] |= static_cast<uint8_t>(1u << (c.number % 8));
    if (!set || c.type == ColumnType::Boolean)
      continue;
    if (c.isLongValue()) {
      var[c.varIndex] = &longFields[i];
      continue;
    }
    scratch[i] = scalarBytes(c, v);
    if (c.isFixed()) {
      std::memcpy(row.data() + 2 + c.fixedOffset, scratch[i].data(),
                  std::min<size_t>(scratch[i].size(), fixedEnd - c.fixedOffset));
    } else {
      var[c.varIndex] = &scratch[i];
    }
  }
  if (def.varColumnCount > 0) {
    std::vector<uint16_t> offsets(varSlots);
    for (uint16_t k = 0; k < varSlots; ++k) {
      offsets[k] = static_cast<uint16_t>(row.size());
      if (var[k])
        row.insert(row.end(), var[k]->begin(), var[k]->end());
      if (row.size() > kMaxRowSize)
        break;
    }
    append16(row, static_cast<uint16_t>(row.size()));
    for (int k = varSlots - 1; k >= 0; --k)
      append16(row, offsets[k]);
    append16(row, varSlots);
  }
  row.insert(row.end(), mask.begin(), mask.end());
  if (row.size() > kMaxRowSize)
    return Status(ErrorCode::TextTooLong,
                  "Record troppo grande: i dati della riga superano lo spazio di una pagina della "
                  "tabella '" +
                      def.name + "'.");
  return row;
}

Result<RowLocation> TableWriter::placeRow(ByteView bytes, uint16_t flags) {
  UsageMapEditor freeMap(ctx_.pager, &ctx_.pages, def_->freePagesMap);
  uint32_t from = 0;
  for (;;) {
    auto next = freeMap.next(from);
    if (!next)
      return inTable(next.status(), def_->name);
    if (!*next)
      break;
    uint32_t page = **next;
    from = page + 1;
    PageRef hold;
    auto img = ctx_.pager.peek(page, hold);
    if (!img)
      return img.status();
    if ((*img)[0] != kPageTypeData || le32(*img + 4) != def_->page) {
      JET_TRY(freeMap.remove(page)); // not ours any more
      continue;
    }
    if (!rowpage::fits(*img, bytes.size())) {
      JET_TRY(freeMap.remove(page));
      continue;
    }
    auto m = ctx_.pager.modify(page);
    if (!m)
      return m.status();
    int row = rowpage::append(*m, bytes, flags);
    if (row >= 0)
      return RowLocation{page, static_cast<uint16_t>(row)};
  }
  auto page = ctx_.pages.allocate();
  if (!page)
    return page.status();
  auto m = ctx_.pager.modify(*page);
  if (!m)
    return m.status();
  rowpage::init(*m, def_->page);
  int row = rowpage::append(*m, bytes, flags);
  if (row < 0)
    return Status(ErrorCode::Internal, "Riga più grande di una pagina.");
  UsageMapEditor used(ctx_.pager, &ctx_.pages, def_->usedPagesMap);
  JET_TRY(used.add(*page));
  JET_TRY(freeMap.add(*page));
  return RowLocation{*page, static_cast<uint16_t>(row)};
}

Status TableWriter::noteFreeSpace(uint32_t page) {
  UsageMapEditor freeMap(ctx_.pager, &ctx_.pages, def_->freePagesMap);
  auto has = freeMap.contains(page);
  if (!has)
    return has.status();
  return *has ? Status::ok() : freeMap.add(page);
}

Status TableWriter::removeDataRow(RowPointer at) {
  auto m = ctx_.pager.modify(at.page);
  if (!m)
    return m.status();
  rowpage::remove(*m, at.row);
  return noteFreeSpace(at.page);
}

Status TableWriter::updateCounters(int rowDelta, uint32_t autoNumber) {
  auto m = ctx_.pager.modify(def_->page);
  if (!m)
    return m.status();
  uint32_t rows = le32(*m + kTableDefRowCountOffset);
  put32(*m + kTableDefRowCountOffset, static_cast<uint32_t>(static_cast<int64_t>(rows) + rowDelta));
  if (autoNumber > le32(*m + kTableDefAutoNumberOffset))
    put32(*m + kTableDefAutoNumberOffset, autoNumber);
  return Status::ok();
}

// ---------------------------------------------------------------------------------------------
// Long values

Result<RowPointer> TableWriter::placeLongValueRow(const ColumnDef &col, ByteView row, bool shared) {
  const LongValueMaps *maps = def_->longValueMapsOf(col.number);
  if (shared && maps) {
    UsageMapEditor freeMap(ctx_.pager, &ctx_.pages, maps->freePagesMap);
    uint32_t from = 0;
    for (;;) {
      auto next = freeMap.next(from);
      if (!next)
        return next.status();
      if (!*next)
        break;
      uint32_t page = **next;
      from = page + 1;
      PageRef hold;
      auto img = ctx_.pager.peek(page, hold);
      if (!img)
        return img.status();
      if ((*img)[0] != kPageTypeData || std::memcmp(*img + 4, "LVAL", 4) != 0 ||
          !rowpage::fits(*img, row.size())) {
        JET_TRY(freeMap.remove(page));
        continue;
      }
      auto m = ctx_.pager.modify(page);
      if (!m)
        return m.status();
      int r = rowpage::append(*m, row, 0);
      if (r >= 0)
        return RowPointer{page, static_cast<uint8_t>(r)};
    }
  }
  auto page = ctx_.pages.allocate();
  if (!page)
    return page.status();
  auto m = ctx_.pager.modify(*page);
  if (!m)
    return m.status();
  rowpage::init(*m, 0);
  int r = rowpage::append(*m, row, 0);
  if (r < 0)
    return Status(ErrorCode::Internal, "Valore lungo più grande di una pagina.");
  if (maps) {
    UsageMapEditor used(ctx_.pager, &ctx_.pages, maps->usedPagesMap);
    JET_TRY(used.add(*page));
    if (rowpage::gap(*m) > 2 + kMaxInlineLongValue) {
      UsageMapEditor freeMap(ctx_.pager, &ctx_.pages, maps->freePagesMap);
      JET_TRY(freeMap.add(*page));
    }
  }
  return RowPointer{*page, static_cast<uint8_t>(r)};
}

Result<Bytes> TableWriter::writeLongValue(const ColumnDef &col, ByteView data) {
  if (data.size() > LongValueRef::kMaxLength)
    return Status(ErrorCode::TextTooLong, "Valore troppo lungo per il campo '" + col.name + "'.");
  uint32_t length = static_cast<uint32_t>(data.size());
  if (data.size() <= kMaxSingleLongValue) {
    auto at = placeLongValueRow(col, data, true);
    if (!at)
      return at.status();
    return LongValueRef::encode(length, LongValueRef::kSinglePage, pointerWord(*at));
  }
  // A chain: full parts on pages of their own, in page order, the rest on a shared page.
  size_t parts = (data.size() + kChainPartData - 1) / kChainPartData;
  size_t lastSize = data.size() - (parts - 1) * kChainPartData;
  std::vector<uint32_t> pages(parts - 1);
  for (auto &p : pages) {
    auto page = ctx_.pages.allocate();
    if (!page)
      return page.status();
    p = *page;
  }
  Bytes row;
  append32(row, 0);
  row.insert(row.end(), data.end() - static_cast<ptrdiff_t>(lastSize), data.end());
  auto last = placeLongValueRow(col, row, lastSize < kChainPartData);
  if (!last)
    return last.status();
  RowPointer next = *last;
  const LongValueMaps *maps = def_->longValueMapsOf(col.number);
  for (size_t k = parts - 1; k-- > 0;) {
    row.clear();
    append32(row, pointerWord(next));
    auto from = data.begin() + static_cast<ptrdiff_t>(k * kChainPartData);
    row.insert(row.end(), from, from + kChainPartData);
    auto m = ctx_.pager.modify(pages[k]);
    if (!m)
      return m.status();
    rowpage::init(*m, 0);
    if (rowpage::append(*m, row, 0) != 0)
      return Status(ErrorCode::Internal, "Parte di un valore lungo più grande di una pagina.");
    if (maps) {
      UsageMapEditor used(ctx_.pager, &ctx_.pages, maps->usedPagesMap);
      JET_TRY(used.add(pages[k]));
    }
    next = RowPointer{pages[k], 0};
  }
  return LongValueRef::encode(length, LongValueRef::kChain, pointerWord(next));
}

Status TableWriter::removeLongValueRow(const ColumnDef &col, RowPointer at) {
  auto m = ctx_.pager.modify(at.page);
  if (!m)
    return m.status();
  if ((*m)[0] != kPageTypeData || std::memcmp(*m + 4, "LVAL", 4) != 0 ||
      at.row >= rowpage::rowCount(*m))
    return inTable(corruptPage(at.page, "un campo memo o OLE rimanda a una pagina non valida"),
                   def_->name);
  rowpage::remove(*m, at.row);
  const LongValueMaps *maps = def_->longValueMapsOf(col.number);
  if (rowpage::liveRows(*m) == 0) {
    if (maps) {
      UsageMapEditor used(ctx_.pager, &ctx_.pages, maps->usedPagesMap);
      UsageMapEditor freeMap(ctx_.pager, &ctx_.pages, maps->freePagesMap);
      JET_TRY(used.remove(at.page));
      JET_TRY(freeMap.remove(at.page));
      return ctx_.pages.release(at.page);
    }
    return Status::ok();
  }
  if (maps) {
    UsageMapEditor freeMap(ctx_.pager, &ctx_.pages, maps->freePagesMap);
    auto has = freeMap.contains(at.page);
    if (!has)
      return has.status();
    if (!*has)
      JET_TRY(freeMap.add(at.page));
  }
  return Status::ok();
}

Status TableWriter::freeLongValue(const ColumnDef &col, ByteView field) {
  auto ref = LongValueRef::parse(field, 0);
  if (!ref)
    return inTable(ref.status(), def_->name);
  if (ref->kind == LongValueRef::kInline)
    return Status::ok();
  if (ref->kind == LongValueRef::kSinglePage)
    return removeLongValueRow(col, ref->first);
  RowPointer at = ref->first;
  uint64_t left = ref->length;
  for (uint32_t guard = 0; left > 0 && at.page != 0; ++guard) {
    if (guard > ctx_.pager.pageCount())
      return inTable(corrupt("catena di un campo memo o OLE che torna su se stessa"), def_->name);
    PageRef hold;
    auto img = ctx_.pager.peek(at.page, hold);
    if (!img)
      return img.status();
    uint16_t s, e;
    if ((*img)[0] != kPageTypeData || !rowpage::bounds(*img, at.row, s, e) || e - s < 4)
      return inTable(corruptPage(at.page, "catena di un campo memo o OLE interrotta"), def_->name);
    RowPointer next = RowPointer::decode(le32(*img + s));
    size_t took = std::min<uint64_t>(left, e - s - 4u);
    left -= took;
    JET_TRY(removeLongValueRow(col, at));
    at = next;
  }
  return Status::ok();
}

Status TableWriter::prepareLongValues(const std::vector<Value> &values, std::vector<Bytes> &fields,
                                      const std::vector<bool> &keep) {
  // Which values go in the row: the short ones, while the row has room.
  std::vector<Bytes> data(def_->columns.size());
  bool any = false;
  for (size_t i = 0; i < def_->columns.size(); ++i) {
    const ColumnDef &c = def_->columns[i];
    if (!c.isLongValue() || values[i].isNull() || keep[i])
      continue;
    data[i] = scalarBytes(c, values[i]);
    fields[i].assign(LongValueRef::kSize, 0);
    any = true;
  }
  if (!any)
    return Status::ok(); // no long value to place: no trial row to measure
  auto base = encode(values, fields);
  size_t size = base ? base->size() : 0;
  for (size_t i = 0; i < def_->columns.size(); ++i) {
    const ColumnDef &c = def_->columns[i];
    if (!c.isLongValue() || values[i].isNull() || keep[i])
      continue;
    if (base && data[i].size() <= kMaxInlineLongValue && size + data[i].size() <= kMaxRowSize) {
      Bytes f = LongValueRef::encode(static_cast<uint32_t>(data[i].size()), LongValueRef::kInline);
      f.insert(f.end(), data[i].begin(), data[i].end());
      fields[i] = std::move(f);
      size += data[i].size();
      continue;
    }
    auto f = writeLongValue(c, data[i]);
    if (!f)
      return f.status();
    fields[i] = std::move(*f);
  }
  return Status::ok();
}

// ---------------------------------------------------------------------------------------------
// Statements

Result<RowLocation> TableWriter::insert(std::vector<Value> &values,
                                        const std::vector<bool> &supplied) {
  const TableDef &def = *def_;
  if (values.size() != def.columns.size())
    return coerce(values); // the count message
  PageRef hold;
  auto tdef = ctx_.pager.peek(def.page, hold);
  if (!tdef)
    return tdef.status();
  uint32_t counter = le32(*tdef + kTableDefAutoNumberOffset);
  uint32_t newCounter = 0;
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef &c = def.columns[i];
    bool given = supplied.empty() ? !values[i].isNull() : bool(supplied[i]);
    if (c.isAutoNumber() && c.type == ColumnType::Long) {
      if (!given || values[i].isNull()) {
        if (counter >= 0x7FFFFFFFu)
          return Status(ErrorCode::OutOfRange,
                        "Il contatore del campo '" + c.name + "' ha raggiunto il valore massimo.");
        values[i] = Value(static_cast<int32_t>(counter + 1));
      }
    } else if (c.isAutoGuid() && c.type == ColumnType::Guid && (!given || values[i].isNull())) {
      values[i] = Value(newGuid());
    } else if (!given) {
      values[i] = Value();
    }
  }
  JET_TRY(coerce(values));
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef &c = def.columns[i];
    if (c.isAutoNumber() && c.type == ColumnType::Long && values[i].as<int32_t>() > 0)
      newCounter = std::max<uint32_t>(newCounter, static_cast<uint32_t>(values[i].as<int32_t>()));
  }
  std::vector<Bytes> fields(def.columns.size());
  JET_TRY(prepareLongValues(values, fields, std::vector<bool>(def.columns.size(), false)));
  auto bytes = encode(values, fields);
  if (!bytes)
    return bytes.status();
  auto at = placeRow(*bytes, 0);
  if (!at)
    return at.status();
  JET_TRY(updateCounters(+1, newCounter));
  JET_TRY(indexes_.rowInserted(ctx_, def, *at, values));
  return *at;
}

Status TableWriter::update(RowLocation at, std::vector<Value> &values) {
  const TableDef &def = *def_;
  auto old = locate(at);
  if (!old)
    return old.status();
  auto oldValues = decode(*old);
  if (!oldValues)
    return oldValues.status();
  JET_TRY(coerce(values));
  for (size_t i = 0; i < def.columns.size(); ++i)
    if (def.columns[i].isAutoNumber() && !(values[i] == (*oldValues)[i]))
      return {ErrorCode::FieldNotUpdatable,
              "Impossibile aggiornare il campo '" + def.columns[i].name + "': è un contatore."};
  auto layout = RowLayout::parse(old->bytes, def.varColumnCount, old->data.page);
  if (!layout)
    return inTable(layout.status(), def.name);

  // Long values that did not change keep their storage; the others are written anew.
  std::vector<Bytes> fields(def.columns.size());
  std::vector<bool> keep(def.columns.size(), false);
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef &c = def.columns[i];
    if (!c.isLongValue())
      continue;
    bool stored = layout->isSet(c.number) && c.varIndex < layout->varCount();
    if (!stored)
      continue;
    auto field = layout->varField(c.varIndex, old->data.page);
    if (!field)
      return inTable(field.status(), def.name);
    if (values[i] == (*oldValues)[i]) {
      keep[i] = true;
      fields[i].assign(field->begin(), field->end());
    } else {
      JET_TRY(freeLongValue(c, *field));
    }
  }
  JET_TRY(prepareLongValues(values, fields, keep));
  auto bytes = encode(values, fields);
  if (!bytes)
    return bytes.status();

  auto header = ctx_.pager.modify(at.page);
  if (!header)
    return header.status();
  if (rowpage::replace(*header, at.row, *bytes, 0)) {
    if (old->overflow)
      JET_TRY(removeDataRow(old->data));
    JET_TRY(noteFreeSpace(at.page));
  } else {
    bool placed = false;
    if (old->overflow) {
      auto target = ctx_.pager.modify(old->data.page);
      if (!target)
        return target.status();
      placed = rowpage::replace(*target, old->data.row, *bytes, rowpage::kMovedData);
      if (placed)
        JET_TRY(noteFreeSpace(old->data.page));
    }
    if (!placed) {
      auto moved = placeRow(*bytes, rowpage::kMovedData);
      if (!moved)
        return moved.status();
      Bytes pointer;
      append32(pointer, pointerWord({moved->page, static_cast<uint8_t>(moved->row)}));
      header = ctx_.pager.modify(at.page);
      if (!header)
        return header.status();
      if (!rowpage::replace(*header, at.row, pointer, rowpage::kPointer))
        return inTable(corruptPage(at.page, "nessuno spazio per il rimando della riga"), def.name);
      if (old->overflow)
        JET_TRY(removeDataRow(old->data));
      JET_TRY(noteFreeSpace(at.page));
    }
  }
  return indexes_.rowUpdated(ctx_, def, at, *oldValues, values);
}

Status TableWriter::remove(RowLocation at) {
  const TableDef &def = *def_;
  auto old = locate(at);
  if (!old)
    return old.status();
  auto oldValues = decode(*old);
  if (!oldValues)
    return oldValues.status();
  auto layout = RowLayout::parse(old->bytes, def.varColumnCount, old->data.page);
  if (!layout)
    return inTable(layout.status(), def.name);
  for (const auto &c : def.columns) {
    if (!c.isLongValue() || !layout->isSet(c.number) || c.varIndex >= layout->varCount())
      continue;
    auto field = layout->varField(c.varIndex, old->data.page);
    if (!field)
      return inTable(field.status(), def.name);
    JET_TRY(freeLongValue(c, *field));
  }
  if (old->overflow)
    JET_TRY(removeDataRow(old->data));
  JET_TRY(removeDataRow({at.page, static_cast<uint8_t>(at.row)}));
  JET_TRY(updateCounters(-1, 0));
  return indexes_.rowDeleted(ctx_, def, at, *oldValues);
}

IndexMaintainer &noIndexMaintenance() {
  static IndexMaintainer none;
  return none;
}

} // namespace jet

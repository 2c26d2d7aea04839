#include "jet/row_codec.h"

#include "jet/errors.h"
#include "jet/text_codec.h"

#include <cstring>

namespace jet {

Result<RowLayout> RowLayout::parse(ByteView row, uint16_t varColumns, uint32_t page) {
  RowLayout r;
  r.row_ = row;
  if (row.size() < 2)
    return corruptPage(page, "riga troppo corta");
  r.columnCount_ = le16(row.data());
  size_t maskSize = (static_cast<size_t>(r.columnCount_) + 7) / 8;
  if (row.size() < 2 + maskSize)
    return corruptPage(page, "riga troppo corta per le sue colonne");
  r.maskStart_ = row.size() - maskSize;
  if (varColumns == 0) {
    r.fixedEnd_ = r.maskStart_;
    r.varEnd_ = r.maskStart_;
    return r;
  }
  if (r.maskStart_ < 2 + 4)
    return corruptPage(page, "riga troppo corta per le sue colonne");
  r.varCount_ = le16(row.data() + r.maskStart_ - 2);
  // The offsets and the end offset, below the count.
  size_t tableBytes = 2 * (static_cast<size_t>(r.varCount_) + 1);
  if (r.maskStart_ - 2 < 2 + tableBytes)
    return corruptPage(page, "tabella degli scostamenti della riga fuori dai limiti");
  size_t tableStart = r.maskStart_ - 2 - tableBytes;
  size_t eod = le16(row.data() + tableStart);
  if (eod < 2 || eod > tableStart)
    return corruptPage(page, "fine dei dati della riga fuori dai limiti");
  r.varEnd_ = eod;
  r.fixedEnd_ = r.varCount_ > 0 ? le16(row.data() + r.maskStart_ - 4) : eod;
  if (r.fixedEnd_ < 2 || r.fixedEnd_ > eod)
    return corruptPage(page, "scostamento di una colonna variabile fuori dai limiti");
  return r;
}

bool RowLayout::isSet(uint16_t n) const {
  if (n >= columnCount_)
    return false;
  return (row_[maskStart_ + n / 8] >> (n % 8)) & 1;
}

Result<ByteView> RowLayout::fixedField(uint16_t offset, size_t size, uint32_t page) const {
  size_t start = 2 + static_cast<size_t>(offset);
  if (start > fixedEnd_ || size > fixedEnd_ - start)
    return corruptPage(page, "colonna a lunghezza fissa fuori dai limiti della riga");
  return row_.subspan(start, size);
}

Result<ByteView> RowLayout::varField(uint16_t varIndex, uint32_t page) const {
  // Entry i lies 2*(i+2) bytes below the null mask; entry varCount is the end offset.
  size_t startPos = maskStart_ - 4 - 2 * static_cast<size_t>(varIndex);
  size_t start = le16(row_.data() + startPos);
  size_t end = le16(row_.data() + startPos - 2);
  if (start < 2 || start > end || end > varEnd_)
    return corruptPage(page, "colonna a lunghezza variabile fuori dai limiti della riga");
  return row_.subspan(start, end - start);
}

namespace {

template <typename T> T load(ByteView b) {
  T v;
  std::memcpy(&v, b.data(), sizeof v);
  return v;
}

} // namespace

Status decodeScalarInto(const ColumnDef &col, ByteView b, uint32_t page, Value &out) {
  size_t need = fixedSizeOf(col.type);
  if (b.size() < need)
    return corruptPage(page, "valore troppo corto per la colonna \"" + col.name + "\"");
  switch (col.type) {
  case ColumnType::Boolean:
    out = Value(true);
    return Status::ok();
  case ColumnType::Byte:
    out = Value(b[0]);
    return Status::ok();
  case ColumnType::Integer:
    out = Value(static_cast<int16_t>(le16(b.data())));
    return Status::ok();
  case ColumnType::Long:
    out = Value(static_cast<int32_t>(le32(b.data())));
    return Status::ok();
  case ColumnType::Currency:
    out = Value(Currency{static_cast<int64_t>(le64(b.data()))});
    return Status::ok();
  case ColumnType::Single: {
    uint32_t bits = le32(b.data());
    out = Value(load<float>({reinterpret_cast<const uint8_t *>(&bits), 4}));
    return Status::ok();
  }
  case ColumnType::Double: {
    uint64_t bits = le64(b.data());
    out = Value(load<double>({reinterpret_cast<const uint8_t *>(&bits), 8}));
    return Status::ok();
  }
  case ColumnType::DateTime: {
    uint64_t bits = le64(b.data());
    out = Value(DateTime{load<double>({reinterpret_cast<const uint8_t *>(&bits), 8})});
    return Status::ok();
  }
  case ColumnType::Guid: {
    Guid g;
    std::memcpy(g.bytes.data(), b.data(), 16);
    out = Value(g);
    return Status::ok();
  }
  case ColumnType::Numeric: {
    Decimal d;
    d.negative = (b[0] & 0x80) != 0;
    d.precision = col.precision;
    d.scale = col.scale;
    // Four 32-bit words, most significant first, each little-endian.
    for (int k = 0; k < 4; ++k)
      d.magnitude = (d.magnitude << 32) | le32(b.data() + 1 + 4 * k);
    out = Value(d);
    return Status::ok();
  }
  case ColumnType::Text:
  case ColumnType::Memo:
    out = Value(decodeJetText(b));
    return Status::ok();
  case ColumnType::Binary:
  case ColumnType::Ole:
    out = Value(Bytes(b.begin(), b.end()));
    return Status::ok();
  }
  return corruptPage(page, "tipo di colonna sconosciuto");
}

Result<Value> decodeScalar(const ColumnDef &col, ByteView b, uint32_t page) {
  Value v;
  Status st = decodeScalarInto(col, b, page, v);
  if (!st)
    return st;
  return v;
}

Result<Value> RowDecoder::column(const RowLayout &row, const ColumnDef &col, uint32_t page) {
  Value v;
  Status st = columnInto(row, col, page, v);
  if (!st)
    return st;
  return v;
}

Status RowDecoder::columnInto(const RowLayout &row, const ColumnDef &col, uint32_t page,
                              Value &out) {
  bool set = row.isSet(col.number);
  if (col.type == ColumnType::Boolean) {
    out = Value(set);
    return Status::ok();
  }
  out = Value();
  if (!set)
    return Status::ok();
  ByteView bytes;
  if (col.isFixed() && !col.isLongValue()) {
    size_t size = fixedSizeOf(col.type);
    if (col.type == ColumnType::Text || col.type == ColumnType::Binary)
      size = col.length;
    auto f = row.fixedField(col.fixedOffset, size, page);
    if (!f)
      return f.status();
    bytes = *f;
  } else {
    if (col.varIndex >= row.varCount())
      return Status::ok(); // column added after the row was written
    auto f = row.varField(col.varIndex, page);
    if (!f)
      return f.status();
    bytes = *f;
  }
  if (col.type == ColumnType::Memo)
    return longValues_.readText(bytes, page, out);
  if (col.type == ColumnType::Ole) {
    auto data = longValues_.read(bytes, page);
    if (!data)
      return data.status();
    out = Value(std::move(*data));
    return Status::ok();
  }
  return decodeScalarInto(col, bytes, page, out);
}

Status RowDecoder::row(const RowLayout &layout, uint32_t page, std::vector<Value> &out) {
  out.resize(def_.columns.size());
  for (size_t i = 0; i < def_.columns.size(); ++i)
    JET_TRY(columnInto(layout, def_.columns[i], page, out[i]));
  return Status::ok();
}

} // namespace jet

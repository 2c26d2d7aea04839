#include "jet/database_builder.h"

#include "jet/bytes.h"
#include "jet/catalog.h"
#include "jet/errors.h"
#include "jet/header.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/long_value.h"
#include "jet/names.h"
#include "jet/page_store.h"
#include "jet/pager.h"
#include "jet/text_encoder.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <memory>
#include <unistd.h>

namespace jet {

namespace {

constexpr uint32_t kTablesId = 0x0F000001u;
constexpr uint32_t kDatabasesId = 0x0F000002u;
constexpr uint32_t kRelationshipsId = 0x0F000003u;
constexpr uint32_t kMSysDbId = 0x10000000u;
constexpr int32_t kSystemObjectFlags = static_cast<int32_t>(0x80000000u);
constexpr size_t kRowHeader = 14;
constexpr size_t kMapRowSize = 69;
constexpr uint32_t kInlineMapPages = (kMapRowSize - 5) * 8;
constexpr uint32_t kMapPagePages = (kPageSize - 4) * 8;
constexpr size_t kMaxRowsPerPage = 255;
constexpr size_t kInlineLongValue = 64;
constexpr size_t kSingleLongValue = 4076;
constexpr size_t kChainPart = 4072;
constexpr size_t kMaxRow = 4060;
constexpr uint8_t kHeaderKey[4] = {0xC7, 0xDA, 0x39, 0x6B};

void set64(uint8_t *p, uint64_t v) {
  for (int i = 0; i < 8; ++i)
    p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint64_t bitsOf(double d) {
  uint64_t b;
  std::memcpy(&b, &d, 8);
  return b;
}
uint32_t pointerWord(uint32_t page, uint16_t row) {
  return (page << 8) | row;
}

// Pages with a row table: data pages, long-value pages, usage-map pages.
struct RowPage {
  Bytes img;
  uint16_t rows = 0;
  size_t top = kPageSize; // start of the lowest row

  RowPage(const uint8_t owner[4]) : img(kPageSize, 0) {
    img[0] = 0x01;
    img[1] = 0x01;
    std::memcpy(&img[4], owner, 4);
    update();
  }
  size_t freeSpace() const { return top - kRowHeader - 2 * rows; }
  bool fits(size_t len) const { return rows < kMaxRowsPerPage && freeSpace() >= len + 2; }
  uint16_t add(ByteView row) {
    top -= row.size();
    std::memcpy(&img[top], row.data(), row.size());
    put16(&img[kRowHeader + 2 * rows], static_cast<uint16_t>(top));
    ++rows;
    update();
    return static_cast<uint16_t>(rows - 1);
  }
  void update() {
    put16(&img[2], static_cast<uint16_t>(freeSpace()));
    put16(&img[12], rows);
  }
};

void owner(uint8_t out[4], uint32_t page) {
  put32(out, page);
}

ColumnSpec col(const char *name, ColumnType t, uint16_t size = 0) {
  ColumnSpec c;
  c.name = name;
  c.type = t;
  c.size = size;
  c.compressedUnicode = false;
  return c;
}

// The system tables as Access 2000 creates them, columns in number order.
std::vector<TableSpec> systemSpecs() {
  using T = ColumnType;
  std::vector<TableSpec> out(4);
  out[0].name = "MSysObjects";
  out[0].columns = {col("Id", T::Long),
                    col("ParentId", T::Long),
                    col("Name", T::Text, 255),
                    col("Type", T::Integer),
                    col("DateCreate", T::DateTime),
                    col("DateUpdate", T::DateTime),
                    col("Owner", T::Binary, 255),
                    col("Flags", T::Long),
                    col("Database", T::Memo),
                    col("Connect", T::Memo),
                    col("ForeignName", T::Text, 255),
                    col("RmtInfoShort", T::Binary, 255),
                    col("RmtInfoLong", T::Ole),
                    col("Lv", T::Ole),
                    col("LvProp", T::Ole),
                    col("LvModule", T::Ole),
                    col("LvExtra", T::Ole)};
  out[0].indexes = {{"ParentIdName", {{"ParentId", true}, {"Name", true}}, false, true},
                    {"Id", {{"Id", true}}, true}};
  out[1].name = "MSysACEs";
  out[1].columns = {col("ObjectId", T::Long), col("SID", T::Binary, 255), col("ACM", T::Long),
                    col("FInheritable", T::Boolean)};
  out[1].indexes = {{"ObjectId", {{"ObjectId", true}}}};
  out[2].name = "MSysQueries";
  out[2].columns = {col("ObjectId", T::Long),     col("Attribute", T::Byte),
                    col("Order", T::Binary, 255), col("Name1", T::Text, 255),
                    col("Name2", T::Text, 255),   col("Expression", T::Memo),
                    col("Flag", T::Integer),      col("LvExtra", T::Long)};
  out[2].indexes = {
      {"ObjectIdAttribute", {{"ObjectId", true}, {"Attribute", true}, {"Order", true}}, true}};
  out[3].name = "MSysRelationships";
  out[3].columns = {col("szRelationship", T::Text, 255),
                    col("grbit", T::Long),
                    col("ccolumn", T::Long),
                    col("icolumn", T::Long),
                    col("szObject", T::Text, 255),
                    col("szColumn", T::Text, 255),
                    col("szReferencedObject", T::Text, 255),
                    col("szReferencedColumn", T::Text, 255)};
  out[3].indexes = {{"szRelationship", {{"szRelationship", true}}, false, false, true},
                    {"szObject", {{"szObject", true}}, false, false, true},
                    {"szReferencedObject", {{"szReferencedObject", true}}, false, false, true}};
  for (auto &s : out)
    s.system = true;
  return out;
}

// What planTable cannot say about the system tables: binary columns of 510 bytes, the flags of
// the SID columns and of each index, columns listed by name.
void finishSystemPlan(PlannedTable &p) {
  TableDef &d = p.def;
  for (auto &c : d.columns) {
    if (c.type == ColumnType::Binary)
      c.length = 510;
    if (c.name == "Owner" || c.name == "SID")
      c.flags |= 0x20;
  }
  if (d.name == "MSysObjects") {
    d.physicalIndexes[0].flags = 0x81;
    d.physicalIndexes[1].flags = 0x81;
  } else if (d.name == "MSysACEs") {
    d.physicalIndexes[0].flags = 0x88;
  } else if (d.name == "MSysQueries") {
    d.physicalIndexes[0].flags = 0x81;
  } else {
    for (auto &x : d.physicalIndexes)
      x.flags = 0x82;
  }
  // The primary key of MSysQueries is a plain unique index in the catalogue's eyes.
  std::stable_sort(d.columns.begin(), d.columns.end(), [](const ColumnDef &a, const ColumnDef &b) {
    return compareNoCase(a.name, b.name) < 0;
  });
}

Status mismatch(const ColumnDef &c) {
  return {ErrorCode::TypeMismatch,
          "Tipo di dati non corrispondente per il campo '" + c.name + "'."};
}

bool integerOf(const Value &v, int64_t &out) {
  if (auto p = v.getIf<uint8_t>())
    out = *p;
  else if (auto p = v.getIf<int16_t>())
    out = *p;
  else if (auto p = v.getIf<int32_t>())
    out = *p;
  else if (auto p = v.getIf<bool>())
    out = *p ? -1 : 0;
  else if (auto p = v.getIf<double>()) {
    if (!std::isfinite(*p) || std::nearbyint(*p) != *p || std::fabs(*p) > 9.2e18)
      return false;
    out = static_cast<int64_t>(*p);
  } else
    return false;
  return true;
}

bool realOf(const Value &v, double &out) {
  int64_t i;
  if (auto p = v.getIf<double>())
    out = *p;
  else if (auto p = v.getIf<float>())
    out = *p;
  else if (auto p = v.getIf<Currency>())
    out = static_cast<double>(p->units) / 10000.0;
  else if (auto p = v.getIf<DateTime>())
    out = p->days;
  else if (integerOf(v, i))
    out = static_cast<double>(i);
  else
    return false;
  return true;
}

} // namespace

Status coerceValue(const ColumnDef &c, Value &v) {
  if (v.isNull())
    return Status::ok();
  auto range = [&](int64_t lo, int64_t hi, int64_t x) -> Status {
    if (x < lo || x > hi)
      return {ErrorCode::OutOfRange,
              "Il valore è fuori dall'intervallo ammesso per il campo '" + c.name + "'."};
    return Status::ok();
  };
  int64_t i;
  double d;
  switch (c.type) {
  case ColumnType::Boolean:
    if (integerOf(v, i))
      v = Value(i != 0);
    else if (!v.is<bool>())
      return mismatch(c);
    return Status::ok();
  case ColumnType::Byte:
    if (!integerOf(v, i))
      return mismatch(c);
    JET_TRY(range(0, 255, i));
    v = Value(static_cast<uint8_t>(i));
    return Status::ok();
  case ColumnType::Integer:
    if (!integerOf(v, i))
      return mismatch(c);
    JET_TRY(range(-32768, 32767, i));
    v = Value(static_cast<int16_t>(i));
    return Status::ok();
  case ColumnType::Long:
    if (!integerOf(v, i))
      return mismatch(c);
    JET_TRY(range(INT32_MIN, INT32_MAX, i));
    v = Value(static_cast<int32_t>(i));
    return Status::ok();
  case ColumnType::Currency:
    if (v.is<Currency>())
      return Status::ok();
    if (!realOf(v, d))
      return mismatch(c);
    v = Value(Currency{static_cast<int64_t>(std::llround(d * 10000.0))});
    return Status::ok();
  case ColumnType::Single:
    if (!realOf(v, d))
      return mismatch(c);
    v = Value(static_cast<float>(d));
    return Status::ok();
  case ColumnType::Double:
    if (!realOf(v, d))
      return mismatch(c);
    v = Value(d);
    return Status::ok();
  case ColumnType::DateTime:
    if (v.is<DateTime>())
      return Status::ok();
    if (!realOf(v, d))
      return mismatch(c);
    v = Value(DateTime{d});
    return Status::ok();
  case ColumnType::Text:
    if (!v.is<std::string>())
      return mismatch(c);
    if (ucs2Length(v.as<std::string>()) > c.length / 2u)
      return {ErrorCode::TextTooLong, "Il testo è troppo lungo per il campo '" + c.name +
                                          "' (al massimo " + std::to_string(c.length / 2) +
                                          " caratteri)."};
    return Status::ok();
  case ColumnType::Memo:
    if (!v.is<std::string>())
      return mismatch(c);
    return Status::ok();
  case ColumnType::Binary:
    if (!v.is<Bytes>())
      return mismatch(c);
    if (v.as<Bytes>().size() > c.length)
      return {ErrorCode::TextTooLong, "Il valore è troppo lungo per il campo '" + c.name + "'."};
    return Status::ok();
  case ColumnType::Ole:
    return v.is<Bytes>() ? Status::ok() : mismatch(c);
  case ColumnType::Guid:
    return v.is<Guid>() ? Status::ok() : mismatch(c);
  case ColumnType::Numeric: {
    if (!v.is<Decimal>())
      return mismatch(c);
    Decimal x = v.as<Decimal>();
    while (x.scale < c.scale) {
      x.magnitude *= 10;
      ++x.scale;
    }
    while (x.scale > c.scale) {
      if (x.magnitude % 10 != 0)
        return {ErrorCode::OutOfRange,
                "Il valore ha troppi decimali per il campo '" + c.name + "'."};
      x.magnitude /= 10;
      --x.scale;
    }
    unsigned __int128 limit = 1;
    for (int k = 0; k < c.precision; ++k)
      limit *= 10;
    if (x.magnitude >= limit)
      return {ErrorCode::OutOfRange,
              "Il valore è fuori dall'intervallo ammesso per il campo '" + c.name + "'."};
    x.precision = c.precision;
    v = Value(x);
    return Status::ok();
  }
  }
  return mismatch(c);
}

namespace {

void scalarBytes(const ColumnDef &c, const Value &v, uint8_t *out) {
  switch (c.type) {
  case ColumnType::Byte:
    out[0] = v.as<uint8_t>();
    break;
  case ColumnType::Integer:
    put16(out, static_cast<uint16_t>(v.as<int16_t>()));
    break;
  case ColumnType::Long:
    put32(out, static_cast<uint32_t>(v.as<int32_t>()));
    break;
  case ColumnType::Currency:
    set64(out, static_cast<uint64_t>(v.as<Currency>().units));
    break;
  case ColumnType::Single: {
    float f = v.as<float>();
    uint32_t b;
    std::memcpy(&b, &f, 4);
    put32(out, b);
    break;
  }
  case ColumnType::Double:
    set64(out, bitsOf(v.as<double>()));
    break;
  case ColumnType::DateTime:
    set64(out, bitsOf(v.as<DateTime>().days));
    break;
  case ColumnType::Guid:
    std::memcpy(out, v.as<Guid>().bytes.data(), 16);
    break;
  case ColumnType::Numeric: {
    const Decimal &x = v.as<Decimal>();
    out[0] = x.negative && x.magnitude != 0 ? 0x80 : 0x00;
    for (int k = 0; k < 4; ++k)
      put32(out + 1 + 4 * k, static_cast<uint32_t>(x.magnitude >> (32 * (3 - k))));
    break;
  }
  default:
    break;
  }
}

} // namespace

Bytes encodeRow(const TableDef &def, const std::vector<Value> &values,
                const std::vector<Bytes> &longFields) {
  size_t fixedSize = 0;
  std::vector<const ColumnDef *> byVar(def.varColumnCount, nullptr);
  uint16_t columnCount = def.maxColumns;
  for (const auto &c : def.columns) {
    if (c.isFixed() && c.type != ColumnType::Boolean)
      fixedSize = std::max<size_t>(fixedSize, c.fixedOffset + c.length);
    else if (!c.isFixed() && c.varIndex < byVar.size())
      byVar[c.varIndex] = &c;
    columnCount = std::max<uint16_t>(columnCount, static_cast<uint16_t>(c.number + 1));
  }
  Bytes row(2 + fixedSize, 0);
  put16(&row[0], columnCount);
  Bytes mask((columnCount + 7) / 8, 0);
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef &c = def.columns[i];
    const Value &v = values[i];
    bool set = c.type == ColumnType::Boolean ? (v.is<bool>() && v.as<bool>()) : !v.isNull();
    if (set)
      mask[c.number / 8] |= static_cast<uint8_t>(1u << (c.number % 8));
    if (set && c.isFixed() && c.type != ColumnType::Boolean)
      scalarBytes(c, v, &row[2 + c.fixedOffset]);
  }
  if (def.varColumnCount > 0) {
    std::vector<uint16_t> offsets(def.varColumnCount);
    for (size_t k = 0; k < byVar.size(); ++k) {
      offsets[k] = static_cast<uint16_t>(row.size());
      const ColumnDef *c = byVar[k];
      if (!c)
        continue;
      size_t i = static_cast<size_t>(c - def.columns.data());
      const Value &v = values[i];
      if (v.isNull())
        continue;
      if (c->isLongValue()) {
        row.insert(row.end(), longFields[i].begin(), longFields[i].end());
      } else if (c->type == ColumnType::Text) {
        Bytes t = toJetText(v.as<std::string>(), c->compressedUnicode());
        row.insert(row.end(), t.begin(), t.end());
      } else {
        const Bytes &b = v.as<Bytes>();
        row.insert(row.end(), b.begin(), b.end());
      }
    }
    uint16_t eod = static_cast<uint16_t>(row.size());
    auto put = [&](uint16_t x) {
      row.push_back(static_cast<uint8_t>(x));
      row.push_back(static_cast<uint8_t>(x >> 8));
    };
    put(eod);
    for (size_t k = offsets.size(); k-- > 0;)
      put(offsets[k]);
    put(def.varColumnCount);
  }
  row.insert(row.end(), mask.begin(), mask.end());
  return row;
}

namespace {
// The most pages a Jet 4 file holds (2 GB).
constexpr uint32_t kMaxFilePages = 0x80000000u / kPageSize;
} // namespace

// The file under construction. Page numbers are handed out in order and each finished page goes
// out at once (to the file, or kept for build()); only the pages filled in bit by bit until the
// end (the usage-map rows) stay in memory.
class BuildLayout {
public:
  explicit BuildLayout(SyncFile *file) : file_(file) {}

  uint32_t allocate() {
    if (count_ == kMaxFilePages && status_)
      status_ = Status(ErrorCode::IoError, "Il database supererebbe la dimensione massima di 2 GB: "
                                           "impossibile crearlo.");
    return count_++;
  }
  uint32_t count() const { return count_; }
  const Status &status() const { return status_; }

  Bytes &held(uint32_t n) {
    auto [it, fresh] = held_.try_emplace(n);
    if (fresh)
      it->second.assign(kPageSize, 0);
    return it->second;
  }
  void put(uint32_t n, Bytes img) {
    if (!status_)
      return;
    if (!file_) {
      if (memory_.size() <= n)
        memory_.resize(n + 1);
      memory_[n] = std::move(img);
      return;
    }
    if (n != runStart_ + run_.size() / kPageSize || run_.size() >= kRunBytes)
      flushRun();
    if (run_.empty())
      runStart_ = n;
    run_.insert(run_.end(), img.begin(), img.end());
  }
  // Writes the held pages and makes the file exactly as long as its pages.
  Status finish() {
    for (auto &[n, img] : held_)
      put(n, std::move(img));
    held_.clear();
    flushRun();
    if (status_ && file_)
      status_ = file_->truncate(uint64_t(count_) * kPageSize);
    return status_;
  }
  // build()'s bytes: every page, those never written zero.
  Bytes takeBytes() {
    Bytes out(uint64_t(count_) * kPageSize, 0);
    for (size_t n = 0; n < memory_.size() && n < count_; ++n)
      std::copy(memory_[n].begin(), memory_[n].end(), out.begin() + n * kPageSize);
    memory_.clear();
    return out;
  }

private:
  static constexpr size_t kRunBytes = 1u << 20;
  void flushRun() {
    if (!run_.empty() && status_)
      status_ = file_->writeAt(uint64_t(runStart_) * kPageSize, run_);
    run_.clear();
  }
  SyncFile *file_;
  uint32_t count_ = 0;
  Status status_ = Status::ok();
  std::map<uint32_t, Bytes> held_;
  std::vector<Bytes> memory_;
  Bytes run_; // consecutive pages written in one go
  uint32_t runStart_ = 0;
};

namespace {

// A long value of one column: its field in the row, its pages.
class LongValueWriter {
public:
  LongValueWriter(BuildLayout &layout, std::vector<uint32_t> &used,
                  std::vector<uint32_t> &withSpace)
      : layout_(layout), used_(used), withSpace_(withSpace) {}

  Bytes write(const Bytes &data) {
    if (data.size() <= kInlineLongValue) {
      Bytes f = LongValueRef::encode(static_cast<uint32_t>(data.size()), LongValueRef::kInline, 0);
      f.insert(f.end(), data.begin(), data.end());
      return f;
    }
    static const uint8_t kLval[4] = {'L', 'V', 'A', 'L'};
    if (data.size() <= kSingleLongValue) {
      if (!current_ || !current_->fits(data.size())) {
        flush();
        current_ = std::make_unique<RowPage>(kLval);
        currentPage_ = layout_.allocate();
        used_.push_back(currentPage_);
      }
      uint16_t row = current_->add(data);
      return LongValueRef::encode(static_cast<uint32_t>(data.size()), LongValueRef::kSinglePage,
                                  pointerWord(currentPage_, row));
    }
    size_t parts = (data.size() + kChainPart - 1) / kChainPart;
    std::vector<uint32_t> partPages;
    for (size_t k = 0; k < parts; ++k)
      partPages.push_back(layout_.allocate());
    for (size_t k = 0; k < parts; ++k) {
      RowPage p(kLval);
      size_t from = k * kChainPart, n = std::min(kChainPart, data.size() - from);
      Bytes row(4, 0);
      if (k + 1 < parts)
        put32(row.data(), pointerWord(partPages[k + 1], 0));
      row.insert(row.end(), data.begin() + from, data.begin() + from + n);
      p.add(row);
      layout_.put(partPages[k], std::move(p.img));
      used_.push_back(partPages[k]);
    }
    return LongValueRef::encode(static_cast<uint32_t>(data.size()), LongValueRef::kChain,
                                pointerWord(partPages[0], 0));
  }

  void flush() {
    if (!current_)
      return;
    if (current_->freeSpace() > 64)
      withSpace_.push_back(currentPage_);
    layout_.put(currentPage_, std::move(current_->img));
    current_.reset();
  }

private:
  BuildLayout &layout_;
  std::vector<uint32_t> &used_;
  std::vector<uint32_t> &withSpace_;
  std::unique_ptr<RowPage> current_;
  uint32_t currentPage_ = 0;
};

struct IndexBuild {
  std::vector<uint32_t> pages;
  uint32_t root = 0;
  uint32_t entries = 0;
};

// One level of a tree written as its entries arrive in order: each page goes out when the next
// one starts. Above the leaves each page has an entry (its last one) in the page above, but for
// the rightmost page of each level, which hangs off the tail pointer of the page above.
class LevelWriter {
public:
  LevelWriter(BuildLayout &layout, const TableDef &def, IndexPageKind kind, IndexBuild &out)
      : layout_(layout), def_(def), kind_(kind), out_(out) {}

  Status add(IndexEntry e) {
    size_t n = indexEntrySize(kind_, e);
    if (entries_.empty() && number_ == 0)
      number_ = layout_.allocate();
    else if (!entries_.empty() && size_ + n > kIndexEntrySpace) {
      uint32_t next = layout_.allocate();
      JET_TRY(emit(next, 0));
      prev_ = number_;
      number_ = next;
    }
    size_ += n;
    entries_.push_back(std::move(e));
    return Status::ok();
  }
  // The last page; `tail` is the rightmost page of the level below.
  Status finish(uint32_t tail) {
    if (number_ == 0)
      number_ = layout_.allocate();
    return emit(0, tail);
  }
  // Each page of the level and its last entry, for the level above.
  std::vector<std::pair<uint32_t, IndexEntry>> nodes;

private:
  Status emit(uint32_t next, uint32_t tail) {
    IndexPage p;
    p.kind = kind_;
    p.tableDefinitionPage = def_.page;
    p.prevPage = prev_;
    p.nextPage = next;
    p.tailPage = tail;
    p.prefixLength = static_cast<uint16_t>(pagePrefixLength(kind_, entries_));
    IndexEntry last = entries_.empty() ? IndexEntry{} : entries_.back();
    last.child = number_;
    nodes.emplace_back(number_, std::move(last));
    p.entries = std::move(entries_);
    auto img = encodeIndexPage(p);
    if (!img)
      return img.status();
    layout_.put(number_, std::move(*img));
    out_.pages.push_back(number_);
    entries_.clear();
    size_ = 0;
    return Status::ok();
  }
  BuildLayout &layout_;
  const TableDef &def_;
  IndexPageKind kind_;
  IndexBuild &out_;
  std::vector<IndexEntry> entries_;
  size_t size_ = 0;
  uint32_t number_ = 0, prev_ = 0;
};

// A row's index key, kept compactly while every key of the index is sorted: its bytes in a
// shared arena, the row as its pointer word (whose order is the index's order of rows).
struct KeyRef {
  uint64_t offset;
  uint32_t length;
  uint32_t row;
};

Result<IndexBuild> buildIndex(BuildLayout &layout, const TableDef &def, const PhysicalIndex &px,
                              const RowSource &rows, const std::vector<RowPointer> &where) {
  std::vector<IndexKeyColumn> keyCols;
  std::vector<size_t> colPos;
  for (const auto &ic : px.columns) {
    const ColumnDef *c = def.columnByNumber(ic.columnNumber);
    IndexKeyColumn k;
    k.type = c->type;
    k.ascending = ic.ascending;
    k.scale = c->scale;
    keyCols.push_back(k);
    colPos.push_back(static_cast<size_t>(c - def.columns.data()));
  }
  Bytes arena;
  std::vector<KeyRef> refs;
  refs.reserve(where.size());
  std::vector<Value> vals(colPos.size());
  size_t r = 0;
  JET_TRY(rows([&](std::vector<Value> &row) -> Status {
    const RowPointer at = where[r++];
    for (size_t k = 0; k < colPos.size(); ++k)
      vals[k] = row[colPos[k]];
    if (indexLeavesOutRow(px.ignoreNulls(), vals))
      return Status::ok();
    auto key = encodeIndexKey(keyCols, vals);
    if (!key)
      return key.status();
    refs.push_back(
        {arena.size(), static_cast<uint32_t>(key->size()), pointerWord(at.page, at.row)});
    arena.insert(arena.end(), key->begin(), key->end());
    return Status::ok();
  }));
  auto keyOf = [&](const KeyRef &k) { return ByteView(arena.data() + k.offset, k.length); };
  auto sameKey = [&](const KeyRef &a, const KeyRef &b) {
    return a.length == b.length && std::memcmp(&arena[a.offset], &arena[b.offset], a.length) == 0;
  };
  // As compareIndexEntries orders entries.
  std::sort(refs.begin(), refs.end(), [&](const KeyRef &a, const KeyRef &b) {
    int c = std::memcmp(&arena[a.offset], &arena[b.offset], std::min(a.length, b.length));
    if (c != 0)
      return c < 0;
    if (a.length != b.length)
      return a.length < b.length;
    return a.row < b.row;
  });
  if (px.unique()) {
    for (size_t i = 1; i < refs.size(); ++i)
      if (sameKey(refs[i], refs[i - 1])) {
        ByteView key = keyOf(refs[i]);
        bool allNull =
            std::all_of(key.begin(), key.end(), [](uint8_t b) { return b == 0x00 || b == 0xFF; });
        if (!allNull)
          return Status(ErrorCode::DuplicateKey,
                        "Le modifiche richieste non sono state apportate perché creerebbero "
                        "valori duplicati nell'indice o nella chiave primaria della tabella '" +
                            def.name + "'.");
      }
  }
  IndexBuild out;
  // The definition counts distinct keys.
  for (size_t i = 0; i < refs.size(); ++i)
    out.entries += i == 0 || !sameKey(refs[i], refs[i - 1]);
  LevelWriter leaves(layout, def, IndexPageKind::Leaf, out);
  for (const KeyRef &k : refs) {
    ByteView key = keyOf(k);
    JET_TRY(leaves.add({Bytes(key.begin(), key.end()), RowPointer::decode(k.row), 0}));
  }
  JET_TRY(leaves.finish(0));
  Bytes().swap(arena);
  std::vector<KeyRef>().swap(refs);
  std::vector<std::pair<uint32_t, IndexEntry>> nodes = std::move(leaves.nodes);
  while (nodes.size() > 1) {
    uint32_t tail = nodes.back().first;
    nodes.pop_back();
    LevelWriter above(layout, def, IndexPageKind::Intermediate, out);
    for (auto &n : nodes)
      JET_TRY(above.add(std::move(n.second)));
    JET_TRY(above.finish(tail));
    nodes = std::move(above.nodes);
  }
  out.root = nodes.front().first;
  return out;
}

// One usage map row; bitmap pages of a reference map are added to the layout.
Bytes mapRow(BuildLayout &layout, std::vector<uint32_t> pages) {
  std::sort(pages.begin(), pages.end());
  Bytes row(kMapRowSize, 0);
  if (pages.empty() || pages.back() < kInlineMapPages) {
    for (uint32_t p : pages)
      row[5 + p / 8] |= static_cast<uint8_t>(1u << (p % 8));
    return row;
  }
  uint32_t start = pages.front() & ~7u;
  if (pages.back() - start < kInlineMapPages) {
    put32(&row[1], start);
    for (uint32_t p : pages)
      row[5 + (p - start) / 8] |= static_cast<uint8_t>(1u << ((p - start) % 8));
    return row;
  }
  row[0] = 0x01;
  std::vector<uint32_t> bitmapPages((kMapRowSize - 1) / 4, 0);
  std::vector<Bytes> bitmaps(bitmapPages.size());
  for (uint32_t p : pages) {
    size_t slot = p / kMapPagePages;
    if (slot >= bitmapPages.size())
      continue; // beyond 556,512 pages: more than any Jet 4 file holds
    if (bitmapPages[slot] == 0) {
      bitmaps[slot].assign(kPageSize, 0);
      bitmaps[slot][0] = 0x05;
      bitmaps[slot][1] = 0x01;
      bitmapPages[slot] = layout.allocate();
      put32(&row[1 + 4 * slot], bitmapPages[slot]);
    }
    uint32_t rel = p - static_cast<uint32_t>(slot) * kMapPagePages;
    bitmaps[slot][4 + rel / 8] |= static_cast<uint8_t>(1u << (rel % 8));
  }
  for (size_t slot = 0; slot < bitmaps.size(); ++slot)
    if (bitmapPages[slot] != 0)
      layout.put(bitmapPages[slot], std::move(bitmaps[slot]));
  return row;
}

// Page 1, the database's map of free pages, for a file of `count` pages, all in use. Inline from
// page 0 while its bitmap fits the page, marking the pages after the end as free (as Access lets
// it grow, so that every page given back later can be marked); past that in the reference form
// that maps every page of a 2 GB file, with no bitmap page yet since no page is free.
Bytes freePageMap(uint32_t count) {
  const uint8_t pageOne[4] = {1, 0, 0, 0};
  RowPage map(pageOne);
  size_t bitmap = std::max<size_t>(64, ((count / 8 + 1 + 31) / 32) * 32);
  if (bitmap + 5 + 2 * 2 + 2 * kRowHeader <= kPageSize - kMapRowSize) {
    Bytes row(5 + bitmap, 0);
    for (uint32_t p = count; p < bitmap * 8; ++p)
      row[5 + p / 8] |= static_cast<uint8_t>(1u << (p % 8));
    map.add(row);
  } else {
    Bytes row(1 + 4 * ((kMaxFilePages + kMapPagePages - 1) / kMapPagePages), 0);
    row[0] = 0x01;
    map.add(row);
  }
  map.add(Bytes(kMapRowSize, 0));
  return std::move(map.img);
}

Bytes headerPage(DateTime created) {
  Bytes p(kPageSize, 0);
  const uint8_t start[] = {0x00, 0x01, 0x00, 0x00, 'S', 't', 'a', 'n', 'd',  'a', 'r',
                           'd',  ' ',  'J',  'e',  't', ' ', 'D', 'B', 0x00, 0x01};
  std::memcpy(p.data(), start, sizeof start);
  const uint8_t fixed[] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                           0x03, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
  std::memcpy(&p[0x18], fixed, sizeof fixed);
  put16(&p[0x3C], 1252);
  // No password: the password field holds only its mask, taken from the creation date.
  uint32_t mask = static_cast<uint32_t>(static_cast<int32_t>(created.days));
  for (size_t i = 0; i < 40; i += 4)
    put32(&p[0x42 + i], mask);
  put32(&p[0x6A], 0x261C);
  put32(&p[0x6E], 0x0409);
  set64(&p[0x72], bitsOf(created.days));
  rc4(kHeaderKey, sizeof kHeaderKey, &p[DatabaseHeader::kEncodedOffset],
      DatabaseHeader::kEncodedLength);
  const uint8_t tail[] = {0x54, 0x06, 0x00, 0x00, '4', '.', '0', 0x00};
  std::memcpy(&p[0x98], tail, sizeof tail);
  p[0xE00] = 0x01;
  for (size_t i = 0xE01; i < kPageSize; i += 2)
    p[i] = 0x01;
  return p;
}

} // namespace

RowSource rowsOf(std::vector<std::vector<Value>> rows) {
  auto held = std::make_shared<const std::vector<std::vector<Value>>>(std::move(rows));
  return [held](const RowSink &sink) -> Status {
    std::vector<Value> row;
    for (const auto &r : *held) {
      row = r;
      JET_TRY(sink(row));
    }
    return Status::ok();
  };
}

DatabaseBuilder::DatabaseBuilder(DateTime created) : created_(created) {
  for (auto &tableSpec : systemSpecs()) {
    auto plan = planTable(tableSpec);
    Table t{tableSpec, std::move(*plan), rowsOf({})};
    finishSystemPlan(t.plan);
    tables_.push_back(std::move(t));
  }
}

Status DatabaseBuilder::addTable(const TableSpec &tableSpec, std::vector<std::vector<Value>> rows) {
  return addTable(tableSpec, rowsOf(std::move(rows)));
}

Status DatabaseBuilder::addTable(const TableSpec &tableSpec, RowSource rows) {
  for (const auto &t : tables_)
    if (equalsNoCase(t.tableSpec.name, tableSpec.name))
      return {ErrorCode::TableExists, "La tabella '" + tableSpec.name + "' esiste già."};
  auto plan = planTable(tableSpec);
  if (!plan)
    return plan.status();
  tables_.push_back({tableSpec, std::move(*plan), std::move(rows)});
  return Status::ok();
}

Result<Bytes> DatabaseBuilder::build() {
  BuildLayout layout(nullptr);
  JET_TRY(layOut(layout));
  return layout.takeBytes();
}

Status DatabaseBuilder::layOut(BuildLayout &layout) {
  layout.allocate(); // header
  layout.allocate(); // the database's free-page map
  // Definition pages first: a table's id is its first page.
  std::vector<std::vector<LongValueMap>> longMaps;
  for (auto &t : tables_) {
    Bytes probe = encodeTableDef(t.plan.def, t.plan.longMaps);
    t.plan.def.pages.clear();
    for (size_t k = 0; k < tableDefPageCount(probe.size()); ++k)
      t.plan.def.pages.push_back(layout.allocate());
    t.plan.def.page = t.plan.def.pages[0];
  }
  // Usage map rows: used and free pages of each table, of each long-value column, then one per
  // index; as many map pages as they need.
  size_t mapRows = 0;
  for (auto &t : tables_)
    mapRows += 2 + 2 * t.plan.longMaps.size() + t.plan.def.physicalIndexes.size();
  const size_t rowsPerMapPage = (kPageSize - kRowHeader) / (kMapRowSize + 2);
  std::vector<uint32_t> mapPages;
  for (size_t k = 0; k < (mapRows + rowsPerMapPage - 1) / rowsPerMapPage; ++k)
    mapPages.push_back(layout.allocate());
  size_t nextMapRow = 0;
  auto mapWord = [&]() {
    size_t n = nextMapRow++;
    return pointerWord(mapPages[n / rowsPerMapPage], static_cast<uint16_t>(n % rowsPerMapPage));
  };
  for (auto &t : tables_) {
    t.plan.def.usedPagesMap = mapWord();
    t.plan.def.freePagesMap = mapWord();
    for (auto &m : t.plan.longMaps) {
      m.usedPagesMap = mapWord();
      m.freePagesMap = mapWord();
    }
    for (auto &x : t.plan.def.physicalIndexes)
      x.usageMap = mapWord();
  }

  // The catalogue's rows, now that every table has its id.
  Value date(created_);
  auto object = [&](uint32_t id, uint32_t parent, const std::string &name, int16_t type,
                    const Bytes &ownerSid, int32_t flags) {
    std::vector<Value> v(17);
    v[0] = Value(static_cast<int32_t>(id));
    v[1] = Value(static_cast<int32_t>(parent));
    v[2] = Value(name);
    v[3] = Value(type);
    v[4] = date;
    v[5] = date;
    v[6] = Value(ownerSid);
    v[7] = Value(flags);
    return v;
  };
  std::vector<std::vector<Value>> objects = {
      object(kTablesId, Catalog::kRootId, "Tables", 3, sids::kEngine, kSystemObjectFlags),
      object(kDatabasesId, Catalog::kRootId, "Databases", 3, sids::kEngine, kSystemObjectFlags),
      object(kRelationshipsId, Catalog::kRootId, "Relationships", 3, sids::kEngine,
             kSystemObjectFlags),
      object(kMSysDbId, kDatabasesId, "MSysDb", 2, sids::kAdmin, kSystemObjectFlags)};
  auto ace = [](uint32_t id, const Bytes &sid, int32_t acm, bool inheritable) {
    return std::vector<Value>{Value(static_cast<int32_t>(id)), Value(sid), Value(acm),
                              Value(inheritable)};
  };
  std::vector<std::vector<Value>> aces = {ace(2, sids::kAdmin, 393216, false),
                                          ace(3, sids::kAdmin, 393216, false),
                                          ace(4, sids::kAdmin, 393216, false),
                                          ace(5, sids::kAdmin, 917504, false),
                                          ace(kTablesId, sids::kUsers, 983294, true),
                                          ace(kTablesId, sids::kAdmin, 393217, false),
                                          ace(kRelationshipsId, sids::kUsers, 983294, true),
                                          ace(kRelationshipsId, sids::kAdmin, 393217, false),
                                          ace(kDatabasesId, sids::kAdmin, 393216, false),
                                          ace(kMSysDbId, sids::kAdmin, 393230, false),
                                          ace(kMSysDbId, sids::kAdmins, 14, false),
                                          ace(4, sids::kAdmins, 20, false),
                                          ace(5, sids::kAdmins, 20, false),
                                          ace(2, sids::kAdmins, 20, false),
                                          ace(kTablesId, sids::kAdmins, 1048319, true),
                                          ace(kRelationshipsId, sids::kAdmins, 1048575, true)};
  for (size_t i = 0; i < tables_.size(); ++i) {
    const Table &t = tables_[i];
    bool sys = t.tableSpec.system;
    objects.push_back(object(t.plan.def.page, kTablesId, t.tableSpec.name, 1,
                             sys ? sids::kEngine : sids::kAdmin, sys ? kSystemObjectFlags : 0));
    if (PropertyMap props = designProperties(t.tableSpec); !sys && !props.empty())
      objects.back()[14] = Value(encodeProperties(props)); // LvProp
    if (!sys)
      for (const Bytes *sid : {&sids::kUsers, &sids::kAdmin, &sids::kAdmins})
        aces.push_back(ace(t.plan.def.page, *sid, kFullAccess, false));
  }
  // System rows were listed by column number; the definitions list their columns by name.
  auto byName = [](const TableDef &def, std::vector<std::vector<Value>> rows) {
    for (auto &r : rows) {
      std::vector<Value> out(def.columns.size());
      for (size_t i = 0; i < def.columns.size(); ++i)
        out[i] = std::move(r[def.columns[i].number]);
      r = std::move(out);
    }
    return rows;
  };
  tables_[0].rows = rowsOf(byName(tables_[0].plan.def, std::move(objects)));
  tables_[1].rows = rowsOf(byName(tables_[1].plan.def, std::move(aces)));

  for (auto &t : tables_) {
    TableDef &def = t.plan.def;
    // Autonumbers and conversions, the same on every pass over the rows.
    uint32_t counter = 0;
    auto prepared = [&](const RowSink &sink) -> Status {
      counter = 0;
      return t.rows([&](std::vector<Value> &row) -> Status {
        if (row.size() != def.columns.size())
          return Status(ErrorCode::ValueCountMismatch,
                        "Numero di valori diverso dal numero dei campi della tabella '" + def.name +
                            "'.");
        for (size_t i = 0; i < def.columns.size(); ++i) {
          const ColumnDef &c = def.columns[i];
          if (c.isAutoNumber() && row[i].isNull())
            row[i] = Value(static_cast<int32_t>(counter + 1));
          JET_TRY(coerceValue(c, row[i]));
          if (c.isAutoNumber() && row[i].is<int32_t>() && row[i].as<int32_t>() > 0)
            counter = std::max(counter, static_cast<uint32_t>(row[i].as<int32_t>()));
          if (t.plan.required[i] && row[i].isNull())
            return requiredNull(def.name, c.name);
        }
        return sink(row);
      });
    };

    // Rows on data pages, long values on their own pages.
    std::vector<uint32_t> dataPages, dataWithSpace;
    std::vector<std::vector<uint32_t>> lvUsed(t.plan.longMaps.size()),
        lvSpace(t.plan.longMaps.size());
    std::vector<std::unique_ptr<LongValueWriter>> lvWriters;
    for (size_t k = 0; k < t.plan.longMaps.size(); ++k)
      lvWriters.push_back(std::make_unique<LongValueWriter>(layout, lvUsed[k], lvSpace[k]));
    std::vector<RowPointer> where;
    uint8_t own[4];
    owner(own, def.page);
    std::unique_ptr<RowPage> current;
    uint32_t currentPage = 0;
    auto flushData = [&]() {
      if (!current)
        return;
      if (current->freeSpace() > 64)
        dataWithSpace.push_back(currentPage);
      layout.put(currentPage, std::move(current->img));
      current.reset();
    };
    std::vector<Bytes> longFields(def.columns.size());
    JET_TRY(prepared([&](std::vector<Value> &row) -> Status {
      size_t lv = 0;
      for (size_t i = 0; i < def.columns.size(); ++i) {
        const ColumnDef &c = def.columns[i];
        longFields[i].clear();
        if (!c.isLongValue())
          continue;
        size_t slot = 0;
        for (size_t k = 0; k < t.plan.longMaps.size(); ++k)
          if (t.plan.longMaps[k].columnNumber == c.number)
            slot = k;
        ++lv;
        if (row[i].isNull())
          continue;
        Bytes data =
            c.type == ColumnType::Memo
                ? toJetText(row[i].as<std::string>(),
                            c.compressedUnicode() && ucs2Length(row[i].as<std::string>()) <= 1024)
                : row[i].as<Bytes>();
        longFields[i] = lvWriters[slot]->write(data);
      }
      Bytes bytes = encodeRow(def, row, longFields);
      if (bytes.size() > kMaxRow)
        return Status(ErrorCode::TextTooLong,
                      "Una riga della tabella '" + def.name + "' è troppo grande.");
      if (!current || !current->fits(bytes.size())) {
        flushData();
        current = std::make_unique<RowPage>(own);
        currentPage = layout.allocate();
        dataPages.push_back(currentPage);
      }
      uint16_t r = current->add(bytes);
      where.push_back({currentPage, static_cast<uint8_t>(r)});
      return layout.status();
    }));
    flushData();
    def.lastAutoNumber = counter;
    def.rowCount = static_cast<uint32_t>(where.size());
    for (auto &w : lvWriters)
      w->flush();

    // Index trees.
    std::vector<std::vector<uint32_t>> indexPages;
    for (auto &px : def.physicalIndexes) {
      auto built = buildIndex(layout, def, px, prepared, where);
      if (!built)
        return built.status();
      px.rootPage = built->root;
      px.rowCount = built->entries;
      indexPages.push_back(built->pages);
    }

    // Usage maps.
    auto putMap = [&](uint32_t word, const std::vector<uint32_t> &pages) {
      Bytes row = mapRow(layout, pages);
      RowPointer at = RowPointer::decode(word);
      size_t slot = at.row;
      Bytes &img = layout.held(at.page);
      size_t end = slot == 0 ? kPageSize : le16(&img[kRowHeader + 2 * (slot - 1)]);
      size_t startOff = end - kMapRowSize;
      std::memcpy(&img[startOff], row.data(), kMapRowSize);
      put16(&img[kRowHeader + 2 * slot], static_cast<uint16_t>(startOff));
    };
    putMap(def.usedPagesMap, dataPages);
    putMap(def.freePagesMap, dataWithSpace);
    for (size_t k = 0; k < t.plan.longMaps.size(); ++k) {
      putMap(t.plan.longMaps[k].usedPagesMap, lvUsed[k]);
      putMap(t.plan.longMaps[k].freePagesMap, lvSpace[k]);
    }
    for (size_t k = 0; k < def.physicalIndexes.size(); ++k)
      putMap(def.physicalIndexes[k].usageMap, indexPages[k]);
  }
  // Map pages: header and free space.
  for (size_t k = 0; k < mapPages.size(); ++k) {
    Bytes &img = layout.held(mapPages[k]);
    img[0] = 0x01;
    img[1] = 0x01;
    size_t rows = std::min(rowsPerMapPage, mapRows - k * rowsPerMapPage);
    put16(&img[12], static_cast<uint16_t>(rows));
    put16(&img[2], static_cast<uint16_t>(kPageSize - kRowHeader - rows * (kMapRowSize + 2)));
  }
  // Definitions, with their final counters, roots and maps.
  for (auto &t : tables_) {
    auto pages = layoutTableDefPages(encodeTableDef(t.plan.def, t.plan.longMaps), t.plan.def.pages);
    for (size_t k = 0; k < pages.size(); ++k)
      layout.put(t.plan.def.pages[k], std::move(pages[k]));
  }
  JET_TRY(layout.status());
  layout.put(1, freePageMap(layout.count()));
  layout.put(0, headerPage(created_));
  return layout.finish();
}

Status DatabaseBuilder::writeNewFile(const std::string &path) {
  if (fileExists(path))
    return {ErrorCode::TableExists, "Il file '" + path + "' esiste già: non viene sovrascritto."};
  std::string tmp = path + ".nuovo";
  auto f = SyncFile::open(tmp, O_RDWR | O_CREAT | O_TRUNC);
  if (!f)
    return f.status();
  BuildLayout layout(&*f);
  Status st = layOut(layout);
  if (st)
    st = f->sync();
  f->close();
  if (st && ::link(tmp.c_str(), path.c_str()) != 0)
    st = fileSystemError("creando il file", path, errno);
  ::unlink(tmp.c_str());
  if (st)
    st = syncDirectoryOf(path);
  return st;
}

Status createDatabase(const std::string &path) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  CivilDateTime c{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour,        local.tm_min,     local.tm_sec};
  DatabaseBuilder b(toDateTime(c));
  return b.writeNewFile(path);
}

} // namespace jet

#include "data/recordset.h"

#include "sql/text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <numeric>

namespace data {

namespace {

jet::Status noCurrentRecord() {
  return {jet::ErrorCode::NoCurrentRecord,
          "BOF o EOF è True oppure il record corrente è stato eliminato. L'operazione richiesta "
          "richiede un record corrente."};
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Numeric view of a value for ordering; false where it is not a number.
bool asNumber(const jet::Value &v, long double &out) {
  const auto &s = v.storage();
  switch (v.kind()) {
  case jet::ValueKind::Boolean:
    out = std::get<bool>(s) ? -1 : 0; // Jet's True is -1
    return true;
  case jet::ValueKind::Byte:
    out = std::get<uint8_t>(s);
    return true;
  case jet::ValueKind::Integer:
    out = std::get<int16_t>(s);
    return true;
  case jet::ValueKind::Long:
    out = std::get<int32_t>(s);
    return true;
  case jet::ValueKind::Currency:
    out = std::get<jet::Currency>(s).units / 10000.0L;
    return true;
  case jet::ValueKind::Single:
    out = std::get<float>(s);
    return true;
  case jet::ValueKind::Double:
    out = std::get<double>(s);
    return true;
  case jet::ValueKind::DateTime:
    out = std::get<jet::DateTime>(s).days;
    return true;
  case jet::ValueKind::Decimal: {
    const auto &d = std::get<jet::Decimal>(s);
    out = static_cast<long double>(d.magnitude) / std::pow(10.0L, d.scale);
    if (d.negative)
      out = -out;
    return true;
  }
  default:
    return false;
  }
}

} // namespace

int compareForSort(const jet::Value &a, const jet::Value &b) {
  if (a.isNull() || b.isNull())
    return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
  long double x, y;
  if (asNumber(a, x) && asNumber(b, y))
    return x < y ? -1 : x > y ? 1 : 0;
  if (a.is<std::string>() && b.is<std::string>())
    return sql::compareText(a.as<std::string>(), b.as<std::string>());
  if (a.is<jet::Bytes>() && b.is<jet::Bytes>())
    return a.as<jet::Bytes>() < b.as<jet::Bytes>() ? -1 : (a == b ? 0 : 1);
  if (a.is<jet::Guid>() && b.is<jet::Guid>())
    return a.as<jet::Guid>() < b.as<jet::Guid>() ? -1 : (a == b ? 0 : 1);
  // Mixed kinds: order by kind so the sort stays a strict weak order.
  return a.kind() < b.kind() ? -1 : 1;
}

Recordset::Recordset(std::vector<Field> fields, LockType lock, std::shared_ptr<RowWriter> writer)
    : fields_(std::move(fields)), lock_(lock), writer_(std::move(writer)) {}

void Recordset::appendLoadedRow(RowId id, const std::vector<jet::Value> &values) {
  uint32_t slot = rows_.append(values);
  ids_.push_back(id);
  order_.push_back(slot);
}

void Recordset::adoptLoadedRows(RowBuffer &&rows, std::vector<RowId> &&ids) {
  rows_ = std::move(rows);
  ids_ = std::move(ids);
  order_.resize(ids_.size());
  for (size_t i = 0; i < order_.size(); ++i)
    order_[i] = static_cast<uint32_t>(i);
}

void Recordset::finishLoading() {
  pos_ = 0;
}

void Recordset::insertLoadedRow(RowId id, const std::vector<jet::Value> &values) {
  const uint32_t slot = rows_.append(values);
  ids_.push_back(id);
  auto at = order_.end();
  if (sortField_ >= 0) {
    const jet::Value key = rows_.field(slot, sortField_);
    at = std::upper_bound(order_.begin(), order_.end(), slot, [&](uint32_t, uint32_t other) {
      const int c = compareForSort(key, rows_.field(other, sortField_));
      return sortAscending_ ? c < 0 : c > 0;
    });
  }
  pos_ = static_cast<long>(at - order_.begin());
  order_.insert(at, slot);
  notify(RecordsetChange::RowInserted, pos_);
}

void Recordset::Close() {
  open_ = false;
  pos_ = 0;
  rows_.clear();
  ids_.clear();
  order_.clear();
  pending_.clear();
  adding_ = false;
  notify(RecordsetChange::Closed, 0);
}

void Recordset::moveTo(long position) {
  if (position == pos_)
    return;
  pos_ = position;
  notify(RecordsetChange::Moved, pos_);
}

int Recordset::fieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (equalsIgnoringCase(fields_[i].name, name))
      return static_cast<int>(i);
  return -1;
}

long Recordset::AbsolutePosition() const {
  if (order_.empty())
    return kPosUnknown;
  if (pos_ < 0)
    return kPosBOF;
  if (pos_ >= RecordCount())
    return kPosEOF;
  return pos_ + 1;
}

jet::Status Recordset::setAbsolutePosition(long position) {
  if (position < 1 || position > RecordCount())
    return {jet::ErrorCode::OutOfRange, "Posizione del record non valida."};
  moveTo(position - 1);
  return {};
}

void Recordset::MoveFirst() {
  moveTo(0);
}
void Recordset::MoveLast() {
  moveTo(order_.empty() ? 0 : RecordCount() - 1);
}
void Recordset::MoveNext() {
  if (pos_ < RecordCount())
    moveTo(pos_ + 1);
}
void Recordset::MovePrevious() {
  if (pos_ >= 0)
    moveTo(pos_ - 1);
}

jet::Status Recordset::Move(long n) {
  long target = pos_ + n;
  if (target < -1 || target > RecordCount())
    return noCurrentRecord();
  moveTo(target);
  return {};
}

jet::Status Recordset::requireCurrent() const {
  if (!open_)
    return {jet::ErrorCode::Closed, "Operazione non consentita se l'oggetto è chiuso."};
  if (!adding_ && (isBOF() || isEOF()))
    return noCurrentRecord();
  return {};
}

jet::Status Recordset::requireUpdatable() const {
  if (!updatable())
    return {jet::ErrorCode::ReadOnly,
            "Impossibile aggiornare. Il database o l'oggetto è di sola lettura."};
  return {};
}

jet::Result<jet::Value> Recordset::value(int field) const {
  JET_TRY(requireCurrent());
  if (field < 0 || field >= fieldCount())
    return jet::Status{jet::ErrorCode::NoSuchColumn,
                       "Impossibile trovare l'elemento nell'insieme corrispondente al nome o al "
                       "numero ordinale richiesto."};
  if (adding_)
    return pending_[field];
  return rows_.field(order_[pos_], field);
}

jet::Result<jet::Value> Recordset::value(std::string_view name) const {
  int i = fieldIndex(name);
  if (i < 0)
    return jet::Status{jet::ErrorCode::NoSuchColumn,
                       "Impossibile trovare il campo '" + std::string(name) + "'."};
  return value(i);
}

jet::Value Recordset::valueAt(long position, int field) const {
  if (position < 0 || position >= RecordCount())
    return {};
  return rows_.field(order_[position], field);
}

std::vector<jet::Value> Recordset::rowAt(long position) const {
  if (position < 0 || position >= RecordCount())
    return {};
  return rows_.row(order_[position]);
}

RowId Recordset::rowIdAt(long position) const {
  return ids_[order_[position]];
}

jet::Status Recordset::setValue(int field, const jet::Value &v) {
  JET_TRY(requireUpdatable());
  JET_TRY(requireCurrent());
  if (field < 0 || field >= fieldCount())
    return {jet::ErrorCode::NoSuchColumn, "Campo inesistente."};
  if (adding_) {
    pending_[field] = v;
    notify(RecordsetChange::Pending, RecordCount());
    return {};
  }
  uint32_t slot = order_[pos_];
  std::vector<jet::Value> row = rows_.row(slot);
  row[field] = v;
  RowId id = ids_[slot];
  JET_TRY(writer_->updateRow(id, row));
  ids_[slot] = id;
  rows_.replace(slot, row);
  if (field == sortField_)
    inOrder_ = inOrder_ && inPlace(pos_);
  notify(RecordsetChange::RowChanged, pos_);
  return {};
}

jet::Status Recordset::AddNew() {
  JET_TRY(requireUpdatable());
  if (adding_)
    return {};
  pending_.assign(fields_.size(), jet::Value());
  adding_ = true;
  notify(RecordsetChange::Pending, RecordCount());
  return {};
}

jet::Status Recordset::Update() {
  if (!adding_)
    return {};
  auto id = writer_->insertRow(pending_);
  if (!id)
    return id.status(); // the new row stays pending so the caller can correct or cancel it
  uint32_t slot = rows_.append(pending_);
  ids_.push_back(*id);
  order_.push_back(slot);
  pos_ = RecordCount() - 1;
  inOrder_ = inOrder_ && inPlace(pos_);
  adding_ = false;
  pending_.clear();
  notify(RecordsetChange::RowInserted, pos_);
  return {};
}

void Recordset::CancelUpdate() {
  if (!adding_)
    return;
  adding_ = false;
  pending_.clear();
  notify(RecordsetChange::Pending, RecordCount());
}

jet::Status Recordset::Delete() {
  JET_TRY(requireUpdatable());
  JET_TRY(requireCurrent());
  if (adding_) {
    CancelUpdate();
    return {};
  }
  uint32_t slot = order_[pos_];
  JET_TRY(writer_->deleteRow(ids_[slot]));
  long gone = pos_;
  order_.erase(order_.begin() + pos_);
  if (pos_ >= RecordCount() && pos_ > 0)
    pos_ = RecordCount() - 1;
  notify(RecordsetChange::RowDeleted, gone);
  return {};
}

void Recordset::Sort(int field, bool ascending) {
  if (field < 0 || field >= fieldCount())
    return;
  std::vector<jet::Value> keys(ids_.size());
  bool allNumbers = true, allTexts = true;
  for (uint32_t slot : order_) {
    keys[slot] = rows_.field(slot, field);
    const jet::Value &k = keys[slot];
    if (k.isNull())
      continue;
    long double x;
    allNumbers = allNumbers && asNumber(k, x);
    allTexts = allTexts && k.is<std::string>();
  }
  // A column of numbers compares prepared keys with the same result as compareForSort, without
  // working them out again at every comparison.
  auto sortBy = [&](auto less) {
    std::stable_sort(order_.begin(), order_.end(),
                     [&](uint32_t a, uint32_t b) { return ascending ? less(a, b) : less(b, a); });
  };
  if (allNumbers) {
    std::vector<long double> num(keys.size());
    std::vector<uint8_t> null(keys.size());
    for (uint32_t slot : order_)
      null[slot] = keys[slot].isNull() || !asNumber(keys[slot], num[slot]);
    sortBy([&](uint32_t a, uint32_t b) {
      if (null[a] || null[b])
        return null[a] && !null[b];
      return num[a] < num[b];
    });
  } else if (allTexts) {
    // Texts in the engine's own order (the one ORDER BY gives): accented letters with their
    // base letter, case ignored.
    sortBy([&](uint32_t a, uint32_t b) {
      const jet::Value &x = keys[a], &y = keys[b];
      if (x.isNull() || y.isNull())
        return x.isNull() && !y.isNull();
      return sql::compareText(x.as<std::string>(), y.as<std::string>()) < 0;
    });
  } else {
    sortBy([&](uint32_t a, uint32_t b) { return compareForSort(keys[a], keys[b]) < 0; });
  }
  sortField_ = field;
  sortAscending_ = ascending;
  inOrder_ = true;
  pos_ = 0;
  notify(RecordsetChange::Reordered, 0);
}

bool Recordset::inPlace(long position) const {
  if (sortField_ < 0)
    return false;
  auto before = [&](long a, long b) {
    const int c = compareForSort(valueAt(a, sortField_), valueAt(b, sortField_));
    return sortAscending_ ? c <= 0 : c >= 0;
  };
  return (position == 0 || before(position - 1, position)) &&
         (position + 1 >= RecordCount() || before(position, position + 1));
}

size_t Recordset::memoryBytes() const {
  return rows_.bytes() + ids_.capacity() * sizeof(RowId) + order_.capacity() * sizeof(uint32_t);
}

} // namespace data

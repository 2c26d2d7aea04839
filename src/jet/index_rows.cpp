#include "jet/index_rows.h"

#include "jet/csv_export.h"
#include "jet/errors.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace jet {

namespace {

// Byte 14 of a text column's descriptor: the version of its collating order.
constexpr size_t kSortVersionOffset = 14;

const ColumnDef *columnOf(const TableDef &table, const IndexColumn &ic, size_t *position) {
  for (size_t i = 0; i < table.columns.size(); ++i)
    if (table.columns[i].number == ic.columnNumber) {
      if (position)
        *position = i;
      return &table.columns[i];
    }
  return nullptr;
}

bool allNull(std::span<const Value> values) {
  return std::all_of(values.begin(), values.end(), [](const Value &v) { return v.isNull(); });
}

// The same stored value: equal values give equal keys.
// The same stored value: equal values give equal keys. Floating values are compared bit for
// bit (0 and -0, or two NaNs, are equal numbers or unequal ones but not the same key).
bool sameValue(const Value &a, const Value &b) {
  if (a.kind() != b.kind())
    return false;
  if (const double *x = a.getIf<double>())
    return std::memcmp(x, b.getIf<double>(), sizeof(double)) == 0;
  if (const float *x = a.getIf<float>())
    return std::memcmp(x, b.getIf<float>(), sizeof(float)) == 0;
  if (const DateTime *x = a.getIf<DateTime>())
    return std::memcmp(x, b.getIf<DateTime>(), sizeof(DateTime)) == 0;
  return a == b;
}

std::string quoted(const std::string &name) {
  return "'" + name + "'";
}

} // namespace

RowPointer rowPointerOf(RowLocation at) {
  return toRowPointer(at.page, at.row);
}

Result<std::vector<IndexKeyColumn>> indexKeyColumns(const TableDef &table,
                                                    const PhysicalIndex &index) {
  std::vector<IndexKeyColumn> out;
  for (const auto &ic : index.columns) {
    const ColumnDef *col = columnOf(table, ic, nullptr);
    if (!col)
      return Status(ErrorCode::Corrupt, "L'indice " + quoted(indexDisplayName(table, index)) +
                                            " della tabella " + quoted(table.name) +
                                            " nomina una colonna che la tabella non ha.");
    IndexKeyColumn k;
    k.type = col->type;
    k.ascending = ic.ascending;
    k.scale = col->scale;
    if (col->isText()) {
      k.sortOrder = col->sortOrder;
      size_t at = col->definitionOffset + kSortVersionOffset;
      k.sortVersion = at < table.raw.size() ? table.raw[at] : 0;
    }
    out.push_back(k);
  }
  return out;
}

std::vector<Value> indexValuesOfRow(const TableDef &table, const PhysicalIndex &index,
                                    std::span<const Value> row) {
  std::vector<Value> values;
  values.reserve(index.columns.size());
  for (const auto &ic : index.columns) {
    size_t pos = 0;
    if (columnOf(table, ic, &pos) && pos < row.size())
      values.push_back(row[pos]);
    else
      values.push_back(Value::null());
  }
  return values;
}

namespace {

Result<Bytes> encodeKeyOf(const TableDef &table, const PhysicalIndex &index,
                          std::span<const IndexKeyColumn> columns,
                          std::span<const Value> keyValues) {
  auto key = encodeIndexKey(columns, keyValues);
  if (!key) {
    Status s = key.status();
    return Status(s.code(), "Indice " + quoted(indexDisplayName(table, index)) + " della tabella " +
                                quoted(table.name) + ": " + s.message());
  }
  return key;
}

} // namespace

Result<Bytes> indexKeyOf(const TableDef &table, const PhysicalIndex &index,
                         std::span<const Value> keyValues) {
  auto columns = indexKeyColumns(table, index);
  if (!columns)
    return columns.status();
  return encodeKeyOf(table, index, *columns, keyValues);
}

Result<Bytes> indexKeyPrefix(const TableDef &table, const PhysicalIndex &index,
                             std::span<const Value> leadingValues) {
  auto columns = indexKeyColumns(table, index);
  if (!columns)
    return columns.status();
  if (leadingValues.size() > columns->size())
    return Status(ErrorCode::Internal, "Troppi valori per la chiave dell'indice.");
  Bytes key;
  for (size_t i = 0; i < leadingValues.size(); ++i) {
    Status s = appendIndexKeyColumn((*columns)[i], leadingValues[i], key);
    if (!s)
      return Status(s.code(), "Indice " + quoted(indexDisplayName(table, index)) +
                                  " della tabella " + quoted(table.name) + ": " + s.message());
  }
  return key;
}

Result<std::optional<Bytes>> rowIndexKey(const TableDef &table, const PhysicalIndex &index,
                                         std::span<const Value> row) {
  std::vector<Value> values = indexValuesOfRow(table, index, row);
  if (indexLeavesOutRow(index.ignoreNulls(), values))
    return std::optional<Bytes>();
  auto key = indexKeyOf(table, index, values);
  if (!key)
    return key.status();
  return std::optional<Bytes>(std::move(*key));
}

bool isPrimaryKeyIndex(const TableDef &table, const PhysicalIndex &index) {
  for (const auto &li : table.indexes)
    if (li.isPrimaryKey() && li.physical < table.physicalIndexes.size() &&
        table.physicalIndexes[li.physical].number == index.number)
      return true;
  return false;
}

std::string indexDisplayName(const TableDef &table, const PhysicalIndex &index) {
  const LogicalIndex *best = nullptr;
  for (const auto &li : table.indexes) {
    if (li.physical >= table.physicalIndexes.size() ||
        table.physicalIndexes[li.physical].number != index.number)
      continue;
    if (!best || (li.isPrimaryKey() && !best->isPrimaryKey()) ||
        (best->isForeignKey() && !li.isForeignKey() && !best->isPrimaryKey()))
      best = &li;
  }
  return best ? best->name : "#" + std::to_string(index.number);
}

std::string describeValue(const Value &value) {
  if (value.isNull())
    return "Null";
  if (const bool *b = value.getIf<bool>())
    return *b ? "Sì" : "No";
  if (const DateTime *d = value.getIf<DateTime>()) {
    CivilDateTime c = toCivil(*d);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", c.day, c.month, c.year);
    std::string s = buf;
    if (c.hour || c.minute || c.second) {
      std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", c.hour, c.minute, c.second);
      s += buf;
    }
    return s;
  }
  std::string s;
  appendCsvField(s, value);
  if (value.is<Currency>() || value.is<float>() || value.is<double>() || value.is<Decimal>())
    std::replace(s.begin(), s.end(), '.', ',');
  return s;
}

// --- maintenance ---------------------------------------------------------------------------

Status TableIndexMaintainer::rowInserted(RowLocation at, std::span<const Value> row) {
  std::vector<Change> changes;
  JET_TRY(plan(nullptr, {}, &at, row, changes));
  return apply(changes);
}

Status TableIndexMaintainer::rowDeleted(RowLocation at, std::span<const Value> row) {
  std::vector<Change> changes;
  JET_TRY(plan(&at, row, nullptr, {}, changes));
  return apply(changes);
}

Status TableIndexMaintainer::rowUpdated(RowLocation oldAt, std::span<const Value> oldRow,
                                        RowLocation newAt, std::span<const Value> newRow) {
  std::vector<Change> changes;
  JET_TRY(plan(&oldAt, oldRow, &newAt, newRow, changes));
  return apply(changes);
}

Result<std::optional<Bytes>> TableIndexMaintainer::keyOfRow(size_t i, std::span<const Value> row) {
  const PhysicalIndex &index = table_.physicalIndexes[i];
  if (!keyColumns_)
    return rowIndexKey(table_, index, row);
  if (keyColumns_->size() < table_.physicalIndexes.size())
    keyColumns_->resize(table_.physicalIndexes.size());
  auto &columns = (*keyColumns_)[i];
  if (!columns) {
    auto found = indexKeyColumns(table_, index);
    if (!found)
      return found.status();
    columns = std::move(*found);
  }
  std::vector<Value> values = indexValuesOfRow(table_, index, row);
  if (indexLeavesOutRow(index.ignoreNulls(), values))
    return std::optional<Bytes>();
  auto key = encodeKeyOf(table_, index, *columns, values);
  if (!key)
    return key.status();
  return std::optional<Bytes>(std::move(*key));
}

Status TableIndexMaintainer::plan(const RowLocation *oldAt, std::span<const Value> oldRow,
                                  const RowLocation *newAt, std::span<const Value> newRow,
                                  std::vector<Change> &out) {
  out.clear();
  for (size_t i = 0; i < table_.physicalIndexes.size(); ++i) {
    const PhysicalIndex &index = table_.physicalIndexes[i];
    // An update that leaves the index's columns and the row's place alone keeps its entry:
    // no key to build.
    if (oldAt && newAt && oldAt->page == newAt->page && oldAt->row == newAt->row &&
        std::all_of(index.columns.begin(), index.columns.end(), [&](const IndexColumn &ic) {
          size_t pos = 0;
          return columnOf(table_, ic, &pos) && pos < oldRow.size() && pos < newRow.size() &&
                 sameValue(oldRow[pos], newRow[pos]);
        }))
      continue;
    Change change;
    change.index = i;
    if (oldAt) {
      // The old row's key was encodable when it went in; a failure here means the index and
      // the row cannot agree, and nothing is removed on a guess.
      auto key = keyOfRow(i, oldRow);
      if (!key)
        return key.status();
      if (*key)
        change.remove = leafEntry(std::move(**key), rowPointerOf(*oldAt));
    }
    if (newAt) {
      if (newAt->page > 0xFFFFFF || newAt->row > 0xFF)
        return {ErrorCode::Internal, "Posizione di riga fuori intervallo per un indice."};
      auto key = keyOfRow(i, newRow);
      if (!key)
        return key.status();
      if (*key)
        change.add = leafEntry(std::move(**key), rowPointerOf(*newAt));
      if (change.add &&
          indexEntrySize(IndexPageKind::Intermediate, *change.add) > kIndexEntrySpace / 2)
        return {ErrorCode::Unsupported, "La chiave è troppo lunga per una pagina d'indice."};
    }
    if (change.remove && change.add && change.remove->key == change.add->key &&
        change.remove->row == change.add->row)
      continue;
    if (change.add)
      JET_TRY(checkNewEntry(index, newRow, *change.add, change.remove));
    if (change.remove || change.add)
      out.push_back(std::move(change));
  }
  return Status::ok();
}

Status TableIndexMaintainer::checkNewEntry(const PhysicalIndex &index, std::span<const Value> row,
                                           const IndexEntry &entry,
                                           const std::optional<IndexEntry> &leaving) {
  const bool primary = isPrimaryKeyIndex(table_, index);
  std::vector<Value> values = indexValuesOfRow(table_, index, row);
  if (primary || index.required()) {
    for (size_t c = 0; c < index.columns.size(); ++c) {
      if (!values[c].isNull())
        continue;
      const ColumnDef *col = columnOf(table_, index.columns[c], nullptr);
      if (col && col->type == ColumnType::Boolean)
        continue; // a yes/no value is never Null
      return nullInKey(table_.name, col ? col->name : "?", primary,
                       indexDisplayName(table_, index));
    }
  }
  // Rows whose indexed columns are all Null never collide, as in the Jet engine.
  if (!index.unique() || allNull(values))
    return Status::ok();
  const size_t position = static_cast<size_t>(&index - table_.physicalIndexes.data());
  Result<std::vector<RowPointer>> rows = std::vector<RowPointer>();
  if (!pending_ || pending_->treeMayHold(position, entry.key))
    rows = IndexTree(io_, table_, index).find(entry.key);
  if (!rows)
    return rows.status();
  if (pending_)
    pending_->adjustRows(position, entry.key, *rows);
  for (const RowPointer &r : *rows) {
    if (leaving && leaving->row == r && leaving->key == entry.key)
      continue;
    std::string shown;
    if (values.size() == 1) {
      shown = describeValue(values[0]);
    } else {
      shown = "(";
      for (size_t c = 0; c < values.size(); ++c)
        shown += (c ? ", " : "") + describeValue(values[c]);
      shown += ")";
    }
    return {ErrorCode::DuplicateKey,
            "Il valore " + shown + " è già presente " +
                (primary ? "nella chiave primaria " : "nell'indice univoco ") +
                quoted(indexDisplayName(table_, index)) + " della tabella " + quoted(table_.name) +
                ": la modifica creerebbe valori duplicati e non è stata apportata."};
  }
  return Status::ok();
}

Status TableIndexMaintainer::apply(const std::vector<Change> &changes) {
  for (const Change &c : changes) {
    IndexTree tree(io_, table_, table_.physicalIndexes[c.index]);
    if (c.remove)
      JET_TRY(tree.erase(*c.remove));
    if (c.add)
      JET_TRY(tree.insert(*c.add));
  }
  return Status::ok();
}

} // namespace jet

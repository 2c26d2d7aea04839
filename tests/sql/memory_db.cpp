#include "memory_db.h"

#include "sql/text.h"

namespace sqltest {

using jet::ErrorCode;
using jet::Status;
using sql::Row;
using sql::RowId;

namespace {

class MemoryCursor : public sql::Cursor {
public:
  explicit MemoryCursor(const MemoryTable &t) : t_(t) {}
  jet::Result<bool> next(RowId &id, Row &values) override {
    auto it = t_.state.rows.lower_bound(next_);
    if (it == t_.state.rows.end())
      return false;
    id = it->first;
    values = it->second;
    next_ = it->first + 1;
    return true;
  }

private:
  const MemoryTable &t_;
  RowId next_ = 0;
};

} // namespace

MemoryTable::MemoryTable(sql::TableDef def) : def_(std::move(def)) {
  state.counters.assign(def_.columns.size(), 0);
  state.indexes = def_.indexes;
}

void MemoryTable::setDefault(const std::string &column, jet::Value v) {
  for (size_t i = 0; i < def_.columns.size(); ++i)
    if (sql::textEquals(def_.columns[i].name, column))
      defaults_[static_cast<int>(i)] = std::move(v);
}

std::unique_ptr<sql::Cursor> MemoryTable::scan() {
  return std::make_unique<MemoryCursor>(*this);
}

std::vector<Row> MemoryTable::rows() const {
  std::vector<Row> out;
  for (const auto &[id, r] : state.rows)
    out.push_back(r);
  return out;
}

Status MemoryTable::check(const Row &values, std::optional<RowId> self) const {
  if (values.size() != def_.columns.size())
    return {ErrorCode::Internal, "numero di valori errato"};
  for (size_t i = 0; i < values.size(); ++i) {
    const auto &c = def_.columns[i];
    if (values[i].isNull() && c.required)
      return {ErrorCode::RequiredNull,
              "Il campo '" + def_.name + "." + c.name + "' non può contenere un valore Null."};
    if (!values[i].isNull() && c.type == jet::ColumnType::Text && c.size > 0 &&
        sql::textLength(values[i].as<std::string>()) > static_cast<size_t>(c.size))
      return {ErrorCode::TextTooLong, "Il campo '" + c.name + "' è troppo piccolo."};
  }
  for (const auto &idx : state.indexes) {
    if (!idx.unique && !idx.primary)
      continue;
    std::vector<int> cols;
    for (const auto &ic : idx.columns)
      for (size_t i = 0; i < def_.columns.size(); ++i)
        if (sql::textEquals(def_.columns[i].name, ic.column))
          cols.push_back(static_cast<int>(i));
    bool anyNull = false;
    for (int c : cols)
      anyNull |= values[c].isNull();
    if (idx.primary && anyNull)
      return {ErrorCode::RequiredNull, "La chiave primaria non può contenere un valore Null."};
    if (anyNull)
      continue;
    for (const auto &[id, r] : state.rows) {
      if (self && id == *self)
        continue;
      bool same = true;
      for (int c : cols) {
        const auto &a = r[c], &b = values[c];
        if (a.is<std::string>() && b.is<std::string>())
          same &= sql::textEquals(a.as<std::string>(), b.as<std::string>());
        else
          same &= a == b;
      }
      if (same)
        return {ErrorCode::DuplicateKey, "Valori duplicati nell'indice '" + idx.name + "'."};
    }
  }
  return Status::ok();
}

jet::Result<RowId> MemoryTable::insert(const Row &values, const std::vector<bool> &supplied) {
  JET_TRY(owner->countWrite());
  Row r = values;
  std::vector<int32_t> counters = state.counters;
  for (size_t i = 0; i < r.size(); ++i) {
    const auto &c = def_.columns[i];
    if (!supplied[i]) {
      if (c.autoNumber)
        r[i] = jet::Value(++counters[i]);
      else if (auto d = defaults_.find(static_cast<int>(i)); d != defaults_.end())
        r[i] = d->second;
    } else if (c.autoNumber && r[i].is<int32_t>()) {
      counters[i] = std::max(counters[i], r[i].as<int32_t>());
    }
  }
  JET_TRY(check(r, std::nullopt));
  state.counters = counters;
  RowId id = state.nextId++;
  state.rows[id] = std::move(r);
  return id;
}

Status MemoryTable::update(RowId id, const Row &values) {
  JET_TRY(owner->countWrite());
  auto it = state.rows.find(id);
  if (it == state.rows.end())
    return {ErrorCode::Internal, "riga inesistente"};
  JET_TRY(check(values, id));
  it->second = values;
  return Status::ok();
}

Status MemoryTable::remove(RowId id) {
  JET_TRY(owner->countWrite());
  if (!state.rows.erase(id))
    return {ErrorCode::Internal, "riga inesistente"};
  return Status::ok();
}

Status MemoryDatabase::countWrite() {
  if (failAt_ > 0 && --failAt_ == 0)
    return {ErrorCode::IoError, "Errore di scrittura simulato."};
  return Status::ok();
}

jet::Result<sql::Table *> MemoryDatabase::table(std::string_view name) {
  if (auto *t = get(name))
    return static_cast<sql::Table *>(t);
  return Status(ErrorCode::NoSuchTable, "tabella inesistente");
}

MemoryTable *MemoryDatabase::get(std::string_view name) {
  auto it = tables_.find(sql::toUpper(name));
  return it == tables_.end() ? nullptr : it->second.get();
}

std::vector<Row> MemoryDatabase::rows(std::string_view table) {
  auto *t = get(table);
  return t ? t->rows() : std::vector<Row>{};
}

Status MemoryDatabase::createTable(const sql::TableDef &def) {
  if (get(def.name))
    return {ErrorCode::TableExists, "La tabella esiste già."};
  JET_TRY(countWrite());
  auto t = std::make_shared<MemoryTable>(def);
  t->owner = this;
  tables_[sql::toUpper(def.name)] = std::move(t);
  return Status::ok();
}

Status MemoryDatabase::dropTable(std::string_view name) {
  if (!get(name))
    return {ErrorCode::NoSuchTable, "tabella inesistente"};
  JET_TRY(countWrite());
  tables_.erase(sql::toUpper(name));
  return Status::ok();
}

Status MemoryDatabase::createIndex(std::string_view table, const sql::IndexDef &def) {
  auto *t = get(table);
  if (!t)
    return {ErrorCode::NoSuchTable, "tabella inesistente"};
  JET_TRY(countWrite());
  t->state.indexes.push_back(def);
  // An index that the present rows already break is refused.
  auto all = t->state.rows;
  t->state.rows.clear();
  for (auto &[id, r] : all) {
    Status st = t->check(r, std::nullopt);
    if (!st) {
      t->state.rows = std::move(all);
      t->state.indexes.pop_back();
      return st;
    }
    t->state.rows[id] = r;
  }
  return Status::ok();
}

MemoryDatabase::Snapshot MemoryDatabase::take() const {
  Snapshot s;
  s.tables = tables_;
  for (const auto &[k, t] : tables_)
    s.states[t.get()] = t->state;
  return s;
}

void MemoryDatabase::restore(const Snapshot &s) {
  tables_ = s.tables;
  for (const auto &[t, st] : s.states)
    t->state = st;
}

Status MemoryDatabase::begin() {
  if (inTransaction())
    return {ErrorCode::Unsupported, "transazione già aperta"};
  snapshots_.push_back(take());
  return Status::ok();
}

Status MemoryDatabase::commit() {
  if (!inTransaction())
    return {ErrorCode::NoTransaction, "nessuna transazione"};
  snapshots_.clear();
  return Status::ok();
}

Status MemoryDatabase::rollback() {
  if (!inTransaction())
    return {ErrorCode::NoTransaction, "nessuna transazione"};
  restore(snapshots_.front());
  snapshots_.clear();
  return Status::ok();
}

jet::Result<int> MemoryDatabase::savepoint() {
  if (!inTransaction())
    return Status(ErrorCode::NoTransaction, "nessuna transazione");
  snapshots_.push_back(take());
  return static_cast<int>(snapshots_.size() - 1);
}

Status MemoryDatabase::rollbackTo(int sp) {
  if (sp <= 0 || sp >= static_cast<int>(snapshots_.size()))
    return {ErrorCode::NoTransaction, "savepoint inesistente"};
  restore(snapshots_[sp]);
  snapshots_.resize(sp);
  return Status::ok();
}

Status MemoryDatabase::release(int sp) {
  if (sp <= 0 || sp >= static_cast<int>(snapshots_.size()))
    return {ErrorCode::NoTransaction, "savepoint inesistente"};
  snapshots_.resize(sp);
  return Status::ok();
}

} // namespace sqltest

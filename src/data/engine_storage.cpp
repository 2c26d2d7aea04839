#include "data/engine_storage.h"

#include "jet/table_ops.h"

#include <algorithm>
#include <cctype>

namespace data {

namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

jet::Status notYet() {
  return {jet::ErrorCode::Unsupported,
          "Operazione non disponibile: creare o eliminare tabelle e indici non è ancora "
          "possibile con questo motore di database."};
}

jet::Status committedViewOnly() {
  return {jet::ErrorCode::ReadOnly,
          "Impossibile aggiornare: un'altra connessione ha una transazione aperta sul database."};
}

class EngineCursor : public sql::Cursor {
public:
  explicit EngineCursor(jet::Result<jet::TableCursor> c) : cursor_(std::move(c)) {}
  jet::Result<bool> next(sql::RowId &id, sql::Row &values) override {
    if (!cursor_)
      return cursor_.status();
    auto more = cursor_->next();
    if (!more || !*more)
      return more;
    JET_TRY(cursor_->read(values));
    id = toRowId(cursor_->location());
    return true;
  }

private:
  jet::Result<jet::TableCursor> cursor_;
};

class EngineTable : public sql::Table {
public:
  EngineTable(jet::Database &db, std::shared_ptr<const jet::TableDef> def, bool committed)
      : db_(db), def_(std::move(def)), committed_(committed) {
    for (const auto &c : def_->columns)
      columns_.push_back(toSqlColumn(c));
  }
  const std::string &name() const override { return def_->name; }
  const std::vector<sql::ColumnDef> &columns() const override { return columns_; }
  bool isSystem() const override {
    const jet::CatalogEntry *e = db_.catalog().findTable(def_->name);
    return def_->isSystem() || (e && e->isSystem());
  }
  std::unique_ptr<sql::Cursor> scan() override {
    return std::make_unique<EngineCursor>(committed_ ? db_.committedCursor(def_->name)
                                                     : db_.cursor(def_->name));
  }
  jet::Result<sql::RowId> insert(const sql::Row &values,
                                 const std::vector<bool> &supplied) override {
    if (committed_)
      return committedViewOnly();
    std::vector<jet::Value> v(values);
    auto at = db_.insertRow(def_->name, v, supplied);
    if (!at)
      return at.status();
    return toRowId(*at);
  }
  jet::Status update(sql::RowId id, const sql::Row &values) override {
    if (committed_)
      return committedViewOnly();
    std::vector<jet::Value> v(values);
    return db_.updateRow(def_->name, toLocation(id), v);
  }
  jet::Status remove(sql::RowId id) override {
    if (committed_)
      return committedViewOnly();
    return db_.deleteRow(def_->name, toLocation(id));
  }

private:
  jet::Database &db_;
  std::shared_ptr<const jet::TableDef> def_;
  bool committed_;
  std::vector<sql::ColumnDef> columns_;
};

} // namespace

sql::ColumnDef toSqlColumn(const jet::ColumnDef &c) {
  sql::ColumnDef out;
  out.name = c.name;
  out.type = c.type;
  if (c.type == jet::ColumnType::Text)
    out.size = c.length / 2;
  else if (c.type == jet::ColumnType::Binary)
    out.size = c.length;
  out.precision = c.precision;
  out.scale = c.scale;
  out.fixedLength =
      c.isFixed() && (c.type == jet::ColumnType::Text || c.type == jet::ColumnType::Binary);
  out.autoNumber = c.isAutoNumber() || c.isAutoGuid();
  out.required = c.required;
  return out;
}

jet::Result<sql::Table *> EngineStorage::table(std::string_view name) {
  if (generation_ != db_.readGeneration()) {
    tables_.clear(); // another process committed since: definitions are read again
    generation_ = db_.readGeneration();
  }
  std::string key = lower(name);
  auto it = tables_.find(key);
  if (it != tables_.end())
    return it->second.get();
  auto def = committed_ ? db_.committedTable(name) : db_.table(name);
  if (!def)
    return def.status();
  auto t = std::make_unique<EngineTable>(db_, *def, committed_);
  sql::Table *raw = t.get();
  tables_[key] = std::move(t);
  return raw;
}

namespace {

jet::IndexSpec toIndexSpec(const sql::IndexDef &d) {
  jet::IndexSpec x;
  x.name = d.name;
  for (const auto &c : d.columns)
    x.columns.emplace_back(c.column, !c.descending);
  x.primaryKey = d.primary;
  x.unique = d.unique || d.primary;
  x.ignoreNulls = d.ignoreNulls;
  return x;
}

} // namespace

jet::Status EngineStorage::createTable(const sql::TableDef &def) {
  jet::TableSpec tableSpec;
  tableSpec.name = def.name;
  for (const auto &c : def.columns) {
    jet::ColumnSpec s;
    s.name = c.name;
    s.type = c.type;
    s.size = static_cast<uint16_t>(c.size < 0 ? 0 : c.size);
    s.precision = c.precision;
    s.scale = c.scale;
    s.autoNumber = c.autoNumber;
    s.required = c.required;
    tableSpec.columns.push_back(s);
  }
  for (const auto &x : def.indexes)
    tableSpec.indexes.push_back(toIndexSpec(x));
  tables_.erase(lower(def.name));
  return jet::createTable(db_, tableSpec);
}
jet::Status EngineStorage::dropTable(std::string_view name) {
  tables_.erase(lower(name));
  return jet::dropTable(db_, name);
}
jet::Result<int64_t> EngineStorage::copyTable(std::string_view source, const std::string &target,
                                              const RowFilter &keep) {
  if (committed_)
    return committedViewOnly();
  tables_.erase(lower(target));
  uint32_t copied = 0;
  JET_TRY(jet::copyTable(db_, source, target, keep, &copied));
  return static_cast<int64_t>(copied);
}
jet::Status EngineStorage::createIndex(std::string_view table, const sql::IndexDef &def) {
  tables_.erase(lower(table));
  return jet::createIndex(db_, table, toIndexSpec(def));
}
bool EngineStorage::inTransaction() const {
  return !committed_ && db_.inTransaction();
}
jet::Status EngineStorage::begin() {
  if (committed_)
    return committedViewOnly();
  return db_.begin(); // a read-only database says why it is
}
jet::Status EngineStorage::commit() {
  if (committed_)
    return committedViewOnly();
  return db_.commit();
}
jet::Status EngineStorage::rollback() {
  if (committed_ || !db_.inTransaction())
    return jet::Status::ok();
  tables_.clear(); // a table the transaction made is gone again
  return db_.rollback();
}
jet::Result<int> EngineStorage::savepoint() {
  if (committed_)
    return committedViewOnly();
  auto id = db_.savepoint();
  if (!id)
    return id.status();
  return static_cast<int>(*id);
}
jet::Status EngineStorage::rollbackTo(int savepoint) {
  if (committed_ || savepoint < 0)
    return committedViewOnly();
  tables_.clear();
  return db_.rollbackTo(static_cast<size_t>(savepoint));
}
jet::Status EngineStorage::release(int savepoint) {
  if (committed_ || savepoint < 0)
    return committedViewOnly();
  return db_.release(static_cast<size_t>(savepoint));
}

} // namespace data

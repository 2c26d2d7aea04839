#pragma once
// The SQL layer's storage interface over an open Jet database.
#include "jet/database.h"
#include "sql/storage.h"

#include <map>
#include <memory>
#include <string>

namespace data {

// Row identities as the SQL layer and recordsets carry them: page and slot of the row header.
inline sql::RowId toRowId(jet::RowLocation loc) {
  return (static_cast<uint64_t>(loc.page) << 16) | loc.row;
}
inline jet::RowLocation toLocation(sql::RowId id) {
  return {static_cast<uint32_t>(id >> 16), static_cast<uint16_t>(id & 0xFFFF)};
}

// A Jet column as the SQL layer describes it.
sql::ColumnDef toSqlColumn(const jet::ColumnDef &c);

// Writes and transactions go to the engine. A storage made with `committedView` reads the file
// as last committed (for connections that do not own the open transaction) and refuses writes.
class EngineStorage : public sql::Database {
public:
  explicit EngineStorage(jet::Database &db, bool committedView = false)
      : db_(db), committed_(committedView) {}

  jet::Database &engine() { return db_; }

  jet::Result<sql::Table *> table(std::string_view name) override;
  jet::Status createTable(const sql::TableDef &def) override;
  jet::Status dropTable(std::string_view name) override;
  jet::Status createIndex(std::string_view table, const sql::IndexDef &def) override;
  jet::Result<int64_t> copyTable(std::string_view source, const std::string &target,
                                 const RowFilter &keep) override;

  bool inTransaction() const override;
  jet::Status begin() override;
  jet::Status commit() override;
  jet::Status rollback() override;
  jet::Result<int> savepoint() override;
  jet::Status rollbackTo(int savepoint) override;
  jet::Status release(int savepoint) override;

  // Forgets what it knows of the tables, after the catalogue changed under it.
  void invalidate() { tables_.clear(); }

private:
  jet::Database &db_;
  bool committed_;
  std::map<std::string, std::unique_ptr<sql::Table>> tables_; // by lower-case name
  uint64_t generation_ = 0; // the database's read generation tables_ belongs to
};

} // namespace data

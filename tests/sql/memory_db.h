#pragma once
// An in-memory Database for the SQL tests: required columns, text sizes, unique indexes,
// autonumber counters and column defaults are enforced; transactions and savepoints restore
// snapshots. A write can be made to fail on purpose to test that statements undo themselves.
#include "sql/storage.h"

#include <map>
#include <memory>
#include <optional>

namespace sqltest {

class MemoryTable : public sql::Table {
public:
  explicit MemoryTable(sql::TableDef def);
  const std::string &name() const override { return def_.name; }
  const std::vector<sql::ColumnDef> &columns() const override { return def_.columns; }
  std::unique_ptr<sql::Cursor> scan() override;
  jet::Result<sql::RowId> insert(const sql::Row &values,
                                 const std::vector<bool> &supplied) override;
  jet::Status update(sql::RowId id, const sql::Row &values) override;
  jet::Status remove(sql::RowId id) override;

  std::vector<sql::Row> rows() const;
  const sql::TableDef &def() const { return def_; }
  void setDefault(const std::string &column, jet::Value v);

  struct State {
    std::map<sql::RowId, sql::Row> rows;
    sql::RowId nextId = 1;
    std::vector<int32_t> counters;
    std::vector<sql::IndexDef> indexes;
  };
  State state;
  class MemoryDatabase *owner = nullptr;

  jet::Status check(const sql::Row &values, std::optional<sql::RowId> self) const;

private:
  sql::TableDef def_;
  std::map<int, jet::Value> defaults_;
};

class MemoryDatabase : public sql::Database {
public:
  jet::Result<sql::Table *> table(std::string_view name) override;
  jet::Status createTable(const sql::TableDef &def) override;
  jet::Status dropTable(std::string_view name) override;
  jet::Status createIndex(std::string_view table, const sql::IndexDef &def) override;
  bool inTransaction() const override { return !snapshots_.empty(); }
  jet::Status begin() override;
  jet::Status commit() override;
  jet::Status rollback() override;
  jet::Result<int> savepoint() override;
  jet::Status rollbackTo(int savepoint) override;
  jet::Status release(int savepoint) override;

  MemoryTable *get(std::string_view name);
  std::vector<sql::Row> rows(std::string_view table);
  // The n-th write from now (1 = the next one) fails with an I/O error.
  void failOnWrite(int n) { failAt_ = n; }
  jet::Status countWrite();

private:
  struct Snapshot {
    std::map<std::string, std::shared_ptr<MemoryTable>> tables;
    std::map<MemoryTable *, MemoryTable::State> states;
  };
  Snapshot take() const;
  void restore(const Snapshot &s);
  std::map<std::string, std::shared_ptr<MemoryTable>> tables_; // key: upper-case name
  std::vector<Snapshot> snapshots_;                            // [0] is the transaction's start
  int failAt_ = 0;
};

} // namespace sqltest

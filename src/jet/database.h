#pragma once
// An open Jet 4 database: its header, pager and catalogue, and the way to its tables.
#include "jet/catalog.h"
#include "jet/file.h"
#include "jet/header.h"
#include "jet/pager.h"
#include "jet/status.h"
#include "jet/table_cursor.h"
#include "jet/table_def.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

class Database {
public:
  static Result<std::unique_ptr<Database>> open(const std::string &path,
                                                OpenMode mode = OpenMode::ReadOnly,
                                                size_t cachePages = Pager::kDefaultCachePages);
  // Over an already open file; `displayName` names it in messages.
  static Result<std::unique_ptr<Database>> open(std::unique_ptr<File> file,
                                                const std::string &displayName,
                                                size_t cachePages = Pager::kDefaultCachePages);

  const DatabaseHeader &header() const { return header_; }
  Pager &pager() { return *pager_; }
  const Catalog &catalog() const { return catalog_; }

  // Every table in DAO order (by name ignoring case), system tables included.
  std::vector<std::string> tableNames() const;
  std::vector<std::string> userTableNames() const;

  // The table's definition, read once and kept; names match ignoring case.
  Result<std::shared_ptr<const TableDef>> table(std::string_view name);
  Result<TableCursor> cursor(std::string_view name);

private:
  Database() = default;
  DatabaseHeader header_;
  std::unique_ptr<Pager> pager_;
  Catalog catalog_;
  std::map<uint32_t, std::shared_ptr<const TableDef>> defs_; // by definition page
};

} // namespace jet

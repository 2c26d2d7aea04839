#pragma once
// ManDB: the program's only factory of database connections and recordsets. It keeps no state
// of its own; the default connection names the file PercorsoDb + NomeDb, which the program
// supplies through the function given at construction.
#include "data/connection.h"
#include "data/recordset.h"

#include <functional>
#include <memory>
#include <string>

namespace data {

// ADO SchemaEnum values that get_info answers.
constexpr int kSchemaColumns = 4;
constexpr int kSchemaTables = 20;

class ManDB {
public:
  // Returns PercorsoDb + NomeDb as they stand (joined with no separator).
  using DefaultDatabase = std::function<std::string()>;
  explicit ManDB(DefaultDatabase defaultDatabase) : default_(std::move(defaultDatabase)) {}

  // A recordset of query. A non-empty path_nome_db opens a new connection to that file (and
  // ignores connessione); else connessione, or a new default connection when it is null. A
  // connection opened here lives as long as the recordset.
  jet::Result<std::shared_ptr<Recordset>>
  get_Rs(const std::string &query, const std::string &path_nome_db, int32_t Cursor_mth,
         int32_t Lock_mth, int32_t Opt_mth, std::shared_ptr<Connection> connessione);
  // get_Rs on a new default connection, keyset cursor, optimistic lock, command text.
  jet::Result<std::shared_ptr<Recordset>> get_Rs_tmp(const std::string &query);
  // The schema recordset of kind query (kSchemaTables, kSchemaColumns), without restrictions.
  jet::Result<std::shared_ptr<Recordset>> get_info(int32_t query, const std::string &path_nome_db,
                                                   std::shared_ptr<Connection> connessione);
  // A new open connection to the file, read/write with client-side cursors.
  jet::Result<std::shared_ptr<Connection>> get_Conn(const std::string &path_nome_db);

  static std::string connStringGetConn(const std::string &file);
  static std::string connStringFile(const std::string &file);

private:
  jet::Result<std::shared_ptr<Connection>> ApriConnPredefinita();
  jet::Result<std::shared_ptr<Connection>> ApriConnFile(const std::string &file);

  DefaultDatabase default_;
};

} // namespace data

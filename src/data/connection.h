#pragma once
// A connection to a Jet database, as ADO's Connection object behaves for the program: SQL text
// through Execute, transactions, and recordsets opened from SQL text. Connections to the same
// file in one process share one open database; only one of them can hold a transaction at a time.
#include "data/recordset.h"
#include "jet/status.h"

#include <cstdint>
#include <memory>
#include <string>

namespace data {

class SharedDatabase;

// The parts of a connection string the program uses.
struct ConnectionParts {
  std::string provider;
  std::string dataSource;
  std::string mode; // as written, e.g. "ReadWrite|Share Deny None"; empty when not given
};
ConnectionParts parseConnectionString(const std::string &text);

// ADO ConnectModeEnum values the program sets.
constexpr int kModeUnknown = 0;
constexpr int kModeRead = 1;
constexpr int kModeWrite = 2;
constexpr int kModeReadWrite = 3;

class Connection : public std::enable_shared_from_this<Connection> {
public:
  Connection() = default;
  ~Connection();
  Connection(const Connection &) = delete;
  Connection &operator=(const Connection &) = delete;

  // Set before Open, as ADO's properties are.
  std::string ConnectionString;
  int CursorLocation = 2; // 2 server, 3 client
  int Mode = kModeUnknown;

  jet::Status Open();
  bool isOpen() const { return db_ != nullptr; }
  // Releases the shared database; the last connection to go closes the file and its lock.
  void Close();

  // The file this connection reads and writes.
  const std::string &dataSource() const { return dataSource_; }
  // Why the file was opened read-only though it is writable (another program writing it, a Jet
  // client of the suite using it): what a write will be told. Ok otherwise.
  jet::Status readOnlyReason() const;

  // Runs one statement; rowsAffected gets the rows inserted, changed or deleted (-1 for a query).
  jet::Status Execute(const std::string &sql, int64_t *rowsAffected = nullptr, int options = -1);

  jet::Status BeginTrans();
  jet::Status CommitTrans();
  jet::Status RollbackTrans();
  bool inTransaction() const;

  // A recordset of the rows of a query. An updatable lock type writes changes to the table at
  // once; the query must then read plain columns of one table.
  jet::Result<std::shared_ptr<Recordset>> OpenRecordset(const std::string &sql, CursorType cursor,
                                                        LockType lock, int options = 1);

  SharedDatabase &database() { return *db_; }

private:
  jet::Status requireOpen() const;
  jet::Status requireWriteAccess() const;

  std::shared_ptr<SharedDatabase> db_;
  std::string dataSource_;
};

} // namespace data

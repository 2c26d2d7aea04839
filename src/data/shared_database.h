#pragma once
// One open Jet database per file in the process, shared by every connection to it.
#include "data/engine_storage.h"
#include "jet/database.h"

#include <memory>
#include <string>

namespace data {

class Connection;

class SharedDatabase {
public:
  // The open database of that file, opening it when no connection holds it yet.
  static jet::Result<std::shared_ptr<SharedDatabase>> acquire(const std::string &path);

  ~SharedDatabase();

  jet::Database &engine() { return *db_; }
  EngineStorage &storage() { return *storage_; }
  // What a connection reads through: the open transaction's view for the connection that holds
  // it (and for every connection when none does), the file as last committed for the others.
  EngineStorage &storageFor(const Connection *c);
  const std::string &path() const { return path_; }

  // The connection whose transaction is open, or null.
  const Connection *transactionOwner() const { return owner_; }
  void setTransactionOwner(const Connection *c) { owner_ = c; }

private:
  SharedDatabase() = default;
  std::string path_;
  std::string key_;
  std::unique_ptr<jet::Database> db_;
  std::unique_ptr<EngineStorage> storage_;
  std::unique_ptr<EngineStorage> committed_;
  const Connection *owner_ = nullptr;
};

} // namespace data

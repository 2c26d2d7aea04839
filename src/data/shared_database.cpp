#include "data/shared_database.h"

#include <filesystem>
#include <map>

namespace data {

namespace {

std::map<std::string, std::weak_ptr<SharedDatabase>> &registry() {
  static std::map<std::string, std::weak_ptr<SharedDatabase>> r;
  return r;
}

std::string keyOf(const std::string &path) {
  std::error_code ec;
  auto canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
  return ec ? path : canonical.string();
}

} // namespace

jet::Result<std::shared_ptr<SharedDatabase>> SharedDatabase::acquire(const std::string &path) {
  std::string key = keyOf(path);
  auto &reg = registry();
  if (auto it = reg.find(key); it != reg.end())
    if (auto held = it->second.lock())
      return held;

  // A file without write permission is opened read-only, even where the user could override it.
  std::error_code ec;
  auto perms = std::filesystem::status(path, ec).permissions();
  bool writable =
      !ec && (perms & (std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                       std::filesystem::perms::others_write)) != std::filesystem::perms::none;
  auto opened =
      jet::Database::open(path, writable ? jet::OpenMode::ReadWrite : jet::OpenMode::ReadOnly);
  if (!opened && writable) {
    // Another program writing it, a Jet client of the suite, a file we may not write: the
    // database is still read, as the Jet engine opens it read-only, and a write is told why.
    auto ro = jet::Database::open(path, jet::OpenMode::ReadOnly);
    if (ro) {
      (*ro)->setReadOnlyReason(opened.status());
      opened = std::move(ro);
    }
  }
  if (!opened)
    return opened.status();
  std::shared_ptr<SharedDatabase> db(new SharedDatabase);
  db->path_ = path;
  db->key_ = key;
  db->db_ = std::move(opened.value());
  db->storage_ = std::make_unique<EngineStorage>(*db->db_);
  db->committed_ = std::make_unique<EngineStorage>(*db->db_, true);
  reg[key] = db;
  return db;
}

EngineStorage &SharedDatabase::storageFor(const Connection *c) {
  if (!owner_ || owner_ == c || !db_->inTransaction())
    return *storage_;
  committed_->invalidate(); // definitions may have changed with the last commit
  return *committed_;
}

SharedDatabase::~SharedDatabase() {
  auto &reg = registry();
  auto it = reg.find(key_);
  if (it != reg.end() && it->second.expired())
    reg.erase(it);
}

} // namespace data

#include "jet/database.h"

#include <filesystem>
#include <vector>

namespace jet {

Result<std::unique_ptr<Database>> Database::open(const std::string &path, OpenMode mode,
                                                 size_t cachePages) {
  auto file = File::open(path, mode);
  if (!file)
    return file.status();
  return open(std::move(*file), std::filesystem::path(path).filename().string(), cachePages);
}

Result<std::unique_ptr<Database>>
Database::open(std::unique_ptr<File> file, const std::string &displayName, size_t cachePages) {
  auto size = file->size();
  if (!size)
    return size.status();
  std::vector<uint8_t> first(static_cast<size_t>(std::min<uint64_t>(*size, kPageSize)));
  JET_TRY(file->readAt(0, first.data(), first.size()));
  auto header = DatabaseHeader::parse(first, *size, displayName);
  if (!header)
    return header.status();
  std::unique_ptr<Database> db(new Database());
  db->header_ = *header;
  db->pager_ = std::make_unique<Pager>(std::move(file), cachePages, header->databaseKey);
  auto catalog = Catalog::load(*db->pager_);
  if (!catalog)
    return catalog.status();
  db->catalog_ = std::move(*catalog);
  return db;
}

std::vector<std::string> Database::tableNames() const {
  std::vector<std::string> out;
  for (const auto &e : catalog_.tables())
    out.push_back(e.name);
  return out;
}

std::vector<std::string> Database::userTableNames() const {
  std::vector<std::string> out;
  for (const auto &e : catalog_.tables())
    if (!e.isSystem())
      out.push_back(e.name);
  return out;
}

Result<std::shared_ptr<const TableDef>> Database::table(std::string_view name) {
  const CatalogEntry *e = catalog_.findTable(name);
  if (!e)
    return Status(ErrorCode::NoSuchTable,
                  "Il motore di database non trova la tabella \"" + std::string(name) + "\".");
  if (auto it = defs_.find(e->tableDefPage()); it != defs_.end())
    return it->second;
  auto def = readTableDef(*pager_, e->tableDefPage(), e->name);
  if (!def)
    return def.status();
  defs_[e->tableDefPage()] = *def;
  return *def;
}

Result<TableCursor> Database::cursor(std::string_view name) {
  auto def = table(name);
  if (!def)
    return def.status();
  return TableCursor::open(*pager_, *def);
}

} // namespace jet

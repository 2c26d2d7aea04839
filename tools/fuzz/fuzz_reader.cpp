// libFuzzer target: any bytes, opened as a database and read to the end, checked, and written
// to by a statement, must give values or a Status, never a crash, a hang or a read outside the
// file.
#include "data/engine_storage.h"
#include "jet/column_info.h"
#include "jet/csv_export.h"
#include "jet/database.h"
#include "jet/integrity_check.h"
#include "jet/usage_map.h"
#include "sql/executor.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The reader goes through the real file layer, so the input lives in an anonymous file.
std::unique_ptr<jet::File> memoryFile(const uint8_t *data, size_t size) {
  int fd = memfd_create("fuzz.mdb", MFD_CLOEXEC);
  if (fd < 0)
    return nullptr;
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n <= 0)
      break;
    done += static_cast<size_t>(n);
  }
  auto file = jet::File::open("/proc/self/fd/" + std::to_string(fd), jet::OpenMode::ReadOnly);
  close(fd);
  return file ? std::move(*file) : nullptr;
}

void readTable(jet::Database &db, const std::string &name) {
  auto def = db.table(name);
  if (!def)
    return;
  for (const auto &c : (*def)->columns) {
    (void)jet::columnTypeName(c);
    (void)jet::adoDefinedSize(c);
  }
  for (const auto &ix : (*def)->indexes)
    for (const auto &col : (*def)->physicalIndexes.at(ix.physical).columns)
      (void)(*def)->columnByNumber(col.columnNumber);
  (void)jet::exportCsv(db, name);
  if (auto map = jet::UsageMap::load(db.pager(), (*def)->freePagesMap))
    (void)map->pages(db.pager());
}

// The writer over the same bytes, in a real file (the journal goes beside it): one statement
// that rewrites every row of the first table, committed, then the check.
void writeTo(const uint8_t *data, size_t size, const std::string &table) {
  char path[] = "/dev/shm/vask-fuzz-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0)
    return;
  bool written = ::write(fd, data, size) == ssize_t(size);
  close(fd);
  if (written) {
    auto db = jet::Database::open(path, jet::OpenMode::ReadWrite);
    if (db) {
      data::EngineStorage storage(**db);
      (void)sql::execute(storage, "DELETE FROM [" + table + "] WHERE 1 = 1");
      std::vector<std::string> findings;
      (void)jet::checkDatabase(**db, findings);
    }
  }
  std::remove(path);
  std::remove((std::string(path) + "-journal").c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  auto file = memoryFile(data, size);
  if (!file)
    return 0;
  auto db = jet::Database::open(std::move(file), "fuzz.mdb", 16);
  if (!db)
    return 0;
  for (const auto &name : (*db)->tableNames())
    readTable(**db, name);
  std::vector<std::string> findings;
  (void)jet::checkDatabase(**db, findings);
  auto users = (*db)->userTableNames();
  db->reset(); // the reader lets go before the writer opens
  if (!users.empty())
    writeTo(data, size, users.front());
  return 0;
}

#pragma once
// The images a write transaction holds, in bounded memory: the most recently used stay in
// memory, the others wait in a spill file beside the database (unlinked, so nothing is left
// behind). The spill file plays no part in durability: the database file is not touched before
// commit, and the journal still takes the originals from the database itself.
#include "jet/page_store.h"
#include "jet/status.h"

#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace jet {

// How many page images a transaction keeps in memory before it spills (the write set and the
// savepoints' saved images each). Read at the start of each transaction; tests make it small.
size_t writeSetMemoryPages();
void setWriteSetMemoryPages(size_t pages);

// Fixed-size slots in an unlinked temporary file in the database's folder, made on first use.
class SpillFile {
public:
  SpillFile(std::string dbPath, uint32_t pageSize) : dbPath_(std::move(dbPath)), size_(pageSize) {}

  Result<uint64_t> store(const uint8_t *image);
  Status overwrite(uint64_t slot, const uint8_t *image);
  Status load(uint64_t slot, uint8_t *out);
  void release(uint64_t slot) { free_.push_back(slot); }
  // Every slot free; the file is cut back.
  void reset();

private:
  Status ensureOpen();
  std::string dbPath_;
  uint32_t size_;
  SyncFile file_;
  uint64_t slots_ = 0;
  std::vector<uint64_t> free_;
};

// One saved image: in memory, or in a slot of the spill file.
struct SavedImage {
  std::unique_ptr<uint8_t[]> memory;
  uint64_t slot = UINT64_MAX;
  bool held() const { return memory || slot != UINT64_MAX; }
};

// The transaction's current images by page number. A pointer handed out stays valid while
// fewer than the memory limit of other pages are touched (callers hold a few at a time).
class WriteSet {
public:
  WriteSet(SpillFile &spill, uint32_t pageSize) : spill_(spill), pageSize_(pageSize) {}

  void setMemoryPages(size_t pages) { limit_ = pages < kMinimumPages ? kMinimumPages : pages; }
  bool contains(uint32_t page) const { return entries_.count(page) != 0; }
  size_t size() const { return entries_.size(); }
  // The image of a page held, brought into memory; nullptr if the page is not held.
  Result<uint8_t *> find(uint32_t page);
  // A new image (zero-filled) for a page not yet held.
  Result<uint8_t *> add(uint32_t page);
  void erase(uint32_t page);
  void clear();
  std::vector<uint32_t> pageNumbers() const;

  static constexpr size_t kMinimumPages = 8;
  static constexpr size_t kRetiredPages = 64;

private:
  struct Entry {
    std::unique_ptr<uint8_t[]> memory;
    uint64_t slot = UINT64_MAX;
    std::list<uint32_t>::iterator recent;
  };
  Status makeRoom();
  void touch(Entry &e);

  SpillFile &spill_;
  uint32_t pageSize_;
  size_t limit_ = 1 << 14;
  std::unordered_map<uint32_t, Entry> entries_;
  std::list<uint32_t> recent_; // pages in memory, most recently used first
  std::deque<std::unique_ptr<uint8_t[]>> retired_;
};

// Saved images (the savepoints' before images) in bounded memory, spilling past the limit.
class SavedImages {
public:
  SavedImages(SpillFile &spill, uint32_t pageSize) : spill_(spill), pageSize_(pageSize) {}
  void setMemoryPages(size_t pages) { limit_ = pages; }
  Result<SavedImage> save(const uint8_t *image);
  Status restore(const SavedImage &saved, uint8_t *out);
  void drop(SavedImage &saved);
  void clear() { inMemory_ = 0; }

private:
  SpillFile &spill_;
  uint32_t pageSize_;
  size_t limit_ = 1 << 14;
  size_t inMemory_ = 0;
};

} // namespace jet

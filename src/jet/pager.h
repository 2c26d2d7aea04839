#pragma once
// The pager: fixed-size pages of the database file through a bounded cache.
//
// Reads only for now. The write path goes in here, not around it: a page taken for change
// will be copied to the rollback journal before its first change in a transaction, marked
// dirty, and written back on commit; callers above never touch the File directly.
#include "jet/bytes.h"
#include "jet/file.h"
#include "jet/status.h"

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>

namespace jet {

constexpr size_t kPageSize = 4096;

class Page {
public:
  explicit Page(uint32_t number) : number_(number) {}
  uint32_t number() const { return number_; }
  uint8_t type() const { return data_[0]; }
  const uint8_t *data() const { return data_.data(); }
  uint8_t *mutableData() { return data_.data(); }
  ByteView bytes() const { return {data_.data(), data_.size()}; }

private:
  uint32_t number_;
  std::array<uint8_t, kPageSize> data_{};
};

// Shared so a page stays valid while a caller holds it, even after the cache drops it.
using PageRef = std::shared_ptr<const Page>;

class Pager {
public:
  static constexpr size_t kDefaultCachePages = 256;

  // encodingKey: the header's database key; non-zero in an encoded database, whose pages
  // after the first are RC4 with a key of their own (the database key XOR the page number).
  explicit Pager(std::unique_ptr<File> file, size_t cachePages = kDefaultCachePages,
                 uint32_t encodingKey = 0);

  const File &file() const { return *file_; }
  bool writable() const { return file_->mode() == OpenMode::ReadWrite; }
  // Whole pages in the file; a torn last page does not count.
  uint32_t pageCount() const { return pageCount_; }

  Result<PageRef> page(uint32_t number);

  size_t cachedPages() const { return lru_.size(); }
  uint32_t encodingKey() const { return encodingKey_; }

  // The transform between stored and plain bytes of an encoded database (its own inverse).
  static void applyEncoding(uint32_t encodingKey, uint32_t page, uint8_t *data);

private:
  std::unique_ptr<File> file_;
  uint32_t pageCount_ = 0;
  size_t capacity_;
  uint32_t encodingKey_;
  std::list<PageRef> lru_; // most recently used first
  std::unordered_map<uint32_t, std::list<PageRef>::iterator> index_;
};

} // namespace jet

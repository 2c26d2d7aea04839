#pragma once
// The pager: fixed-size pages of the database file through a bounded cache.
//
// A pager opened over a write transaction (journal.h) sees the transaction's pages: a page the
// transaction changed is read from its image, every other page from the file. Changes go
// through modify() and appendPage(), never around the pager. A pager without a transaction reads
// the file as committed (the view other connections get while a transaction is open).
#include "jet/bytes.h"
#include "jet/file.h"
#include "jet/page_format.h"
#include "jet/status.h"

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

namespace jet {

class PageTransaction;

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

// Shared so a page stays valid while a caller holds it, even after the cache drops it. A page
// taken before a change keeps showing the bytes it had when it was taken.
using PageRef = std::shared_ptr<const Page>;

class Pager {
public:
  static constexpr size_t kDefaultCachePages = 256;

  // encodingKey: the header's database key; non-zero in an encoded database, whose pages
  // after the first are RC4 with a key of their own (the database key XOR the page number).
  // Such a database is only read: the transaction works on stored bytes.
  explicit Pager(std::unique_ptr<File> file, size_t cachePages = kDefaultCachePages,
                 uint32_t encodingKey = 0);
  // Reads `file` (which outlives the pager) and, where given, the transaction's pages.
  Pager(std::shared_ptr<File> file, PageTransaction *tx, size_t cachePages = kDefaultCachePages,
        uint32_t encodingKey = 0);

  const File &file() const { return *file_; }
  // Whether changes can be made through this pager (a write transaction is behind it).
  bool writable() const { return tx_ != nullptr; }
  bool inTransaction() const;
  // Whole pages in the file (as the transaction sees it); a torn last page does not count.
  uint32_t pageCount() const;

  Result<PageRef> page(uint32_t number);
  // A page's bytes without a copy: the transaction's image where it has one, else the cached
  // page, kept alive by `hold`. Valid until the next change of the page.
  Result<const uint8_t *> peek(uint32_t number, PageRef &hold);

  // The transaction's image of a page, to change in place (call before each change).
  Result<uint8_t *> modify(uint32_t number);
  // A new zero-filled page at the end of the file.
  Result<uint32_t> appendPage();

  // After a commit, rollback or rollback to a savepoint: forget copies that may be stale.
  void dropCached(const std::vector<uint32_t> &pages);
  void dropAllCached();
  // The file grew or shrank under a commit.
  void refreshSize();

  size_t cachedPages() const { return lru_.size(); }
  uint32_t encodingKey() const { return encodingKey_; }

  // The transform between stored and plain bytes of an encoded database (its own inverse).
  static void applyEncoding(uint32_t encodingKey, uint32_t page, uint8_t *data);

private:
  std::shared_ptr<File> file_;
  PageTransaction *tx_ = nullptr;
  uint32_t pageCount_ = 0;
  size_t capacity_;
  uint32_t encodingKey_ = 0;
  std::list<PageRef> lru_; // most recently used first
  std::unordered_map<uint32_t, std::list<PageRef>::iterator> index_;
  // Copies of the transaction's images handed out by page(), until the image changes.
  std::unordered_map<uint32_t, PageRef> views_;
};

} // namespace jet

#include "jet/pager.h"

#include "jet/errors.h"
#include "jet/header.h"
#include "jet/journal.h"

#include <cstring>

namespace jet {

namespace {
uint32_t wholePages(const File &file) {
  auto size = file.size();
  uint64_t pages = size ? *size / kPageSize : 0;
  return pages > 0xFFFFFFu ? 0xFFFFFFu : static_cast<uint32_t>(pages);
}
} // namespace

Pager::Pager(std::unique_ptr<File> file, size_t cachePages, uint32_t encodingKey)
    : Pager(std::shared_ptr<File>(std::move(file)), nullptr, cachePages, encodingKey) {}

Pager::Pager(std::shared_ptr<File> file, PageTransaction *tx, size_t cachePages,
             uint32_t encodingKey)
    : file_(std::move(file)), tx_(tx), capacity_(cachePages < 8 ? 8 : cachePages),
      encodingKey_(encodingKey) {
  pageCount_ = wholePages(*file_);
}

bool Pager::inTransaction() const {
  return tx_ && tx_->active();
}

uint32_t Pager::pageCount() const {
  return inTransaction() ? tx_->pageCount() : pageCount_;
}

void Pager::refreshSize() {
  pageCount_ = wholePages(*file_);
}

Result<PageRef> Pager::page(uint32_t number) {
  if (inTransaction()) {
    if (const uint8_t *img = tx_->find(number)) {
      if (auto v = views_.find(number); v != views_.end())
        return v->second;
      auto copy = std::make_shared<Page>(number);
      std::memcpy(copy->mutableData(), img, kPageSize);
      PageRef ref(copy);
      // Bounded like the cache: holders keep their copies alive.
      if (views_.size() >= capacity_)
        views_.clear();
      views_[number] = ref;
      return ref;
    }
  }
  if (auto it = index_.find(number); it != index_.end()) {
    lru_.splice(lru_.begin(), lru_, it->second);
    return *it->second;
  }
  if (number >= pageCount_)
    return corruptPage(number,
                       "oltre la fine del file, che ha " + std::to_string(pageCount_) + " pagine");
  auto page = std::make_shared<Page>(number);
  JET_TRY(file_->readAt(static_cast<uint64_t>(number) * kPageSize, page->mutableData(), kPageSize));
  if (encodingKey_ != 0 && number != 0)
    applyEncoding(encodingKey_, number, page->mutableData());
  if (lru_.size() >= capacity_) {
    index_.erase(lru_.back()->number());
    lru_.pop_back();
  }
  lru_.push_front(page);
  index_[number] = lru_.begin();
  return PageRef(page);
}

void Pager::applyEncoding(uint32_t encodingKey, uint32_t page, uint8_t *data) {
  uint32_t k = encodingKey ^ page;
  const uint8_t key[4] = {static_cast<uint8_t>(k), static_cast<uint8_t>(k >> 8),
                          static_cast<uint8_t>(k >> 16), static_cast<uint8_t>(k >> 24)};
  rc4(key, sizeof key, data, kPageSize);
}

Result<const uint8_t *> Pager::peek(uint32_t number, PageRef &hold) {
  if (inTransaction())
    if (const uint8_t *img = tx_->find(number))
      return img;
  auto p = page(number);
  if (!p)
    return p.status();
  hold = *p;
  return hold->data();
}

Result<uint8_t *> Pager::modify(uint32_t number) {
  if (!tx_)
    return Status(ErrorCode::ReadOnly, "Il database è aperto in sola lettura.");
  views_.erase(number);
  return tx_->modify(number);
}

Result<uint32_t> Pager::appendPage() {
  if (!tx_)
    return Status(ErrorCode::ReadOnly, "Il database è aperto in sola lettura.");
  auto n = tx_->append();
  if (n)
    views_.erase(*n);
  return n;
}

void Pager::dropCached(const std::vector<uint32_t> &pages) {
  for (uint32_t n : pages) {
    views_.erase(n);
    if (auto it = index_.find(n); it != index_.end()) {
      lru_.erase(it->second);
      index_.erase(it);
    }
  }
}

void Pager::dropAllCached() {
  views_.clear();
  lru_.clear();
  index_.clear();
}

} // namespace jet

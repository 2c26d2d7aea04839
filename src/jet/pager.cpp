#include "jet/pager.h"

#include "jet/errors.h"
#include "jet/header.h"

namespace jet {

Pager::Pager(std::unique_ptr<File> file, size_t cachePages, uint32_t encodingKey)
    : file_(std::move(file)), capacity_(cachePages < 8 ? 8 : cachePages),
      encodingKey_(encodingKey) {
  auto size = file_->size();
  uint64_t pages = size ? *size / kPageSize : 0;
  pageCount_ = pages > 0xFFFFFFu ? 0xFFFFFFu : static_cast<uint32_t>(pages);
}

Result<PageRef> Pager::page(uint32_t number) {
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

} // namespace jet

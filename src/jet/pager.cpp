#include "jet/pager.h"

#include "jet/errors.h"

namespace jet {

Pager::Pager(std::unique_ptr<File> file, size_t cachePages)
    : file_(std::move(file)), capacity_(cachePages < 8 ? 8 : cachePages) {
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
  if (lru_.size() >= capacity_) {
    index_.erase(lru_.back()->number());
    lru_.pop_back();
  }
  lru_.push_front(page);
  index_[number] = lru_.begin();
  return PageRef(page);
}

} // namespace jet

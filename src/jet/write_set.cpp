#include "jet/write_set.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace jet {

namespace {
// 64 MB of images: with the savepoints' as many again, a transaction of any size stays well
// within a few hundred megabytes. VASK_WRITE_SET_PAGES sets another (a test run that spills).
size_t initialMemoryPages() {
  if (const char *v = std::getenv("VASK_WRITE_SET_PAGES")) {
    char *end = nullptr;
    unsigned long n = std::strtoul(v, &end, 10);
    if (end != v && *end == '\0' && n > 0)
      return n;
  }
  return 1 << 14;
}
std::atomic<size_t> gMemoryPages{initialMemoryPages()};
} // namespace

size_t writeSetMemoryPages() {
  return gMemoryPages.load();
}

void setWriteSetMemoryPages(size_t pages) {
  gMemoryPages.store(pages);
}

// ---------------------------------------------------------------------------------------------

Status SpillFile::ensureOpen() {
  if (file_.isOpen())
    return Status::ok();
  std::filesystem::path folder = std::filesystem::path(dbPath_).parent_path();
  if (folder.empty())
    folder = ".";
  auto f = SyncFile::open(folder.string(), O_RDWR | O_TMPFILE);
  if (!f) {
    // A file system without unnamed files: a named one, removed at once.
    std::string path = dbPath_ + "-spill-" + std::to_string(::getpid());
    f = SyncFile::open(path, O_RDWR | O_CREAT | O_EXCL);
    if (!f)
      return f.status();
    (void)removeFile(path);
  }
  file_ = std::move(*f);
  slots_ = 0;
  free_.clear();
  return Status::ok();
}

Result<uint64_t> SpillFile::store(const uint8_t *image) {
  JET_TRY(ensureOpen());
  uint64_t slot;
  if (!free_.empty()) {
    slot = free_.back();
    free_.pop_back();
  } else {
    slot = slots_++;
  }
  Status st = overwrite(slot, image);
  if (!st) {
    free_.push_back(slot);
    return st;
  }
  return slot;
}

Status SpillFile::overwrite(uint64_t slot, const uint8_t *image) {
  return file_.writeAt(slot * size_, std::span<const uint8_t>(image, size_));
}

Status SpillFile::load(uint64_t slot, uint8_t *out) {
  size_t got = 0;
  JET_TRY(file_.readAt(slot * size_, std::span<uint8_t>(out, size_), &got));
  if (got != size_)
    return {ErrorCode::IoError, "Il file temporaneo delle modifiche in corso è incompleto."};
  return Status::ok();
}

void SpillFile::reset() {
  free_.clear();
  slots_ = 0;
  if (file_.isOpen())
    (void)file_.truncate(0);
}

// ---------------------------------------------------------------------------------------------

void WriteSet::touch(Entry &e) {
  recent_.splice(recent_.begin(), recent_, e.recent);
}

Status WriteSet::makeRoom() {
  while (recent_.size() >= limit_) {
    uint32_t victim = recent_.back();
    Entry &e = entries_.at(victim);
    if (e.slot == UINT64_MAX) {
      auto slot = spill_.store(e.memory.get());
      if (!slot)
        return slot.status();
      e.slot = *slot;
    } else {
      JET_TRY(spill_.overwrite(e.slot, e.memory.get()));
    }
    // Freed only some evictions later: a pointer a caller still holds stays readable a while.
    retired_.push_back(std::move(e.memory));
    if (retired_.size() > kRetiredPages)
      retired_.pop_front();
    recent_.pop_back();
  }
  return Status::ok();
}

Result<uint8_t *> WriteSet::find(uint32_t page) {
  auto it = entries_.find(page);
  if (it == entries_.end())
    return static_cast<uint8_t *>(nullptr);
  Entry &e = it->second;
  if (e.memory) {
    touch(e);
    return e.memory.get();
  }
  JET_TRY(makeRoom());
  std::unique_ptr<uint8_t[]> img(new uint8_t[pageSize_]);
  JET_TRY(spill_.load(e.slot, img.get()));
  e.memory = std::move(img);
  recent_.push_front(page);
  e.recent = recent_.begin();
  return e.memory.get();
}

Result<uint8_t *> WriteSet::add(uint32_t page) {
  if (auto it = entries_.find(page); it != entries_.end()) {
    auto img = find(page);
    if (img && *img)
      std::memset(*img, 0, pageSize_);
    return img;
  }
  JET_TRY(makeRoom());
  Entry e;
  e.memory.reset(new uint8_t[pageSize_]());
  recent_.push_front(page);
  e.recent = recent_.begin();
  uint8_t *p = e.memory.get();
  entries_.emplace(page, std::move(e));
  return p;
}

void WriteSet::erase(uint32_t page) {
  auto it = entries_.find(page);
  if (it == entries_.end())
    return;
  if (it->second.memory)
    recent_.erase(it->second.recent);
  if (it->second.slot != UINT64_MAX)
    spill_.release(it->second.slot);
  entries_.erase(it);
}

void WriteSet::clear() {
  entries_.clear();
  recent_.clear();
  retired_.clear();
}

std::vector<uint32_t> WriteSet::pageNumbers() const {
  std::vector<uint32_t> out;
  out.reserve(entries_.size());
  for (const auto &entry : entries_)
    out.push_back(entry.first);
  std::sort(out.begin(), out.end());
  return out;
}

// ---------------------------------------------------------------------------------------------

Result<SavedImage> SavedImages::save(const uint8_t *image) {
  SavedImage s;
  if (inMemory_ < limit_) {
    s.memory.reset(new uint8_t[pageSize_]);
    std::memcpy(s.memory.get(), image, pageSize_);
    ++inMemory_;
    return s;
  }
  auto slot = spill_.store(image);
  if (!slot)
    return slot.status();
  s.slot = *slot;
  return s;
}

Status SavedImages::restore(const SavedImage &saved, uint8_t *out) {
  if (saved.memory) {
    std::memcpy(out, saved.memory.get(), pageSize_);
    return Status::ok();
  }
  return spill_.load(saved.slot, out);
}

void SavedImages::drop(SavedImage &saved) {
  if (saved.memory) {
    saved.memory.reset();
    --inMemory_;
  } else if (saved.slot != UINT64_MAX) {
    spill_.release(saved.slot);
    saved.slot = UINT64_MAX;
  }
}

} // namespace jet

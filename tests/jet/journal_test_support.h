#pragma once
// Databases of stamped pages for the durability tests: every page says which generation and
// page number it holds, so a file can be checked page by page.
#include "jet/journal.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace journaltest {

constexpr uint32_t kPage = jet::PageStore::kJet4PageSize;

// While it lives, transactions begun keep only `pages` images in memory and spill the rest.
class SpillingWriteSet {
public:
  explicit SpillingWriteSet(size_t pages = jet::WriteSet::kMinimumPages)
      : saved_(jet::writeSetMemoryPages()) {
    jet::setWriteSetMemoryPages(pages);
  }
  ~SpillingWriteSet() { jet::setWriteSetMemoryPages(saved_); }
  SpillingWriteSet(const SpillingWriteSet &) = delete;
  SpillingWriteSet &operator=(const SpillingWriteSet &) = delete;

private:
  size_t saved_;
};

inline std::vector<uint8_t> stampedPage(uint32_t generation, uint32_t page) {
  std::vector<uint8_t> p(kPage);
  uint32_t x = generation * 2654435761u ^ page * 40503u ^ 0x9E3779B9u;
  for (uint32_t i = 0; i < kPage; ++i) {
    x = x * 1103515245u + 12345u;
    p[i] = uint8_t(x >> 16);
  }
  for (int i = 0; i < 4; ++i) {
    p[i] = uint8_t(generation >> (8 * i));
    p[4 + i] = uint8_t(page >> (8 * i));
  }
  return p;
}

inline void writeDatabase(const std::filesystem::path &path, uint32_t pages, uint32_t generation) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (uint32_t p = 0; p < pages; ++p) {
    auto img = stampedPage(generation, p);
    out.write(reinterpret_cast<const char *>(img.data()), img.size());
  }
}

inline std::string bytesOf(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline uint32_t stampOf(const std::string &file, uint32_t page, uint32_t *pageNo = nullptr) {
  const auto *p = reinterpret_cast<const uint8_t *>(file.data()) + size_t(page) * kPage;
  if (pageNo)
    *pageNo = p[4] | p[5] << 8 | p[6] << 16 | uint32_t(p[7]) << 24;
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

} // namespace journaltest

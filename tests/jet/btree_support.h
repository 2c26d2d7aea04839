#pragma once
// Index pages in memory for the tree tests, and a small table to index.
#include "jet/index_btree.h"
#include "jet/index_page.h"

#include <map>
#include <set>

namespace btreetest {

class MemoryPages : public jet::IndexPageIO {
public:
  using Image = std::vector<uint8_t>;
  std::map<uint32_t, Image> pages;
  std::set<uint32_t> released;
  uint32_t nextFree = 100;
  size_t writes = 0;

  jet::Status read(uint32_t page, std::span<uint8_t> out) override {
    auto it = pages.find(page);
    if (it == pages.end())
      return {jet::ErrorCode::Corrupt, "pagina assente " + std::to_string(page)};
    std::copy(it->second.begin(), it->second.end(), out.begin());
    return jet::Status::ok();
  }
  jet::Status write(uint32_t page, std::span<const uint8_t> image) override {
    if (!pages.count(page))
      return {jet::ErrorCode::Internal, "scrittura di una pagina non assegnata"};
    pages[page].assign(image.begin(), image.end());
    ++writes;
    return jet::Status::ok();
  }
  jet::Result<uint32_t> allocate(const jet::PhysicalIndex &) override {
    uint32_t n = nextFree++;
    pages[n] = Image(jet::kIndexPageSize, 0);
    return n;
  }
  jet::Status release(const jet::PhysicalIndex &, uint32_t page) override {
    if (!pages.erase(page))
      return {jet::ErrorCode::Internal, "rilascio di una pagina non assegnata"};
    released.insert(page);
    return jet::Status::ok();
  }
  // An empty leaf as the root of a new index.
  void makeRoot(uint32_t page, uint32_t tablePage) {
    jet::IndexPage p;
    p.tableDefinitionPage = tablePage;
    pages[page] = *jet::encodeIndexPage(p);
  }
};

} // namespace btreetest

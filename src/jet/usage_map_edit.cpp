#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/errors.h"
#include "jet/page_allocator.h"
#include "jet/usage_map.h"

#include <algorithm>
#include <cstring>

namespace jet {

namespace {

constexpr size_t kStart = UsageMap::kStartPageOffset;
constexpr size_t kBits = UsageMap::kInlineBitmapOffset;
constexpr size_t kSlots = UsageMap::kMapPagesOffset;
constexpr size_t kPageBits = UsageMap::kMapPageBitmapOffset;

void putBit(uint8_t *bits, uint32_t n, bool on) {
  if (on)
    bits[n / 8] |= static_cast<uint8_t>(1u << (n % 8));
  else
    bits[n / 8] &= static_cast<uint8_t>(~(1u << (n % 8)));
}

} // namespace

Result<uint8_t *> UsageMapEditor::row(bool change, size_t &length) {
  RowPointer at = RowPointer::decode(word_);
  const uint8_t *img;
  uint8_t *mimg = nullptr;
  if (change) {
    auto m = pager_.modify(at.page);
    if (!m)
      return m.status();
    mimg = *m;
    img = mimg;
  } else {
    auto p = pager_.peek(at.page, hold_);
    if (!p)
      return p.status();
    img = *p;
  }
  if (img[0] != kPageTypeData)
    return corruptPage(at.page, "la mappa di utilizzo delle pagine non è in una pagina di dati");
  uint16_t rows = le16(img + DataPage::kRowCountOffset);
  if (at.row >= rows || DataPage::kRowTableOffset + 2u * rows > kPageSize)
    return corruptPage(at.page, "mappa di utilizzo delle pagine mancante");
  const uint8_t *table = img + DataPage::kRowTableOffset;
  size_t start = le16(table + 2 * at.row) & DataPage::kOffsetMask;
  size_t end = at.row == 0 ? kPageSize : (le16(table + 2 * (at.row - 1)) & DataPage::kOffsetMask);
  if (start < DataPage::kRowTableOffset + 2u * rows || start >= end || end > kPageSize)
    return corruptPage(at.page, "mappa di utilizzo delle pagine fuori dai limiti");
  length = end - start;
  if (img[start] == UsageMap::kInline ? length < kBits : img[start] != UsageMap::kReference)
    return corruptPage(at.page, "mappa di utilizzo delle pagine non valida");
  return const_cast<uint8_t *>(img + start);
}

Result<std::optional<uint32_t>> UsageMapEditor::next(uint32_t from, uint32_t limit) {
  size_t len = 0;
  auto r = row(false, len);
  if (!r)
    return r.status();
  const uint8_t *m = *r;
  using Opt = std::optional<uint32_t>;
  if (m[0] == UsageMap::kInline) {
    uint64_t start = le32(m + kStart);
    uint64_t span = (len - kBits) * 8;
    uint64_t rel = from > start ? from - start : 0;
    if (auto bit = firstSetBit(m + kBits, len - kBits, rel)) {
      uint64_t page = start + *bit;
      return page < limit ? Opt(static_cast<uint32_t>(page)) : Opt();
    }
    if (global_) {
      uint64_t page = std::max<uint64_t>(from, start + span);
      return page < limit ? Opt(static_cast<uint32_t>(page)) : Opt();
    }
    return Opt();
  }
  size_t slots = (len - kSlots) / 4;
  for (size_t i = from / UsageMap::kPagesPerMapPage; i < slots; ++i) {
    uint64_t base = uint64_t(i) * UsageMap::kPagesPerMapPage;
    if (base >= limit)
      break;
    uint32_t mp = le32(m + kSlots + 4 * i);
    if (mp == 0)
      continue;
    PageRef hold;
    auto page = pager_.peek(mp, hold);
    if (!page)
      return page.status();
    if ((*page)[0] != kPageTypeUsageMap)
      return corruptPage(mp, "non è una pagina della mappa di utilizzo");
    uint64_t rel = from > base ? from - base : 0;
    if (auto bit = firstSetBit(*page + kPageBits, kPageSize - kPageBits, rel)) {
      uint64_t pg = base + *bit;
      return pg < limit ? Opt(static_cast<uint32_t>(pg)) : Opt();
    }
    // The map row may have moved under a peek of another page; read it again.
    auto again = row(false, len);
    if (!again)
      return again.status();
    m = *again;
  }
  return Opt();
}

Result<std::vector<uint32_t>> UsageMapEditor::pages() {
  std::vector<uint32_t> out;
  uint32_t from = 0;
  for (;;) {
    auto n = next(from, global_ ? pager_.pageCount() : 0xFFFFFFFFu);
    if (!n)
      return n.status();
    if (!*n)
      return out;
    out.push_back(**n);
    if (**n == 0xFFFFFFFEu)
      return out;
    from = **n + 1;
  }
}

Result<bool> UsageMapEditor::contains(uint32_t page) {
  auto n = next(page, page + 1);
  if (!n)
    return n.status();
  return n->has_value();
}

Status UsageMapEditor::add(uint32_t page) {
  return setBit(page, true);
}

Status UsageMapEditor::remove(uint32_t page) {
  return setBit(page, false);
}

Status UsageMapEditor::toReference(uint8_t *m, size_t len, uint32_t extraPage) {
  std::vector<uint32_t> marked;
  uint32_t start = le32(m + kStart);
  for (uint32_t i = 0; i < (len - kBits) * 8; ++i)
    if (m[kBits + i / 8] & (1u << (i % 8)))
      marked.push_back(start + i);
  m[0] = UsageMap::kReference;
  std::memset(m + kSlots, 0, len - kSlots);
  marked.push_back(extraPage);
  for (uint32_t p : marked)
    JET_TRY(setBit(p, true));
  return Status::ok();
}

Status UsageMapEditor::globalToReference(uint8_t *m, size_t len, uint32_t page, bool on) {
  // Free pages are the window's marked bits and every page from its end to the end of the file.
  // Bits of the window past the end of the file name no page: a map page the conversion
  // appends there must not be marked free.
  std::vector<uint32_t> free;
  const uint64_t count = pager_.pageCount();
  uint32_t start = le32(m + kStart);
  uint64_t end = start + uint64_t(len - kBits) * 8;
  for (uint32_t i = 0; i < (len - kBits) * 8 && start + uint64_t(i) < count; ++i)
    if (m[kBits + i / 8] & (1u << (i % 8)))
      free.push_back(start + i);
  for (uint64_t p = end; p < count; ++p)
    free.push_back(static_cast<uint32_t>(p));
  if (on)
    free.push_back(page);
  else
    free.erase(std::remove(free.begin(), free.end(), page), free.end());
  m[0] = UsageMap::kReference;
  std::memset(m + kSlots, 0, len - kSlots);
  for (uint32_t p : free)
    JET_TRY(setBit(p, true));
  return Status::ok();
}

Status UsageMapEditor::setBit(uint32_t page, bool on) {
  size_t len = 0;
  auto r = row(true, len);
  if (!r)
    return r.status();
  uint8_t *m = *r;
  if (m[0] == UsageMap::kInline) {
    uint32_t start = le32(m + kStart);
    uint64_t span = uint64_t(len - kBits) * 8;
    if (page >= start && page < start + span) {
      putBit(m + kBits, page - start, on);
      return Status::ok();
    }
    bool empty = !firstSetBit(m + kBits, len - kBits, 0);
    if (global_) {
      // Pages before the range count as in use, pages after it as free.
      if (page >= start ? on : !on)
        return Status::ok();
      // A page taken past the range moves the range up to it, as long as no free page is left
      // behind; a page freed before the range, or a move that would lose free pages, needs the
      // reference form, which maps every page.
      uint32_t newStart = page & ~7u;
      if (page >= start &&
          !firstSetBit(m + kBits, std::min<size_t>(len - kBits, (newStart - start) / 8), 0)) {
        std::memset(m + kBits, 0xFF, len - kBits);
        put32(m + kStart, newStart);
        for (uint32_t p = newStart; p <= page; ++p)
          putBit(m + kBits, p - newStart, false);
        return Status::ok();
      }
      if (!pages_)
        return {ErrorCode::Internal, "Mappa di utilizzo da ampliare senza allocatore di pagine."};
      return globalToReference(m, len, page, on);
    }
    if (!on)
      return Status::ok();
    if (empty) {
      uint32_t newStart = page & ~7u;
      put32(m + kStart, newStart);
      putBit(m + kBits, page - newStart, true);
      return Status::ok();
    }
    if (!pages_)
      return {ErrorCode::Internal, "Mappa di utilizzo da ampliare senza allocatore di pagine."};
    return toReference(m, len, page);
  }
  size_t slots = (len - kSlots) / 4;
  size_t slot = page / UsageMap::kPagesPerMapPage;
  if (slot >= slots)
    return {ErrorCode::IoError, "Il database ha raggiunto la dimensione massima."};
  uint32_t mp = le32(m + kSlots + 4 * slot);
  if (mp == 0) {
    if (!on)
      return Status::ok();
    if (!pages_)
      return {ErrorCode::Internal, "Mappa di utilizzo da ampliare senza allocatore di pagine."};
    auto fresh = global_ ? pages_->appendFresh() : pages_->allocate();
    if (!fresh)
      return fresh.status();
    mp = *fresh;
    auto img = pager_.modify(mp);
    if (!img)
      return img.status();
    std::memset(*img, 0, kPageSize);
    (*img)[0] = kPageTypeUsageMap;
    (*img)[1] = 0x01;
    auto again = row(true, len);
    if (!again)
      return again.status();
    put32(*again + kSlots + 4 * slot, mp);
  }
  auto img = pager_.modify(mp);
  if (!img)
    return img.status();
  if ((*img)[0] != kPageTypeUsageMap)
    return corruptPage(mp, "non è una pagina della mappa di utilizzo");
  putBit(*img + kPageBits, page - uint32_t(slot * UsageMap::kPagesPerMapPage), on);
  return Status::ok();
}

// ---------------------------------------------------------------------------------------------

bool PageAllocator::haveGlobalMap() {
  if (globalMap_ < 0) {
    UsageMapEditor g(pager_, this, kGlobalMapWord, true);
    globalMap_ = pager_.pageCount() > 2 && g.next(0, 0).isOk() ? 1 : 0;
  }
  return globalMap_ == 1;
}

Result<uint32_t> PageAllocator::appendFresh() {
  return pager_.appendPage();
}

Result<uint32_t> PageAllocator::allocate() {
  if (haveGlobalMap()) {
    UsageMapEditor g(pager_, this, kGlobalMapWord, true);
    // Pages 0 to 2 (header, this map, the catalogue) are never free.
    auto free = g.next(3, pager_.pageCount());
    if (!free)
      return free.status();
    if (*free) {
      uint32_t page = **free;
      JET_TRY(g.remove(page));
      auto img = pager_.modify(page);
      if (!img)
        return img.status();
      std::memset(*img, 0, kPageSize);
      return page;
    }
  }
  auto page = pager_.appendPage();
  if (!page)
    return page.status();
  if (haveGlobalMap()) {
    UsageMapEditor g(pager_, this, kGlobalMapWord, true);
    JET_TRY(g.remove(*page));
  }
  return page;
}

Status PageAllocator::release(uint32_t page) {
  if (page < 3)
    return {ErrorCode::Internal, "Pagina di sistema non liberabile."};
  auto img = pager_.modify(page);
  if (!img)
    return img.status();
  std::memset(*img, 0, kPageSize);
  if (!haveGlobalMap())
    return Status::ok();
  UsageMapEditor g(pager_, this, kGlobalMapWord, true);
  return g.add(page);
}

} // namespace jet

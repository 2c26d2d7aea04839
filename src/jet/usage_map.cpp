#include "jet/usage_map.h"

#include "jet/data_page.h"
#include "jet/errors.h"

namespace jet {

std::optional<uint32_t> firstSetBit(const uint8_t *bits, size_t bytes, uint64_t from) {
  for (uint64_t byte = from / 8; byte < bytes; ++byte) {
    uint8_t b = bits[byte];
    if (byte == from / 8)
      b &= static_cast<uint8_t>(0xFF << (from % 8));
    if (b == 0)
      continue;
    for (int bit = 0; bit < 8; ++bit)
      if (b & (1u << bit))
        return static_cast<uint32_t>(byte * 8 + bit);
  }
  return std::nullopt;
}

Result<UsageMap> UsageMap::load(Pager &pager, uint32_t pointerWord) {
  UsageMap m;
  m.location_ = RowPointer::decode(pointerWord);
  auto page = pager.page(m.location_.page);
  if (!page)
    return page.status();
  auto data = DataPage::view(*page);
  if (!data)
    return corruptPage(m.location_.page,
                       "la mappa di utilizzo delle pagine non è in una pagina di dati");
  auto slot = data->slot(m.location_.row);
  if (!slot)
    return slot.status();
  if (slot->deleted || slot->length() < 1)
    return corruptPage(m.location_.page, "mappa di utilizzo delle pagine mancante");
  ByteView row = data->bytes(*slot);
  m.kind_ = row[0];
  if (m.kind_ == kInline) {
    if (row.size() < kInlineBitmapOffset)
      return corruptPage(m.location_.page, "mappa di utilizzo delle pagine troncata");
    m.startPage_ = le32(row.data() + kStartPageOffset);
    m.bitmap_.assign(row.begin() + kInlineBitmapOffset, row.end());
  } else if (m.kind_ == kReference) {
    for (size_t off = kMapPagesOffset; off + 4 <= row.size(); off += 4)
      m.mapPages_.push_back(le32(row.data() + off));
  } else {
    return corruptPage(m.location_.page,
                       "tipo di mappa di utilizzo sconosciuto (" + std::to_string(m.kind_) + ")");
  }
  return m;
}

Result<std::optional<uint32_t>> UsageMap::nextPage(Pager &pager, uint32_t from) const {
  if (kind_ == kInline) {
    uint32_t rel = from > startPage_ ? from - startPage_ : 0;
    auto bit = firstSetBit(bitmap_.data(), bitmap_.size(), rel);
    if (!bit)
      return std::optional<uint32_t>();
    uint64_t page = static_cast<uint64_t>(startPage_) + *bit;
    if (page > 0xFFFFFFFFu)
      return std::optional<uint32_t>();
    return std::optional<uint32_t>(static_cast<uint32_t>(page));
  }
  for (size_t i = from / kPagesPerMapPage; i < mapPages_.size(); ++i) {
    if (mapPages_[i] == 0)
      continue;
    auto page = pager.page(mapPages_[i]);
    if (!page)
      return page.status();
    if ((*page)->type() != kPageTypeUsageMap)
      return corruptPage(mapPages_[i], "non è una pagina della mappa di utilizzo");
    uint64_t base = static_cast<uint64_t>(i) * kPagesPerMapPage;
    uint32_t rel = from > base ? static_cast<uint32_t>(from - base) : 0;
    auto bit =
        firstSetBit((*page)->data() + kMapPageBitmapOffset, kPageSize - kMapPageBitmapOffset, rel);
    if (bit)
      return std::optional<uint32_t>(static_cast<uint32_t>(base + *bit));
  }
  return std::optional<uint32_t>();
}

Result<std::vector<uint32_t>> UsageMap::pages(Pager &pager) const {
  std::vector<uint32_t> out;
  uint32_t from = 0;
  for (;;) {
    auto next = nextPage(pager, from);
    if (!next)
      return next.status();
    if (!*next)
      return out;
    out.push_back(**next);
    if (**next == 0xFFFFFFFFu)
      return out;
    from = **next + 1;
  }
}

} // namespace jet

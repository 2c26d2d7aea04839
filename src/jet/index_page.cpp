#include "jet/index_page.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace jet {

namespace {

constexpr size_t kMaskBits = (kIndexEntriesOffset - kIndexEntryMaskOffset) * 8;
constexpr uint32_t kMaxRowPage = 0xFFFFFF;

size_t trailerSize(IndexPageKind kind) {
  return kind == IndexPageKind::Leaf ? 4 : 8;
}

Status corrupt(const std::string &what) {
  return {ErrorCode::Corrupt, "Pagina d'indice danneggiata: " + what + "."};
}

Status cannotWrite(const std::string &what) {
  return {ErrorCode::Internal, "Pagina d'indice non scrivibile: " + what + "."};
}

bool validKind(IndexPageKind kind) {
  return kind == IndexPageKind::Leaf || kind == IndexPageKind::Intermediate;
}

// Byte i of an entry as the page stores it: key, row page (3 bytes), row, child (4 bytes).
uint8_t entryByte(const IndexEntry &e, size_t i) {
  const size_t k = e.key.size();
  if (i < k)
    return e.key[i];
  switch (i - k) {
  case 0:
    return static_cast<uint8_t>(e.row.page >> 16);
  case 1:
    return static_cast<uint8_t>(e.row.page >> 8);
  case 2:
    return static_cast<uint8_t>(e.row.page);
  case 3:
    return e.row.row;
  default:
    return static_cast<uint8_t>(e.child >> (8 * (7 - (i - k))));
  }
}

// How many leading bytes two entries share, up to limit.
size_t commonPrefix(const IndexEntry &a, const IndexEntry &b, size_t limit) {
  size_t i = 0;
  const size_t keys = std::min({a.key.size(), b.key.size(), limit});
  while (i < keys && a.key[i] == b.key[i])
    ++i;
  if (i < keys)
    return i;
  while (i < limit && entryByte(a, i) == entryByte(b, i))
    ++i;
  return i;
}

// Checks a page's entries and prefix; gives the size of the entry area.
Status checkEntries(const IndexPage &page, size_t &used) {
  if (!validKind(page.kind))
    return cannotWrite("tipo di pagina sconosciuto");
  for (const auto &e : page.entries) {
    if (e.key.empty())
      return cannotWrite("voce senza chiave");
    if (e.row.page > kMaxRowPage)
      return cannotWrite("numero di pagina della riga oltre 24 bit");
  }
  const size_t prefix = page.prefixLength;
  used = 0;
  if (!page.entries.empty()) {
    const IndexEntry &first = page.entries.front();
    if (prefix > indexEntrySize(page.kind, first))
      return cannotWrite("prefisso comune più lungo della prima voce");
    used = indexEntrySize(page.kind, first);
    for (size_t i = 1; i < page.entries.size(); ++i) {
      const size_t n = indexEntrySize(page.kind, page.entries[i]);
      if (n <= prefix || commonPrefix(first, page.entries[i], prefix) < prefix)
        return cannotWrite("prefisso comune non condiviso da tutte le voci");
      used += n - prefix;
    }
  }
  if (used > kIndexEntrySpace)
    return cannotWrite("le voci non entrano nella pagina");
  return Status::ok();
}

} // namespace

Bytes indexEntryBytes(IndexPageKind kind, const IndexEntry &entry) {
  Bytes b;
  b.reserve(entry.key.size() + trailerSize(kind));
  b.insert(b.end(), entry.key.begin(), entry.key.end());
  b.push_back(static_cast<uint8_t>(entry.row.page >> 16));
  b.push_back(static_cast<uint8_t>(entry.row.page >> 8));
  b.push_back(static_cast<uint8_t>(entry.row.page));
  b.push_back(entry.row.row);
  if (kind == IndexPageKind::Intermediate)
    for (int shift = 24; shift >= 0; shift -= 8)
      b.push_back(static_cast<uint8_t>(entry.child >> shift));
  return b;
}

size_t indexEntrySize(IndexPageKind kind, const IndexEntry &entry) {
  return entry.key.size() + trailerSize(kind);
}

size_t commonEntryPrefix(const IndexEntry &a, const IndexEntry &b, size_t limit) {
  return commonPrefix(a, b, limit);
}

size_t sharedPrefixLength(IndexPageKind kind, std::span<const IndexEntry> entries) {
  if (entries.size() < 2)
    return 0;
  // Up to the row's page number at most: the row number always differs.
  size_t len = entries.front().key.size() + 3;
  for (size_t i = 1; i < entries.size() && len > 0; ++i) {
    len = std::min(len, entries[i].key.size() + 3);
    len = commonPrefix(entries.front(), entries[i], len);
  }
  return len;
}

size_t pagePrefixLength(IndexPageKind kind, std::span<const IndexEntry> entries) {
  if (indexEntriesSize(kind, entries, 0) <= kIndexEntrySpace)
    return 0;
  return sharedPrefixLength(kind, entries);
}

size_t indexEntriesSize(IndexPageKind kind, std::span<const IndexEntry> entries,
                        size_t prefixLength) {
  size_t used = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const size_t n = indexEntrySize(kind, entries[i]);
    used += i == 0 ? n : n - std::min(n, prefixLength);
  }
  return used;
}

bool indexEntriesFit(IndexPageKind kind, std::span<const IndexEntry> entries, size_t prefixLength) {
  return indexEntriesSize(kind, entries, prefixLength) <= kIndexEntrySpace;
}

bool indexEntriesFit(IndexPageKind kind, std::span<const IndexEntry> entries) {
  return indexEntriesFit(kind, entries, sharedPrefixLength(kind, entries));
}

std::strong_ordering compareIndexEntries(const IndexEntry &a, const IndexEntry &b) {
  const size_t n = std::min(a.key.size(), b.key.size());
  if (n > 0) {
    const int c = std::memcmp(a.key.data(), b.key.data(), n);
    if (c != 0)
      return c < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
  }
  if (a.key.size() != b.key.size())
    return a.key.size() <=> b.key.size();
  return a.row <=> b.row;
}

Result<IndexPage> decodeIndexPage(std::span<const uint8_t> image) {
  if (image.size() != kIndexPageSize)
    return corrupt("dimensione della pagina errata");
  const uint8_t *p = image.data();
  IndexPage page;
  if (p[0] != static_cast<uint8_t>(IndexPageKind::Leaf) &&
      p[0] != static_cast<uint8_t>(IndexPageKind::Intermediate))
    return corrupt("tipo di pagina " + std::to_string(p[0]) + " inatteso");
  page.kind = static_cast<IndexPageKind>(p[0]);
  page.unknownByte1 = p[1];
  const uint16_t freeSpace = le16(p + kIndexFreeSpaceOffset);
  page.tableDefinitionPage = le32(p + kIndexTablePageOffset);
  page.unknownWord8 = le32(p + kIndexUnknownWordOffset);
  page.prevPage = le32(p + kIndexPrevPageOffset);
  page.nextPage = le32(p + kIndexNextPageOffset);
  page.tailPage = le32(p + kIndexTailPageOffset);
  page.prefixLength = le16(p + kIndexPrefixLengthOffset);
  page.unknownByte26 = p[kIndexUnknownByteOffset];

  std::vector<size_t> ends;
  for (size_t bit = 0; bit < kMaskBits; ++bit) {
    if (p[kIndexEntryMaskOffset + bit / 8] >> (bit % 8) & 1) {
      if (bit > kIndexEntrySpace)
        return corrupt("maschera delle voci oltre la fine della pagina");
      ends.push_back(bit);
    }
  }
  const size_t end = ends.empty() ? 0 : ends.back();
  if (freeSpace != kIndexEntrySpace - end)
    return corrupt("spazio libero incoerente con le voci");

  const size_t trailer = trailerSize(page.kind);
  const uint8_t *data = p + kIndexEntriesOffset;
  Bytes first, full; // full: the entry being read, prefix restored
  size_t start = 0;
  page.entries.reserve(ends.size());
  for (size_t e : ends) {
    if (page.entries.empty()) {
      full.assign(data + start, data + e);
      if (page.prefixLength > full.size())
        return corrupt("prefisso comune più lungo della prima voce");
      first = full;
    } else {
      full.assign(first.begin(), first.begin() + page.prefixLength);
      full.insert(full.end(), data + start, data + e);
    }
    if (full.size() <= trailer)
      return corrupt("voce troppo corta");
    IndexEntry entry;
    const size_t keyLen = full.size() - trailer;
    entry.key.assign(full.begin(), full.begin() + keyLen);
    const uint8_t *t = full.data() + keyLen;
    entry.row.page = static_cast<uint32_t>(t[0]) << 16 | static_cast<uint32_t>(t[1]) << 8 | t[2];
    entry.row.row = t[3];
    if (page.kind == IndexPageKind::Intermediate)
      entry.child = static_cast<uint32_t>(t[4]) << 24 | static_cast<uint32_t>(t[5]) << 16 |
                    static_cast<uint32_t>(t[6]) << 8 | t[7];
    page.entries.push_back(std::move(entry));
    start = e;
  }
  return page;
}

Status encodeIndexPage(const IndexPage &page, std::span<uint8_t> out) {
  if (out.size() != kIndexPageSize)
    return cannotWrite("area di destinazione di dimensione errata");
  size_t used = 0;
  JET_TRY(checkEntries(page, used));

  std::fill(out.begin(), out.end(), uint8_t{0});
  uint8_t *p = out.data();
  p[0] = static_cast<uint8_t>(page.kind);
  p[1] = page.unknownByte1;
  put16(p + kIndexFreeSpaceOffset, static_cast<uint16_t>(kIndexEntrySpace - used));
  put32(p + kIndexTablePageOffset, page.tableDefinitionPage);
  put32(p + kIndexUnknownWordOffset, page.unknownWord8);
  put32(p + kIndexPrevPageOffset, page.prevPage);
  put32(p + kIndexNextPageOffset, page.nextPage);
  put32(p + kIndexTailPageOffset, page.tailPage);
  put16(p + kIndexPrefixLengthOffset, page.prefixLength);
  p[kIndexUnknownByteOffset] = page.unknownByte26;

  uint8_t *data = p + kIndexEntriesOffset;
  size_t pos = 0;
  for (size_t i = 0; i < page.entries.size(); ++i) {
    const IndexEntry &e = page.entries[i];
    const size_t skip = i == 0 ? 0 : page.prefixLength;
    const size_t n = indexEntrySize(page.kind, e);
    size_t at = skip;
    if (at < e.key.size()) {
      std::memcpy(data + pos, e.key.data() + at, e.key.size() - at);
      pos += e.key.size() - at;
      at = e.key.size();
    }
    for (; at < n; ++at)
      data[pos++] = entryByte(e, at);
    p[kIndexEntryMaskOffset + pos / 8] |= static_cast<uint8_t>(1u << (pos % 8));
  }
  return Status::ok();
}

Result<Bytes> encodeIndexPage(const IndexPage &page) {
  Bytes image(kIndexPageSize);
  JET_TRY(encodeIndexPage(page, image));
  return image;
}

} // namespace jet

#pragma once
// Jet 4 index node pages: intermediate pages (type 0x03) and leaf pages (type 0x04).
//
// Layout (header fields little-endian, entry contents big-endian):
//   0x00  page type            0x01  always 0x01
//   0x02  free space (2)       0x04  table definition page (4)
//   0x08  unknown (4)          0x0C  previous page on this level (4)
//   0x10  next page (4)        0x14  tail page (4; on the intermediate page above the tail)
//   0x18  shared prefix length (2)  0x1A  unknown (1)
//   0x1B  entry mask: bit n set where an entry ends n bytes after 0x1E0
//   0x1E0 the entries, back to back; every entry after the first leaves out the shared prefix
// An entry is its key, then the row it points at (page number in 3 bytes and row number), then
// on intermediate pages the child page (4 bytes): the page below whose last entry this is.
#include "jet/bytes.h"
#include "jet/page_format.h"
#include "jet/status.h"
#include "jet/value.h"

#include <compare>
#include <cstdint>
#include <span>
#include <vector>

namespace jet {

constexpr size_t kIndexPageSize = kPageSize;
constexpr size_t kIndexFreeSpaceOffset = 0x02;
constexpr size_t kIndexTablePageOffset = 0x04;
constexpr size_t kIndexUnknownWordOffset = 0x08;
constexpr size_t kIndexPrevPageOffset = 0x0C;
constexpr size_t kIndexNextPageOffset = 0x10;
constexpr size_t kIndexTailPageOffset = 0x14;
constexpr size_t kIndexPrefixLengthOffset = 0x18;
constexpr size_t kIndexUnknownByteOffset = 0x1A;
constexpr size_t kIndexEntryMaskOffset = 0x1B;
constexpr size_t kIndexEntriesOffset = 0x1E0;
// Room for entries on one page.
constexpr size_t kIndexEntrySpace = kIndexPageSize - kIndexEntriesOffset;

enum class IndexPageKind : uint8_t { Intermediate = 0x03, Leaf = 0x04 };

// The row an index entry points at: RowPointer (bytes.h), its page fitting 24 bits.

struct IndexEntry {
  Bytes key; // the whole key, shared prefix included
  RowPointer row;
  uint32_t child = 0; // intermediate pages only
  bool operator==(const IndexEntry &) const = default;
};

struct IndexPage {
  IndexPageKind kind = IndexPageKind::Leaf;
  uint32_t tableDefinitionPage = 0;
  uint32_t prevPage = 0;
  uint32_t nextPage = 0;
  uint32_t tailPage = 0;
  // Bytes shared by every entry and written only in the first one.
  uint16_t prefixLength = 0;
  // Header bytes of unknown meaning, kept so that a page written back keeps them.
  uint8_t unknownByte1 = 0x01;
  uint32_t unknownWord8 = 0;
  uint8_t unknownByte26 = 0;
  std::vector<IndexEntry> entries; // in index order
};

// Reads a page image of kIndexPageSize bytes. Every offset and length is checked: a damaged
// page gives a Corrupt status, never a read outside the image.
Result<IndexPage> decodeIndexPage(std::span<const uint8_t> image);

// Writes the page into out (kIndexPageSize bytes), laid out as the Jet engine lays it out; the
// bytes after the last entry are zero. Fails, leaving out untouched, when the entries do not
// fit, the prefix length is not shared by every entry, or a pointer is out of range.
Status encodeIndexPage(const IndexPage &page, std::span<uint8_t> out);
Result<Bytes> encodeIndexPage(const IndexPage &page);

// The bytes of one entry as the page stores it before prefix sharing.
Bytes indexEntryBytes(IndexPageKind kind, const IndexEntry &entry);
size_t indexEntrySize(IndexPageKind kind, const IndexEntry &entry);

// The longest prefix the entries can share: common to all of them, never reaching the row
// number (0 for fewer than two entries).
size_t sharedPrefixLength(IndexPageKind kind, std::span<const IndexEntry> entries);

// How many leading bytes two entries share as a page stores them, up to limit.
size_t commonEntryPrefix(const IndexEntry &a, const IndexEntry &b, size_t limit);

// The shared prefix the Jet engine writes on a page of these entries: none while they fit the
// page without one, otherwise the longest they share. (Every index page of the reference files
// follows this rule.)
size_t pagePrefixLength(IndexPageKind kind, std::span<const IndexEntry> entries);

// Bytes the entries take on a page with the given shared prefix (entry area only).
size_t indexEntriesSize(IndexPageKind kind, std::span<const IndexEntry> entries,
                        size_t prefixLength);

// Whether the entries fit one page with the given shared prefix, or at all (with the longest
// one): what a writer asks before it splits a page.
bool indexEntriesFit(IndexPageKind kind, std::span<const IndexEntry> entries, size_t prefixLength);
bool indexEntriesFit(IndexPageKind kind, std::span<const IndexEntry> entries);

// Index order: keys byte by byte (a key that is a prefix of another sorts first), then the row.
std::strong_ordering compareIndexEntries(const IndexEntry &a, const IndexEntry &b);

} // namespace jet

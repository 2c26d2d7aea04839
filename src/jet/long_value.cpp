#include "jet/long_value.h"

#include "jet/data_page.h"
#include "jet/errors.h"
#include "jet/text_codec.h"

#include <unordered_set>

namespace jet {

Result<LongValueRef> LongValueRef::parse(ByteView field, uint32_t page) {
  if (field.size() < kSize)
    return corruptPage(page, "descrittore di un campo memo o OLE troncato");
  LongValueRef r;
  uint32_t word = le32(field.data());
  r.length = word & kLengthMask;
  r.kind = static_cast<uint8_t>((word >> kKindShift) & (kInline | kSinglePage));
  r.first = RowPointer::decode(le32(field.data() + kPointerOffset));
  if (r.kind == kInline) {
    if (field.size() - kSize < r.length)
      return corruptPage(page, "campo memo o OLE più lungo della riga che lo contiene");
    r.inlineData = field.subspan(kSize, r.length);
  } else if (r.kind != kSinglePage && r.kind != kChain) {
    return corruptPage(page, "tipo di campo memo o OLE sconosciuto");
  }
  return r;
}

Bytes LongValueRef::encode(uint32_t length, uint8_t kind, uint32_t pointer) {
  Bytes f(kSize, 0);
  put32(f.data(), (length & kMaxLength) | uint32_t(kind) << 24);
  put32(f.data() + 4, pointer);
  return f;
}

Result<ByteView> LongValueReader::lvalRow(RowPointer at, PageRef &hold) {
  auto page = pager_.page(at.page);
  if (!page)
    return page.status();
  hold = *page;
  auto data = DataPage::view(hold);
  if (!data || !data->isLongValuePage())
    return corruptPage(at.page,
                       "un campo memo o OLE rimanda a una pagina che non è di valori lunghi");
  auto slot = data->slot(at.row);
  if (!slot)
    return slot.status();
  if (slot->deleted)
    return corruptPage(at.page, "un campo memo o OLE rimanda a una riga cancellata");
  return data->bytes(*slot);
}

Result<ByteView> LongValueReader::view(const LongValueRef &ref, PageRef &hold) {
  if (ref.kind == LongValueRef::kInline)
    return ref.inlineData;
  auto row = lvalRow(ref.first, hold);
  if (!row)
    return row.status();
  if (row->size() < ref.length)
    return corruptPage(ref.first.page, "campo memo o OLE più corto del dichiarato");
  return row->first(ref.length);
}

Status LongValueReader::readText(ByteView field, uint32_t page, Value &out) {
  auto ref = LongValueRef::parse(field, page);
  if (!ref)
    return ref.status();
  if (ref->kind == LongValueRef::kChain) {
    auto bytes = read(field, page);
    if (!bytes)
      return bytes.status();
    out = Value(decodeJetText(*bytes));
    return Status::ok();
  }
  PageRef hold;
  auto bytes = view(*ref, hold);
  if (!bytes)
    return bytes.status();
  out = Value(decodeJetText(*bytes));
  return Status::ok();
}

Result<Bytes> LongValueReader::read(ByteView field, uint32_t page) {
  auto ref = LongValueRef::parse(field, page);
  if (!ref)
    return ref.status();
  // A value cannot be longer than the file that holds it.
  if (ref->length > static_cast<uint64_t>(pager_.pageCount()) * kPageSize)
    return corruptPage(page, "lunghezza impossibile di un campo memo o OLE");
  PageRef hold;
  if (ref->kind != LongValueRef::kChain) {
    auto bytes = view(*ref, hold);
    if (!bytes)
      return bytes.status();
    return Bytes(bytes->begin(), bytes->end());
  }
  Bytes out;
  out.reserve(ref->length);
  RowPointer at = ref->first;
  std::unordered_set<uint32_t> seen;
  while (out.size() < ref->length) {
    if (at.page == 0)
      return corruptPage(at.page, "catena di un campo memo o OLE interrotta");
    if (!seen.insert((at.page << 8) | at.row).second)
      return corruptPage(at.page, "la catena di un campo memo o OLE torna su se stessa");
    auto row = lvalRow(at, hold);
    if (!row)
      return row.status();
    constexpr size_t link = LongValueRef::kChainLinkSize;
    if (row->size() <= link)
      return corruptPage(at.page, "parte vuota nella catena di un campo memo o OLE");
    size_t take = std::min<size_t>(row->size() - link, ref->length - out.size());
    out.insert(out.end(), row->begin() + link, row->begin() + link + take);
    at = RowPointer::decode(le32(row->data()));
  }
  return out;
}

Result<uint64_t> LongValueReader::storedLength(ByteView field, uint32_t page) {
  auto ref = LongValueRef::parse(field, page);
  if (!ref)
    return ref.status();
  if (ref->kind == LongValueRef::kInline)
    return uint64_t(field.size() - LongValueRef::kSize);
  PageRef hold;
  if (ref->kind == LongValueRef::kSinglePage) {
    auto row = lvalRow(ref->first, hold);
    if (!row)
      return row.status();
    return uint64_t(row->size());
  }
  uint64_t total = 0;
  RowPointer at = ref->first;
  std::unordered_set<uint32_t> seen;
  while (at.page != 0) {
    if (!seen.insert((at.page << 8) | at.row).second)
      return corruptPage(at.page, "la catena di un campo memo o OLE torna su se stessa");
    auto row = lvalRow(at, hold);
    if (!row)
      return row.status();
    if (row->size() < 4)
      return corruptPage(at.page, "parte vuota nella catena di un campo memo o OLE");
    total += row->size() - 4;
    at = RowPointer::decode(le32(row->data()));
  }
  return total;
}

} // namespace jet

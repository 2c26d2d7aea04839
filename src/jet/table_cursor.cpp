#include "jet/table_cursor.h"

#include "jet/errors.h"

namespace jet {

namespace {
// Overflow rows point at most once elsewhere in files Jet writes; allow a few hops, never a loop.
constexpr int kMaxOverflowHops = 8;
} // namespace

Result<TableCursor> TableCursor::open(Pager &pager, std::shared_ptr<const TableDef> def) {
  auto map = UsageMap::load(pager, def->usedPagesMap);
  if (!map)
    return inTable(map.status(), def->name);
  return TableCursor(pager, std::move(def), std::move(*map));
}

TableCursor::TableCursor(Pager &pager, std::shared_ptr<const TableDef> def, UsageMap map)
    : pager_(&pager), def_(std::move(def)), map_(std::move(map)),
      decoder_(std::make_unique<RowDecoder>(pager, *def_)) {}

Status TableCursor::fail(Status s) const {
  return inTable(std::move(s), def_->name);
}

void TableCursor::rewind() {
  page_.reset();
  nextPageFrom_ = 0;
  nextRow_ = 0;
  done_ = false;
  dataHold_.reset();
}

Result<bool> TableCursor::loadPage(uint32_t number) {
  auto page = pager_->page(number);
  if (!page)
    return page.status();
  if ((*page)->type() != kPageTypeData)
    return false;
  auto data = DataPage::view(*page);
  if (!data)
    return data.status();
  if (data->tablePage() != def_->page)
    return false;
  page_ = std::move(*data);
  nextRow_ = 0;
  return true;
}

Result<bool> TableCursor::enterRow(uint16_t row) {
  auto slot = page_->slot(row);
  if (!slot)
    return slot.status();
  if (slot->deleted)
    return false;
  location_ = {page_->number(), row};
  if (!slot->overflow) {
    dataPage_ = page_->number();
    dataHold_.reset(); // page_ keeps the bytes alive
    return parseLayout(page_->bytes(*slot));
  }
  DataPage at = *page_;
  RowSlot s = *slot;
  for (int hop = 0; s.overflow; ++hop) {
    if (hop >= kMaxOverflowHops || s.length() < 4)
      return corruptPage(at.number(), "riga spostata con un rimando non valido");
    RowPointer to = RowPointer::decode(le32(at.bytes(s).data()));
    auto page = pager_->page(to.page);
    if (!page)
      return page.status();
    auto data = DataPage::view(*page);
    if (!data)
      return data.status();
    // The moved data is flagged deleted so that a scan does not meet it twice.
    auto target = data->slot(to.row, true);
    if (!target)
      return target.status();
    at = std::move(*data);
    s = *target;
  }
  dataPage_ = at.number();
  dataHold_ = at.page();
  return parseLayout(at.bytes(s));
}

Result<bool> TableCursor::parseLayout(ByteView bytes) {
  auto layout = RowLayout::parse(bytes, def_->varColumnCount, dataPage_);
  if (!layout)
    return layout.status();
  layout_ = *layout;
  return true;
}

Result<bool> TableCursor::next() {
  while (!done_) {
    if (page_ && nextRow_ < page_->rowCount()) {
      auto entered = enterRow(static_cast<uint16_t>(nextRow_++));
      if (!entered)
        return fail(entered.status());
      if (*entered)
        return true;
      continue;
    }
    page_.reset();
    auto next = map_.nextPage(*pager_, nextPageFrom_);
    if (!next)
      return fail(next.status());
    if (!*next || **next == 0xFFFFFFFFu) {
      done_ = true;
      break;
    }
    nextPageFrom_ = **next + 1;
    auto loaded = loadPage(**next);
    if (!loaded)
      return fail(loaded.status());
  }
  return false;
}

Status TableCursor::read(std::vector<Value> &out) {
  Status st = decoder_->row(layout_, dataPage_, out);
  return st ? st : fail(std::move(st));
}

Result<Value> TableCursor::value(size_t columnIndex) {
  if (columnIndex >= def_->columns.size())
    return Status(ErrorCode::NoSuchColumn, "Elemento non trovato nell'insieme.");
  auto v = decoder_->column(layout_, def_->columns[columnIndex], dataPage_);
  if (!v)
    return fail(v.status());
  return v;
}

} // namespace jet

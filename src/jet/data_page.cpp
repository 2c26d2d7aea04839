#include "jet/data_page.h"

#include "jet/errors.h"

#include <cstring>

namespace jet {

Result<DataPage> DataPage::view(PageRef page) {
  if (page->type() != kPageTypeData)
    return corruptPage(page->number(),
                       "non è una pagina di dati (tipo " + std::to_string(page->type()) + ")");
  uint16_t rows = le16(page->data() + kRowCountOffset);
  if (kRowTableOffset + 2u * rows > kPageSize)
    return corruptPage(page->number(),
                       "numero di righe impossibile (" + std::to_string(rows) + ")");
  return DataPage(std::move(page), rows);
}

bool DataPage::isLongValuePage() const {
  return std::memcmp(page_->data() + kOwnerOffset, kLongValueTag, 4) == 0;
}

Result<RowSlot> DataPage::slot(uint16_t row, bool evenIfDeleted) const {
  if (row >= rowCount_)
    return corruptPage(number(), "la riga " + std::to_string(row) +
                                     " non esiste (la pagina ne ha " + std::to_string(rowCount_) +
                                     ")");
  const uint8_t *table = page_->data() + kRowTableOffset;
  uint16_t word = le16(table + 2 * row);
  RowSlot s;
  s.deleted = (word & kDeletedFlag) != 0;
  s.overflow = (word & kOverflowFlag) != 0;
  s.start = word & kOffsetMask;
  s.end = row == 0 ? kPageSize : (le16(table + 2 * (row - 1)) & kOffsetMask);
  if (s.deleted && !evenIfDeleted)
    return s;
  size_t tableEnd = kRowTableOffset + 2u * rowCount_;
  if (s.start < tableEnd || s.start > s.end || s.end > kPageSize)
    return corruptPage(number(),
                       "la riga " + std::to_string(row) + " esce dai limiti della pagina");
  return s;
}

} // namespace jet

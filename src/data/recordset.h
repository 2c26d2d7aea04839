#pragma once
// A client-side recordset: the rows of a query held in memory in their compact form, with a
// current row, moves, a client-side sort, and (when updatable) changes written to the table at
// once through a RowWriter, each row identified by its location in the table.
#include "data/row_buffer.h"
#include "jet/status.h"
#include "jet/value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace data {

// Opaque identity of a row in its table (the engine's row location).
using RowId = uint64_t;

struct Field {
  std::string name;
  int type = 0;            // ADO type number
  int64_t definedSize = 0; // ADO DefinedSize
  jet::ColumnType jetType = jet::ColumnType::Text;
  int precision = 0;
  int scale = 0;
  bool autoNumber = false;
};

// Writes a recordset's changes to the table it was read from. The values may be converted in
// place to what was stored (types, autonumbers); a moved row updates its RowId.
class RowWriter {
public:
  virtual ~RowWriter() = default;
  virtual jet::Status updateRow(RowId &row, std::vector<jet::Value> &values) = 0;
  virtual jet::Result<RowId> insertRow(std::vector<jet::Value> &values) = 0;
  virtual jet::Status deleteRow(RowId row) = 0;
};

// ADO cursor and lock types as the program passes them.
enum class CursorType { ForwardOnly = 0, Keyset = 1, Dynamic = 2, Static = 3 };
enum class LockType { ReadOnly = 1, Pessimistic = 2, Optimistic = 3, BatchOptimistic = 4 };

// AbsolutePosition values ADO reports where there is no current row.
constexpr long kPosUnknown = -1;
constexpr long kPosBOF = -2;
constexpr long kPosEOF = -3;

// What a listener is told after the recordset changed; position is 0-based (display order).
enum class RecordsetChange {
  Moved,       // the current row changed (position: the new one, may be -1 or RecordCount())
  RowChanged,  // a row's values were written (position: that row)
  RowInserted, // Update appended a row (position: the new row, now current)
  RowDeleted,  // a row was deleted (position: where it was)
  Reordered,   // Sort changed the order of every row
  Pending,     // AddNew, CancelUpdate or a value held for the pending new row
  Closed,
};
using RecordsetListener = std::function<void(RecordsetChange, long position)>;

class Recordset {
public:
  Recordset(std::vector<Field> fields, LockType lock = LockType::ReadOnly,
            std::shared_ptr<RowWriter> writer = nullptr);

  // Filled by the query that opens the recordset, before first use.
  void appendLoadedRow(RowId id, const std::vector<jet::Value> &values);
  // Takes rows loaded elsewhere, in order (ids[i] is the identity of row slot i).
  void adoptLoadedRows(RowBuffer &&rows, std::vector<RowId> &&ids);
  // Puts the current row on the first row (or EOF when empty); called once loading ends.
  void finishLoading();
  // A row written to the table by other means, taken at its place in the current order (after
  // its equals, where a stable sort puts it) without reading the table again; it becomes current.
  void insertLoadedRow(RowId id, const std::vector<jet::Value> &values);

  bool isOpen() const { return open_; }
  void Close();
  bool updatable() const { return lock_ != LockType::ReadOnly && writer_ != nullptr; }
  LockType lockType() const { return lock_; }

  const std::vector<Field> &fields() const { return fields_; }
  int fieldCount() const { return static_cast<int>(fields_.size()); }
  // Index of a field by name, ignoring case as Jet does; -1 where there is none.
  int fieldIndex(std::string_view name) const;

  long RecordCount() const { return static_cast<long>(order_.size()); }
  // ADO's BOF and EOF (EOF is a C macro, hence the names).
  // 1 for the first row; kPosBOF / kPosEOF / kPosUnknown where there is no current row.
  long AbsolutePosition() const;
  jet::Status setAbsolutePosition(long position);
  bool isBOF() const { return pos_ < 0 || order_.empty(); }
  bool isEOF() const { return pos_ >= RecordCount() || order_.empty(); }
  void MoveFirst();
  void MoveLast();
  void MoveNext();
  void MovePrevious();
  jet::Status Move(long n);

  // The current row's value; an error where there is no current row or no such field.
  jet::Result<jet::Value> value(int field) const;
  jet::Result<jet::Value> value(std::string_view name) const;
  // A value by display position (0-based), for views that draw rows without moving.
  jet::Value valueAt(long position, int field) const;
  std::vector<jet::Value> rowAt(long position) const;
  RowId rowIdAt(long position) const;

  // Changes a field of the current row and writes the row at once. During AddNew the value is
  // only held until Update.
  jet::Status setValue(int field, const jet::Value &v);
  // Starts a new row, which becomes current; Update writes it, CancelUpdate drops it.
  jet::Status AddNew();
  jet::Status Update();
  void CancelUpdate();
  bool adding() const { return adding_; }
  // Deletes the current row from the table; the next row becomes current.
  jet::Status Delete();

  // Orders the rows on a field (client-side, stable, Nulls first ascending).
  void Sort(int field, bool ascending = true);
  int sortField() const { return sortField_; }
  bool sortAscending() const { return sortAscending_; }
  // Whether the rows still stand in the order of the last Sort: a value written to the sort
  // field, or a row added, out of place ends it.
  bool inSortOrder() const { return sortField_ >= 0 && inOrder_; }

  size_t memoryBytes() const;

  // One listener, for the view bound to the recordset: a bound grid must follow moves and
  // changes made by any code holding the recordset. Replaces the previous listener.
  void setListener(RecordsetListener listener) { listener_ = std::move(listener); }
  // Position of the current row, 0-based; -1 before the first, RecordCount() past the last.
  long currentIndex() const { return pos_; }

private:
  void notify(RecordsetChange change, long position) const {
    if (listener_)
      listener_(change, position);
  }
  void moveTo(long position);
  // Whether the row at this position stands in sort order with its neighbours.
  bool inPlace(long position) const;

  jet::Status requireCurrent() const;
  jet::Status requireUpdatable() const;

  std::vector<Field> fields_;
  LockType lock_;
  std::shared_ptr<RowWriter> writer_;
  RowBuffer rows_;
  std::vector<RowId> ids_;      // by slot
  std::vector<uint32_t> order_; // display position -> slot
  long pos_ = 0;
  bool open_ = true;
  bool adding_ = false;
  std::vector<jet::Value> pending_;
  int sortField_ = -1;
  bool sortAscending_ = true;
  bool inOrder_ = false;
  RecordsetListener listener_;
};

// Orders two values as Jet orders a column: Null first, numbers by value, text ignoring case.
int compareForSort(const jet::Value &a, const jet::Value &b);

} // namespace data

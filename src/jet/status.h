#pragma once
// Errors as values: every engine operation that can fail returns a Status or a Result<T>.
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace jet {

// Error codes shared by the engine and the layers above it. The numbers are the ones the
// program shows next to the Italian description.
enum class ErrorCode : int {
  Ok = 0,
  NotADatabase = 3343,         // not an Access 2000-2003 file, or damaged beyond reading
  Corrupt = 3049,              // a page, offset or length out of place
  IoError = 3051,              // the operating system refused a read or a write
  Locked = 3045,               // another process holds the file for writing
  InUse = 3260,                // a Jet client (the suite) has the database open
  ReadOnly = 3027,             // a write on a database or recordset opened read-only
  NoSuchTable = 3078,          // table not found
  NoSuchColumn = 3265,         // field not found
  TableExists = 3010,          // a table of that name already exists
  InvalidName = 3125,          // a name the Jet engine refuses
  DuplicateKey = 3022,         // a unique index or primary key would hold a key twice
  RequiredNull = 3314,         // a required column left Null
  TextTooLong = 3163,          // a text longer than its column
  OutOfRange = 3349,           // a number outside its column's range
  TypeMismatch = 3464,         // a value that does not convert to the column's type
  KeyNotEncodable = 3367,      // a text key the sort-order encoder cannot encode
  RelationshipParent = 3201,   // a row needs its parent row
  RelationshipChildren = 3200, // a row still referenced by other rows
  SystemTable = 3112,          // an operation not allowed on a system table
  Syntax = 3075,               // SQL syntax error
  NoTransaction = 3034,        // commit or rollback without a transaction
  Unsupported = 3251,          // an operation the engine does not provide
  NoCurrentRecord = 3021,      // BOF or EOF: no current row
  Closed = 3704,               // operation on a closed object
  Internal = 3000,
  FieldNotUpdatable = 3113,    // a field that a statement may not change (an autonumber)
  UndefinedFunction = 3085,    // a function name the SQL dialect does not know
  ValueCountMismatch = 3346,   // an INSERT with more or fewer values than destination fields
  DuplicateDestination = 3067, // the same field named twice as a destination
  Overflow = 6,                // an arithmetic result outside every numeric type
  DivisionByZero = 11,
  InvalidArgument = 5,        // a function argument outside what the function accepts
  DuplicateField = 3191,      // a table definition naming the same field twice
  TooComplex = 3360,          // an expression nested deeper than the SQL layer evaluates
  TableInRelationship = 3303, // a table that a relationship with enforced integrity keeps
  StaleJournal = 3197,        // a journal left for a state of the file that has since changed
};

class Status {
public:
  Status() = default;
  Status(ErrorCode code, std::string message) : code_(code), message_(std::move(message)) {}

  static Status ok() { return {}; }

  bool isOk() const { return code_ == ErrorCode::Ok; }
  explicit operator bool() const { return isOk(); }
  ErrorCode code() const { return code_; }
  int number() const { return static_cast<int>(code_); }
  // Italian description, ready to show to the operator.
  const std::string &message() const { return message_; }

private:
  ErrorCode code_ = ErrorCode::Ok;
  std::string message_;
};

// A value or the Status that explains why there is none.
template <typename T> class Result {
public:
  Result(T value) : v_(std::move(value)) {}
  Result(Status error) : v_(std::move(error)) {}

  bool isOk() const { return v_.index() == 0; }
  explicit operator bool() const { return isOk(); }
  T &value() & { return std::get<0>(v_); }
  const T &value() const & { return std::get<0>(v_); }
  T &&value() && { return std::get<0>(std::move(v_)); }
  T *operator->() { return &std::get<0>(v_); }
  const T *operator->() const { return &std::get<0>(v_); }
  T &operator*() { return std::get<0>(v_); }
  const T &operator*() const { return std::get<0>(v_); }
  Status status() const { return isOk() ? Status::ok() : std::get<1>(v_); }

private:
  std::variant<T, Status> v_;
};

#define JET_TRY(expr)                                                                              \
  do {                                                                                             \
    ::jet::Status _st = (expr);                                                                    \
    if (!_st.isOk())                                                                               \
      return _st;                                                                                  \
  } while (0)

} // namespace jet

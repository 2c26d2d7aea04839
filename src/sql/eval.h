#pragma once
// Expressions compiled once per statement: names are bound to column indexes, constant parts
// are computed in advance, and evaluation on each row only walks the compiled tree.
#include "jet/status.h"
#include "jet/value.h"
#include "sql/ast.h"
#include "sql/storage.h"

#include <memory>
#include <string>
#include <vector>

namespace sql {

// The table an expression reads from: its name, optional alias and columns.
struct Scope {
  std::string table;
  std::string alias;
  const std::vector<ColumnDef> *columns = nullptr;
  bool constantsOnly = false; // VALUES (...): no field may be named
};

struct EvalContext {
  const Row *row = nullptr;
  jet::DateTime now; // Date() and Now() of the statement
};

// Raised by the compiled tree while a row is evaluated; the executor catches it around its row
// loop, so it never leaves the SQL layer.
struct EvalError {
  jet::Status status;
};

struct Node;

class CompiledExpr {
public:
  CompiledExpr();
  CompiledExpr(CompiledExpr &&) noexcept;
  CompiledExpr &operator=(CompiledExpr &&) noexcept;
  ~CompiledExpr();

  // The value on one row; Null where the expression is Null.
  jet::Result<jet::Value> evaluate(const Row &row, jet::DateTime now = {}) const;
  // A condition on one row: true only where it is true (false and Null both fail).
  jet::Result<bool> test(const Row &row, jet::DateTime now = {}) const;

  // Fast forms for row loops; they throw EvalError.
  const jet::Value &eval(const EvalContext &ctx, jet::Value &scratch) const;
  bool holds(const EvalContext &ctx) const;

  // The type of the result as far as it is known before any row is read.
  const ColumnDef &resultType() const;
  bool resultTypeKnown() const;
  // Index of the column when the expression is a bare column, else -1.
  int columnIndex() const;

private:
  friend jet::Result<CompiledExpr> compileExpr(const Expr &, const Scope &, jet::DateTime);
  std::unique_ptr<Node> root_;
};

jet::Result<CompiledExpr> compileExpr(const Expr &e, const Scope &scope, jet::DateTime now);

// Ordering of two values as ORDER BY sorts them: Null first, numbers by value, text without
// regard to case. Values of different kinds that do not compare order by kind.
int orderValues(const jet::Value &a, const jet::Value &b);

} // namespace sql

#pragma once
// Parsed statements. Names keep the spelling of the statement; binding to columns happens when a
// statement is executed.
#include "jet/value.h"
#include "sql/storage.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace sql {

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
  enum class Kind {
    Literal,  // value
    Column,   // qualifier (may be empty), name
    Unary,    // op: "NOT", "-", "+"; args[0]
    Binary,   // op: "AND" "OR" "XOR" "=" "<>" "<" ">" "<=" ">=" "+" "-" "*" "/" "\" "MOD" "^" "&"
    Function, // name, args
    IsNull,   // args[0]; negated for IS NOT NULL
    Like,     // args[0] LIKE args[1]
    In,       // args[0] IN (args[1..])
    Between,  // args[0] BETWEEN args[1] AND args[2]
  };
  Kind kind = Kind::Literal;
  size_t pos = 0;
  jet::Value value;
  std::string qualifier, name, op;
  bool negated = false;
  int depth = 1; // levels of the tree below and including this node
  std::vector<ExprPtr> args;
};

struct SelectItem {
  bool star = false; // "*" (or "t.*")
  ExprPtr expr;
  std::string alias;
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
};

struct SelectStmt {
  bool distinct = false;     // DISTINCT (DISTINCTROW reads as DISTINCT on one table)
  std::optional<double> top; // TOP n: the first n rows, ties at the end included
  bool topPercent = false;   // TOP n PERCENT
  std::vector<SelectItem> items;
  std::string into; // SELECT ... INTO this table
  size_t intoPos = 0;
  std::string table, alias;
  size_t tablePos = 0;
  ExprPtr where;
  std::vector<OrderItem> orderBy;
};

struct NamedPos {
  std::string name;
  size_t pos = 0;
};

struct InsertStmt {
  std::string table;
  size_t tablePos = 0;
  std::vector<NamedPos> columns; // empty: every column in order
  std::vector<ExprPtr> values;   // VALUES (...)
  std::unique_ptr<SelectStmt> select;
};

struct Assignment {
  NamedPos column;
  ExprPtr value;
};

struct UpdateStmt {
  std::string table;
  size_t tablePos = 0;
  std::vector<Assignment> sets;
  ExprPtr where;
};

struct DeleteStmt {
  std::string table;
  size_t tablePos = 0;
  ExprPtr where;
};

struct DropTableStmt {
  std::string table;
  size_t tablePos = 0;
};

struct CreateTableStmt {
  TableDef def;
};

struct CreateIndexStmt {
  std::string table;
  size_t tablePos = 0;
  IndexDef def;
};

using Statement = std::variant<SelectStmt, InsertStmt, UpdateStmt, DeleteStmt, DropTableStmt,
                               CreateTableStmt, CreateIndexStmt>;

} // namespace sql

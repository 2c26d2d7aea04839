#include "sql/executor.h"

#include "sql/convert.h"
#include "sql/eval.h"
#include "sql/parser.h"
#include "sql/text.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <numeric>
#include <set>

namespace sql {

using jet::ErrorCode;
using jet::Result;
using jet::Status;
using jet::Value;

jet::DateTime localNow() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return jet::toDateTime(
      {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec});
}

bool writes(const Statement &st) {
  const auto *s = std::get_if<SelectStmt>(&st);
  return !s || !s->into.empty();
}

std::optional<Status> checkName(std::string_view name) {
  bool bad = name.empty() || textLength(name) > 64 || name.front() == ' ';
  for (unsigned char c : name)
    bad = bad || c < 0x20 || c == '.' || c == '!' || c == '`' || c == '[' || c == ']';
  if (!bad)
    return std::nullopt;
  return Status(ErrorCode::InvalidName,
                "'" + std::string(name) +
                    "' non è un nome valido. Verificare che non contenga caratteri o "
                    "punteggiatura non validi e che non sia troppo lungo.");
}

namespace {

Status checkDefinition(const TableDef &def) {
  if (auto st = checkName(def.name))
    return *st;
  for (const auto &c : def.columns)
    if (auto st = checkName(c.name))
      return *st;
  for (const auto &i : def.indexes)
    if (auto st = checkName(i.name))
      return *st;
  return Status::ok();
}

std::string at(size_t pos) {
  return pos ? " (posizione " + std::to_string(pos) + ")" : "";
}

Result<Table *> findTable(Database &db, const std::string &name, size_t pos) {
  auto t = db.table(name);
  if (!t && t.status().code() == ErrorCode::NoSuchTable)
    return Status(ErrorCode::NoSuchTable,
                  "Impossibile trovare la tabella o la query di input '" + name +
                      "'. Verificare che esista e che il nome sia stato digitato correttamente" +
                      at(pos) + ".");
  return t;
}

// The Jet engine keeps its system tables to itself.
Status refuseSystemTable(const Table &t) {
  if (!t.isSystem())
    return Status::ok();
  return {ErrorCode::SystemTable, "Impossibile modificare i dati della tabella di sistema '" +
                                      t.name() + "': la gestisce solo il motore di database."};
}

bool tableExists(Database &db, const std::string &name) {
  return db.table(name).isOk();
}

int findColumn(const std::vector<ColumnDef> &cols, std::string_view name) {
  for (size_t i = 0; i < cols.size(); ++i)
    if (textEquals(cols[i].name, name))
      return static_cast<int>(i);
  return -1;
}

Status noSuchColumn(const std::string &name, const Table &t, size_t pos) {
  return {ErrorCode::NoSuchColumn,
          "Il campo '" + name + "' non esiste nella tabella '" + t.name() + "'" + at(pos) + "."};
}

// Runs body as one atomic step: in its own transaction, or under a savepoint of the open one.
template <typename F> Result<int64_t> atomically(Database &db, F &&body) {
  bool own = !db.inTransaction();
  int sp = 0;
  if (own) {
    JET_TRY(db.begin());
  } else {
    auto r = db.savepoint();
    if (!r)
      return r.status();
    sp = r.value();
  }
  Result<int64_t> res = body();
  if (!res) {
    if (own) {
      (void)db.rollback();
      return res;
    }
    return db.undoStatement(sp, res.status());
  }
  Status st = own ? db.commit() : db.release(sp);
  if (!st) {
    if (!own)
      return db.undoStatement(sp, st);
    if (db.inTransaction())
      (void)db.rollback();
    return st;
  }
  return res;
}

struct Compiled {
  Table *table = nullptr;
  Scope scope;
};

Result<Compiled> bindTable(Database &db, const std::string &name, const std::string &alias,
                           size_t pos) {
  auto t = findTable(db, name, pos);
  if (!t)
    return t.status();
  Compiled c;
  c.table = t.value();
  c.scope.table = c.table->name();
  c.scope.alias = alias;
  c.scope.columns = &c.table->columns();
  return c;
}

// Reads every row of a table that meets the condition (all rows without one).
template <typename F>
Status scanWhere(Table &table, const CompiledExpr *where, jet::DateTime now, F &&onRow) {
  auto cursor = table.scan();
  RowId id = 0;
  Row row;
  EvalContext ctx{&row, now};
  try {
    for (;;) {
      auto more = cursor->next(id, row);
      if (!more)
        return more.status();
      if (!more.value())
        return Status::ok();
      if (where && !where->holds(ctx))
        continue;
      JET_TRY(onRow(id, row));
    }
  } catch (EvalError &e) {
    return e.status;
  }
}

Result<ResultSet> runSelect(Database &db, const SelectStmt &s, jet::DateTime now,
                            const RowSink *sink = nullptr) {
  auto bound = bindTable(db, s.table, s.alias, s.tablePos);
  if (!bound)
    return bound.status();
  Table &table = *bound->table;
  const auto &cols = table.columns();

  ResultSet rs;
  rs.table = table.name();
  std::vector<CompiledExpr> exprs; // one per output column; empty for plain column copies
  std::vector<bool> computed;
  int exprNumber = 1000;
  for (const auto &item : s.items) {
    if (item.star) {
      for (size_t i = 0; i < cols.size(); ++i) {
        rs.columns.push_back(cols[i]);
        rs.sourceColumns.push_back(static_cast<int>(i));
        exprs.emplace_back();
        computed.push_back(false);
      }
      continue;
    }
    auto c = compileExpr(*item.expr, bound->scope, now);
    if (!c)
      return c.status();
    // A bare column keeps its table's definition (SELECT INTO drops the counter and the
    // required flag itself); a computed one has neither.
    ColumnDef def = c->resultType();
    int src = c->columnIndex();
    if (src >= 0) {
      def = cols[src];
    } else {
      def.autoNumber = false;
      def.required = false;
    }
    if (!item.alias.empty())
      def.name = item.alias;
    else if (src >= 0)
      def.name = cols[src].name;
    else
      def.name = "Expr" + std::to_string(exprNumber++);
    rs.columns.push_back(def);
    rs.sourceColumns.push_back(src);
    computed.push_back(src < 0);
    exprs.push_back(std::move(c.value()));
  }

  std::optional<CompiledExpr> where;
  if (s.where) {
    auto w = compileExpr(*s.where, bound->scope, now);
    if (!w)
      return w.status();
    where = std::move(w.value());
  }
  std::vector<CompiledExpr> orderKeys;
  for (const auto &o : s.orderBy) {
    auto k = compileExpr(*o.expr, bound->scope, now);
    if (!k)
      return k.status();
    orderKeys.push_back(std::move(k.value()));
  }

  // Plain columns in scan order go straight to the sink: no copy of the rows is kept.
  bool streaming = sink && orderKeys.empty() && !s.distinct && !s.top &&
                   std::find(computed.begin(), computed.end(), true) == computed.end();
  std::vector<Row> keys;
  Status st;
  try {
    st = scanWhere(table, where ? &*where : nullptr, now, [&](RowId id, const Row &row) {
      EvalContext ctx{&row, now};
      Row out;
      out.reserve(rs.columns.size());
      for (size_t i = 0; i < rs.columns.size(); ++i) {
        if (!computed[i]) {
          out.push_back(row[rs.sourceColumns[i]]);
        } else {
          Value tmp;
          out.push_back(exprs[i].eval(ctx, tmp));
        }
      }
      if (!orderKeys.empty()) {
        Row k;
        for (const auto &key : orderKeys) {
          Value tmp;
          k.push_back(key.eval(ctx, tmp));
        }
        keys.push_back(std::move(k));
      }
      if (streaming)
        return (*sink)(id, std::move(out));
      rs.rows.push_back(std::move(out));
      rs.rowIds.push_back(id);
      return Status::ok();
    });
  } catch (EvalError &e) {
    st = e.status;
  }
  if (!st)
    return st;

  if (!orderKeys.empty()) {
    std::vector<size_t> order(rs.rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      for (size_t k = 0; k < orderKeys.size(); ++k) {
        int c = orderValues(keys[a][k], keys[b][k]);
        if (c != 0)
          return s.orderBy[k].descending ? c > 0 : c < 0;
      }
      return false;
    });
    std::vector<Row> rows;
    std::vector<RowId> ids;
    rows.reserve(order.size());
    ids.reserve(order.size());
    for (size_t i : order) {
      rows.push_back(std::move(rs.rows[i]));
      ids.push_back(rs.rowIds[i]);
    }
    rs.rows = std::move(rows);
    rs.rowIds = std::move(ids);
    std::vector<Row> sortedKeys;
    sortedKeys.reserve(order.size());
    for (size_t i : order)
      sortedKeys.push_back(std::move(keys[i]));
    keys = std::move(sortedKeys);
  }

  if (s.distinct) {
    // Keeps the first of each group of equal rows, in order.
    auto less = [](const Row *a, const Row *b) {
      for (size_t i = 0; i < a->size(); ++i) {
        int c = orderValues((*a)[i], (*b)[i]);
        if (c != 0)
          return c < 0;
      }
      return false;
    };
    std::set<const Row *, decltype(less)> seen(less);
    std::vector<size_t> keep;
    for (size_t i = 0; i < rs.rows.size(); ++i)
      if (seen.insert(&rs.rows[i]).second)
        keep.push_back(i);
    if (keep.size() != rs.rows.size()) {
      std::vector<Row> rows, k2;
      std::vector<RowId> ids;
      for (size_t i : keep) {
        rows.push_back(std::move(rs.rows[i]));
        ids.push_back(rs.rowIds[i]);
        if (!keys.empty())
          k2.push_back(std::move(keys[i]));
      }
      rs.rows = std::move(rows);
      rs.rowIds = std::move(ids);
      keys = std::move(k2);
    }
  }

  if (s.top) {
    size_t n =
        s.topPercent
            ? static_cast<size_t>(std::ceil(*s.top * static_cast<double>(rs.rows.size()) / 100.0))
            : static_cast<size_t>(*s.top);
    // Rows tied with the last one kept on every ORDER BY key come too, as in the Jet engine.
    if (n > 0 && n < rs.rows.size() && !orderKeys.empty()) {
      auto tied = [&](size_t a, size_t b) {
        for (size_t k = 0; k < orderKeys.size(); ++k)
          if (orderValues(keys[a][k], keys[b][k]) != 0)
            return false;
        return true;
      };
      while (n < rs.rows.size() && tied(n - 1, n))
        ++n;
    }
    if (n < rs.rows.size()) {
      rs.rows.resize(n);
      rs.rowIds.resize(n);
    }
  }

  // A computed column whose type the expression does not fix takes the type of its first value;
  // a computed text longer than a Text column holds makes it a Memo.
  for (size_t i = 0; i < rs.columns.size(); ++i) {
    if (!computed[i])
      continue;
    ColumnDef &def = rs.columns[i];
    if (!exprs[i].resultTypeKnown()) {
      def.type = jet::ColumnType::Text;
      def.size = 255;
      for (const auto &row : rs.rows) {
        if (!row[i].isNull()) {
          def.type = typeOf(row[i]);
          def.size = def.type == jet::ColumnType::Text ? 255 : 0;
          break;
        }
      }
    }
    if (def.type != jet::ColumnType::Text)
      continue;
    for (const auto &row : rs.rows) {
      if (row[i].is<std::string>() && textLength(row[i].as<std::string>()) > 255) {
        def.type = jet::ColumnType::Memo;
        def.size = 0;
        break;
      }
    }
  }
  return rs;
}

Status convertRow(const Row &values, const std::vector<int> &targets,
                  const std::vector<ColumnDef> &cols, Row &out, std::vector<bool> &supplied) {
  out.assign(cols.size(), Value());
  supplied.assign(cols.size(), false);
  for (size_t i = 0; i < targets.size(); ++i) {
    auto v = convertForColumn(values[i], cols[targets[i]]);
    if (!v)
      return v.status();
    out[targets[i]] = std::move(v.value());
    supplied[targets[i]] = true;
  }
  return Status::ok();
}

Result<ExecResult> affected(Result<int64_t> n) {
  if (!n)
    return n.status();
  ExecResult r;
  r.rowsAffected = n.value();
  return r;
}

Result<ExecResult> runSelectStatement(Database &db, const SelectStmt &s, jet::DateTime now) {
  if (s.into.empty()) {
    auto rs = runSelect(db, s, now);
    if (!rs)
      return rs.status();
    ExecResult r;
    r.hasRows = true;
    r.rows = std::move(rs.value());
    return r;
  }
  return affected(atomically(db, [&]() -> Result<int64_t> {
    if (auto existing = db.table(s.into))
      JET_TRY(refuseSystemTable(**existing));
    if (tableExists(db, s.into))
      return Status(ErrorCode::TableExists,
                    "La tabella '" + s.into + "' esiste già" + at(s.intoPos) + ".");
    // A plain copy of a table, filtered or not, goes through the storage's own copy.
    if (s.items.size() == 1 && s.items[0].star && s.orderBy.empty() && !s.distinct && !s.top) {
      if (auto bad = checkName(s.into))
        return *bad;
      auto bound = bindTable(db, s.table, s.alias, s.tablePos);
      if (!bound)
        return bound.status();
      std::optional<CompiledExpr> where;
      if (s.where) {
        auto w = compileExpr(*s.where, bound->scope, now);
        if (!w)
          return w.status();
        where = std::move(w.value());
      }
      Database::RowFilter keep;
      if (where)
        keep = [&](const Row &row) -> Result<bool> {
          try {
            EvalContext ctx{&row, now};
            return where->holds(ctx);
          } catch (EvalError &e) {
            return e.status;
          }
        };
      auto copied = db.copyTable(bound->table->name(), s.into, keep);
      if (copied || copied.status().code() != ErrorCode::Unsupported)
        return copied;
    }
    auto rs = runSelect(db, s, now);
    if (!rs)
      return rs.status();
    TableDef def;
    def.name = s.into;
    for (const auto &c : rs->columns) {
      if (findColumn(def.columns, c.name) >= 0)
        return Status(ErrorCode::DuplicateDestination,
                      "Destinazione di output '" + c.name + "' duplicata.");
      ColumnDef col = c;
      col.autoNumber = false;
      col.required = false;
      def.columns.push_back(col);
    }
    JET_TRY(checkDefinition(def));
    JET_TRY(db.createTable(def));
    auto target = findTable(db, s.into, s.intoPos);
    if (!target)
      return target.status();
    const auto &cols = target.value()->columns();
    std::vector<int> targets(cols.size());
    std::iota(targets.begin(), targets.end(), 0);
    Row row;
    std::vector<bool> supplied;
    for (const auto &values : rs->rows) {
      JET_TRY(convertRow(values, targets, cols, row, supplied));
      auto ins = target.value()->insert(row, supplied);
      if (!ins)
        return ins.status();
    }
    return static_cast<int64_t>(rs->rows.size());
  }));
}

Result<std::vector<int>> insertTargets(const InsertStmt &s, const Table &t, size_t valueCount) {
  const auto &cols = t.columns();
  std::vector<int> targets;
  if (s.columns.empty()) {
    targets.resize(cols.size());
    std::iota(targets.begin(), targets.end(), 0);
  } else {
    for (const auto &c : s.columns) {
      int i = findColumn(cols, c.name);
      if (i < 0)
        return Status(ErrorCode::NoSuchColumn,
                      "L'istruzione INSERT INTO contiene il seguente nome di campo sconosciuto: '" +
                          c.name + "'. Verificare che il nome sia stato digitato correttamente" +
                          at(c.pos) + ".");
      if (std::find(targets.begin(), targets.end(), i) != targets.end())
        return Status(ErrorCode::DuplicateDestination,
                      "Destinazione di output '" + c.name + "' duplicata" + at(c.pos) + ".");
      targets.push_back(i);
    }
  }
  if (targets.size() != valueCount)
    return Status(ErrorCode::ValueCountMismatch,
                  "Il numero di valori della query e quello dei campi di destinazione non "
                  "corrispondono (valori: " +
                      std::to_string(valueCount) + ", campi: " + std::to_string(targets.size()) +
                      ").");
  return targets;
}

Result<ExecResult> runInsert(Database &db, const InsertStmt &s, jet::DateTime now) {
  return affected(atomically(db, [&]() -> Result<int64_t> {
    auto t = findTable(db, s.table, s.tablePos);
    if (!t)
      return t.status();
    Table &table = *t.value();
    JET_TRY(refuseSystemTable(table));
    const auto &cols = table.columns();
    Row row;
    std::vector<bool> supplied;
    if (!s.select) {
      auto targets = insertTargets(s, table, s.values.size());
      if (!targets)
        return targets.status();
      std::vector<ColumnDef> none;
      Scope scope{table.name(), "", &none, true};
      Row values;
      for (const auto &e : s.values) {
        auto c = compileExpr(*e, scope, now);
        if (!c)
          return c.status();
        auto v = c->evaluate(Row{}, now);
        if (!v)
          return v.status();
        values.push_back(std::move(v.value()));
      }
      JET_TRY(convertRow(values, targets.value(), cols, row, supplied));
      auto ins = table.insert(row, supplied);
      if (!ins)
        return ins.status();
      return int64_t{1};
    }
    auto rs = runSelect(db, *s.select, now);
    if (!rs)
      return rs.status();
    auto targets = insertTargets(s, table, rs->columns.size());
    if (!targets)
      return targets.status();
    for (const auto &values : rs->rows) {
      JET_TRY(convertRow(values, targets.value(), cols, row, supplied));
      auto ins = table.insert(row, supplied);
      if (!ins)
        return ins.status();
    }
    return static_cast<int64_t>(rs->rows.size());
  }));
}

Result<ExecResult> runUpdate(Database &db, const UpdateStmt &s, jet::DateTime now) {
  auto bound = bindTable(db, s.table, "", s.tablePos);
  if (!bound)
    return bound.status();
  Table &table = *bound->table;
  JET_TRY(refuseSystemTable(table));
  const auto &cols = table.columns();
  std::vector<int> targets;
  std::vector<CompiledExpr> values;
  for (const auto &a : s.sets) {
    int i = findColumn(cols, a.column.name);
    if (i < 0)
      return noSuchColumn(a.column.name, table, a.column.pos);
    if (cols[i].autoNumber)
      return Status(ErrorCode::FieldNotUpdatable, "Impossibile aggiornare '" + cols[i].name +
                                                      "': il campo contatore non è aggiornabile" +
                                                      at(a.column.pos) + ".");
    if (std::find(targets.begin(), targets.end(), i) != targets.end())
      return Status(ErrorCode::DuplicateDestination, "Destinazione di output '" + cols[i].name +
                                                         "' duplicata" + at(a.column.pos) + ".");
    auto c = compileExpr(*a.value, bound->scope, now);
    if (!c)
      return c.status();
    targets.push_back(i);
    values.push_back(std::move(c.value()));
  }
  std::optional<CompiledExpr> where;
  if (s.where) {
    auto w = compileExpr(*s.where, bound->scope, now);
    if (!w)
      return w.status();
    where = std::move(w.value());
  }
  return affected(atomically(db, [&]() -> Result<int64_t> {
    std::vector<std::pair<RowId, Row>> changes;
    int64_t matched = 0;
    Status st = scanWhere(table, where ? &*where : nullptr, now, [&](RowId id, const Row &row) {
      ++matched;
      EvalContext ctx{&row, now};
      Row next = row;
      for (size_t k = 0; k < targets.size(); ++k) {
        Value tmp;
        const Value &v = values[k].eval(ctx, tmp);
        auto conv = convertForColumn(v, cols[targets[k]]);
        if (!conv)
          return conv.status();
        next[targets[k]] = std::move(conv.value());
      }
      if (next != row)
        changes.emplace_back(id, std::move(next));
      return Status::ok();
    });
    if (!st)
      return st;
    for (const auto &[id, row] : changes)
      JET_TRY(table.update(id, row));
    return matched;
  }));
}

Result<ExecResult> runDelete(Database &db, const DeleteStmt &s, jet::DateTime now) {
  auto bound = bindTable(db, s.table, "", s.tablePos);
  if (!bound)
    return bound.status();
  Table &table = *bound->table;
  JET_TRY(refuseSystemTable(table));
  std::optional<CompiledExpr> where;
  if (s.where) {
    auto w = compileExpr(*s.where, bound->scope, now);
    if (!w)
      return w.status();
    where = std::move(w.value());
  }
  return affected(atomically(db, [&]() -> Result<int64_t> {
    std::vector<RowId> ids;
    Status st = scanWhere(table, where ? &*where : nullptr, now, [&](RowId id, const Row &) {
      ids.push_back(id);
      return Status::ok();
    });
    if (!st)
      return st;
    for (RowId id : ids)
      JET_TRY(table.remove(id));
    return static_cast<int64_t>(ids.size());
  }));
}

Result<ExecResult> runDrop(Database &db, const DropTableStmt &s) {
  return affected(atomically(db, [&]() -> Result<int64_t> {
    auto t = db.table(s.table);
    if (!t)
      return Status(ErrorCode::NoSuchTable,
                    "La tabella '" + s.table + "' non esiste" + at(s.tablePos) + ".");
    std::string name = t.value()->name();
    JET_TRY(db.dropTable(name));
    return int64_t{0};
  }));
}

Status checkIndexColumns(const IndexDef &idx, const std::vector<ColumnDef> &cols,
                         const std::string &table) {
  for (const auto &c : idx.columns)
    if (findColumn(cols, c.column) < 0)
      return {ErrorCode::NoSuchColumn, "Il campo '" + c.column + "' dell'indice '" + idx.name +
                                           "' non esiste nella tabella '" + table + "'."};
  return Status::ok();
}

Result<ExecResult> runCreateTable(Database &db, const CreateTableStmt &s) {
  const TableDef &def = s.def;
  JET_TRY(checkDefinition(def));
  for (size_t i = 0; i < def.columns.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (textEquals(def.columns[i].name, def.columns[j].name))
        return Status(ErrorCode::DuplicateField, "Impossibile definire il campo '" +
                                                     def.columns[i].name + "' più di una volta.");
  for (const auto &idx : def.indexes)
    JET_TRY(checkIndexColumns(idx, def.columns, def.name));
  int primaries = 0;
  for (const auto &idx : def.indexes)
    primaries += idx.primary;
  if (primaries > 1)
    return Status(ErrorCode::Syntax,
                  "La tabella '" + def.name + "' ha più di una chiave primaria.");
  return affected(atomically(db, [&]() -> Result<int64_t> {
    if (tableExists(db, def.name))
      return Status(ErrorCode::TableExists, "La tabella '" + def.name + "' esiste già.");
    JET_TRY(db.createTable(def));
    return int64_t{0};
  }));
}

Result<ExecResult> runCreateIndex(Database &db, const CreateIndexStmt &s) {
  return affected(atomically(db, [&]() -> Result<int64_t> {
    auto t = findTable(db, s.table, s.tablePos);
    if (!t)
      return t.status();
    if (auto bad = checkName(s.def.name))
      return *bad;
    JET_TRY(checkIndexColumns(s.def, t.value()->columns(), t.value()->name()));
    JET_TRY(db.createIndex(t.value()->name(), s.def));
    return int64_t{0};
  }));
}

} // namespace

Result<ExecResult> execute(Database &db, const Statement &st, const ExecOptions &opts) {
  jet::DateTime now = opts.clock ? opts.clock() : localNow();
  return std::visit(
      [&](const auto &s) -> Result<ExecResult> {
        using T = std::decay_t<decltype(s)>;
        if constexpr (std::is_same_v<T, SelectStmt>)
          return runSelectStatement(db, s, now);
        else if constexpr (std::is_same_v<T, InsertStmt>)
          return runInsert(db, s, now);
        else if constexpr (std::is_same_v<T, UpdateStmt>)
          return runUpdate(db, s, now);
        else if constexpr (std::is_same_v<T, DeleteStmt>)
          return runDelete(db, s, now);
        else if constexpr (std::is_same_v<T, DropTableStmt>)
          return runDrop(db, s);
        else if constexpr (std::is_same_v<T, CreateTableStmt>)
          return runCreateTable(db, s);
        else
          return runCreateIndex(db, s);
      },
      st);
}

Result<ResultSet> query(Database &db, const Statement &st, const RowSink &sink,
                        const ExecOptions &opts) {
  const auto *select = std::get_if<SelectStmt>(&st);
  if (!select || !select->into.empty())
    return Status(ErrorCode::Syntax, "L'istruzione non restituisce righe.");
  auto rs = runSelect(db, *select, opts.clock ? opts.clock() : localNow(), &sink);
  if (!rs)
    return rs.status();
  // Rows the select had to collect (ordered, distinct, computed) are handed over now.
  for (size_t i = 0; i < rs->rows.size(); ++i)
    JET_TRY(sink(rs->rowIds[i], std::move(rs->rows[i])));
  rs->rows.clear();
  rs->rowIds.clear();
  return rs;
}

Result<ExecResult> execute(Database &db, std::string_view sql, const ExecOptions &opts) {
  auto st = parseStatement(sql);
  if (!st)
    return st.status();
  return execute(db, st.value(), opts);
}

} // namespace sql

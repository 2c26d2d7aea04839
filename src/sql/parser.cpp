#include "sql/parser.h"

#include "sql/convert.h"
#include "sql/lexer.h"
#include "sql/text.h"

#include <charconv>
#include <cmath>

namespace sql {

namespace {

struct ParseError {
  jet::Status status;
};

// Words that end an expression or start a clause, so they never stand for a field name.
const char *const kReserved[] = {"SELECT", "FROM",   "WHERE",  "ORDER",  "BY",  "AND",     "OR",
                                 "NOT",    "XOR",    "IS",     "LIKE",   "IN",  "BETWEEN", "MOD",
                                 "INTO",   "SET",    "VALUES", "AS",     "ASC", "DESC",    "UPDATE",
                                 "DELETE", "INSERT", "DROP",   "CREATE", "ON"};

class Parser {
public:
  explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

  Statement statement() {
    Statement st = parseOne();
    if (isSymbol(";"))
      ++i_;
    if (peek().kind != TokenKind::End) {
      // After a complete expression another value most often means a missing operator, as in
      // a text whose apostrophe was not doubled.
      const Token &t = peek();
      bool value = t.kind == TokenKind::Name || t.kind == TokenKind::QuotedName ||
                   t.kind == TokenKind::Number || t.kind == TokenKind::String ||
                   t.kind == TokenKind::Date;
      fail(value ? "operatore mancante prima di " + describe(t)
                 : "caratteri dopo la fine dell'istruzione: " + describe(t));
    }
    return st;
  }

private:
  std::vector<Token> t_;
  size_t i_ = 0;
  std::string where_ = "nell'istruzione";

  const Token &peek(size_t ahead = 0) const { return t_[std::min(i_ + ahead, t_.size() - 1)]; }
  const Token &take() {
    const Token &t = peek();
    if (i_ < t_.size() - 1)
      ++i_;
    return t;
  }

  [[noreturn]] void fail(const std::string &detail) { fail(detail, peek().pos); }
  [[noreturn]] void fail(const std::string &detail, size_t pos) {
    throw ParseError{syntaxError(where_, detail, pos)};
  }

  static std::string describe(const Token &t) {
    switch (t.kind) {
    case TokenKind::End:
    case TokenKind::Error:
      return "la fine dell'istruzione";
    case TokenKind::QuotedName:
      return "'[" + t.text + "]'";
    case TokenKind::String:
      return "il testo '" + t.text + "'";
    case TokenKind::Date:
      return "'#" + t.text + "#'";
    default:
      return "'" + t.text + "'";
    }
  }

  bool isKeyword(const char *kw, size_t ahead = 0) const {
    const Token &t = peek(ahead);
    return t.kind == TokenKind::Name && toUpper(t.text) == kw;
  }
  bool acceptKeyword(const char *kw) {
    if (!isKeyword(kw))
      return false;
    ++i_;
    return true;
  }
  void expectKeyword(const char *kw) {
    if (!acceptKeyword(kw))
      fail(std::string("atteso ") + kw + " invece di " + describe(peek()));
  }
  bool isSymbol(const char *s, size_t ahead = 0) const {
    const Token &t = peek(ahead);
    return t.kind == TokenKind::Symbol && t.text == s;
  }
  bool acceptSymbol(const char *s) {
    if (!isSymbol(s))
      return false;
    ++i_;
    return true;
  }
  void expectSymbol(const char *s) {
    if (!acceptSymbol(s))
      fail(std::string("atteso '") + s + "' invece di " + describe(peek()));
  }
  static bool reserved(const Token &t) {
    if (t.kind != TokenKind::Name)
      return false;
    std::string u = toUpper(t.text);
    for (const char *r : kReserved)
      if (u == r)
        return true;
    return false;
  }

  // A table or field name, bare or in brackets.
  NamedPos name(const char *what) {
    const Token &t = peek();
    if (t.kind == TokenKind::QuotedName || (t.kind == TokenKind::Name && !reserved(t))) {
      take();
      return {t.text, t.pos};
    }
    fail(std::string("atteso ") + what + " invece di " + describe(t));
  }

  NamedPos tableName() { return name("il nome di una tabella"); }

  Statement parseOne() {
    if (isKeyword("SELECT"))
      return select();
    if (isKeyword("INSERT"))
      return insert();
    if (isKeyword("UPDATE"))
      return update();
    if (isKeyword("DELETE"))
      return remove();
    if (isKeyword("DROP"))
      return drop();
    if (isKeyword("CREATE"))
      return create();
    fail("istruzione SQL non valida: attesa DELETE, INSERT, SELECT, UPDATE, CREATE o DROP "
         "invece di " +
         describe(peek()));
  }

  SelectStmt select() {
    where_ = "nell'istruzione SELECT";
    expectKeyword("SELECT");
    SelectStmt s;
    if (acceptKeyword("DISTINCT") || acceptKeyword("DISTINCTROW"))
      s.distinct = true;
    else
      acceptKeyword("ALL");
    if (acceptKeyword("TOP")) {
      const Token &t = peek();
      double n = 0;
      if (t.kind != TokenKind::Number ||
          std::from_chars(t.text.data(), t.text.data() + t.text.size(), n).ptr !=
              t.text.data() + t.text.size() ||
          n <= 0)
        fail("atteso un numero positivo dopo TOP invece di " + describe(t));
      take();
      s.top = n;
      s.topPercent = acceptKeyword("PERCENT");
      if (!s.topPercent && n != std::floor(n))
        fail("TOP vuole un numero intero di righe", t.pos);
    }
    do {
      SelectItem item;
      if (acceptSymbol("*")) {
        item.star = true;
      } else if ((peek().kind == TokenKind::Name || peek().kind == TokenKind::QuotedName) &&
                 isSymbol(".", 1) && isSymbol("*", 2)) {
        i_ += 3;
        item.star = true;
      } else {
        item.expr = expr();
        if (acceptKeyword("AS"))
          item.alias = name("un nome di colonna").name;
      }
      s.items.push_back(std::move(item));
    } while (acceptSymbol(","));
    if (acceptKeyword("INTO")) {
      NamedPos n = tableName();
      s.into = n.name;
      s.intoPos = n.pos;
    }
    where_ = "nella clausola FROM";
    expectKeyword("FROM");
    NamedPos t = tableName();
    s.table = t.name;
    s.tablePos = t.pos;
    if (acceptKeyword("AS"))
      s.alias = name("un alias").name;
    else if (peek().kind == TokenKind::QuotedName ||
             (peek().kind == TokenKind::Name && !reserved(peek())))
      s.alias = take().text;
    if (isSymbol(","))
      fail("una sola tabella è ammessa nella clausola FROM");
    if (acceptKeyword("WHERE")) {
      where_ = "nella clausola WHERE";
      s.where = expr();
    }
    if (acceptKeyword("ORDER")) {
      where_ = "nella clausola ORDER BY";
      expectKeyword("BY");
      do {
        OrderItem o;
        o.expr = expr();
        if (acceptKeyword("DESC"))
          o.descending = true;
        else
          acceptKeyword("ASC");
        s.orderBy.push_back(std::move(o));
      } while (acceptSymbol(","));
    }
    return s;
  }

  InsertStmt insert() {
    where_ = "nell'istruzione INSERT INTO";
    expectKeyword("INSERT");
    expectKeyword("INTO");
    InsertStmt s;
    NamedPos t = tableName();
    s.table = t.name;
    s.tablePos = t.pos;
    if (acceptSymbol("(")) {
      do
        s.columns.push_back(qualifiedColumn());
      while (acceptSymbol(","));
      expectSymbol(")");
    }
    if (acceptKeyword("VALUES")) {
      expectSymbol("(");
      do
        s.values.push_back(expr());
      while (acceptSymbol(","));
      expectSymbol(")");
    } else if (isKeyword("SELECT")) {
      s.select = std::make_unique<SelectStmt>(select());
      if (!s.select->into.empty())
        fail("INTO non ammesso nella SELECT di un'istruzione INSERT INTO", s.select->intoPos);
    } else {
      fail("atteso VALUES o SELECT invece di " + describe(peek()));
    }
    return s;
  }

  // A destination field: "name", "[name]" or "table.name" (the table part is dropped).
  NamedPos qualifiedColumn() {
    NamedPos n = name("il nome di un campo");
    if (acceptSymbol(".") || acceptSymbol("!"))
      n = name("il nome di un campo");
    return n;
  }

  UpdateStmt update() {
    where_ = "nell'istruzione UPDATE";
    expectKeyword("UPDATE");
    UpdateStmt s;
    NamedPos t = tableName();
    s.table = t.name;
    s.tablePos = t.pos;
    expectKeyword("SET");
    do {
      Assignment a;
      a.column = qualifiedColumn();
      expectSymbol("=");
      a.value = expr();
      s.sets.push_back(std::move(a));
    } while (acceptSymbol(","));
    if (acceptKeyword("WHERE")) {
      where_ = "nella clausola WHERE";
      s.where = expr();
    }
    return s;
  }

  DeleteStmt remove() {
    where_ = "nell'istruzione DELETE";
    expectKeyword("DELETE");
    DeleteStmt s;
    if (!acceptSymbol("*")) {
      if ((peek().kind == TokenKind::Name || peek().kind == TokenKind::QuotedName) &&
          !isKeyword("FROM") && isSymbol(".", 1) && isSymbol("*", 2))
        i_ += 3;
    }
    expectKeyword("FROM");
    NamedPos t = tableName();
    s.table = t.name;
    s.tablePos = t.pos;
    if (acceptKeyword("WHERE")) {
      where_ = "nella clausola WHERE";
      s.where = expr();
    }
    return s;
  }

  DropTableStmt drop() {
    where_ = "nell'istruzione DROP TABLE";
    expectKeyword("DROP");
    expectKeyword("TABLE");
    DropTableStmt s;
    NamedPos t = tableName();
    s.table = t.name;
    s.tablePos = t.pos;
    return s;
  }

  Statement create() {
    expectKeyword("CREATE");
    if (isKeyword("TABLE"))
      return createTable();
    bool unique = acceptKeyword("UNIQUE");
    if (isKeyword("INDEX"))
      return createIndex(unique);
    where_ = "nell'istruzione CREATE";
    fail("atteso TABLE o INDEX invece di " + describe(peek()));
  }

  int integerArg() {
    const Token &t = peek();
    int v = 0;
    if (t.kind != TokenKind::Number ||
        std::from_chars(t.text.data(), t.text.data() + t.text.size(), v).ptr !=
            t.text.data() + t.text.size())
      fail("atteso un numero intero invece di " + describe(t));
    take();
    return v;
  }

  std::vector<IndexColumn> indexColumns() {
    std::vector<IndexColumn> cols;
    expectSymbol("(");
    do {
      IndexColumn c;
      c.column = name("il nome di un campo").name;
      if (acceptKeyword("DESC"))
        c.descending = true;
      else
        acceptKeyword("ASC");
      cols.push_back(std::move(c));
    } while (acceptSymbol(","));
    expectSymbol(")");
    return cols;
  }

  void columnType(ColumnDef &c) {
    const Token &t = peek();
    if (t.kind != TokenKind::Name)
      fail("atteso il tipo del campo invece di " + describe(t));
    std::string u = toUpper(t.text);
    size_t typePos = t.pos;
    take();
    using CT = jet::ColumnType;
    auto is = [&](std::initializer_list<const char *> names) {
      for (const char *n : names)
        if (u == n)
          return true;
      return false;
    };
    if (is({"TEXT", "VARCHAR", "CHAR", "CHARACTER", "STRING", "ALPHANUMERIC", "NVARCHAR",
            "NCHAR"})) {
      c.type = CT::Text;
      c.size = 255;
      c.fixedLength = u == "CHAR" || u == "CHARACTER" || u == "NCHAR";
      if (acceptSymbol("(")) {
        c.size = integerArg();
        expectSymbol(")");
      }
      if (c.size < 1 || c.size > 255)
        fail("la dimensione di un campo di testo va da 1 a 255", typePos);
    } else if (is({"MEMO", "LONGTEXT", "LONGCHAR", "NOTE", "NTEXT"})) {
      c.type = CT::Memo;
    } else if (is({"LONG", "INT", "INTEGER", "INTEGER4"})) {
      c.type = CT::Long;
    } else if (is({"SHORT", "SMALLINT", "INTEGER2"})) {
      c.type = CT::Integer;
    } else if (is({"BYTE", "TINYINT", "INTEGER1"})) {
      c.type = CT::Byte;
    } else if (is({"SINGLE", "REAL", "FLOAT4", "IEEESINGLE"})) {
      c.type = CT::Single;
    } else if (is({"DOUBLE", "FLOAT", "FLOAT8", "IEEEDOUBLE", "NUMBER"})) {
      c.type = CT::Double;
    } else if (is({"CURRENCY", "MONEY"})) {
      c.type = CT::Currency;
    } else if (is({"DATETIME", "DATE", "TIME", "TIMESTAMP"})) {
      c.type = CT::DateTime;
    } else if (is({"YESNO", "BIT", "LOGICAL", "LOGICAL1", "BOOLEAN"})) {
      c.type = CT::Boolean;
    } else if (is({"COUNTER", "AUTOINCREMENT", "IDENTITY"})) {
      c.type = CT::Long;
      c.autoNumber = true;
      if (acceptSymbol("(")) { // seed and increment: the engine starts at 1 by 1
        integerArg();
        if (acceptSymbol(","))
          integerArg();
        expectSymbol(")");
      }
    } else if (is({"GUID", "UNIQUEIDENTIFIER"})) {
      c.type = CT::Guid;
    } else if (is({"DECIMAL", "NUMERIC", "DEC"})) {
      c.type = CT::Numeric;
      c.precision = 18;
      c.scale = 0;
      if (acceptSymbol("(")) {
        c.precision = static_cast<uint8_t>(integerArg());
        if (acceptSymbol(","))
          c.scale = static_cast<uint8_t>(integerArg());
        expectSymbol(")");
      }
      if (c.precision < 1 || c.precision > 28 || c.scale > c.precision)
        fail("precisione o scala non valida per un campo decimale", typePos);
    } else if (is({"BINARY", "VARBINARY", "BINARY VARYING"})) {
      c.type = CT::Binary;
      c.size = 255;
      if (acceptSymbol("(")) {
        c.size = integerArg();
        expectSymbol(")");
      }
      if (c.size < 1 || c.size > 255)
        fail("la dimensione di un campo binario va da 1 a 255", typePos);
    } else if (is({"LONGBINARY", "OLEOBJECT", "GENERAL", "IMAGE"})) {
      c.type = CT::Ole;
    } else {
      fail("tipo di campo sconosciuto '" + t.text + "'", typePos);
    }
  }

  CreateTableStmt createTable() {
    where_ = "nell'istruzione CREATE TABLE";
    expectKeyword("TABLE");
    CreateTableStmt s;
    s.def.name = tableName().name;
    expectSymbol("(");
    int unnamed = 0;
    auto indexName = [&](const std::string &given) {
      return given.empty() ? "Index_" + std::to_string(++unnamed) : given;
    };
    do {
      if (isKeyword("CONSTRAINT") || isKeyword("PRIMARY") || isKeyword("UNIQUE")) {
        std::string cname;
        if (acceptKeyword("CONSTRAINT"))
          cname = name("il nome del vincolo").name;
        IndexDef idx;
        if (acceptKeyword("PRIMARY")) {
          expectKeyword("KEY");
          idx.primary = idx.unique = true;
          idx.name = cname.empty() ? "PrimaryKey" : cname;
        } else {
          expectKeyword("UNIQUE");
          idx.unique = true;
          idx.name = indexName(cname);
        }
        idx.columns = indexColumns();
        s.def.indexes.push_back(std::move(idx));
        continue;
      }
      ColumnDef c;
      c.name = name("il nome di un campo").name;
      columnType(c);
      for (;;) {
        std::string cname;
        if (acceptKeyword("CONSTRAINT"))
          cname = name("il nome del vincolo").name;
        if (acceptKeyword("NOT")) {
          expectKeyword("NULL");
          c.required = true;
        } else if (acceptKeyword("NULL")) {
        } else if (acceptKeyword("PRIMARY")) {
          expectKeyword("KEY");
          s.def.indexes.push_back(
              {cname.empty() ? "PrimaryKey" : cname, {{c.name, false}}, true, true, false});
        } else if (acceptKeyword("UNIQUE")) {
          s.def.indexes.push_back({indexName(cname), {{c.name, false}}, true, false, false});
        } else {
          if (!cname.empty())
            fail("atteso PRIMARY KEY o UNIQUE invece di " + describe(peek()));
          break;
        }
      }
      s.def.columns.push_back(std::move(c));
    } while (acceptSymbol(","));
    expectSymbol(")");
    if (s.def.columns.empty())
      fail("una tabella deve avere almeno un campo");
    return s;
  }

  CreateIndexStmt createIndex(bool unique) {
    where_ = "nell'istruzione CREATE INDEX";
    expectKeyword("INDEX");
    CreateIndexStmt s;
    s.def.name = name("il nome dell'indice").name;
    s.def.unique = unique;
    expectKeyword("ON");
    NamedPos t = tableName();
    s.table = t.name;
    s.tablePos = t.pos;
    s.def.columns = indexColumns();
    if (acceptKeyword("WITH")) {
      do {
        if (acceptKeyword("PRIMARY")) {
          s.def.primary = s.def.unique = true;
        } else if (acceptKeyword("DISALLOW")) {
          expectKeyword("NULL");
        } else if (acceptKeyword("IGNORE")) {
          expectKeyword("NULL");
          s.def.ignoreNulls = true;
        } else {
          fail("atteso PRIMARY, DISALLOW NULL o IGNORE NULL invece di " + describe(peek()));
        }
      } while (acceptKeyword("AND") || acceptSymbol(","));
    }
    return s;
  }

  // ---- expressions, lowest precedence first ----

  ExprPtr node(Expr::Kind k, size_t pos) {
    auto e = std::make_unique<Expr>();
    e->kind = k;
    e->pos = pos;
    return e;
  }
  ExprPtr binary(std::string op, ExprPtr l, ExprPtr r, size_t pos) {
    auto e = node(Expr::Kind::Binary, pos);
    e->op = std::move(op);
    e->args.push_back(std::move(l));
    e->args.push_back(std::move(r));
    return e;
  }

  ExprPtr expr() { return orExpr(); }

  ExprPtr orExpr() {
    ExprPtr l = andExpr();
    for (;;) {
      size_t pos = peek().pos;
      if (acceptKeyword("OR"))
        l = binary("OR", std::move(l), andExpr(), pos);
      else if (acceptKeyword("XOR"))
        l = binary("XOR", std::move(l), andExpr(), pos);
      else
        return l;
    }
  }

  ExprPtr andExpr() {
    ExprPtr l = notExpr();
    for (;;) {
      size_t pos = peek().pos;
      if (!acceptKeyword("AND"))
        return l;
      l = binary("AND", std::move(l), notExpr(), pos);
    }
  }

  ExprPtr notExpr() {
    size_t pos = peek().pos;
    if (acceptKeyword("NOT")) {
      auto e = node(Expr::Kind::Unary, pos);
      e->op = "NOT";
      e->args.push_back(notExpr());
      return e;
    }
    return comparison();
  }

  ExprPtr comparison() {
    ExprPtr l = concat();
    for (;;) {
      const Token &t = peek();
      size_t pos = t.pos;
      if (t.kind == TokenKind::Symbol && (t.text == "=" || t.text == "<>" || t.text == "<" ||
                                          t.text == ">" || t.text == "<=" || t.text == ">=")) {
        std::string op = take().text;
        l = binary(op, std::move(l), concat(), pos);
        continue;
      }
      if (acceptKeyword("IS")) {
        auto e = node(Expr::Kind::IsNull, pos);
        e->negated = acceptKeyword("NOT");
        expectKeyword("NULL");
        e->args.push_back(std::move(l));
        l = std::move(e);
        continue;
      }
      bool negated = false;
      if (isKeyword("NOT") &&
          (isKeyword("LIKE", 1) || isKeyword("IN", 1) || isKeyword("BETWEEN", 1))) {
        take();
        negated = true;
      }
      if (acceptKeyword("LIKE")) {
        auto e = node(Expr::Kind::Like, pos);
        e->negated = negated;
        e->args.push_back(std::move(l));
        e->args.push_back(concat());
        l = std::move(e);
      } else if (acceptKeyword("IN")) {
        auto e = node(Expr::Kind::In, pos);
        e->negated = negated;
        e->args.push_back(std::move(l));
        expectSymbol("(");
        do
          e->args.push_back(expr());
        while (acceptSymbol(","));
        expectSymbol(")");
        l = std::move(e);
      } else if (acceptKeyword("BETWEEN")) {
        auto e = node(Expr::Kind::Between, pos);
        e->negated = negated;
        e->args.push_back(std::move(l));
        e->args.push_back(concat());
        expectKeyword("AND");
        e->args.push_back(concat());
        l = std::move(e);
      } else {
        return l;
      }
    }
  }

  ExprPtr concat() {
    ExprPtr l = additive();
    for (;;) {
      size_t pos = peek().pos;
      if (!acceptSymbol("&"))
        return l;
      l = binary("&", std::move(l), additive(), pos);
    }
  }

  ExprPtr additive() {
    ExprPtr l = modulo();
    for (;;) {
      size_t pos = peek().pos;
      if (acceptSymbol("+"))
        l = binary("+", std::move(l), modulo(), pos);
      else if (acceptSymbol("-"))
        l = binary("-", std::move(l), modulo(), pos);
      else
        return l;
    }
  }

  ExprPtr modulo() {
    ExprPtr l = intDivision();
    for (;;) {
      size_t pos = peek().pos;
      if (!acceptKeyword("MOD"))
        return l;
      l = binary("MOD", std::move(l), intDivision(), pos);
    }
  }

  ExprPtr intDivision() {
    ExprPtr l = multiplicative();
    for (;;) {
      size_t pos = peek().pos;
      if (!acceptSymbol("\\"))
        return l;
      l = binary("\\", std::move(l), multiplicative(), pos);
    }
  }

  ExprPtr multiplicative() {
    ExprPtr l = unary();
    for (;;) {
      size_t pos = peek().pos;
      if (acceptSymbol("*"))
        l = binary("*", std::move(l), unary(), pos);
      else if (acceptSymbol("/"))
        l = binary("/", std::move(l), unary(), pos);
      else
        return l;
    }
  }

  ExprPtr unary() {
    size_t pos = peek().pos;
    if (acceptSymbol("-") || acceptSymbol("+")) {
      std::string op = t_[i_ - 1].text;
      ExprPtr operand = unary();
      if (op == "+")
        return operand;
      if (operand->kind == Expr::Kind::Literal && !operand->value.isNull()) {
        // Fold "-number" so that -2147483648 stays a Long.
        if (operand->value.is<int32_t>() && operand->value.as<int32_t>() != INT32_MIN) {
          operand->value = jet::Value(static_cast<int32_t>(-operand->value.as<int32_t>()));
          operand->pos = pos;
          return operand;
        }
        if (operand->value.is<jet::Decimal>()) {
          jet::Decimal d = operand->value.as<jet::Decimal>();
          d.negative = !d.negative;
          operand->value = jet::Value(d);
          operand->pos = pos;
          return operand;
        }
        if (operand->value.is<double>()) {
          double d = -operand->value.as<double>();
          if (d == -2147483648.0)
            operand->value = jet::Value(static_cast<int32_t>(INT32_MIN));
          else
            operand->value = jet::Value(d);
          operand->pos = pos;
          return operand;
        }
      }
      auto e = node(Expr::Kind::Unary, pos);
      e->op = "-";
      e->args.push_back(std::move(operand));
      return e;
    }
    return power();
  }

  ExprPtr power() {
    ExprPtr l = primary();
    for (;;) {
      size_t pos = peek().pos;
      if (!acceptSymbol("^"))
        return l;
      l = binary("^", std::move(l), primary(), pos);
    }
  }

  // A number with more significant digits than a Double holds stays exact as a Decimal, so
  // that a currency literal such as 922337203685477.5807 is stored as written.
  static std::optional<jet::Decimal> exactDecimal(const std::string &s) {
    if (s.find_first_of("eE") != std::string::npos)
      return std::nullopt;
    std::string digits;
    size_t point = s.find('.');
    uint8_t scale = point == std::string::npos ? 0 : static_cast<uint8_t>(s.size() - point - 1);
    for (char c : s)
      if (c != '.')
        digits += c;
    size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos || digits.size() - first <= 15 || digits.size() - first > 28 ||
        scale > 28)
      return std::nullopt;
    jet::Decimal d;
    d.precision = 28;
    d.scale = scale;
    for (char c : digits)
      d.magnitude = d.magnitude * 10 + static_cast<unsigned>(c - '0');
    if (d.magnitude >> 96)
      return std::nullopt;
    return d;
  }

  ExprPtr literal(jet::Value v, size_t pos) {
    auto e = node(Expr::Kind::Literal, pos);
    e->value = std::move(v);
    return e;
  }

  ExprPtr primary() {
    const Token &t = peek();
    size_t pos = t.pos;
    switch (t.kind) {
    case TokenKind::Number: {
      take();
      const std::string &s = t.text;
      if (s.find_first_of(".eE") == std::string::npos) {
        long long v = 0;
        auto r = std::from_chars(s.data(), s.data() + s.size(), v);
        if (r.ec == std::errc() && v <= INT32_MAX)
          return literal(jet::Value(static_cast<int32_t>(v)), pos);
      }
      if (auto dec = exactDecimal(s))
        return literal(jet::Value(*dec), pos);
      double d = 0;
      std::string norm = s[0] == '.' ? "0" + s : s;
      auto r = std::from_chars(norm.data(), norm.data() + norm.size(), d);
      if (r.ec != std::errc() || !std::isfinite(d))
        fail("numero non valido '" + s + "'", pos);
      return literal(jet::Value(d), pos);
    }
    case TokenKind::String:
      take();
      return literal(jet::Value(t.text), pos);
    case TokenKind::Date: {
      take();
      auto d = parseDateLiteral(t.text);
      if (!d)
        fail("data non valida #" + t.text + "#", pos);
      return literal(jet::Value(*d), pos);
    }
    case TokenKind::Symbol:
      if (t.text == "(") {
        take();
        ExprPtr e = expr();
        expectSymbol(")");
        return e;
      }
      break;
    case TokenKind::Name: {
      std::string u = toUpper(t.text);
      if (u == "NULL") {
        take();
        return literal(jet::Value(), pos);
      }
      if (u == "TRUE" || u == "YES") {
        take();
        return literal(jet::Value(true), pos);
      }
      if (u == "FALSE" || u == "NO") {
        take();
        return literal(jet::Value(false), pos);
      }
      if (reserved(t))
        break;
      take();
      if (acceptSymbol("(")) {
        auto e = node(Expr::Kind::Function, pos);
        e->name = t.text;
        if (!acceptSymbol(")")) {
          do
            e->args.push_back(expr());
          while (acceptSymbol(","));
          expectSymbol(")");
        }
        return e;
      }
      return columnRest(t.text, pos);
    }
    case TokenKind::QuotedName:
      take();
      return columnRest(t.text, pos);
    case TokenKind::End:
    case TokenKind::Error:
      fail("espressione mancante alla fine dell'istruzione", pos);
    }
    fail("atteso un valore, un campo o una funzione invece di " + describe(t), pos);
  }

  ExprPtr columnRest(const std::string &first, size_t pos) {
    auto e = node(Expr::Kind::Column, pos);
    if (acceptSymbol(".") || acceptSymbol("!")) {
      e->qualifier = first;
      e->name = name("il nome di un campo").name;
    } else {
      e->name = first;
    }
    return e;
  }
};

} // namespace

jet::Result<Statement> parseStatement(std::string_view sql) {
  auto tokens = tokenize(sql);
  if (!tokens)
    return tokens.status();
  try {
    Parser p(std::move(tokens.value()));
    return p.statement();
  } catch (ParseError &e) {
    return e.status;
  }
}

} // namespace sql

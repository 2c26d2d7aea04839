#include "sql/eval.h"

#include "jet/date_range.h"
#include "sql/convert.h"
#include "sql/text.h"

#include <cfloat>
#include <climits>
#include <cmath>

namespace sql {

using jet::ColumnType;
using jet::ErrorCode;
using jet::Value;
using jet::ValueKind;

[[noreturn]] static void raise(ErrorCode code, std::string message) {
  throw EvalError{jet::Status(code, std::move(message))};
}

struct Node {
  virtual ~Node() = default;
  virtual const Value &eval(const EvalContext &ctx, Value &tmp) const = 0;
  virtual bool constant() const { return false; }
  std::string label; // how messages name this operand
  ColumnDef type;
  bool typeKnown = false;
  int column = -1;
};

namespace {

using NodePtr = std::unique_ptr<Node>;

std::string operandText(const Node &n, const Value &v) {
  return n.label.empty() ? describeValue(v) : n.label;
}

[[noreturn]] void mismatch(const Node &a, const Value &va, const Node &b, const Value &vb,
                           const std::string &what) {
  raise(ErrorCode::TypeMismatch, "Tipo di dati non corrispondente nell'espressione criterio: " +
                                     operandText(a, va) + " (" + valueTypeName(va) + ") " + what +
                                     " " + operandText(b, vb) + " (" + valueTypeName(vb) + ").");
}

[[noreturn]] void badOperand(const Node &a, const Value &va, const std::string &what) {
  raise(ErrorCode::TypeMismatch,
        "Tipo di dati non corrispondente nell'espressione: " + operandText(a, va) + " (" +
            valueTypeName(va) + ") non è valido " + what + ".");
}

// ---- numbers ----

enum Rank { RNone = -1, RByte, RInt, RLong, RSingle, RDouble, RCur, RDec, RDate };

Rank rankOf(const Value &v) {
  switch (v.kind()) {
  case ValueKind::Boolean:
    return RInt;
  case ValueKind::Byte:
    return RByte;
  case ValueKind::Integer:
    return RInt;
  case ValueKind::Long:
    return RLong;
  case ValueKind::Currency:
    return RCur;
  case ValueKind::Single:
    return RSingle;
  case ValueKind::Double:
    return RDouble;
  case ValueKind::DateTime:
    return RDate;
  case ValueKind::Decimal:
    return RDec;
  default:
    return RNone;
  }
}

bool integral(Rank r) {
  return r == RByte || r == RInt || r == RLong;
}

int64_t intOf(const Value &v) {
  switch (v.kind()) {
  case ValueKind::Boolean:
    return v.as<bool>() ? -1 : 0;
  case ValueKind::Byte:
    return v.as<uint8_t>();
  case ValueKind::Integer:
    return v.as<int16_t>();
  case ValueKind::Long:
    return v.as<int32_t>();
  default:
    break;
  }
  return 0;
}

// A text operand of arithmetic becomes a Double, as the expression service reads it.
Value numericOperand(const Node &n, const Value &v, const char *what) {
  if (rankOf(v) != RNone)
    return v;
  if (v.is<std::string>())
    if (auto d = parseNumber(v.as<std::string>()))
      return Value(*d);
  badOperand(n, v, what);
}

Value fitInteger(int64_t r, Rank rank) {
  if (rank == RByte && r >= 0 && r <= 255)
    return Value(static_cast<uint8_t>(r));
  if (rank <= RInt && r >= -32768 && r <= 32767)
    return Value(static_cast<int16_t>(r));
  if (r >= INT32_MIN && r <= INT32_MAX)
    return Value(static_cast<int32_t>(r));
  return Value(static_cast<double>(r));
}

Value checkedDouble(double d) {
  if (std::isnan(d))
    raise(ErrorCode::InvalidArgument, "Argomento non valido: il calcolo non ha un risultato "
                                      "numerico.");
  if (!std::isfinite(d))
    raise(ErrorCode::Overflow, "Overflow: il risultato di un calcolo è fuori dall'intervallo dei "
                               "numeri.");
  return Value(d);
}

Value currencyFrom(long double units) {
  long double r = std::nearbyint(units);
  if (!(r >= -9.223372036854775807e18L && r < 9.223372036854775807e18L))
    raise(ErrorCode::Overflow, "Overflow: il risultato di un calcolo è fuori dall'intervallo del "
                               "tipo Valuta.");
  return Value(jet::Currency{static_cast<int64_t>(r)});
}

long double longDoubleOf(const Value &v) {
  if (v.is<jet::Currency>())
    return static_cast<long double>(v.as<jet::Currency>().units) / 10000.0L;
  if (integral(rankOf(v)))
    return static_cast<long double>(intOf(v));
  return static_cast<long double>(*toDouble(v));
}

int64_t roundToLong(const Node &n, const Value &v) {
  double d = *toDouble(v);
  double r = std::nearbyint(d);
  if (!(r >= -2147483648.0 && r <= 2147483647.0))
    raise(ErrorCode::Overflow,
          "Overflow: " + operandText(n, v) + " è fuori dall'intervallo degli interi lunghi.");
  return static_cast<int64_t>(r);
}

Value arithmetic(const std::string &op, const Node &na, const Value &a0, const Node &nb,
                 const Value &b0) {
  if (a0.isNull() || b0.isNull())
    return Value();
  if (op == "+" && a0.is<std::string>() && b0.is<std::string>())
    return Value(a0.as<std::string>() + b0.as<std::string>());
  const char *what = "in un'operazione aritmetica";
  Value a = numericOperand(na, a0, what), b = numericOperand(nb, b0, what);
  Rank ra = rankOf(a), rb = rankOf(b);

  if (op == "/" || op == "^") {
    double x = *toDouble(a), y = *toDouble(b);
    if (op == "/") {
      if (y == 0)
        raise(ErrorCode::DivisionByZero, "Divisione per zero.");
      return checkedDouble(x / y);
    }
    return checkedDouble(std::pow(x, y));
  }
  if (op == "\\" || op == "MOD") {
    int64_t x = roundToLong(na, a), y = roundToLong(nb, b);
    if (y == 0)
      raise(ErrorCode::DivisionByZero, "Divisione per zero.");
    int64_t r = op == "\\" ? x / y : x % y;
    Rank rank =
        std::max(ra == RDate || ra > RLong ? RLong : ra, rb == RDate || rb > RLong ? RLong : rb);
    return fitInteger(r, rank);
  }

  // + - *
  if (ra == RDate || rb == RDate) {
    double x = *toDouble(a), y = *toDouble(b);
    double r = op == "+" ? x + y : op == "-" ? x - y : x * y;
    if (op == "*" || (op == "-" && ra == RDate && rb == RDate))
      return checkedDouble(r);
    if (!jet::dateInRange(r))
      raise(ErrorCode::Overflow, "Overflow: la data risultante è fuori dall'intervallo ammesso.");
    return Value(jet::DateTime{r});
  }
  Rank rank = std::max(ra, rb);
  if ((ra == RSingle && rb == RLong) || (ra == RLong && rb == RSingle))
    rank = RDouble;
  if (integral(rank)) {
    int64_t x = intOf(a), y = intOf(b);
    int64_t r = op == "+" ? x + y : op == "-" ? x - y : x * y;
    return fitInteger(r, rank);
  }
  if (rank == RCur) {
    if (op != "*" && a.is<jet::Currency>() && b.is<jet::Currency>()) {
      int64_t r = 0;
      bool of = op == "+" ? __builtin_add_overflow(a.as<jet::Currency>().units,
                                                   b.as<jet::Currency>().units, &r)
                          : __builtin_sub_overflow(a.as<jet::Currency>().units,
                                                   b.as<jet::Currency>().units, &r);
      if (of)
        raise(ErrorCode::Overflow, "Overflow: il risultato di un calcolo è fuori dall'intervallo "
                                   "del tipo Valuta.");
      return Value(jet::Currency{r});
    }
    long double x = longDoubleOf(a), y = longDoubleOf(b);
    long double r = op == "+" ? x + y : op == "-" ? x - y : x * y;
    return currencyFrom(r * 10000.0L);
  }
  double x = *toDouble(a), y = *toDouble(b);
  double r = op == "+" ? x + y : op == "-" ? x - y : x * y;
  if (rank == RDec) {
    uint8_t sa = a.is<jet::Decimal>() ? a.as<jet::Decimal>().scale : 0;
    uint8_t sb = b.is<jet::Decimal>() ? b.as<jet::Decimal>().scale : 0;
    uint8_t scale = op == "*" ? static_cast<uint8_t>(std::min(28, sa + sb)) : std::max(sa, sb);
    bool of = false;
    jet::Decimal d = decimalFromDouble(r, 28, scale, &of);
    if (of)
      raise(ErrorCode::Overflow, "Overflow: il risultato di un calcolo è fuori dall'intervallo "
                                 "del tipo Decimale.");
    return Value(d);
  }
  if (rank == RSingle) {
    if (std::isfinite(r) && std::fabs(r) <= FLT_MAX)
      return Value(static_cast<float>(r));
  }
  return checkedDouble(r);
}

// Integers, currency and decimals as an exact decimal.
jet::Decimal exactOf(const Value &v) {
  if (v.is<jet::Decimal>())
    return v.as<jet::Decimal>();
  jet::Decimal d;
  int64_t i = v.is<jet::Currency>() ? v.as<jet::Currency>().units : intOf(v);
  d.scale = v.is<jet::Currency>() ? 4 : 0;
  d.negative = i < 0;
  d.magnitude = i < 0 ? 0 - static_cast<unsigned __int128>(static_cast<__int128>(i))
                      : static_cast<unsigned __int128>(i);
  return d;
}

// Exact comparison of two decimals; nullopt where bringing them to one scale would overflow.
std::optional<int> compareExact(const Value &va, const Value &vb) {
  jet::Decimal a = exactOf(va), b = exactOf(vb);
  int scale = std::max(a.scale, b.scale);
  auto up = [scale](jet::Decimal d) -> std::optional<unsigned __int128> {
    unsigned __int128 m = d.magnitude;
    for (int s = d.scale; s < scale; ++s) {
      if (m > (~static_cast<unsigned __int128>(0)) / 10)
        return std::nullopt;
      m *= 10;
    }
    return m;
  };
  auto x = up(a), y = up(b);
  if (!x || !y)
    return std::nullopt;
  bool na = a.negative && *x != 0, nb = b.negative && *y != 0;
  if (na != nb)
    return na ? -1 : 1;
  int c = *x < *y ? -1 : *x > *y ? 1 : 0;
  return na ? -c : c;
}

// Three-way comparison of two non-Null values, or a type mismatch.
int compareValues(const Node &na, const Value &a, const Node &nb, const Value &b) {
  ValueKind ka = a.kind(), kb = b.kind();
  if (ka == ValueKind::Text && kb == ValueKind::Text)
    return compareText(a.as<std::string>(), b.as<std::string>());
  if (ka == ValueKind::Long && kb == ValueKind::Long) {
    int32_t x = a.as<int32_t>(), y = b.as<int32_t>();
    return x < y ? -1 : x > y ? 1 : 0;
  }
  Rank ra = rankOf(a), rb = rankOf(b);
  if (ra != RNone && rb != RNone) {
    if (integral(ra) && integral(rb)) {
      int64_t x = intOf(a), y = intOf(b);
      return x < y ? -1 : x > y ? 1 : 0;
    }
    if ((ra == RCur || integral(ra)) && (rb == RCur || integral(rb))) {
      __int128 x = a.is<jet::Currency>() ? a.as<jet::Currency>().units : intOf(a) * 10000LL;
      __int128 y = b.is<jet::Currency>() ? b.as<jet::Currency>().units : intOf(b) * 10000LL;
      return x < y ? -1 : x > y ? 1 : 0;
    }
    if ((ra == RDec || rb == RDec) && (ra == RDec || ra == RCur || integral(ra)) &&
        (rb == RDec || rb == RCur || integral(rb))) {
      if (auto c = compareExact(a, b))
        return *c;
    }
    // As the expression service compares: a Double against a Currency is taken as a Currency,
    // a Double against a Single at the Single's precision.
    if ((ra == RCur && (rb == RDouble || rb == RSingle)) ||
        (rb == RCur && (ra == RDouble || ra == RSingle))) {
      auto units = [](const Value &v) -> long double {
        if (v.is<jet::Currency>())
          return static_cast<long double>(v.as<jet::Currency>().units);
        return std::nearbyint(static_cast<long double>(*toDouble(v)) * 10000.0L);
      };
      long double x = units(a), y = units(b);
      return x < y ? -1 : x > y ? 1 : 0;
    }
    if ((ra == RSingle && rb == RDouble) || (ra == RDouble && rb == RSingle)) {
      float x = static_cast<float>(*toDouble(a)), y = static_cast<float>(*toDouble(b));
      return x < y ? -1 : x > y ? 1 : 0;
    }
    long double x = longDoubleOf(a), y = longDoubleOf(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  // A text against a number or a date converts where it reads as one.
  if ((ka == ValueKind::Text && rb != RNone) || (kb == ValueKind::Text && ra != RNone)) {
    bool textFirst = ka == ValueKind::Text;
    const Value &num = textFirst ? b : a;
    const std::string &t = (textFirst ? a : b).as<std::string>();
    std::optional<int> c;
    if (rankOf(num) == RDate) {
      if (auto d = parseItalianDate(t, true)) {
        double x = num.as<jet::DateTime>().days;
        c = x < d->days ? -1 : x > d->days ? 1 : 0;
      }
    } else if (auto d = parseNumber(t)) {
      long double x = longDoubleOf(num);
      c = x < *d ? -1 : x > *d ? 1 : 0;
    }
    if (!c)
      mismatch(na, a, nb, b, "confrontato con");
    return textFirst ? -*c : *c;
  }
  if (ka == ValueKind::Binary && kb == ValueKind::Binary) {
    const auto &x = a.as<jet::Bytes>(), &y = b.as<jet::Bytes>();
    return x < y ? -1 : x > y ? 1 : 0;
  }
  if (ka == ValueKind::Guid && kb == ValueKind::Guid) {
    const auto &x = a.as<jet::Guid>(), &y = b.as<jet::Guid>();
    return x < y ? -1 : x > y ? 1 : 0;
  }
  if ((ka == ValueKind::Guid && kb == ValueKind::Text) ||
      (ka == ValueKind::Text && kb == ValueKind::Guid)) {
    std::string x = ka == ValueKind::Text ? a.as<std::string>() : formatGuid(a.as<jet::Guid>());
    std::string y = kb == ValueKind::Text ? b.as<std::string>() : formatGuid(b.as<jet::Guid>());
    std::string_view xs = x, ys = y;
    auto strip = [](std::string_view s) {
      if (s.size() == 38 && s.front() == '{')
        s = s.substr(1, 36);
      return s;
    };
    return compareText(strip(xs), strip(ys));
  }
  mismatch(na, a, nb, b, "confrontato con");
}

// -1 / 0 for logic; numbers act bit by bit as in the Jet engine.
std::optional<int64_t> logicOperand(const Node &n, const Value &v) {
  if (v.isNull())
    return std::nullopt;
  if (v.is<bool>())
    return v.as<bool>() ? -1 : 0;
  if (integral(rankOf(v)))
    return intOf(v);
  if (rankOf(v) != RNone)
    return roundToLong(n, v);
  if (v.is<std::string>())
    if (auto d = parseNumber(v.as<std::string>()))
      return roundToLong(n, Value(*d));
  badOperand(n, v, "come condizione");
}

// ---- nodes ----

struct ConstNode : Node {
  Value v;
  const Value &eval(const EvalContext &, Value &) const override { return v; }
  bool constant() const override { return true; }
};

struct ColumnNode : Node {
  const Value &eval(const EvalContext &ctx, Value &) const override { return (*ctx.row)[column]; }
};

struct CompareNode : Node {
  enum Op { Eq, Ne, Lt, Gt, Le, Ge } op;
  NodePtr l, r;
  const Value &eval(const EvalContext &ctx, Value &tmp) const override {
    Value ls, rs;
    const Value &a = l->eval(ctx, ls);
    if (a.isNull())
      return tmp = Value();
    const Value &b = r->eval(ctx, rs);
    if (b.isNull())
      return tmp = Value();
    int c = compareValues(*l, a, *r, b);
    bool res = false;
    switch (op) {
    case Eq:
      res = c == 0;
      break;
    case Ne:
      res = c != 0;
      break;
    case Lt:
      res = c < 0;
      break;
    case Gt:
      res = c > 0;
      break;
    case Le:
      res = c <= 0;
      break;
    case Ge:
      res = c >= 0;
      break;
    }
    return tmp = Value(res);
  }
};

struct LogicNode : Node {
  enum Op { And, Or, Xor } op;
  NodePtr l, r;
  const Value &eval(const EvalContext &ctx, Value &tmp) const override {
    Value ls, rs;
    const Value &a = l->eval(ctx, ls);
    auto x = logicOperand(*l, a);
    if (x && ((op == And && *x == 0) || (op == Or && *x == -1)) && a.is<bool>())
      return tmp = Value(op == Or);
    const Value &b = r->eval(ctx, rs);
    auto y = logicOperand(*r, b);
    bool boolean = (a.isNull() || a.is<bool>()) && (b.isNull() || b.is<bool>());
    std::optional<int64_t> res;
    if (op == And) {
      if ((x && *x == 0) || (y && *y == 0))
        res = 0;
      else if (x && y)
        res = *x & *y;
    } else if (op == Or) {
      if ((x && *x == -1) || (y && *y == -1))
        res = -1;
      else if (x && y)
        res = *x | *y;
    } else if (x && y) {
      res = *x ^ *y;
    }
    if (!res)
      return tmp = Value();
    if (boolean)
      return tmp = Value(*res != 0);
    return tmp = fitInteger(*res, RLong);
  }
};

struct NotNode : Node {
  NodePtr a;
  const Value &eval(const EvalContext &ctx, Value &tmp) const override {
    Value s;
    const Value &v = a->eval(ctx, s);
    auto x = logicOperand(*a, v);
    if (!x)
      return tmp = Value();
    if (v.is<bool>())
      return tmp = Value(*x == 0);
    return tmp = fitInteger(~*x, RLong);
  }
};

struct ArithNode : Node {
  std::string op;
  NodePtr l, r;
  const Value &eval(const EvalContext &ctx, Value &tmp) const override {
    Value ls, rs;
    const Value &a = l->eval(ctx, ls);
    const Value &b = r->eval(ctx, rs);
    return tmp = arithmetic(op, *l, a, *r, b);
  }
};

struct NegNode : Node {
  NodePtr a;
  const Value &eval(const EvalContext &ctx, Value &tmp) const override {
    Value s;
    const Value &v0 = a->eval(ctx, s);
    if (v0.isNull())
      return tmp = Value();
    Value v = numericOperand(*a, v0, "con il segno meno");
    Rank r = rankOf(v);
    if (integral(r))
      return tmp = fitInteger(-intOf(v), r == RByte ? RInt : r);
    if (r == RCur)
      return tmp = currencyFrom(-static_cast<long double>(v.as<jet::Currency>().units));
    if (r == RDate)
      return tmp = Value(jet::DateTime{-v.as<jet::DateTime>().days});
    if (r == RSingle)
      return tmp = Value(-v.as<float>());
    if (r == RDec) {
      jet::Decimal d = v.as<jet::Decimal>();
      if (d.magnitude)
        d.negative = !d.negative;
      return tmp = Value(d);
    }
    return tmp = Value(-*toDouble(v));
  }
};

struct ConcatNode : Node {
  NodePtr l, r;
  const Value &eval(const EvalContext &ctx, Value &tmp) const override {
    Value ls, rs;
    const Value &a = l->eval(ctx, ls);
    const Value &b = r->eval(ctx, rs);
    if (a.isNull() && b.isNull())
      return tmp = Value();
    return tmp = Value(toText(a) + toText(b));
  }
};

struct IsNullNode : Node {
  NodePtr a;
  bool negated = false;
  const Value &eval(const EvalContext &ctx, Value &tmp) const override {
    Value s;
    bool isNull = a->eval(ctx, s).isNull();
    return tmp = Value(isNull != negated);
  }
};

struct LikeNode : Node {
  NodePtr a, pattern;
  bool negated = false;
  bool fixed = false;
  LikePattern compiled;
  const Value &eval(const EvalContext &ctx, Value &tmp) const override {
    Value s, ps;
    const Value &v = a->eval(ctx, s);
    if (v.isNull())
      return tmp = Value();
    std::string text = v.is<std::string>() ? std::string() : toText(v);
    const std::string &t = v.is<std::string>() ? v.as<std::string>() : text;
    if (fixed)
      return tmp = Value(compiled.matches(t) != negated);
    const Value &p = pattern->eval(ctx, ps);
    if (p.isNull())
      return tmp = Value();
    LikePattern lp;
    if (!lp.compile(toText(p)))
      raise(ErrorCode::Syntax,
            "Criterio LIKE non valido: parentesi quadra non chiusa in '" + toText(p) + "'.");
    return tmp = Value(lp.matches(t) != negated);
  }
};

struct InNode : Node {
  NodePtr a;
  std::vector<NodePtr> list;
  bool negated = false;
  const Value &eval(const EvalContext &ctx, Value &tmp) const override {
    Value s;
    const Value &v = a->eval(ctx, s);
    if (v.isNull())
      return tmp = Value();
    bool sawNull = false;
    for (const auto &n : list) {
      Value es;
      const Value &e = n->eval(ctx, es);
      if (e.isNull()) {
        sawNull = true;
        continue;
      }
      if (compareValues(*a, v, *n, e) == 0)
        return tmp = Value(!negated);
    }
    if (sawNull)
      return tmp = Value();
    return tmp = Value(negated);
  }
};

struct BetweenNode : Node {
  NodePtr a, lo, hi;
  bool negated = false;
  const Value &eval(const EvalContext &ctx, Value &tmp) const override {
    Value s, ls, hs;
    const Value &v = a->eval(ctx, s);
    const Value &l = lo->eval(ctx, ls);
    const Value &h = hi->eval(ctx, hs);
    if (v.isNull() || l.isNull() || h.isNull())
      return tmp = Value();
    // The bounds may come in either order, as the Jet engine takes them.
    bool swap = compareValues(*lo, l, *hi, h) > 0;
    const Node &ln = swap ? *hi : *lo, &hn = swap ? *lo : *hi;
    const Value &lv = swap ? h : l, &hv = swap ? l : h;
    bool in = compareValues(*a, v, ln, lv) >= 0 && compareValues(*a, v, hn, hv) <= 0;
    return tmp = Value(in != negated);
  }
};

// ---- functions ----

enum class Fn {
  IsEmpty,
  IsNull,
  DateValue,
  Date,
  Now,
  Year,
  Month,
  Day,
  Hour,
  Minute,
  Second,
  UCase,
  LCase,
  Trim,
  LTrim,
  RTrim,
  Len,
  Left,
  Right,
  Mid,
  Nz,
  IIf,
  Abs,
  Int,
  Fix,
  CStr,
  CLng,
  CInt,
  CDbl,
  CCur,
  CDate,
  Val,
  InStr
};

struct FnInfo {
  const char *name;
  Fn fn;
  int minArgs, maxArgs;
};

const FnInfo kFunctions[] = {
    {"ISEMPTY", Fn::IsEmpty, 1, 1},
    {"ISNULL", Fn::IsNull, 1, 1},
    {"DATEVALUE", Fn::DateValue, 1, 1},
    {"DATE", Fn::Date, 0, 0},
    {"NOW", Fn::Now, 0, 0},
    {"YEAR", Fn::Year, 1, 1},
    {"MONTH", Fn::Month, 1, 1},
    {"DAY", Fn::Day, 1, 1},
    {"HOUR", Fn::Hour, 1, 1},
    {"MINUTE", Fn::Minute, 1, 1},
    {"SECOND", Fn::Second, 1, 1},
    {"UCASE", Fn::UCase, 1, 1},
    {"LCASE", Fn::LCase, 1, 1},
    {"TRIM", Fn::Trim, 1, 1},
    {"LTRIM", Fn::LTrim, 1, 1},
    {"RTRIM", Fn::RTrim, 1, 1},
    {"LEN", Fn::Len, 1, 1},
    {"LEFT", Fn::Left, 2, 2},
    {"RIGHT", Fn::Right, 2, 2},
    {"MID", Fn::Mid, 2, 3},
    {"NZ", Fn::Nz, 1, 2},
    {"IIF", Fn::IIf, 3, 3},
    {"ABS", Fn::Abs, 1, 1},
    {"INT", Fn::Int, 1, 1},
    {"FIX", Fn::Fix, 1, 1},
    {"CSTR", Fn::CStr, 1, 1},
    {"CLNG", Fn::CLng, 1, 1},
    {"CINT", Fn::CInt, 1, 1},
    {"CDBL", Fn::CDbl, 1, 1},
    {"CCUR", Fn::CCur, 1, 1},
    {"CDATE", Fn::CDate, 1, 1},
    {"VAL", Fn::Val, 1, 1},
    {"INSTR", Fn::InStr, 2, 2},
};

std::string trimBlanks(std::string_view s, bool left, bool right) {
  size_t b = 0, e = s.size();
  if (left)
    while (b < e && s[b] == ' ')
      ++b;
  if (right)
    while (e > b && s[e - 1] == ' ')
      --e;
  return std::string(s.substr(b, e - b));
}

struct FuncNode : Node {
  Fn fn;
  std::string name;
  std::vector<NodePtr> args;

  [[noreturn]] void badArg(size_t i, const Value &v) const {
    badOperand(*args[i], v, "come argomento della funzione " + name);
  }

  jet::DateTime dateArg(size_t i, const Value &v) const {
    if (v.is<jet::DateTime>())
      return v.as<jet::DateTime>();
    if (v.is<std::string>())
      if (auto d = parseItalianDate(v.as<std::string>(), true))
        return *d;
    if (rankOf(v) != RNone) {
      double d = *toDouble(v);
      if (jet::dateInRange(d))
        return jet::DateTime{d};
    }
    badArg(i, v);
  }

  int64_t intArg(size_t i, const Value &v) const {
    if (v.isNull())
      raise(ErrorCode::InvalidArgument, "Uso non valido di Null nell'argomento " +
                                            std::to_string(i + 1) + " della funzione " + name +
                                            ".");
    Value n = numericOperand(*args[i], v, ("come argomento della funzione " + name).c_str());
    return roundToLong(*args[i], n);
  }

  std::u32string textArg(const Value &v) const { return decodeUtf8(toText(v)); }

  Value convertTo(ColumnType t, const Value &v) const {
    ColumnDef c;
    c.name = name;
    c.type = t;
    c.size = 0;
    auto r = convertForColumn(v, c);
    if (!r) {
      if (r.status().code() == ErrorCode::OutOfRange)
        raise(ErrorCode::Overflow, "Overflow: " + operandText(*args[0], v) +
                                       " è fuori dall'intervallo della funzione " + name + ".");
      badArg(0, v);
    }
    return r.value();
  }

  const Value &eval(const EvalContext &ctx, Value &tmp) const override {
    // Functions that look at their arguments lazily.
    if (fn == Fn::IIf) {
      Value s;
      const Value &c = args[0]->eval(ctx, s);
      auto x = logicOperand(*args[0], c);
      const Node &pick = x && *x != 0 ? *args[1] : *args[2];
      Value ps;
      return tmp = pick.eval(ctx, ps);
    }
    if (fn == Fn::Nz) {
      Value s;
      const Value &v = args[0]->eval(ctx, s);
      if (!v.isNull())
        return tmp = v;
      if (args.size() > 1) {
        Value ds;
        return tmp = args[1]->eval(ctx, ds);
      }
      return tmp = Value(std::string());
    }
    if (fn == Fn::Date) {
      return tmp = Value(jet::DateTime{std::trunc(ctx.now.days)});
    }
    if (fn == Fn::Now)
      return tmp = Value(ctx.now);

    Value s0, s1, s2;
    const Value &a = args[0]->eval(ctx, s0);
    switch (fn) {
    case Fn::IsEmpty:
      return tmp = Value(a.isNull() || (a.is<std::string>() && a.as<std::string>().empty()));
    case Fn::IsNull:
      return tmp = Value(a.isNull());
    default:
      break;
    }
    if (a.isNull() && fn != Fn::Len)
      return tmp = Value();
    switch (fn) {
    case Fn::DateValue: {
      if (a.is<std::string>()) {
        auto d = parseItalianDate(a.as<std::string>(), false);
        if (!d)
          raise(ErrorCode::TypeMismatch,
                "Tipo di dati non corrispondente nell'espressione criterio: " +
                    operandText(*args[0], a) + " non è una data valida per DateValue.");
        return tmp = Value(*d);
      }
      jet::DateTime d = dateArg(0, a);
      return tmp = Value(jet::DateTime{std::trunc(d.days)});
    }
    case Fn::Year:
      return tmp = Value(static_cast<int16_t>(jet::toCivil(dateArg(0, a)).year));
    case Fn::Month:
      return tmp = Value(static_cast<int16_t>(jet::toCivil(dateArg(0, a)).month));
    case Fn::Day:
      return tmp = Value(static_cast<int16_t>(jet::toCivil(dateArg(0, a)).day));
    case Fn::Hour:
      return tmp = Value(static_cast<int16_t>(jet::toCivil(dateArg(0, a)).hour));
    case Fn::Minute:
      return tmp = Value(static_cast<int16_t>(jet::toCivil(dateArg(0, a)).minute));
    case Fn::Second:
      return tmp = Value(static_cast<int16_t>(jet::toCivil(dateArg(0, a)).second));
    case Fn::UCase:
      return tmp = Value(toUpper(toText(a)));
    case Fn::LCase:
      return tmp = Value(toLower(toText(a)));
    case Fn::Trim:
      return tmp = Value(trimBlanks(toText(a), true, true));
    case Fn::LTrim:
      return tmp = Value(trimBlanks(toText(a), true, false));
    case Fn::RTrim:
      return tmp = Value(trimBlanks(toText(a), false, true));
    case Fn::Len:
      if (a.isNull())
        return tmp = Value();
      return tmp = Value(static_cast<int32_t>(textLength(toText(a))));
    case Fn::Left:
    case Fn::Right: {
      int64_t n = intArg(1, args[1]->eval(ctx, s1));
      if (n < 0)
        raise(ErrorCode::InvalidArgument,
              "Argomento non valido: la funzione " + name + " vuole una lunghezza non negativa.");
      std::u32string t = textArg(a);
      size_t k = std::min<size_t>(static_cast<size_t>(n), t.size());
      return tmp = Value(encodeUtf8(fn == Fn::Left ? t.substr(0, k) : t.substr(t.size() - k)));
    }
    case Fn::Mid: {
      int64_t start = intArg(1, args[1]->eval(ctx, s1));
      int64_t len = args.size() > 2 ? intArg(2, args[2]->eval(ctx, s2)) : INT32_MAX;
      if (start < 1 || len < 0)
        raise(ErrorCode::InvalidArgument,
              "Argomento non valido: la funzione Mid vuole un inizio da 1 e una lunghezza non "
              "negativa.");
      std::u32string t = textArg(a);
      if (static_cast<size_t>(start) > t.size())
        return tmp = Value(std::string());
      return tmp = Value(encodeUtf8(t.substr(start - 1, static_cast<size_t>(len))));
    }
    case Fn::InStr: {
      const Value &b = args[1]->eval(ctx, s1);
      if (b.isNull())
        return tmp = Value();
      std::string h = toLower(toText(a)), n = toLower(toText(b));
      if (n.empty())
        return tmp = Value(static_cast<int32_t>(1));
      size_t p = h.find(n);
      return tmp = Value(static_cast<int32_t>(
                 p == std::string::npos ? 0 : textLength(std::string_view(h).substr(0, p)) + 1));
    }
    case Fn::Abs: {
      Value v = numericOperand(*args[0], a, "come argomento della funzione Abs");
      if (*toDouble(v) < 0) {
        NegNode neg;
        auto c = std::make_unique<ConstNode>();
        c->v = v;
        neg.a = std::move(c);
        EvalContext none;
        Value t;
        return tmp = neg.eval(none, t);
      }
      return tmp = v;
    }
    case Fn::Int:
    case Fn::Fix: {
      Value v = numericOperand(*args[0], a, ("come argomento della funzione " + name).c_str());
      if (integral(rankOf(v)))
        return tmp = v;
      double d = *toDouble(v);
      double r = fn == Fn::Int ? std::floor(d) : std::trunc(d);
      if (v.is<jet::Currency>())
        return tmp = currencyFrom(static_cast<long double>(r) * 10000.0L);
      if (v.is<jet::DateTime>())
        return tmp = Value(jet::DateTime{r});
      return tmp = Value(r);
    }
    case Fn::CStr:
      return tmp = Value(toText(a));
    case Fn::CLng:
      return tmp = convertTo(ColumnType::Long, a);
    case Fn::CInt:
      return tmp = convertTo(ColumnType::Integer, a);
    case Fn::CDbl:
      return tmp = convertTo(ColumnType::Double, a);
    case Fn::CCur:
      return tmp = convertTo(ColumnType::Currency, a);
    case Fn::CDate:
      return tmp = Value(dateArg(0, a));
    case Fn::Val: {
      // Leading blanks, a sign, digits and one decimal point; stops at anything else.
      std::string t = toText(a), num;
      size_t i = 0;
      while (i < t.size() && (t[i] == ' ' || t[i] == '\t'))
        ++i;
      if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        num += t[i++];
      bool point = false;
      for (; i < t.size(); ++i) {
        if (t[i] >= '0' && t[i] <= '9')
          num += t[i];
        else if (t[i] == '.' && !point) {
          point = true;
          num += '.';
        } else if (t[i] != ' ')
          break;
      }
      double d = std::strtod(num.c_str(), nullptr);
      return tmp = Value(d);
    }
    default:
      break;
    }
    return tmp = Value();
  }
};

ColumnDef typed(ColumnType t, int size = 0) {
  ColumnDef c;
  c.type = t;
  c.size = size;
  return c;
}

void setType(Node &n, ColumnType t, int size = 0) {
  n.type = typed(t, size);
  n.typeKnown = true;
}

// Compiles one node, then replaces it by its value when it does not depend on the row.
class Compiler {
public:
  Compiler(const Scope &scope, jet::DateTime now) : scope_(scope), now_(now) {}

  NodePtr compile(const Expr &e) { return build(e); }

private:
  const Scope &scope_;
  jet::DateTime now_;
  int lazy_ = 0;

  NodePtr fold(NodePtr n, const std::vector<const Node *> &children) {
    for (const Node *c : children)
      if (!c->constant())
        return n;
    EvalContext ctx;
    ctx.now = now_;
    Row empty;
    ctx.row = &empty;
    Value tmp;
    auto c = std::make_unique<ConstNode>();
    if (lazy_ > 0) {
      // A branch that may never be taken reports its error only when it is.
      try {
        c->v = n->eval(ctx, tmp);
      } catch (EvalError &) {
        return n;
      }
    } else {
      c->v = n->eval(ctx, tmp);
    }
    c->label = n->label;
    c->type = n->type;
    c->typeKnown = n->typeKnown;
    return c;
  }

  [[noreturn]] void syntax(const std::string &detail, size_t pos) {
    raise(ErrorCode::Syntax, "Errore di sintassi nell'espressione: " + detail + " (posizione " +
                                 std::to_string(pos) + ").");
  }

  NodePtr build(const Expr &e) {
    switch (e.kind) {
    case Expr::Kind::Literal: {
      auto n = std::make_unique<ConstNode>();
      n->v = e.value;
      if (!e.value.isNull()) {
        ColumnType t = typeOf(e.value);
        setType(*n, t, t == ColumnType::Text ? 255 : 0);
        if (t == ColumnType::Text && textLength(e.value.as<std::string>()) > 255)
          setType(*n, ColumnType::Memo);
      }
      return n;
    }
    case Expr::Kind::Column: {
      const auto &cols = *scope_.columns;
      if (scope_.constantsOnly)
        raise(ErrorCode::NoSuchColumn, "Il nome '" + e.name +
                                           "' non è un valore: nell'elenco VALUES vanno solo "
                                           "valori costanti (posizione " +
                                           std::to_string(e.pos) + ").");
      if (!e.qualifier.empty() && !textEquals(e.qualifier, scope_.table) &&
          !(!scope_.alias.empty() && textEquals(e.qualifier, scope_.alias)))
        raise(ErrorCode::NoSuchColumn, "Il campo '" + e.qualifier + "." + e.name +
                                           "' non si riferisce alla tabella '" + scope_.table +
                                           "' (posizione " + std::to_string(e.pos) + ").");
      for (size_t i = 0; i < cols.size(); ++i) {
        if (textEquals(cols[i].name, e.name)) {
          auto n = std::make_unique<ColumnNode>();
          n->column = static_cast<int>(i);
          n->label = "il campo '" + cols[i].name + "'";
          n->type = cols[i];
          n->typeKnown = true;
          return n;
        }
      }
      raise(ErrorCode::NoSuchColumn, "Il campo '" + e.name + "' non esiste nella tabella '" +
                                         scope_.table + "' (posizione " + std::to_string(e.pos) +
                                         ").");
    }
    case Expr::Kind::Unary: {
      NodePtr a = build(*e.args[0]);
      const Node *ap = a.get();
      if (e.op == "NOT") {
        auto n = std::make_unique<NotNode>();
        setType(*n, ColumnType::Boolean);
        n->a = std::move(a);
        return fold(std::move(n), {ap});
      }
      auto n = std::make_unique<NegNode>();
      n->type = ap->type;
      n->typeKnown = ap->typeKnown;
      n->a = std::move(a);
      return fold(std::move(n), {ap});
    }
    case Expr::Kind::Binary: {
      NodePtr l = build(*e.args[0]);
      NodePtr r = build(*e.args[1]);
      const Node *lp = l.get(), *rp = r.get();
      const std::string &op = e.op;
      if (op == "AND" || op == "OR" || op == "XOR") {
        auto n = std::make_unique<LogicNode>();
        n->op = op == "AND" ? LogicNode::And : op == "OR" ? LogicNode::Or : LogicNode::Xor;
        setType(*n, ColumnType::Boolean);
        n->l = std::move(l);
        n->r = std::move(r);
        return fold(std::move(n), {lp, rp});
      }
      if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
        auto n = std::make_unique<CompareNode>();
        n->op = op == "="    ? CompareNode::Eq
                : op == "<>" ? CompareNode::Ne
                : op == "<"  ? CompareNode::Lt
                : op == ">"  ? CompareNode::Gt
                : op == "<=" ? CompareNode::Le
                             : CompareNode::Ge;
        setType(*n, ColumnType::Boolean);
        n->l = std::move(l);
        n->r = std::move(r);
        return fold(std::move(n), {lp, rp});
      }
      if (op == "&") {
        auto n = std::make_unique<ConcatNode>();
        setType(*n, ColumnType::Text, 255);
        n->l = std::move(l);
        n->r = std::move(r);
        return fold(std::move(n), {lp, rp});
      }
      auto n = std::make_unique<ArithNode>();
      n->op = op;
      arithType(*n, *lp, *rp);
      n->l = std::move(l);
      n->r = std::move(r);
      return fold(std::move(n), {lp, rp});
    }
    case Expr::Kind::IsNull: {
      auto n = std::make_unique<IsNullNode>();
      n->a = build(*e.args[0]);
      n->negated = e.negated;
      setType(*n, ColumnType::Boolean);
      const Node *ap = n->a.get();
      return fold(std::move(n), {ap});
    }
    case Expr::Kind::Like: {
      auto n = std::make_unique<LikeNode>();
      n->a = build(*e.args[0]);
      n->pattern = build(*e.args[1]);
      n->negated = e.negated;
      setType(*n, ColumnType::Boolean);
      if (n->pattern->constant()) {
        EvalContext ctx;
        Value tmp;
        const Value &p = n->pattern->eval(ctx, tmp);
        if (!p.isNull()) {
          if (!n->compiled.compile(toText(p)))
            raise(ErrorCode::Syntax, "Criterio LIKE non valido: parentesi quadra non chiusa in '" +
                                         toText(p) + "' (posizione " +
                                         std::to_string(e.args[1]->pos) + ").");
          n->fixed = true;
        }
      }
      const Node *ap = n->a.get(), *pp = n->pattern.get();
      return fold(std::move(n), {ap, pp});
    }
    case Expr::Kind::In: {
      auto n = std::make_unique<InNode>();
      n->a = build(*e.args[0]);
      std::vector<const Node *> kids{n->a.get()};
      for (size_t i = 1; i < e.args.size(); ++i) {
        n->list.push_back(build(*e.args[i]));
        kids.push_back(n->list.back().get());
      }
      n->negated = e.negated;
      setType(*n, ColumnType::Boolean);
      return fold(std::move(n), kids);
    }
    case Expr::Kind::Between: {
      auto n = std::make_unique<BetweenNode>();
      n->a = build(*e.args[0]);
      n->lo = build(*e.args[1]);
      n->hi = build(*e.args[2]);
      n->negated = e.negated;
      setType(*n, ColumnType::Boolean);
      std::vector<const Node *> kids{n->a.get(), n->lo.get(), n->hi.get()};
      return fold(std::move(n), kids);
    }
    case Expr::Kind::Function:
      return function(e);
    }
    syntax("espressione non riconosciuta", e.pos);
  }

  static void arithType(Node &n, const Node &l, const Node &r) {
    if (!l.typeKnown || !r.typeKnown) {
      return;
    }
    ColumnType a = l.type.type, b = r.type.type;
    auto isInt = [](ColumnType c) {
      return c == ColumnType::Byte || c == ColumnType::Integer || c == ColumnType::Long ||
             c == ColumnType::Boolean;
    };
    const std::string &op = static_cast<const ArithNode &>(n).op;
    if (op == "+" && a == ColumnType::Text && b == ColumnType::Text)
      setType(n, ColumnType::Text, 255);
    else if (op == "/" || op == "^")
      setType(n, ColumnType::Double);
    else if (op == "\\" || op == "MOD" || (isInt(a) && isInt(b)))
      setType(n, ColumnType::Long);
    else if ((op == "+" || op == "-") && (a == ColumnType::DateTime) != (b == ColumnType::DateTime))
      setType(n, ColumnType::DateTime);
    else if ((a == ColumnType::Currency || isInt(a)) && (b == ColumnType::Currency || isInt(b)))
      setType(n, ColumnType::Currency);
    else
      setType(n, ColumnType::Double);
  }

  NodePtr function(const Expr &e) {
    std::string u = toUpper(e.name);
    const FnInfo *info = nullptr;
    for (const auto &f : kFunctions)
      if (u == f.name)
        info = &f;
    if (!info)
      raise(ErrorCode::UndefinedFunction, "Funzione '" + e.name +
                                              "' non definita nell'espressione (posizione " +
                                              std::to_string(e.pos) + ").");
    int n = static_cast<int>(e.args.size());
    if (n < info->minArgs || n > info->maxArgs)
      raise(ErrorCode::Syntax, "Numero di argomenti errato per la funzione " + e.name +
                                   " (posizione " + std::to_string(e.pos) + ").");
    auto node = std::make_unique<FuncNode>();
    node->fn = info->fn;
    node->name = e.name;
    std::vector<const Node *> kids;
    for (size_t i = 0; i < e.args.size(); ++i) {
      bool lazy = (info->fn == Fn::IIf && i > 0) || (info->fn == Fn::Nz && i > 0);
      lazy_ += lazy;
      node->args.push_back(build(*e.args[i]));
      lazy_ -= lazy;
      kids.push_back(node->args.back().get());
    }
    switch (info->fn) {
    case Fn::IsEmpty:
    case Fn::IsNull:
      setType(*node, ColumnType::Boolean);
      break;
    case Fn::DateValue:
    case Fn::Date:
    case Fn::Now:
    case Fn::CDate:
      setType(*node, ColumnType::DateTime);
      break;
    case Fn::Year:
    case Fn::Month:
    case Fn::Day:
    case Fn::Hour:
    case Fn::Minute:
    case Fn::Second:
    case Fn::CInt:
      setType(*node, ColumnType::Integer);
      break;
    case Fn::Len:
    case Fn::CLng:
    case Fn::InStr:
      setType(*node, ColumnType::Long);
      break;
    case Fn::CDbl:
    case Fn::Val:
      setType(*node, ColumnType::Double);
      break;
    case Fn::CCur:
      setType(*node, ColumnType::Currency);
      break;
    case Fn::Nz:
      if (kids[0]->typeKnown) {
        node->type = kids[0]->type;
        node->typeKnown = true;
      }
      break;
    case Fn::IIf:
    case Fn::Abs:
    case Fn::Int:
    case Fn::Fix:
      if (kids.back()->typeKnown && info->fn != Fn::IIf) {
        node->type = kids.back()->type;
        node->typeKnown = true;
      }
      break;
    default:
      setType(*node, ColumnType::Text, 255);
      break;
    }
    node->type.name.clear();
    node->type.autoNumber = false;
    node->type.required = false;
    return fold(std::move(node), kids);
  }
};

} // namespace

CompiledExpr::CompiledExpr() = default;
CompiledExpr::CompiledExpr(CompiledExpr &&) noexcept = default;
CompiledExpr &CompiledExpr::operator=(CompiledExpr &&) noexcept = default;
CompiledExpr::~CompiledExpr() = default;

jet::Result<CompiledExpr> compileExpr(const Expr &e, const Scope &scope, jet::DateTime now) {
  try {
    Compiler c(scope, now);
    CompiledExpr out;
    out.root_ = c.compile(e);
    return out;
  } catch (EvalError &err) {
    return err.status;
  }
}

const Value &CompiledExpr::eval(const EvalContext &ctx, Value &scratch) const {
  return root_->eval(ctx, scratch);
}

bool CompiledExpr::holds(const EvalContext &ctx) const {
  Value s;
  const Value &v = root_->eval(ctx, s);
  if (v.is<bool>())
    return v.as<bool>();
  auto x = logicOperand(*root_, v);
  return x && *x != 0;
}

jet::Result<Value> CompiledExpr::evaluate(const Row &row, jet::DateTime now) const {
  try {
    EvalContext ctx{&row, now};
    Value s;
    return Value(eval(ctx, s));
  } catch (EvalError &err) {
    return err.status;
  }
}

jet::Result<bool> CompiledExpr::test(const Row &row, jet::DateTime now) const {
  try {
    EvalContext ctx{&row, now};
    return holds(ctx);
  } catch (EvalError &err) {
    return err.status;
  }
}

const ColumnDef &CompiledExpr::resultType() const {
  return root_->type;
}
bool CompiledExpr::resultTypeKnown() const {
  return root_->typeKnown;
}
int CompiledExpr::columnIndex() const {
  return root_->column;
}

int orderValues(const Value &a, const Value &b) {
  if (a.isNull() || b.isNull())
    return a.isNull() == b.isNull() ? 0 : a.isNull() ? -1 : 1;
  ValueKind ka = a.kind(), kb = b.kind();
  if (ka == ValueKind::Text && kb == ValueKind::Text)
    return compareText(a.as<std::string>(), b.as<std::string>());
  if (rankOf(a) != RNone && rankOf(b) != RNone) {
    ConstNode na, nb;
    return compareValues(na, a, nb, b);
  }
  if (ka == kb) {
    ConstNode na, nb;
    try {
      return compareValues(na, a, nb, b);
    } catch (EvalError &) {
    }
  }
  // Different kinds that do not compare: numbers, then texts, binaries and GUIDs.
  auto group = [](const Value &v) {
    if (rankOf(v) != RNone)
      return 0;
    return v.is<std::string>() ? 1 : v.is<jet::Bytes>() ? 2 : 3;
  };
  int ga = group(a), gb = group(b);
  return ga < gb ? -1 : ga > gb ? 1 : 0;
}

} // namespace sql

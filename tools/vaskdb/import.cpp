// vaskdb import: rows from a CSV file into a table, all of them in one transaction or none.
#include "command.h"
#include "data/engine_storage.h"
#include "jet/names.h"
#include "sql/convert.h"

#include <charconv>
#include <cstdio>
#include <fstream>

namespace vaskdb {

namespace {

struct CsvField {
  std::string text;
  bool quoted = false;
};

// RFC 4180 records: fields between quotes may hold delimiters, quotes doubled and line ends.
class CsvReader {
public:
  CsvReader(std::istream &in, char delimiter, char quote)
      : in_(in), delimiter_(delimiter), quote_(quote) {}

  // The next record; false at the end of the file. `line` is the line it starts on.
  jet::Result<bool> next(std::vector<CsvField> &fields, long &line) {
    fields.clear();
    int c = in_.get();
    if (c == EOF)
      return false;
    line = line_;
    fields.emplace_back();
    for (;; c = in_.get()) {
      CsvField &f = fields.back();
      if (c == '\r' && in_.peek() == '\n')
        continue;
      if (c == EOF || c == '\n') {
        ++line_;
        return true;
      }
      if (c == delimiter_) {
        fields.emplace_back();
      } else if (c == quote_ && f.text.empty() && !f.quoted) {
        f.quoted = true;
        JET_TRY(quotedText(f.text, line));
      } else {
        f.text += static_cast<char>(c);
      }
    }
  }

private:
  jet::Status quotedText(std::string &text, long start) {
    for (;;) {
      int c = in_.get();
      if (c == EOF)
        return jet::Status(jet::ErrorCode::InvalidArgument,
                           "Riga " + std::to_string(start) + ": virgolette non chiuse.");
      if (c == quote_) {
        if (in_.peek() != quote_)
          return jet::Status::ok();
        in_.get();
      } else if (c == '\n') {
        ++line_;
      }
      text += static_cast<char>(c);
    }
  }

  std::istream &in_;
  char delimiter_, quote_;
  long line_ = 1;
};

struct ImportOptions {
  bool italianNumbers = false;
  bool italianDates = false;
};

// A plain decimal "-123.4500" exactly, at most 28 digits; false otherwise.
bool parsePlainDecimal(std::string_view s, bool &negative, unsigned __int128 &magnitude,
                       unsigned &scale) {
  negative = !s.empty() && s[0] == '-';
  if (!s.empty() && (s[0] == '-' || s[0] == '+'))
    s.remove_prefix(1);
  magnitude = 0;
  scale = 0;
  int digits = 0;
  bool point = false;
  for (char c : s) {
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      if (++digits > 28)
        return false;
      magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
      scale += point;
    } else {
      return false;
    }
  }
  return digits > 0;
}

std::optional<double> parseIsoNumber(std::string_view s) {
  if (!s.empty() && s[0] == '+')
    s.remove_prefix(1);
  double d = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), d);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size())
    return std::nullopt;
  return d;
}

std::optional<jet::Bytes> parseHex(std::string_view s) {
  if (s.size() < 2 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X') || s.size() % 2 != 0)
    return std::nullopt;
  jet::Bytes b;
  for (size_t i = 2; i < s.size(); i += 2) {
    uint8_t v = 0;
    auto r = std::from_chars(s.data() + i, s.data() + i + 2, v, 16);
    if (r.ec != std::errc() || r.ptr != s.data() + i + 2)
      return std::nullopt;
    b.push_back(v);
  }
  return b;
}

std::optional<bool> parseBoolean(std::string s) {
  for (auto &c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char *t : {"1", "-1", "true", "vero", "sì", "si", "yes"})
    if (s == t)
      return true;
  for (const char *f : {"0", "false", "falso", "no"})
    if (s == f)
      return false;
  return std::nullopt;
}

// The value a field gives a column: an unquoted empty field is Null, texts are taken as they
// are, numbers and dates as the options say; the column's own rules then apply on insert.
jet::Result<jet::Value> fieldValue(const jet::ColumnDef &col, const CsvField &f,
                                   const ImportOptions &o) {
  using jet::ColumnType;
  using jet::Value;
  if (col.isText())
    return f.text.empty() && !f.quoted ? Value() : Value(f.text);
  if (f.text.empty())
    return Value();
  std::optional<Value> v;
  const std::string &s = f.text;
  switch (col.type) {
  case ColumnType::Boolean:
    if (auto b = parseBoolean(s))
      v = Value(*b);
    break;
  case ColumnType::Currency:
  case ColumnType::Numeric: {
    bool negative = false;
    unsigned __int128 m = 0;
    unsigned scale = 0;
    if (o.italianNumbers || !parsePlainDecimal(s, negative, m, scale)) {
      auto d = o.italianNumbers ? sql::parseNumber(s) : parseIsoNumber(s);
      if (d)
        v = Value(*d);
      break;
    }
    unsigned want = col.type == ColumnType::Currency ? 4 : col.scale;
    if (scale > want)
      break; // more decimals than the column keeps: refused rather than rounded
    for (; scale < want; ++scale)
      m *= 10;
    if (col.type == ColumnType::Currency) {
      if (m > static_cast<unsigned __int128>(INT64_MAX))
        break;
      int64_t units = static_cast<int64_t>(m);
      v = Value(jet::Currency{negative ? -units : units});
    } else {
      jet::Decimal d;
      d.negative = negative && m != 0;
      d.precision = col.precision;
      d.scale = col.scale;
      d.magnitude = m;
      v = Value(d);
    }
    break;
  }
  case ColumnType::Byte:
  case ColumnType::Integer:
  case ColumnType::Long:
  case ColumnType::Single:
  case ColumnType::Double:
    if (auto d = o.italianNumbers ? sql::parseNumber(s) : parseIsoNumber(s))
      v = Value(*d);
    break;
  case ColumnType::DateTime:
    if (o.italianDates) {
      if (auto d = sql::parseItalianDate(s, true))
        v = Value(*d);
    } else if (s.size() >= 10 && s[4] == '-' && s[7] == '-') {
      if (auto d = sql::parseDateLiteral(s))
        v = Value(*d);
    }
    break;
  case ColumnType::Binary:
  case ColumnType::Ole:
    if (auto b = parseHex(s))
      v = Value(std::move(*b));
    break;
  case ColumnType::Guid:
    v = Value(s);
    break;
  default:
    break;
  }
  if (!v)
    return jet::Status(jet::ErrorCode::TypeMismatch,
                       "valore non valido per il campo \"" + col.name + "\": \"" + s + "\".");
  return sql::convertForColumn(*v, data::toSqlColumn(col));
}

std::optional<char> oneCharacter(const Options &o, const std::string &name, char otherwise) {
  if (!o.has(name))
    return otherwise;
  std::string v = o.get(name, "");
  if (v == "\\t")
    return '\t';
  if (v.size() != 1)
    return std::nullopt;
  return v[0];
}

jet::Status importRows(jet::Database &db, const std::string &table, std::istream &in,
                       char delimiter, char quote, const ImportOptions &options, size_t &count) {
  auto def = db.table(table);
  if (!def)
    return def.status();
  const jet::TableDef &t = **def;
  CsvReader reader(in, delimiter, quote);
  std::vector<CsvField> fields;
  long line = 0;
  auto header = reader.next(fields, line);
  if (!header)
    return header.status();
  if (!*header)
    return jet::Status(jet::ErrorCode::InvalidArgument,
                       "Il file è vuoto: manca la riga con i nomi delle colonne.");
  if (!fields.empty() && fields[0].text.rfind("\xEF\xBB\xBF", 0) == 0)
    fields[0].text.erase(0, 3); // a byte-order mark
  std::vector<size_t> target;
  std::vector<bool> supplied(t.columns.size(), false);
  for (const auto &f : fields) {
    size_t found = t.columns.size();
    for (size_t i = 0; i < t.columns.size(); ++i)
      if (jet::equalsNoCase(t.columns[i].name, f.text))
        found = i;
    if (found == t.columns.size())
      return jet::Status(jet::ErrorCode::NoSuchColumn,
                         "Riga 1: la tabella " + t.name + " non ha la colonna \"" + f.text + "\".");
    if (supplied[found])
      return jet::Status(jet::ErrorCode::InvalidArgument,
                         "Riga 1: la colonna \"" + f.text + "\" compare due volte.");
    supplied[found] = true;
    target.push_back(found);
  }
  JET_TRY(db.begin());
  auto failed = [&](const std::string &message) {
    (void)db.rollback();
    return jet::Status(jet::ErrorCode::InvalidArgument,
                       "Riga " + std::to_string(line) + ": " + message);
  };
  std::vector<jet::Value> values;
  for (count = 0;;) {
    auto more = reader.next(fields, line);
    if (!more) {
      (void)db.rollback();
      return more.status();
    }
    if (!*more)
      break;
    if (fields.size() == 1 && fields[0].text.empty() && !fields[0].quoted)
      continue; // a blank line
    if (fields.size() != target.size())
      return failed("attesi " + std::to_string(target.size()) + " campi, trovati " +
                    std::to_string(fields.size()) + ".");
    values.assign(t.columns.size(), jet::Value());
    for (size_t k = 0; k < fields.size(); ++k) {
      auto v = fieldValue(t.columns[target[k]], fields[k], options);
      if (!v)
        return failed(v.status().message());
      values[target[k]] = std::move(*v);
    }
    auto at = db.insertRow(t.name, values, supplied);
    if (!at)
      return failed(at.status().message());
    ++count;
  }
  jet::Status st = db.commit();
  if (!st)
    (void)db.rollback();
  return st;
}

} // namespace

int runImport(const Args &args) {
  const Command &cmd = *findCommand("import");
  auto o = parseOptions(
      cmd, args,
      {{"delimiter", 'd', true}, {"quote", 'q', true}, {"dates", 0, true}, {"numbers", 0, true}}, 3,
      3);
  if (!o)
    return kUsage;
  ImportOptions options;
  for (const char *name : {"dates", "numbers"}) {
    std::string v = o->get(name, "iso");
    if (v != "iso" && v != "it")
      return usageError(cmd, "valore di --" + std::string(name) + " sconosciuto: \"" + v +
                                 "\" (iso o it).");
    (name[0] == 'd' ? options.italianDates : options.italianNumbers) = v == "it";
  }
  auto delimiter = oneCharacter(*o, "delimiter", ',');
  auto quote = oneCharacter(*o, "quote", '"');
  if (!delimiter || !quote)
    return usageError(cmd, "il separatore e le virgolette sono un carattere ciascuno.");

  std::ifstream in(o->positional[2], std::ios::binary);
  if (!in)
    return fail("Impossibile leggere il file \"" + o->positional[2] + "\".");
  auto db = jet::Database::open(o->positional[0], jet::OpenMode::ReadWrite);
  if (!db)
    return fail(db.status());
  size_t count = 0;
  jet::Status st = importRows(**db, o->positional[1], in, *delimiter, *quote, options, count);
  if (!st)
    return fail(st.message() + " Nessuna riga è stata importata.");
  if (count == 1)
    std::printf("importata 1 riga\n");
  else
    std::printf("importate %zu righe\n", count);
  return kOk;
}

} // namespace vaskdb

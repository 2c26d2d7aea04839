// vaskdb sql: one statement from the command line, or many from standard input in one
// transaction (all of them or none).
#include "command.h"
#include "data/connection.h"
#include "data/man_db.h"
#include "jet/csv_export.h"

#include <cstdio>
#include <iostream>

namespace vaskdb {

namespace {

std::string csvOf(const data::Recordset &rs) {
  std::string out;
  for (int i = 0; i < rs.fieldCount(); ++i) {
    if (i)
      out += ',';
    jet::appendCsvField(out, jet::Value(rs.fields()[i].name));
  }
  out += '\n';
  for (long r = 0; r < rs.RecordCount(); ++r) {
    for (int i = 0; i < rs.fieldCount(); ++i) {
      if (i)
        out += ',';
      jet::appendCsvField(out, rs.valueAt(r, i));
    }
    out += '\n';
  }
  return out;
}

bool isQuery(const std::string &statement) {
  size_t i = statement.find_first_not_of(" \t\r\n(");
  if (i == std::string::npos || statement.size() - i < 6)
    return false;
  std::string head = statement.substr(i, 6);
  for (auto &c : head)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (head != "select")
    return false;
  std::string low = statement;
  for (auto &c : low)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return low.find(" into ") == std::string::npos;
}

// Runs one statement and prints its result.
jet::Status runOne(data::Connection &conn, const std::string &statement) {
  if (isQuery(statement)) {
    auto rs = conn.OpenRecordset(statement, data::CursorType::Keyset, data::LockType::ReadOnly);
    if (!rs)
      return rs.status();
    std::string text = csvOf(**rs);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return {};
  }
  int64_t affected = 0;
  JET_TRY(conn.Execute(statement, &affected));
  std::printf("%lld\n", static_cast<long long>(affected < 0 ? 0 : affected));
  return {};
}

} // namespace

int runSql(const Args &args) {
  if (!checkArgs(*findCommand("sql"), args, 1, 2))
    return kUsage;
  data::ManDB gestore(nullptr);
  auto conn = gestore.get_Conn(args[0]);
  if (!conn)
    return fail(conn.status());
  if (args.size() == 2) {
    jet::Status st = runOne(**conn, args[1]);
    return st ? 0 : fail(st);
  }
  jet::Status st = (*conn)->BeginTrans();
  if (!st)
    return fail(st);
  std::string line;
  int number = 0;
  while (std::getline(std::cin, line)) {
    ++number;
    if (line.find_first_not_of(" \t\r") == std::string::npos)
      continue;
    st = runOne(**conn, line);
    if (!st) {
      (*conn)->RollbackTrans();
      return fail("Riga " + std::to_string(number) + ": " + st.message() +
                  " Nessuna istruzione è stata eseguita.");
    }
  }
  st = (*conn)->CommitTrans();
  return st ? 0 : fail(st);
}

} // namespace vaskdb

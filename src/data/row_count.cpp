#include "data/row_count.h"

#include "data/shared_database.h"

namespace data {

jet::Result<long> ContaRighe(Connection &conn, const std::string &table) {
  if (!conn.isOpen())
    return jet::Status(jet::ErrorCode::Closed, "La connessione non è aperta.");
  SharedDatabase &db = conn.database();
  jet::ReadScope read(db.engine());
  JET_TRY(read.status());
  const bool propria = !db.transactionOwner() || db.transactionOwner() == &conn;
  auto cur = propria ? db.engine().cursor(table) : db.engine().committedCursor(table);
  if (!cur)
    return cur.status();
  long n = 0;
  for (;;) {
    auto more = cur->next();
    if (!more)
      return more.status();
    if (!*more)
      return n;
    ++n;
  }
}

} // namespace data

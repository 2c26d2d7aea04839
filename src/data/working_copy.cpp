#include "data/working_copy.h"

#include "data/shared_database.h"
#include "jet/table_ops.h"

namespace data {

namespace {
jet::Status closed() {
  return {jet::ErrorCode::Closed, "La connessione non è aperta."};
}
} // namespace

jet::Status CopiaTabella(Connection &conn, const std::string &source, const std::string &target) {
  if (!conn.isOpen())
    return closed();
  SharedDatabase &db = conn.database();
  const Connection *owner = db.transactionOwner();
  if (owner && owner != &conn)
    return {jet::ErrorCode::Locked,
            "Il database è impegnato in una transazione di un'altra connessione."};
  jet::Status st = jet::copyTable(db.engine(), source, target);
  db.storage().invalidate();
  return st;
}

jet::Result<long> ContaRighe(Connection &conn, const std::string &table) {
  if (!conn.isOpen())
    return closed();
  SharedDatabase &db = conn.database();
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

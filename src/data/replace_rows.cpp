#include "data/replace_rows.h"

#include "data/shared_database.h"

namespace data {

namespace {
template <typename S>
jet::Result<jet::ReplaceCounts> run(Connection &conn, const std::string &table, S &&source) {
  if (!conn.isOpen())
    return jet::Status(jet::ErrorCode::Closed, "La connessione non è aperta.");
  SharedDatabase &db = conn.database();
  const Connection *owner = db.transactionOwner();
  if (owner && owner != &conn)
    return jet::Status(jet::ErrorCode::Locked,
                       "Il database è impegnato in una transazione di un'altra connessione.");
  auto r = jet::replaceRows(db.engine(), table, std::forward<S>(source));
  db.storage().invalidate();
  return r;
}
} // namespace

jet::Result<jet::ReplaceCounts> SostituisciRighe(Connection &conn, const std::string &table,
                                                 const std::string &source) {
  return run(conn, table, std::string_view(source));
}

jet::Result<jet::ReplaceCounts> SostituisciRighe(Connection &conn, const std::string &table,
                                                 jet::SourceRows source) {
  return run(conn, table, std::move(source));
}

} // namespace data

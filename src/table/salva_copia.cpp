#include "table/salva_copia.h"

#include "data/connection.h"
#include "data/replace_rows.h"
#include "data/shared_database.h"
#include "table/sql_sicuro.h"

namespace tabelle {

jet::Result<jet::ReplaceCounts> SalvaCopia(data::Connection &conn, const std::string &reale,
                                           const std::string &copia) {
  auto nomeCopia = NomeSql(copia);
  if (!nomeCopia)
    return nomeCopia.status();
  JET_TRY(conn.BeginTrans());
  auto conteggi = data::SostituisciRighe(conn, reale, copia);
  jet::Status st = conteggi.status();
  if (st)
    st = conn.Execute("DROP table " + *nomeCopia);
  if (st)
    st = conn.CommitTrans();
  else if (conn.inTransaction())
    (void)conn.RollbackTrans();
  conn.database().storage().invalidate();
  if (!st)
    return st;
  return conteggi;
}

} // namespace tabelle

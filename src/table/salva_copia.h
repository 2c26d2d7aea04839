#pragma once
// The save of the working copy: the real table keeps its definition (keys, indexes, counters,
// rules, relationships) and is brought to the copy's rows. Rows are matched by the primary key,
// or by their whole values where the table has none; only rows that changed are written.
#include "jet/status.h"
#include "jet/value.h"
#include "sql/storage.h"

#include <string>
#include <vector>

namespace data {
class Connection;
}

namespace tabelle {

// Brings `reale` to the rows of `copia` inside the transaction the caller holds. chiave names
// the columns of the primary key of `reale` (empty: none). On a broken rule the Status names the
// rule and the row; the caller rolls back.
jet::Status AllineaTabella(sql::Database &db, const std::string &reale, const std::string &copia,
                           const std::vector<std::string> &chiave);

// The columns of the table's primary key, in key order (empty where it has none).
jet::Result<std::vector<std::string>> ChiavePrimaria(data::Connection &conn,
                                                     const std::string &tabella);

// The whole save on the connection, in one transaction: the real table brought to the copy's
// rows and the copy dropped. Any failure rolls everything back and nothing changes.
jet::Status SalvaCopia(data::Connection &conn, const std::string &reale, const std::string &copia);

} // namespace tabelle

#pragma once
// The save of the working copy: the real table keeps its definition (keys, indexes, counters,
// rules, relationships) and is brought to the copy's rows by data::SostituisciRighe, which writes
// only the rows that changed.
#include "jet/replace_rows.h"
#include "jet/status.h"

#include <string>

namespace data {
class Connection;
}

namespace tabelle {

// The whole save on the connection, in one transaction: the real table brought to the copy's
// rows and the copy dropped. Any failure rolls everything back: the real table is as it was, the
// copy is still there, and the message names the rule and the row.
jet::Result<jet::ReplaceCounts> SalvaCopia(data::Connection &conn, const std::string &reale,
                                           const std::string &copia);

} // namespace tabelle

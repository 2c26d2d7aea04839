#pragma once
// The save of a working copy: the real table brought to the copy's rows in one transaction,
// changing only the rows that differ, with every rule of the table and its relationships kept
// (jet/replace_rows.h). On failure nothing changes and the message names the rule and the row.
#include "data/connection.h"
#include "jet/replace_rows.h"

#include <string>

namespace data {

// `source` is a table of the same database (the working copy). Inside the connection's open
// transaction it runs under a savepoint of it; otherwise in a transaction of its own.
jet::Result<jet::ReplaceCounts> SostituisciRighe(Connection &conn, const std::string &table,
                                                 const std::string &source);
// The same from rows held in memory.
jet::Result<jet::ReplaceCounts> SostituisciRighe(Connection &conn, const std::string &table,
                                                 jet::SourceRows source);

} // namespace data

#pragma once
// The count of a table's rows without reading their values, where the program only needs how many
// rows "select * from" the table would give (the table list, the bulk delete's message).
#include "data/connection.h"

#include <string>

namespace data {

// The rows of the table as the connection sees them: with its own transaction's changes, without
// those of another connection's transaction.
jet::Result<long> ContaRighe(Connection &conn, const std::string &table);

} // namespace data

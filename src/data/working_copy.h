#pragma once
// The working copy's two bulk needs that SQL text would do row by row: the copy as
// SELECT * INTO makes it (the source's columns, none of its keys, indexes, counters or required
// flags, every row in order) written by the engine's bulk path, and the count of a table's rows
// without reading their values.
#include "data/connection.h"

#include <string>

namespace data {

// Inside the connection's open transaction it runs under a savepoint of it; otherwise in a
// transaction of its own. A failure changes nothing.
jet::Status CopiaTabella(Connection &conn, const std::string &source, const std::string &target);

// The rows of the table as the connection sees them: with its own transaction's changes, without
// those of another connection's transaction.
jet::Result<long> ContaRighe(Connection &conn, const std::string &table);

} // namespace data

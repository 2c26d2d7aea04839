#pragma once
// The demo database: the suite's transaction and master tables, `Voci` with the fiscal year,
// realistic Italian data.
#include "jet/status.h"

#include <cstdint>
#include <string>

namespace vaskdb {

// `rows` scales the transaction tables (BUONI gets that many rows, the others a share of it).
jet::Status buildDemoDatabase(const std::string &path, uint32_t rows, uint32_t seed = 2005);

} // namespace vaskdb

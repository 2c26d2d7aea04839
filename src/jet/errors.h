#pragma once
// Italian error texts of the engine, built in one place so every layer words them alike.
#include "jet/status.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace jet {

// A damaged page: "Il database è danneggiato: pagina N: detail."
Status corruptPage(uint32_t page, std::string_view detail);
// A damaged structure that is not tied to one page.
Status corrupt(std::string_view detail);
// Names the table in a damage report (once; later calls leave it as it is).
Status inTable(Status status, std::string_view table);

// A Null in a required column, in the words Access uses.
Status requiredNull(std::string_view table, std::string_view column);
// A Null in a column of the primary key or of another index that refuses Null.
Status nullInKey(std::string_view table, std::string_view column, bool primary,
                 std::string_view index);

Status ioError(std::string_view path, std::string_view what, int err);

} // namespace jet

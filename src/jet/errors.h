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

Status ioError(std::string_view path, std::string_view what, int err);

} // namespace jet

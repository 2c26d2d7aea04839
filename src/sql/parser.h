#pragma once
#include "jet/status.h"
#include "sql/ast.h"

#include <string_view>

namespace sql {

// Parses one statement; an optional final ";" is allowed.
jet::Result<Statement> parseStatement(std::string_view sql);

} // namespace sql

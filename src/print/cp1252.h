#pragma once
// The report file is Windows-1252 text: conversions between it and the program's UTF-8.
#include <string>
#include <string_view>

namespace print {

// UTF-8 to Windows-1252, one byte per character. A character the code page lacks becomes "?",
// as the Windows conversion writes it; a malformed byte counts as one such character.
std::string utf8ToCp1252(std::string_view utf8);

// Windows-1252 to UTF-8. The five unassigned bytes map to the C1 controls of the same number.
std::string cp1252ToUtf8(std::string_view bytes);

} // namespace print

#pragma once
// Splits Jet SQL text into tokens. Keywords are plain names here; the parser recognises them
// without regard to case, and never inside brackets.
#include "jet/status.h"

#include <string>
#include <string_view>
#include <vector>

namespace sql {

enum class TokenKind {
  End,
  Name,       // bare name or keyword
  QuotedName, // [name]
  Number,
  String, // 'text' or "text", quotes undoubled
  Date,   // #...#, the text between the signs
  Symbol, // = <> < > <= >= + - * / \ & ^ ( ) , ; . !
  Error,  // text: the description of a lexical error; always the last token
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;
  size_t pos = 0; // 1-based character position in the statement
};

jet::Result<std::vector<Token>> tokenize(std::string_view sql);

// Italian description of a syntax error at a position.
jet::Status syntaxError(const std::string &where, const std::string &detail, size_t pos);

} // namespace sql

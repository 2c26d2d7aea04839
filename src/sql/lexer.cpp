#include "sql/lexer.h"

namespace sql {

namespace {

bool isNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool isNameChar(unsigned char c) {
  return isNameStart(c) || (c >= '0' && c <= '9');
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

} // namespace

jet::Status syntaxError(const std::string &where, const std::string &detail, size_t pos) {
  return {jet::ErrorCode::Syntax, "Errore di sintassi " + where + ": " + detail + " (posizione " +
                                      std::to_string(pos) + ")."};
}

jet::Result<std::vector<Token>> tokenize(std::string_view s) {
  std::vector<Token> out;
  // A lexical error becomes a last token, so that an earlier syntax error is reported first.
  auto failAt = [&out](const std::string &where, const std::string &detail, size_t pos) {
    Token e;
    e.kind = TokenKind::Error;
    e.text = syntaxError(where, detail, pos).message();
    e.pos = pos;
    out.push_back(std::move(e));
    return std::move(out);
  };
  size_t i = 0;
  size_t charPos = 1; // character position of s[i]
  auto advance = [&](size_t to) {
    for (; i < to; ++i)
      if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80)
        ++charPos;
  };
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      advance(i + 1);
      continue;
    }
    Token t;
    t.pos = charPos;
    if (isNameStart(c)) {
      size_t j = i;
      while (j < s.size() && isNameChar(static_cast<unsigned char>(s[j])))
        ++j;
      t.kind = TokenKind::Name;
      t.text = std::string(s.substr(i, j - i));
      advance(j);
    } else if (isDigit(static_cast<char>(c)) ||
               (c == '.' && i + 1 < s.size() && isDigit(s[i + 1]))) {
      size_t j = i;
      while (j < s.size() && isDigit(s[j]))
        ++j;
      if (j < s.size() && s[j] == '.') {
        ++j;
        while (j < s.size() && isDigit(s[j]))
          ++j;
      }
      if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
        size_t k = j + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-'))
          ++k;
        if (k < s.size() && isDigit(s[k])) {
          while (k < s.size() && isDigit(s[k]))
            ++k;
          j = k;
        }
      }
      if (j < s.size() && isNameStart(static_cast<unsigned char>(s[j])))
        return failAt("nell'espressione", "numero non valido", t.pos);
      t.kind = TokenKind::Number;
      t.text = std::string(s.substr(i, j - i));
      advance(j);
    } else if (c == '\'' || c == '"') {
      char q = static_cast<char>(c);
      size_t j = i + 1;
      std::string text;
      bool closed = false;
      while (j < s.size()) {
        if (s[j] == q) {
          if (j + 1 < s.size() && s[j + 1] == q) {
            text += q;
            j += 2;
            continue;
          }
          closed = true;
          ++j;
          break;
        }
        text += s[j++];
      }
      if (!closed)
        return failAt("nella stringa", "testo senza l'apice di chiusura", t.pos);
      t.kind = TokenKind::String;
      t.text = std::move(text);
      advance(j);
    } else if (c == '[') {
      size_t j = s.find(']', i + 1);
      if (j == std::string_view::npos)
        return failAt("nel nome", "parentesi quadra di chiusura mancante", t.pos);
      t.kind = TokenKind::QuotedName;
      t.text = std::string(s.substr(i + 1, j - i - 1));
      if (t.text.empty())
        return failAt("nel nome", "nome vuoto tra parentesi quadre", t.pos);
      advance(j + 1);
    } else if (c == '#') {
      size_t j = s.find('#', i + 1);
      if (j == std::string_view::npos)
        return failAt("nella data", "segno # di chiusura mancante", t.pos);
      t.kind = TokenKind::Date;
      t.text = std::string(s.substr(i + 1, j - i - 1));
      advance(j + 1);
    } else {
      std::string_view two = s.substr(i, 2);
      t.kind = TokenKind::Symbol;
      if (two == "<>" || two == "<=" || two == ">=") {
        t.text = std::string(two);
        advance(i + 2);
      } else if (std::string_view("=<>+-*/\\&^(),;.!").find(static_cast<char>(c)) !=
                 std::string_view::npos) {
        t.text = std::string(1, static_cast<char>(c));
        advance(i + 1);
      } else {
        return failAt("nell'istruzione",
                      "carattere non valido '" + std::string(s.substr(i, 1)) + "'", t.pos);
      }
    }
    out.push_back(std::move(t));
  }
  Token end;
  end.pos = charPos;
  out.push_back(end);
  return out;
}

} // namespace sql

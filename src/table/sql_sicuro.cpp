#include "table/sql_sicuro.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tabelle {

namespace {

std::string numeroDouble(double d) {
  if (!std::isfinite(d))
    return {};
  char buf[64];
  // The shortest text that reads back as the same value, always with a full stop.
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  std::string s(buf, r.ptr);
  if (s.find_first_of("eE") != std::string::npos) {
    std::snprintf(buf, sizeof buf, "%.17g", d);
    s = buf;
  }
  return s;
}

// A single is compared as the double it widens to: written as that double it matches itself.
std::string numeroFloat(float f) {
  return numeroDouble(static_cast<double>(f));
}

std::string decimaleScalato(unsigned __int128 m, int scala, bool negativo) {
  std::string cifre;
  do {
    cifre.insert(cifre.begin(), char('0' + int(m % 10)));
    m /= 10;
  } while (m != 0);
  if (scala > 0) {
    while (static_cast<int>(cifre.size()) <= scala)
      cifre.insert(cifre.begin(), '0');
    cifre.insert(cifre.end() - scala, '.');
  }
  return (negativo ? "-" : "") + cifre;
}

std::string due(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n);
  return b;
}

} // namespace

jet::Result<std::string> NomeSql(const std::string &nome) {
  if (nome.find(']') != std::string::npos)
    return jet::Status{jet::ErrorCode::InvalidName,
                       "Il nome \"" + nome + "\" contiene una parentesi quadra chiusa."};
  return "[" + nome + "]";
}

jet::Result<std::string> LetteraleSql(const jet::Value &v) {
  const auto &s = v.storage();
  switch (s.index()) {
  case 0:
    return std::string("Null");
  case 1:
    return std::string(v.as<bool>() ? "True" : "False");
  case 2:
    return std::to_string(v.as<uint8_t>());
  case 3:
    return std::to_string(v.as<int16_t>());
  case 4:
    return std::to_string(v.as<int32_t>());
  case 5: {
    int64_t u = v.as<jet::Currency>().units;
    bool neg = u < 0;
    unsigned __int128 m =
        neg ? static_cast<unsigned __int128>(-(__int128)u) : static_cast<unsigned __int128>(u);
    return decimaleScalato(m, 4, neg);
  }
  case 6:
  case 7: {
    std::string t = s.index() == 6 ? numeroFloat(v.as<float>()) : numeroDouble(v.as<double>());
    if (t.empty())
      return jet::Status{jet::ErrorCode::InvalidArgument,
                         "Il valore numerico non è un numero finito."};
    return t;
  }
  case 8: {
    jet::CivilDateTime c = jet::toCivil(v.as<jet::DateTime>());
    std::string t = "#" + std::to_string(c.year) + "-" + due(c.month) + "-" + due(c.day);
    if (c.hour || c.minute || c.second)
      t += " " + due(c.hour) + ":" + due(c.minute) + ":" + due(c.second);
    return t + "#";
  }
  case 9: {
    std::string out = "'";
    for (char ch : v.as<std::string>()) {
      out += ch;
      if (ch == '\'')
        out += '\'';
    }
    return out + "'";
  }
  case 12: {
    const jet::Decimal &d = v.as<jet::Decimal>();
    return decimaleScalato(d.magnitude, d.scale, d.negative && d.magnitude != 0);
  }
  default:
    return jet::Status{jet::ErrorCode::TypeMismatch,
                       "Un valore binario, un oggetto OLE o un identificativo di replica non "
                       "può essere scritto in una condizione."};
  }
}

jet::Result<std::string> CondizioneUguale(const data::Field &campo, const jet::Value &v) {
  auto nome = NomeSql(campo.name);
  if (!nome)
    return nome.status();
  if (v.isNull())
    return *nome + " IS NULL";
  auto lett = LetteraleSql(v);
  if (!lett)
    return jet::Status{lett.status().code(), "Impossibile filtrare sul campo " + campo.name + ": " +
                                                 lett.status().message()};
  return *nome + " = " + *lett;
}

bool SenzaCondizioni(const std::string &c) {
  size_t a = c.find_first_not_of(' ');
  size_t b = c.find_last_not_of(' ');
  if (a == std::string::npos)
    return true;
  std::string t = c.substr(a, b - a + 1);
  if (t.size() != 5)
    return false;
  for (size_t i = 0; i < 5; ++i)
    if (std::toupper(static_cast<unsigned char>(t[i])) != "WHERE"[i])
      return false;
  return true;
}

void AggiungiCondizione(std::string &condizioneFiltro, const std::string &condizione) {
  std::string su = condizioneFiltro;
  for (char &ch : su)
    ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  if (su != "WHERE ")
    condizioneFiltro += " AND ";
  condizioneFiltro += condizione;
}

std::string FormatoConteggio(long n) {
  bool neg = n < 0;
  unsigned long m = neg ? static_cast<unsigned long>(-n) : static_cast<unsigned long>(n);
  std::string cifre = std::to_string(m);
  std::string out;
  int k = 0;
  for (auto it = cifre.rbegin(); it != cifre.rend(); ++it, ++k) {
    if (k && k % 3 == 0)
      out.insert(out.begin(), '.');
    out.insert(out.begin(), *it);
  }
  return (neg ? "-" : "") + out;
}

std::string TestoContatore(long posizione, long totale, bool filtrati) {
  return "Record " + FormatoConteggio(posizione) + " di " + FormatoConteggio(totale) +
         (filtrati ? " (filtrati)" : "");
}

} // namespace tabelle

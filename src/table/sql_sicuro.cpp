#include "table/sql_sicuro.h"

#include "sql/literal.h"

#include <cctype>

namespace tabelle {

jet::Result<std::string> NomeSql(const std::string &nome) {
  return sql::checkedName(nome);
}

jet::Result<std::string> LetteraleSql(const jet::Value &v) {
  return sql::checkedLiteral(v);
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

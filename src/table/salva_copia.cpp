#include "table/salva_copia.h"

#include "data/connection.h"
#include "data/shared_database.h"
#include "table/sql_sicuro.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>

namespace tabelle {

namespace {

std::string minuscolo(std::string s) {
  for (char &c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

int indiceColonna(const std::vector<sql::ColumnDef> &colonne, const std::string &nome) {
  std::string n = minuscolo(nome);
  for (size_t i = 0; i < colonne.size(); ++i)
    if (minuscolo(colonne[i].name) == n)
      return static_cast<int>(i);
  return -1;
}

struct Riga {
  sql::RowId id = 0;
  sql::Row valori;
};

jet::Result<std::vector<Riga>> leggiTutto(sql::Table &t) {
  std::vector<Riga> out;
  auto c = t.scan();
  for (;;) {
    Riga r;
    auto piu = c->next(r.id, r.valori);
    if (!piu)
      return piu.status();
    if (!*piu)
      break;
    out.push_back(std::move(r));
  }
  return out;
}

// Values compared as stored; a Null key never matches.
using Chiave = std::vector<jet::Value>;

bool chiaveNulla(const Chiave &k) {
  return std::any_of(k.begin(), k.end(), [](const jet::Value &v) { return v.isNull(); });
}

// A strict order over values of one column, for the maps below.
bool minore(const jet::Value &a, const jet::Value &b) {
  if (a.storage().index() != b.storage().index())
    return a.storage().index() < b.storage().index();
  return std::visit(
      [&](const auto &x) -> bool {
        using T = std::decay_t<decltype(x)>;
        const T &y = std::get<T>(b.storage());
        if constexpr (std::is_same_v<T, std::monostate>)
          return false;
        else if constexpr (std::is_same_v<T, jet::Decimal>)
          return std::tie(x.negative, x.scale, x.magnitude) <
                 std::tie(y.negative, y.scale, y.magnitude);
        else
          return x < y;
      },
      a.storage());
}

struct MinoreRiga {
  bool operator()(const std::vector<jet::Value> &a, const std::vector<jet::Value> &b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), minore);
  }
};

std::string descriviChiave(const std::vector<sql::ColumnDef> &colonne,
                           const std::vector<int> &indici, const sql::Row &valori) {
  std::string out;
  for (int i : indici) {
    if (!out.empty())
      out += ", ";
    auto l = LetteraleSql(valori[i]);
    out += colonne[i].name + " = " + (l ? *l : std::string("?"));
  }
  return out;
}

std::string nomeRegola(jet::ErrorCode c) {
  switch (c) {
  case jet::ErrorCode::DuplicateKey:
    return "chiave o indice univoco duplicato";
  case jet::ErrorCode::RequiredNull:
    return "valore obbligatorio mancante";
  case jet::ErrorCode::TextTooLong:
    return "testo più lungo del campo";
  case jet::ErrorCode::OutOfRange:
    return "numero fuori dall'intervallo del campo";
  case jet::ErrorCode::TypeMismatch:
    return "valore di tipo non compatibile";
  case jet::ErrorCode::RelationshipParent:
    return "relazione: manca la riga collegata";
  case jet::ErrorCode::RelationshipChildren:
    return "relazione: la riga è ancora usata da altre righe";
  case jet::ErrorCode::KeyNotEncodable:
    return "chiave di testo non codificabile";
  default:
    return {};
  }
}

jet::Status violazione(const jet::Status &st, const std::string &riga) {
  std::string regola = nomeRegola(st.code());
  std::string testo = "Regola violata";
  if (!regola.empty())
    testo += " (" + regola + ")";
  testo += ": " + st.message() + "\r\n" + riga + ".";
  return {st.code(), testo};
}

} // namespace

jet::Status AllineaTabella(sql::Database &db, const std::string &reale, const std::string &copia,
                           const std::vector<std::string> &chiave) {
  auto tr = db.table(reale);
  if (!tr)
    return tr.status();
  auto tc = db.table(copia);
  if (!tc)
    return tc.status();
  sql::Table &R = **tr;
  sql::Table &C = **tc;
  const auto &colR = R.columns();
  const auto &colC = C.columns();

  // Where each real column is in the copy's rows (-1: the copy lacks it, it stays Null).
  std::vector<int> mappa(colR.size());
  for (size_t i = 0; i < colR.size(); ++i)
    mappa[i] = indiceColonna(colC, colR[i].name);

  std::vector<int> indiciChiave;
  for (const auto &k : chiave) {
    int i = indiceColonna(colR, k);
    if (i < 0)
      return {jet::ErrorCode::NoSuchColumn, "Il campo chiave " + k + " non esiste."};
    indiciChiave.push_back(i);
  }

  auto righeR = leggiTutto(R);
  if (!righeR)
    return righeR.status();
  auto righeC = leggiTutto(C);
  if (!righeC)
    return righeC.status();

  // The copy's rows in the real table's column order.
  std::vector<sql::Row> nuove;
  nuove.reserve(righeC->size());
  for (const auto &r : *righeC) {
    sql::Row v(colR.size());
    for (size_t i = 0; i < colR.size(); ++i)
      if (mappa[i] >= 0 && mappa[i] < static_cast<int>(r.valori.size()))
        v[i] = r.valori[mappa[i]];
    nuove.push_back(std::move(v));
  }

  auto chiaveDi = [&](const sql::Row &v) {
    Chiave k;
    for (int i : indiciChiave)
      k.push_back(v[i]);
    return k;
  };
  auto nomeRigaCopia = [&](size_t n) {
    std::string t = "Riga " + std::to_string(n + 1) + " della copia di lavoro";
    if (!indiciChiave.empty())
      t += " (" + descriviChiave(colR, indiciChiave, nuove[n]) + ")";
    return t;
  };

  std::vector<bool> usata(righeR->size(), false);
  // For each copy row: the real row it replaces (index into righeR), or none.
  std::vector<std::optional<size_t>> abbinata(nuove.size());

  if (!indiciChiave.empty()) {
    std::map<Chiave, size_t, MinoreRiga> perChiave;
    for (size_t i = 0; i < righeR->size(); ++i)
      perChiave.emplace(chiaveDi((*righeR)[i].valori), i);
    for (size_t n = 0; n < nuove.size(); ++n) {
      Chiave k = chiaveDi(nuove[n]);
      if (chiaveNulla(k))
        continue;
      auto it = perChiave.find(k);
      if (it != perChiave.end() && !usata[it->second]) {
        usata[it->second] = true;
        abbinata[n] = it->second;
      }
    }
  } else {
    std::multimap<sql::Row, size_t, MinoreRiga> perValori;
    for (size_t i = 0; i < righeR->size(); ++i)
      perValori.emplace((*righeR)[i].valori, i);
    for (size_t n = 0; n < nuove.size(); ++n) {
      auto it = perValori.find(nuove[n]);
      if (it != perValori.end()) {
        usata[it->second] = true;
        abbinata[n] = it->second;
        perValori.erase(it);
      }
    }
  }

  // Rows gone from the copy first, so that their keys and unique values are free again.
  for (size_t i = 0; i < righeR->size(); ++i) {
    if (usata[i])
      continue;
    jet::Status st = R.remove((*righeR)[i].id);
    if (!st) {
      std::string t = "Riga della tabella " + reale + " eliminata nella copia";
      if (!indiciChiave.empty())
        t += " (" + descriviChiave(colR, indiciChiave, (*righeR)[i].valori) + ")";
      return violazione(st, t);
    }
  }
  for (size_t n = 0; n < nuove.size(); ++n) {
    if (!abbinata[n] || (*righeR)[*abbinata[n]].valori == nuove[n])
      continue;
    jet::Status st = R.update((*righeR)[*abbinata[n]].id, nuove[n]);
    if (!st)
      return violazione(st, nomeRigaCopia(n));
  }
  for (size_t n = 0; n < nuove.size(); ++n) {
    if (abbinata[n])
      continue;
    std::vector<bool> dati(colR.size(), true);
    // An autonumber left empty takes the next number; a column the copy lacks its default.
    for (size_t i = 0; i < colR.size(); ++i)
      if (mappa[i] < 0 || (colR[i].autoNumber && nuove[n][i].isNull()))
        dati[i] = false;
    auto r = R.insert(nuove[n], dati);
    if (!r)
      return violazione(r.status(), nomeRigaCopia(n));
  }
  return {};
}

jet::Result<std::vector<std::string>> ChiavePrimaria(data::Connection &conn,
                                                     const std::string &tabella) {
  auto def = conn.database().engine().table(tabella);
  if (!def)
    return def.status();
  std::vector<std::string> out;
  for (const auto &li : (*def)->indexes) {
    if (!li.isPrimaryKey() || li.physical >= (*def)->physicalIndexes.size())
      continue;
    for (const auto &ic : (*def)->physicalIndexes[li.physical].columns)
      if (const auto *c = (*def)->columnByNumber(ic.columnNumber))
        out.push_back(c->name);
    break;
  }
  return out;
}

jet::Status SalvaCopia(data::Connection &conn, const std::string &reale, const std::string &copia) {
  auto chiave = ChiavePrimaria(conn, reale);
  if (!chiave)
    return chiave.status();
  auto nomeCopia = NomeSql(copia);
  if (!nomeCopia)
    return nomeCopia.status();
  JET_TRY(conn.BeginTrans());
  jet::Status st = AllineaTabella(conn.database().storage(), reale, copia, *chiave);
  if (st)
    st = conn.Execute("DROP table " + *nomeCopia);
  if (st)
    st = conn.CommitTrans();
  else
    conn.RollbackTrans();
  conn.database().storage().invalidate();
  return st;
}

} // namespace tabelle

#include "demo_data.h"

#include "jet/database.h"
#include "jet/database_builder.h"
#include "jet/relationship_writer.h"

#include <array>
#include <filesystem>
#include <random>
#include <vector>

namespace vaskdb {

using jet::ColumnSpec;
using jet::ColumnType;
using jet::IndexSpec;
using jet::TableSpec;
using jet::Value;
using Row = std::vector<Value>;

namespace {

const char *const kCognomi[] = {"Rossi",    "Bianchi", "D'Angelo", "Colombo",    "Esposito",
                                "Ricci",    "Marino",  "Greco",    "Bruno",      "Gallo",
                                "Conti",    "De Luca", "Mancini",  "Lombardi",   "Moretti",
                                "Barbieri", "Fontana", "Santoro",  "Mariani",    "Rinaldi",
                                "Caruso",   "Ferrara", "Galli",    "Martinelli", "Leone"};
const char *const kNomi[] = {"Mario", "Giuseppe", "Niccolò", "Lucia", "Anna",  "Francesca",
                             "Luca",  "Andrea",   "Chiara",  "Sofia", "Elena", "Nicolò"};
const char *const kCitta[] = {"Forlì",   "Cesena", "Cantù",  "Ravenna", "Rimini",
                              "Bologna", "Imola",  "Faenza", "Lugo",    "Sant'Arcangelo"};
const char *const kProv[] = {"FC", "FC", "CO", "RA", "RN", "BO", "BO", "RA", "RA", "RN"};
const char *const kVie[] = {"Via Roma",       "Corso Garibaldi", "Piazza dell'Unità", "Via Emilia",
                            "Viale Carducci", "Via Mazzini",     "Via dei Mille"};
const char *const kCarburanti[] = {"Benzina", "Gasolio", "GPL", "Metano", "Benzina Plus"};
const char *const kCausali[] = {"Carico da fornitore",
                                "Scarico per vendita",
                                "Rettifica inventario",
                                "Reso al fornitore",
                                "Omaggio",
                                "Prelievo per uso interno"};
const char *const kBanche[] = {"Banca di Forlì", "Cassa di Risparmio", "Credito Cooperativo",
                               "Banca Popolare dell'Emilia"};
const char *const kSpese[] = {"Energia elettrica", "Manutenzione pompe", "Affitto piazzale",
                              "Pulizia",           "Telefono",           "Assicurazione",
                              "Lavaggio auto",     "Commissioni POS"};

class Gen {
public:
  explicit Gen(uint32_t seed) : rng_(seed) {}
  int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool chance(int percent) { return between(1, 100) <= percent; }
  template <size_t N> const char *pick(const char *const (&a)[N]) {
    return a[between(0, static_cast<int>(N) - 1)];
  }
  double money(double lo, double hi) {
    return std::round(std::uniform_real_distribution<double>(lo, hi)(rng_) * 100.0) / 100.0;
  }
  Value date(int year) {
    jet::CivilDateTime c{year,           between(1, 12), between(1, 28),
                         between(6, 21), between(0, 59), between(0, 59)};
    return Value(jet::toDateTime(c));
  }
  // Blanks at the edges now and then, as operators type them.
  std::string blanks(std::string s) {
    if (chance(3))
      s = " " + s;
    if (chance(3))
      s += "  ";
    return s;
  }
  // A note of any of the storage sizes of a memo: in the row, on a page, over several.
  Value note() {
    int k = between(1, 100);
    if (k <= 55)
      return Value();
    if (k <= 65)
      return Value(std::string());
    if (k <= 90)
      return Value(std::string("Cliente abituale, chiede sempre la ricevuta è l'IVA"));
    std::string s;
    size_t target = k <= 98 ? static_cast<size_t>(between(200, 3000))
                            : static_cast<size_t>(between(5000, 20000));
    while (s.size() < target)
      s += "Consegna del carburante concordata per telefono; pagamento a 30 giorni d.f. ";
    return Value(s);
  }

private:
  std::mt19937 rng_;
};

ColumnSpec c(const char *name, ColumnType t, uint16_t size = 0) {
  ColumnSpec s;
  s.name = name;
  s.type = t;
  s.size = size;
  return s;
}
ColumnSpec counter() {
  ColumnSpec s = c("ID", ColumnType::Long);
  s.autoNumber = true;
  return s;
}
IndexSpec primaryKey() {
  return {"PrimaryKey", {{"ID", true}}, true};
}
IndexSpec plain(const char *name, const char *column) {
  return {name, {{column, true}}};
}
IndexSpec unique(const char *name, const char *column) {
  return {name, {{column, true}}, false, true};
}

Value money(double v) {
  return Value(jet::Currency{static_cast<int64_t>(std::llround(v * 10000.0))});
}

// A transaction table of the common shape: counter, date, one more column, amount.
TableSpec simple(const char *name, ColumnSpec third, const char *thirdIndex = nullptr) {
  TableSpec t{name,
              {counter(), c("Data", ColumnType::DateTime), third, c("Importo", ColumnType::Double)},
              {primaryKey(), plain("Data", "Data")}};
  if (thirdIndex)
    t.indexes.push_back(plain(thirdIndex, third.name.c_str()));
  return t;
}

// The suite's relationships: an invoice needs its client; due dates and voucher links go with
// their invoice; movements name a product without enforcement.
jet::Status addRelationships(const std::string &path) {
  auto db = jet::Database::open(path, jet::OpenMode::ReadWrite);
  if (!db)
    return db.status();
  auto rel = [](const char *child, const char *column, const char *parent, bool enforced,
                bool cascadeDeletes) {
    jet::RelationshipSpec r;
    r.table = child;
    r.columns = {column};
    r.referencedTable = parent;
    r.referencedColumns = {"ID"};
    r.enforced = enforced;
    r.cascadeDeletes = cascadeDeletes;
    return r;
  };
  JET_TRY((*db)->begin());
  for (const auto &r : {rel("FATTURE", "IDCliente", "CLIENTI", true, false),
                        rel("SCADENZE", "IDFattura", "FATTURE", true, true),
                        rel("BUONIFATTURA", "IDFattura", "FATTURE", true, true),
                        rel("MOVIMENTI", "IDProdotto", "PRODOTTI", false, false)}) {
    jet::Status st = jet::createRelationship(**db, r);
    if (!st) {
      (void)(*db)->rollback();
      return st;
    }
  }
  return (*db)->commit();
}

} // namespace

constexpr int year = 2005;

// `n` rows made by `make(generator, i)`, i from 1, made again the same on every pass.
template <class Make> jet::RowSource generated(uint32_t seed, uint32_t n, Make make) {
  return [seed, n, make](const jet::RowSink &sink) -> jet::Status {
    Gen g(seed);
    for (uint32_t i = 1; i <= n; ++i) {
      Row row = make(g, i);
      JET_TRY(sink(row));
    }
    return jet::Status::ok();
  };
}

jet::Status buildDemoDatabase(const std::string &path, uint32_t rows, uint32_t seed) {
  Gen g(seed);
  jet::DatabaseBuilder b(jet::toDateTime({2005, 1, 3, 8, 30, 0}));
  struct {
    jet::DatabaseBuilder &b;
    jet::Status operator()(const TableSpec &t, std::vector<Row> data) {
      return b.addTable(t, std::move(data));
    }
    jet::Status operator()(const TableSpec &t, jet::RowSource data) {
      return b.addTable(t, std::move(data));
    }
  } add{b};
  // Each scaled table draws from a generator of its own, so its rows can be made again.
  uint32_t streams = 0;
  auto nextSeed = [&] { return seed + 7919u * ++streams; };
  auto share = [&](uint32_t percent) { return std::max<uint32_t>(1, rows * percent / 100); };

  // Voci: the fiscal year.
  JET_TRY(
      add({"Voci",
           {counter(), c("Annofis", ColumnType::Integer), c("RagioneSociale", ColumnType::Text, 50),
            c("PartitaIva", ColumnType::Text, 11), c("UltimoNumeroFattura", ColumnType::Long)},
           {primaryKey()}},
          {{Value(), Value(int16_t(year)), Value("Stazione di servizio Zelbo S.n.c."),
            Value("01234560405"), Value(int32_t(share(8)))}}));

  // Master tables.
  const uint32_t clienti = std::max<uint32_t>(20, rows / 40);
  {
    auto data = generated(nextSeed(), clienti, [](Gen &g, uint32_t i) -> Row {
      std::string nome = std::string(g.pick(kCognomi)) + " " + g.pick(kNomi);
      if (g.chance(20))
        nome = std::string("Autotrasporti ") + g.pick(kCognomi) + " S.r.l.";
      int city = g.between(0, 9);
      char codice[16], piva[16];
      std::snprintf(codice, sizeof codice, "C%05u", i);
      std::snprintf(piva, sizeof piva, "%011u", 10000000u + i * 7919u);
      return {Value(),
              Value(codice),
              Value(g.blanks(nome)),
              g.chance(10)
                  ? Value()
                  : Value(std::string(g.pick(kVie)) + " " + std::to_string(g.between(1, 200))),
              Value(kCitta[city]),
              Value(std::to_string(47000 + city * 11).substr(0, 5)),
              Value(kProv[city]),
              g.chance(30) ? Value() : Value(piva),
              money(g.between(0, 50) * 100.0),
              Value(g.chance(90)),
              g.date(year - 1),
              g.note()};
    });
    JET_TRY(add({"CLIENTI",
                 {counter(), c("Codice", ColumnType::Text, 10),
                  c("RagioneSociale", ColumnType::Text, 50), c("Indirizzo", ColumnType::Text, 60),
                  c("Citta", ColumnType::Text, 30), c("Cap", ColumnType::Text, 5),
                  c("Provincia", ColumnType::Text, 2), c("PartitaIva", ColumnType::Text, 11),
                  c("Fido", ColumnType::Currency), c("Attivo", ColumnType::Boolean),
                  c("DataInserimento", ColumnType::DateTime), c("Note", ColumnType::Memo)},
                 {primaryKey(), unique("Codice", "Codice"),
                  plain("RagioneSociale", "RagioneSociale"), plain("Citta", "Citta")}},
                std::move(data)));
  }
  const uint32_t fornitori = 12;
  {
    std::vector<Row> data;
    const char *names[] = {"Petroli Romagna S.p.A.", "Lubrificanti D'Amico", "Ricambi Cantù",
                           "Gas Adriatico",          "Forniture Forlì",      "Carta & Ufficio",
                           "Autolavaggi Bianchi",    "Energia Più",          "Oli Minerali Caruso",
                           "Distribuzione Nord-Est", "Tabacchi Rinaldi",     "Bevande Moretti"};
    for (uint32_t i = 1; i <= fornitori; ++i) {
      char codice[16], piva[16];
      std::snprintf(codice, sizeof codice, "F%03u", i);
      std::snprintf(piva, sizeof piva, "%011u", 20000000u + i * 104729u);
      data.push_back({Value(), Value(codice), Value(names[i - 1]), Value(g.pick(kCitta)),
                      Value(piva), g.note()});
    }
    JET_TRY(
        add({"FORNITORI",
             {counter(), c("Codice", ColumnType::Text, 10),
              c("RagioneSociale", ColumnType::Text, 50), c("Citta", ColumnType::Text, 30),
              c("PartitaIva", ColumnType::Text, 11), c("Note", ColumnType::Memo)},
             {primaryKey(), unique("Codice", "Codice"), plain("RagioneSociale", "RagioneSociale")}},
            std::move(data)));
  }
  const uint32_t prodotti = 40;
  {
    std::vector<Row> data;
    const char *items[] = {"Benzina senza piombo",
                           "Gasolio autotrazione",
                           "GPL",
                           "Metano",
                           "Olio motore 5W-30",
                           "Liquido lavavetri",
                           "Additivo gasolio",
                           "Caffè",
                           "Acqua minerale",
                           "Giornale"};
    for (uint32_t i = 1; i <= prodotti; ++i) {
      bool fuel = i <= 4;
      char codice[16];
      std::snprintf(codice, sizeof codice, "800%010u", i * 37u);
      std::string descr = items[(i - 1) % 10];
      if (i > 10)
        descr += " - formato " + std::to_string(i);
      data.push_back(
          {Value(), Value(codice), Value(descr), Value(fuel ? 1.2 + i * 0.05 : g.money(0.5, 40.0)),
           Value(float(fuel || i > 7 ? 20.0f : 10.0f)), Value(int32_t(g.between(-5, 5000))),
           Value(int16_t(g.between(1, 5))), Value(fuel ? "LT" : "PZ"), Value(fuel)});
    }
    JET_TRY(
        add({"PRODOTTI",
             {counter(), c("Codice", ColumnType::Text, 13), c("Descrizione", ColumnType::Text, 50),
              c("Prezzo", ColumnType::Double), c("Aliquota", ColumnType::Single),
              c("Giacenza", ColumnType::Long), c("Reparto", ColumnType::Integer),
              c("UnitaMisura", ColumnType::Text, 3), c("Carburante", ColumnType::Boolean)},
             {primaryKey(), unique("Codice", "Codice"), plain("Descrizione", "Descrizione")}},
            std::move(data)));
  }
  JET_TRY(add({"SERVIZI",
               {counter(), c("Descrizione", ColumnType::Text, 50), c("Prezzo", ColumnType::Double)},
               {primaryKey()}},
              {{Value(), Value("Lavaggio auto"), Value(8.5)},
               {Value(), Value("Controllo pressione gomme"), Value(0.0)},
               {Value(), Value("Cambio d'olio"), Value(35.0)},
               {Value(), Value("Ricarica climatizzatore"), Value(60.0)}}));
  JET_TRY(add({"IVA",
               {c("Codice", ColumnType::Text, 3), c("Descrizione", ColumnType::Text, 40),
                c("Aliquota", ColumnType::Double)},
               {{"PrimaryKey", {{"Codice", true}}, true}}},
              {{Value("20"), Value("Aliquota ordinaria"), Value(20.0)},
               {Value("10"), Value("Aliquota ridotta"), Value(10.0)},
               {Value("4"), Value("Aliquota minima"), Value(4.0)},
               {Value("E15"), Value("Esente art. 15"), Value(0.0)}}));
  JET_TRY(add({"CATEGORIE", {counter(), c("Descrizione", ColumnType::Text, 50)}, {primaryKey()}},
              {{Value(), Value("Carburanti")},
               {Value(), Value("Lubrificanti")},
               {Value(), Value("Bar e tabacchi")},
               {Value(), Value("Accessori per l'auto")}}));
  JET_TRY(
      add({"PAGAMENTI",
           {counter(), c("Descrizione", ColumnType::Text, 40), c("Giorni", ColumnType::Integer)},
           {primaryKey()}},
          {{Value(), Value("Rimessa diretta"), Value(int16_t(0))},
           {Value(), Value("Bonifico a 30 giorni d.f."), Value(int16_t(30))},
           {Value(), Value("Ri.Ba. 60 giorni f.m."), Value(int16_t(60))},
           {Value(), Value("Carta di credito"), Value()}}));
  {
    ColumnSpec id = c("ID", ColumnType::Byte);
    JET_TRY(add({"REPARTI", {id, c("Descrizione", ColumnType::Text, 30)}, {primaryKey()}},
                {{Value(uint8_t(1)), Value("Carburanti")},
                 {Value(uint8_t(2)), Value("Officina")},
                 {Value(uint8_t(3)), Value("Bar")},
                 {Value(uint8_t(4)), Value("Tabacchi")},
                 {Value(uint8_t(5)), Value("Autolavaggio")}}));
  }

  // Transaction tables.
  const uint32_t buoni = rows;
  {
    auto data = generated(nextSeed(), buoni, [clienti](Gen &g, uint32_t i) -> Row {
      float litri = static_cast<float>(g.between(50, 8000)) / 100.0f;
      double prezzo = 1.1 + g.between(0, 40) / 100.0;
      char targa[16];
      std::snprintf(targa, sizeof targa, "%c%c%03d%c%c", 'A' + g.between(0, 25),
                    'A' + g.between(0, 25), g.between(0, 999), 'A' + g.between(0, 25),
                    'A' + g.between(0, 25));
      return {Value(),
              Value(int32_t(i)),
              g.date(year),
              Value(int32_t(g.between(1, static_cast<int>(clienti)))),
              g.chance(5) ? Value() : Value(targa),
              Value(g.pick(kCarburanti)),
              Value(litri),
              Value(prezzo),
              money(std::round(litri * prezzo * 100) / 100),
              Value(g.chance(40)),
              g.chance(97) ? Value() : g.note()};
    });
    JET_TRY(add({"BUONI",
                 {counter(), c("Numero", ColumnType::Long), c("Data", ColumnType::DateTime),
                  c("IDCliente", ColumnType::Long), c("Targa", ColumnType::Text, 10),
                  c("Prodotto", ColumnType::Text, 20), c("Litri", ColumnType::Single),
                  c("Prezzo", ColumnType::Double), c("Importo", ColumnType::Currency),
                  c("Fatturato", ColumnType::Boolean), c("Note", ColumnType::Memo)},
                 {primaryKey(), unique("Numero", "Numero"), plain("Data", "Data"),
                  plain("IDCliente", "IDCliente"), plain("Targa", "Targa")}},
                std::move(data)));
  }
  {
    auto data = generated(nextSeed(), share(20), [buoni](Gen &g, uint32_t) -> Row {
      return {Value(), g.date(year), Value(int32_t(g.between(1, int(buoni)))),
              Value(g.chance(50) ? "Storno per errore di battitura" : "Annullato dall'operatore"),
              Value(-g.money(5, 120))};
    });
    JET_TRY(add({"BUONISTO",
                 {counter(), c("Data", ColumnType::DateTime), c("IDBuono", ColumnType::Long),
                  c("Operazione", ColumnType::Text, 60), c("Importo", ColumnType::Double)},
                 {primaryKey(), plain("IDBuono", "IDBuono")}},
                std::move(data)));
  }
  const uint32_t fatture = share(10);
  {
    auto data = generated(nextSeed(), fatture, [clienti](Gen &g, uint32_t i) -> Row {
      double imp = g.money(50, 5000);
      return {Value(),
              Value(int32_t(i)),
              g.date(year),
              Value(int32_t(g.between(1, int(clienti)))),
              Value(imp),
              Value(std::round(imp * 20) / 100),
              Value(std::round(imp * 120) / 100),
              Value(g.chance(70)),
              g.note()};
    });
    JET_TRY(add({"FATTURE",
                 {counter(), c("Numero", ColumnType::Long), c("Data", ColumnType::DateTime),
                  c("IDCliente", ColumnType::Long), c("Imponibile", ColumnType::Double),
                  c("Iva", ColumnType::Double), c("Totale", ColumnType::Double),
                  c("Pagata", ColumnType::Boolean), c("Note", ColumnType::Memo)},
                 {primaryKey(), unique("Numero", "Numero"), plain("IDCliente", "IDCliente")}},
                std::move(data)));
  }
  {
    auto data = generated(nextSeed(), share(30), [fatture](Gen &g, uint32_t) -> Row {
      return {Value(), g.date(year), Value(int32_t(g.between(1, int(fatture)))),
              Value(g.money(5, 300))};
    });
    JET_TRY(add({"BUONIFATTURA",
                 {counter(), c("Data", ColumnType::DateTime), c("IDFattura", ColumnType::Long),
                  c("Importo", ColumnType::Double)},
                 {primaryKey(), plain("IDFattura", "IDFattura")}},
                std::move(data)));
  }
  {
    auto data = generated(nextSeed(), share(15), [fatture](Gen &g, uint32_t) -> Row {
      return {Value(), g.date(year), Value(int32_t(g.between(1, int(fatture)))),
              Value(g.chance(50) ? "Prima rata" : "Saldo all'incasso"), Value(g.money(50, 3000))};
    });
    JET_TRY(add({"SCADENZE",
                 {counter(), c("Data", ColumnType::DateTime), c("IDFattura", ColumnType::Long),
                  c("Descrizione", ColumnType::Text, 60), c("Importo", ColumnType::Double)},
                 {primaryKey(), plain("IDFattura", "IDFattura"), plain("Data", "Data")}},
                std::move(data)));
  }
  auto fill = [&](const TableSpec &tableSpec, uint32_t n, auto third) -> jet::Status {
    return b.addTable(tableSpec, generated(nextSeed(), n, [third](Gen &g, uint32_t i) -> Row {
                        Value v = third(g, i);
                        return {Value(), g.date(year), std::move(v), Value(g.money(-500, 2500))};
                      }));
  };
  auto text = [](const char *const *list, size_t count) {
    return [list, count](Gen &g, uint32_t i) {
      std::string s = list[g.between(0, int(count) - 1)];
      if (i % 17 == 0)
        s += " (rif. n. " + std::to_string(i) + ")";
      return Value(s);
    };
  };
  auto id = [](int hi) {
    return [hi](Gen &g, uint32_t) { return Value(int32_t(g.between(1, hi))); };
  };
  auto num = [](Gen &, uint32_t i) { return Value(int32_t(i)); };
  ColumnType L = ColumnType::Long;
  JET_TRY(
      fill(simple("FATTUREACQ", c("IDFornitore", L), "IDFornitore"), share(5), id(int(fornitori))));
  {
    auto data = generated(nextSeed(), share(10), [](Gen &g, uint32_t i) -> Row {
      return {Value(), g.date(year), Value(int32_t(i)),
              Value(std::string(g.pick(kCognomi)) + " " + g.pick(kNomi)), Value(g.money(5, 400))};
    });
    JET_TRY(add({"RICEVUTEFATTURE",
                 {counter(), c("Data", ColumnType::DateTime), c("Numero", L),
                  c("Cliente", ColumnType::Text, 60), c("Importo", ColumnType::Double)},
                 {primaryKey(), unique("Numero", "Numero"), plain("Cliente", "Cliente")}},
                std::move(data)));
  }
  JET_TRY(fill(simple("SCONTRINI", c("Numero", L)), share(50), num));
  JET_TRY(fill(simple("DDT", c("Descrizione", ColumnType::Text, 60)), share(5),
               text(kCausali, std::size(kCausali))));
  JET_TRY(fill(simple("SPESERICAVI", c("Descrizione", ColumnType::Text, 60), "Descrizione"),
               share(5), text(kSpese, std::size(kSpese))));
  JET_TRY(
      fill(simple("MOVIMENTI", c("IDProdotto", L), "IDProdotto"), share(40), id(int(prodotti))));
  JET_TRY(fill(simple("MOVBANCA", c("Banca", ColumnType::Text, 60)), share(5),
               text(kBanche, std::size(kBanche))));
  JET_TRY(fill(simple("INCPAG", c("Descrizione", ColumnType::Text, 60)), share(10),
               text(kSpese, std::size(kSpese))));
  JET_TRY(fill(simple("REGMENSILE", c("Mese", L)), 12, num));
  JET_TRY(fill(simple("POMPE", c("IDCisterna", L)), 8, id(6)));
  JET_TRY(fill(simple("CISTERNE", c("Numero", L)), 6, num));
  JET_TRY(fill(simple("SCARICHI", c("IDCisterna", L), "IDCisterna"), share(5), id(6)));
  JET_TRY(fill(simple("CARICHI", c("IDCisterna", L), "IDCisterna"), share(3), id(6)));
  JET_TRY(fill(simple("RICONCILIAZIONI", c("Note", ColumnType::Text, 60)), share(1),
               text(kCausali, std::size(kCausali))));
  JET_TRY(fill(simple("CISTERNERICONC", c("IDCisterna", L)), share(2), id(6)));
  JET_TRY(fill(simple("POMPERICONC", c("IDPompa", L)), share(2), id(8)));
  JET_TRY(b.writeNewFile(path));
  jet::Status st = addRelationships(path);
  if (!st)
    std::filesystem::remove(path);
  return st;
}

} // namespace vaskdb

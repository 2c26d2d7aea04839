// New relationships on copies of the suite-shaped file: multi-column keys, cascading updates
// and deletes down two levels, refusals that change nothing, and the demo database with the
// suite's relationships as Access writes them.
#include "jet/database_builder.h"
#include "jet/names.h"
#include "jet/relationship_writer.h"
#include "jet/relationships.h"
#include "jet/replace_rows.h"
#include "jet/table_ops.h"
#include "rel_support.h"
#include "tables_support.h"

#include <gtest/gtest.h>

namespace {

using namespace reltest;
using jet::ColumnType;
using jet::ErrorCode;

jet::ColumnSpec col(const char *name, ColumnType type, uint16_t size = 0) {
  jet::ColumnSpec c;
  c.name = name;
  c.type = type;
  c.size = size;
  return c;
}

jet::RelationshipSpec relationship(const char *child, std::vector<std::string> columns,
                                   const char *parent, std::vector<std::string> referenced) {
  jet::RelationshipSpec r;
  r.table = child;
  r.columns = std::move(columns);
  r.referencedTable = parent;
  r.referencedColumns = std::move(referenced);
  return r;
}

// The invoice lines of FATTURE keyed by (Numero, Data), and notes on each line keyed by
// (Numero, Data, Riga): two levels below the invoice, each with a key of several columns.
struct Lines {
  std::vector<Value> a, b; // (Numero, Data) of two invoices
  jet::RowLocation invoiceA;
  int32_t idA = -1;
};

Lines addLines(jet::Database &db, bool cascadeUpdates) {
  Lines out;
  jet::TableSpec righe{"RIGHEFATTURA",
                       {col("Numero", ColumnType::Long), col("Data", ColumnType::DateTime),
                        col("Riga", ColumnType::Integer), col("Descrizione", ColumnType::Text, 60)},
                       {{"PrimaryKey", {{"Numero", true}, {"Data", true}, {"Riga", true}}, true}}};
  jet::ColumnSpec id = col("ID", ColumnType::Long);
  id.autoNumber = true;
  jet::TableSpec note{"NOTERIGHE",
                      {id, col("Numero", ColumnType::Long), col("Data", ColumnType::DateTime),
                       col("Riga", ColumnType::Integer), col("Testo", ColumnType::Text, 60)},
                      {{"PrimaryKey", {{"ID", true}}, true}}};
  EXPECT_TRUE(jet::createTable(db, righe).isOk());
  EXPECT_TRUE(jet::createTable(db, note).isOk());
  auto invoices = writetest::rows(db, "FATTURE");
  out.a = {invoices[0][1], invoices[0][2]};
  out.b = {invoices[1][1], invoices[1][2]};
  out.idA = idOf(invoices[0]);
  out.invoiceA = writetest::locations(db, "FATTURE")[0];
  auto line = [&](const std::vector<Value> &inv, int16_t riga) {
    std::vector<Value> v{inv[0], inv[1], Value(riga), Value("Gasolio, consegna d'urgenza")};
    EXPECT_TRUE(db.insertRow("RIGHEFATTURA", v).isOk());
  };
  auto noteOn = [&](const std::vector<Value> &inv, int16_t riga) {
    std::vector<Value> v{Value(), inv[0], inv[1], Value(riga), Value("Sconto già applicato")};
    EXPECT_TRUE(db.insertRow("NOTERIGHE", v).isOk());
  };
  line(out.a, 1), line(out.a, 2), line(out.a, 3), line(out.b, 1);
  noteOn(out.a, 2), noteOn(out.a, 2), noteOn(out.b, 1);

  auto r1 = relationship("RIGHEFATTURA", {"Numero", "Data"}, "FATTURE", {"Numero", "Data"});
  r1.cascadeUpdates = cascadeUpdates;
  r1.cascadeDeletes = true;
  auto st = jet::createRelationship(db, r1);
  EXPECT_TRUE(st.isOk()) << st.message();
  auto r2 = relationship("NOTERIGHE", {"Numero", "Data", "Riga"}, "RIGHEFATTURA",
                         {"Numero", "Data", "Riga"});
  r2.name = "RigheNote";
  r2.cascadeUpdates = true;
  r2.cascadeDeletes = true;
  st = jet::createRelationship(db, r2);
  EXPECT_TRUE(st.isOk()) << st.message();
  return out;
}

size_t linesOf(jet::Database &db, const char *table, const std::vector<Value> &invoice) {
  const size_t numero = table == std::string("NOTERIGHE") ? 1 : 0;
  size_t n = 0;
  for (auto &r : writetest::rows(db, table))
    n += r[numero] == invoice[0] && r[numero + 1] == invoice[1];
  return n;
}

TEST(RelCreate, MultiColumnKeysCascadeUpdatesAndDeletesTwoLevelsDown) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  Lines l;
  size_t dueOfA = 0, dueTotal = 0;
  std::vector<Value> renamed;
  {
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db);
    l = addLines(*db, true);
    auto rels = jet::readRelationships(db->pager(), db->catalog());
    ASSERT_TRUE(rels.isOk());
    ASSERT_EQ(rels->size(), 6u);
    const jet::Relationship &r = (*rels)[4];
    EXPECT_EQ(r.name, "FATTURERIGHEFATTURA");
    EXPECT_EQ(r.childColumns, (std::vector<std::string>{"Numero", "Data"}));
    EXPECT_EQ(r.parentColumns, (std::vector<std::string>{"Numero", "Data"}));
    EXPECT_EQ(r.flags, jet::Relationship::kCascadeUpdates | jet::Relationship::kCascadeDeletes);
    EXPECT_EQ((*rels)[5].childColumns.size(), 3u);

    // A line of a missing invoice is refused, both columns named; a note whose key has a Null
    // is not checked.
    std::vector<Value> orphan{Value(int32_t(99999)), l.a[1], Value(int16_t(1)), Value("x")};
    auto bad = db->insertRow("RIGHEFATTURA", orphan);
    ASSERT_FALSE(bad.isOk());
    EXPECT_EQ(bad.status().code(), ErrorCode::RelationshipParent);
    EXPECT_NE(bad.status().message().find("Numero = 99999, Data = "), std::string::npos)
        << bad.status().message();
    EXPECT_NE(bad.status().message().find("'FATTURERIGHEFATTURA'"), std::string::npos);
    std::vector<Value> loose{Value(), l.a[0], l.a[1], Value(), Value("senza riga")};
    EXPECT_TRUE(db->insertRow("NOTERIGHE", loose).isOk());

    // A new number for invoice A: its lines take it, and the lines' notes after them.
    dueOfA = count(*db, "SCADENZE", 2, l.idA);
    dueTotal = writetest::rows(*db, "SCADENZE").size();
    auto invoice = *db->readRow("FATTURE", l.invoiceA);
    invoice[1] = Value(int32_t(90001));
    renamed = {invoice[1], invoice[2]};
    auto st = db->updateRow("FATTURE", l.invoiceA, invoice);
    ASSERT_TRUE(st.isOk()) << st.message();
    EXPECT_EQ(linesOf(*db, "RIGHEFATTURA", l.a), 0u);
    EXPECT_EQ(linesOf(*db, "RIGHEFATTURA", renamed), 3u);
    EXPECT_EQ(linesOf(*db, "NOTERIGHE", renamed), 2u);
    // The note whose key has a Null belongs to no line: it keeps the old number.
    EXPECT_EQ(linesOf(*db, "NOTERIGHE", l.a), 1u);
    EXPECT_EQ(linesOf(*db, "RIGHEFATTURA", l.b), 1u);
    EXPECT_EQ(linesOf(*db, "NOTERIGHE", l.b), 1u);
    EXPECT_EQ(count(*db, "SCADENZE", 2, l.idA), dueOfA) << "due dates follow the ID";
  }
  expectSound(path, {"FATTURE", "RIGHEFATTURA", "NOTERIGHE", "SCADENZE"});
  {
    // Invoice A goes with its lines, their notes, its due dates and voucher links.
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db->deleteRow("FATTURE", find(*db, "FATTURE", l.idA)).isOk());
    EXPECT_EQ(linesOf(*db, "RIGHEFATTURA", renamed), 0u);
    EXPECT_EQ(linesOf(*db, "NOTERIGHE", renamed), 0u);
    EXPECT_EQ(linesOf(*db, "NOTERIGHE", l.a), 1u) << "the note without a line stays";
    EXPECT_EQ(writetest::rows(*db, "SCADENZE").size(), dueTotal - dueOfA);
    EXPECT_EQ(linesOf(*db, "NOTERIGHE", l.b), 1u);
  }
  expectSound(path, {"FATTURE", "RIGHEFATTURA", "NOTERIGHE", "SCADENZE", "BUONIFATTURA"});
  if (vasktest::haveProgram("mdb-schema")) {
    std::string out;
    ASSERT_EQ(vasktest::runCommand("mdb-schema --relations '" + path.string() + "' postgres", &out),
              0);
    // mdb-schema reads one constraint per column pair.
    for (const char *line :
         {"FOREIGN KEY (\"numero\") REFERENCES \"FATTURE\"(\"numero\") ON UPDATE CASCADE ON "
          "DELETE CASCADE",
          "FOREIGN KEY (\"data\") REFERENCES \"FATTURE\"(\"data\") ON UPDATE CASCADE ON DELETE "
          "CASCADE",
          "FOREIGN KEY (\"riga\") REFERENCES \"RIGHEFATTURA\"(\"riga\")"})
      EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
  }
}

// Saving a working copy in which one invoice got a new number: that invoice is updated, its
// lines and their notes follow, nothing else is written.
TEST(RelCreate, ReplaceThatChangesAKeyCascadesOnlyThere) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  auto db = writetest::openWritable(path);
  ASSERT_TRUE(db);
  Lines l = addLines(*db, true);
  auto lines = writetest::rows(*db, "RIGHEFATTURA");
  jet::SourceRows src;
  for (auto &c : (*db->table("FATTURE"))->columns)
    src.columns.push_back(c.name);
  src.rows = writetest::rows(*db, "FATTURE");
  src.rows[0][1] = Value(int32_t(90001));
  auto r = jet::replaceRows(*db, "FATTURE", src);
  ASSERT_TRUE(r.isOk()) << r.status().message();
  EXPECT_EQ(r->updated, 1u);
  EXPECT_EQ(r->unchanged, src.rows.size() - 1);
  const std::vector<Value> renamed{Value(int32_t(90001)), l.a[1]};
  EXPECT_EQ(linesOf(*db, "RIGHEFATTURA", renamed), 3u);
  EXPECT_EQ(linesOf(*db, "NOTERIGHE", renamed), 2u);
  EXPECT_EQ(linesOf(*db, "RIGHEFATTURA", l.b), 1u);
  // A copy that drops an invoice with lines takes them with it (the relationship cascades).
  src.rows = writetest::rows(*db, "FATTURE");
  src.rows.erase(src.rows.begin());
  r = jet::replaceRows(*db, "FATTURE", src);
  ASSERT_TRUE(r.isOk()) << r.status().message();
  EXPECT_EQ(r->deleted, 1u);
  EXPECT_EQ(linesOf(*db, "RIGHEFATTURA", renamed), 0u);
  db.reset();
  expectSound(path, {"FATTURE", "RIGHEFATTURA", "NOTERIGHE", "SCADENZE"});
}

TEST(RelCreate, KeyChangeRefusedWhereUpdatesDoNotCascade) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  auto db = writetest::openWritable(path);
  ASSERT_TRUE(db);
  Lines l = addLines(*db, false);
  auto invoice = *db->readRow("FATTURE", l.invoiceA);
  auto changed = invoice;
  changed[1] = Value(int32_t(90001));
  auto st = db->updateRow("FATTURE", l.invoiceA, changed);
  EXPECT_EQ(st.code(), ErrorCode::RelationshipChildren);
  EXPECT_NE(st.message().find("'RIGHEFATTURA'"), std::string::npos) << st.message();
  EXPECT_EQ(*db->readRow("FATTURE", l.invoiceA), invoice);
  EXPECT_EQ(linesOf(*db, "RIGHEFATTURA", l.a), 3u);
  // Other columns change freely, and the key of an invoice without lines too.
  changed = invoice;
  changed[4] = Value(1234.5);
  EXPECT_TRUE(db->updateRow("FATTURE", l.invoiceA, changed).isOk());
  auto third = writetest::locations(*db, "FATTURE")[2];
  auto other = *db->readRow("FATTURE", third);
  other[1] = Value(int32_t(90002));
  EXPECT_TRUE(db->updateRow("FATTURE", third, other).isOk());
  db.reset();
  expectSound(path, {"FATTURE", "RIGHEFATTURA"});
}

TEST(RelCreate, IndexesAsAccessMakesThem) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  auto db = writetest::openWritable(path);
  ASSERT_TRUE(db);
  addLines(*db, true);
  auto fatture = *db->table("FATTURE");
  auto righe = *db->table("RIGHEFATTURA");
  auto note = *db->table("NOTERIGHE");
  auto logical = [](const jet::TableDef &d, const std::string &name) -> const jet::LogicalIndex * {
    for (auto &li : d.indexes)
      if (li.name == name)
        return &li;
    return nullptr;
  };
  // RIGHEFATTURA had no index over (Numero, Data) alone: one made for the relationship.
  const jet::LogicalIndex *child = logical(*righe, "FATTURERIGHEFATTURA");
  ASSERT_TRUE(child);
  EXPECT_TRUE(child->isForeignKey());
  EXPECT_EQ(child->relatedTableType, 2);
  EXPECT_EQ(righe->physicalIndexes.size(), 2u);
  EXPECT_FALSE(righe->physicalIndexes[child->physical].unique());
  // FATTURE had seven logical indexes: the new one is number 7, ".rH", over NumeroData.
  const jet::LogicalIndex *parent = logical(*fatture, ".rH");
  ASSERT_TRUE(parent);
  EXPECT_EQ(parent->number, 7u);
  EXPECT_EQ(parent->relatedTableType, 1);
  EXPECT_EQ(fatture->physicalIndexes.size(), 4u) << "the unique index is shared";
  EXPECT_TRUE(fatture->physicalIndexes[parent->physical].unique());
  EXPECT_EQ(fatture->physicalIndexes[parent->physical].columns.size(), 2u);
  // They point at each other and carry the cascades.
  EXPECT_EQ(child->relatedIndex, parent->number);
  EXPECT_EQ(parent->relatedIndex, child->number);
  EXPECT_EQ(child->relatedTablePage, fatture->page);
  EXPECT_EQ(parent->relatedTablePage, righe->page);
  EXPECT_TRUE(child->cascadeUpdates && child->cascadeDeletes);
  EXPECT_TRUE(parent->cascadeUpdates && parent->cascadeDeletes);
  // The notes' relationship: the referenced side over RIGHEFATTURA's primary key.
  const jet::LogicalIndex *rx = logical(*righe, ".rC");
  ASSERT_TRUE(rx);
  EXPECT_EQ(rx->physical, logical(*righe, "PrimaryKey")->physical);
  EXPECT_TRUE(logical(*note, "RigheNote"));
  // Logical indexes stored by name, as Access keeps them.
  for (size_t i = 1; i < fatture->indexes.size(); ++i)
    EXPECT_LT(jet::compareNoCase(fatture->indexes[i - 1].name, fatture->indexes[i].name), 0);
  // A relationship without enforcement touches no definition.
  const auto prodotti = (*db->table("PRODOTTI"))->raw, buoni = (*db->table("BUONI"))->raw;
  auto loose = relationship("BUONI", {"IDCliente"}, "CLIENTI", {"ID"});
  loose.enforced = false;
  ASSERT_TRUE(jet::createRelationship(*db, loose).isOk());
  EXPECT_EQ((*db->table("BUONI"))->raw, buoni);
  EXPECT_EQ((*db->table("PRODOTTI"))->raw, prodotti);
  db.reset();
  EXPECT_EQ(writetest::checkFindings(path), "");
}

// A table that refers to itself: both indexes in one definition, and a delete that cascades
// down a chain of rows of the same table.
TEST(RelCreate, SelfReferenceCascadesDownTheChain) {
  vasktest::TempDir dir;
  const auto path = dir.file("reparti.mdb");
  ASSERT_TRUE(jet::createDatabase(path.string()).isOk());
  {
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db);
    jet::ColumnSpec id = col("ID", ColumnType::Long);
    id.autoNumber = true;
    ASSERT_TRUE(jet::createTable(*db, {"REPARTI",
                                       {id, col("IDSuperiore", ColumnType::Long),
                                        col("Nome", ColumnType::Text, 30)},
                                       {{"PrimaryKey", {{"ID", true}}, true}}})
                    .isOk());
    // 1 ← 2 ← 3 ← 4, and 5 alone.
    for (int i = 1; i <= 5; ++i) {
      std::vector<Value> v{Value(), i == 1 || i == 5 ? Value() : Value(int32_t(i - 1)),
                           Value("Reparto " + std::to_string(i))};
      ASSERT_TRUE(db->insertRow("REPARTI", v).isOk());
    }
    auto r = relationship("REPARTI", {"IDSuperiore"}, "REPARTI", {"ID"});
    r.name = "Gerarchia";
    r.cascadeDeletes = true;
    auto st = jet::createRelationship(*db, r);
    ASSERT_TRUE(st.isOk()) << st.message();
    auto def = *db->table("REPARTI");
    const jet::LogicalIndex *fk = nullptr, *rx = nullptr;
    for (auto &li : def->indexes) {
      if (li.name == "Gerarchia")
        fk = &li;
      if (li.name == ".rC")
        rx = &li;
    }
    ASSERT_TRUE(fk && rx);
    EXPECT_EQ(fk->relatedIndex, rx->number);
    EXPECT_EQ(rx->relatedIndex, fk->number);
    EXPECT_EQ(fk->relatedTablePage, def->page);
    std::vector<Value> orphan{Value(), Value(int32_t(42)), Value("Senza superiore")};
    EXPECT_EQ(db->insertRow("REPARTI", orphan).status().code(), ErrorCode::RelationshipParent);
    ASSERT_TRUE(db->deleteRow("REPARTI", find(*db, "REPARTI", 2)).isOk());
    EXPECT_EQ(values(*db, "REPARTI", 0), (std::set<int32_t>{1, 5}));
  }
  expectSound(path, {"REPARTI"});
}

TEST(RelCreate, RefusalsChangeNothing) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  {
    // A voucher of a client that does not exist, before any relationship says otherwise.
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db);
    auto v = *db->readRow("BUONI", find(*db, "BUONI", 1));
    v[0] = Value();
    v[1] = Value(int32_t(880001)); // Numero is unique
    v[3] = Value(int32_t(777777));
    ASSERT_TRUE(db->insertRow("BUONI", v).isOk());
  }
  const std::string before = fileBytes(path);
  auto db = writetest::openWritable(path);
  ASSERT_TRUE(db);
  struct Case {
    jet::RelationshipSpec request;
    ErrorCode code;
    const char *says;
  };
  auto r = [](const char *child, const char *c, const char *parent, const char *p) {
    auto request = relationship(child, {c}, parent, {p});
    request.name = "Prova";
    return request;
  };
  auto cascadeLoose = r("SCADENZE", "IDFattura", "FATTURE", "ID");
  cascadeLoose.enforced = false;
  cascadeLoose.cascadeDeletes = true;
  auto taken = r("SCADENZE", "IDFattura", "FATTURE", "ID");
  taken.name = "clientifatture";
  auto uneven = relationship("SCADENZE", {"IDFattura", "Data"}, "FATTURE", {"ID"});
  uneven.name = "Prova";
  const Case cases[] = {
      {r("BUONI", "IDCliente", "CLIENTI", "ID"), ErrorCode::RelationshipParent,
       "non ha il record correlato nella tabella 'CLIENTI'"},
      {r("SCADENZE", "IDFattura", "FATTURE", "IDCliente"), ErrorCode::InvalidArgument,
       "non hanno un indice univoco"},
      {r("MOVIMENTI", "Causale", "PRODOTTI", "ID"), ErrorCode::TypeMismatch,
       "'MOVIMENTI.Causale' e 'PRODOTTI.ID' non hanno lo stesso tipo"},
      {taken, ErrorCode::InvalidName, "esiste già"},
      {cascadeLoose, ErrorCode::InvalidArgument, "richiedono l'integrità referenziale"},
      {r("SCADENZE", "IDFatt", "FATTURE", "ID"), ErrorCode::NoSuchColumn,
       "non ha il campo 'IDFatt'"},
      {uneven, ErrorCode::InvalidArgument, "in ugual numero"},
      {r("SCADENZE", "IDFattura", "MSysObjects", "Id"), ErrorCode::SystemTable,
       "tabella di sistema"},
      {r("SCADENZE", "IDFattura", "FATTUREE", "ID"), ErrorCode::NoSuchTable, "FATTUREE"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.says);
    jet::Status st = jet::createRelationship(*db, c.request);
    ASSERT_FALSE(st.isOk());
    EXPECT_EQ(st.code(), c.code) << st.message();
    EXPECT_NE(st.message().find(c.says), std::string::npos) << st.message();
  }
  // Inside a transaction too, which stays usable.
  ASSERT_TRUE(db->begin().isOk());
  EXPECT_FALSE(jet::createRelationship(*db, cases[0].request).isOk());
  EXPECT_EQ(jet::readRelationships(db->pager(), db->catalog())->size(), 4u);
  ASSERT_TRUE(db->rollback().isOk());
  db.reset();
  EXPECT_EQ(fileBytes(path), before) << "a refused relationship wrote something";
}

TEST(RelDemo, TheSuitesRelationshipsAsTheSuiteFileHasThem) {
  vasktest::TempDir dir;
  const std::string path = dir.file("zelbo.mdb").string();
  std::string out;
  const std::string tool = (vasktest::binaryDir() / "vaskdb").string();
  ASSERT_EQ(vasktest::runCommand(tool + " demo '" + path + "' --rows 600 2>&1", &out), 0) << out;
  auto demo = writetest::openReading(path);
  ASSERT_TRUE(demo);
  auto rels = jet::readRelationships(demo->pager(), demo->catalog());
  ASSERT_TRUE(rels.isOk());
  std::vector<std::string> described;
  for (auto &r : *rels)
    described.push_back(jet::describeRelationship(r));
  EXPECT_EQ(described,
            (std::vector<std::string>{
                "CLIENTIFATTURE: FATTURE.IDCliente → CLIENTI.ID, integrità referenziale",
                "FATTURESCADENZE: SCADENZE.IDFattura → FATTURE.ID, integrità referenziale, "
                "eliminazione a catena",
                "FATTUREBUONIFATTURA: BUONIFATTURA.IDFattura → FATTURE.ID, integrità "
                "referenziale, eliminazione a catena",
                "PRODOTTIMOVIMENTI: MOVIMENTI.IDProdotto → PRODOTTI.ID, senza integrità "
                "referenziale"}));
  // The foreign-key indexes in the suite file's form: the referencing side over its plain
  // index, the referenced one over the primary key, pointing at each other.
  auto shape = [](jet::Database &db) {
    std::vector<std::string> s;
    for (const char *t : {"CLIENTI", "FATTURE", "SCADENZE", "BUONIFATTURA", "MOVIMENTI"}) {
      auto def = *db.table(t);
      for (auto &li : def->indexes) {
        if (!li.isForeignKey())
          continue;
        const auto &px = def->physicalIndexes[li.physical];
        std::string over;
        for (auto &other : def->indexes)
          if (other.physical == li.physical && !other.isForeignKey())
            over = other.isPrimaryKey() ? "chiave primaria" : other.name;
        std::string related;
        for (auto &name : db.userTableNames())
          if ((*db.table(name))->page == li.relatedTablePage) {
            related = name;
            for (auto &back : (*db.table(name))->indexes)
              if (back.number == li.relatedIndex && back.relatedIndex == li.number &&
                  back.relatedTablePage == def->page)
                related += " (reciproco)";
          }
        s.push_back(std::string(t) + " lato " + std::to_string(li.relatedTableType) + " su " +
                    over + " verso " + related + (li.cascadeDeletes ? ", a catena" : "") +
                    (px.unique() ? ", univoco" : ""));
      }
    }
    std::sort(s.begin(), s.end());
    return s;
  };
  const auto ours = shape(*demo);
  EXPECT_EQ(ours.size(), 6u);
  if (vasktest::fixturesDir().empty() ||
      !std::filesystem::exists(vasktest::fixturesDir() / "suite/zelbo.mdb")) {
    std::cout << "fixtures missing: the comparison with the suite file is skipped\n";
  } else {
    auto suite = writetest::openReading(vasktest::fixturesDir() / "suite/zelbo.mdb");
    ASSERT_TRUE(suite);
    EXPECT_EQ(ours, shape(*suite));
  }
  demo.reset();

  EXPECT_EQ(writetest::checkFindings(path), "");
  ASSERT_EQ(vasktest::runCommand(tool + " schema '" + path + "' FATTURE", &out), 0);
  EXPECT_NE(out.find("\nRelazioni:\nCLIENTIFATTURE: FATTURE.IDCliente → CLIENTI.ID"),
            std::string::npos)
      << out;
  if (vasktest::haveProgram("mdb-schema")) {
    ASSERT_EQ(vasktest::runCommand("mdb-schema --relations '" + path + "' postgres", &out), 0);
    EXPECT_NE(out.find("ALTER TABLE \"FATTURE\" ADD CONSTRAINT \"fatture_idcliente_fk\" FOREIGN "
                       "KEY (\"idcliente\") REFERENCES \"CLIENTI\"(\"id\")"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("FOREIGN KEY (\"idfattura\") REFERENCES \"FATTURE\"(\"id\") ON DELETE "
                       "CASCADE"),
              std::string::npos);
  }
  tablestest::expectMdbToolsAgree(path);

  // And the engine keeps them.
  auto db = writetest::openWritable(path);
  ASSERT_TRUE(db);
  auto billed = values(*db, "FATTURE", 3);
  const int32_t client = *billed.begin();
  EXPECT_EQ(db->deleteRow("CLIENTI", find(*db, "CLIENTI", client)).code(),
            ErrorCode::RelationshipChildren);
  const int32_t invoice = *values(*db, "SCADENZE", 2).begin();
  ASSERT_TRUE(db->deleteRow("FATTURE", find(*db, "FATTURE", invoice)).isOk());
  EXPECT_EQ(count(*db, "SCADENZE", 2, invoice), 0u);
  db.reset();
  EXPECT_EQ(writetest::checkFindings(path), "");
}

} // namespace

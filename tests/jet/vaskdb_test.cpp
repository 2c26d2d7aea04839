// The vaskdb command-line tool: data on stdout, messages on stderr, exit status 0, 1 or 2;
// what it writes read back by other programs (Python's csv and json, SQLite, mdbtools).
#include "test_support.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

std::string vaskdb() {
  return (vasktest::binaryDir() / "vaskdb").string();
}

std::string quoted(const std::string &s) {
  return "'" + s + "'";
}

TEST(Vaskdb, HelpAndUsageErrors) {
  std::string out;
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " --help", &out), 0);
  for (const char *cmd : {"tables", "schema", "export", "count", "import"})
    EXPECT_NE(out.find(cmd), std::string::npos);
  EXPECT_NE(out.find("Stato di uscita: 0 riuscito, 1 errore, 2 uso errato"), std::string::npos);
  // Wrong usage exits with 2, failures with 1; neither writes to standard output.
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " 2>&1", &out), 2);
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " boh 2>/dev/null", &out), 2);
  EXPECT_EQ(out, "");
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " boh 2>&1", &out), 2);
  EXPECT_NE(out.find("Comando sconosciuto"), std::string::npos);
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " export solo-un-argomento 2>&1", &out), 2);
  EXPECT_NE(out.find("Uso: vaskdb export FILE TABLE"), std::string::npos);
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " export a.mdb T --boh 2>&1", &out), 2);
  EXPECT_NE(out.find("opzione sconosciuta: \"--boh\""), std::string::npos) << out;
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " export a.mdb T -D '%Q' 2>&1", &out), 2);
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " export a.mdb T --format xml 2>&1", &out), 2);
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " import a.mdb T x.csv --dates us 2>&1", &out), 2);
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " tables /percorso/inesistente.mdb 2>/dev/null", &out),
            1);
  EXPECT_EQ(out, "");
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " tables /percorso/inesistente.mdb 2>&1", &out), 1);
  EXPECT_NE(out.find("non esiste"), std::string::npos);
}

TEST(Vaskdb, TablesSchemaAndExportOfTheSuiteDatabase) {
  VASK_REQUIRE_FIXTURES();
  std::string db = quoted((vasktest::fixturesDir() / "suite/zelbo.mdb").string());
  std::string out;
  ASSERT_EQ(vasktest::runCommand(vaskdb() + " tables " + db, &out), 0);
  EXPECT_EQ(out, vasktest::readFile(vasktest::fixturesDir() / "expected/zelbo/tables.txt") +
                     (out.back() == '\n' ? "" : "\n"));
  ASSERT_EQ(vasktest::runCommand(vaskdb() + " schema " + db + " TipiDati", &out), 0);
  EXPECT_NE(out.find("Valuta\t6\t8"), std::string::npos) << out;
  EXPECT_NE(out.find("Testo\t202\t255"), std::string::npos) << out;
  EXPECT_NE(out.find("Memo\t203\t536870910"), std::string::npos) << out;
  EXPECT_NE(out.find("Oggetto OLE\t205\t1073741823"), std::string::npos) << out;
  EXPECT_NE(out.find("PrimaryKey\tID ASC\tchiave primaria"), std::string::npos) << out;
  ASSERT_EQ(vasktest::runCommand(vaskdb() + " export " + db + " 'Listino Prezzi'", &out), 0);
  EXPECT_EQ(out.substr(0, out.find('\n')),
            vasktest::readFile(vasktest::fixturesDir() / "expected/zelbo/Listino Prezzi.csv")
                .substr(0, out.find('\n')));
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " export " + db + " Nessuna 2>&1", &out), 1);
  EXPECT_NE(out.find("Nessuna"), std::string::npos);
  std::string jet3 = quoted((vasktest::fixturesDir() / "access/test2V1997.mdb").string());
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " tables " + jet3 + " 2>&1", &out), 1);
  EXPECT_NE(out.find("Access 97"), std::string::npos);
}

namespace {

bool haveTools(std::initializer_list<const char *> tools, std::string &missing) {
  for (const char *t : tools)
    if (!vasktest::haveProgram(t))
      missing += std::string(missing.empty() ? "" : ", ") + t;
  return missing.empty();
}

#define VASK_REQUIRE_TOOLS(...)                                                                    \
  do {                                                                                             \
    std::string missing_;                                                                          \
    if (!haveTools({__VA_ARGS__}, missing_))                                                       \
      GTEST_SKIP() << missing_ << " not installed: test skipped";                                  \
  } while (0)

void writeFile(const std::filesystem::path &p, const std::string &text) {
  std::ofstream(p, std::ios::binary) << text;
}

// A demo database in its own folder; every command runs there.
struct DemoDb : ::testing::Test {
  vasktest::TempDir dir;
  std::string db;
  void SetUp() override {
    db = quoted(dir.file("demo.mdb").string());
    ASSERT_EQ(vasktest::runCommand(vaskdb() + " demo " + db + " --rows 60 >/dev/null"), 0);
  }
  int run(const std::string &args, std::string *out = nullptr) {
    return vasktest::runCommand("cd " + quoted(dir.path().string()) + " && " + args, out);
  }
  int tool(const std::string &args, std::string *out = nullptr) {
    return run(vaskdb() + " " + args, out);
  }
};

// Reads every export form back with Python's csv and json modules and checks it against the
// canonical CSV of the same table.
const char *const kReadBack = R"PY(
import csv, json, re, sys
table = sys.argv[1]
def rows(name, **kw):
    with open(name, newline='', encoding='utf-8') as f:
        return list(csv.reader(f, **kw))
canon = rows(table + '.csv')
header, body = canon[0], canon[1:]
assert len(body) > 0
assert rows(table + '-semi.csv', delimiter=';', quotechar="'") == canon, 'delimiter and quote'
assert rows(table + '-nohead.csv') == body, 'no header'
assert rows(table + '-bare.csv', delimiter='|', quoting=csv.QUOTE_NONE) == canon, 'no quotes'
iso = re.compile(r'^(\d{4})-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d)$')
dates = 0
for mine, want in zip(rows(table + '-date.csv'), canon):
    for a, b in zip(mine, want):
        m = iso.match(b)
        if m:
            dates += 1
            b = '%s/%s/%s %s.%s' % (m[3], m[2], m[1], m[4], m[5])
        assert a == b, (a, b)
assert dates > 0, 'no dates to format'
with open(table + '.jsonl', encoding='utf-8') as f:
    objects = [json.loads(line) for line in f]
assert len(objects) == len(body)
for o, r in zip(objects, body):
    assert list(o.keys()) == header, o.keys()
    for v, text in zip(o.values(), r):
        if v is None:
            assert text == ''
        elif isinstance(v, bool):
            assert text == ('1' if v else '0'), (v, text)
        elif isinstance(v, (int, float)):
            assert float(text) == v, (v, text)
        else:
            assert v == text, (v, text)
print('ok')
)PY";

} // namespace

TEST_F(DemoDb, ExportOptionsReadBackByPythonsCsvAndJson) {
  VASK_REQUIRE_TOOLS("python3");
  writeFile(dir.file("readback.py"), kReadBack);
  for (const char *table : {"CLIENTI", "BUONI"}) {
    const std::string t = table, e = "export " + db + " " + t;
    ASSERT_EQ(tool(e + " > " + t + ".csv"), 0);
    ASSERT_EQ(tool(e + " -d ';' -q \"'\" > " + t + "-semi.csv"), 0);
    ASSERT_EQ(tool(e + " --no-header > " + t + "-nohead.csv"), 0);
    ASSERT_EQ(tool(e + " --delimiter='|' -Q > " + t + "-bare.csv"), 0);
    ASSERT_EQ(tool(e + " -D '%d/%m/%Y %H.%M' > " + t + "-date.csv"), 0);
    ASSERT_EQ(tool(e + " --format json > " + t + ".jsonl"), 0);
    std::string out;
    EXPECT_EQ(run("python3 readback.py " + t + " 2>&1", &out), 0) << t << ": " << out;
  }
}

// Compares two CSV files row by row, numbers by value (mdb-export writes fewer digits).
const char *const kSameRows = R"PY(
import csv, sys
def rows(name):
    with open(name, newline='', encoding='utf-8') as f:
        return list(csv.reader(f))
def same(a, b):
    try:
        x, y = float(a), float(b)
        return abs(x - y) <= 1e-6 * max(1.0, abs(x))
    except ValueError:
        return a == b
a, b = rows(sys.argv[1]), rows(sys.argv[2])
assert len(a) == len(b) and len(a) > 1, (len(a), len(b))
for r, s in zip(a, b):
    assert len(r) == len(s) and all(same(x, y) for x, y in zip(r, s)), (r, s)
print('ok')
)PY";

TEST_F(DemoDb, SchemaAsSqlLoadsIntoSqliteAndTheExportedRowsAgreeWithMdbExport) {
  VASK_REQUIRE_TOOLS("sqlite3", "python3", "mdb-export");
  writeFile(dir.file("same.py"), kSameRows);
  std::string out;
  ASSERT_EQ(tool("schema " + db, &out), 0);
  for (const char *t : {"Tabella: BUONI\n", "Tabella: CLIENTI\n", "Tabella: Voci\n"})
    EXPECT_NE(out.find(t), std::string::npos) << t; // every table without a name
  ASSERT_EQ(tool("schema " + db + " --sql > schema.sql"), 0);
  ASSERT_EQ(run("sqlite3 -bail copia.db < schema.sql 2>&1", &out), 0) << out;
  // Keys, indexes and relationships came along.
  ASSERT_EQ(run("sqlite3 copia.db \"SELECT name FROM pragma_index_list('BUONI') WHERE [unique]; "
                "SELECT name FROM pragma_table_info('BUONI') WHERE pk; SELECT [table], [from], "
                "[to] FROM pragma_foreign_key_list('FATTURE')\"",
                &out),
            0);
  EXPECT_EQ(out, "BUONI_Numero\nID\nCLIENTI|IDCliente|ID\n");
  for (const std::string t : {"BUONI", "CLIENTI", "FATTURE"}) {
    ASSERT_EQ(tool("export " + db + " " + t + " -H > " + t + ".csv"), 0);
    ASSERT_EQ(run("sqlite3 copia.db \".import --csv " + t + ".csv " + t + "\" 2>&1", &out), 0)
        << out;
    ASSERT_EQ(run("sqlite3 -csv -header copia.db 'SELECT * FROM \"" + t + "\"' > lite.csv"), 0);
    ASSERT_EQ(run("mdb-export -T '%Y-%m-%d %H:%M:%S' " + db + " " + t + " > mdb.csv"), 0);
    EXPECT_EQ(run("python3 same.py lite.csv mdb.csv 2>&1", &out), 0) << t << ": " << out;
  }
}

TEST_F(DemoDb, ImportOfAnExportGivesBackTheSameTable) {
  std::string exported, before, out;
  ASSERT_EQ(tool("export " + db + " BUONI", &exported), 0);
  ASSERT_EQ(tool("count " + db + " BUONI", &out), 0);
  EXPECT_EQ(out, "60\n");
  const bool mdb = vasktest::haveProgram("mdb-export");
  if (mdb)
    ASSERT_EQ(run("mdb-export " + db + " BUONI", &before), 0);
  writeFile(dir.file("buoni.csv"), exported);
  ASSERT_EQ(tool("sql " + db + " 'DELETE FROM BUONI'", &out), 0);
  ASSERT_EQ(tool("count " + db + " BUONI", &out), 0);
  EXPECT_EQ(out, "0\n");
  ASSERT_EQ(tool("import " + db + " BUONI buoni.csv", &out), 0);
  EXPECT_EQ(out, "importate 60 righe\n");
  ASSERT_EQ(tool("export " + db + " BUONI", &out), 0);
  EXPECT_EQ(out, exported);
  ASSERT_EQ(tool("check " + db + " 2>&1", &out), 0) << out;
  if (mdb) {
    ASSERT_EQ(run("mdb-export " + db + " BUONI", &out), 0);
    EXPECT_EQ(out, before);
  }
}

TEST_F(DemoDb, ImportTakesItalianFormsAndABadRowNamesItsLineAndChangesNothing) {
  std::string out;
  // Header names in any case, columns left out get their defaults (the counter), a quoted
  // field spans two lines, Italian dates and numbers.
  writeFile(dir.file("rate.csv"), "data;idfattura;DESCRIZIONE;Importo\r\n"
                                  "08/01/2006 10:30:00;1;\"Rata; prima\";1.234,5\r\n"
                                  "09/01/2006;1;\"Rata\nseconda\";12,25\r\n");
  ASSERT_EQ(tool("import " + db + " SCADENZE rate.csv -d ';' --dates it --numbers it", &out), 0);
  EXPECT_EQ(out, "importate 2 righe\n");
  ASSERT_EQ(tool("sql " + db +
                     " \"SELECT Data, Descrizione, Importo FROM SCADENZE WHERE Descrizione "
                     "LIKE 'Rata*' ORDER BY Data\"",
                 &out),
            0);
  EXPECT_EQ(out, "\"Data\",\"Descrizione\",\"Importo\"\n"
                 "2006-01-08 10:30:00,\"Rata; prima\",1234.5\n"
                 "2006-01-09 00:00:00,\"Rata\nseconda\",12.25\n");

  const std::string file = vasktest::readFile(dir.file("demo.mdb"));
  struct Bad {
    std::string csv, options, message;
  };
  const Bad bad[] = {
      // The fifth line starts the third row, whose invoice does not exist.
      {"Data,IDFattura,Descrizione,Importo\n2006-02-01,1,Buona,1\n2006-02-02,1,\"Su\ndue\",2\n"
       "2006-02-03,424242,Orfana,3\n",
       "", "Riga 5: Impossibile aggiungere o modificare il record della tabella 'SCADENZE'"},
      {"Data;IDFattura;Importo\n31/02/2006;1;5\n", " -d ';' --dates it",
       "Riga 2: valore non valido per il campo \"Data\": \"31/02/2006\"."},
      {"Data,IDFattura,Importo\n2006-02-01,1\n", "", "Riga 2: attesi 3 campi, trovati 2."},
      {"Data,Scadenza\n", "", "Riga 1: la tabella SCADENZE non ha la colonna \"Scadenza\"."},
      {"Data,IDFattura,Importo\n2006-02-01,1,\"5\n", "", "Riga 2: virgolette non chiuse."},
  };
  for (const Bad &b : bad) {
    writeFile(dir.file("bad.csv"), b.csv);
    std::string err;
    EXPECT_EQ(tool("import " + db + " SCADENZE bad.csv" + b.options + " 2>&1 >/dev/null", &err), 1);
    EXPECT_NE(err.find(b.message), std::string::npos) << err;
    EXPECT_NE(err.find("Nessuna riga è stata importata."), std::string::npos) << err;
    EXPECT_EQ(tool("import " + db + " SCADENZE bad.csv" + b.options + " 2>/dev/null", &out), 1);
    EXPECT_EQ(out, ""); // nothing on standard output
    EXPECT_TRUE(vasktest::readFile(dir.file("demo.mdb")) == file) << b.message;
  }
  ASSERT_EQ(tool("check " + db + " 2>&1", &out), 0) << out;
}

} // namespace

// The vaskdb command-line tool: output on stdout, errors on stderr with exit status 1.
#include "test_support.h"

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
  for (const char *cmd : {"tables", "schema", "export"})
    EXPECT_NE(out.find(cmd), std::string::npos);
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " 2>&1", &out), 1);
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " boh 2>/dev/null", &out), 1);
  EXPECT_EQ(out, "");
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " boh 2>&1", &out), 1);
  EXPECT_NE(out.find("Comando sconosciuto"), std::string::npos);
  EXPECT_EQ(vasktest::runCommand(vaskdb() + " export solo-un-argomento 2>&1", &out), 1);
  EXPECT_NE(out.find("Uso: vaskdb export FILE TABLE"), std::string::npos);
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

} // namespace

#include "data/man_db.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace data;

namespace {

struct Fixture : ::testing::Test {
  void SetUp() override {
    VASK_REQUIRE_FIXTURES();
    file = vasktest::copyFixture("suite/zelbo.mdb", dir);
    folder = dir.path().string() + "/";
  }
  ManDB gestore{[this] { return folder + nome; }};
  vasktest::TempDir dir;
  std::filesystem::path file;
  std::string folder;
  std::string nome = "zelbo.mdb";
};

} // namespace

TEST(ConnectionString, BuiltAndReadBackAsTheProgramWritesThem) {
  EXPECT_EQ(
      ManDB::connStringGetConn("/d/z.mdb"),
      "Provider=Microsoft.Jet.OLEDB.4.0;Mode=ReadWrite|Share Deny None; Data source=/d/z.mdb");
  EXPECT_EQ(ManDB::connStringFile("/d/z.mdb"),
            "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/d/z.mdb;");
  auto cs = parseConnectionString(ManDB::connStringGetConn("/d/z.mdb"));
  EXPECT_EQ(cs.provider, "Microsoft.Jet.OLEDB.4.0");
  EXPECT_EQ(cs.dataSource, "/d/z.mdb");
  EXPECT_EQ(cs.mode, "ReadWrite|Share Deny None");
  EXPECT_EQ(parseConnectionString(ManDB::connStringFile("/d/z.mdb")).dataSource, "/d/z.mdb");

  Connection c;
  c.ConnectionString = "Provider=Altro;Data Source=/d/z.mdb";
  EXPECT_FALSE(c.Open().isOk());
}

TEST_F(Fixture, DefaultConnectionJoinsFolderAndNameAsTheyStand) {
  auto rs = gestore.get_Rs("select * from BUONI;", "", 1, 1, 1, nullptr);
  ASSERT_TRUE(rs.isOk()) << rs.status().message();
  EXPECT_EQ((*rs)->RecordCount(), 1234);
  EXPECT_FALSE((*rs)->updatable());

  folder.pop_back(); // a folder without its final separator names another file
  EXPECT_FALSE(gestore.get_Rs("select * from BUONI;", "", 1, 1, 1, nullptr).isOk());
}

TEST_F(Fixture, FileNameWinsOverTheGivenConnection) {
  auto other = gestore.get_Conn("/nessuna/cartella/altro.mdb");
  EXPECT_FALSE(other.isOk());
  auto conn = gestore.get_Conn(file.string());
  ASSERT_TRUE(conn.isOk()) << conn.status().message();
  EXPECT_EQ((*conn)->CursorLocation, 3);
  EXPECT_EQ((*conn)->Mode, kModeReadWrite);
  nome = "manca.mdb"; // the default would fail: the file name must be used
  auto rs = gestore.get_Rs("Select * from [Listino Prezzi]", file.string(), 1, 1, 1, *conn);
  ASSERT_TRUE(rs.isOk()) << rs.status().message();
  EXPECT_EQ((*rs)->RecordCount(), 25);
}

TEST_F(Fixture, FieldsReportAdoTypesAndSizes) {
  auto rs = gestore.get_Rs("select * from TipiDati", "", 1, 1, 1, nullptr);
  ASSERT_TRUE(rs.isOk()) << rs.status().message();
  std::vector<std::pair<int, int64_t>> got;
  for (const auto &f : (*rs)->fields())
    got.push_back({f.type, f.definedSize});
  std::vector<std::pair<int, int64_t>> want{
      {3, 4},   {17, 1},  {2, 2},    {3, 4},     {4, 4},
      {5, 8},   {6, 8},   {7, 8},    {202, 255}, {203, 536870910},
      {11, 2},  {72, 16}, {131, 19}, {204, 16},  {205, 1073741823},
      {202, 20}};
  EXPECT_EQ(got, want);
  EXPECT_EQ((*rs)->fields()[15].name, "UnNomeDiCampoMoltoLungo");
}

TEST_F(Fixture, SchemaRecordsetsListTablesAndColumns) {
  auto tables = gestore.get_info(kSchemaTables, file.string(), nullptr);
  ASSERT_TRUE(tables.isOk());
  bool sawUser = false, sawSystem = false;
  for (long i = 0; i < (*tables)->RecordCount(); ++i) {
    auto name = (*tables)->valueAt(i, 2).as<std::string>();
    auto type = (*tables)->valueAt(i, 3).as<std::string>();
    sawUser |= name == "Listino Prezzi" && type == "TABLE";
    sawSystem |= name == "MSysObjects" && type == "SYSTEM TABLE";
  }
  EXPECT_TRUE(sawUser);
  EXPECT_TRUE(sawSystem);
  auto cols = gestore.get_info(kSchemaColumns, "", nullptr);
  ASSERT_TRUE(cols.isOk());
  EXPECT_GT((*cols)->RecordCount(), 100);
  EXPECT_FALSE(gestore.get_info(99, "", nullptr).isOk());
}

TEST_F(Fixture, ConnectionsToOneFileShareOneOpenDatabase) {
  auto a = gestore.get_Conn(file.string());
  auto b = gestore.get_Conn(dir.path().string() + "/./zelbo.mdb");
  ASSERT_TRUE(a.isOk() && b.isOk());
  EXPECT_EQ(&(*a)->database(), &(*b)->database());
  int64_t n = 0;
  EXPECT_TRUE((*a)->Execute("Select * from [Listino Prezzi]", &n).isOk());
  EXPECT_EQ(n, -1);
  auto bad = (*a)->Execute("Select * from [Non Esiste]");
  EXPECT_EQ(bad.code(), jet::ErrorCode::NoSuchTable);
  EXPECT_FALSE(bad.message().empty());
}

TEST_F(Fixture, RecordsetsKeepTheQueryOrderAndItsConditions) {
  auto all = gestore.get_Rs("select * from BUONI", "", 1, 1, 1, nullptr);
  auto desc = gestore.get_Rs("select * from BUONI order by ID desc;", "", 1, 1, 1, nullptr);
  auto some =
      gestore.get_Rs("select ID from BUONI where ID <= 10 and ID > 5", "", 1, 1, 1, nullptr);
  ASSERT_TRUE(all.isOk() && desc.isOk() && some.isOk());
  int32_t highest = 0;
  for (long i = 0; i < (*all)->RecordCount(); ++i)
    highest = std::max(highest, (*all)->valueAt(i, 0).as<int32_t>());
  EXPECT_EQ((*desc)->valueAt(0, 0).as<int32_t>(), highest);
  EXPECT_EQ((*some)->RecordCount(), 5);
  EXPECT_EQ((*some)->fieldCount(), 1);
  // A computed column is read but never written back.
  auto computed = gestore.get_Rs("select ID * 2 from BUONI", "", 1, 3, 1, nullptr);
  ASSERT_TRUE(computed.isOk());
  EXPECT_FALSE((*computed)->updatable());
}

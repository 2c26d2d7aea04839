#include "data/recordset.h"

#include <gtest/gtest.h>

using namespace data;
using jet::Value;

namespace {

// Records what reached the table; fails on demand.
struct FakeWriter : RowWriter {
  std::vector<std::vector<Value>> updated;
  int deleted = 0;
  bool fail = false;
  RowId nextId = 100;
  jet::Status updateRow(RowId &row, std::vector<Value> &values) override {
    if (fail)
      return {jet::ErrorCode::DuplicateKey, "chiave duplicata"};
    updated.push_back(values);
    row += 1000; // the row moved
    return {};
  }
  jet::Result<RowId> insertRow(std::vector<Value> &values) override {
    if (fail)
      return jet::Status{jet::ErrorCode::RequiredNull, "campo obbligatorio"};
    if (values[0].isNull())
      values[0] = Value(int32_t(77)); // autonumber filled by the table
    return nextId++;
  }
  jet::Status deleteRow(RowId) override {
    if (fail)
      return {jet::ErrorCode::RelationshipChildren, "righe collegate"};
    ++deleted;
    return {};
  }
};

std::vector<Field> twoFields() {
  return {{"ID", 3, 4, jet::ColumnType::Long}, {"Nome", 202, 50, jet::ColumnType::Text}};
}

} // namespace

TEST(RowBuffer, KeepsEveryValueKindExactly) {
  jet::Decimal dec;
  dec.negative = true;
  dec.scale = 4;
  dec.magnitude = (static_cast<unsigned __int128>(1) << 95) + 12345;
  jet::Guid g;
  g.bytes[0] = 0xAB;
  g.bytes[15] = 0x01;
  std::vector<Value> row{Value(),
                         Value(true),
                         Value(uint8_t(255)),
                         Value(int16_t(-32768)),
                         Value(int32_t(2147483647)),
                         Value(jet::Currency{-922337203685477580}),
                         Value(-0.0f),
                         Value(1e300),
                         Value(jet::DateTime{-1.25}),
                         Value(std::string("Città d'Ombra €")),
                         Value(std::string(70000, 'x')),
                         Value(jet::Bytes{0, 1, 2, 255}),
                         Value(g),
                         Value(dec)};
  RowBuffer buf;
  uint32_t a = buf.append(row);
  uint32_t b = buf.append({Value(int32_t(1))});
  EXPECT_EQ(buf.row(a), row);
  for (size_t i = 0; i < row.size(); ++i)
    EXPECT_EQ(buf.field(a, static_cast<int>(i)), row[i]) << i;
  buf.replace(b, {Value(std::string("nuovo"))});
  buf.compact();
  EXPECT_EQ(buf.row(a), row);
  EXPECT_EQ(buf.field(b, 0), Value(std::string("nuovo")));
}

TEST(Recordset, MovesAndPositionsAsAdoReportsThem) {
  Recordset rs(twoFields());
  rs.finishLoading();
  EXPECT_TRUE(rs.isBOF());
  EXPECT_TRUE(rs.isEOF());
  EXPECT_EQ(rs.AbsolutePosition(), kPosUnknown);
  EXPECT_EQ(rs.value(0).status().code(), jet::ErrorCode::NoCurrentRecord);

  Recordset full(twoFields());
  for (int i = 1; i <= 3; ++i)
    full.appendLoadedRow(i, {Value(int32_t(i)), Value(std::string("r") + std::to_string(i))});
  full.finishLoading();
  EXPECT_EQ(full.AbsolutePosition(), 1);
  full.MoveLast();
  EXPECT_EQ(full.AbsolutePosition(), 3);
  full.MoveNext();
  EXPECT_TRUE(full.isEOF());
  EXPECT_EQ(full.AbsolutePosition(), kPosEOF);
  full.MoveFirst();
  full.MovePrevious();
  EXPECT_TRUE(full.isBOF());
  EXPECT_FALSE(full.value("nome").isOk());
  full.MoveNext();
  EXPECT_EQ(*full.value("NOME"), Value(std::string("r1")));
}

TEST(Recordset, SortsNullsFirstAndTextIgnoringCase) {
  Recordset rs(twoFields());
  const char *names[] = {"beta", "Alfa", nullptr, "alfa", "Gamma"};
  for (int i = 0; i < 5; ++i)
    rs.appendLoadedRow(i, {Value(int32_t(i)), names[i] ? Value(std::string(names[i])) : Value()});
  rs.finishLoading();
  rs.Sort(1);
  EXPECT_TRUE(rs.valueAt(0, 1).isNull());
  EXPECT_EQ(rs.valueAt(1, 0), Value(int32_t(1))); // stable: "Alfa" before "alfa"
  EXPECT_EQ(rs.valueAt(2, 0), Value(int32_t(3)));
  EXPECT_EQ(rs.valueAt(4, 1), Value(std::string("Gamma")));
  rs.Sort(0, false);
  EXPECT_EQ(rs.valueAt(0, 0), Value(int32_t(4)));
}

TEST(Recordset, ReadOnlyRefusesEveryChange) {
  Recordset rs(twoFields(), LockType::ReadOnly, std::make_shared<FakeWriter>());
  rs.appendLoadedRow(1, {Value(int32_t(1)), Value("a")});
  rs.finishLoading();
  EXPECT_EQ(rs.setValue(1, Value("b")).code(), jet::ErrorCode::ReadOnly);
  EXPECT_EQ(rs.AddNew().code(), jet::ErrorCode::ReadOnly);
  EXPECT_EQ(rs.Delete().code(), jet::ErrorCode::ReadOnly);
  EXPECT_EQ(*rs.value(1), Value("a"));
}

TEST(Recordset, WritesEachChangeAndKeepsTheCacheTrueOnFailure) {
  auto writer = std::make_shared<FakeWriter>();
  Recordset rs(twoFields(), LockType::Optimistic, writer);
  rs.appendLoadedRow(1, {Value(int32_t(1)), Value("a")});
  rs.appendLoadedRow(2, {Value(int32_t(2)), Value("b")});
  rs.finishLoading();

  ASSERT_TRUE(rs.setValue(1, Value("nuovo")).isOk());
  EXPECT_EQ(writer->updated.size(), 1u);
  EXPECT_EQ(rs.rowIdAt(0), 1001u); // the row's new location is kept
  EXPECT_EQ(*rs.value(1), Value("nuovo"));

  writer->fail = true;
  EXPECT_FALSE(rs.setValue(1, Value("rifiutato")).isOk());
  EXPECT_EQ(*rs.value(1), Value("nuovo"));

  ASSERT_TRUE(rs.AddNew().isOk());
  EXPECT_FALSE(rs.Update().isOk());
  EXPECT_TRUE(rs.adding()); // still pending, nothing appended
  EXPECT_EQ(rs.RecordCount(), 2);
  writer->fail = false;
  ASSERT_TRUE(rs.Update().isOk());
  EXPECT_EQ(rs.RecordCount(), 3);
  EXPECT_EQ(rs.AbsolutePosition(), 3);
  EXPECT_EQ(*rs.value(0), Value(int32_t(77)));

  writer->fail = true;
  EXPECT_FALSE(rs.Delete().isOk());
  EXPECT_EQ(rs.RecordCount(), 3);
  writer->fail = false;
  ASSERT_TRUE(rs.Delete().isOk());
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.AbsolutePosition(), 2); // the last row went: the new last is current
}

TEST(Recordset, TellsItsListenerOfMovesAndChanges) {
  auto writer = std::make_shared<FakeWriter>();
  Recordset rs(twoFields(), LockType::Optimistic, writer);
  for (int i = 1; i <= 3; ++i)
    rs.appendLoadedRow(i, {Value(int32_t(i)), Value("x")});
  rs.finishLoading();
  std::vector<std::pair<RecordsetChange, long>> seen;
  rs.setListener([&](RecordsetChange c, long p) { seen.push_back({c, p}); });

  rs.MoveFirst(); // already there: nothing to tell
  rs.MoveNext();
  rs.MoveLast();
  rs.MoveNext();
  ASSERT_TRUE(rs.setAbsolutePosition(2).isOk());
  using C = RecordsetChange;
  std::vector<std::pair<C, long>> moves{{C::Moved, 1}, {C::Moved, 2}, {C::Moved, 3}, {C::Moved, 1}};
  EXPECT_EQ(seen, moves);

  seen.clear();
  ASSERT_TRUE(rs.setValue(1, Value("y")).isOk());
  writer->fail = true;
  EXPECT_FALSE(rs.setValue(1, Value("z")).isOk()); // a refused write tells nothing
  writer->fail = false;
  ASSERT_TRUE(rs.AddNew().isOk());
  ASSERT_TRUE(rs.setValue(1, Value("nuovo")).isOk());
  ASSERT_TRUE(rs.Update().isOk());
  ASSERT_TRUE(rs.Delete().isOk());
  rs.Sort(0);
  std::vector<std::pair<C, long>> changes{{C::RowChanged, 1}, {C::Pending, 3},
                                          {C::Pending, 3},    {C::RowInserted, 3},
                                          {C::RowDeleted, 3}, {C::Reordered, 0}};
  EXPECT_EQ(seen, changes);
}

TEST(Recordset, SortAgreesWithCompareForSortAndIsStableOnEveryKindOfColumn) {
  // Numbers, texts (with case and accents) and a column that mixes kinds, each with Nulls.
  std::vector<Field> f{{"N", 5, 8, jet::ColumnType::Double},
                       {"T", 202, 20, jet::ColumnType::Text},
                       {"M", 202, 20, jet::ColumnType::Text}};
  const char *texts[] = {"beta", "Alfa", "alfa", "Città", "città", "b", "", "ALFA"};
  for (int field = 0; field < 3; ++field) {
    for (bool asc : {true, false}) {
      Recordset rs(f);
      for (int i = 0; i < 200; ++i) {
        Value n = i % 11 == 0 ? Value() : Value(double((i * 37) % 13) - 6);
        Value t = i % 9 == 0 ? Value() : Value(texts[(i * 7) % 8]);
        Value m = i % 3 == 0 ? Value(int32_t(i % 5)) : (i % 3 == 1 ? Value(texts[i % 8]) : Value());
        rs.appendLoadedRow(i, {n, t, m});
      }
      rs.finishLoading();
      rs.Sort(field, asc);
      for (long p = 1; p < rs.RecordCount(); ++p) {
        int c = compareForSort(rs.valueAt(p - 1, field), rs.valueAt(p, field));
        ASSERT_TRUE(asc ? c <= 0 : c >= 0) << field << " at " << p;
        if (c == 0) // equal keys keep the order they were loaded in
          ASSERT_LT(rs.rowIdAt(p - 1), rs.rowIdAt(p)) << field << " at " << p;
      }
    }
  }
}

TEST(Recordset, ARowTakenFromTheTableJoinsTheSortOrderAndAnEditCanEndIt) {
  auto writer = std::make_shared<FakeWriter>();
  Recordset rs(twoFields(), LockType::Optimistic, writer);
  for (int32_t id : {5, 1, 3, 3})
    rs.appendLoadedRow(RowId(id * 10), {Value(id), Value("x")});
  rs.finishLoading();
  EXPECT_FALSE(rs.inSortOrder());
  long avvisata = -2;
  rs.setListener([&](RecordsetChange c, long p) {
    if (c == RecordsetChange::RowInserted)
      avvisata = p;
  });
  rs.Sort(0, false); // 5 3 3 1
  ASSERT_TRUE(rs.inSortOrder());
  rs.insertLoadedRow(99, {Value(int32_t(3)), Value("nuova")});
  EXPECT_EQ(avvisata, 3); // after its equals, as the stable sort puts it
  EXPECT_EQ(rs.currentIndex(), 3);
  EXPECT_EQ(rs.rowIdAt(3), 99u);
  EXPECT_EQ(rs.valueAt(4, 0), Value(int32_t(1)));

  // Values written in place keep the order; one out of place ends it, and Sort brings it back.
  ASSERT_TRUE(rs.setAbsolutePosition(1).isOk());
  ASSERT_TRUE(rs.setValue(0, Value(int32_t(4))).isOk());
  EXPECT_TRUE(rs.inSortOrder());
  ASSERT_TRUE(rs.setValue(0, Value(int32_t(0))).isOk());
  EXPECT_FALSE(rs.inSortOrder());
  rs.Sort(0, false);
  EXPECT_TRUE(rs.inSortOrder());
  // A row added at the end out of place ends it too.
  ASSERT_TRUE(rs.AddNew().isOk());
  ASSERT_TRUE(rs.setValue(0, Value(int32_t(9))).isOk());
  ASSERT_TRUE(rs.Update().isOk());
  EXPECT_FALSE(rs.inSortOrder());
}

// Cost of the SQL layer on 100,000 rows: a DELETE with a two-condition WHERE and an UPDATE of one
// column with a condition, against reading every row through the same storage (the peer).
// The storage is a plain vector, so the figures show the SQL layer's own share.
#include "sql/executor.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>

namespace {

using sql::Row;
using sql::RowId;

class VectorTable : public sql::Table {
public:
  std::string name_ = "BUONI";
  std::vector<sql::ColumnDef> cols_;
  std::vector<Row> rows_;
  std::vector<bool> live_;

  const std::string &name() const override { return name_; }
  const std::vector<sql::ColumnDef> &columns() const override { return cols_; }
  std::unique_ptr<sql::Cursor> scan() override {
    struct C : sql::Cursor {
      VectorTable *t;
      size_t i = 0;
      jet::Result<bool> next(RowId &id, Row &values) override {
        while (i < t->rows_.size() && !t->live_[i])
          ++i;
        if (i >= t->rows_.size())
          return false;
        id = i;
        values = t->rows_[i++];
        return true;
      }
    };
    auto c = std::make_unique<C>();
    c->t = this;
    return c;
  }
  jet::Result<RowId> insert(const Row &v, const std::vector<bool> &) override {
    rows_.push_back(v);
    live_.push_back(true);
    return RowId{rows_.size() - 1};
  }
  jet::Status update(RowId id, const Row &v) override {
    rows_[id] = v;
    return jet::Status::ok();
  }
  jet::Status remove(RowId id) override {
    live_[id] = false;
    return jet::Status::ok();
  }
};

class VectorDb : public sql::Database {
public:
  VectorTable buoni;
  jet::Result<sql::Table *> table(std::string_view n) override {
    if (n == "BUONI")
      return static_cast<sql::Table *>(&buoni);
    return jet::Status(jet::ErrorCode::NoSuchTable, "");
  }
  jet::Status createTable(const sql::TableDef &) override { return jet::Status::ok(); }
  jet::Status dropTable(std::string_view) override { return jet::Status::ok(); }
  jet::Status createIndex(std::string_view, const sql::IndexDef &) override {
    return jet::Status::ok();
  }
  bool open = false;
  bool inTransaction() const override { return open; }
  jet::Status begin() override {
    open = true;
    return jet::Status::ok();
  }
  jet::Status commit() override {
    open = false;
    return jet::Status::ok();
  }
  jet::Status rollback() override {
    open = false;
    return jet::Status::ok();
  }
  jet::Result<int> savepoint() override { return 1; }
  jet::Status rollbackTo(int) override { return jet::Status::ok(); }
  jet::Status release(int) override { return jet::Status::ok(); }
};

void fill(VectorDb &db, int n) {
  auto c = [](const char *name, jet::ColumnType t, int size = 0) {
    sql::ColumnDef d;
    d.name = name;
    d.type = t;
    d.size = size;
    return d;
  };
  db.buoni.cols_ = {
      c("ID", jet::ColumnType::Long),          c("Data", jet::ColumnType::DateTime),
      c("Cliente", jet::ColumnType::Text, 50), c("Importo", jet::ColumnType::Currency),
      c("Litri", jet::ColumnType::Double),     c("Note", jet::ColumnType::Memo)};
  const char *names[] = {"Rossi", "Bianchi", "Dell'Orto", "Verdi", "Città di Castello"};
  db.buoni.rows_.clear();
  db.buoni.live_.clear();
  for (int i = 0; i < n; ++i) {
    db.buoni.rows_.push_back(
        {jet::Value(int32_t{i + 1}), jet::Value(jet::DateTime{45000.0 + i % 700}),
         jet::Value(names[i % 5]), jet::Value(jet::Currency{int64_t{i % 5000} * 1000}),
         jet::Value(i * 0.5), i % 3 ? jet::Value("nota") : jet::Value()});
    db.buoni.live_.push_back(true);
  }
}

template <typename F> double seconds(F &&f) {
  auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double best(int runs, const std::function<double()> &once) {
  double b = 1e9;
  for (int i = 0; i < runs; ++i)
    b = std::min(b, once());
  return b;
}

} // namespace

int main() {
  const int n = 100000;
  VectorDb db;
  double read = best(5, [&] {
    fill(db, n);
    return seconds([&] {
      auto c = db.buoni.scan();
      RowId id;
      Row r;
      size_t k = 0;
      while (c->next(id, r).value())
        ++k;
      if (k != static_cast<size_t>(n))
        std::abort();
    });
  });
  int64_t deleted = 0, updated = 0;
  double del = best(5, [&] {
    fill(db, n);
    return seconds([&] {
      auto r = sql::execute(db, "Delete * from BUONI where ( Importo > 100) AND ( Cliente = "
                                "'ROSSI')");
      deleted = r ? r->rowsAffected : -1;
    });
  });
  double upd = best(5, [&] {
    fill(db, n);
    return seconds([&] {
      auto r = sql::execute(
          db, "UPDATE [BUONI] SET [Litri] = 1234.5 where ( Data >= datevalue('01/06/2024') )");
      updated = r ? r->rowsAffected : -1;
    });
  });
  std::printf("rows: %d\n", n);
  std::printf("read every row (peer): %.4f s\n", read);
  std::printf("DELETE, two conditions: %.4f s (%lld rows), ratio %.2f\n", del,
              static_cast<long long>(deleted), del / read);
  std::printf("UPDATE one column:      %.4f s (%lld rows), ratio %.2f\n", upd,
              static_cast<long long>(updated), upd / read);
  return deleted > 0 && updated > 0 ? 0 : 1;
}

#include "data/man_db.h"

#include "data/ado_types.h"
#include "data/shared_database.h"

namespace data {

namespace {

// A recordset that holds the connection it was opened on, so that the connection closes when
// the caller releases the recordset.
std::shared_ptr<Recordset> holdingConnection(std::shared_ptr<Recordset> rs,
                                             std::shared_ptr<Connection> conn) {
  auto holder =
      std::make_shared<std::pair<std::shared_ptr<Recordset>, std::shared_ptr<Connection>>>(
          std::move(rs), std::move(conn));
  return std::shared_ptr<Recordset>(holder, holder->first.get());
}

jet::Result<std::shared_ptr<Connection>> openWith(const std::string &connectionString) {
  auto c = std::make_shared<Connection>();
  c->ConnectionString = connectionString;
  JET_TRY(c->Open());
  return c;
}

Field textField(const char *name, int size = 255) {
  return {name, ado::VarWChar, size, jet::ColumnType::Text};
}
Field longField(const char *name) {
  return {name, ado::Integer, 4, jet::ColumnType::Long};
}
Field boolField(const char *name) {
  return {name, ado::Boolean, 2, jet::ColumnType::Boolean};
}

std::shared_ptr<Recordset> tablesSchema(jet::Database &db) {
  auto rs = std::make_shared<Recordset>(std::vector<Field>{
      textField("TABLE_CATALOG"), textField("TABLE_SCHEMA"), textField("TABLE_NAME"),
      textField("TABLE_TYPE"), textField("DESCRIPTION")});
  RowId n = 0;
  for (const auto &name : db.tableNames()) {
    auto def = db.table(name);
    std::string type = def && (*def)->isSystem() ? "SYSTEM TABLE" : "TABLE";
    if (def && !(*def)->isSystem() && name.rfind("MSys", 0) == 0)
      type = "ACCESS TABLE";
    rs->appendLoadedRow(
        n++, {jet::Value(), jet::Value(), jet::Value(name), jet::Value(type), jet::Value()});
  }
  rs->finishLoading();
  return rs;
}

std::shared_ptr<Recordset> columnsSchema(jet::Database &db) {
  auto rs = std::make_shared<Recordset>(
      std::vector<Field>{textField("TABLE_CATALOG"),
                         textField("TABLE_SCHEMA"),
                         textField("TABLE_NAME"),
                         textField("COLUMN_NAME"),
                         longField("ORDINAL_POSITION"),
                         boolField("IS_NULLABLE"),
                         {"DATA_TYPE", ado::SmallInt, 2, jet::ColumnType::Integer},
                         longField("CHARACTER_MAXIMUM_LENGTH"),
                         {"NUMERIC_PRECISION", ado::SmallInt, 2, jet::ColumnType::Integer},
                         {"NUMERIC_SCALE", ado::SmallInt, 2, jet::ColumnType::Integer}});
  RowId n = 0;
  for (const auto &name : db.tableNames()) {
    auto def = db.table(name);
    if (!def)
      continue;
    for (const auto &c : (*def)->columns) {
      AdoType t = adoTypeFor(c.type, c.length, c.isFixed());
      bool text =
          c.type == jet::ColumnType::Text || c.type == jet::ColumnType::Binary || c.isLongValue();
      rs->appendLoadedRow(
          n++,
          {jet::Value(), jet::Value(), jet::Value(name), jet::Value(c.name),
           jet::Value(int32_t(c.index + 1)), jet::Value(true), jet::Value(int16_t(t.type)),
           text ? jet::Value(int32_t(t.definedSize)) : jet::Value(),
           c.type == jet::ColumnType::Numeric ? jet::Value(int16_t(c.precision)) : jet::Value(),
           c.type == jet::ColumnType::Numeric ? jet::Value(int16_t(c.scale)) : jet::Value()});
    }
  }
  rs->finishLoading();
  return rs;
}

} // namespace

std::string ManDB::connStringGetConn(const std::string &file) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Mode=ReadWrite|Share Deny None; Data source=" + file;
}

std::string ManDB::connStringFile(const std::string &file) {
  return "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + file + ";";
}

jet::Result<std::shared_ptr<Connection>> ManDB::ApriConnPredefinita() {
  return openWith(connStringFile(default_ ? default_() : std::string()));
}

jet::Result<std::shared_ptr<Connection>> ManDB::ApriConnFile(const std::string &file) {
  return openWith(connStringFile(file));
}

jet::Result<std::shared_ptr<Connection>> ManDB::get_Conn(const std::string &path_nome_db) {
  auto c = std::make_shared<Connection>();
  c->ConnectionString = connStringGetConn(path_nome_db);
  c->CursorLocation = 3;
  c->Mode = kModeReadWrite;
  JET_TRY(c->Open());
  return c;
}

jet::Result<std::shared_ptr<Recordset>>
ManDB::get_Rs(const std::string &query, const std::string &path_nome_db, int32_t Cursor_mth,
              int32_t Lock_mth, int32_t Opt_mth, std::shared_ptr<Connection> connessione) {
  std::shared_ptr<Connection> conn;
  bool own = true;
  if (!path_nome_db.empty()) {
    auto c = ApriConnFile(path_nome_db);
    if (!c)
      return c.status();
    conn = *c;
  } else if (!connessione) {
    auto c = ApriConnPredefinita();
    if (!c)
      return c.status();
    conn = *c;
  } else {
    conn = std::move(connessione);
    own = false;
  }
  auto rs = conn->OpenRecordset(query, static_cast<CursorType>(Cursor_mth),
                                static_cast<LockType>(Lock_mth), Opt_mth);
  if (!rs)
    return rs.status();
  return own ? holdingConnection(*rs, conn) : *rs;
}

jet::Result<std::shared_ptr<Recordset>> ManDB::get_Rs_tmp(const std::string &query) {
  return get_Rs(query, "", 1, 3, 1, nullptr);
}

jet::Result<std::shared_ptr<Recordset>> ManDB::get_info(int32_t query,
                                                        const std::string &path_nome_db,
                                                        std::shared_ptr<Connection> connessione) {
  std::shared_ptr<Connection> conn = connessione;
  if (!conn) {
    auto c = path_nome_db.empty() ? ApriConnPredefinita() : ApriConnFile(path_nome_db);
    if (!c)
      return c.status();
    conn = *c;
  }
  jet::Database &db = conn->database().engine();
  jet::ReadScope read(db);
  JET_TRY(read.status());
  if (query == kSchemaTables)
    return tablesSchema(db);
  if (query == kSchemaColumns)
    return columnsSchema(db);
  return jet::Status{jet::ErrorCode::Unsupported,
                     "Tipo di schema non supportato: " + std::to_string(query) + "."};
}

} // namespace data
